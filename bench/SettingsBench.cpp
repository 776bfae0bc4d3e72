// The settings store: parsing and writing the ".reg" text, and a full load and save of
// every application setting against a file in $TMPDIR.
#include "config/CAppSettings.h"
#include "platform/sys/AtomicFile.h"
#include "platform/sys/Registry.h"
#include "platform/sys/RegistryTree.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

using namespace ketra::sys;

namespace {

std::string BenchStorePath() {
    static const std::string path = [] {
        const auto dir = std::filesystem::temp_directory_path() / "ketra-settings-bench";
        std::filesystem::create_directories(dir);
        std::filesystem::remove(dir / "registry.reg");
        return (dir / "registry.reg").string();
    }();
    setenv("KETRA_REGISTRY", path.c_str(), 1);
    return path;
}

// The store text after one save of every setting (about 200 values).
std::string SavedStoreText() {
    const std::string path = BenchStorePath();
    CAppSettings::InitSettings();
    CAppSettings::SaveSettings();
    std::string text;
    ReadFile(path, &text, nullptr);
    return text;
}

void BM_ParseStore(benchmark::State& state) {
    const std::string text = SavedStoreText();
    for (auto _ : state) {
        RegistryTree tree;
        RegParseError error;
        benchmark::DoNotOptimize(RegistryTree::FromText(text, &tree, &error));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ParseStore);

void BM_SerialiseStore(benchmark::State& state) {
    RegistryTree tree;
    RegParseError error;
    RegistryTree::FromText(SavedStoreText(), &tree, &error);
    for (auto _ : state)
        benchmark::DoNotOptimize(tree.Serialise());
}
BENCHMARK(BM_SerialiseStore);

void BM_InitSettings(benchmark::State& state) {
    SavedStoreText();
    for (auto _ : state)
        CAppSettings::InitSettings();
}
BENCHMARK(BM_InitSettings)->Unit(benchmark::kMicrosecond);

// One changed value: one locked re-read, one atomic write with fsync.
void BM_SaveSettingsOneChange(benchmark::State& state) {
    SavedStoreText();
    CAppSettings::InitSettings();
    std::uint32_t color = 0;
    for (auto _ : state) {
        CAppSettings::PipeColor = ++color & 0xFFFFFF;
        CAppSettings::SaveSettings();
    }
}
BENCHMARK(BM_SaveSettingsOneChange)->Unit(benchmark::kMicrosecond);

} // namespace
