// Replays fuzz inputs from files when the fuzzer runtime is not available (non-clang
// builds), so every target builds everywhere and its corpus runs as a test. Arguments are
// files or folders (every file in them, in name order).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        std::error_code ec;
        if (std::filesystem::is_directory(argv[i], ec)) {
            std::vector<std::string> inFolder;
            for (const auto& entry : std::filesystem::directory_iterator(argv[i]))
                if (entry.is_regular_file())
                    inFolder.push_back(entry.path().string());
            std::sort(inFolder.begin(), inFolder.end());
            files.insert(files.end(), inFolder.begin(), inFolder.end());
        } else {
            files.push_back(argv[i]);
        }
    }
    for (const std::string& file : files) {
        std::ifstream in(file, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "replay: cannot open %s\n", file.c_str());
            return 1;
        }
        std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        // Prefixes too: truncated inputs are the commonest malformed files. About 64 cuts a
        // file (every prefix of a short one) keep a corpus of thousands of files to seconds.
        const size_t step = std::max<size_t>(1, bytes.size() / 64);
        for (size_t n = 0; n < bytes.size(); n += step)
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), n);
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
    std::printf("replayed %zu file(s)\n", files.size());
    return 0;
}
