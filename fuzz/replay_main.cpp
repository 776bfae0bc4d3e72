// Replays fuzz inputs from files when the fuzzer runtime is not available (non-clang
// builds), so every target builds everywhere and its seed corpus runs as a test.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "replay: cannot open %s\n", argv[i]);
            return 1;
        }
        std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        // Every prefix too: truncated inputs are the commonest malformed files.
        for (size_t n = 0; n <= bytes.size(); n += (bytes.size() > 4096 ? 64 : 1))
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), n);
    }
    std::printf("replayed %d file(s)\n", argc - 1);
    return 0;
}
