// Orbiting a generated plant as a host does: the plotter's headless view at 1280 x 1024, the
// constant-frame-rate object started (10 frames a second), 36 orbit steps of 10 degrees with an
// Update after each, then one Update at rest (the full-detail frame). The same in hidden-line
// mode. Counters: first picture, moving median and 90th percentile, the full-detail frame, and
// peak memory. Figures are from one run; run it alone. KETRA_GENERAL_PROGRAMS=1 draws every
// batch with the general programs (SetGeneralPrograms), for comparison.
//
//   ./build/bench/InteractiveBench
#include "host/ModelGenerator.h"
#include "host/PipingModel.h"
#include "platform/hc/hc.h"
#include "platform/mvo/HConstantFrameRate.h"
#include "platform/render/Renderer.h"
#include "plotter/Plotter.h"
#include "view/HMyBaseView.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5));
    return v[i];
}

// A field of /proc/self/status in bytes ("VmHWM:" the peak, "VmRSS:" now).
double StatusBytes(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field, 0) == 0) return std::stod(line.substr(std::strlen(field))) * 1024.0;
    return 0;
}

struct Orbit {
    std::vector<double> moving;
    double rest = 0;
};

Orbit OrbitSteps(HMyBaseView& view) {
    Orbit out;
    for (int i = 0; i < 36; ++i) {
        HC_Open_Segment_By_Key(view.GetSceneKey());
        HC_Orbit_Camera(10, 0);
        HC_Close_Segment();
        const auto t0 = Clock::now();
        view.Update();
        out.moving.push_back(Since(t0));
    }
    const auto t0 = Clock::now();
    view.Update();  // at rest: full detail
    out.rest = Since(t0);
    return out;
}

void BM_OrbitGeneratedPlant(benchmark::State& state) {
    const char* general = std::getenv("KETRA_GENERAL_PROGRAMS");
    ketra::render::SetGeneralPrograms(general && std::strcmp(general, "1") == 0);
    std::ostringstream generated;
    ketra::host::GenerateModel(generated, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const auto start = Clock::now();
        ketra::host::LoadResult loaded = ketra::host::ParsePipingModel(generated.str(), "generated.json");
        if (!loaded.ok) {
            state.SkipWithError(loaded.error.c_str());
            return;
        }
        auto owned = std::make_unique<ketra::plotter::Plotter>();
        ketra::plotter::Plotter& plotter = *owned;
        std::string error;
        if (!plotter.Start({}, &error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        HMyBaseView& view = plotter.View();
        view.SetWindowSizeInPixels(1280, 1024);
        view.SetRenderMode(HRenderGouraud);
        plotter.Draw(loaded.model);
        const double graphBytes = StatusBytes("VmRSS:");
        view.SetViewMode(HViewIsoSE, false, true);
        view.Update();
        const double first = Since(start);
        const double firstBytes = StatusBytes("VmRSS:");

        HConstantFrameRate* rate = view.GetConstantFrameRateObject();
        rate->SetTargetFrameRate(10.0f);
        rate->Start();
        const Orbit shaded = OrbitSteps(view);
        const double shadedBytes = StatusBytes("VmRSS:");
        const double shadedPeak = StatusBytes("VmHWM:");
        const auto hiddenStart = Clock::now();
        view.SetRenderMode(HRenderHiddenLine);
        view.Update();
        const double hiddenFirst = Since(hiddenStart);
        const Orbit hidden = OrbitSteps(view);
        rate->Stop();

        state.counters["first_picture_s"] = first;
        state.counters["moving_median_ms"] = Percentile(shaded.moving, 0.5) * 1e3;
        state.counters["moving_p90_ms"] = Percentile(shaded.moving, 0.9) * 1e3;
        state.counters["full_after_motion_ms"] = shaded.rest * 1e3;
        state.counters["hidden_moving_median_ms"] = Percentile(hidden.moving, 0.5) * 1e3;
        state.counters["hidden_full_ms"] = hidden.rest * 1e3;
        // The first hidden-line frame after the shaded orbit (the change of mode).
        state.counters["hidden_switch_ms"] = hiddenFirst * 1e3;
        state.counters["peak_MB"] = StatusBytes("VmHWM:") / 1e6;
        // Resident memory after each stage: the model drawn into the scene graph, the first
        // picture, the shaded orbit and its frame at rest (and the peak up to there), the
        // hidden-line orbit.
        state.counters["graph_MB"] = graphBytes / 1e6;
        state.counters["first_picture_MB"] = firstBytes / 1e6;
        state.counters["shaded_MB"] = shadedBytes / 1e6;
        state.counters["shaded_peak_MB"] = shadedPeak / 1e6;
        state.counters["hidden_MB"] = StatusBytes("VmRSS:") / 1e6;
        // Of that, the vertex and index buffers the renderer keeps (every motion level's).
        state.counters["buffers_MB"] = static_cast<double>(ketra::render::LastFrameTimings().bufferBytes) / 1e6;
        // And the meshes it keeps built (every level's, with edges for the outline modes).
        state.counters["mesh_cache_MB"] = static_cast<double>(ketra::render::LastFrameTimings().meshBytes) / 1e6;
        // Closing the plant: the plotter deletes its segments.
        const auto closeStart = Clock::now();
        owned.reset();
        state.counters["close_s"] = Since(closeStart);
    }
}
BENCHMARK(BM_OrbitGeneratedPlant)->Arg(20000)->Arg(100000)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

} // namespace
