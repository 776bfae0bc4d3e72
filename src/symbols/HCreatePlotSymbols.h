// HCreatePlotSymbols: the builder of the support and component symbols drawn at the nodes of
// a piping model: restraints, rod restraints, hangers, anchors, rigid elements, nozzles,
// flanges, expansion joints and tees.
//
// Conventions of every operation:
// * (x1, y1, z1) is the node the symbol stands at, (x2, y2, z2) the other end of the element
//   it sits on, D the pipe's outer diameter. Sizes follow the view's symbol scale factor s,
//   read once per call (1 without a view; a factor that is not finite counts as 1).
// * Geometry goes into the segment the caller has open; the returned key is the main item
//   made (a polycylinder or shell), -1 when nothing was made: no segment open, an argument
//   that is not finite, or input outside what the operation documents.
// * No colour is set except CreateCone's two-colour faces. Scratch segments under
//   "/include library/construction segment", "/include library/construction geometry" and
//   "/user library/construction segment" are left empty or removed after every call. Cached
//   shapes live in named segments under "/user library/include segment/..." for the life of
//   the scene; the restraint and rigid caches are also listed in the view's shell cache.
#pragma once

#include "geometry/CVector3D.h"
#include "platform/mvo/HBaseOperator.h"
#include "platform/mvo/HPoint.h"

#include <utility>

class HBaseViewEx;

class HCreatePlotSymbols : public HBaseOperator {
public:
    // The axis of a support symbol; any other value means no direction.
    enum SymbolDirection {
        NoDirection = 0,
        XAxis = 1,
        YAxis = 2,
        ZAxis = 3,
        MinusXAxis = 4,
        MinusYAxis = 5,
        MinusZAxis = 6,
    };
    // The host's restraint type codes (any int). They only decide which components of a given
    // direction SetRestraintRotation / SetRodRestraintRotation negate.
    enum RestraintTypes : int { NoRestraintType = 0 };

    // view may be null: s is then 1 and nothing is cached in a view.
    HCreatePlotSymbols(HBaseViewEx* view, int doRepeat = 0, int capture = 1);
    HCreatePlotSymbols(const HCreatePlotSymbols&) = default;
    HCreatePlotSymbols& operator=(const HCreatePlotSymbols&) = default;
    ~HCreatePlotSymbols() override = default;

    const char* GetName() override { return "Create Symbols"; }
    // Copies "Create Symbols" into buffer (15 bytes); null is ignored.
    void GetName(char* buffer);
    int OnLButtonDown(HEventInfo&) override { return 0; }
    int OnMouseMove(HEventInfo&) override { return 0; }
    int OnLButtonUp(HEventInfo&) override { return 3; }

    // --- restraint direction (kept until the next setter call) ---
    // (x, y, z) with components negated by the host's restraint type.
    void SetRestraintRotation(RestraintTypes type, float x, float y, float z);
    // Direction cosines as text, e.g. "(0, 1, 0)"; empty, blank or unreadable text (a NaN or
    // infinite component) stores the default vector of `direction`.
    void SetRestraintRotation(SymbolDirection direction, const char* cosines);
    void SetRodRestraintRotation(RestraintTypes type, float x, float y, float z);
    void SetRodRestraintRotation(SymbolDirection direction, const char* cosines);
    const HPoint& GetRestraintDirection() const { return m_direction; }

    // --- restraints ---
    // A restraint of default length along the stored direction (direction and text unused).
    long InsertRestraint(float x1, float y1, float z1, float x2, float y2, float z2, float D,
                         bool stif, bool setOff, SymbolDirection direction, char* text);
    // A rod restraint of the given rod length along the stored direction.
    long InsertRodRestraint(float x1, float y1, float z1, float x2, float y2, float z2, float D,
                            bool stif, float rodLength, SymbolDirection direction);
    // The restraint polycylinder starting on the pipe surface (set off further when setOff),
    // with a spring when stif, and a coarse line symbol as level 2 of an empty shell. A
    // diameter that is 0 or negative starts the symbol at the node. Returns the polycylinder.
    long CreateRestraintPC(float x1, float y1, float z1, float x2, float y2, float z2, float D,
                           int stif, int setOff, float rodLength);
    // A restraint arrow along an explicit direction (output plots).
    long InsertOutputRestraint(float x1, float y1, float z1, float x2, float y2, float z2,
                               HPoint direction, float D);
    // The cached restraint shape at the origin along +Z for (res, D, stif); the second value
    // is always false. Built once: later calls return the cached key and build nothing.
    std::pair<long, bool> CreateRestraint(float x1, float y1, float z1, float x2, float y2,
                                          float z2, float D, bool stif, bool unused,
                                          SymbolDirection direction, int res);
    // The cached rod restraint shape along +Z (coordinates and direction unused).
    long CreateRodRestraint(float x1, float y1, float z1, float x2, float y2, float z2, float D,
                            bool stif, float rodLength, SymbolDirection direction, int res);

    // --- primitives ---
    // 16-point spring (polycylinder of wireRadius, or a polyline when asPolyline != 0) along
    // the stored direction. start must not be null (-1 otherwise).
    long CreateHelixPC(HPoint* start, float length, float coilDiameter, float wireRadius,
                       int asPolyline);
    // A tube wound twice around +Z, as a shell in a new nameless subsegment of the open
    // segment. -1 for sides outside 1..360 or step 0.
    long CreateHelix(float height, float coilRadius, int sides, int step);
    // Fills points (n + 1) and faces (5n + 1 ints) of a cone; nothing for n < 1 or nulls.
    void GeneratePointsOnCone(HPoint centre, float radius, float height, int n, HPoint* points,
                              int* faces);
    // Cone shell; twoColour != 0 colours its faces yellow and red in turn. -1 for n < 1.
    long CreateCone(HPoint centre, float radius, float height, int n, int twoColour);
    // A cone of radius 1.25·D standing on the element start and reaching its end.
    long InsertCone(float x1, float y1, float z1, float x2, float y2, float z2, float D, int n);

    // --- shell merging (keys[count - 1] is a segment; the others shells) ---
    // Joins keys[0 .. count-2] in order; with count 2 the points are carried through the
    // segment's object-to-world transform. Deletes keys[1 .. count-1] (and keys[0] when
    // deleteFirst), setting them to -1, and inserts the result into the open segment.
    // -1 (nothing changed) for a null array, count below 2 or keys[0] not a shell.
    long MergeShells(int count, long* keys, bool deleteFirst);
    // keys[0] a shell, keys[1] a segment: the shell transformed by the segment's object-to-
    // world transform; deletes as MergeShells does.
    long TransformShell(long* keys, bool deleteFirst);
    // TransformShell for count below 3, otherwise MergeShells without a transform.
    long MergeShellsEx(int count, long* keys, bool deleteFirst);

    // --- hangers ---
    // type 1: spring hanger above the pipe, any other type: can hanger below it; three levels
    // of detail (8, 4 and 2). Returns the full-detail shell.
    long InsertSpringHanger(float x, float y, float z, float D, int type,
                            SymbolDirection direction);
    long CreateSpringHanger(float x, float y, float z, float D, int res,
                            SymbolDirection direction);
    long CreateCanHanger(float x, float y, float z, float D, int res, SymbolDirection direction);
    // points must hold n + 1 points; fills them (circle, then the centre) and inserts a disc
    // (filled) or a ring of edges. -1 for n < 1 or a null array.
    long InsertCircle(HPoint* points, HPoint& centre, float radius, int m, int n, bool filled);

    // --- anchors, rigids, nozzles, flanges ---
    long InsertAnchor(float x1, float y1, float z1, float x2, float y2, float z2, float D);
    long CreateAnchor(float D);
    // -1 for an element not longer than HUtility::EH_Epsilon.
    long InsertRigid(float x1, float y1, float z1, float x2, float y2, float z2, float D,
                     int lineOnly);
    long InsertRigidPC(float x1, float y1, float z1, float x2, float y2, float z2, float D,
                       int lineOnly);
    long InsertNozzle(float x1, float y1, float z1, float x2, float y2, float z2, float D);
    long CreateNozzle(float x1, float y1, float z1, float x2, float y2, float z2, float D,
                      int res);
    long InsertFlangePC(float x1, float y1, float z1, float x2, float y2, float z2, float D);
    // Cached rigid shapes placed on the element (two cones; a short rigid with bands).
    long CreateRigid(float x1, float y1, float z1, float x2, float y2, float z2, float D,
                     int res);
    long CreateShortRigid(float x1, float y1, float z1, float x2, float y2, float z2, float D,
                          int res);

    // --- expansion joints and tees ---
    long InsertExpansionJoint(float x1, float y1, float z1, float x2, float y2, float z2,
                              float D);
    // A bellows of n convolutions as one polycylinder without caps; n < 1 draws a plain
    // cylinder of the root radius. More than kMaxConvolutions convolutions are refused (-1).
    long InsertPVExpJoint(int convolutions, float x1, float y1, float z1, float x2, float y2,
                          float z2, float rootRadius, float crestRadius, float knuckleRadius,
                          float firstOffset, float rootPitch, float crestWidth);
    // Three branch cylinders shortened to d[i] + e_i next to the tee's centre, joined into one
    // shell with a coarse line tee as level 2; the branches are written back shortened.
    // Returns the tee shell's key (-1 when nothing was drawn).
    long CreateTee(CVector3D* branches, float* diameters, int* centreEnds);
    // The coarse line tee (res 2 only; -1 for any other res).
    long InsertTee(CVector3D& b0, CVector3D& b1, CVector3D& b2, float, float, float, int res);
    // A bellows shell along +Z from the origin: `convolutions` crests of radius
    // crestRatio·D/2 (1.75 when crestRatio <= 0) between roots of radius D/2 over `length`,
    // 16 facets per ring. -1 for convolutions < 1 or above kMaxConvolutions.
    long CreateAccordion(float D, float length, float crestRatio, int convolutions);

    static constexpr int kMaxConvolutions = 10000;

private:
    // Every shell of this class goes into the open segment through these.
    long InsertShell(int pointCount, const void* points, int faceListLength, const int* faces);
    long InsertShellByRef(int pointCount, const void* points, int faceListLength,
                          const int* faces);
    float Scale() const;
    long HangerShape(bool spring, float x, float y, float z, float D, int res,
                     SymbolDirection direction);
    long BuildSpringHangerParts(int res, float a, float b, bool alongZ);
    long BuildCanHangerParts(int res, float a, float b, bool alongZ);

    HBaseViewEx* m_viewEx = nullptr;
    HPoint m_direction;
};
