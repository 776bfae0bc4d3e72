// A 100,000-line Piping Component File read into a model and drawn to a 1600 x 1200 PNG, as
// `ketra render FILE.pcf` does it. The file is generated: pipelines of pipes, elbows, tees
// with branches, olets, flanges, valves, supports and annotations, at plant co-ordinates a
// million millimetres from the origin, written the way exporters write them (indented
// attributes, vendor keywords, a materials section).
#include "host/PcfReader.h"
#include "platform/io/HIOManager.h"
#include "platform/render/Renderer.h"
#include "plotter/Plotter.h"
#include "view/HMyBaseView.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
double Since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

class PcfWriter {
public:
    explicit PcfWriter(int lines) : m_target(lines) {}

    std::string Generate() {
        Line("ISOGEN-FILES ISOGEN.FLS");
        Line("UNITS-BORE MM");
        Line("UNITS-CO-ORDS MM");
        for (int pipeline = 0; m_lines < m_target - 8; ++pipeline)
            Pipeline(pipeline);
        Line("MATERIALS");
        Line("MATERIAL-IDENTIFIER 1");
        Line("    DESCRIPTION PIPE SMLS, ASTM A106-B");
        return m_text;
    }

private:
    using P = std::array<double, 3>;

    void Line(const std::string& s) {
        m_text += s;
        m_text += '\n';
        ++m_lines;
    }
    static std::string Pt(const P& p) {
        char buf[96];
        std::snprintf(buf, sizeof buf, "%.4f %.4f %.4f", p[0], p[1], p[2]);
        return buf;
    }
    void Linear(const char* keyword, const P& a, const P& b, int bore, const char* skey = nullptr) {
        Line(keyword);
        Line("    END-POINT " + Pt(a) + " " + std::to_string(bore) + " BW");
        Line("    END-POINT " + Pt(b) + " " + std::to_string(bore) + " BW");
        if (skey)
            Line(std::string("    SKEY ") + skey);
        Line("    UNIQUE-COMPONENT-IDENTIFIER " + std::to_string(++m_uci));
    }
    void Support(const P& at, const char* skey, const char* direction) {
        Line("SUPPORT");
        Line("    CO-ORDS " + Pt(at) + " 200");
        Line(std::string("    SKEY ") + skey);
        Line(std::string("    SUPPORT-DIRECTION ") + direction);
    }
    static P Step(const P& p, int axis, double d) {
        P q = p;
        q[axis] += d;
        return q;
    }

    // A run that steps east, turns north or up and back, with a tee branch and an olet on
    // every few pipes, flanged valves now and then, and supports at pipe ends.
    void Pipeline(int index) {
        Line("PIPELINE-REFERENCE L-" + std::to_string(1000 + index));
        Line("    PIPING-SPEC CS150");
        P at{27000.0 + 3000.0 * (index % 7), -1000000.0 + 6000.0 * index, 3000.0};
        const int bore = 200;
        const double radius = 304.8;
        const int turns[] = {1, 2, 0, 1, 0, 2};
        int axis = 0;
        double sign = 1;
        for (int i = 0; i < 60; ++i) {
            double length = 2500 + 500 * (i % 4);
            P end = Step(at, axis, sign * length);
            if (i % 5 == 2) {
                // A tee in the middle of the run and a capped branch below it.
                P mid = Step(at, axis, sign * length / 2);
                P t1 = Step(mid, axis, -sign * 178), t2 = Step(mid, axis, sign * 178);
                Linear("PIPE", at, t1, bore);
                Line("TEE");
                Line("    END-POINT " + Pt(t1) + " 200");
                Line("    END-POINT " + Pt(t2) + " 200");
                Line("    CENTRE-POINT " + Pt(mid));
                P branch = Step(mid, 2, -168);
                Line("    BRANCH1-POINT " + Pt(branch) + " 150");
                Line("    SKEY TEBW");
                P low = Step(branch, 2, -1200);
                Linear("PIPE", branch, low, 150);
                Linear("CAP", low, Step(low, 2, -102), 150, "KABW");
                Linear("PIPE", t2, end, bore);
            } else if (i % 7 == 4) {
                // A flanged valve.
                P f1 = Step(at, axis, sign * 1000), f2 = Step(f1, axis, sign * 120),
                  v2 = Step(f2, axis, sign * 500), f3 = Step(v2, axis, sign * 120);
                Linear("PIPE", at, f1, bore);
                Linear("FLANGE", f1, f2, bore, "FLWN");
                Linear("VALVE", f2, v2, bore, "VVFL");
                Linear("FLANGE", v2, f3, bore, "FLWN");
                Linear("PIPE", f3, end, bore);
            } else {
                Linear("PIPE", at, end, bore);
                if (i % 3 == 0) {
                    P o = Step(at, axis, sign * length / 3);
                    Line("OLET");
                    Line("    CENTRE-POINT " + Pt(o));
                    Line("    BRANCH1-POINT " + Pt(Step(o, 2, 150)) + " 25");
                    Line("    ANGLE 9000");
                }
            }
            Support(end, "SKID", "DOWN");
            if (i % 4 == 1)
                Support(end, "GUID", axis == 0 ? "NORTH" : "EAST");
            Line("MESSAGE-CIRCLE");
            Line("    CO-ORDS " + Pt(end));
            Line("    TEXT " + std::to_string(i));
            // An elbow onto the next axis.
            int next = turns[(index + i) % 6];
            if (next == axis)
                next = (axis + 1) % 3;
            double nextSign = (i / 2) % 2 ? -1 : 1;
            P corner = Step(end, axis, sign * radius);
            P out = Step(corner, next, nextSign * radius);
            Line("ELBOW");
            Line("    END-POINT " + Pt(end) + " 200");
            Line("    END-POINT " + Pt(out) + " 200");
            Line("    CENTRE-POINT " + Pt(corner));
            Line("    ANGLE 9000");
            Line("    SKEY ELBW");
            at = out;
            axis = next;
            sign = nextSign;
            if (m_lines >= m_target - 40)
                break;
        }
    }

    int m_target;
    int m_lines = 0;
    int m_uci = 0;
    std::string m_text;
};

const std::string& Text() {
    static const std::string text = PcfWriter(100000).Generate();
    return text;
}

long PeakRssKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

void ResetPeakRss() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
}

void BM_ReadPcf(benchmark::State& state) {
    const std::string& text = Text();
    const long lines = static_cast<long>(std::count(text.begin(), text.end(), '\n'));
    ResetPeakRss();
    const long before = PeakRssKb();
    std::size_t elements = 0;
    for (auto _ : state) {
        ketra::host::PcfLoadResult r = ketra::host::ParsePcf(text, "generated.pcf");
        if (!r.ok) {
            state.SkipWithError(r.error.c_str());
            return;
        }
        elements = r.model.elements.size();
        benchmark::DoNotOptimize(r);
    }
    state.SetItemsProcessed(state.iterations() * lines);
    state.counters["lines"] = static_cast<double>(lines);
    state.counters["elements"] = static_cast<double>(elements);
    state.counters["ns_per_line"] = benchmark::Counter(
        static_cast<double>(lines) * 1e-9,
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["peak_rss_mb"] = static_cast<double>(PeakRssKb()) / 1024;
    state.counters["peak_growth_mb"] = static_cast<double>(PeakRssKb() - before) / 1024;
}
BENCHMARK(BM_ReadPcf)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RenderPcf(benchmark::State& state) {
    const std::string& text = Text();
    const std::string out = "/tmp/ketra-pcf-bench-" + std::to_string(getpid()) + ".png";
    double load = 0, build = 0, render = 0, write = 0;
    ResetPeakRss();
    for (auto _ : state) {
        auto t0 = Clock::now();
        ketra::host::PcfLoadResult loaded = ketra::host::ParsePcf(text, "generated.pcf");
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
        if (plotter.View().FileOutput(out.c_str(), HIOManager::Instance()->GetOutputHandler("png"),
                                      &options) != OutputOK) {
            state.SkipWithError("could not write the picture");
            return;
        }
        const double total = Since(t0);
        const ketra::render::FrameTimings& frame = ketra::render::LastFrameTimings();
        render += frame.walkSeconds + frame.drawSeconds + frame.readSeconds;
        write += total - frame.walkSeconds - frame.drawSeconds - frame.readSeconds;
        ketra::render::ReleaseHeadlessResources();
    }
    std::remove(out.c_str());
    const auto perIteration = benchmark::Counter::kAvgIterations;
    state.counters["load_s"] = benchmark::Counter(load, perIteration);
    state.counters["build_s"] = benchmark::Counter(build, perIteration);
    state.counters["render_s"] = benchmark::Counter(render, perIteration);
    state.counters["write_s"] = benchmark::Counter(write, perIteration);
    state.counters["peak_rss_mb"] = static_cast<double>(PeakRssKb()) / 1024;
}
BENCHMARK(BM_RenderPcf)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

} // namespace
