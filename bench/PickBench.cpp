// Picking and scene-file throughput on a plant-sized scene: 10,000 pipe shells of 100
// triangles each (about 1M triangles), one segment per element as the host draws them.
#include "platform/hc/hc.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr int kGrid = 100;  // kGrid x kGrid pipes
constexpr int kFacets = 50; // 50 quads = 100 triangles per pipe
constexpr const char* kDisplay = "/driver/null/bench";
constexpr const char* kScene = "/driver/null/bench/scene";

// A pipe along +X from (x, y, 0), length 0.8, radius 0.1, as a shell of kFacets quads.
void InsertPipe(float x, float y) {
    std::vector<float> pts;
    std::vector<int> faces;
    pts.reserve(2 * kFacets * 3);
    for (int i = 0; i < kFacets; ++i) {
        const double a = 2 * std::numbers::pi * i / kFacets;
        const float cy = y + 0.1f * static_cast<float>(std::cos(a));
        const float cz = 0.1f * static_cast<float>(std::sin(a));
        pts.insert(pts.end(), {x, cy, cz, x + 0.8f, cy, cz});
    }
    for (int i = 0; i < kFacets; ++i) {
        const int j = (i + 1) % kFacets;
        faces.insert(faces.end(), {4, 2 * i, 2 * i + 1, 2 * j + 1, 2 * j});
    }
    HC_Insert_Shell(static_cast<int>(pts.size() / 3), pts.data(), static_cast<int>(faces.size()),
                    faces.data());
}

void BuildPlant() {
    static bool built = false;
    if (built)
        return;
    built = true;
    HC_Define_System_Options("no warnings");
    HC_Open_Segment(kScene);
    const float pos[3] = {50, 50, 120}, tgt[3] = {50, 50, 0}, up[3] = {0, 1, 0};
    HC_Set_Camera(pos, tgt, up, 104, 104, "perspective");
    HC_Set_Heuristics("no related selection limit");
    HC_Open_Segment("model");
    char name[32];
    for (int i = 0; i < kGrid; ++i)
        for (int j = 0; j < kGrid; ++j) {
            std::snprintf(name, sizeof name, "pipe %d", i * kGrid + j);
            HC_Open_Segment(name);
            HC_Set_User_Options("from = 10, to = 20");
            InsertPipe(static_cast<float>(i), static_cast<float>(j));
            HC_Close_Segment();
        }
    HC_Close_Segment();
    HC_Close_Segment();
}

void BM_PickOnePoint(benchmark::State& state) {
    BuildPlant();
    HC_Compute_Selection(kDisplay, kScene, "v", 0.013, -0.021); // builds the indexes
    int found = 0;
    for (auto _ : state) {
        found = HC_Compute_Selection(kDisplay, kScene, "v", 0.013, -0.021);
        benchmark::DoNotOptimize(found);
    }
    state.counters["found"] = found;
}
BENCHMARK(BM_PickOnePoint)->Unit(benchmark::kMicrosecond);

void BM_SelectQuarterByArea(benchmark::State& state) {
    BuildPlant();
    int found = 0;
    for (auto _ : state) {
        found = HC_Compute_Selection_By_Area(kDisplay, kScene, "v", -1, 0, -1, 0);
        benchmark::DoNotOptimize(found);
    }
    state.counters["found"] = found;
}
BENCHMARK(BM_SelectQuarterByArea)->Unit(benchmark::kMillisecond);

void BM_PickAfterAnEdit(benchmark::State& state) {
    // One element changes between picks: the index is brought up to date each time.
    BuildPlant();
    for (auto _ : state) {
        HC_Open_Segment("/driver/null/bench/scene/model/pipe 5050");
        HC_Set_User_Options("to = 21");
        HC_Close_Segment();
        benchmark::DoNotOptimize(HC_Compute_Selection(kDisplay, kScene, "v", 0.013, -0.021));
    }
}
BENCHMARK(BM_PickAfterAnEdit)->Unit(benchmark::kMicrosecond);

void BM_FirstPick(benchmark::State& state) {
    // The first pick of a freshly drawn scene indexes every segment: 10,000 one-shell
    // segments rebuilt (untimed) before each pick.
    HC_Define_System_Options("no warnings");
    constexpr const char* kFresh = "/driver/null/bench/fresh";
    HC_Open_Segment(kFresh);
    const float pos[3] = {50, 50, 120}, tgt[3] = {50, 50, 0}, up[3] = {0, 1, 0};
    HC_Set_Camera(pos, tgt, up, 104, 104, "perspective");
    HC_Close_Segment();
    int found = 0;
    for (auto _ : state) {
        state.PauseTiming();
        HC_Open_Segment(kFresh);
        HC_Delete_Segment("model");
        HC_Open_Segment("model");
        for (int i = 0; i < kGrid; ++i)
            for (int j = 0; j < kGrid; ++j) {
                HC_Open_Segment("");
                InsertPipe(static_cast<float>(i), static_cast<float>(j));
                HC_Close_Segment();
            }
        HC_Close_Segment();
        HC_Close_Segment();
        state.ResumeTiming();
        found = HC_Compute_Selection(kDisplay, kFresh, "v", 0.013, -0.021);
        benchmark::DoNotOptimize(found);
    }
    state.counters["found"] = found;
}
BENCHMARK(BM_FirstPick)->Unit(benchmark::kMillisecond)->Iterations(20);

std::string MetafilePath() {
    return (std::filesystem::temp_directory_path() / "ketra-pickbench.hmf").string();
}

void BM_WriteMetafile(benchmark::State& state) {
    BuildPlant();
    for (auto _ : state)
        HC_Write_Metafile("/driver/null/bench/scene/model", MetafilePath().c_str(), "");
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(MetafilePath()));
}
BENCHMARK(BM_WriteMetafile)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ReadMetafile(benchmark::State& state) {
    BuildPlant();
    HC_Write_Metafile("/driver/null/bench/scene/model", MetafilePath().c_str(), "");
    for (auto _ : state) {
        HC_Read_Metafile(MetafilePath().c_str(), "/bench read", "");
        state.PauseTiming();
        HC_Delete_Segment("/bench read");
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ReadMetafile)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
