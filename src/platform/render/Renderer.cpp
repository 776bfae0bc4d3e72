#include "platform/render/Renderer.h"

#include "platform/hc/SceneGraph.h"
#include "platform/render/GlBackend.h"
#include "platform/render/GlApi.h"
#include "platform/render/HeadlessContext.h"
#include "platform/render/OffscreenTarget.h"
#include "platform/render/SceneWalker.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <future>
#include <map>
#include <unordered_map>

namespace ketra::render {

namespace {

constexpr int kMaxSide = 16384;

std::map<HC_KEY, int>& RenderModes() {
    static std::map<HC_KEY, int> modes;
    return modes;
}

// The mode registered for the segment or its nearest owner that has one.
int ModeFor(const hc::Segment* segment) {
    const auto& modes = RenderModes();
    for (const hc::Segment* s = segment; s; s = s->owner) {
        auto found = modes.find(s->key);
        if (found != modes.end()) return found->second;
    }
    return 0;
}

std::map<HC_KEY, bool>& ReducedFrames() {
    static std::map<HC_KEY, bool> reduced;
    return reduced;
}

bool ReducedFor(const hc::Segment* segment) {
    const auto& reduced = ReducedFrames();
    if (reduced.empty()) return false;
    for (const hc::Segment* s = segment; s; s = s->owner) {
        auto found = reduced.find(s->key);
        if (found != reduced.end()) return found->second;
    }
    return false;
}

// Everything the headless path keeps between frames: the GL objects live in the shared
// headless context; meshes and the last draw list are reused while the scene is unchanged.
// The last walk of a segment, reused for frames in which only cameras changed: such a frame
// costs the draw, not a walk of every segment.
class WalkCache {
public:
    // The draw list for `segment`: the cached one with its cameras brought up to date when
    // nothing else changed since it was built, else a new walk.
    bool Get(HC_KEY segment, const WalkSettings& settings, MeshCache& meshes, const DrawList*& out,
             std::string* error) {
        const std::uint64_t changes = WalkInputChanges();
        if (m_valid && m_segment == segment && m_changes == changes && !m_list.cameraDependent &&
            m_settings.width == settings.width && m_settings.height == settings.height &&
            m_settings.renderMode == settings.renderMode &&
            m_settings.lodLevel1Pixels == settings.lodLevel1Pixels &&
            m_settings.lodLevel2Pixels == settings.lodLevel2Pixels && RefreshCameras(m_list)) {
            ++m_reused;
            out = &m_list;
            return true;
        }
        m_valid = false;
        if (!BuildDrawList(segment, settings, meshes, m_list, error)) return false;
        m_valid = true;
        m_segment = segment;
        m_settings = settings;
        m_changes = changes;
        out = &m_list;
        return true;
    }
    std::uint64_t Reused() const { return m_reused; }

private:
    DrawList m_list;
    bool m_valid = false;
    HC_KEY m_segment = -1;
    WalkSettings m_settings;
    std::uint64_t m_changes = 0;
    std::uint64_t m_reused = 0;
};

// Draws `list` into `framebuffer` (width x height, single-sampled): directly, or when `reduce`
// at a lower resolution in `reduced`, scaled up.
bool DrawScaled(GlBackend& backend, const DrawList& list, GLuint framebuffer, int width, int height,
               bool reduce, OffscreenTarget& reduced, std::string* error) {
    if (!reduce) {
        backend.Draw(list, framebuffer);
        return true;
    }
    const int divisor = kReducedResolutionDivisor;
    if (!reduced.Resize(std::max(1, width / divisor), std::max(1, height / divisor), 1, error)) return false;
    backend.Draw(list, reduced.DrawFramebuffer(), divisor);
    reduced.BlitTo(framebuffer, width, height);
    return true;
}

struct HeadlessState {
    GlBackend backend;
    OffscreenTarget target;
    OffscreenTarget reduced;  // motion frames drawn at a lower resolution
    MeshCache meshes;
    WalkCache walks;
    bool initialized = false;
};

std::unique_ptr<HeadlessState>& HeadlessSlot() {
    static std::unique_ptr<HeadlessState> state;
    return state;
}

// Hands the headless context back when a frame is done, so that whatever context the host
// makes current next (a Qt window's, say) is not refused while ours is still bound.
struct ReleaseWhenDone {
    ~ReleaseWhenDone() {
        if (HeadlessContext* context = HeadlessContext::Existing()) context->Release();
    }
};

HeadlessState* Headless(std::string* error) {
    std::unique_ptr<HeadlessState>& state = HeadlessSlot();
    HeadlessContext* context = HeadlessContext::Acquire(error);
    if (!context) return nullptr;
    if (!state) state = std::make_unique<HeadlessState>();
    if (!state->initialized) {
        if (!state->backend.Initialize(error)) return nullptr;
        state->initialized = true;
    }
    return state.get();
}

// The first frame's GL set-up (loading the driver, making the context, compiling the
// programs, allocating the target) takes a sizeable part of a first picture and needs nothing
// from the scene, so it runs on a thread of its own while the scene is walked. The context is
// released there and made current again on the calling thread by Headless().
class HeadlessPreparation {
public:
    explicit HeadlessPreparation(const FrameSettings& settings) {
        std::unique_ptr<HeadlessState>& state = HeadlessSlot();
        if (state && state->initialized) return;
        if (!state) state = std::make_unique<HeadlessState>();
        // A context current here (one the host made current through HeadlessAvailable, say)
        // cannot be made current on the other thread.
        if (HeadlessContext* context = HeadlessContext::Existing()) context->Release();
        m_running = std::async(std::launch::async, [this, target = &state->target, width = settings.width,
                                                    height = settings.height, samples = settings.samples] {
            ReleaseWhenDone release;  // whatever happens, the context is not left bound to this thread
            return Headless(&m_error) && target->Resize(width, height, samples, &m_error);
        });
    }
    // Waits for the set-up; false (with the reason in *error) when it failed.
    bool Finish(std::string* error) {
        if (!m_running.valid() || m_running.get()) return true;
        if (error) *error = m_error;
        return false;
    }

private:
    std::future<bool> m_running;  // joined on destruction, also on early returns
    std::string m_error;
};

FrameTimings& Timings() {
    static FrameTimings timings;
    return timings;
}

// Every frame's number, headless or in a window, and the last figures of each display.
std::uint64_t NextFrameNumber() {
    static std::uint64_t frames = 0;
    return ++frames;
}

std::unordered_map<HC_KEY, FrameTimings>& DisplayTimings() {
    static std::unordered_map<HC_KEY, FrameTimings> timings;
    return timings;
}

std::unordered_map<HC_KEY, std::function<void(const FrameTimings&)>>& FrameListeners() {
    static std::unordered_map<HC_KEY, std::function<void(const FrameTimings&)>> listeners;
    return listeners;
}

void RecordDisplayFrame(HC_KEY display, const FrameTimings& timings) {
    DisplayTimings()[display] = timings;
    const auto listener = FrameListeners().find(display);
    if (listener != FrameListeners().end()) {
        const auto shown = listener->second;  // it may remove itself
        shown(timings);
    }
}

void FillDrawCounters(FrameTimings& timings, const GlBackend& backend, const MeshCache& meshes) {
    timings.edgeSegments = backend.LastStats().edgeSegments;
    timings.bufferBytes = backend.LastStats().bufferBytes;
    timings.meshBytes = meshes.Bytes();
    timings.rebuiltBatches = backend.LastStats().rebuiltBatches;
    timings.culledChunks = backend.LastStats().culledChunks;
    timings.programs = backend.LastStats().programs;
}

double Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool IsDisplay(const hc::Segment& s) {
    if (!s.owner || !s.owner->owner || !s.owner->owner->owner || s.owner->owner->owner->owner) return false;
    std::string name = s.owner->owner->name;
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name == "driver";
}

// Whether `display` may show a change recorded for `key`: not when it lies in another display's
// own subtree (that view's camera, detail level or overlay) that nothing references from
// elsewhere. A key that is gone says nothing: deleting an entity also records its owner.
bool MayShow(const hc::Segment& display, hc::Key key) {
    const hc::Entity* entity = hc::Graph::Instance().Find(key);
    if (!entity) return false;
    if (entity->kind == hc::EntityKind::Geometry) {
        // A named image can be a texture anywhere.
        const auto* image = std::get_if<hc::ImageData>(&static_cast<const hc::Geometry*>(entity)->data);
        if (image && !image->name.empty()) return true;
    }
    for (const hc::Segment* s = entity->kind == hc::EntityKind::Segment ? static_cast<const hc::Segment*>(entity)
                                                                          : entity->owner;
         s; s = s->owner) {
        if (!s->referencedBy.empty()) return true;
        if (IsDisplay(*s)) return s == &display;
    }
    return true;  // outside every display: a model that views include
}

// The generation of the latest change `display` may show (definition changes aside): equal to
// the generation of a frame drawn since means that frame still shows it, however much other
// views changed meanwhile.
std::uint64_t LastChangeShownBy(const hc::Segment& display) {
    hc::Graph& graph = hc::Graph::Instance();
    std::vector<hc::Graph::TouchRecord> changes;
    graph.TouchesSince(graph.TouchesFrom(), changes);
    for (auto it = changes.rbegin(); it != changes.rend(); ++it)
        if (MayShow(display, it->key)) return it->generation;
    // None of those recorded: the latest it may show is no later than the record's start.
    return graph.TouchesFrom();
}

} // namespace

const FrameTimings& LastFrameTimings() { return Timings(); }

DisplayStamp StampOf(HC_KEY displaySegment) {
    hc::Graph& graph = hc::Graph::Instance();
    const hc::Segment* segment = graph.FindSegment(displaySegment);
    return {.generation = segment && IsDisplay(*segment) ? LastChangeShownBy(*segment) : graph.Generation(),
            .definitionChanges = graph.DefinitionChanges(),
            .renderMode = ModeFor(segment),
            .reduced = ReducedFor(segment)};
}

void NoteDisplayFrame(HC_KEY segmentKey, FrameTimings timings) {
    const hc::Segment* segment = hc::Graph::Instance().FindSegment(segmentKey);
    timings.frame = NextFrameNumber();
    RecordDisplayFrame(segment ? segment->key : segmentKey, timings);
}

void SetFrameListener(HC_KEY segmentKey, std::function<void(const FrameTimings&)> shown) {
    const hc::Segment* segment = hc::Graph::Instance().FindSegment(segmentKey);
    const HC_KEY key = segment ? segment->key : segmentKey;
    if (shown)
        FrameListeners()[key] = std::move(shown);
    else
        FrameListeners().erase(key);
}

const FrameTimings* DisplayFrameTimings(HC_KEY segmentKey) {
    const hc::Segment* segment = hc::Graph::Instance().FindSegment(segmentKey);
    const auto found = DisplayTimings().find(segment ? segment->key : segmentKey);
    return found == DisplayTimings().end() ? nullptr : &found->second;
}

int SetRenderMode(HC_KEY driverSegment, int mode) {
    auto& modes = RenderModes();
    const hc::Segment* segment = hc::Graph::Instance().FindSegment(driverSegment);
    const HC_KEY key = segment ? segment->key : driverSegment;
    const int previous = modes.count(key) ? modes[key] : 0;
    modes[key] = mode;
    return previous;
}

void SetReducedResolution(HC_KEY driverSegment, bool on) {
    const hc::Segment* segment = hc::Graph::Instance().FindSegment(driverSegment);
    const HC_KEY key = segment ? segment->key : driverSegment;
    if (on)
        ReducedFrames()[key] = true;
    else
        ReducedFrames().erase(key);
}

bool GetReducedResolution(HC_KEY driverSegment) {
    return ReducedFor(hc::Graph::Instance().FindSegment(driverSegment));
}

int GetRenderMode(HC_KEY driverSegment) {
    return ModeFor(hc::Graph::Instance().FindSegment(driverSegment));
}

void ReleaseHeadlessResources() {
    std::unique_ptr<HeadlessState>& state = HeadlessSlot();
    if (!state) return;
    // GL objects must die with the headless context current.
    if (HeadlessContext* context = HeadlessContext::Acquire(nullptr)) {
        state.reset();
        context->Release();
    } else {
        state.release();  // no context to free them in: leave them to the driver
    }
}

bool HeadlessAvailable(std::string* why) { return HeadlessContext::Acquire(why) != nullptr; }

bool RenderToImage(HC_KEY segmentKey, const FrameSettings& settings, Image& out, std::string* error) {
    const hc::Segment* segment = hc::Graph::Instance().FindSegment(segmentKey);
    if (!segment) {
        if (error) *error = "key " + std::to_string(segmentKey) + " is not a segment";
        return false;
    }
    if (settings.width < 1 || settings.height < 1 || settings.width > kMaxSide || settings.height > kMaxSide) {
        if (error)
            *error = "image size " + std::to_string(settings.width) + "x" + std::to_string(settings.height) +
                     " pixels is not in 1.." + std::to_string(kMaxSide);
        return false;
    }
    ReleaseWhenDone release;
    FrameTimings& timings = Timings();
    timings = {.frame = NextFrameNumber()};
    auto start = std::chrono::steady_clock::now();
    HeadlessPreparation preparation(settings);
    HeadlessState& walked = *HeadlessSlot();
    WalkSettings walk;
    walk.width = settings.width;
    walk.height = settings.height;
    walk.renderMode = ModeFor(segment);
    const std::uint64_t reusedBefore = walked.walks.Reused();
    const DrawList* cached = nullptr;
    if (!walked.walks.Get(segmentKey, walk, walked.meshes, cached, error)) return false;
    const DrawList& list = *cached;
    timings.walkSeconds = Since(start);
    if (!preparation.Finish(error)) return false;
    HeadlessState* state = Headless(error);
    if (!state) return false;
    if (!state->target.Resize(settings.width, settings.height, settings.samples, error)) return false;
    timings.walkSkipped = state->walks.Reused() != reusedBefore;
    for (const Layer& layer : list.layers)
        for (const MeshDraw& mesh : layer.meshes)
            if (mesh.mesh) {
                ++timings.meshes;
                timings.triangles += mesh.mesh->TriangleCount();
            }
    start = std::chrono::steady_clock::now();
    if (settings.samples > 1)
        state->backend.Draw(list, state->target.DrawFramebuffer());
    else if (!DrawScaled(state->backend, list, state->target.DrawFramebuffer(), settings.width, settings.height,
                         ReducedFor(segment), state->reduced, error))
        return false;
    glFinish();
    timings.drawSeconds = Since(start);
    FillDrawCounters(timings, state->backend, state->meshes);
    start = std::chrono::steady_clock::now();
    state->target.ReadBack(out);
    timings.readSeconds = Since(start);
    RecordDisplayFrame(segment->key, timings);
    return true;
}

bool RenderDrawList(const DrawList& list, const FrameSettings& settings, Image& out, std::string* error) {
    if (settings.width < 1 || settings.height < 1 || settings.width > kMaxSide || settings.height > kMaxSide) {
        if (error) *error = "image size out of range";
        return false;
    }
    ReleaseWhenDone release;
    HeadlessState* state = Headless(error);
    if (!state) return false;
    if (!state->target.Resize(settings.width, settings.height, settings.samples, error)) return false;
    state->backend.Draw(list, state->target.DrawFramebuffer());
    state->target.ReadBack(out);
    return true;
}

// ---- Window renderer ----

// The meshes every window renderer of the process draws from: the panes of a window show
// the same model, and each keeping its own meshes of it costs memory and the time to build them.
std::shared_ptr<MeshCache> SharedWindowMeshes() {
    static std::weak_ptr<MeshCache> shared;
    std::shared_ptr<MeshCache> meshes = shared.lock();
    if (!meshes) {
        meshes = std::make_shared<MeshCache>();
        shared = meshes;
    }
    return meshes;
}

struct WindowRenderer::Impl {
    struct Gl {
        GlBackend backend;
        OffscreenTarget reduced;
    };
    std::unique_ptr<Gl> gl;  // null until the first Draw in a context
    const void* shareGroup = nullptr;
    std::shared_ptr<MeshCache> meshes = SharedWindowMeshes();
    int meshUser = meshes->Join();
    WalkCache walks;
    ~Impl() { meshes->Leave(meshUser); }
};

void WindowRenderer::ReleaseGl() { m_impl->gl.reset(); }
void WindowRenderer::SetShareGroup(const void* group) { m_impl->shareGroup = group; }

WindowRenderer::WindowRenderer() : m_impl(std::make_unique<Impl>()) {}
WindowRenderer::~WindowRenderer() = default;

bool WindowRenderer::Draw(HC_KEY segmentKey, int width, int height, unsigned framebuffer, std::string* error) {
    const hc::Segment* segment = hc::Graph::Instance().FindSegment(segmentKey);
    if (!segment) {
        if (error) *error = "key " + std::to_string(segmentKey) + " is not a segment";
        return false;
    }
    if (width < 1 || height < 1) return true;  // a collapsed window shows nothing
    if (!m_impl->gl) {
        auto gl = std::make_unique<Impl::Gl>();
        if (!gl->backend.Initialize(error)) return false;
        gl->backend.SetShareGroup(m_impl->shareGroup);
        m_impl->gl = std::move(gl);
    }
    Impl::Gl& gl = *m_impl->gl;
    FrameTimings timings;
    auto start = std::chrono::steady_clock::now();
    WalkSettings walk;
    walk.width = width;
    walk.height = height;
    walk.renderMode = ModeFor(segment);
    walk.meshCacheUser = m_impl->meshUser;
    const DrawList* list = nullptr;
    const std::uint64_t reusedBefore = m_impl->walks.Reused();
    if (!m_impl->walks.Get(segmentKey, walk, *m_impl->meshes, list, error)) return false;
    timings.walkSeconds = Since(start);
    timings.walkSkipped = m_impl->walks.Reused() != reusedBefore;
    start = std::chrono::steady_clock::now();
    // A multisampled window framebuffer cannot take a scaled blit: full resolution there.
    GLint samples = 0;
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glGetIntegerv(GL_SAMPLES, &samples);
    if (samples > 1)
        gl.backend.Draw(*list, framebuffer);
    else if (!DrawScaled(gl.backend, *list, framebuffer, width, height, ReducedFor(segment), gl.reduced, error))
        return false;
    // The window shows the frame only once it is finished, so its time is the time to
    // the finished frame: what the view's motion detail must hold to its rate.
    glFinish();
    timings.drawSeconds = Since(start);
    FillDrawCounters(timings, gl.backend, *m_impl->meshes);
    NoteDisplayFrame(segment->key, timings);
    return true;
}

// ---- Display driver ----

namespace {

struct DisplayState {
    std::uint64_t generation = 0;  // scene generation of the last frame
    std::uint64_t definitionChanges = 0;  // the graph's definition changes then
    Image frame;
    std::function<void()> repaint;
    bool forceRedraw = false;
};

int& OffscreenDeferrals() {
    static int deferrals = 0;
    return deferrals;
}

class OffscreenDriver final : public hc::DisplayDriver {
public:
    void Update(hc::Key key, hc::UpdateMode mode) override {
        hc::Graph& graph = hc::Graph::Instance();
        if (key != hc::kNoKey) {
            // Mark the display at or above key.
            for (const hc::Segment* s = graph.FindSegment(key); s; s = s->owner) {
                if (IsDisplay(*s)) {
                    m_displays[s->key].forceRedraw = mode == hc::UpdateMode::RedrawEverything;
                    break;
                }
            }
            if (mode != hc::UpdateMode::Update) return;
        }
        const hc::Segment* drivers = graph.Root().FindChild("driver");
        if (!drivers) return;
        for (const auto& kind : drivers->children)
            for (const auto& display : kind->children) Draw(*display, graph.Generation());
    }

    std::map<HC_KEY, DisplayState> m_displays;

private:
    void Draw(const hc::Segment& display, std::uint64_t generation) {
        DisplayState& state = m_displays[display.key];
        const bool drawnBefore = state.repaint ? state.generation != 0 : !state.frame.Empty();
        if (state.generation == generation && !state.forceRedraw && drawnBefore) return;
        if (!state.forceRedraw && drawnBefore && state.definitionChanges == hc::Graph::Instance().DefinitionChanges() &&
            LastChangeShownBy(display) <= state.generation) {
            state.generation = generation;  // only other displays changed since its last frame
            return;
        }
        if (!state.repaint && OffscreenDeferrals() > 0) return;  // stays out of date
        state.generation = generation;
        state.definitionChanges = hc::Graph::Instance().DefinitionChanges();
        state.forceRedraw = false;
        if (state.repaint) {
            state.repaint();
            return;
        }
        FrameSettings settings;
        settings.width = 800;
        settings.height = 600;
        if (display.attributes && display.attributes->driver) {
            settings.width = display.attributes->driver->widthPixels;
            settings.height = display.attributes->driver->heightPixels;
        }
        std::string error;
        if (!RenderToImage(display.key, settings, state.frame, &error) && !m_reported) {
            m_reported = true;  // once: a machine without GL would otherwise repeat it forever
            hc::ReportError("HC_Update_Display", HC_ERR_DRIVER, error, HC_SEV_WARNING);
        }
    }

    bool m_reported = false;
};

OffscreenDriver*& TheDriver() {
    static OffscreenDriver* driver = nullptr;
    return driver;
}

} // namespace

void InstallDisplayDriver() {
    OffscreenDriver*& driver = TheDriver();
    if (driver) return;
    // Lives for the process: the scene graph keeps a plain pointer to it.
    static OffscreenDriver instance;
    driver = &instance;
    hc::Graph::Instance().RegisterDisplayDriver(driver);
}

const Image* LastFrame(HC_KEY displaySegment) {
    OffscreenDriver* driver = TheDriver();
    if (!driver) return nullptr;
    const hc::Segment* segment = hc::Graph::Instance().FindSegment(displaySegment);
    if (!segment) return nullptr;
    auto found = driver->m_displays.find(segment->key);
    if (found == driver->m_displays.end() || found->second.frame.Empty()) return nullptr;
    return &found->second.frame;
}

DeferOffscreenFrames::DeferOffscreenFrames() { ++OffscreenDeferrals(); }
DeferOffscreenFrames::~DeferOffscreenFrames() { --OffscreenDeferrals(); }

void SetWindowTarget(HC_KEY displaySegment, std::function<void()> requestRepaint) {
    InstallDisplayDriver();
    const hc::Segment* segment = hc::Graph::Instance().FindSegment(displaySegment);
    const HC_KEY key = segment ? segment->key : displaySegment;
    if (requestRepaint)
        TheDriver()->m_displays[key].repaint = std::move(requestRepaint);
    else
        TheDriver()->m_displays.erase(key);
}

} // namespace ketra::render
