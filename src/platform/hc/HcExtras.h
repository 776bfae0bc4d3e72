// HcExtras.h — calls and C++ helpers of the camera, coordinate, picking and scene-file part of
// the scene graph that hc.h does not declare. The renderer and the view layer use the C++
// helpers to see a segment exactly as picking and HC_Compute_Coordinates see it.
//
// Coordinate conventions are those of CameraMath.h. Picking contract (HC_Compute_Selection*):
// - x, y are outer-window coordinates of the display (-1..1, y up). A point pick looks at a
//   square aperture of twice the display's "selection proximity" (driver option, centimetres,
//   default 0.1 cm) on a side; an area pick at the rectangle (corners in either order).
// - An item type is pickable where it is selectable and visible, or selectable "on!"; per-item
//   and per-face visibility count. Faces are hit when the pick point lies inside them (holes
//   excluded) or the rectangle meets their outline; with faces not pickable, visible edges
//   are tested. Lines, polylines, polygons' outlines, circles, ellipses and arcs when the
//   rectangle meets them; polycylinders and cylinders when it meets their axis widened by
//   the projected radius; markers and text when it holds their anchor point.
// - An area pick selects every item with a part inside the rectangle.
// - With the rendering option "lod" on, a shell is tested at the level the renderer draws
//   (level 1 below 48 pixels across, level 2 below 8).
// - Nothing outside the window or a subwindow, and nothing behind the eye of a perspective
//   camera, is hit.
// - Results come nearest the eye first (window depth, then distance from the pick point);
//   heuristic "no selection sorting" keeps discovery order; "related selection limit = N"
//   keeps the first item and N more (unlimited by default).
// - HC_Show_Selection_Element offsets: shells: the nearest point of the face hit, the other
//   end of the nearest edge, the face index; lines, polylines and polycylinders: the two
//   points of the segment hit, nearer first, -1; markers and text: 0, -1, -1.
// - HC_Show_Selection_Keys: the item, its segment, each owner up to the display, with the
//   include key between an included segment and the segment including it.
#pragma once

#include "platform/hc/CameraMath.h"
#include "platform/hc/SceneGraph.h"
#include "platform/hc/hc.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

extern "C" {
// Driver options of the open segment ("" when none), as HC_Set_Driver_Options accepts them.
void HC_Show_Driver_Options(char* list);
// Removes the open segment's driver options (its window falls back to 800 x 600 at 96 dpi).
void HC_UnSet_Driver_Options(void);
// Removes the open segment's own camera (it inherits again).
void HC_UnSet_Camera(void);
}

namespace ketra::hc {

// Window of a display (a segment two levels below "/driver"): 800 x 600 pixels at 96 dpi
// until "window size = (W pixels, H pixels)" is set on it. Segments in no display get the
// default window. Driver option "selection proximity = <cm>" sets the pick aperture.
struct DisplayWindow {
    const Segment* display = nullptr; // null when the segment is in no display
    int widthPixels = 800, heightPixels = 600;
    double dpi = 96.0;
    double selectionProximityCm = 0.1; // half the side of the square pick aperture
};
// The display that `segment` lies in (itself or an ancestor), or the default window.
DisplayWindow FindDisplayWindow(const Segment& segment);
// The display window of a display segment itself (whatever its depth).
DisplayWindow DisplayWindowOf(const Segment& display);
// True for segments two levels below "/driver".
bool IsDisplaySegment(const Segment& segment);

// Width in pixels of `text` in the font family `font` at an em of `pixelHeight` pixels, for
// picking text over its extent. The renderer's fonts are outside this layer: a measurer may
// be installed (the annotation layer installs the renderer's); without one, or when it
// fails, each code unit counts 0.6 em. Null restores the estimate.
// Text with line breaks: baselines are this many ems apart (the renderer lays text out so, and
// picking and note frames size multi-line text by it).
inline constexpr double kTextLineSpacing = 1.2;
// Lines in a text: one more than its '\n' characters.
int TextLineCount(const std::u16string& text);
using TextExtentMeasurer = bool (*)(const std::u16string& text, const std::string& font,
                                    double pixelHeight, double& width);
void SetTextExtentMeasurer(TextExtentMeasurer measurer);
double MeasureTextWidth(const std::u16string& text, const std::string& font, double pixelHeight);

// Which subsegments a scene-file writer writes (with their subtrees); empty: all of them.
using SegmentFilter = std::function<bool(const Segment&)>;

// The scene-file text of a subtree, as HC_Write_Metafile writes it (docs/hmf-format.md), with
// only the subsegments `keep` accepts (at every depth) when it is given.
std::string MetafileText(const Segment& root, const SegmentFilter& keep = {});

// What a scene file of `segment` holds so that it shows the same in a process that has nothing
// else: the segment itself when every segment it includes (and they include) lies inside it;
// else the nearest segment above that holds it and them, with `keep` set so that only they
// and the segments on the way to them are written. Styles stay references by path (a
// program's style library is its own).
const Segment& SelfContainedRoot(const Segment& segment, SegmentFilter& keep);

// How HC_Write_Metafile puts its text into a file: replace `path` whole or not at all, false
// with a message in `error`. The default writes a temporary beside the file (created
// exclusively), then renames it over the file; the component's file layer installs its
// durable writer (synced, locked, permissions kept) in its place. Null restores the default.
using MetafileFileWriter = bool (*)(const std::string& path, const std::string& data, std::string& error);
void SetMetafileFileWriter(MetafileFileWriter writer);
// Reads scene-file text into the segment `into` (created when missing, only on success).
// On failure nothing is created or changed and `error` names the line and the problem.
bool ReadMetafileText(std::string_view text, std::string_view name, std::string_view into,
                      std::string& error);

// The camera a slot stands for: its own values when set, else the default camera of
// CameraMath (looking down -Z from +Z at the origin, right-handed).
CameraMath::Camera ToMathCamera(const Camera& slot);
void FromMathCamera(const CameraMath::Camera& camera, Camera& slot);
// The camera in effect for resolved attributes (the default camera when none is set).
CameraMath::Camera EffectiveCamera(const NetAttributes& net);

// The rendering option "mask transform" of one segment (set on it or through its styles; an
// owner's option does not count), as the renderer draws it (docs/rendering.md): the parts of
// the camera and modelling matrix its subtree drops. Values the renderer does not draw give
// false (the subtree is treated as unmasked).
struct MaskParts {
    bool cameraRotate = false, cameraScale = false, cameraPerspective = false;
    bool modelRotate = false, modelScale = false;
};
bool ParseMaskParts(const std::string& value, MaskParts& out);
const std::string* OwnMaskTransform(const Segment& segment, int depth = 0);
bool SegmentMask(const Segment& segment, MaskParts& out);
// The net modelling matrix of a masked segment: its anchor (the origin of `model`) kept, the
// masked parts of the camera undone for a window of the given size, and with the modelling
// matrix's rotation and scale masked only the translation kept.
CameraMath::Matrix4 MaskedModelling(const CameraMath::Matrix4& model, const MaskParts& mask,
                                    const CameraMath::Camera& camera, double widthPixels,
                                    double heightPixels);

// Everything that maps a segment's coordinates onto its window, for a chain of segments
// from the root (Graph::PathChain). Matrices follow CameraMath's conventions.
struct SegmentView {
    NetAttributes net;         // net attributes at the end of the chain
    CameraMath::Camera camera; // camera in effect
    DisplayWindow window;      // the display the chain runs through
    double localWidthPixels = 800, localHeightPixels = 600; // the local (sub)window
    CameraMath::Matrix4 objectToWorld;
    CameraMath::Matrix4 worldToViewpoint;
    CameraMath::Matrix4 viewpointToLocalWindow;
    CameraMath::Matrix4 localToOuterWindow; // affine in x and y; z passes
    CameraMath::Matrix4 localWindowToPixels;
    CameraMath::Matrix4 outerWindowToPixels;
};
// Builds the view of the last segment of `chain` (root first); false when the chain is empty.
bool BuildSegmentView(const std::vector<const Segment*>& chain, SegmentView& out);
// As above for the net attributes and chain of an include path (HC_*_By_Path conventions).
bool BuildSegmentViewForPath(int count, const Key* keys, SegmentView& out, std::string* error);

} // namespace ketra::hc

// ---------------------------------------------------------------------------
// Bounds and the per-segment spatial index (rebuilt lazily when the subtree changes)
// ---------------------------------------------------------------------------
#include "platform/hc/Bvh.h"

namespace ketra::hc {

// Box of an item in its segment's object coordinates (a shell's with its levels of detail).
// Items without extent (lights, cutting planes) give an empty box.
Aabb ItemBounds(const Geometry& item);
// Box of `box` mapped by `matrix` (corners transformed, with the homogeneous divide).
Aabb TransformBox(const Aabb& box, const CameraMath::Matrix4& matrix);
// A segment's own modelling matrix (identity when none).
CameraMath::Matrix4 LocalMatrix(const Segment& segment);

// One thing a segment shows: one of its items, one subsegment, or one include.
struct IndexEntry {
    enum class Kind : uint8_t { Item, Child, Include };
    Kind kind = Kind::Item;
    // Drawn away from its box: a subtree (through includes) with a mask transform, or a text
    // (its box is its anchor). Picking visits such entries without the box test.
    bool masked = false;
    const Geometry* item = nullptr;     // Kind::Item
    const Segment* segment = nullptr;   // Kind::Child: the child; Kind::Include: the target
    const Reference* include = nullptr; // Kind::Include
    uint64_t stamp = 0;                 // the change its box was computed for
    // The same thing shown (whatever its box and stamp).
    bool SameThing(const IndexEntry& other) const {
        return kind == other.kind && item == other.item && segment == other.segment &&
               include == other.include;
    }
};
// Spatial index of one segment: its entries and a hierarchy over their boxes (the entry
// boxes are the hierarchy's), all in the segment's object coordinates (children and included
// segments with their own modelling matrices applied). Valid until the next change of the
// graph.
struct SegmentIndex {
    Aabb bounds; // everything below the segment (empty when nothing has extent)
    std::vector<IndexEntry> entries;
    Bvh bvh;                           // over entries, by index
    uint64_t stamp = 0;                // newest change inside the subtree when built
    uint64_t checkedGeneration = 0;
    bool masked = false;               // some entry is masked
};
// The index of `segment`, brought up to date (cheap when nothing changed since the last
// call). Only this segment's index is built; those below are built when asked for. Includes
// of `above` (the segments over it on the way down) or of itself are left out: cycles.
const SegmentIndex& IndexOf(const Segment& segment, std::vector<const Segment*> above = {});
// The bounds of everything below `segment` (its index's bounds), without building the index
// where it is not up to date.
Aabb BoundsOf(const Segment& segment);

// Face i of a shell: the range of its face list holding its outline and the holes after it.
struct FaceRange {
    uint32_t begin = 0, end = 0;
};
// The faces of a shell in face order (entries that index past the points are skipped).
void ShellFaces(const ShellData& shell, std::vector<FaceRange>& out);

// Index over the faces (shells) or the segments (polylines, polycylinders) of one item:
// primitive i is face i (ranges in `faces`) or the segment from point i to point i + 1
// (for polygons the last one closes back to point 0).
struct ItemIndex {
    Bvh bvh;
    std::vector<FaceRange> faces;
    uint64_t changeCount = 0;
};
// The index of a large item; null for items small enough to test directly (fewer than
// kItemIndexThreshold primitives). Valid until the next change of the graph.
constexpr size_t kItemIndexThreshold = 64;
const ItemIndex* ItemIndexOf(const Geometry& item);

} // namespace ketra::hc

// ---------------------------------------------------------------------------
// Pick tests in outer-window space (x, y from -1 to 1 across the display, z the window depth)
// ---------------------------------------------------------------------------
namespace ketra::hc::pick {

// The region a pick looks at: a rectangle in outer-window coordinates and the point that
// "nearest" is measured from (the pick point, or the rectangle's centre for areas).
struct Region {
    double cx = 0, cy = 0;
    double x0 = -1, x1 = 1, y0 = -1, y1 = 1;
    bool area = false;
    bool perspective = false; // clip at w >= nearW before dividing
    double nearW = 0;

    // A point pick at (x, y) with an aperture of half-sizes hx, hy.
    static Region Point(double x, double y, double hx, double hy);
    static Region Area(double left, double right, double bottom, double top);
    // Intersects the rectangle with another (a window); an area's centre follows.
    void ClipTo(double left, double right, double bottom, double top);
    bool Empty() const { return !(x0 <= x1 && y0 <= y1); }
    bool Contains(double x, double y) const { return x >= x0 && x <= x1 && y >= y0 && y <= y1; }
};

// Conservative test: may `box` (object coordinates) mapped by `objectToOuter` meet the region?
bool BoxMayOverlap(const Aabb& box, const CameraMath::Matrix4& objectToOuter, const Region& region);

// The best hit on one item so far: nearest the eye, then nearest the pick point.
struct PrimitiveHit {
    bool hit = false;
    int offset1 = -1, offset2 = -1, offset3 = -1;
    CameraMath::Vec3 position; // outer window
    double distance = 0;       // from the region's centre, window units
    // Keeps `other` when it is better.
    void Consider(const PrimitiveHit& other);
};

// A point after the object-to-window mapping, before the homogeneous divide.
struct Hom {
    double x, y, z, w;
};

// Working memory of the tests, kept across items so that a pick allocates little.
struct Scratch {
    std::vector<Hom> hom;                             // the current loop, mapped
    std::vector<int> ids;                             // its point indices
    std::vector<std::vector<CameraMath::Vec3>> loops; // clipped loops of the current face
    std::vector<std::vector<int>> loopIndices;
    std::vector<FaceRange> faces;
};

// Tests the primitives of one item under one object-to-outer-window mapping.
class ItemTester {
public:
    ItemTester(const CameraMath::Matrix4& objectToOuter, const Region& region, Scratch& scratch)
        : m_matrix(objectToOuter), m_region(region), m_scratch(scratch) {}

    // Faces (types & kFaces; per-face visibility honoured) and, when faces are not
    // pickable, edges (types & kEdges). Offsets: nearest vertex, the other end of the nearest
    // edge, face index. `index` may be null (all faces are tested).
    void Shell(const ShellData& shell, const ItemIndex* index, uint32_t types, PrimitiveHit& best);
    // Segments between consecutive points (closed: back to the first); `filled` also tests
    // the inside; `radii` (1 or one per point) widen the segments by their projected radius.
    // Offsets: the segment's two points, nearest first; offset3 -1.
    void Polyline(const std::vector<Vec3>& points, bool closed, bool filled, const ItemIndex* index,
                  const std::vector<float>* radii, PrimitiveHit& best);
    // A point (marker, text anchor). Offsets 0, -1, -1.
    void Point(const Vec3& point, PrimitiveHit& best);
    // A screen rectangle about a point (a text's extent): left..right, bottom..top in
    // outer-window units relative to the projected point. Offsets 0, -1, -1.
    void Rectangle(const Vec3& point, double left, double right, double bottom, double top,
                   PrimitiveHit& best);

private:
    Hom Project(const Vec3& p) const;
    void TestSegment(const Hom& a, const Hom& b, double tolerance, int ia, int ib, int face,
                     PrimitiveHit& best) const;
    double ProjectedRadius(const Vec3& p, float r) const;

    const CameraMath::Matrix4& m_matrix;
    const Region& m_region;
    Scratch& m_scratch;
};

// Points along a circle, ellipse or elliptical arc (object coordinates) for picking.
std::vector<Vec3> CurvePoints(const Geometry& item);

} // namespace ketra::hc::pick

// ---------------------------------------------------------------------------
// Scene-file text (docs/hmf-format.md): tokens, lines and checks shared by the reader
// ---------------------------------------------------------------------------
namespace ketra::hc::hmf {

struct Token {
    enum class Kind : uint8_t { Word, String, Open, Close, Ref };
    Kind kind = Kind::Word;
    std::string_view text; // as written (words, refs); points into the data
    std::string value;     // unescaped (strings)
    long ref = 0;          // #N
};

// Splits text into lines of tokens; blank lines and lines starting with ';' are skipped.
// The data must outlive the lexer.
class Lexer {
public:
    explicit Lexer(std::string_view data) : m_data(data) {}

    // The next line with tokens; false at the end of the data or on a lexical error (then
    // Error() is set).
    bool Next();
    const std::vector<Token>& Tokens() const { return m_tokens; }
    int LineNumber() const { return m_line; }
    const std::string& Error() const { return m_error; }
    bool LastLineTerminated() const { return m_lastLineTerminated; }
    // Bytes not read yet: an upper bound for counts given in the file.
    size_t RemainingBytes() const { return m_data.size() - m_pos; }

private:
    bool Split(std::string_view line);

    std::string_view m_data;
    size_t m_pos = 0;
    int m_line = 0;
    bool m_lastLineTerminated = true;
    std::vector<Token> m_tokens;
    std::string m_error;
};

// UTF-16 to UTF-8; unpaired surrogates are kept as three-byte sequences so that the text
// comes back unit for unit through FromUtf8.
std::string ToUtf8(const std::u16string& text);
// The low byte of each unit: the bytes of text stored as ISO Latin-1.
std::string ToLatin1(const std::u16string& text);
// UTF-8 (lone surrogates allowed, as the writer keeps them) to UTF-16; false when malformed
// or when it holds a zero.
bool FromUtf8(const std::string& in, std::u16string& out);
// A name the file may give a segment: no '/', '?', '*', not "." or "..", no leading '@', no
// blanks at either end.
bool ValidSegmentName(const std::string& name);
// An absolute path without aliases, wildcards, empty, "." or ".." components, or components
// with blanks at either end.
bool ValidAbsolutePath(const std::string& path);

} // namespace ketra::hc::hmf
