// The hover text on a generated plant: what the status bar costs when the pointer rests on
// the view (a pick at the pointer and the element's description). The plotter's headless
// view at 1280 x 1024, isometric; each iteration asks at one point of a 16 x 12 grid over the
// view, in turn, so that hits on elements and misses on the background both count.
//
//   ./build/bench/HoverBench --benchmark_repetitions=5 --benchmark_report_aggregates_only
#include "host/ModelGenerator.h"
#include "host/PipingModel.h"
#include "plotter/ElementCommands.h"
#include "plotter/Plotter.h"
#include "view/HMyBaseView.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <sstream>
#include <string>

namespace {

void BM_HoverTextOnGeneratedPlant(benchmark::State& state) {
    std::ostringstream generated;
    ketra::host::GenerateModel(generated, static_cast<int>(state.range(0)));
    ketra::host::LoadResult loaded = ketra::host::ParsePipingModel(generated.str(), "generated.json");
    if (!loaded.ok) {
        state.SkipWithError(loaded.error.c_str());
        return;
    }
    auto plotter = std::make_unique<ketra::plotter::Plotter>();
    std::string error;
    if (!plotter->Start({}, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    HMyBaseView& view = plotter->View();
    view.SetWindowSizeInPixels(1280, 1024);
    plotter->Draw(loaded.model);
    view.SetViewMode(HViewIsoSE, false, true);
    view.Update();
    int point = 0;
    long hits = 0;
    for (auto _ : state) {
        const int x = 40 + (point % 16) * 75, y = 40 + (point / 16 % 12) * 80;
        ++point;
        const std::string text = ketra::plotter::HoverTextAt(*plotter, x, y);
        hits += !text.empty();
        benchmark::DoNotOptimize(text.data());
    }
    state.counters["hit_fraction"] = static_cast<double>(hits) / static_cast<double>(point);
}
BENCHMARK(BM_HoverTextOnGeneratedPlant)->Arg(20000)->Unit(benchmark::kMillisecond);

} // namespace
