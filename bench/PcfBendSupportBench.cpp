// Reading a Piping Component File whose supports stand on bends: runs of pipes and elbows
// stepping east and north, with two supports on every elbow's arc, so that each support is
// looked up among all the file's bends. Generated at 25,000 and 100,000 lines; the time per
// line stays the same when the lookup grows with the file, not with its square.
#include "host/PcfReader.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <string>

namespace {

using P = std::array<double, 3>;

std::string Pt(const P& p) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "%.4f %.4f %.4f", p[0], p[1], p[2]);
    return buf;
}

// About `lines` lines: 13 to a pipe, its elbow and the elbow's two supports, 80 of those to
// a pipeline, pipelines side by side 6 m apart.
std::string Generate(int lines) {
    const double radius = 304.8, kPi = 3.14159265358979323846;
    std::string text = "ISOGEN-FILES ISOGEN.FLS\nUNITS-BORE MM\nUNITS-CO-ORDS MM\n";
    int written = 3;
    for (int line = 0; written < lines; ++line) {
        text += "PIPELINE-REFERENCE L-" + std::to_string(1000 + line) + "\n";
        ++written;
        P at{27000.0, -1000000.0 + 60000.0 * line, 3000.0};
        int axis = 0; // east, then north, then east ...
        for (int i = 0; i < 80 && written < lines; ++i) {
            P end = at;
            end[axis] += 2500 + 500 * (i % 4);
            P corner = end;
            corner[axis] += radius;
            const int next = 1 - axis;
            P out = corner;
            out[next] += radius;
            // The arc's centre, and points on the arc a third and two thirds of the way round.
            P centre = end;
            centre[next] += radius;
            text += "PIPE\n    END-POINT " + Pt(at) + " 200\n    END-POINT " + Pt(end) + " 200\n";
            text += "ELBOW\n    END-POINT " + Pt(end) + " 200\n    END-POINT " + Pt(out) +
                    " 200\n    CENTRE-POINT " + Pt(corner) + "\n";
            for (double f : {1.0 / 3, 2.0 / 3}) {
                P on = centre;
                on[axis] += radius * std::sin(f * kPi / 2);
                on[next] -= radius * std::cos(f * kPi / 2);
                text += "SUPPORT\n    CO-ORDS " + Pt(on) + "\n    SKEY SKID\n";
            }
            written += 13;
            at = out;
            axis = next;
        }
    }
    return text;
}

void BM_ReadPcfSupportsOnBends(benchmark::State& state) {
    const std::string text = Generate(static_cast<int>(state.range(0)));
    const long lines = static_cast<long>(std::count(text.begin(), text.end(), '\n'));
    std::size_t supports = 0;
    for (auto _ : state) {
        ketra::host::PcfLoadResult r = ketra::host::ParsePcf(text, "bends.pcf");
        if (!r.ok || !r.report.skipped.empty()) {
            state.SkipWithError(r.ok ? "a support stood on no bend" : r.error.c_str());
            return;
        }
        supports = r.model.restraints.size();
        benchmark::DoNotOptimize(r);
    }
    state.counters["lines"] = static_cast<double>(lines);
    state.counters["supports_on_bends"] = static_cast<double>(supports);
    state.counters["ns_per_line"] = benchmark::Counter(
        static_cast<double>(lines) * 1e-9,
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ReadPcfSupportsOnBends)->Arg(25000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
