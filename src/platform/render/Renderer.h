// The renderer as the view layer sees it: draw a segment tree (normally a view's driver
// segment, which holds the camera and includes the model) to an RGBA image or into the
// framebuffer of a current GL context, and the display driver that makes HC_Update_Display
// draw.
//
// What the picture shows is decided by the net attributes of the scene graph (visibility,
// colours, line/edge/marker/text attributes, rendering options, heuristics, cameras, lights,
// cutting planes, LOD) plus the view's render mode, given with SetRenderMode:
//
//   mode  picture
//   1     wireframe: every edge and line, no faces
//   3     silhouette / two-line: faces hide what is behind them in the window colour;
//         silhouette and hard (feature) edges are drawn
//   4,5,6 hidden line: faces hide in the window colour; visible edges and lines are drawn
//   8,10  Gouraud shaded faces (vertex-interpolated lighting)
//   9     flat shaded faces
//   19    marker mode: the coarsest level of detail as lines, with a marker at each vertex
//   other (0 or never set): faces shaded as the attributes say (Gouraud unless the rendering
//         option "lighting interpolation" is off), edges as the visibility says
//
// Threading: the scene graph is single-threaded; so is the renderer. Every call here must
// come from the thread that uses the scene graph.
#pragma once

#include "platform/render/ProgramVariant.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

typedef long HC_KEY;  // same type as hc.h declares

namespace ketra::render {

// An 8-bit RGBA picture, top row first (already flipped from GL's bottom-up rows),
// not premultiplied. Alpha is 255 for every pixel of a rendered frame.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;  // width * height * 4 bytes

    struct Pixel {
        std::uint8_t r = 0, g = 0, b = 0, a = 0;
        bool operator==(const Pixel&) const = default;
    };
    // Pixel at column x, row y (row 0 at the top). Out of range gives {0,0,0,0}.
    Pixel At(int x, int y) const;
    bool Empty() const { return width <= 0 || height <= 0; }
};

struct FrameSettings {
    int width = 0;    // pixels, 1..16384
    int height = 0;   // pixels, 1..16384
    int samples = 1;  // 1 (none) or 4 (multisampling, used for saved images)
};

// Render mode of a view, keyed by its driver segment (see the table above). Stays until set
// again or the segment is deleted. Returns the previous mode (0 when none was set).
int SetRenderMode(HC_KEY driverSegment, int mode);
int GetRenderMode(HC_KEY driverSegment);

// Reduced frames for a view, keyed by its driver segment like the render mode: while on,
// frames of that segment and below are drawn at half the resolution and scaled up (the
// deepest motion level). A setting outside the scene graph, so switching it costs no walk.
void SetReducedResolution(HC_KEY driverSegment, bool on);
bool GetReducedResolution(HC_KEY driverSegment);

// Renders `segment` and everything below it (through includes and styles) as seen by the net
// camera at `segment` (a default camera when none is set) into `out`. Uses the process's
// headless GL context (EGL surfaceless + framebuffer object), creating it on first use.
// Returns false with a message in *error (when given) if the key is not a segment, the size
// is out of range, or no GL context can be made.
bool RenderToImage(HC_KEY segment, const FrameSettings& settings, Image& out,
                   std::string* error = nullptr);

// Where a frame's time went: LastFrameTimings for the last headless frame (RenderToImage), for
// `--timings` and benchmarks; DisplayFrameTimings for the last frame of a view, wherever drawn.
struct FrameTimings {
    double walkSeconds = 0;  // scene walk and tessellation of changed items
    double drawSeconds = 0;  // buffer uploads and drawing, up to the finished frame
    double readSeconds = 0;  // resolving and reading the pixels back
    size_t meshes = 0;       // mesh items drawn
    size_t triangles = 0;    // their triangles
    size_t edgeSegments = 0; // mesh edges sent to the line shader
    size_t bufferBytes = 0;  // vertex and index bytes the renderer keeps for later frames
    size_t meshBytes = 0;    // bytes of the meshes it keeps built (MeshBytes), every level's
    size_t rebuiltBatches = 0;  // merged buffers filled again for this frame
    size_t culledChunks = 0;    // merged buffers of faces not drawn, wholly beside the view
    bool walkSkipped = false;  // only cameras changed: the last walk was reused
    std::vector<ProgramVariant> programs;  // the programs the frame drew with, in first-use order
    std::uint64_t frame = 0;   // numbers every frame drawn: tells a new frame's figures from old ones
};
const FrameTimings& LastFrameTimings();

// The figures of the last frame drawn of `segment` (a view's display segment), offscreen by
// RenderToImage or into a window by a WindowRenderer, or null when none was drawn. A window
// paints after HC_Update_Display has asked it to, so this is how a view learns how long its
// frames take wherever they are drawn. `frame` tells a new frame from one seen before. The
// pointer stays valid until the next frame of any segment.
const FrameTimings* DisplayFrameTimings(HC_KEY segment);
// What a frame of a display drawn now would show, as far as a window can tell without drawing
// it: the scene's generation as of the latest change the display may show (changes inside other
// views' own segments do not count), the named definitions' changes, the render mode and the
// reduced resolution. Equal stamps, at equal sizes, draw the same picture; a window that kept
// its last frame shows that one again.
struct DisplayStamp {
    std::uint64_t generation = 0;
    std::uint64_t definitionChanges = 0;
    int renderMode = 0;
    bool reduced = false;
    bool operator==(const DisplayStamp&) const = default;
};
DisplayStamp StampOf(HC_KEY displaySegment);

// Records a frame of `segment` drawn by other means (a host's own drawing), numbered as the
// frames drawn here are, so that its view judges it as it judges theirs.
void NoteDisplayFrame(HC_KEY segment, FrameTimings timings);
// Calls `shown` after each frame of `segment` is drawn (offscreen, in a window or noted), with
// its figures: a view times the rest after a motion from when its last frame was shown. One
// listener per segment; an empty function removes it.
void SetFrameListener(HC_KEY segment, std::function<void(const FrameTimings&)> shown);

struct DrawList;
// Draws a prepared draw list (see DrawList.h) headless, as RenderToImage does after walking the
// scene: for tools and benchmarks that build draw lists themselves. The list's layer sizes
// must match the settings.
bool RenderDrawList(const DrawList& list, const FrameSettings& settings, Image& out,
                    std::string* error = nullptr);

// Draws every batch, headless or in a window, with the general program of its kind, which
// decides clip planes, lighting, shading and texture by uniforms at run time, instead of the
// program compiled for what the batch needs. The pictures are the same; for comparisons and
// tests. Returns the previous setting.
bool SetGeneralPrograms(bool on);

// Frees the headless renderer's GPU buffers and caches (the next frame rebuilds them).
void ReleaseHeadlessResources();

// True when a headless GL context can be made on this machine (Mesa llvmpipe will do);
// otherwise false with the reason in *why.
bool HeadlessAvailable(std::string* why = nullptr);

// Draws into a GL context that the caller made current (a QOpenGLWidget's paintGL, for
// example). GL objects are cached per geometry item and its change counter, so one
// WindowRenderer belongs to one context at a time; destroy it, or call ReleaseGl, while that
// context is current. Meshes are shared by every WindowRenderer of the process.
class WindowRenderer {
public:
    WindowRenderer();
    ~WindowRenderer();
    WindowRenderer(const WindowRenderer&) = delete;
    WindowRenderer& operator=(const WindowRenderer&) = delete;

    // Draws `segment` into framebuffer object `framebuffer` (0 for the default one) of
    // width x height pixels. Returns false with a message when the key is not a segment or
    // the context lacks OpenGL 3.3.
    bool Draw(HC_KEY segment, int width, int height, unsigned framebuffer,
              std::string* error = nullptr);
    // The share group of the contexts it draws in (QOpenGLContext::shareGroup(), say): window
    // renderers in one group fill each batch of faces once (the panes of four views). Null,
    // the default, shares nothing; a new group takes effect from the next context (ReleaseGl).
    void SetShareGroup(const void* group);
    // Deletes the GL objects of the current context (one about to go) and keeps the meshes:
    // the next Draw, in another context, uploads them again without building them again.
    void ReleaseGl();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// Installs the display driver behind HC_Update_Display and HC_Control_Update_By_Key (once per
// process; later calls do nothing). After it, an update draws every display segment (a segment
// two levels below "/driver") that changed since its last frame: segments with a window target
// ask their window to repaint; the others are rendered offscreen at their window size
// ("pixels" device information) and kept as their last frame.
void InstallDisplayDriver();

// The last frame drawn offscreen for a display segment, or null when none was drawn. The
// pointer stays valid until that segment's next update.
const Image* LastFrame(HC_KEY displaySegment);

// A window that shows `displaySegment`: HC_Update_Display calls `requestRepaint` instead of
// rendering offscreen; the window then draws with a WindowRenderer. An empty function removes
// the target.
void SetWindowTarget(HC_KEY displaySegment, std::function<void()> requestRepaint);

// While one lives (on the scene graph's thread), updates leave the display segments that have
// no window target undrawn instead of rendering them offscreen. For a window layer setting up
// views that its windows are about to show: each would otherwise be drawn headless first, which
// on a large plant costs seconds and a second copy of its meshes and buffers. Whatever is still
// out of date is drawn by the first update after the last one ends (or painted by its window).
class DeferOffscreenFrames {
public:
    DeferOffscreenFrames();
    ~DeferOffscreenFrames();
    DeferOffscreenFrames(const DeferOffscreenFrames&) = delete;
    DeferOffscreenFrames& operator=(const DeferOffscreenFrames&) = delete;
};

} // namespace ketra::render
