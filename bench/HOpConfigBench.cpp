// GetPipeColor against a plot-properties file of 60 entries, the pipe entry last (the
// longest lookup); the naive case reads the "Dimensions" entry, first in the file. System colours
// are off so all five colour values come from the file.
//   Cached: the file is unchanged, so the call only checks the file's identity once.
//   ReloadEveryAccess: the file's time lies in the future, which the cache never trusts,
//     so the call re-reads and re-parses the file (once: one getter reads one snapshot).
//   NaiveFiveReloads: what a reload on every value read costs for the same five values
//     (five single-value getters on the untrusted file), the plain implementation's way.
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
    out << "\t<Element name=\"Dimensions\" Color=\"" << colour << "\" />\n";
    for (int i = 0; i < 58; ++i)
        out << "\t<Element name=\"Entry" << i << "\" DiffuseColor=\"" << colour << "\" LineColor=\""
            << colour << "\" EdgeColor=\"" << colour
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

template <typename Body> void RunWithFile(benchmark::State& state, long fileTimeOffset, Body body) {
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
            body(config);
        state.counters["parses/call"] = benchmark::Counter(
            static_cast<double>(config.GetParseCount()) / static_cast<double>(state.iterations()));
    }
    CAppSettings::UseSystemColorInfo = savedColors;
    std::error_code ec;
    std::filesystem::remove_all(pattern, ec);
}

void GetPipeColor(HOpConfig& config) {
    benchmark::DoNotOptimize(config.GetPipeColor());
}

void BM_GetPipeColor_Cached(benchmark::State& state) {
    RunWithFile(state, -60, GetPipeColor);
}
void BM_GetPipeColor_ReloadEveryAccess(benchmark::State& state) {
    RunWithFile(state, 3600, GetPipeColor);
}
void BM_GetPipeColor_NaiveFiveReloads(benchmark::State& state) {
    RunWithFile(state, 3600, [](HOpConfig& config) {
        for (int i = 0; i < 5; ++i)
            benchmark::DoNotOptimize(config.GetDimensionsColor());
    });
}

} // namespace

BENCHMARK(BM_GetPipeColor_Cached)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GetPipeColor_ReloadEveryAccess)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GetPipeColor_NaiveFiveReloads)->Unit(benchmark::kMicrosecond);
