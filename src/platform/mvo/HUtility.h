// Utility functions of the view layer: segment lookups, include paths, rotations between
// vectors, smooth camera transitions, clock, geometry helpers. All are static and work on the
// scene graph through hc.h; none throws. Functions taking a view accept null and then do
// nothing (or return the documented empty value).
#pragma once

#include "platform/mvo/HCamera.h"
#include "platform/mvo/HPoint.h"

#include <string>

typedef long HC_KEY;

class HBaseView;

class HUtility {
public:
    // Pi rounded to single precision (3.14159274). Geometry that must match float results
    // bit for bit uses this value, not a double pi.
    static constexpr float PI = 3.14159265358979f;
    // The layer's geometric tolerance in model units (single precision): coordinates closer
    // than this are treated as equal; builders also use small multiples of it as "thin".
    static constexpr float EH_Epsilon = 0.01f;

    // True when the segment named by path exists (absolute, or relative to the open segment).
    static bool SegmentExists(const char* path);
    // The segment that holds key: key itself for a segment, its owner for geometry; -1 for an
    // invalid key.
    static HC_KEY GrabSegment(HC_KEY key);
    // Builds the full include path of an item picked through includes. includeList holds
    // includeCount include keys in the order HC_Show_Selection_Keys lists them (innermost
    // first). The path written to fullPath (capacity *fullPathCount on entry, count on exit)
    // is the item followed by the include keys up to and including the first include whose
    // included segment is matchKey or lies below it. Returns false when no include reaches
    // matchKey (fullPath is then left with count 0).
    static bool BuildIncludePath(HC_KEY objectKey, const HC_KEY* includeList, int includeCount,
                                 HC_KEY* fullPath, int* fullPathCount, HC_KEY matchKey);
    // Row-major 4x4 matrix (row-vector convention) of the rotation that turns the direction
    // of `from` into the direction of `to`, about their common normal. Parallel vectors give
    // the identity; opposite vectors a half turn about an axis normal to them. Zero-length
    // input gives the identity.
    static void ComputeVectorToVectorRotationMatrix(float matrix[16], const HPoint& from,
                                                    const HPoint& to);
    // Animates the view's scene camera from oldCamera to newCamera (steps frames with an
    // Update each), ending exactly on newCamera. A view without a display jumps at once.
    static void SmoothTransition(const HCamera& oldCamera, const HCamera& newCamera,
                                 HBaseView* view, int steps = 10);
    // Seconds on a monotonic clock (float; differences are what count).
    static float GetTime();
    // Orders two rectangle corners so that a is the lower-left and b the upper-right
    // (x and y; z is kept with its point's x).
    static void Order(HPoint* a, HPoint* b);
    // Inserts a circle of radius about center into the open segment, as a closed polyline of
    // 64 segments. axis 0: in the XY plane, 1: XZ, 2: YZ. With filled true a circle item
    // (HC_Insert_Circle, face and edge) is inserted instead. Returns the key.
    static HC_KEY CreateAxisCircle(const HPoint& center, float radius, int axis, bool filled);
    // Moves position onto the plane through pointInPlane that faces the view's camera
    // (along the line of sight). Without a view, position is unchanged.
    static void AdjustPositionToPlane(HBaseView* view, HPoint& position, const HPoint& pointInPlane);
    // Picks at window position (x, y) in the view; returns the key found (or -1) and, when
    // given, the world position of the hit. Nothing is added to the selection set.
    static HC_KEY SelectUnderCursor(HBaseView* view, float x, float y, HPoint* worldHit = nullptr);
    // The path of `segment` relative to `base` when it lies below it ("a/b"), else its
    // absolute path.
    static std::string Find_Relative_Path(HC_KEY base, HC_KEY segment);
    // As above, cut to capacity-1 characters.
    static void Find_Relative_Path(HC_KEY base, HC_KEY segment, char* path, int capacity);
};

class HUtilityGeometryCreation {
public:
    // Fills points[0..count-1] with points on the circle of radius about center, in the
    // plane normal to axis (0 x, 1 y, 2 z). Start and winding: point i lies at angle
    // a_i = 2*pi*i/count measured in the plane's (u, v) frame, u = the next axis, v = the one
    // after (axis x: u=y, v=z; axis y: u=z, v=x; axis z: u=x, v=y), i.e. point 0 is
    // center + radius*u and the winding is counter-clockwise seen from +axis. reverse true
    // walks the angles clockwise (a_i = -2*pi*i/count), point 0 unchanged. count <= 0 or a
    // null array does nothing. Angles use HUtility::PI.
    static void GeneratePointsOnCircle(HPoint* points, const HPoint& center, float radius,
                                       int axis, int count, bool reverse);
    // Adds one cutting plane x = cx through the centre of the model's bounding box (cutting
    // away x > cx) in the view's cutting-planes segment, in a subsegment `name` (default
    // "cutting plane N", the first free N), and a yellow quad that shows it in a subsegment
    // of the same name of the cutting-plane geometry segment. Returns the plane's segment,
    // -1 without a view.
    static HC_KEY CreateCuttingPlane(HBaseView* view, const char* name = nullptr);
    // Creates the subsegment "threesection" of the cutting-planes segment with three
    // cutting planes through the model's centre: x = cx, y = cy and z = cz, each cutting
    // away its positive side.
    // Returns its key, -1 without a view.
    static HC_KEY CreateThreeSidedSection(HBaseView* view);
};
