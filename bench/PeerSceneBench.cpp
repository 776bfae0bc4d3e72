// The scene other visualisation toolkits are compared on: 31,250 open cylinders (16 sides,
// radius 0.5, length 4, 32 triangles each, one segment each) on a 125 x 250 grid of spacing 5,
// alternately along x and y; 1280 x 1024, perspective with a 30 degree vertical field, looking
// down 40 degrees at the grid's middle, no multisampling.
//
// One benchmark run measures, in order: build per element, first frame, 20 warm frames with a
// 0.5 degree orbit between them (each followed by a bare draw of the same triangles: one
// buffer, one draw call, the same shader and read-back), the same triangles as one shell, the
// first and a warm pick at the centre, teardown and peak memory. Frame figures are medians and
// the ratios are ratios of medians, so drift of a shared machine cancels.
//
//   ./build/bench/PeerSceneBench
#include "platform/hc/hc.h"
#include "platform/render/DrawList.h"
#include "platform/render/MeshBuilder.h"
#include "platform/render/Renderer.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <sys/resource.h>

using namespace ketra::render;

namespace {

constexpr int kWidth = 1280, kHeight = 1024;
constexpr int kColumns = 125, kRows = 250;
constexpr float kSpacing = 5.0f;
constexpr int kSides = 16;
constexpr float kRadius = 0.5f, kLength = 4.0f;
constexpr int kWarmFrames = 20;
constexpr double kPi = 3.14159265358979323846;

double Seconds(std::chrono::steady_clock::time_point from) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

// A memory figure of this process from /proc/self/status ("VmHWM:" peak, "VmRSS:" now), in bytes.
double StatusBytes(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const size_t length = std::strlen(field);
    while (std::getline(in, line))
        if (line.compare(0, length, field) == 0) return std::stod(line.substr(length)) * 1024.0;
    return 0;
}
// Page faults this process has taken (each first touch of a fresh page is one).
long MinorFaults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}
double PeakResidentBytes() { return StatusBytes("VmHWM:"); }
double ResidentBytes() { return StatusBytes("VmRSS:"); }

// Element (i, j): an open cylinder centred on its grid point, along x when i + j is even,
// along y otherwise. Appends to `points` and `faces` (quads, indices offset by what is there).
void Cylinder(int i, int j, std::vector<float>& points, std::vector<int>& faces) {
    const float cx = i * kSpacing, cy = j * kSpacing;
    const bool alongX = (i + j) % 2 == 0;
    const int base = static_cast<int>(points.size() / 3);
    for (int end = 0; end < 2; ++end) {
        const float s = (end - 0.5f) * kLength;
        for (int k = 0; k < kSides; ++k) {
            const float a = static_cast<float>(2 * kPi * k / kSides);
            const float u = kRadius * std::cos(a), w = kRadius * std::sin(a);
            if (alongX) points.insert(points.end(), {cx + s, cy + u, w});
            else points.insert(points.end(), {cx + u, cy + s, w});
        }
    }
    for (int k = 0; k < kSides; ++k) {
        const int n = (k + 1) % kSides;
        faces.insert(faces.end(), {4, base + k, base + n, base + kSides + n, base + kSides + k});
    }
}

struct View {
    float position[3], target[3], up[3];
    float fieldWidth, fieldHeight;
};

// Looking down 40 degrees at the grid's middle from far enough to see most of it.
View TheView() {
    View v{};
    const float tx = (kColumns - 1) * kSpacing / 2, ty = (kRows - 1) * kSpacing / 2;
    const float distance = 900.0f;
    const float down = static_cast<float>(40 * kPi / 180);
    v.target[0] = tx, v.target[1] = ty, v.target[2] = 0;
    v.position[0] = tx, v.position[1] = ty - distance * std::cos(down), v.position[2] = distance * std::sin(down);
    v.up[0] = 0, v.up[1] = std::sin(down), v.up[2] = std::cos(down);
    v.fieldHeight = static_cast<float>(2 * distance * std::tan(15 * kPi / 180));
    v.fieldWidth = v.fieldHeight * kWidth / kHeight;
    return v;
}

FrameSettings Settings() {
    FrameSettings s;
    s.width = kWidth;
    s.height = kHeight;
    s.samples = 1;
    return s;
}

constexpr const char* kDisplay = "/driver/null/peer scene";

HC_KEY BuildScene(const char* model, bool oneShell) {
    const HC_KEY display = HC_Open_Segment(kDisplay);
    const View v = TheView();
    HC_Set_Camera(v.position, v.target, v.up, v.fieldWidth, v.fieldHeight, "perspective");
    HC_Set_Color("windows = white, faces = (diffuse = r=0.2 g=0.5 b=0.9)");
    HC_Set_Visibility("edges = off");
    HC_Open_Segment(model);
    std::vector<float> points;
    std::vector<int> faces;
    for (int i = 0; i < kColumns; ++i)
        for (int j = 0; j < kRows; ++j) {
            if (oneShell) {
                Cylinder(i, j, points, faces);
                continue;
            }
            points.clear();
            faces.clear();
            Cylinder(i, j, points, faces);
            HC_Open_Segment("");
            HC_Insert_Shell(static_cast<int>(points.size() / 3), points.data(), static_cast<int>(faces.size()),
                            faces.data());
            HC_Close_Segment();
        }
    if (oneShell)
        HC_Insert_Shell(static_cast<int>(points.size() / 3), points.data(), static_cast<int>(faces.size()),
                        faces.data());
    HC_Close_Segment();
    HC_Close_Segment();
    return display;
}

// Every triangle of the scene as one mesh, one item, one draw call, through the same backend.
struct BareDraw {
    DrawList list;
    BareDraw() {
        std::vector<float> points;
        std::vector<int> faces;
        for (int i = 0; i < kColumns; ++i)
            for (int j = 0; j < kRows; ++j) Cylinder(i, j, points, faces);
        Layer layer;
        layer.width = kWidth;
        layer.height = kHeight;
        MeshDraw draw;
        draw.key = 1;
        draw.mesh = std::make_shared<const Mesh>(BuildShellMesh(points, faces));
        draw.meshStamp = 1;
        draw.faceColor = {0.2f, 0.5f, 0.9f};
        layer.meshes.push_back(draw);
        layer.hasBounds = true;
        layer.boundsMin = {-kLength, -kLength, -1};
        layer.boundsMax = {kColumns * kSpacing + kLength, kRows * kSpacing + kLength, 1};
        list.width = kWidth;
        list.height = kHeight;
        list.layers.push_back(std::move(layer));
    }
    // Draws with the display's current camera, so both frames show the same picture.
    void Frame(HC_KEY display, Image& out) {
        Layer& layer = list.layers.front();
        HC_Open_Segment_By_Key(display);
        float p[3], t[3], u[3], w = 0, h = 0;
        char projection[64];
        HC_Show_Camera(p, t, u, &w, &h, projection);
        HC_Close_Segment();
        layer.camera.position = {p[0], p[1], p[2]};
        layer.camera.target = {t[0], t[1], t[2]};
        layer.camera.up = {u[0], u[1], u[2]};
        layer.camera.width = w;
        layer.camera.height = h;
        layer.cameraSet = true;
        layer.camera.projection = CameraMath::Projection::Perspective;
        RenderDrawList(list, Settings(), out);
    }
};

// 20 warm frames with a 0.5 degree orbit before each, each followed by the bare draw.
void WarmFrames(HC_KEY display, BareDraw& bare, std::vector<double>& ours, std::vector<double>& bareTimes) {
    Image image;
    for (int i = 0; i < kWarmFrames; ++i) {
        HC_Open_Segment_By_Key(display);
        HC_Orbit_Camera(0.5, 0);
        HC_Close_Segment();
        auto t0 = std::chrono::steady_clock::now();
        RenderToImage(display, Settings(), image);
        ours.push_back(Seconds(t0));
        t0 = std::chrono::steady_clock::now();
        bare.Frame(display, image);
        bareTimes.push_back(Seconds(t0));
    }
}

void BM_PeerScene(benchmark::State& state) {
    HC_Define_System_Options("no warnings");
    for (auto _ : state) {
        const double elements = static_cast<double>(kColumns) * kRows;
        const double rssStart = ResidentBytes();
        auto t0 = std::chrono::steady_clock::now();
        const HC_KEY display = BuildScene("model", false);
        const double build = Seconds(t0);
        const double rssBuilt = ResidentBytes();

        Image image;
        ReleaseHeadlessResources();
        t0 = std::chrono::steady_clock::now();
        RenderToImage(display, Settings(), image);
        const double first = Seconds(t0);
        const FrameTimings firstTimings = LastFrameTimings();
        const double rssFirst = ResidentBytes();
        // The peak so far: the scene and its first frame, before the benchmark's own copy of
        // the triangles for the bare draw exists.
        const double ownPeak = PeakResidentBytes();

        BareDraw bare;
        bare.Frame(display, image);
        std::vector<double> ours, bareTimes;
        const double rssBare = ResidentBytes();
        WarmFrames(display, bare, ours, bareTimes);
        const double rssWarm = ResidentBytes();

        const long faultsBeforePick = MinorFaults();
        t0 = std::chrono::steady_clock::now();
        HC_Compute_Selection(kDisplay, kDisplay, "v", 0.0, 0.0);
        const double firstPick = Seconds(t0);
        const long pickFaults = MinorFaults() - faultsBeforePick;
        const double rssPicked = ResidentBytes();
        std::vector<double> picks;
        for (int i = 0; i < 5; ++i) {
            t0 = std::chrono::steady_clock::now();
            HC_Compute_Selection(kDisplay, kDisplay, "v", 0.0, 0.0);
            picks.push_back(Seconds(t0));
        }

        // Raw data: 32 vertices (position and normal, 6 floats) and 96 indices an element.
        const double rawBytes = elements * (2 * kSides * 6 * sizeof(float) + 2 * kSides * 3 * sizeof(int));
        const double peak = PeakResidentBytes();

        t0 = std::chrono::steady_clock::now();
        HC_Delete_Segment(kDisplay);
        ReleaseHeadlessResources();
        const double teardown = Seconds(t0);

        // The same triangles as one shell.
        const HC_KEY shellDisplay = BuildScene("shell", true);
        t0 = std::chrono::steady_clock::now();
        RenderToImage(shellDisplay, Settings(), image);
        const double shellFirst = Seconds(t0);
        t0 = std::chrono::steady_clock::now();
        HC_Compute_Selection(kDisplay, kDisplay, "v", 0.0, 0.0);
        const double shellFirstPick = Seconds(t0);
        std::vector<double> shell, shellBare;
        WarmFrames(shellDisplay, bare, shell, shellBare);
        HC_Delete_Segment(kDisplay);
        ReleaseHeadlessResources();

        state.counters["build_us_per_element"] = build / elements * 1e6;
        state.counters["first_frame_ms"] = first * 1e3;
        // Of the first frame: the walk with tessellation, and the uploads with drawing.
        state.counters["first_walk_ms"] = firstTimings.walkSeconds * 1e3;
        state.counters["first_draw_ms"] = firstTimings.drawSeconds * 1e3;
        state.counters["warm_ms"] = Median(ours) * 1e3;
        state.counters["bare_ms"] = Median(bareTimes) * 1e3;
        state.counters["warm_over_bare"] = Median(ours) / Median(bareTimes);
        state.counters["shell_ms"] = Median(shell) * 1e3;
        state.counters["shell_over_bare"] = Median(shell) / Median(shellBare);
        // One shell of a million triangles: its tessellation dominates the first frame, its
        // triangle index the first pick.
        state.counters["shell_first_frame_ms"] = shellFirst * 1e3;
        state.counters["shell_first_pick_ms"] = shellFirstPick * 1e3;
        state.counters["first_pick_ms"] = firstPick * 1e3;
        state.counters["first_pick_faults"] = static_cast<double>(pickFaults);
        state.counters["warm_pick_ms"] = Median(picks) * 1e3;
        state.counters["teardown_ms"] = teardown * 1e3;
        state.counters["peak_MB"] = peak / 1e6;
        state.counters["peak_over_raw"] = peak / rawBytes;
        state.counters["own_peak_MB"] = ownPeak / 1e6;
        state.counters["own_peak_over_raw"] = ownPeak / rawBytes;
        // Where the memory goes: the scene graph, the first frame (meshes and buffers), the
        // bare draw and warm frames, and the pick index.
        state.counters["graph_MB"] = (rssBuilt - rssStart) / 1e6;
        state.counters["first_frame_MB"] = (rssFirst - rssBuilt) / 1e6;
        state.counters["bare_MB"] = (rssBare - rssFirst) / 1e6;
        state.counters["warm_MB"] = (rssWarm - rssBare) / 1e6;
        state.counters["pick_MB"] = (rssPicked - rssWarm) / 1e6;
        // What of the first frame is this library's own data: the meshes it keeps built and the
        // vertex and index buffers it filled (held by the GL driver). With the graph, against the
        // raw bytes; the rest of the peak is the driver's (llvmpipe: its context and programs, and
        // the triangles it bins to draw a frame) and the process's.
        const double meshBytes = static_cast<double>(firstTimings.meshBytes);
        const double bufferBytes = static_cast<double>(firstTimings.bufferBytes);
        state.counters["mesh_cache_MB"] = meshBytes / 1e6;
        state.counters["buffers_MB"] = bufferBytes / 1e6;
        state.counters["own_data_over_raw"] = (rssBuilt - rssStart + meshBytes + bufferBytes) / rawBytes;
    }
}
BENCHMARK(BM_PeerScene)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
