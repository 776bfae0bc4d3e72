// GetPipeColor against a plot-properties file of 60 entries, the pipe entry last (the
// longest lookup). Two cases:
//   Cached: the file is unchanged, so each access only checks the file's identity.
//   ReloadEveryAccess: the file's time lies in the future, which the cache never trusts,
//     so every value read re-reads and re-parses the whole file: the cost of a plain
//     reload-on-every-access implementation (five reloads per GetPipeColor).
// System colours are off so all five colour values come from the file.
#include "config/CAppSettings.h"
#include "config/HOpConfig.h"
#include "platform/sys/TextEncoding.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string WritePlotFile(const std::string& folder) {
    const std::string path = folder + "/plot.xml";
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<PlotProperties>\n";
    const char* colour = "r=0.650980 g=0.792157 b=0.941176";
    for (int i = 0; i < 59; ++i)
        out << "\t<Element name=\"Entry" << i << "\" DiffuseColor=\"" << colour
            << "\" LineColor=\"" << colour << "\" EdgeColor=\"" << colour
            << "\" SpecularColor=\"white\" Transmission=\"black\" />\n";
    out << "\t<Element name=\"GenericPipe\" DiffuseColor=\"" << colour << "\" LineColor=\""
        << colour << "\" EdgeColor=\"" << colour
        << "\" SpecularColor=\"white\" Transmission=\"black\" />\n</PlotProperties>\n";
    return path;
}

void SetFileTime(const std::string& path, long offsetSeconds) {
    struct timespec times[2] = {};
    times[0].tv_sec = times[1].tv_sec = ::time(nullptr) + offsetSeconds;
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

void RunGetPipeColor(benchmark::State& state, long fileTimeOffset) {
    char pattern[] = "/tmp/ketra-bench-XXXXXX";
    if (!::mkdtemp(pattern)) {
        state.SkipWithError("cannot create a temporary folder");
        return;
    }
    const std::string path = WritePlotFile(pattern);
    SetFileTime(path, fileTimeOffset);
    const auto savedColors = CAppSettings::UseSystemColorInfo;
    CAppSettings::UseSystemColorInfo = 0;
    {
        HOpConfig config;
        config.SetConfigType(HOpConfig::ConfigInput);
        config.SetConfigFile(ketra::sys::FromUtf8(path).c_str());
        for (auto _ : state)
            benchmark::DoNotOptimize(config.GetPipeColor());
        state.counters["parses/call"] = benchmark::Counter(
            static_cast<double>(config.GetParseCount()) / static_cast<double>(state.iterations()));
    }
    CAppSettings::UseSystemColorInfo = savedColors;
    std::error_code ec;
    std::filesystem::remove_all(pattern, ec);
}

void BM_GetPipeColor_Cached(benchmark::State& state) { RunGetPipeColor(state, -60); }
void BM_GetPipeColor_ReloadEveryAccess(benchmark::State& state) { RunGetPipeColor(state, 3600); }

} // namespace

BENCHMARK(BM_GetPipeColor_Cached)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GetPipeColor_ReloadEveryAccess)->Unit(benchmark::kMicrosecond);
