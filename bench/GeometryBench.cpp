// Building speed of the element geometry kernel: straight pipe elements (20 facets, three
// levels of detail) and right-angle bends built into a scene, 10,000 per iteration, with the
// heap bytes the scene holds per element afterwards.
//
//   ./build/bench/GeometryBench --benchmark_repetitions=5 --benchmark_report_aggregates_only
//
// Time per element = reported time / 10,000 (items_per_second counts elements). The machine is
// shared, so compare CPU times; wall times include waiting for a core.

#include "geometry/CVector3D.h"
#include "geometry/HCreateBend.h"
#include "geometry/HCreateCylinder.h"
#include "geometry/HCreateStructure.h"
#include "platform/hc/hc.h"

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr int kElements = 10000;

size_t HeapInUse()
{
    return mallinfo2().uordblks;
}

// Element end points along a meandering run with a skewed direction every few elements.
std::vector<float> PipeRun(int count)
{
    std::mt19937 random(42);
    std::uniform_real_distribution<float> step(-60, 60);
    std::vector<float> points;
    points.reserve(static_cast<size_t>(count + 1) * 3);
    float p[3] = {0, 0, 0};
    points.insert(points.end(), p, p + 3);
    for (int i = 0; i < count; ++i) {
        const int axis = i % 3;
        p[axis] += step(random);
        if (i % 7 == 0) {
            p[(axis + 1) % 3] += step(random) / 3;
        }
        points.insert(points.end(), p, p + 3);
    }
    return points;
}

void BM_PipeElements(benchmark::State& state)
{
    const std::vector<float> run = PipeRun(kElements);
    size_t heldBytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        HC_Reset_System();
        const size_t before = HeapInUse();
        HC_Open_Segment("/model/pipes");
        HCreateCylinder builder(nullptr, 0, 1);
        state.ResumeTiming();
        for (int i = 0; i < kElements; ++i) {
            const float* a = &run[3 * static_cast<size_t>(i)];
            HC_Open_Segment("");
            benchmark::DoNotOptimize(
                builder.InsertCylinder(a[0], a[1], a[2], a[3], a[4], a[5], 3.3125f, 20, 0, 0, 1,
                                       1, 0, 360));
            HC_Close_Segment();
        }
        state.PauseTiming();
        HC_Close_Segment();
        heldBytes = HeapInUse() - before;
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kElements);
    state.counters["bytes_per_element"] = static_cast<double>(heldBytes) / kElements;
    HC_Reset_System();
}
BENCHMARK(BM_PipeElements)->Unit(benchmark::kMillisecond)->Iterations(3);

// Bends of a plant model: mostly 90 and 45 degrees (range 0), or any angle from 17 to 160
// degrees (range 1; prime angles sweep in 1 degree steps, so their tori are the largest).
void BM_Bends(benchmark::State& state)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<float> length(20, 80);
    std::uniform_real_distribution<float> anyTurn(0.3f, 2.8f);
    std::uniform_int_distribution<int> pick(0, 9);
    std::vector<float> bends;
    bends.reserve(kElements * 9);
    for (int i = 0; i < kElements; ++i) {
        const float l1 = length(random);
        const float l2 = length(random);
        float a = anyTurn(random);
        if (state.range(0) == 0) {
            const int p = pick(random);
            a = p < 7 ? 1.5707963f : (p < 9 ? 0.7853982f : a);
        }
        const float ox = float(i % 100) * 200;
        const float oy = float(i / 100) * 200;
        bends.insert(bends.end(), {ox, oy, 0, ox + l1, oy, 0, ox + l1 + l2 * std::cos(a),
                                   oy + (i % 2 ? 1 : 0) * l2 * std::sin(a),
                                   (i % 2 ? 0 : 1) * l2 * std::sin(a)});
    }
    size_t heldBytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        HC_Reset_System();
        const size_t before = HeapInUse();
        HC_Open_Segment("/model/bends");
        HCreateBend builder(nullptr, 0, 1);
        state.ResumeTiming();
        for (int i = 0; i < kElements; ++i) {
            const float* b = &bends[static_cast<size_t>(i) * 9];
            HC_Open_Segment("");
            builder.InsertBend(b[0], b[1], b[2], b[3], b[4], b[5], b[3], b[4], b[5], b[6], b[7],
                               b[8], 3.3125f, 9);
            HC_Close_Segment();
        }
        state.PauseTiming();
        HC_Close_Segment();
        heldBytes = HeapInUse() - before;
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kElements);
    state.counters["bytes_per_element"] = static_cast<double>(heldBytes) / kElements;
    HC_Reset_System();
}
BENCHMARK(BM_Bends)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_VectorMath(benchmark::State& state)
{
    float x = 1;
    for (auto _ : state) {
        CVector3D v(0, 0, 0, x, 2, 3);
        CVector3D w(x, 2, 3, x, 12, 3);
        float M[4][4];
        benchmark::DoNotOptimize(v.GetBendRotation(&w, 3, M));
        x += 0.001f;
    }
}
BENCHMARK(BM_VectorMath);

void BM_SteelMembers(benchmark::State& state)
{
    const std::vector<float> run = PipeRun(kElements);
    for (auto _ : state) {
        state.PauseTiming();
        HC_Reset_System();
        HC_Open_Segment("/model/steel");
        HCreateStructure builder(nullptr, 0, 1);
        state.ResumeTiming();
        for (int i = 0; i < kElements; ++i) {
            const float* a = &run[3 * static_cast<size_t>(i)];
            HC_Open_Segment("");
            builder.InsertWideChannel(a[0], a[1], a[2], a[3], a[4], a[5], 0.5f, 0.3f, 8, 10, 0);
            HC_Close_Segment();
        }
        state.PauseTiming();
        HC_Close_Segment();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kElements);
    HC_Reset_System();
}
BENCHMARK(BM_SteelMembers)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
