// Frame time of a 10,000-pipe scene (100 triangles a pipe, about 1M triangles) at 1280 x 1024
// through the renderer (scene walk, attribute resolution, batching, draw, read-back), against
// a bare draw of the same triangles (one buffer, one draw call, the same shader and read-back)
// on the same headless context; and the same frame with a cutting plane (sections capped).
//
//   ./build/bench/RenderBench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include "platform/hc/hc.h"
#include "platform/render/DrawList.h"
#include "platform/render/MeshBuilder.h"
#include "platform/render/Renderer.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <vector>

using namespace ketra::render;

namespace {

constexpr int kWidth = 1280, kHeight = 1024;
constexpr int kGrid = 100;    // 100 x 100 pipes
constexpr int kFacets = 50;   // 50 quads = 100 triangles a pipe

// The pipe shell as the builders make it: a ring of quads, world coordinates.
void PipeShell(float x0, float y0, float length, float radius, std::vector<float>& points, std::vector<int>& faces) {
    points.clear();
    faces.clear();
    for (int end = 0; end < 2; ++end)
        for (int k = 0; k < kFacets; ++k) {
            const float a = 6.2831853f * k / kFacets;
            points.insert(points.end(), {x0 + end * length, y0 + radius * std::cos(a), radius * std::sin(a)});
        }
    for (int k = 0; k < kFacets; ++k) {
        const int n = (k + 1) % kFacets;
        faces.insert(faces.end(), {4, k, n, kFacets + n, kFacets + k});
    }
}

struct Scene {
    HC_KEY display = -1;
    Scene() {
        display = HC_Open_Segment("/driver/null/render bench");
        const float position[3] = {50, 50, 200}, target[3] = {50, 50, 0}, up[3] = {0, 1, 0};
        HC_Set_Camera(position, target, up, 104, 104, "orthographic");
        HC_Set_Color("windows = white");
        HC_Set_Visibility("edges = off");
        HC_Close_Segment();
        HC_Open_Segment("/style library/bench pipes");
        HC_Set_Color("faces = (diffuse = r=0.2 g=0.5 b=0.9)");
        HC_Close_Segment();
        HC_Open_Segment("/include library/bench model");
        std::vector<float> points;
        std::vector<int> faces;
        for (int i = 0; i < kGrid; ++i)
            for (int j = 0; j < kGrid; ++j) {
                HC_Open_Segment("");
                HC_Style_Segment("/style library/bench pipes");
                HC_Set_User_Options("from = 10, to = 20");
                PipeShell(static_cast<float>(i), static_cast<float>(j), 0.8f, 0.3f, points, faces);
                HC_Insert_Shell(static_cast<int>(points.size() / 3), points.data(), static_cast<int>(faces.size()), faces.data());
                HC_Close_Segment();
            }
        HC_Close_Segment();
        HC_Open_Segment_By_Key(display);
        HC_Include_Segment("/include library/bench model");
        HC_Close_Segment();
    }
};

Scene& TheScene() {
    static Scene scene;
    return scene;
}

FrameSettings Settings() {
    FrameSettings s;
    s.width = kWidth;
    s.height = kHeight;
    s.samples = 1;
    return s;
}

// The bare draw: every triangle of the scene merged into one mesh, drawn as one item with one
// draw call through the same backend, shader and read-back, without the scene walk.
struct BareDraw {
    DrawList list;
    BareDraw() {
        std::vector<float> allPoints, points;
        std::vector<int> allFaces, faces;
        for (int i = 0; i < kGrid; ++i)
            for (int j = 0; j < kGrid; ++j) {
                PipeShell(static_cast<float>(i), static_cast<float>(j), 0.8f, 0.3f, points, faces);
                const int base = static_cast<int>(allPoints.size() / 3);
                allPoints.insert(allPoints.end(), points.begin(), points.end());
                for (size_t f = 0; f < faces.size(); f += 5)
                    allFaces.insert(allFaces.end(), {4, base + faces[f + 1], base + faces[f + 2], base + faces[f + 3], base + faces[f + 4]});
            }
        Layer layer;
        layer.width = kWidth;
        layer.height = kHeight;
        layer.camera.position = {50, 50, 200};
        layer.camera.target = {50, 50, 0};
        layer.camera.width = layer.camera.height = 104;
        MeshDraw draw;
        draw.key = 1;
        draw.mesh = std::make_shared<const Mesh>(BuildShellMesh(allPoints, allFaces));
        draw.meshStamp = 1;
        draw.faceColor = {0.2f, 0.5f, 0.9f};
        layer.meshes.push_back(draw);
        layer.hasBounds = true;
        layer.boundsMin = {0, -1, -1};
        layer.boundsMax = {100, 100, 1};
        list.width = kWidth;
        list.height = kHeight;
        list.layers.push_back(std::move(layer));
    }
    void Frame(Image& out) { RenderDrawList(list, Settings(), out); }
};

void BM_RendererFrame10kPipes(benchmark::State& state) {
    Scene& scene = TheScene();
    Image image;
    RenderToImage(scene.display, Settings(), image);  // first frame builds the caches
    for (auto _ : state) {
        RenderToImage(scene.display, Settings(), image);
        benchmark::DoNotOptimize(image.rgba.data());
    }
}
BENCHMARK(BM_RendererFrame10kPipes)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The same frame with a cutting plane through the middle column of pipes: the section
// outlines, and the caps drawn through the stencil (the clipped faces drawn a second time).
void BM_RendererFrame10kPipesCut(benchmark::State& state) {
    Scene& scene = TheScene();
    HC_Open_Segment_By_Key(scene.display);
    const HC_KEY cut = HC_Open_Segment("bench cut");
    HC_Insert_Cutting_Plane(1, 0, 0, -50.4);
    HC_Close_Segment();
    HC_Close_Segment();
    Image image;
    RenderToImage(scene.display, Settings(), image);
    for (auto _ : state) {
        RenderToImage(scene.display, Settings(), image);
        benchmark::DoNotOptimize(image.rgba.data());
    }
    HC_Delete_By_Key(cut);
}
BENCHMARK(BM_RendererFrame10kPipesCut)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Every frame after a camera move: the scene is walked again (levels of detail could change).
void BM_RendererFrameAfterCameraMove10kPipes(benchmark::State& state) {
    Scene& scene = TheScene();
    Image image;
    RenderToImage(scene.display, Settings(), image);
    int i = 0;
    for (auto _ : state) {
        HC_Open_Segment_By_Key(scene.display);
        HC_Orbit_Camera((i++ % 2) ? 0.5 : -0.5, 0);
        HC_Close_Segment();
        RenderToImage(scene.display, Settings(), image);
        benchmark::DoNotOptimize(image.rgba.data());
    }
}
BENCHMARK(BM_RendererFrameAfterCameraMove10kPipes)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_BareDraw1MTriangles(benchmark::State& state) {
    TheScene();
    static BareDraw bare;
    Image image;
    bare.Frame(image);
    for (auto _ : state) {
        bare.Frame(image);
        benchmark::DoNotOptimize(image.rgba.data());
    }
}
BENCHMARK(BM_BareDraw1MTriangles)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Both in one run, alternating, with the ratio as a counter.
void BM_RatioRendererToBare(benchmark::State& state) {
    Scene& scene = TheScene();
    static BareDraw bare;
    Image image;
    RenderToImage(scene.display, Settings(), image);
    bare.Frame(image);
    double rendererSeconds = 0, bareSeconds = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        RenderToImage(scene.display, Settings(), image);
        auto t1 = std::chrono::steady_clock::now();
        bare.Frame(image);
        auto t2 = std::chrono::steady_clock::now();
        rendererSeconds += std::chrono::duration<double>(t1 - t0).count();
        bareSeconds += std::chrono::duration<double>(t2 - t1).count();
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["renderer_ms"] = rendererSeconds / n * 1000;
    state.counters["bare_ms"] = bareSeconds / n * 1000;
    state.counters["ratio"] = bareSeconds > 0 ? rendererSeconds / bareSeconds : 0;
}
BENCHMARK(BM_RatioRendererToBare)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// A cold first frame: tessellation, buffer uploads and the draw, from freshly released caches.
void BM_FirstFrame10kPipes(benchmark::State& state) {
    Scene& scene = TheScene();
    Image image;
    for (auto _ : state) {
        ReleaseHeadlessResources();
        RenderToImage(scene.display, Settings(), image);
        benchmark::DoNotOptimize(image.rgba.data());
    }
}
BENCHMARK(BM_FirstFrame10kPipes)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
