// The solver on a generated plant of 10,000 nodes: a 12-inch header of 100 nodes along y,
// anchored at its ends, on rests and guides, feeding 100 branch lines of 2 to 10 inches with
// 99 nodes each: a run along x on the rack, a horizontal expansion loop, a second run and a
// drop to an anchored nozzle. Lines rest on one-way supports at spans by their size, are
// guided sideways at every third rest, and hang on a preloaded spring at the loop's far leg.
// BM_StaticThreeCases solves three load cases: sustained (weight and pressure's elongation),
// operating (with each line heated by 75 to 150 °C) and a second operating case at 60 % of
// that heat. (The expansion range is operating minus sustained, not a solve of its own: with
// one-way supports the cases do not superpose.) BM_LowestTwentyModes finds the lowest 20
// modes.
// Counters: nodes, one-way rests and those lifted off (operating case), the lowest frequency.
#include "analysis/FrameSolver.h"
#include "analysis/ModalSolver.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace {

using namespace ketra::analysis;

// N, mm, MPa, tonnes.
FrameModel Plant(double weightFactor, double heat, double pressureStrain) {
    constexpr double E = 200000, nu = 0.3, steel = 7.85e-9, water = 1e-9, g = 9806.65;
    FrameModel m;
    auto beam = [&](int a, int b, double od, double wall, double heatStrain) {
        const double strain = heatStrain + pressureStrain;
        const Section section = PipeSection(od, wall, nu);
        const double mass = steel * section.area + water * M_PI / 4 * std::pow(od - 2 * wall, 2);
        m.beams.push_back({a, b, E, E / (2 * (1 + nu)), section, 1, {0, 0, -mass * g * weightFactor}, strain, mass});
    };
    auto rest = [&](int node, bool guided) {
        m.supports.push_back({node, Support::Kind::Translation, {0, 0, 1}, 0});
        m.supports.back().oneWay = true;
        if (guided)
            m.supports.push_back({node, Support::Kind::Translation, {0, 1, 0}, 0});
    };
    // The header.
    for (int i = 0; i < 100; ++i) {
        m.nodes.push_back({0, 600.0 * i, 0});
        if (i > 0)
            beam(i - 1, i, 323.9, 9.53, 1.2e-3 * heat);
        if (i % 2 == 1 && i < 99)
            rest(i, i % 10 == 5);
    }
    m.supports.push_back({0, Support::Kind::Anchor, {}, 0});
    m.supports.push_back({99, Support::Kind::Anchor, {}, 0});
    // The branches: legs of (direction, nodes, spacing in mm).
    struct Leg {
        double dx, dy, dz;
        int nodes;
        double spacing;
    };
    const Leg legs[] = {{1, 0, 0, 40, 1000}, {0, 1, 0, 8, 500}, {1, 0, 0, 6, 1000},
                        {0, -1, 0, 8, 500}, {1, 0, 0, 25, 1000}, {0, 0, -1, 12, 500}};
    const double sizes[][3] = {{60.3, 3.91, 3}, {88.9, 5.49, 4}, {114.3, 6.02, 4},
                               {168.3, 7.11, 5}, {219.1, 8.18, 6}, {273.1, 9.27, 6}}; // OD, wall, span in m
    for (int line = 0; line < 100; ++line) {
        const double* size = sizes[line % 6];
        const double strain = 1.2e-5 * (75 + 25 * (line % 4)) * heat;
        int previous = line, along = 0;
        for (const Leg& leg : legs)
            for (int k = 0; k < leg.nodes; ++k) {
                const ketra::analysis::Vec3& p = m.nodes[previous];
                m.nodes.push_back({p[0] + leg.dx * leg.spacing, p[1] + leg.dy * leg.spacing, p[2] + leg.dz * leg.spacing});
                const int node = static_cast<int>(m.nodes.size()) - 1;
                beam(previous, node, size[0], size[1], strain);
                previous = node;
                if (leg.dz == 0 && ++along % static_cast<int>(size[2]) == 0)
                    rest(node, along % static_cast<int>(3 * size[2]) == 0);
                if (&leg == &legs[3] && k == 0) {
                    Support hanger{node, Support::Kind::Translation, {0, 0, 1}, 50 * size[0]};
                    hanger.preload = g * weightFactor * steel * size[0] * size[1] * M_PI * 4000;
                    m.supports.push_back(hanger);
                }
            }
        m.supports.push_back({previous, Support::Kind::Anchor, {}, 0});
    }
    return m;
}

void BM_StaticThreeCases(benchmark::State& state) {
    const FrameModel cases[3] = {Plant(1, 0, 1e-4), Plant(1, 1, 1e-4), Plant(1, 0.6, 1e-4)};
    std::size_t lifted = 0;
    for (auto _ : state) {
        for (const FrameModel& model : cases) {
            const FrameResult r = SolveStatic(model);
            if (!r.ok || !r.warning.empty())
                throw std::runtime_error(r.error + r.warning);
            lifted = r.liftedOff.size();
            benchmark::DoNotOptimize(r.displacements.data());
        }
    }
    state.counters["nodes"] = static_cast<double>(cases[0].nodes.size());
    state.counters["lifted_off"] = static_cast<double>(lifted);
    state.counters["one_way"] = static_cast<double>(
        std::count_if(cases[0].supports.begin(), cases[0].supports.end(), [](const Support& s) { return s.oneWay; }));
}
BENCHMARK(BM_StaticThreeCases)->Unit(benchmark::kMillisecond);

void BM_LowestTwentyModes(benchmark::State& state) {
    const FrameModel model = Plant(1, 0, 0);
    double lowest = 0;
    for (auto _ : state) {
        const ModalResult r = SolveModes(model, 20);
        if (!r.ok || r.frequencies.size() != 20)
            throw std::runtime_error(r.error);
        lowest = r.frequencies.front();
        benchmark::DoNotOptimize(r.shapes.data());
    }
    state.counters["nodes"] = static_cast<double>(model.nodes.size());
    state.counters["lowest_Hz"] = lowest;
}
BENCHMARK(BM_LowestTwentyModes)->Unit(benchmark::kMillisecond);

} // namespace
