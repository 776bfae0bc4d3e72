// GraphInternal.h — state and helpers shared by the HC_* facade files of this
// folder. Not for use outside src/platform/hc.
#pragma once

#include "platform/hc/SceneGraph.h"

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace ketra::hc {

struct Graph::State {
    // Original keys: key = -(index + 2). A null slot is a deleted entity.
    std::vector<Entity*> keyTable;
    std::unordered_map<Key, Entity*> globalUserKeys;

    struct Frame {
        enum class Kind : uint8_t { Segment, Geometry, Face, Edge, Vertex, Lod };
        Kind kind;
        Key key;  // segment or geometry (original key)
        int a = 0, b = 0;  // face/vertex index, edge ends, LOD level
    };
    std::vector<Frame> open;

    struct Search {
        std::vector<std::pair<std::string, Key>> results;
        size_t next = 0;
    };
    std::vector<Search> searches;
    // One active name search per definition kind.
    struct NameSearch {
        bool active = false;
        std::vector<std::string> names;
        size_t next = 0;
    };
    NameSearch callbackSearch, glyphSearch, lineStyleSearch, textureSearch;

    HC_ERROR_HANDLER handler = nullptr;
    bool errors = true, warnings = true, info = true;
    OptionMap systemOptions;
    std::vector<std::pair<std::string, std::string>> aliases;  // lower-cased name
    std::unordered_map<std::string, Key> namedImages;          // lower-cased name
};

namespace detail {

Graph::State& St();
// Registers a new entity: assigns its original key.
Key Register(Entity& e);
// Resolves a key to an entity of any kind; reports an error naming `fn` when
// the key is unknown or stale.
Entity* FindKey(const char* fn, Key key);
Segment* FindSegmentKey(const char* fn, Key key);
Geometry* FindGeometryKey(const char* fn, Key key);

// The open segment, reporting "no segment is open" for fn when none.
Segment* RequireOpenSegment(const char* fn);
// The innermost frame, or null.
Graph::State::Frame* TopFrame();

// Creates a named (or, for "", nameless) child.
Segment* CreateChild(Segment& parent, std::string_view name);
// Deletes entities, keeping every index consistent.
void DeleteSegment(Segment& segment);
void DeleteGeometry(Geometry& geometry);
void DeleteReference(Reference& reference);
// True when the segment or one of its descendants is on the open stack.
bool IsOpen(const Segment& segment);
// True when `inner` lies in the subtree of `outer` (or is it).
bool IsInSubtree(const Segment& inner, const Segment& outer);
// Moves geometry to a new owner segment.
void MoveGeometry(Geometry& geometry, Segment& newOwner);
void MoveSegment(Segment& segment, Segment& newOwner, std::string_view newName);

// Adds a geometry item to the current insertion target (open segment or open
// LOD). Returns null (error reported) when nothing can take it.
Geometry* InsertGeometry(const char* fn, GeometryKind type);

// Attribute target of setters and showers: the open face/edge/vertex, the open
// geometry item or the open segment.
struct AttributeTarget {
    Segment* segment = nullptr;   // set when the target is a segment
    Geometry* geometry = nullptr;  // set for geometry and its elements
    enum class Element : uint8_t { None, Face, Edge, Vertex } element = Element::None;
    int a = 0, b = 0;

    // The attribute set of a segment or geometry target; created when asked.
    AttributeSet* Set(bool create) const;
    // The user options of a segment or geometry target; created when asked.
    OptionMap* UserOptions(bool create) const;
    // Face/edge/vertex attributes; created when asked.
    ElementAttributes* ElementAttrs(bool create) const;
    // Drops an element entry that became empty.
    void Prune() const;
    Entity* Owner() const;
};
enum TargetKinds : unsigned { kTargetSegment = 1, kTargetGeometry = 2, kTargetElement = 4,
                              kTargetAny = 7 };
// The current target if its kind is allowed; reports an error naming fn and
// returns false otherwise.
bool RequireTarget(const char* fn, unsigned allowed, AttributeTarget& out);

// Reports a parse failure "bad <what> '<text>': <detail>".
void ReportBadOption(const char* fn, std::string_view what, std::string_view text,
                     const std::string& detail);

// Path specs with "..." and "*": every segment matched, pre-order.
bool ExpandSegmentSpec(const char* fn, std::string_view spec, std::vector<Segment*>& out);

bool TextureExists(std::string_view name);

// Kinds named by flush, search and existence filters.
struct ContentFilter {
    bool segments = false, includes = false, styles = false;
    uint32_t geometry = 0;    // bit (1 << GeometryKind)
    uint32_t attributes = 0;  // bit per AttributeKind
    bool Empty() const { return !segments && !includes && !styles && !geometry && !attributes; }
};
enum class AttributeKind : uint8_t {
    Color, ColorMap, Visibility, Selectability, LinePattern, EdgePattern, FacePattern,
    MarkerSymbol, TextAlignment, LineWeight, EdgeWeight, MarkerSize, TextFont,
    RenderingOptions, Heuristics, Callback, UserOptions, UserIndex, Handedness,
    ModellingMatrix, Camera, Window, DriverOptions, Count
};
inline constexpr uint32_t kAllGeometry = (1u << 14) - 1;
inline constexpr uint32_t kAllAttributes = (1u << static_cast<int>(AttributeKind::Count)) - 1;
// Parses "everything", "geometry, segments", "shells", "user options",
// "everything, no segments"... False (error reported) on unknown names.
bool ParseContentFilter(const char* fn, std::string_view text, ContentFilter& out);
// Attribute names as shown by searches ("color", "user options", ...).
const char* AttributeKindName(AttributeKind kind);
// Whether a segment or item with this set (null: none) and these user options (null: none)
// has an attribute of the kind.
bool HasAttribute(const AttributeSet* set, const OptionMap* userOptions, AttributeKind kind);
// Unsets the kind on a segment; drops its set when that leaves it empty.
void ClearAttribute(Segment& segment, AttributeKind kind);


// Runs `pass` with errors routed to `handler` (and reported whatever the error settings);
// afterwards the error handling is as it was and whatever the pass left open is closed.
template <class Pass>
bool RunWithErrorHandler(HC_ERROR_HANDLER handler, Pass&& pass) {
    Graph::State& st = St();
    const HC_ERROR_HANDLER savedHandler = st.handler;
    const bool savedErrors = st.errors;
    const size_t openDepth = st.open.size();
    st.handler = handler;
    st.errors = true;
    const bool ok = pass();
    st.handler = savedHandler;
    st.errors = savedErrors;
    if (st.open.size() > openDepth)
        st.open.resize(openDepth);
    return ok;
}

}  // namespace detail
}  // namespace ketra::hc
