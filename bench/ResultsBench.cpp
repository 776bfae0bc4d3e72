// A load-case switch on a generated plant against a full-detail frame of it. The plant is
// drawn once with stresses and displacements for every element and node in two cases; each
// iteration switches case (colours, legend, displaced shape) and draws a 1280 x 1024 frame.
// Counters: switch_ms (the switch itself), frame_ms (the frame after it: the walk of the
// changed segments and the draw), walk_ms (its walk and tessellation part), and
// still_frame_ms (a full-detail frame with nothing changed, for comparison: the camera is
// nudged so that it is drawn, not reused).
#include "host/ModelGenerator.h"
#include "host/PipingModel.h"
#include "platform/hc/hc.h"
#include "platform/render/Renderer.h"
#include "plotter/Plotter.h"
#include "results/ResultsDisplay.h"
#include "view/HMyBaseView.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <sstream>

namespace {

using Clock = std::chrono::steady_clock;
double Ms(Clock::time_point start) { return std::chrono::duration<double, std::milli>(Clock::now() - start).count(); }

ketra::results::Results MakeResults(const ketra::host::PipingModel& model) {
    ketra::results::Results r;
    r.units.stress = "MPa";
    for (int c = 0; c < 2; ++c) {
        ketra::results::LoadCase lc;
        lc.name = c == 0 ? "OPE" : "SUS";
        lc.kind = c == 0 ? ketra::results::CaseKind::Operating : ketra::results::CaseKind::Sustained;
        for (const auto& [node, p] : model.nodes)
            lc.displacements[node].translation = {std::sin(p[0] * 1e-3 + c), std::cos(p[1] * 1e-3), 0.5 * c};
        for (const ketra::host::Element& e : model.elements) {
            ketra::results::EndStress s;
            s.stress = 50 + 40 * std::sin(e.from * 0.1 + c);
            s.allowable = 100;
            s.ratio = s.stress / 100;
            lc.stresses[{e.from, e.to}] = {s, s};
        }
        r.cases.push_back(std::move(lc));
    }
    return r;
}

double FrameMs(ketra::plotter::Plotter& plotter, double* walkMs) {
    ketra::render::Image image;
    const auto t0 = Clock::now();
    ketra::render::RenderToImage(plotter.View().GetViewKey(), {1280, 1024, 1}, image);
    const double ms = Ms(t0);
    if (walkMs)
        *walkMs = ketra::render::LastFrameTimings().walkSeconds * 1000;
    return ms;
}

void BM_CaseSwitch(benchmark::State& state) {
    std::ostringstream generated;
    ketra::host::GenerateModel(generated, static_cast<int>(state.range(0)));
    ketra::host::LoadResult loaded = ketra::host::ParsePipingModel(generated.str(), "generated.json");
    ketra::plotter::Plotter plotter;
    std::string error;
    if (!loaded.ok || !plotter.Start({}, &error)) {
        state.SkipWithError("could not draw the plant");
        return;
    }
    plotter.View().SetRenderMode(HRenderGouraud);
    plotter.Draw(loaded.model);
    plotter.View().SetViewMode(HViewIsoSE, false, true);
    const ketra::results::Results results = MakeResults(loaded.model);
    ketra::results::ResultsDisplay display(plotter, loaded.model, results);
    display.Show("SUS", {});
    FrameMs(plotter, nullptr); // the first frame builds every mesh
    double switchMs = 0, frameMs = 0, walkMs = 0, stillMs = 0;
    int i = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        display.Show(++i % 2 ? "OPE" : "SUS", {});
        switchMs += Ms(t0);
        double walk = 0;
        frameMs += FrameMs(plotter, &walk);
        walkMs += walk;
        HC_Open_Segment_By_Key(plotter.View().GetSceneKey());
        HC_Orbit_Camera(0.01, 0);
        HC_Close_Segment();
        stillMs += FrameMs(plotter, nullptr);
    }
    const auto perIteration = benchmark::Counter::kAvgIterations;
    state.counters["switch_ms"] = benchmark::Counter(switchMs, perIteration);
    state.counters["frame_ms"] = benchmark::Counter(frameMs, perIteration);
    state.counters["walk_ms"] = benchmark::Counter(walkMs, perIteration);
    state.counters["still_frame_ms"] = benchmark::Counter(stillMs, perIteration);
}
BENCHMARK(BM_CaseSwitch)->Arg(20000)->Iterations(6)->Unit(benchmark::kMillisecond);

} // namespace
