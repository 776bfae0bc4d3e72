// Spring and can hangers: each shape is built once per symbol scale, level and diameter in a
// named library segment and copied to the node for every hanger that uses it.
#include "symbols/HCreatePlotSymbols.h"

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
#include <string>
#include <vector>

using namespace ketra::symbols;

namespace {

constexpr const char* kWorkSegment = "/user library/construction segment";
constexpr const char* kPlacementSegment = "/include library/construction segment/p1";

// The hanger's vertical axis: Y, or Z for the directions 3 and 6.
struct HangerFrame {
    bool alongZ = false;
    HPoint Up(float h) const { return alongZ ? HPoint(0, 0, h) : HPoint(0, h, 0); }
    float Height(const HPoint& p) const { return alongZ ? p.z : p.y; }
    int Plane() const { return alongZ ? 0 : 1; } // circles in the XY plane, or the XZ plane
};

long InsertData(const ShellData& shell) {
    return HC_Insert_Shell(shell.PointCount(), shell.points.data(), shell.FaceListLength(),
                           shell.faces.data());
}

HPoint PointOf(const ShellData& shell, int i) {
    return {shell.points[i * 3], shell.points[i * 3 + 1], shell.points[i * 3 + 2]};
}

long EmptySegment(const char* path) {
    const long key = HC_Open_Segment(path);
    HC_Flush_Contents("...", "everything");
    HC_Close_Segment();
    return key;
}

} // namespace

long HCreatePlotSymbols::InsertCircle(HPoint* points, HPoint& centre, float radius, int m, int n,
                                      bool filled) {
    if (points == nullptr || n < 1 || !AllFinite({centre.x, centre.y, centre.z, radius}) ||
        !SegmentIsOpen()) {
        return -1;
    }
    const ShellData circle = Circle(centre, radius, m, n, filled);
    std::memcpy(static_cast<void*>(points), circle.points.data(),
                circle.points.size() * sizeof(float));
    return InsertShell(circle.PointCount(), circle.points.data(), circle.FaceListLength(),
                       circle.faces.data());
}

long HCreatePlotSymbols::InsertSpringHanger(float x, float y, float z, float D, int type,
                                            SymbolDirection direction) {
    const bool spring = type == 1;
    const long k8 = HangerShape(spring, x, y, z, D, 8, direction);
    if (k8 == -1) {
        return -1;
    }
    const long k4 = HangerShape(spring, x, y, z, D, 4, direction);
    const long k2 = HangerShape(spring, x, y, z, D, 2, direction);
    if (k4 != -1) {
        ShellData medium;
        ShellData coarse;
        ReadShell(k4, medium);
        ReadShell(k2, coarse);
        DeleteKeyIfPresent(k4);
        DeleteKeyIfPresent(k2);
        HC_Open_Geometry(k8);
        HC_Open_LOD(1);
        InsertData(medium);
        HC_Close_LOD();
        if (coarse.PointCount() > 0) {
            HC_Open_LOD(2);
            InsertData(coarse);
            HC_Close_LOD();
        }
        HC_Close_Geometry();
    }
    return k8;
}

long HCreatePlotSymbols::CreateSpringHanger(float x, float y, float z, float D, int res,
                                            SymbolDirection direction) {
    return HangerShape(true, x, y, z, D, res, direction);
}

long HCreatePlotSymbols::CreateCanHanger(float x, float y, float z, float D, int res,
                                         SymbolDirection direction) {
    return HangerShape(false, x, y, z, D, res, direction);
}

long HCreatePlotSymbols::HangerShape(bool spring, float x, float y, float z, float D, int res,
                                     SymbolDirection direction) {
    if (!AllFinite({x, y, z, D}) || !SegmentIsOpen() || !ResolutionOk(res)) {
        return -1;
    }
    const float s = Scale();
    const bool normalScale = s >= HUtility::EH_Epsilon;
    const float a = normalScale ? s * 0.5f : 1.0f;
    const float b = normalScale ? s * 0.5f : 0.5f;
    HangerFrame frame;
    frame.alongZ = direction == ZAxis || direction == MinusZAxis;

    char name[200];
    if (spring) {
        std::snprintf(name, sizeof name, "/user library/include segment/hanger/ssf_%.0f_res_%d_dia%.0f",
                      static_cast<double>(s), res, static_cast<double>(D) * 100.0);
    } else {
        std::snprintf(name, sizeof name,
                      "/user library/include segment/canhanger/ssf%05.0fres_%d_dia%.0f",
                      static_cast<double>(s) * 100.0, res, static_cast<double>(D) * 100.0);
    }
    if (frame.alongZ) {
        // The shape is built along its axis, so a Z hanger cannot share the Y hanger's shape.
        std::strncat(name, "_z", sizeof name - std::strlen(name) - 1);
    }
    long shape = FindShellInSegment(name);
    const bool reused = shape != -1;

    HC_Open_Segment(kWorkSegment);
    HC_Flush_Contents("...", "everything");
    if (!reused) {
        shape = spring ? BuildSpringHangerParts(res, a, b, frame.alongZ)
                       : BuildCanHangerParts(res, a, b, frame.alongZ);
        ShellData built;
        ReadShell(shape, built);
        HC_Open_Segment(name);
        HC_Flush_Contents("...", "everything");
        InsertShell(built.PointCount(), built.points.data(), built.FaceListLength(),
                    built.faces.data());
        HC_Close_Segment();
    }

    long placement = -1;
    if (spring) {
        // The spring hangs from steel above the pipe.
        placement = HC_Open_Segment(kPlacementSegment);
        HC_Flush_Contents("...", "everything");
        if (frame.alongZ) {
            HC_Translate_Object(x, y, z + D + 2 * a);
        } else {
            HC_Translate_Object(x, y + D + 2 * a, z);
        }
        HC_Close_Segment();
        HC_Close_Segment(); // the work segment
    } else {
        // The can stands below the pipe.
        HC_Close_Segment(); // the work segment
        placement = HC_Open_Segment("/user library/construction segment/part2");
        HC_Flush_Contents("...", "everything");
        if (frame.alongZ) {
            HC_Translate_Object(x, y, z - D - 2 * a);
        } else {
            HC_Translate_Object(x, y - D - 2 * a, z);
        }
        HC_Close_Segment();
    }
    long keys[] = {shape, placement};
    const long key = MergeShells(2, keys, !reused);
    // The work segment holds nothing worth keeping between calls.
    DeleteSegmentIfPresent(kWorkSegment);
    return key;
}

// Builds the spring hanger's parts in the open work segment and joins them; returns the joined
// shell (in the work segment).
long HCreatePlotSymbols::BuildSpringHangerParts(int res, float a, float b, bool alongZ) {
    HangerFrame frame;
    frame.alongZ = alongZ;
    const int plane = frame.Plane();
    if (res == 2) {
        const HPoint origin(0, 0, 0);
        const ShellData ringA = Ring(origin, b, plane, 12);
        const HPoint c = frame.Up(-a);
        const ShellData ringB = Ring(c, b, plane, 12);
        long parts[6];
        parts[0] = InsertData(ringA);
        parts[1] = InsertData(ringB);
        parts[2] = InsertData(Edge(c, c + frame.Up(-a)));
        parts[3] = InsertData(Edge(PointOf(ringA, 0), PointOf(ringB, 0)));
        parts[4] = InsertData(Edge(PointOf(ringA, 6), PointOf(ringB, 6)));
        parts[5] = EmptySegment(kPlacementSegment);
        return MergeShells(6, parts, true);
    }

    long parts[10];
    std::vector<HPoint> circle(static_cast<std::size_t>(res) + 1);
    HCreateCylinder cylinder(m_viewEx, 0, 1);
    auto Cylinder = [&](const HPoint& p1, const HPoint& p2, float radius) {
        return cylinder.InsertCylinder(p1.x, p1.y, p1.z, p2.x, p2.y, p2.z, radius, res, 0, 0, 1, 1,
                                       0, 360);
    };
    auto Disc = [&](HPoint centre, float radius) {
        return InsertCircle(circle.data(), centre, radius, plane, res, true);
    };

    HC_Open_Segment("hanger");
    // The spring, turned to hang down from the origin.
    const long part1 = HC_Open_Segment("part1");
    const long helix = CreateHelix(1.5f * a, 0.75f * b, res, 360 / res);
    if (alongZ) {
        HC_Rotate_Object(180, 0, 0);
    } else {
        HC_Rotate_Object(90, 0, 0);
    }
    ShellData spring;
    ReadShell(helix, spring);
    TransformBySegment(part1, spring);
    DeleteKeyIfPresent(helix);
    parts[0] = InsertData(spring);
    HC_Close_Segment();

    HC_Open_Segment("topcap");
    parts[1] = Cylinder(frame.Up(0.17f * a), frame.Up(-0.1f * a), 1.1f * b);
    parts[2] = Disc(frame.Up(0.17f * a), 1.1f * b);
    HPoint c = frame.Up(0.17f * a - 1.25f * a);
    const HPoint d = frame.Up(-0.1f * a);
    parts[3] = Disc(d, 1.1f * b);
    HC_Close_Segment();

    HC_Open_Segment("bottomCap1");
    parts[4] = Disc(d, 1.1f * b);
    HC_Close_Segment();

    HC_Open_Segment("bottomCap2");
    const HPoint capCentre = c + frame.Up(0.1f * a);
    parts[5] = Disc(capCentre, 1.1f * b);
    const float h = frame.Height(circle[0]);
    HC_Close_Segment();

    HC_Open_Segment("bottomcylinder");
    parts[6] = Cylinder(frame.Up(h - 0.3f * a), frame.Up(h), 1.1f * b);
    c = c + frame.Up(-0.95f * a);
    parts[7] = Disc(c + frame.Up(0.75f * a), 1.1f * b);
    HC_Close_Segment();

    HC_Open_Segment("part2");
    parts[8] = Cylinder(c, c + frame.Up(a), 0.3f * b); // the rod
    HC_Close_Segment();
    HC_Close_Segment(); // hanger

    parts[9] = EmptySegment(kPlacementSegment);
    return MergeShells(10, parts, true);
}

long HCreatePlotSymbols::BuildCanHangerParts(int res, float a, float b, bool alongZ) {
    HangerFrame frame;
    frame.alongZ = alongZ;
    const int plane = frame.Plane();
    if (res == 2) {
        const ShellData ringA = Ring(HPoint(0, 0, 0), b / 2, plane, 12);
        const ShellData ringB = Ring(frame.Up(1.5f * a), b / 2, plane, 12);
        const ShellData ringC = Ring(frame.Up(2 * a), b, plane, 12);
        long parts[6];
        parts[0] = InsertData(ringA);
        parts[1] = InsertData(ringB);
        parts[2] = InsertData(ringC);
        parts[3] = InsertData(Edge(PointOf(ringA, 0), PointOf(ringB, 0)));
        parts[4] = InsertData(Edge(PointOf(ringA, 6), PointOf(ringB, 6)));
        parts[5] = EmptySegment("dummyp1");
        return MergeShells(6, parts, true);
    }
    std::vector<HPoint> circle(static_cast<std::size_t>(res) + 1);
    HCreateCylinder cylinder(m_viewEx, 0, 1);
    long parts[5];
    HPoint centre(0, 0, 0);
    parts[0] = InsertCircle(circle.data(), centre, b, plane, res, true);
    centre = frame.Up(-a);
    parts[1] = InsertCircle(circle.data(), centre, b, plane, res, true);
    HC_Open_Segment("part2");
    HPoint p1 = frame.Up(-0.1f * a);
    HPoint p2 = frame.Up(-a);
    parts[2] = cylinder.InsertCylinder(p1.x, p1.y, p1.z, p2.x, p2.y, p2.z, b, res, 0, 0, 1, 1, 0, 360);
    HC_Close_Segment();
    HC_Open_Segment("part3");
    p2 = frame.Up(2 * a);
    parts[3] =
        cylinder.InsertCylinder(p1.x, p1.y, p1.z, p2.x, p2.y, p2.z, 0.4f * b, res, 0, 0, 1, 1, 0, 360);
    HC_Close_Segment();
    parts[4] = EmptySegment("dummyrotation");
    return MergeShells(5, parts, true);
}
