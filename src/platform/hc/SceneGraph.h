// SceneGraph.h — the internal C++ model behind hc.h.
//
// Read by the renderer, the camera/picking/metafile code and the view layer.
// The HC_* functions are thin facades over this model. Single-threaded: every
// call comes from the UI thread; nothing here locks.
//
// Ownership: Graph owns the root Segment; a Segment owns its children, its
// geometry and its include/style references; a shell owns its level-of-detail
// items. Raw pointers handed out stay valid until the entity is deleted (any
// HC_* call that deletes, flushes or resets may invalidate them); hold keys,
// not pointers, across calls that may delete.
//
// Change tracking: Graph::Generation() increases on every modification; each
// entity records the generation of its own last change in changeCount, so a
// cache keyed by (key, changeCount) is exact.
#pragma once

#include "platform/hc/OptionParser.h"
#include "platform/hc/hc.h"

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

namespace ketra::hc {

using Key = HC_KEY;
inline constexpr Key kNoKey = -1;

// ---------------------------------------------------------------------------
// Basic math types (row-vector convention: p' = p x M, translation in row 3)
// ---------------------------------------------------------------------------
struct Vec3 {
    float x = 0, y = 0, z = 0;
    friend bool operator==(const Vec3&, const Vec3&) = default;
};
using Matrix = std::array<float, 16>;

Matrix IdentityMatrix();
bool IsIdentity(const Matrix& m);
// a x b: apply a first, then b.
Matrix Multiply(const Matrix& a, const Matrix& b);
// p x m with perspective divide when w is not 1.
Vec3 TransformPoint(const Vec3& p, const Matrix& m);
// False (and identity) when singular.
bool Invert(const Matrix& m, Matrix& out);

struct Rgb {
    float r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// ---------------------------------------------------------------------------
// Option maps: the parsed form of option-string attributes (rendering options,
// heuristics, text font, callbacks, user options, driver options). Names are
// stored as given (trimmed, inner blanks collapsed) and compared case-
// insensitively; flags hold "on"/"off"; other values are kept as given
// (trimmed; parenthesised lists keep their parentheses). Each name is
// normalised once when it is set: lookups run per segment per frame and must
// not allocate.
// ---------------------------------------------------------------------------
class OptionMap {
public:
    using Entry = std::pair<std::string, std::string>;
    const std::string* Find(std::string_view name) const;
    bool Has(std::string_view name) const { return Find(name) != nullptr; }
    // True when the flag is present with a value other than "off".
    bool IsOn(std::string_view name) const;
    void Set(std::string_view name, std::string_view value);
    bool Erase(std::string_view name);
    void Clear() {
        m_entries.clear();
        m_keys.clear();
    }
    bool Empty() const { return m_entries.empty(); }
    size_t Size() const { return m_entries.size(); }
    const std::vector<Entry>& Entries() const { return m_entries; }
    // Copies every entry of `other` over this map (other wins).
    void MergeFrom(const OptionMap& other);
    // "name" for on, "no name" for off, "name=value" otherwise, comma-separated.
    std::string ToString() const;

private:
    // Index of the entry whose normalised name is `normalized`, or npos.
    size_t IndexOf(std::string_view normalized) const;
    // Index of the entry named `name` (any case or spacing), or npos.
    size_t Lookup(std::string_view name) const;

    std::vector<Entry> m_entries;     // insertion order; small
    std::vector<std::string> m_keys;  // m_entries[i]'s name, normalised
};

// ---------------------------------------------------------------------------
// Attributes
// ---------------------------------------------------------------------------
enum class ColorChannel : uint8_t {
    Faces, Edges, Lines, Markers, Text, Windows, WindowContrast, Lights, Back, Vertices,
    CutFaces, CutEdges, Count
};
inline constexpr size_t kColorChannelCount = static_cast<size_t>(ColorChannel::Count);
// "faces", "edges", "lines", "markers", "text", "windows", "window contrast",
// "lights", "back", "vertices", "cut faces", "cut edges".
const char* ColorChannelName(ColorChannel channel);

// The diffuse component: a colour, an index into the colour map, or a texture.
struct Diffuse {
    enum class Kind : uint8_t { Rgb, Index, Texture };
    Kind kind = Kind::Rgb;
    Rgb rgb;
    float index = 0;
    std::string texture;  // texture name when kind == Texture
    friend bool operator==(const Diffuse&, const Diffuse&) = default;
};
// One channel's colour; each component is set independently and inherits
// component by component.
struct ChannelColor {
    std::optional<Diffuse> diffuse;
    std::optional<Rgb> specular, transmission, emission;
    std::optional<float> gloss;
    bool Empty() const { return !diffuse && !specular && !transmission && !emission && !gloss; }
    void MergeFrom(const ChannelColor& nearer);
    friend bool operator==(const ChannelColor&, const ChannelColor&) = default;
};
struct ColorAttribute {
    std::array<ChannelColor, kColorChannelCount> channels;
    ChannelColor& operator[](ColorChannel c) { return channels[static_cast<size_t>(c)]; }
    const ChannelColor& operator[](ColorChannel c) const { return channels[static_cast<size_t>(c)]; }
    bool Empty() const;
    void MergeFrom(const ColorAttribute& nearer);
};

// Geometry types shared by visibility and selectability (bit flags).
enum TypeBit : uint32_t {
    kFaces = 1u << 0, kEdges = 1u << 1, kLines = 1u << 2, kMarkers = 1u << 3,
    kText = 1u << 4, kImages = 1u << 5, kWindows = 1u << 6, kCuttingPlanes = 1u << 7,
    kShadows = 1u << 8, kVertices = 1u << 9, kLightsFaces = 1u << 10,
    kLightsEdges = 1u << 11, kLightsMarkers = 1u << 12,
    kAllTypes = (1u << 13) - 1
};
// Local visibility: bits in `mask` are set here; `on` gives their values.
struct Visibility {
    uint32_t mask = 0, on = 0;
    bool Empty() const { return mask == 0; }
    void MergeFrom(const Visibility& nearer) {
        on = (on & ~nearer.mask) | (nearer.on & nearer.mask);
        mask |= nearer.mask;
    }
    friend bool operator==(const Visibility&, const Visibility&) = default;
};
// Local selectability: `on` = selectable when visible; `forced` ("on!") =
// selectable even when invisible (forced implies on).
struct Selectability {
    uint32_t mask = 0, on = 0, forced = 0;
    bool Empty() const { return mask == 0; }
    void MergeFrom(const Selectability& nearer) {
        on = (on & ~nearer.mask) | (nearer.on & nearer.mask);
        forced = (forced & ~nearer.mask) | (nearer.forced & nearer.mask);
        mask |= nearer.mask;
    }
};

enum class Handedness : uint8_t { Left, Right };
enum class Projection : uint8_t { Perspective, Orthographic, Stretched };

// Camera slot of a segment (filled by the camera calls).
struct Camera {
    bool set = false;
    Vec3 position{0, 0, -5};
    Vec3 target{0, 0, 0};
    Vec3 up{0, 1, 0};
    float width = 2, height = 2;
    Projection projection = Projection::Orthographic;
};
// Subwindow slot (HC_Set_Window): the segment's window in its parent's window
// coordinates.
struct Window {
    bool set = false;
    float left = -1, right = 1, bottom = -1, top = 1;
};
// Driver options of a display segment. Displays are segments two levels below
// "/driver"; until told otherwise they are 800 x 600 pixels at 96 dpi.
struct DriverOptions {
    OptionMap options;
    bool hasWindowSize = false;
    int widthPixels = 800, heightPixels = 600;
    float dpi = 96;
};

// Everything that can be set on a segment (or, partly, on a geometry item).
// An unset attribute is: null pointer, empty optional, empty map, zero mask.
struct AttributeSet {
    std::unique_ptr<ColorAttribute> color;
    std::optional<std::vector<Rgb>> colorMap;
    Visibility visibility;
    Selectability selectability;
    std::optional<std::string> linePattern, edgePattern, facePattern, markerSymbol,
        textAlignment;
    std::optional<float> lineWeight, edgeWeight, markerSize;
    OptionMap textFont, renderingOptions, heuristics, callbacks;  // user options: Entity
    std::map<long, intptr_t> userIndex;
    std::optional<Handedness> handedness;
    std::optional<Matrix> modellingMatrix;
    Camera camera;
    Window window;
    std::unique_ptr<DriverOptions> driver;

    bool Empty() const;
};
// A set with nothing in it, for code that treats "no set" as an empty one.
const AttributeSet& NoAttributes();

// Resolved attributes at a point of the tree: defaults, then every segment
// from the root down (each segment's styles first, then its own attributes).
// Every field has a value.
struct NetAttributes {
    ColorAttribute color;  // every channel's diffuse set (defaults below)
    std::vector<Rgb> colorMap;
    uint32_t visible = kAllTypes & ~kShadows;
    uint32_t selectable = kAllTypes, selectableForced = 0;
    std::string linePattern = "---", edgePattern = "---", facePattern = "solid",
                markerSymbol = "(.)", textAlignment = "**";
    float lineWeight = 1, edgeWeight = 1, markerSize = 1;
    OptionMap textFont, renderingOptions, heuristics, callbacks, userOptions;
    std::map<long, intptr_t> userIndex;
    Handedness handedness = Handedness::Right;
    Matrix modelling = IdentityMatrix();  // object -> world of this segment
    Camera camera;                        // nearest camera set (default if none)
    Window window;                        // the segment's own window only
    Key cameraOwner = kNoKey;             // segment whose camera applies

    // Diffuse colour of a channel as RGB (indices looked up in the colour map).
    Rgb DiffuseRgb(ColorChannel channel) const;
};
// Defaults: windows white, every geometry channel black except faces
// (diffuse white); specular white, transmission black, gloss 5; text font
// "name = sans serif, size = 12 pts"; everything visible except shadows.
NetAttributes DefaultNetAttributes();

// ---------------------------------------------------------------------------
// Entities: segments, include/style references, geometry
// ---------------------------------------------------------------------------
enum class EntityKind : uint8_t { Segment, Include, Style, Geometry };
enum class GeometryKind : uint8_t {
    Shell, PolyCylinder, Cylinder, Line, Polyline, Marker, Text, Polygon, Circle, Ellipse,
    EllipticalArc, Image, DistantLight, CuttingPlane
};
// "shell", "polycylinder", "cylinder", "line", "polyline", "marker", "text",
// "polygon", "circle", "ellipse", "elliptical arc", "image", "distant light",
// "cutting plane".
const char* GeometryKindName(GeometryKind kind);
enum class Capping : uint8_t { None, First, Second, Both };
const char* CappingName(Capping capping);  // "none", "first", "second", "both"

struct Segment;
struct Geometry;

// Segment names compare without regard to ASCII case; the child index looks names up as
// given, without making a lower-case copy first.
struct NameHash {
    using is_transparent = void;
    size_t operator()(std::string_view name) const {
        uint64_t h = 1469598103934665603ull;
        for (char c : name) h = (h ^ static_cast<unsigned char>(AsciiLower(c))) * 1099511628211ull;
        return static_cast<size_t>(h);
    }
};
struct NameEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const { return EqualsNoCase(a, b); }
};
using ChildIndex = std::unordered_map<std::string, Segment*, NameHash, NameEqual>;

struct Entity {
    Key key = kNoKey;        // original key (negative)
    EntityKind kind = EntityKind::Segment;
    Segment* owner = nullptr;  // null only for the root
    uint64_t changeCount = 0;
    Key userKey = kNoKey;    // valid when hasUserKey
    bool hasUserKey = false;
    bool userKeyLocal = false;
    // User options of a segment or geometry item; null when none are set. They live here
    // rather than in the attribute set: a plotted plant gives every element segment a pair of
    // them and nothing else, and the set would cost several hundred bytes for that pair.
    std::unique_ptr<OptionMap> userOptions;

    virtual ~Entity() = default;
    // The key calls report: the user key when renumbered, else the original.
    Key VisibleKey() const { return hasUserKey ? userKey : key; }
};

// An include or a style: a reference from `owner` to `target`.
struct Reference : Entity {
    Segment* target = nullptr;
    // Where this reference sits in target->referencedBy, so that it leaves the list in
    // constant time (a style segment can be referenced by every element of a plant).
    size_t indexInTarget = 0;
};

// Per-face, per-edge and per-vertex attributes of a shell.
struct ElementAttributes {
    std::unique_ptr<ColorAttribute> color;
    Visibility visibility;
    std::optional<Vec3> normal;
    bool Empty() const { return !color && visibility.Empty() && !normal; }
};
struct ShellElements {
    std::unordered_map<int, ElementAttributes> faces;     // by face index
    std::unordered_map<int, ElementAttributes> vertices;  // by point index
    std::map<std::pair<int, int>, ElementAttributes> edges;  // (min, max) point indices
};

// One level of detail of a shell: level 1..7, its own items (shells).
struct LodLevel {
    int level = 0;
    std::vector<std::unique_ptr<Geometry>> items;
};

struct ShellData {
    std::vector<Vec3> points;
    std::vector<int> faceList;  // as given to HC_Insert_Shell
    int faceCount = 0;          // faces with a positive count (holes excluded)
    std::unique_ptr<ShellElements> elements;  // null when none set
    std::vector<LodLevel> lods;               // sorted by level
};
struct PolyCylinderData {
    std::vector<Vec3> points;
    std::vector<float> radii;  // 1 or points.size()
    Capping capping = Capping::Both;
};
struct CylinderData {
    Vec3 first, second;
    float radius = 0;
    Capping capping = Capping::Both;
};
struct LineData {
    Vec3 first, second;
};
// Polyline, ink and polygon outlines.
struct PolylineData {
    std::vector<Vec3> points;
    bool ink = false;  // built with HC_Insert_Ink
};
struct MarkerData {
    Vec3 position;
};
struct TextData {
    Vec3 position;
    std::u16string text;   // UTF-16 code units (8-bit text widened)
    bool unicode = false;  // inserted with the "unicode" encoding
};
struct CircleData {
    Vec3 points[3];  // three points on the circle
    Vec3 center, normal;
    float radius = 0;
};
struct EllipseData {
    Vec3 center, major, minor;  // major/minor: points at the axis ends
    float start = 0, end = 1;   // fractions of the turn (elliptical arcs)
};
struct ImageData {
    Vec3 position;
    std::string format;  // "rgb", "rgba" or "grayscale"
    std::string name;    // "" when unnamed
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;  // rows top down, format's bytes per pixel
};
struct DistantLightData {
    Vec3 direction;
};
struct CuttingPlaneData {
    float a = 0, b = 0, c = 1, d = 0;
};

struct Geometry : Entity {
    GeometryKind type = GeometryKind::Shell;
    Geometry* lodBase = nullptr;  // the shell whose level this item is; null otherwise
    int lodLevel = 0;
    std::unique_ptr<AttributeSet> attributes;  // set through HC_Open_Geometry
    std::variant<ShellData, PolyCylinderData, CylinderData, LineData, PolylineData, MarkerData,
                 TextData, CircleData, EllipseData, ImageData, DistantLightData,
                 CuttingPlaneData>
        data;

    ShellData* Shell() { return std::get_if<ShellData>(&data); }
    const ShellData* Shell() const { return std::get_if<ShellData>(&data); }
};

struct Segment : Entity {
    std::string name;  // as given; "" for nameless segments
    std::vector<std::unique_ptr<Segment>> children;
    std::vector<std::unique_ptr<Geometry>> geometry;  // insertion order
    std::vector<std::unique_ptr<Reference>> includes;
    std::vector<std::unique_ptr<Reference>> styles;
    std::vector<Reference*> referencedBy;  // includes/styles whose target is this (any order)
    std::unique_ptr<AttributeSet> attributes;  // null when nothing set
    Key inkKey = kNoKey;  // polyline that HC_Insert_Ink extends

    // Child lookup (case-insensitive); null when missing.
    Segment* FindChild(std::string_view childName) const;
    // Attributes, created on first use.
    AttributeSet& Attributes();

    // Maintained by the graph; read-only for everyone else.
    // Name (any case) -> child, kept for segments with many children.
    std::unique_ptr<ChildIndex> childIndex;
    // Local user keys (HC_Renumber_Key "local") of items owned here.
    std::unique_ptr<std::unordered_map<Key, Entity*>> localKeys;
};

// ---------------------------------------------------------------------------
// Display drivers: the renderer plugs in here. HC_Update_Display calls
// Update(kNoKey, UpdateMode::Update) on every registered driver;
// HC_Control_Update_By_Key(key, "redraw everything") calls
// Update(key, UpdateMode::RedrawEverything), "unset redraw" UpdateMode::UnsetRedraw.
// ---------------------------------------------------------------------------
enum class UpdateMode : uint8_t { Update, RedrawEverything, UnsetRedraw };
class DisplayDriver {
public:
    virtual ~DisplayDriver() = default;
    virtual void Update(Key segment, UpdateMode mode) = 0;
};

// ---------------------------------------------------------------------------
// Definitions (process-wide)
// ---------------------------------------------------------------------------
struct TextureDefinition {
    std::string name;
    std::string definition;  // as given
    OptionMap options;       // parsed ("source", "parameterization source", ...)
};
struct Definitions {
    std::vector<std::pair<std::string, HC_CALLBACK>> callbacks;  // definition order
    std::map<std::string, std::vector<signed char>> glyphs;     // lower-cased name
    std::map<std::string, std::string> glyphNames;              // lower -> as given
    std::vector<std::pair<std::string, std::string>> lineStyles;  // name, definition
    std::vector<TextureDefinition> textures;

    HC_CALLBACK FindCallback(std::string_view name) const;
    const std::vector<signed char>* FindGlyph(std::string_view name) const;
    const std::string* FindLineStyle(std::string_view name) const;
    const TextureDefinition* FindTexture(std::string_view name) const;
};

// ---------------------------------------------------------------------------
// The graph
// ---------------------------------------------------------------------------
class Graph {
public:
    static Graph& Instance();

    Graph();
    ~Graph();
    Graph(const Graph&) = delete;
    Graph& operator=(const Graph&) = delete;

    // Everything back to a fresh state (HC_Reset_System). Keys stay unused.
    void Reset();

    Segment& Root() { return *m_root; }
    const Segment& Root() const { return *m_root; }
    uint64_t Generation() const { return m_generation; }
    // Records a change of `e` (and of its owner's contents).
    void Touch(Entity& e);
    // Records a change of a segment's camera only: Generation() and the change counters move
    // as with Touch, ContentChanges() does not.
    void TouchCamera(Entity& e);
    // Counts every change except camera-only ones, and every mutable use of Defs(): while it
    // stays the same, what a scene shows differs at most by its cameras.
    uint64_t ContentChanges() const { return m_contentChanges; }
    // Counts the mutable uses of Defs() alone (named definitions reach every scene).
    uint64_t DefinitionChanges() const { return m_definitionChanges; }
    // One recorded change: the entity Touch or TouchCamera was given.
    struct TouchRecord {
        uint64_t generation = 0;
        Key key = 0;
        bool cameraOnly = false;
    };
    // Adds to `out` the changes recorded after `generation`, oldest first. False when the
    // record (the last kTouchesKept) no longer reaches so far back.
    bool TouchesSince(uint64_t generation, std::vector<TouchRecord>& out) const;
    // The generation after which the record is complete.
    uint64_t TouchesFrom() const { return m_touchesFrom; }
    static constexpr size_t kTouchesKept = 256;
    // How many keys were ever given out (deleted entities included): a bound on how many
    // items a walk that follows no include twice can meet.
    size_t KeysGiven() const;

    // --- keys ---
    // Resolves an original key, a global user key, or a local user key of the
    // open segment. Null for unknown/stale keys (no error reported).
    Entity* Find(Key key) const;
    Segment* FindSegment(Key key) const;
    Geometry* FindGeometry(Key key) const;
    Reference* FindReference(Key key) const;  // include or style

    // --- paths ---
    // Resolves a path (aliases, ".", "..", relative to the open segment or
    // "/"). With create, missing segments are created ("" is not handled here).
    // Null with *error set when it cannot be resolved.
    Segment* Resolve(std::string_view path, bool create, std::string* error = nullptr);
    // Full path name, e.g. "/include library/halden/pipes"; nameless
    // components appear as "@<key>".
    std::string PathName(const Segment& segment) const;
    void DefineAlias(std::string_view name, std::string_view expansion);
    bool RemoveAlias(std::string_view name);
    const std::string* FindAlias(std::string_view name) const;

    // --- open stack ---
    // The innermost open segment; null when none is open or it was deleted.
    Segment* OpenSegment() const;

    // --- net attributes ---
    // Net attributes of `segment` through its tree owners.
    NetAttributes Net(const Segment& segment) const;
    // Net attributes along an include path (see the PShow_Net calls in hc.h).
    // False with *error set when the path is not connected.
    bool NetAlongPath(int count, const Key* keys, NetAttributes& out,
                      std::string* error = nullptr) const;
    // The chain of segments that `count`/`keys` describe, root first (count 0:
    // the open segment and its owners).
    bool PathChain(int count, const Key* keys, std::vector<const Segment*>& chain,
                   std::string* error = nullptr) const;
    // Applies one segment onto `net`: its styles (recursively, excluding their
    // modelling matrices and cameras), then its own attributes. Modelling
    // matrices compose: net = local x net.
    static void Apply(NetAttributes& net, const Segment& segment);
    static void ApplyAttributes(NetAttributes& net, const AttributeSet& attributes);

    // --- named images (texture sources) ---
    Geometry* FindNamedImage(std::string_view name) const;

    // --- display drivers ---
    void RegisterDisplayDriver(DisplayDriver* driver);
    void UnregisterDisplayDriver(DisplayDriver* driver);
    const std::vector<DisplayDriver*>& DisplayDrivers() const { return m_drivers; }

    // Taking the definitions mutable counts as a change of them (see ContentChanges).
    Definitions& Defs() {
        ++m_contentChanges;
        ++m_definitionChanges;
        return m_defs;
    }
    const Definitions& Defs() const { return m_defs; }

    // Internal state of the HC_* facade (defined in Graph.cpp / the Hc*.cpp files).
    struct State;
    State& Internal() { return *m_state; }

private:
    std::unique_ptr<Segment> m_root;
    uint64_t m_generation = 1;
    uint64_t m_contentChanges = 1;
    uint64_t m_definitionChanges = 1;
    // The last kTouchesKept changes (a ring: m_touchCount of them end before m_touchNext),
    // and the generation before which the record is incomplete.
    std::array<TouchRecord, kTouchesKept> m_touches{};
    size_t m_touchNext = 0;
    size_t m_touchCount = 0;
    uint64_t m_touchesFrom = 0;
    void Record(const Entity& e, bool cameraOnly);
    void Stamp(Entity& e);
    std::vector<DisplayDriver*> m_drivers;
    Definitions m_defs;
    std::unique_ptr<State> m_state;
};

// Reports a problem through the HC error handler (honours "no errors" etc.).
void ReportError(const char* function, int category, std::string_view message,
                 int severity = HC_SEV_ERROR, int specific = 0);

}  // namespace ketra::hc
