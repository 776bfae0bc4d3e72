// Fuzzes the plot-properties file loader: the bytes are the user's file. Properties checked
// beyond "no crash": a file the loader reports as unusable is left byte for byte as it was,
// and a file it accepted (and perhaps completed with defaults) reads back the same values in
// a second instance, with no report.
#include "config/CAppSettings.h"
#include "config/HOpConfig.h"
#include "platform/sys/AtomicFile.h"
#include "platform/sys/Shell.h"
#include "platform/sys/TextEncoding.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

class Recorder : public ketra::sys::Shell {
public:
    Answer MessageBox(const std::string& text, const std::string&, Icon, Buttons) override {
        messages.push_back(text);
        return Answer::Ok;
    }
    void Beep() override {}
    std::vector<std::string> messages;
};

void Require(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "PlotPropertiesFuzz: %s\n", what);
        __builtin_trap();
    }
}

// A private folder for the file and the settings store, made once per process.
const std::string& Folder() {
    static const std::string folder = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/ketra-plot-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data()))
            std::abort();
        setenv("KETRA_REGISTRY", (pattern + "/registry.reg").c_str(), 1);
        return pattern;
    }();
    return folder;
}

// What the getters give, as one string to compare between instances.
std::string Values(HOpConfig& config) {
    // Each text lives only until the next call: copy it at once.
    std::string out;
    auto add = [&](const char* text) { out += std::string(text ? text : "(null)") + "\n"; };
    add(config.GetPipeColor());
    add(config.GetRestraintColor());
    add(config.GetStressLevelColor2());
    add(config.GetInsulationColor());
    out += std::to_string(config.GetLastViewMode()) + " " + std::to_string(config.GetLastCameraFieldWidth());
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536)
        return 0;
    const std::string path = Folder() + "/plot.xml";
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    {
        // Not through the component's writer: its fsync would dominate every run.
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out)
            std::abort();
    }
    Recorder recorder;
    ketra::sys::SetShell(&recorder);
    CAppSettings::UseSystemColorInfo = 0;
    std::string first;
    {
        HOpConfig config;
        config.SetConfigFile(ketra::sys::FromUtf8(path).c_str());
        first = Values(config);
    }
    std::string after;
    Require(ketra::sys::ReadFile(path, &after, nullptr), "the file is gone");
    if (!recorder.messages.empty()) {
        // Reported as unusable: never rewritten.
        Require(after == bytes, "a file reported as unusable was rewritten");
    } else if (size > 0) {
        // Accepted: a second reader sees the same values and finds nothing to report.
        HOpConfig again;
        again.SetConfigFile(ketra::sys::FromUtf8(path).c_str());
        const std::string second = Values(again);
        if (second != first)
            std::fprintf(stderr, "first:\n%s\nsecond:\n%s\n", first.c_str(), second.c_str());
        Require(second == first, "a second reader sees other values");
        if (!recorder.messages.empty())
            std::fprintf(stderr, "%s\n", recorder.messages[0].c_str());
        Require(recorder.messages.empty(), "a second reader reports a problem");
    }
    ketra::sys::SetShell(nullptr);
    return 0;
}
