// Fuzzes the results reader against a small model: any bytes must give results or a
// positioned error.
#include "results/ResultsFile.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {
const ketra::host::PipingModel& Model() {
    static const ketra::host::LoadResult model = ketra::host::ParsePipingModel(
        R"({"units": "mm", "elements": [{"from": 10, "to": 20, "delta": [1000, 0, 0], "od": 100},
            {"from": 20, "to": 30, "delta": [0, 1000, 0]}], "anchors": [{"node": 10}]})",
        "model.json");
    if (!model.ok)
        std::abort();
    return model.model;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    ketra::results::ResultsLoad r = ketra::results::ParseResults(text, "fuzz.json", Model());
    if (!r.ok && r.error.rfind("fuzz.json:", 0) != 0)
        std::abort(); // every failure names the file and position
    return 0;
}
