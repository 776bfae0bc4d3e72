// Scene-graph benchmarks: shell insert/show/delete, opening by absolute path in
// a large tree, flushing, and the pipe-element round trip that the cylinder
// builder makes with raw calls. The memory benchmark reports the heap bytes held
// per 40-point shell relative to the bytes of its points and face list.
#include "platform/hc/hc.h"

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void Quiet(int, int, int, const char*, const char*) {}

void Fresh() {
    HC_Reset_System();
    HC_Define_Error_Handler(&Quiet);
}

// A faceted pipe: two rings of n points (2n points) joined by n quads.
struct Pipe {
    std::vector<float> points;
    std::vector<int> faces;
};

Pipe MakePipe(int n, float radius, float length) {
    Pipe p;
    for (int ring = 0; ring < 2; ++ring)
        for (int i = 0; i < n; ++i) {
            const double a = 2 * M_PI * i / n;
            p.points.insert(p.points.end(), {float(radius * std::cos(a)), float(radius * std::sin(a)),
                                             ring * length});
        }
    for (int i = 0; i < n; ++i) {
        const int j = (i + 1) % n;
        p.faces.insert(p.faces.end(), {4, i, j, n + j, n + i});
    }
    return p;
}

void BM_ShellInsertShowDelete40(benchmark::State& state) {
    Fresh();
    const Pipe pipe = MakePipe(20, 1, 10);  // 40 points
    std::vector<float> pts(pipe.points.size());
    std::vector<int> faces(pipe.faces.size());
    HC_Open_Segment("/bench/shells");
    for (auto _ : state) {
        const HC_KEY key = HC_Insert_Shell(40, pipe.points.data(), int(pipe.faces.size()), pipe.faces.data());
        int pc = 0, fl = 0;
        HC_Show_Shell_Size(key, &pc, &fl);
        HC_Show_Shell(key, &pc, pts.data(), &fl, faces.data());
        HC_Delete_By_Key(key);
        benchmark::DoNotOptimize(pts.data());
    }
    HC_Close_Segment();
}
BENCHMARK(BM_ShellInsertShowDelete40);

void BM_OpenCloseAbsolutePath10k(benchmark::State& state) {
    Fresh();
    // 10,000 segments: 100 groups of 100 elements under a model root.
    std::vector<std::string> paths;
    for (int g = 0; g < 100; ++g)
        for (int e = 0; e < 100; ++e)
            paths.push_back("/include library/halden/pipes/group " + std::to_string(g) + "/element " +
                            std::to_string(e));
    for (const auto& p : paths) HC_Create_Segment(p.c_str());
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(HC_Open_Segment(paths[i].c_str()));
        HC_Close_Segment();
        i = (i + 7919) % paths.size();
    }
}
BENCHMARK(BM_OpenCloseAbsolutePath10k);

// Inserting `items` small shells plus two attributes and flushing them all:
// timing the flush alone would be dominated by pausing the clock.
void BM_InsertThenFlushEverything(benchmark::State& state) {
    Fresh();
    const Pipe pipe = MakePipe(8, 1, 10);
    const int items = static_cast<int>(state.range(0));
    HC_Open_Segment("/bench/flush");
    for (auto _ : state) {
        for (int i = 0; i < items; ++i)
            HC_Insert_Shell(16, pipe.points.data(), int(pipe.faces.size()), pipe.faces.data());
        HC_Set_User_Options("from=1, to=2");
        HC_Translate_Object(1, 2, 3);
        HC_Flush_Contents(".", "everything");
    }
    HC_Close_Segment();
    state.SetItemsProcessed(state.iterations() * items);
}
BENCHMARK(BM_InsertThenFlushEverything)->Arg(2)->Arg(100);

// The cylinder builder's round trip for one pipe element, with raw calls:
// scratch segment, two canonical shells, placement transform, read back,
// convert to world, insert with two levels of detail.
void PipeRoundTrip(const Pipe& full, const Pipe& four, std::vector<float>& a, std::vector<float>& b,
                   std::vector<int>& fa, std::vector<int>& fb, bool perPoint, int element) {
    const float x1 = float(element % 97), y1 = float(element % 13), z1 = 0;
    HC_Open_Segment("/include library/construction geometry");
    HC_Flush_Contents(".", "everything");
    HC_Rotate_Object_Offaxis(0.6, -0.8, 0, -35.0);
    HC_Translate_Object(x1, y1, z1);
    const HC_KEY kFull = HC_Insert_Shell(int(full.points.size() / 3), full.points.data(), int(full.faces.size()),
                                         full.faces.data());
    const HC_KEY kFour = HC_Insert_Shell(int(four.points.size() / 3), four.points.data(), int(four.faces.size()),
                                         four.faces.data());
    int pa = 0, la = 0, pb = 0, lb = 0;
    HC_Show_Shell_Size(kFull, &pa, &la);
    HC_Show_Shell(kFull, &pa, a.data(), &la, fa.data());
    HC_Show_Shell_Size(kFour, &pb, &lb);
    HC_Show_Shell(kFour, &pb, b.data(), &lb, fb.data());
    if (perPoint) {
        for (int i = 0; i < pa; ++i) HC_Compute_Coordinates(".", "object", &a[3 * i], "world", &a[3 * i]);
        for (int i = 0; i < pb; ++i) HC_Compute_Coordinates(".", "object", &b[3 * i], "world", &b[3 * i]);
    } else {
        float m[16];
        HC_Compute_Transform(".", "object", "world", m);
        HC_Compute_Transformed_Points(pa, a.data(), m, a.data());
        HC_Compute_Transformed_Points(pb, b.data(), m, b.data());
    }
    HC_Delete_By_Key(kFull);
    HC_Delete_By_Key(kFour);
    HC_Flush_Contents(".", "everything");
    HC_Close_Segment();
    const HC_KEY key = HC_Insert_Shell(pa, a.data(), la, fa.data());
    HC_Open_Geometry(key);
    HC_Open_LOD(1);
    HC_Insert_Shell(pb, b.data(), lb, fb.data());
    HC_Close_LOD();
    HC_Open_LOD(2);
    const float line[] = {x1, y1, z1, x1 + 6, y1 + 8, z1};
    const int edge[] = {2, 0, 1};
    HC_Insert_Shell(2, line, 3, edge);
    HC_Close_LOD();
    HC_Close_Geometry();
}

void BM_PipeElementRoundTrip(benchmark::State& state) {
    Fresh();
    const bool perPoint = state.range(0) != 0;
    const Pipe full = MakePipe(20, 1, 10), four = MakePipe(4, 1, 10);
    std::vector<float> a(full.points.size()), b(four.points.size());
    std::vector<int> fa(full.faces.size()), fb(four.faces.size());
    HC_Open_Segment("/model/pipes");
    int element = 0;
    for (auto _ : state) {
        // Models hold about 10,000 elements: start over then (untimed), so the
        // figure is the steady cost of one element, not of an ever-growing heap.
        if (element == 10000) {
            state.PauseTiming();
            HC_Close_Segment();
            HC_Flush_Contents("/model/pipes", "everything");
            HC_Open_Segment("/model/pipes");
            element = 0;
            state.ResumeTiming();
        }
        // A fresh element segment every 1000 pipes keeps segments realistic in size.
        if (element % 1000 == 0) {
            HC_Close_Segment();
            HC_Open_Segment(("/model/pipes/run " + std::to_string(element / 1000)).c_str());
        }
        PipeRoundTrip(full, four, a, b, fa, fb, perPoint, element++);
    }
    HC_Close_Segment();
    state.SetLabel(perPoint ? "HC_Compute_Coordinates per point" : "HC_Compute_Transform once");
}
BENCHMARK(BM_PipeElementRoundTrip)->Arg(1)->Arg(0);

void BM_ShellMemoryRatio(benchmark::State& state) {
    const Pipe pipe = MakePipe(20, 1, 10);  // 40 points, 20 quads: 480 + 400 bytes
    const int count = 10000;
    double ratio = 0;
    for (auto _ : state) {
        Fresh();
        HC_Open_Segment("/bench/memory");
        // Bytes in use by the allocator, chunk headers and container slack included.
        const long long before = static_cast<long long>(mallinfo2().uordblks);
        for (int i = 0; i < count; ++i)
            HC_Insert_Shell(40, pipe.points.data(), int(pipe.faces.size()), pipe.faces.data());
        const long long held = static_cast<long long>(mallinfo2().uordblks) - before;
        HC_Close_Segment();
        const double payload = double(pipe.points.size() * sizeof(float) + pipe.faces.size() * sizeof(int));
        ratio = double(held) / count / payload;
    }
    state.counters["bytes_per_shell_over_payload"] = ratio;
}
BENCHMARK(BM_ShellMemoryRatio)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
