// The draw list: what one frame of a segment tree shows, with every attribute already
// resolved. The scene walker (SceneWalker) fills it from the scene graph with no GL; the GL
// backend (GlBackend) draws it; tests read it directly (the recording backend).
//
// Geometry of shells, polycylinders, cylinders and polygons is kept as Meshes in object space
// and shared through the MeshCache, keyed by item key, level of detail and the item's change
// counter, so unchanged items are never re-tessellated.
#pragma once

#include "platform/hc/CameraMath.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

typedef long HC_KEY;

namespace ketra::render {

namespace CameraMath = ::ketra::hc::CameraMath;

struct Color {
    float r = 0.0f, g = 0.0f, b = 0.0f;
    bool operator==(const Color&) const = default;
};

// Vertex indices of one mesh, 16 bits each while every index fits (nearly every item of a
// plant), 32 otherwise: appending an index that does not fit widens the whole list.
class IndexList {
public:
    IndexList() = default;
    IndexList(std::initializer_list<std::uint32_t> indices) { Append(indices); }

    std::uint32_t operator[](size_t i) const { return m_wide ? m_32[i] : m_16[i]; }
    size_t size() const { return m_wide ? m_32.size() : m_16.size(); }
    bool empty() const { return size() == 0; }
    // Calls f with the vector holding the indices (of std::uint16_t or std::uint32_t), for
    // loops over many indices.
    template <typename F>
    decltype(auto) Visit(F&& f) const {
        return m_wide ? f(m_32) : f(m_16);
    }

    void push_back(std::uint32_t index) {
        if (!m_wide) {
            if (index <= 0xFFFFu) {
                m_16.push_back(static_cast<std::uint16_t>(index));
                return;
            }
            Widen();
        }
        m_32.push_back(index);
    }
    void Append(std::initializer_list<std::uint32_t> indices) {
        for (std::uint32_t index : indices) push_back(index);
    }
    // Takes `indices`, none larger than `largest`, as the whole list: kept as they are when
    // they need 32 bits, else narrowed in one pass.
    void Assign(std::vector<std::uint32_t>&& indices, std::uint32_t largest) {
        if (largest > 0xFFFFu) {
            m_16 = {};
            m_32 = std::move(indices);
            m_wide = true;
            return;
        }
        m_32 = {};
        m_wide = false;
        m_16.resize(indices.size());
        for (size_t i = 0; i < indices.size(); ++i) m_16[i] = static_cast<std::uint16_t>(indices[i]);
    }
    void reserve(size_t n) { m_wide ? m_32.reserve(n) : m_16.reserve(n); }
    void shrink_to_fit() { m_wide ? m_32.shrink_to_fit() : m_16.shrink_to_fit(); }
    size_t CapacityBytes() const { return m_16.capacity() * 2 + m_32.capacity() * 4; }

private:
    void Widen() {
        m_32.reserve(std::max(m_16.capacity(), m_16.size() + 1));
        m_32.assign(m_16.begin(), m_16.end());
        m_16 = {};
        m_wide = true;
    }
    std::vector<std::uint16_t> m_16;
    std::vector<std::uint32_t> m_32;
    bool m_wide = false;
};

// Triangulated geometry of one item (one level of detail) in object coordinates.
struct Mesh {
    std::vector<float> positions;           // x, y, z per vertex
    // Per vertex, smoothed within the crease angle, packed as the GPU takes them (PackNormal).
    std::vector<std::uint32_t> normals;
    std::vector<std::uint32_t> colors;      // per vertex 0xAABBGGRR; empty: the item's face colour
    IndexList triangles;                    // 3 vertex indices per triangle
    // Edges, 4 vertex indices each: the edge a-b, then one vertex of the face on each side
    // (c, d); c == a or d == a marks a side with no face (a boundary or a bare line).
    IndexList edges;
    std::vector<std::uint32_t> edgeColors;  // per edge 0xAABBGGRR; empty: the item's edge colour
    std::vector<std::uint32_t> markerVertices;  // vertices drawn as markers in marker mode
    bool faceEdges = true;  // false: built without the edges along its faces (see ShellExtras)
    std::array<float, 3> boundsMin{0, 0, 0}, boundsMax{0, 0, 0};
    size_t TriangleCount() const { return triangles.size() / 3; }
    size_t EdgeCount() const { return edges.size() / 4; }
    size_t VertexCount() const { return positions.size() / 3; }
};
// The bytes a mesh holds: itself and its lists as allocated.
size_t MeshBytes(const Mesh& mesh);

// A unit normal in 32 bits as GL_INT_2_10_10_10_REV holds it (x, y, z signed 10-bit,
// normalised; the top 2 bits unused), and back.
std::uint32_t PackNormal(float x, float y, float z);
std::array<float, 3> UnpackNormal(std::uint32_t packed);

// Line patterns as a 16-bit on/off mask repeated along the line (bit 0 first), each bit
// covering `scale` pixels. Mask 0xFFFF is solid.
struct LinePattern {
    std::uint16_t mask = 0xFFFF;
    float scale = 1.0f;
    bool operator==(const LinePattern&) const = default;
};
// The pattern for a pattern name ("---", "- -", "-.-.", "-...", "....", "-- --", "center",
// "phantom", "(----)"); solid for names it does not know.
LinePattern PatternFromName(const std::string& name);

enum class Shading : std::uint8_t { Gouraud, Flat };

struct DepthRange {
    float nearValue = 0.0f, farValue = 1.0f;
    bool operator==(const DepthRange&) const = default;
};

// A plane a*x + b*y + c*z + d = 0 in world coordinates; the side where it is positive is cut.
// Planes of one group (group > 0) cut only together: a point is cut away where every plane
// of the group is positive (the corner a three-sided section opens). Group 0 planes cut alone.
struct ClipPlane {
    double a = 0, b = 0, c = 0, d = 0;
    int group = 0;
    double Side(double x, double y, double z) const { return a * x + b * y + c * z + d; }
};
// True when a world point is cut away by the set: by any plane of group 0, or by every
// plane of some group.
bool IsCutAway(const std::vector<ClipPlane>& planes, double x, double y, double z);

// An image used as a texture (the "source" of a defined texture), as RGBA rows top down.
struct TextureImage {
    HC_KEY key = -1;                 // the image item
    std::uint64_t changeCount = 0;   // with key: when the pixels must be uploaded again
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgba;
};

// How texture coordinates are made for a textured item.
struct TextureMapping {
    enum class Kind : std::uint8_t {
        Natural,   // "uv": the object's bounding box (largest extent u, next v), 0..1
        Cylinder,  // "parameterization source = cylinder": u angle about the axis / 2 pi, v along it
    } kind = Kind::Natural;
};

// A filled or stroked figure of a glyph (line-style caps), in glyph units relative to the
// glyph's origin: +x runs along the line away from the end the cap sits on.
struct GlyphFigure {
    bool filled = false;
    std::vector<float> points;  // x, y pairs
};
struct GlyphShape {
    float size = 1;  // the glyph box, in glyph units (drawn `weight` * kCapPixelsPerWeight across)
    std::vector<GlyphFigure> figures;
};
constexpr float kCapPixelsPerWeight = 10.0f;
// Decodes glyph bytes: size, origin x, origin y, then figures until a 0 count; a figure is
// a count n > 0 and n points (a stroked polyline) or -1, n and n points (a filled polygon);
// points are signed (x, y) byte pairs. False (and no figures) for malformed data.
bool DecodeGlyph(const std::vector<signed char>& bytes, GlyphShape& out);

// Drawing state shared by many items; the GL backend batches items of equal state.
struct SurfaceState {
    Shading shading = Shading::Gouraud;
    bool lighting = true;
    Color specular{0.4f, 0.4f, 0.4f};
    float gloss = 20.0f;
    float transmission = 0.0f;   // 0 opaque .. 1 invisible
    DepthRange depthRange;
    float faceDisplacement = 0;  // in depth-buffer units, positive pushes away
    int clipSet = -1;            // index into DrawList::clipSets, -1 none
    // Heuristic "backplane cull": faces seen from behind (clockwise on screen) are not drawn;
    // `mirrored` (a modelling matrix that turns the item inside out) flips which side is behind.
    bool cullBack = false;
    bool mirrored = false;
    bool operator==(const SurfaceState&) const = default;
};

struct LineState {
    float weight = 1.0f;  // pixels
    LinePattern pattern;
    DepthRange depthRange;
    int clipSet = -1;
    bool silhouetteOnly = false;  // draw only silhouette, boundary and hard edges
    bool operator==(const LineState&) const = default;
};

// One shell-like item (shell, polycylinder, cylinder, polygon, circle, ellipse).
struct MeshDraw {
    HC_KEY key = -1;
    HC_KEY segment = -1;
    int lod = 0;  // level of detail drawn (0 = full)
    std::shared_ptr<const Mesh> mesh;
    std::uint64_t meshStamp = 0;       // changes whenever the mesh's content changes
    CameraMath::Matrix4 matrix;        // object to world
    bool identity = true;              // matrix is the identity
    // The mesh is another item's, placed onto this item by its cache entry's placement:
    // `placed` when the matrix includes that placement, `placedOnly` when it is nothing else
    // (so meshStamp, unique to the entry, stands for the matrix too).
    bool placed = false, placedOnly = false;
    bool faces = true, edges = false, vertexMarkers = false;
    bool hiddenSurfaceOnly = false;    // faces only hide (hidden-line modes)
    Color faceColor{1, 1, 1}, edgeColor{0, 0, 0}, markerColor{0, 0, 0};
    Color cutEdgeColor{0, 0, 0};       // the outline where a cutting plane cuts the faces
    SurfaceState surface;
    LineState edgeState;
    // A texture replacing the diffuse colour of the faces (null: faceColor).
    std::shared_ptr<const TextureImage> texture;
    TextureMapping textureMapping;
    int markerSymbol = 0;  // MarkerSymbol
    float markerSize = 6;  // pixels
};

// Polylines, lines, arcs: world-space polyline strips.
struct LineDraw {
    HC_KEY key = -1;
    HC_KEY segment = -1;
    std::vector<float> points;  // world x, y, z per point, drawn as one connected strip
    bool pairs = false;         // points taken two at a time as separate segments
    Color color{0, 0, 0};
    LineState state;
    // Line-style caps drawn at the first and last point (null: none).
    std::shared_ptr<const GlyphShape> startCap, endCap;
};

enum MarkerSymbol : int {
    kMarkerCircleDot = 0,  // "(.)"
    kMarkerPlus,           // "+"
    kMarkerDot,            // "."
    kMarkerCross,          // "x"
    kMarkerStar,           // "*"
    kMarkerCircle,         // "o", "()"
    kMarkerFilledCircle,   // "(*)" and "@"
    kMarkerSquare,         // "[]"
    kMarkerDiamond,        // "<>"
};
int MarkerSymbolFromName(const std::string& name);

struct MarkerDraw {
    HC_KEY key = -1;
    HC_KEY segment = -1;
    std::array<float, 3> position{0, 0, 0};  // world
    Color color{0, 0, 0};
    int symbol = kMarkerCircleDot;
    float size = 6.0f;  // pixels across
    DepthRange depthRange;
    int clipSet = -1;
};

struct TextDraw {
    HC_KEY key = -1;
    HC_KEY segment = -1;
    std::array<float, 3> position{0, 0, 0};  // world
    std::u32string text;
    Color color{0, 0, 0};
    std::string fontName = "sans-serif";  // first family of the net text font
    float size = 10.0f;                   // in `sizeUnit`
    enum class Unit { Points, Pixels, WorldUnits } sizeUnit = Unit::Points;
    char alignX = '*';  // '<' left, '*' centre, '>' right
    char alignY = '*';  // '^' top, '*' centre, 'v' bottom
    bool transforms = false;  // text lies in its object's plane or faces the screen
    // Heuristic "hide overlapped text": not drawn where it would overlap such a text drawn
    // before it in the layer.
    bool hideOverlapped = false;
    // With transforms: the object's x and y axes in world space (with the object's scale);
    // the text runs along xAxis with its up along yAxis.
    std::array<float, 3> xAxis{1, 0, 0}, yAxis{0, 1, 0};
    DepthRange depthRange;
    int clipSet = -1;
};

// An image drawn pixel for pixel, centred on its projected position.
struct ImageDraw {
    HC_KEY key = -1;
    HC_KEY segment = -1;
    std::uint64_t changeCount = 0;             // with key: when the pixels must be uploaded again
    std::array<float, 3> position{0, 0, 0};    // world
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgba;            // rows top down
    DepthRange depthRange;
};

// A draw callback ("draw dc polyline"/"draw dc marker") to call instead of drawing.
struct CallbackDraw {
    enum class Kind { Polyline, Marker } kind = Kind::Polyline;
    void (*function)() = nullptr;  // the defined HC_CALLBACK
    HC_KEY key = -1, segment = -1;
    std::vector<HC_KEY> path;      // segment first, display last
    std::vector<float> points;     // world points
    Color color{0, 0, 0};
    float weight = 1.0f;
    int markerSymbol = kMarkerCircleDot;
    float markerSize = 6.0f;
    std::shared_ptr<const GlyphShape> startCap, endCap;  // caps of the polylines it draws
};

struct Light {
    std::array<float, 3> toLight{0, 0, 1};  // unit vector towards the light
    bool cameraRelative = false;  // toLight is in viewpoint space ("light follows camera")
    Color color{1, 1, 1};
};

// One viewport: the display's whole window, or a subwindow (a segment with a window
// attribute, such as the axis triad), drawn over its parent with its own camera.
struct Layer {
    HC_KEY segment = -1;
    CameraMath::Camera camera;
    bool cameraSet = false;
    HC_KEY cameraSegment = -1;  // the segment whose camera this is; -1: the default camera
    int x = 0, y = 0, width = 0, height = 0;  // pixels, origin at the bottom-left (GL)
    bool clearColor = true;                    // paint the background (subwindows may not)
    Color windowTop{1, 1, 1}, windowBottom{1, 1, 1};  // equal: a plain window colour
    std::vector<Light> lights;  // empty: a default light over the viewer's shoulder, unless
    bool lightsOff = false;     // the scene's lights are hidden ("lights = off"): faces unlit
    std::vector<std::vector<ClipPlane>> clipSets;

    std::vector<MeshDraw> meshes;
    std::vector<LineDraw> lines;
    std::vector<MarkerDraw> markers;
    std::vector<TextDraw> texts;
    std::vector<ImageDraw> images;
    std::vector<CallbackDraw> callbacks;

    // World bounds of what is drawn (for the depth range of the projection).
    std::array<double, 3> boundsMin{0, 0, 0}, boundsMax{0, 0, 0};
    bool hasBounds = false;
    void AddBounds(double px, double py, double pz);
};

// Motion detail: from kMotionCullLevel on, items whose size on screen stays under
// kMotionCullPixels while the camera orbits are left out. Reduced frames (SetReducedResolution)
// are drawn at 1 / kReducedResolutionDivisor of the window's resolution and scaled up.
constexpr int kReducedResolutionDivisor = 2;
constexpr int kMotionCullLevel = 2;
constexpr double kMotionCullPixels = 4.0;

struct DrawList {
    HC_KEY displayKey = -1;
    int width = 0, height = 0;
    int renderMode = 0;
    std::vector<Layer> layers;  // layers[0] is the whole window; others draw over it in order
    // The walk chose something by the camera (levels of detail, tube facets, masked
    // transforms): a camera move needs a new walk, not only new cameras.
    bool cameraDependent = false;
    // The motion detail level the list was walked at ("lodo = (clamp = n)", 0 for full
    // detail).
    int detailLevel = 0;
    // Items too small to see were left out by a size bound that holds for every camera
    // orbiting the main layer's camera target at the same distance and field (orbitCamera):
    // the list serves such cameras, but a pan or a zoom needs a new walk.
    bool orbitDependent = false;
    CameraMath::Camera orbitCamera;

    Layer& Main() { return layers.front(); }
    const Layer& Main() const { return layers.front(); }
    size_t MeshCount() const;
};

} // namespace ketra::render
