// Fuzzes the PCF reader: any bytes must give a model the model format accepts, or a
// positioned error and no model.
#include "host/ModelWriter.h"
#include "host/PcfReader.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    ketra::host::PcfLoadResult r = ketra::host::ParsePcf(text, "fuzz.pcf");
    if (!r.ok) {
        if (r.error.rfind("fuzz.pcf:", 0) != 0 || !r.model.elements.empty())
            std::abort(); // every failure names the file and position, and keeps nothing
        return 0;
    }
    for (const ketra::host::Element& e : r.model.elements)
        for (double v : e.delta)
            if (!std::isfinite(v))
                std::abort();
    // What the reader makes, the model format must take back.
    ketra::host::LoadResult back =
        ketra::host::ParsePipingModel(ketra::host::WriteModelJson(r.model), "fuzz.json");
    if (!back.ok) {
        std::fprintf(stderr, "model text refused: %s\n", back.error.c_str());
        std::abort();
    }
    return 0;
}
