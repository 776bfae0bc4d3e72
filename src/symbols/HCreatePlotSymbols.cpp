// Builder object, restraint directions, restraints, helices, cones and the shell merging of
// the symbol builder. Hangers are in HCreatePlotSymbolsHangers.cpp, the components sitting on
// the pipe in HCreatePlotSymbolsComponents.cpp.
#include "symbols/HCreatePlotSymbols.h"

#include "config/CAppSettings.h"
#include "geometry/ElementPlacement.h"
#include "geometry/HCreateCylinder.h"
#include "geometry/ShellMerge.h"
#include "platform/hc/hc.h"
#include "symbols/SymbolGeometry.h"
#include "symbols/SymbolScene.h"
#include "view/HBaseViewEx.h"

#include <cmath>
#include <cstdio>
#include <cstring>

using namespace ketra::symbols;

HCreatePlotSymbols::HCreatePlotSymbols(HBaseViewEx* view, int doRepeat, int capture)
    : HBaseOperator(view, doRepeat, capture), m_viewEx(view) {}

void HCreatePlotSymbols::GetName(char* buffer) {
    if (buffer != nullptr) {
        std::strcpy(buffer, "Create Symbols");
    }
}

float HCreatePlotSymbols::Scale() const {
    const float s = m_viewEx != nullptr ? m_viewEx->GetSymbolScaleFactor() : 1.0f;
    // A factor that is not a number would make every point of every symbol NaN.
    return std::isfinite(s) ? s : 1.0f;
}

long HCreatePlotSymbols::InsertShell(int pointCount, const void* points, int faceListLength,
                                     const int* faces) {
    return HC_Insert_Shell(pointCount, points, faceListLength, faces);
}

long HCreatePlotSymbols::InsertShellByRef(int pointCount, const void* points,
                                          int faceListLength, const int* faces) {
    return HC_Insert_Shell(pointCount, points, faceListLength, faces);
}

// ---------------------------------------------------------------------------------------------
// Directions
// ---------------------------------------------------------------------------------------------

void HCreatePlotSymbols::SetRestraintRotation(RestraintTypes type, float x, float y, float z) {
    m_direction = SignRestraintByType(type, HPoint(x, y, z));
}

void HCreatePlotSymbols::SetRestraintRotation(SymbolDirection direction, const char* cosines) {
    HPoint parsed;
    if (cosines == nullptr || !ParseCosines(cosines, parsed)) {
        m_direction = DefaultRestraintDirection(direction);
        return;
    }
    m_direction = SignRestraintCosines(direction, parsed);
}

void HCreatePlotSymbols::SetRodRestraintRotation(RestraintTypes type, float x, float y,
                                                 float z) {
    m_direction = SignRodByType(type, HPoint(x, y, z));
}

void HCreatePlotSymbols::SetRodRestraintRotation(SymbolDirection direction,
                                                 const char* cosines) {
    HPoint parsed;
    if (cosines == nullptr || !ParseCosines(cosines, parsed)) {
        m_direction = DefaultRodDirection(direction);
        return;
    }
    m_direction = SignRodCosines(direction, parsed);
}

// ---------------------------------------------------------------------------------------------
// Restraints
// ---------------------------------------------------------------------------------------------

long HCreatePlotSymbols::InsertRestraint(float x1, float y1, float z1, float x2, float y2,
                                         float z2, float D, bool stif, bool setOff,
                                         SymbolDirection, char*) {
    return CreateRestraintPC(x1, y1, z1, x2, y2, z2, D, stif ? 1 : 0, setOff ? 1 : 0, 0.0f);
}

long HCreatePlotSymbols::InsertRodRestraint(float x1, float y1, float z1, float x2, float y2,
                                            float z2, float D, bool stif, float rodLength,
                                            SymbolDirection) {
    return CreateRestraintPC(x1, y1, z1, x2, y2, z2, D, stif ? 1 : 0, 0, rodLength);
}

long HCreatePlotSymbols::CreateRestraintPC(float x1, float y1, float z1, float x2, float y2,
                                           float z2, float D, int stif, int setOff,
                                           float rodLength) {
    if (!AllFinite({x1, y1, z1, x2, y2, z2, D, rodLength}) || !SegmentIsOpen()) {
        return -1;
    }
    const float s = Scale();
    const HPoint node(x1, y1, z1);
    const HPoint dir = m_direction;
    // Without a diameter the restraint vector would be zero and every point would fall on
    // the node: measure along the direction itself and start at the node.
    const float diameter = D > 0.0f ? D : 0.0f;
    const float reach = diameter > 0.0f ? diameter : 1.0f;
    float offset =
        diameter > 0.0f ? SetOffDistance(node, HPoint(x2, y2, z2), diameter, dir) : 0.0f;
    if (setOff != 0) {
        offset = offset == 0.0f ? diameter * 0.25f : offset * 1.5f;
    }
    CVector3D along(x1, y1, z1, x1 + reach * dir.x, y1 + reach * dir.y, z1 + reach * dir.z);
    const float L = rodLength != 0.0f ? rodLength : s;
    const HPoint p0 = PointAlong(along, offset);
    const HPoint p1 = PointAlong(along, offset + L);
    const HPoint p3 = PointAlong(along, offset + L + s);

    long key = -1;
    if (rodLength != 0.0f) {
        const HPoint points[] = {p0, p1};
        const float radius = s * 0.125f;
        key = HC_Insert_PolyCylinder(2, points, 1, &radius, "both");
        if (stif != 0) {
            HPoint start = PointAlong(along, rodLength / 2.0f);
            CreateHelixPC(&start, s, s * 0.25f, s * 0.05f, 0);
        }
    } else if (stif != 0) {
        const HPoint points[] = {p0, p1};
        const float radii[] = {0.0f, s * 0.5f};
        key = HC_Insert_PolyCylinder(2, points, 2, radii, "both");
        HPoint start = p1;
        CreateHelixPC(&start, s, s * 0.25f, s * 0.05f, CAppSettings::RestraintHelixIsPolyline);
    } else {
        const HPoint points[] = {p0, p1, p1, p3};
        const float radii[] = {0.0f, s * 0.5f, s * 0.125f, s * 0.125f};
        key = HC_Insert_PolyCylinder(4, points, 4, radii, "both");
    }

    const HPoint base = node + dir * (static_cast<float>(setOff) * 0.25f * diameter);
    InsertCoarseLevel(CoarseRestraint(base, dir, s, stif != 0), 2);
    return key;
}

long HCreatePlotSymbols::InsertOutputRestraint(float x1, float y1, float z1, float x2, float y2,
                                               float z2, HPoint direction, float D) {
    if (!AllFinite({x1, y1, z1, x2, y2, z2, D, direction.x, direction.y, direction.z}) ||
        !SegmentIsOpen()) {
        return -1;
    }
    const float s = Scale();
    const HPoint node(x1, y1, z1);
    const float diameter = D > 0.0f ? D : 0.0f;
    const float reach = diameter > 0.0f ? diameter : 1.0f;
    const float offset =
        diameter > 0.0f ? SetOffDistance(node, HPoint(x2, y2, z2), diameter, direction) : 0.0f;
    CVector3D along(x1, y1, z1, x1 + reach * direction.x, y1 + reach * direction.y,
                    z1 + reach * direction.z);
    const HPoint points[] = {PointAlong(along, offset), PointAlong(along, offset + 1.5f * s)};
    const float radii[] = {0.0f, s * 0.5f};
    const long key = HC_Insert_PolyCylinder(2, points, 2, radii, "both");
    InsertCoarseLevel(CoarseRestraint(node, direction, s, false), 2);
    return key;
}

std::pair<long, bool> HCreatePlotSymbols::CreateRestraint(float, float, float, float, float,
                                                          float, float D, bool stif, bool,
                                                          SymbolDirection, int res) {
    if (!std::isfinite(D) || !SegmentIsOpen() || !ResolutionOk(res)) {
        return {-1, false};
    }
    const float s = Scale();
    char name[160];
    std::snprintf(name, sizeof name, "/user library/include segment/restraint/res%02ddia%06.0fstif%d",
                  res, static_cast<double>(D) * 100.0, stif ? 1 : 0);
    const long cached = FindCachedShell(m_viewEx, name);
    if (cached != -1) {
        return {cached, false};
    }

    const float z1 = res == 2 ? -D / 1.25f : 0.0f;
    const float z2 = z1 + s;
    long part1 = -1;
    HC_Open_Segment("RestraintPart1");
    HC_Flush_Contents("...", "everything");
    if (res == 2) {
        ShellData flat;
        flat.points = {0, 0, z1, s / 6, 0, s, -s / 6, 0, s};
        flat.faces = {2, 0, 1, 2, 1, 2, 2, 2, 0};
        if (stif) {
            const float spring[] = {0,      0, s,          s / 12, 0, 1.125f * s,
                                    -s / 12, 0, 1.25f * s, s / 12, 0, 1.375f * s,
                                    -s / 12, 0, 1.5f * s,  s / 12, 0, 1.625f * s};
            flat.points.insert(flat.points.end(), std::begin(spring), std::end(spring));
            flat.faces.insert(flat.faces.end(), {2, 3, 4, 2, 4, 5, 2, 5, 6, 2, 6, 7, 2, 7, 8});
        }
        part1 = InsertShell(flat.PointCount(), flat.points.data(), flat.FaceListLength(),
                            flat.faces.data());
    } else {
        part1 = InsertCone(0, 0, z2, 0, 0, z1, s * 0.5f, res);
    }
    HC_Close_Segment();

    long symbol = part1;
    if (res != 2) {
        long part2 = -1;
        if (!stif) {
            HC_Open_Segment("RestraintPart2");
            HC_Open_Segment("cylinder");
            HCreateCylinder cylinder(m_viewEx, 0, 1);
            part2 = cylinder.InsertCylinder(0, 0, z1 + s, 0, 0, z2 + s, std::fabs(s) * 0.375f, res,
                                            0, 0, 1, 1, 0, 360);
            HC_Close_Segment();
            HC_Close_Segment();
        } else {
            HC_Open_Segment("RestraintPart3");
            const int sides = res == 20 ? 8 : res;
            const long helix = CreateHelix(s, s * 0.375f, sides, 360 / sides);
            HC_Close_Segment();
            HC_Open_Segment("RP3");
            HC_Flush_Contents("...", "everything");
            CVector3D axis(0, 0, z1, 0, 0, z2);
            ApplyPlacementRotation(axis, 0, 0, z1 + s);
            const long rp3 = HC_KShow_Open_Segment();
            HC_Close_Segment();
            long keys[] = {helix, rp3};
            part2 = MergeShells(2, keys, true);
        }
        long keys[] = {part1, part2, HC_Create_Segment("/include library/construction segment/dummy")};
        symbol = MergeShells(3, keys, true);
    }

    ShellData shape;
    ReadShell(symbol, shape);
    HC_Delete_By_Key(symbol);
    for (const char* scratch : {"RestraintPart1", "RestraintPart2", "RestraintPart3", "RP3"}) {
        DeleteSegmentIfPresent(scratch);
    }
    DeleteSegmentIfPresent("/include library/construction segment");

    HC_Open_Segment(name);
    HC_Flush_Contents("...", "everything");
    const long key = InsertShellByRef(shape.PointCount(), shape.points.data(),
                                      shape.FaceListLength(), shape.faces.data());
    HC_Close_Segment();
    FileInShellCache(m_viewEx, key, shape, 4016, name);
    return {key, false};
}

// ---------------------------------------------------------------------------------------------
// Primitives
// ---------------------------------------------------------------------------------------------

long HCreatePlotSymbols::CreateHelixPC(HPoint* start, float length, float coilDiameter,
                                       float wireRadius, int asPolyline) {
    if (start == nullptr || !AllFinite({start->x, start->y, start->z, length, coilDiameter,
                                        wireRadius}) ||
        !SegmentIsOpen()) {
        return -1;
    }
    const std::vector<HPoint> points =
        HelixPolylinePoints(*start, length, coilDiameter, m_direction);
    if (asPolyline == 0) {
        return HC_Insert_PolyCylinder(16, points.data(), 1, &wireRadius, "both");
    }
    return HC_Insert_Polyline(16, points.data());
}

long HCreatePlotSymbols::CreateHelix(float height, float coilRadius, int sides, int step) {
    ShellData tube;
    if (!AllFinite({height, coilRadius}) || !SegmentIsOpen() ||
        !HelixTube(height, coilRadius, sides, step, tube)) {
        return -1;
    }
    HC_Open_Segment("");
    const long key =
        InsertShell(tube.PointCount(), tube.points.data(), tube.FaceListLength(), tube.faces.data());
    HC_Close_Segment();
    return key;
}

void HCreatePlotSymbols::GeneratePointsOnCone(HPoint centre, float radius, float height, int n,
                                              HPoint* points, int* faces) {
    if (points == nullptr || faces == nullptr || n < 1) {
        return;
    }
    const ShellData cone = Cone(centre, radius, height, n);
    std::memcpy(static_cast<void*>(points), cone.points.data(), cone.points.size() * sizeof(float));
    std::memcpy(faces, cone.faces.data(), cone.faces.size() * sizeof(int));
}

long HCreatePlotSymbols::CreateCone(HPoint centre, float radius, float height, int n,
                                    int twoColour) {
    if (n < 1 || !AllFinite({centre.x, centre.y, centre.z, radius, height}) ||
        !SegmentIsOpen()) {
        return -1;
    }
    const ShellData cone = Cone(centre, radius, height, n);
    const long key =
        InsertShell(cone.PointCount(), cone.points.data(), cone.FaceListLength(), cone.faces.data());
    if (twoColour != 0) {
        HC_Open_Geometry(key);
        for (int face = 0; face <= n; ++face) {
            HC_Open_Face(face);
            HC_Set_Color(face % 2 == 0 ? "yellow" : "red");
            HC_Close_Face();
        }
        HC_Close_Geometry();
    }
    return key;
}

long HCreatePlotSymbols::InsertCone(float x1, float y1, float z1, float x2, float y2, float z2,
                                    float D, int n) {
    if (n < 1 || !AllFinite({x1, y1, z1, x2, y2, z2, D}) || !SegmentIsOpen()) {
        return -1;
    }
    CVector3D element(x1, y1, z1, x2, y2, z2);
    HC_Open_Segment("/include library/construction segment");
    HC_Flush_Contents("...", "everything");
    const long cone = CreateCone(HPoint(0, 0, 0), D * 1.25f, element.GetHeight(), n, 0);
    HC_Close_Segment();
    const long placement = HC_Open_Segment("/include library/construction segment/p1");
    ApplyElementPlacement(element);
    HC_Close_Segment();
    long keys[] = {cone, placement};
    const long merged = MergeShells(2, keys, true);
    HC_Delete_Segment("/include library/construction segment");
    return merged;
}

// ---------------------------------------------------------------------------------------------
// Shell merging
// ---------------------------------------------------------------------------------------------

long HCreatePlotSymbols::MergeShells(int count, long* keys, bool deleteFirst) {
    if (keys == nullptr || count < 2 || !SegmentIsOpen()) {
        return -1;
    }
    ShellData fused;
    if (!ReadShell(keys[0], fused)) {
        return -1;
    }
    for (int i = 1; i < count - 1; ++i) {
        ShellData part;
        if (ReadShell(keys[i], part)) {
            AppendShellData(fused, part);
        }
    }
    if (count == 2) {
        TransformBySegment(keys[1], fused);
    }
    for (int i = deleteFirst ? 0 : 1; i < count; ++i) {
        DeleteKeyIfPresent(keys[i]);
        keys[i] = -1;
    }
    return InsertShell(fused.PointCount(), fused.points.data(), fused.FaceListLength(),
                       fused.faces.data());
}

long HCreatePlotSymbols::TransformShell(long* keys, bool deleteFirst) {
    return MergeShells(2, keys, deleteFirst);
}

long HCreatePlotSymbols::MergeShellsEx(int count, long* keys, bool deleteFirst) {
    if (count < 3) {
        return TransformShell(keys, deleteFirst);
    }
    return MergeShells(count, keys, deleteFirst);
}
