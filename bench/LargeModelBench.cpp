// End to end on a generated plant, as `ketra render` does it: parse the model file, start the
// component and draw every element, then render and write a 1600 x 1200 PNG. Each iteration
// starts from nothing (new view, empty mesh cache), so the render figure is a first frame.
// Stage times are reported as counters (seconds per iteration).
#include "host/ModelGenerator.h"
#include "host/PipingModel.h"
#include "platform/io/HIOManager.h"
#include "platform/render/Renderer.h"
#include "plotter/Plotter.h"
#include "view/HMyBaseView.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

void BM_RenderGeneratedPlant(benchmark::State& state) {
    std::ostringstream generated;
    ketra::host::GenerateModel(generated, static_cast<int>(state.range(0)));
    const std::string text = generated.str();
    const std::string out = "/tmp/ketra-large-model-bench-" + std::to_string(getpid()) + ".png";
    double load = 0, build = 0, tessellate = 0, draw = 0, write = 0, triangles = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        ketra::host::LoadResult loaded = ketra::host::ParsePipingModel(text, "generated.json");
        if (!loaded.ok) {
            state.SkipWithError(loaded.error.c_str());
            return;
        }
        load += Since(t0);
        t0 = Clock::now();
        ketra::plotter::Plotter plotter;
        std::string error;
        if (!plotter.Start({}, &error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        plotter.View().SetRenderMode(HRenderGouraud);
        plotter.Draw(loaded.model);
        plotter.View().SetViewMode(HViewIsoSE, false, true);
        build += Since(t0);
        t0 = Clock::now();
        HOutputHandlerOptions options;
        options.m_pHBaseView = &plotter.View();
        options.m_Pixel_Width = 1600;
        options.m_Pixel_Height = 1200;
        options.m_Window_Width = 1600.0f / 96.0f;
        options.m_Window_Height = 1200.0f / 96.0f;
        if (plotter.View().FileOutput(out.c_str(), HIOManager::Instance()->GetOutputHandler("png"), &options) != OutputOK) {
            state.SkipWithError("could not write the picture");
            return;
        }
        const double total = Since(t0);
        const ketra::render::FrameTimings& frame = ketra::render::LastFrameTimings();
        tessellate += frame.walkSeconds;
        draw += frame.drawSeconds + frame.readSeconds;
        write += total - frame.walkSeconds - frame.drawSeconds - frame.readSeconds;
        triangles = static_cast<double>(frame.triangles);
        // The next iteration starts with an empty mesh cache, as a new process would.
        ketra::render::ReleaseHeadlessResources();
    }
    std::remove(out.c_str());
    const auto perIteration = benchmark::Counter::kAvgIterations;
    state.counters["load_s"] = benchmark::Counter(load, perIteration);
    state.counters["build_s"] = benchmark::Counter(build, perIteration);
    state.counters["tessellate_s"] = benchmark::Counter(tessellate, perIteration);
    state.counters["draw_s"] = benchmark::Counter(draw, perIteration);
    state.counters["write_s"] = benchmark::Counter(write, perIteration);
    state.counters["triangles"] = triangles;
}
BENCHMARK(BM_RenderGeneratedPlant)->Arg(20000)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

} // namespace
