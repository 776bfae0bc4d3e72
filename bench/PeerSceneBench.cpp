// The scene other visualisation toolkits are compared on: 31,250 open cylinders (16 sides,
// radius 0.5, length 4, 32 triangles each, one segment each) on a 125 x 250 grid of spacing 5,
// alternately along x and y; 1280 x 1024, perspective with a 30 degree vertical field, looking
// down 40 degrees at the grid's middle, no multisampling.
//
// One benchmark run measures, in order: build per element, first frame, 20 warm frames with a
// 0.5 degree orbit between them (each followed by a bare draw of the same triangles: one
// buffer, one draw call, the same shader and read-back), the same triangles as one shell, the
// first and a warm pick at the centre, teardown and peak memory. Each warm frame is also
// paired with a raw draw: plain GL in the same context, one program with position and normal
// only and a headlight, the same triangles in one vertex and one index buffer, the same
// camera, size and read-back; and once more with the general programs. Frame figures are
// medians and the ratios are ratios of medians, so drift of a shared machine cancels.
//
//   ./build/bench/PeerSceneBench
#include "platform/hc/hc.h"
#include "platform/render/DrawList.h"
#include "platform/render/GlFrame.h"
#include "platform/render/GlObjects.h"
#include "platform/render/HeadlessContext.h"
#include "platform/render/MeshBuilder.h"
#include "platform/render/OffscreenTarget.h"
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
#include <time.h>

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

// CPU time of the whole process, every thread (llvmpipe rasterizes on threads of its own): on a
// shared machine it moves less with other work than the wall clock does.
double ProcessCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
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

// The same triangles drawn with plain GL: positions and normals as floats in one buffer, 32-bit
// indices in another, one draw call, a program with a headlight and nothing else.
struct RawDraw {
    GlProgram program;
    GlVertexArray vao;
    GlBuffer vertices, indices;
    GLsizei count = 0;
    OffscreenTarget target;
    GLint worldToClip = -1, worldToEye = -1;

    bool Prepare() {
        std::string error;
        if (!HeadlessContext::Acquire(&error)) return false;
        program = MakeProgram(
            "#version 330 core\n"
            "layout(location = 0) in vec3 aPosition;\n"
            "layout(location = 1) in vec3 aNormal;\n"
            "uniform mat4 uWorldToClip;\n"
            "uniform mat3 uWorldToEye;\n"
            "out vec3 vNormal;\n"
            "void main() { gl_Position = vec4(aPosition, 1.0) * uWorldToClip; vNormal = aNormal * uWorldToEye; }\n",
            "#version 330 core\n"
            "in vec3 vNormal;\n"
            "out vec4 fragColor;\n"
            "void main() {\n"
            "  float d = abs(normalize(vNormal).z);\n"
            "  fragColor = vec4(vec3(0.2, 0.5, 0.9) * (0.25 + 0.8 * d), 1.0);\n"
            "}\n",
            &error);
        if (!program || !target.Resize(kWidth, kHeight, 1, &error)) return false;
        worldToClip = glGetUniformLocation(program.Get(), "uWorldToClip");
        worldToEye = glGetUniformLocation(program.Get(), "uWorldToEye");
        std::vector<float> points, data;
        std::vector<int> faces;
        std::vector<std::uint32_t> triangles;
        for (int i = 0; i < kColumns; ++i)
            for (int j = 0; j < kRows; ++j) {
                points.clear();
                faces.clear();
                Cylinder(i, j, points, faces);
                const auto base = static_cast<std::uint32_t>(data.size() / 6);
                const bool alongX = (i + j) % 2 == 0;
                for (size_t k = 0; k < points.size(); k += 3) {
                    // Radial normals: the cylinder's axis runs through its grid point.
                    const float u = alongX ? points[k + 1] - j * kSpacing : points[k] - i * kSpacing;
                    const float w = points[k + 2];
                    data.insert(data.end(), {points[k], points[k + 1], points[k + 2]});
                    if (alongX) data.insert(data.end(), {0.0f, u / kRadius, w / kRadius});
                    else data.insert(data.end(), {u / kRadius, 0.0f, w / kRadius});
                }
                for (size_t f = 0; f < faces.size(); f += 5) {
                    const auto at = [&](int n) { return base + static_cast<std::uint32_t>(faces[f + 1 + n] - faces[1]); };
                    triangles.insert(triangles.end(), {at(0), at(1), at(2), at(0), at(2), at(3)});
                }
            }
        vao = MakeVertexArray();
        vertices = MakeBuffer();
        indices = MakeBuffer();
        glBindVertexArray(vao.Get());
        glBindBuffer(GL_ARRAY_BUFFER, vertices.Get());
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(data.size() * sizeof(float)), data.data(), GL_STATIC_DRAW);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indices.Get());
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(triangles.size() * sizeof(std::uint32_t)),
                     triangles.data(), GL_STATIC_DRAW);
        glEnableVertexAttribArray(0);
        glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 6 * sizeof(float), nullptr);
        glEnableVertexAttribArray(1);
        glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, 6 * sizeof(float), reinterpret_cast<void*>(3 * sizeof(float)));
        glBindVertexArray(0);
        count = static_cast<GLsizei>(triangles.size());
        HeadlessContext::Existing()->Release();
        return true;
    }

    // Draws with the camera `bare` was last drawn with (its layer), so the pictures match.
    void Frame(const DrawList& bare, Image& out) {
        HeadlessContext::Existing()->MakeCurrent();
        const ketra::render::Frame f = MakeFrame(bare.layers.front());
        float clip[16], eye[9];
        f.worldToClip.ToFloats(clip);
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) eye[r * 3 + c] = static_cast<float>(f.worldToEye(r, c));
        target.Bind();
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LESS);
        glClearColor(1, 1, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glUseProgram(program.Get());
        glUniformMatrix4fv(worldToClip, 1, GL_TRUE, clip);
        glUniformMatrix3fv(worldToEye, 1, GL_TRUE, eye);
        glBindVertexArray(vao.Get());
        glDrawElements(GL_TRIANGLES, count, GL_UNSIGNED_INT, nullptr);
        glBindVertexArray(0);
        glUseProgram(0);
        target.ReadBack(out);
        HeadlessContext::Existing()->Release();
    }
    void Release() {
        if (!HeadlessContext::Existing() || !HeadlessContext::Existing()->MakeCurrent()) return;
        program.Reset();
        vao.Reset();
        vertices.Reset();
        indices.Reset();
        target = OffscreenTarget();
        HeadlessContext::Existing()->Release();
    }
};

struct FrameTimes {
    std::vector<double> ours, bare, raw;
    std::vector<double> oursCpu, rawCpu;  // process CPU seconds of the same frames
    std::vector<double> general;          // ours with the general programs (SetGeneralPrograms)
};

// 20 warm frames with a 0.5 degree orbit before each, each followed by the bare draw and the raw
// draw of the same view.
void WarmFrames(HC_KEY display, BareDraw& bare, RawDraw& raw, FrameTimes& times) {
    Image image;
    for (int i = 0; i < kWarmFrames; ++i) {
        HC_Open_Segment_By_Key(display);
        HC_Orbit_Camera(0.5, 0);
        HC_Close_Segment();
        auto t0 = std::chrono::steady_clock::now();
        double cpu = ProcessCpuSeconds();
        RenderToImage(display, Settings(), image);
        times.ours.push_back(Seconds(t0));
        times.oursCpu.push_back(ProcessCpuSeconds() - cpu);
        t0 = std::chrono::steady_clock::now();
        bare.Frame(display, image);
        times.bare.push_back(Seconds(t0));
        t0 = std::chrono::steady_clock::now();
        cpu = ProcessCpuSeconds();
        raw.Frame(bare.list, image);
        times.raw.push_back(Seconds(t0));
        times.rawCpu.push_back(ProcessCpuSeconds() - cpu);
        SetGeneralPrograms(true);
        t0 = std::chrono::steady_clock::now();
        RenderToImage(display, Settings(), image);
        times.general.push_back(Seconds(t0));
        SetGeneralPrograms(false);
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
        RawDraw raw;
        if (!raw.Prepare()) {
            state.SkipWithError("no GL context for the raw draw");
            return;
        }
        raw.Frame(bare.list, image);
        FrameTimes warm;
        const double rssBare = ResidentBytes();
        WarmFrames(display, bare, raw, warm);
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
        FrameTimes shell;
        WarmFrames(shellDisplay, bare, raw, shell);
        HC_Delete_Segment(kDisplay);
        raw.Release();
        ReleaseHeadlessResources();

        state.counters["build_us_per_element"] = build / elements * 1e6;
        state.counters["first_frame_ms"] = first * 1e3;
        // Of the first frame: the walk with tessellation, and the uploads with drawing.
        state.counters["first_walk_ms"] = firstTimings.walkSeconds * 1e3;
        state.counters["first_draw_ms"] = firstTimings.drawSeconds * 1e3;
        state.counters["warm_ms"] = Median(warm.ours) * 1e3;
        state.counters["bare_ms"] = Median(warm.bare) * 1e3;
        state.counters["warm_over_bare"] = Median(warm.ours) / Median(warm.bare);
        state.counters["shell_ms"] = Median(shell.ours) * 1e3;
        state.counters["shell_over_bare"] = Median(shell.ours) / Median(shell.bare);
        // Against plain GL: what our programs, vertex layout and draw path cost over the least a
        // frame of these triangles can cost.
        state.counters["raw_ms"] = Median(warm.raw) * 1e3;
        state.counters["warm_over_raw"] = Median(warm.ours) / Median(warm.raw);
        state.counters["shell_over_raw"] = Median(shell.ours) / Median(shell.raw);
        // The same frames drawn with the general programs, which decide clip planes, lighting
        // and colour by uniforms (what every frame ran before the programs were specialised).
        state.counters["general_over_raw"] = Median(warm.general) / Median(warm.raw);
        state.counters["shell_general_over_raw"] = Median(shell.general) / Median(shell.raw);
        // The same in CPU time of all threads.
        state.counters["warm_cpu_over_raw"] = Median(warm.oursCpu) / Median(warm.rawCpu);
        state.counters["shell_cpu_over_raw"] = Median(shell.oursCpu) / Median(shell.rawCpu);
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
