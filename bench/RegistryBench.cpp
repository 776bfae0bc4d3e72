// The element registry at plant size: 100,000 elements registered from their segments, then
// looked up by key (picking) and by node pair (partial redraw). Each benchmark runs the whole
// batch per iteration; "per_element" is the time for one registration or lookup.
//
//   ./RegistryBench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include "model/HElementCollection.h"
#include "platform/hc/hc.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

constexpr int kElements = 100000;

struct Plant {
    std::vector<long> segments;
    std::vector<long> shells;
};

// One segment per element under the host's folder, tagged with its node pair (nodes go up in
// steps of 10, as engineers number them) and holding one shell.
const Plant& BuildPlant() {
    static const Plant plant = [] {
        Plant p;
        HC_Reset_System();
        static const float triangle[] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
        static const int faces[] = {3, 0, 1, 2};
        const char* kinds[] = {"cylinder", "bend", "restraint", "rigid"};
        p.segments.reserve(kElements);
        p.shells.reserve(kElements);
        HC_Open_Segment("/include library/halden");
        for (int i = 0; i < kElements; ++i) {
            const std::string name = std::string(kinds[i % 4]) + "/" + std::to_string(i);
            p.segments.push_back(HC_Open_Segment(name.c_str()));
            const std::string options =
                "from=" + std::to_string(10 * i + 10) + ",to=" + std::to_string(10 * i + 20);
            HC_Set_User_Options(options.c_str());
            p.shells.push_back(HC_Insert_Shell(3, triangle, 4, faces));
            HC_Close_Segment();
        }
        HC_Close_Segment();
        return p;
    }();
    return plant;
}

HElementCollection FilledRegistry() {
    HElementCollection registry;
    for (long key : BuildPlant().segments) {
        registry.Add(key, HElementCollection::SegmentKey);
    }
    return registry;
}

void SetPerElement(benchmark::State& state) {
    state.counters["per_element"] = benchmark::Counter(
        kElements, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_AddSegmentKeys(benchmark::State& state) {
    const Plant& plant = BuildPlant();
    for (auto _ : state) {
        HElementCollection registry;
        for (long key : plant.segments) {
            benchmark::DoNotOptimize(registry.Add(key, HElementCollection::SegmentKey));
        }
        state.PauseTiming();
        registry.Clear(); // destruction is not registration
        state.ResumeTiming();
    }
    SetPerElement(state);
}
BENCHMARK(BM_AddSegmentKeys)->Unit(benchmark::kMillisecond);

void BM_AddGeometryKeys(benchmark::State& state) {
    const Plant& plant = BuildPlant();
    for (auto _ : state) {
        HElementCollection registry;
        for (long key : plant.shells) {
            benchmark::DoNotOptimize(registry.Add(key, HElementCollection::GeometryKey));
        }
        state.PauseTiming();
        registry.Clear();
        state.ResumeTiming();
    }
    SetPerElement(state);
}
BENCHMARK(BM_AddGeometryKeys)->Unit(benchmark::kMillisecond);

void BM_FindByKey(benchmark::State& state) {
    const Plant& plant = BuildPlant();
    const HElementCollection registry = FilledRegistry();
    for (auto _ : state) {
        for (long key : plant.segments) {
            benchmark::DoNotOptimize(registry.Find(key));
        }
    }
    SetPerElement(state);
}
BENCHMARK(BM_FindByKey)->Unit(benchmark::kMillisecond);

void BM_FindByNodePair(benchmark::State& state) {
    BuildPlant();
    const HElementCollection registry = FilledRegistry();
    for (auto _ : state) {
        for (int i = 0; i < kElements; ++i) {
            benchmark::DoNotOptimize(registry.Find(10 * i + 10, 10 * i + 20));
        }
    }
    SetPerElement(state);
}
BENCHMARK(BM_FindByNodePair)->Unit(benchmark::kMillisecond);

// Delete by pair and register again: the partial redraw of every element.
void BM_RedrawByNodePair(benchmark::State& state) {
    const Plant& plant = BuildPlant();
    HElementCollection registry = FilledRegistry();
    for (auto _ : state) {
        for (int i = 0; i < kElements; ++i) {
            registry.Delete(10 * i + 10, 10 * i + 20);
            registry.Add(plant.segments[i], HElementCollection::SegmentKey);
        }
    }
    SetPerElement(state);
}
BENCHMARK(BM_RedrawByNodePair)->Unit(benchmark::kMillisecond);

} // namespace
