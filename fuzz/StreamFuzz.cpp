// The scene-stream reader on arbitrary bytes. Input that starts like a stream is read as it
// is; any other input is taken as a body and given a valid header (length and checksum), so
// the fuzzer spends its time in the record checks rather than the checksum. The reader must
// refuse or accept without crashing, leave nothing behind when it refuses, and leave the
// open-segment stack as it found it.
#include "platform/hc/HcExtras.h"
#include "platform/hc/HcStream.h"
#include "platform/hc/HcStreamCodec.h"
#include "platform/hc/hc.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

void Quiet(int, int, int, const char*, const char*) {}

std::string WithHeader(std::string_view body) {
    namespace hsf = ketra::hc::hsf;
    std::string out(hsf::kHeaderBytes, '\0');
    std::memcpy(out.data(), ketra::hc::kStreamMagic.data(), 8);
    const uint32_t version = ketra::hc::kStreamVersion, crc = hsf::Crc32(body);
    const uint64_t length = body.size();
    std::memcpy(out.data() + 8, &version, 4);
    std::memcpy(out.data() + 16, &length, 8);
    std::memcpy(out.data() + 24, &crc, 4);
    out += body;
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static int runs = 0;
    if (runs++ % 256 == 0) {
        HC_Reset_System();  // keep the graph small over long runs
        HC_Define_Error_Handler(Quiet);
        HC_Create_Segment("/style library/pipes");
    }
    auto& graph = ketra::hc::Graph::Instance();
    const size_t before = graph.Root().children.size();
    const HC_KEY open = HC_KShow_Open_Segment();
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::string stream = ketra::hc::LooksLikeStream(input) ? std::string(input) : WithHeader(input);
    std::string error;
    const bool ok = ketra::hc::ReadStreamBytes(stream, "fuzz.hsf", "/fuzz", error);
    if (!ok && graph.Resolve("/fuzz", false) == nullptr && graph.Root().children.size() != before)
        std::abort();  // a refused stream left a segment behind
    if (HC_KShow_Open_Segment() != open)
        std::abort();  // the open stack was not restored
    if (ok) {
        // What was read writes again, and reads back to the same text.
        if (const ketra::hc::Segment* s = graph.Resolve("/fuzz", false)) {
            const std::string again = ketra::hc::StreamBytes(*s);
            const std::string text = ketra::hc::MetafileText(*s);
            if (!ketra::hc::ReadStreamBytes(again, "again.hsf", "/fuzz again", error)) {
                std::fprintf(stderr, "written again, refused: %s\n", error.c_str());
                std::abort();
            }
            const std::string back = ketra::hc::MetafileText(*graph.Resolve("/fuzz again", false));
            if (back != text) {
                std::fprintf(stderr, "read:\n%s\nwritten and read again:\n%s\n", text.c_str(), back.c_str());
                std::abort();  // a stream the reader accepted did not round-trip
            }
            HC_Delete_Segment("/fuzz again");
        }
        HC_Delete_Segment("/fuzz");
    }
    return 0;
}
