// Support symbols at plant size: 10,000 restraints of mixed directions, 5,000 spring hangers of
// 20 diameters (cached copies after the first of each) and 5,000 anchors. "per_symbol" is the
// time for one symbol; "bytes_per_symbol" the heap the scene grew by per symbol.
//
//   ./SymbolsBench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include "platform/hc/hc.h"
#include "platform/mvo/HBaseModel.h"
#include "symbols/HCreatePlotSymbols.h"
#include "view/HBaseViewEx.h"

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <memory>

namespace {

struct Scene {
    Scene() {
        HC_Reset_System();
        model = std::make_unique<HBaseModel>();
        view = std::make_unique<HBaseViewEx>(model.get());
        builder = std::make_unique<HCreatePlotSymbols>(view.get(), 0, 1);
    }
    ~Scene() {
        builder.reset();
        view.reset();
        model.reset();
        HC_Reset_System();
    }
    std::unique_ptr<HBaseModel> model;
    std::unique_ptr<HBaseViewEx> view;
    std::unique_ptr<HCreatePlotSymbols> builder;
};

std::size_t HeapInUse() {
    return mallinfo2().uordblks;
}

template <typename Draw>
void RunSymbols(benchmark::State& state, int count, Draw draw) {
    Scene scene;
    double bytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        HC_Open_Segment("/include library/halden/symbols");
        HC_Flush_Contents("...", "everything");
        const std::size_t before = HeapInUse();
        state.ResumeTiming();
        for (int i = 0; i < count; ++i) {
            draw(*scene.builder, i);
        }
        state.PauseTiming();
        bytes = (static_cast<double>(HeapInUse()) - static_cast<double>(before)) / count;
        HC_Close_Segment();
        state.ResumeTiming();
    }
    state.counters["per_symbol"] = benchmark::Counter(
        count, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["bytes_per_symbol"] = bytes;
}

void BM_Restraints(benchmark::State& state) {
    static const char* const kCosines[] = {"", "(0.6, 0.8, 0)", "(0, 0.7071, 0.7071)"};
    RunSymbols(state, 10000, [](HCreatePlotSymbols& builder, int i) {
        const float x = static_cast<float>(i % 100) * 12.0f;
        const float y = static_cast<float>(i / 100) * 12.0f;
        builder.SetRestraintRotation(static_cast<HCreatePlotSymbols::SymbolDirection>(1 + i % 6),
                                     kCosines[i % 3]);
        builder.InsertRestraint(x, y, 0, x + 10, y, 0, 0.5f, i % 4 == 0, i % 5 == 0,
                                HCreatePlotSymbols::YAxis, nullptr);
    });
}
BENCHMARK(BM_Restraints)->Unit(benchmark::kMillisecond);

void BM_SpringHangers(benchmark::State& state) {
    RunSymbols(state, 5000, [](HCreatePlotSymbols& builder, int i) {
        const float x = static_cast<float>(i % 100) * 12.0f;
        const float z = static_cast<float>(i / 100) * 12.0f;
        const float diameter = 0.25f + 0.25f * static_cast<float>(i % 20);
        builder.InsertSpringHanger(x, 0, z, diameter, 1, HCreatePlotSymbols::YAxis);
    });
}
BENCHMARK(BM_SpringHangers)->Unit(benchmark::kMillisecond);

void BM_Anchors(benchmark::State& state) {
    RunSymbols(state, 5000, [](HCreatePlotSymbols& builder, int i) {
        const float x = static_cast<float>(i % 100) * 12.0f;
        const float y = static_cast<float>(i / 100) * 12.0f;
        builder.InsertAnchor(x, y, 0, x, y + 10, 0, 0.5f);
    });
}
BENCHMARK(BM_Anchors)->Unit(benchmark::kMillisecond);

} // namespace
