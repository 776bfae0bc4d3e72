// The symbols that sit on the pipe itself: anchors, rigid elements, nozzles, flanges,
// expansion joints, tees and the rod restraint shape.
#include "symbols/HCreatePlotSymbols.h"

#include "geometry/ElementPlacement.h"
#include "geometry/HCreateCylinder.h"
#include "geometry/ShellMerge.h"
#include "platform/hc/hc.h"
#include "platform/mvo/HUtility.h"
#include "symbols/SymbolGeometry.h"
#include "symbols/SymbolScene.h"
#include "view/HBaseViewEx.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

using namespace ketra::symbols;

namespace {

constexpr float kEpsilon = HUtility::EH_Epsilon;

long InsertProfile(const Profile& profile, const char* capping) {
    return HC_Insert_PolyCylinder(static_cast<int>(profile.points.size()), profile.points.data(),
                                  static_cast<int>(profile.radii.size()), profile.radii.data(),
                                  capping);
}

// Opens `path`, empties it and gives it the element placement of `element`; returns its key.
long PlacementSegment(const char* path, const CVector3D& element) {
    const long key = HC_Open_Segment(path);
    HC_Flush_Contents("...", "everything");
    ApplyElementPlacement(element);
    HC_Close_Segment();
    return key;
}

// Creates (or empties) a segment without leaving it open; returns its key.
long EmptySegment(const char* path) {
    const long key = HC_Open_Segment(path);
    HC_Flush_Contents("...", "everything");
    HC_Close_Segment();
    return key;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Anchors
// ---------------------------------------------------------------------------------------------

long HCreatePlotSymbols::InsertAnchor(float x1, float y1, float z1, float x2, float y2, float z2,
                                      float D) {
    if (!AllFinite({x1, y1, z1, x2, y2, z2, D}) || !SegmentIsOpen()) {
        return -1;
    }
    const float s = Scale();
    CVector3D v(x1, y1, z1, x2, y2, z2);
    const HPoint collar[] = {PointAlong(v, -0.06f * D), PointAlong(v, 0.06f * D)};
    const float radius = 1.1f * D;
    const long key = HC_Insert_PolyCylinder(2, collar, 1, &radius, "both");

    // The ground symbol: two legs from the node to a base line, with four hatch strokes.
    const bool alternateUp =
        m_viewEx != nullptr && m_viewEx->GetUpDirection() == UpDirectionAlternate;
    const HPoint node(x1, y1, z1);
    HPoint p[9];
    for (HPoint& point : p) {
        point = node;
    }
    HPoint offset;
    if (alternateUp) {
        p[1] = node + HPoint(-0.5f * s, -0.5f * s, -s);
        p[4] = node + HPoint(0.5f * s, 0.5f * s, -s);
        offset = HPoint(-0.1f * s, -0.1f * s, -0.5f * s);
    } else {
        p[1] = node + HPoint(-0.5f * s, -s, 0.5f * s);
        p[4] = node + HPoint(0.5f * s, -s, -0.5f * s);
        offset = HPoint(-0.1f * s, -0.5f * s, 0.1f * s);
    }
    CVector3D base(p[1].x, p[1].y, p[1].z, p[4].x, p[4].y, p[4].z);
    base.SplitVector(4);
    p[2] = base.GetSplitVector(1);
    p[3] = base.GetSplitVector(2);
    for (int i = 1; i <= 4; ++i) {
        p[i + 4] = p[i] + offset;
    }
    ShellData ground;
    for (const HPoint& point : p) {
        ground.AddPoint(point.x, point.y, point.z);
    }
    ground.faces = {2, 0, 1, 2, 0, 4, 2, 1, 2, 2, 2, 3, 2, 3, 4,
                    2, 1, 5, 2, 2, 6, 2, 3, 7, 2, 4, 8};
    InsertCoarseLevel(ground, 2);
    return key;
}

long HCreatePlotSymbols::CreateAnchor(float D) {
    if (!std::isfinite(D)) {
        return -1;
    }
    const float h = 1.1f * D / 2.0f;
    const float t = 1.1f * D / 16.0f;
    ShellData box;
    box.points = {-h, -h, t, h, -h, t, h, h, t, -h, h, t,
                  -h, -h, -t, h, -h, -t, h, h, -t, -h, h, -t};
    box.faces = {4, 0, 1, 2, 3, 4, 1, 5, 6, 2, 4, 7, 6, 5, 4,
                 4, 0, 3, 7, 4, 4, 3, 2, 6, 7, 4, 1, 0, 4, 5};
    HC_Open_Segment("/include library/construction segment");
    HC_Flush_Contents("...", "everything");
    const long key = InsertShell(box.PointCount(), box.points.data(), box.FaceListLength(),
                                 box.faces.data());
    HC_Close_Segment();
    return key;
}

// ---------------------------------------------------------------------------------------------
// Rigids, nozzles, flanges
// ---------------------------------------------------------------------------------------------

long HCreatePlotSymbols::InsertRigid(float x1, float y1, float z1, float x2, float y2, float z2,
                                     float D, int lineOnly) {
    const float d[] = {x2 - x1, y2 - y1, z2 - z1};
    if (!AllFinite({d[0], d[1], d[2]}) || HC_Compute_Vector_Length(d) <= kEpsilon) {
        return -1;
    }
    return InsertRigidPC(x1, y1, z1, x2, y2, z2, D, lineOnly);
}

long HCreatePlotSymbols::InsertRigidPC(float x1, float y1, float z1, float x2, float y2,
                                       float z2, float D, int lineOnly) {
    if (!AllFinite({x1, y1, z1, x2, y2, z2, D}) || !SegmentIsOpen()) {
        return -1;
    }
    return InsertProfile(RigidProfile(HPoint(x1, y1, z1), HPoint(x2, y2, z2), D, lineOnly != 0),
                         "both");
}

long HCreatePlotSymbols::InsertNozzle(float x1, float y1, float z1, float x2, float y2, float z2,
                                      float D) {
    if (!AllFinite({x1, y1, z1, x2, y2, z2, D}) || !SegmentIsOpen()) {
        return -1;
    }
    CVector3D v(x2, y2, z2, x1, y1, z1);
    const float L = v.GetHeight() <= 1.3f * D ? v.GetHeight() : 1.3f * D;
    const HPoint points[] = {HPoint(x2, y2, z2), PointAlong(v, 0.8f * L), PointAlong(v, 0.8f * L),
                             PointAlong(v, L)};
    const float radii[] = {0.501f * D, 0.501f * D, 0.75f * D, 0.75f * D};
    return HC_Insert_PolyCylinder(4, points, 4, radii, "both");
}

long HCreatePlotSymbols::InsertFlangePC(float x1, float y1, float z1, float x2, float y2,
                                        float z2, float D) {
    if (!AllFinite({x1, y1, z1, x2, y2, z2, D}) || !SegmentIsOpen()) {
        return -1;
    }
    CVector3D v(x1, y1, z1, x2, y2, z2);
    const float half = v.GetHeight() / 2.0f;
    const float h = half <= 0.35f * D ? half : 0.35f * D;
    const float at[] = {-h,         -0.35f * h, -0.35f * h, -0.03f * h, -0.03f * h,
                        0.03f * h,  0.03f * h,  0.35f * h,  0.35f * h,  h};
    const float radii[] = {0.51f, 0.61f, 0.85f, 0.85f, 0.61f, 0.61f, 0.85f, 0.85f, 0.61f, 0.51f};
    Profile profile;
    for (int i = 0; i < 10; ++i) {
        profile.Add(PointAlong(v, at[i]), radii[i] * D);
    }
    return InsertProfile(profile, "both");
}

long HCreatePlotSymbols::CreateNozzle(float x1, float y1, float z1, float x2, float y2, float z2,
                                      float D, int res) {
    if (!AllFinite({x1, y1, z1, x2, y2, z2, D}) || !SegmentIsOpen() || !ResolutionOk(res)) {
        return -1;
    }
    const float r1 = D / 2.0f + kEpsilon;
    const float r2 = 0.75f * D;
    if (res == 2) {
        HPoint ring[21];
        HPoint centres[] = {HPoint(0, 0, 0), HPoint(0, 0, 5), HPoint(0, 0, 5), HPoint(0, 0, 6)};
        const float radii[] = {r1, r1, r2, r2};
        long keys[5];
        for (int i = 0; i < 4; ++i) {
            keys[i] = InsertCircle(ring, centres[i], radii[i], 0, 20, false);
        }
        keys[4] = HC_Open_Segment("");
        HC_Close_Segment();
        return MergeShells(5, keys, true);
    }
    long keys[3];
    HCreateCylinder cylinder(m_viewEx, 0, 1);
    HC_Open_Segment("NozzlePart1");
    HC_Flush_Contents("...", "everything");
    keys[0] = cylinder.InsertCylinder(0, 0, 0, 0, 0, 6, r1, res, r1, r1, 4, 1, 0, 360);
    HC_Close_Segment();
    HC_Open_Segment("NozzlePart2");
    HC_Flush_Contents("...", "everything");
    keys[1] = cylinder.InsertCylinder(0, 0, 5, 0, 0, 6, r2, res, r2, r2, 6, 1, 0, 360);
    HC_Close_Segment();
    keys[2] = EmptySegment("NozzlePart3");
    const long key = MergeShells(3, keys, true);
    DeleteSegmentIfPresent("NozzlePart1");
    DeleteSegmentIfPresent("NozzlePart2");
    return key;
}

long HCreatePlotSymbols::CreateShortRigid(float x1, float y1, float z1, float x2, float y2,
                                          float z2, float D, int res) {
    if (!AllFinite({x1, y1, z1, x2, y2, z2, D}) || !SegmentIsOpen() || !ResolutionOk(res)) {
        return -1;
    }
    CVector3D element(x1, y1, z1, x2, y2, z2);
    const float L = element.GetHeight();
    // The band positions follow the length, so the length is part of the cache name: a shape
    // built for one length must not be reused for another.
    char name[200];
    std::snprintf(name, sizeof name,
                  "/user library/include segment/shortrigid/res%02ddia%06.0fHT%06.0f", res,
                  static_cast<double>(D) * 100.0, static_cast<double>(L) * 100.0);
    long shape = FindCachedShell(m_viewEx, name);
    if (shape == -1) {
        const float r = 1.25f * D / 2.0f;
        const int f = res == 2 ? 20 : res;
        const bool coarse = res == 2;
        const float band = 2.5f * L / 6.0f;
        std::vector<HPoint> points(static_cast<std::size_t>(f) + 1);
        HPoint centres[] = {HPoint(0, 0, 0), HPoint(0, 0, band), HPoint(0, 0, L - band),
                            HPoint(0, 0, L)};
        const float radii[] = {r, coarse ? D / 2 : r, coarse ? D / 2 : r, r};
        long keys[8];
        int count = 0;
        for (int i = 0; i < 4; ++i) {
            keys[count++] = InsertCircle(points.data(), centres[i], radii[i], 0, f, !coarse);
        }
        if (!coarse) {
            HCreateCylinder cylinder(m_viewEx, 0, 1);
            keys[count++] = cylinder.InsertCylinder(0, 0, 0, 0, 0, band, r, f, 0, 0, 1, 1, 0, 360);
            keys[count++] =
                cylinder.InsertCylinder(0, 0, L / 3, 0, 0, 2 * L / 3, D / 2, res, 0, 0, 1, 1, 0, 360);
            keys[count++] =
                cylinder.InsertCylinder(0, 0, L - band, 0, 0, L, r, res, 0, 0, 1, 1, 0, 360);
        }
        keys[count++] = EmptySegment("/include library/construction geometry");
        const long joined = MergeShells(count, keys, true);
        ShellData joinedShell;
        ReadShell(joined, joinedShell);
        HC_Delete_By_Key(joined);
        HC_Open_Segment(name);
        HC_Flush_Contents("...", "everything");
        shape = InsertShellByRef(joinedShell.PointCount(), joinedShell.points.data(),
                                 joinedShell.FaceListLength(), joinedShell.faces.data());
        HC_Close_Segment();
        FileInShellCache(m_viewEx, shape, joinedShell, 4015, name);
    }
    long keys[] = {shape, PlacementSegment("/include library/construction geometry", element)};
    return MergeShells(2, keys, false);
}

long HCreatePlotSymbols::CreateRigid(float x1, float y1, float z1, float x2, float y2, float z2,
                                     float D, int res) {
    if (!AllFinite({x1, y1, z1, x2, y2, z2, D}) || !SegmentIsOpen() || !ResolutionOk(res)) {
        return -1;
    }
    CVector3D element(x1, y1, z1, x2, y2, z2);
    const float L = element.GetHeight();
    char name[200];
    std::snprintf(name, sizeof name, "/user library/include segment/rigid/res%02ddia%06.0fHT%06.0f",
                  res, static_cast<double>(D) * 100.0, static_cast<double>(L) * 100.0);
    long shape = FindCachedShell(m_viewEx, name);
    if (shape == -1) {
        // The coarse form is the same pair of cones with four facets.
        const int facets = res == 2 ? 4 : res;
        HC_Open_Segment("Part1");
        HC_Flush_Contents("...", "everything");
        const long first = CreateCone(HPoint(0, 0, 0), 1.25f * D, L / 2, facets, 0);
        HC_Close_Segment();
        HC_Open_Segment("Part2");
        HC_Flush_Contents("...", "everything");
        const long second = CreateCone(HPoint(0, 0, 0), 1.25f * D, L / 2, facets, 0);
        HC_Close_Segment();
        const long turn = HC_Open_Segment("Part3");
        HC_Flush_Contents("...", "everything");
        HC_Rotate_Object(0, 180, 0);
        HC_Translate_Object(0, 0, L);
        HC_Close_Segment();
        long placeKeys[] = {second, turn};
        const long farCone = MergeShells(2, placeKeys, true);
        long joinKeys[] = {first, farCone, EmptySegment("Part3")};
        const long joined = MergeShells(3, joinKeys, true);
        ShellData joinedShell;
        ReadShell(joined, joinedShell);
        HC_Delete_By_Key(joined);
        DeleteSegmentIfPresent("Part1");
        DeleteSegmentIfPresent("Part2");
        HC_Open_Segment(name);
        HC_Flush_Contents("...", "everything");
        shape = InsertShellByRef(joinedShell.PointCount(), joinedShell.points.data(),
                                 joinedShell.FaceListLength(), joinedShell.faces.data());
        HC_Close_Segment();
        FileInShellCache(m_viewEx, shape, joinedShell, 4015, name);
    }
    long keys[] = {shape, PlacementSegment("Part3", element)};
    return MergeShells(2, keys, false);
}

// ---------------------------------------------------------------------------------------------
// Expansion joints, tees, rod restraints
// ---------------------------------------------------------------------------------------------

long HCreatePlotSymbols::InsertExpansionJoint(float x1, float y1, float z1, float x2, float y2,
                                              float z2, float D) {
    if (!AllFinite({x1, y1, z1, x2, y2, z2, D}) || !SegmentIsOpen()) {
        return -1;
    }
    CVector3D v(x1, y1, z1, x2, y2, z2);
    v.SplitVector(15);
    if (v.GetSplitVectorSize() != 15) {
        return -1;
    }
    float radii[15];
    for (int i = 0; i < 15; ++i) {
        radii[i] = i % 2 == 0 ? D / 2 : 1.75f * D / 2;
    }
    return HC_Insert_PolyCylinder(15, v.GetSplitVector(), 15, radii, "both");
}

long HCreatePlotSymbols::InsertPVExpJoint(int convolutions, float x1, float y1, float z1,
                                          float x2, float y2, float z2, float rootRadius,
                                          float crestRadius, float knuckleRadius,
                                          float firstOffset, float rootPitch, float crestWidth) {
    if (!AllFinite({x1, y1, z1, x2, y2, z2, rootRadius, crestRadius, knuckleRadius, firstOffset,
                    rootPitch, crestWidth}) ||
        !SegmentIsOpen() || convolutions > kMaxConvolutions) {
        return -1;
    }
    const HPoint p1(x1, y1, z1);
    const HPoint p2(x2, y2, z2);
    if (convolutions < 1) {
        return HC_Insert_Cylinder(&p1, &p2, rootRadius, "none");
    }
    return InsertProfile(BellowsProfile(convolutions, p1, p2, rootRadius, crestRadius,
                                        knuckleRadius, firstOffset, rootPitch, crestWidth),
                         "none");
}

long HCreatePlotSymbols::CreateTee(CVector3D* branches, float* d, int* centreEnd) {
    if (branches == nullptr || d == nullptr || centreEnd == nullptr || !SegmentIsOpen() ||
        !AllFinite({d[0], d[1], d[2]})) {
        return -1;
    }
    HPoint u[3];
    for (int i = 0; i < 3; ++i) {
        u[i] = HPoint(branches[i].GetToVectorX() - branches[i].GetFromVectorX(),
                      branches[i].GetToVectorY() - branches[i].GetFromVectorY(),
                      branches[i].GetToVectorZ() - branches[i].GetFromVectorZ());
    }
    // The branch that is not collinear with the other two reaches further into the tee.
    float e[3] = {0, 0, 0};
    if (HLength(HCross(u[0], u[1])) == 0.0f) {
        e[2] = d[0] / 2;
    } else if (HLength(HCross(u[0], u[2])) == 0.0f) {
        e[1] = d[0] / 2;
    } else if (HLength(HCross(u[1], u[2])) == 0.0f) {
        e[0] = d[1] / 2;
    }
    long keys[4];
    HCreateCylinder cylinder(m_viewEx, 0, 1);
    for (int i = 0; i < 3; ++i) {
        CVector3D& b = branches[i];
        const float keep = d[i] + e[i];
        const float L = b.GetHeight();
        if (L > keep) {
            b.SetHeight(L - keep, centreEnd[i]);
            if (centreEnd[i] == 0) {
                b.SetFromX(b.GetNewHeightX());
                b.SetFromY(b.GetNewHeightY());
                b.SetFromZ(b.GetNewHeightZ());
            } else {
                b.SetToX(b.GetNewHeightX());
                b.SetToY(b.GetNewHeightY());
                b.SetToZ(b.GetNewHeightZ());
            }
        }
        keys[i] = cylinder.InsertCylinder(b.GetFromVectorX(), b.GetFromVectorY(),
                                          b.GetFromVectorZ(), b.GetToVectorX(), b.GetToVectorY(),
                                          b.GetToVectorZ(), d[i] / 2 + 4 * kEpsilon, 20, 0, 0, 1,
                                          1, 0, 360);
    }
    keys[3] = EmptySegment("dummy");
    const long tee = MergeShells(4, keys, true);
    const long coarse = InsertTee(branches[0], branches[1], branches[2], 0, 0, 0, 2);
    ShellData line;
    if (tee != -1 && ReadShell(coarse, line)) {
        HC_Open_Geometry(tee);
        HC_Open_LOD(2);
        InsertShellData(line);
        HC_Close_LOD();
        HC_Close_Geometry();
    }
    return tee;
}

long HCreatePlotSymbols::InsertTee(CVector3D& b0, CVector3D& b1, CVector3D& b2, float, float,
                                   float, int res) {
    if (res != 2 || !SegmentIsOpen()) {
        return -1;
    }
    long keys[4];
    CVector3D* branches[] = {&b0, &b1, &b2};
    for (int i = 0; i < 3; ++i) {
        const ShellData box = Box(3 * kEpsilon, 3 * kEpsilon, branches[i]->GetHeight());
        long placeKeys[] = {InsertShellData(box), PlacementSegment("TeePart2", *branches[i])};
        keys[i] = MergeShells(2, placeKeys, true);
    }
    keys[3] = EmptySegment("TeePart2");
    return MergeShells(4, keys, true);
}

long HCreatePlotSymbols::CreateRodRestraint(float, float, float, float, float, float, float D,
                                            bool stif, float rodLength, SymbolDirection,
                                            int res) {
    if (!AllFinite({D, rodLength}) || !SegmentIsOpen() || !ResolutionOk(res)) {
        return -1;
    }
    const float s = Scale();
    CVector3D axis(0, 0, 0, 0, 0, s);
    const HPoint top = PointAlong(axis, rodLength);
    HC_Open_Segment("RestraintPart1");
    HC_Flush_Contents("...", "everything");
    HCreateCylinder cylinder(m_viewEx, 0, 1);
    const long rod =
        cylinder.InsertCylinder(0, 0, 0, top.x, top.y, top.z, D / 9, res, 0, 0, 1, 1, 0, 360);
    HC_Close_Segment();
    if (!stif) {
        return rod;
    }
    HC_Open_Segment("RestraintPart2");
    HC_Flush_Contents("...", "everything");
    const long helix = CreateHelix(D / 2, D / 6, res, 360 / res);
    HC_Close_Segment();
    const long place = HC_Open_Segment("RestraintPart3");
    HC_Flush_Contents("...", "everything");
    ApplyPlacementRotation(axis, 0, 0, rodLength / 2);
    HC_Close_Segment();
    long placeKeys[] = {helix, place};
    const long spring = MergeShells(2, placeKeys, true);
    long keys[] = {rod, spring, EmptySegment("RestraintPart4")};
    const long key = MergeShells(3, keys, true);
    DeleteSegmentIfPresent("RestraintPart1");
    DeleteSegmentIfPresent("RestraintPart2");
    return key;
}

long HCreatePlotSymbols::CreateAccordion(float D, float length, float crestRatio,
                                         int convolutions) {
    if (!AllFinite({D, length, crestRatio}) || !SegmentIsOpen() || convolutions < 1 ||
        convolutions > kMaxConvolutions) {
        return -1;
    }
    constexpr int kFacets = 16;
    const float crest = (crestRatio > 0 ? crestRatio : 1.75f) * D / 2;
    const int rings = 2 * convolutions + 1;
    ShellData shell;
    shell.points.reserve(static_cast<std::size_t>(rings) * kFacets * 3);
    for (int k = 0; k < rings; ++k) {
        const float z = length * static_cast<float>(k) / static_cast<float>(rings - 1);
        const float r = k % 2 == 0 ? D / 2 : crest;
        for (int i = 0; i < kFacets; ++i) {
            const double a = i * 2.0 * HUtility::PI / kFacets;
            shell.AddPoint(static_cast<float>(r * std::cos(a)), static_cast<float>(r * std::sin(a)),
                           z);
        }
    }
    for (int k = 0; k + 1 < rings; ++k) {
        for (int i = 0; i < kFacets; ++i) {
            const int a = k * kFacets + i;
            const int b = k * kFacets + (i + 1) % kFacets;
            shell.faces.insert(shell.faces.end(), {4, a, b, b + kFacets, a + kFacets});
        }
    }
    return InsertShell(shell.PointCount(), shell.points.data(), shell.FaceListLength(),
                       shell.faces.data());
}
