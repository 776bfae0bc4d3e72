// The scene-file reader on arbitrary bytes: it must refuse or accept without crashing,
// leave nothing behind when it refuses, and leave the open-segment stack as it found it.
#include "platform/hc/HcExtras.h"
#include "platform/hc/hc.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void Quiet(int, int, int, const char*, const char*) {}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static int runs = 0;
    if (runs++ % 256 == 0) {
        HC_Reset_System(); // keep the graph small over long runs
        HC_Define_Error_Handler(Quiet);
        HC_Create_Segment("/style library/pipes");
    }
    auto& graph = ketra::hc::Graph::Instance();
    const size_t before = graph.Root().children.size();
    const HC_KEY open = HC_KShow_Open_Segment();
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string error;
    const bool ok = ketra::hc::ReadMetafileText(text, "fuzz.hmf", "/fuzz", error);
    if (!ok && graph.Resolve("/fuzz", false) == nullptr && graph.Root().children.size() != before)
        std::abort(); // a refused file left a segment behind
    if (HC_KShow_Open_Segment() != open)
        std::abort(); // the open stack was not restored
    if (ok) {
        // What was read can be written again.
        if (const ketra::hc::Segment* s = graph.Resolve("/fuzz", false))
            (void)ketra::hc::MetafileText(*s);
        HC_Delete_Segment("/fuzz");
    }
    return 0;
}
