// Fuzzes the piping model reader: any bytes must give a model or a positioned error.
#include "host/PipingModel.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    ketra::host::LoadResult r = ketra::host::ParsePipingModel(text, "fuzz.json");
    if (!r.ok && r.error.rfind("fuzz.json:", 0) != 0)
        std::abort(); // every failure names the file and position
    return 0;
}
