#include "geometry/HCreateCylinder.h"

#include "geometry/CVector3D.h"
#include "geometry/CylinderShell.h"
#include "geometry/ElementPlacement.h"
#include "platform/hc/hc.h"

#include <cmath>
#include <cstring>

HCreateCylinder::HCreateCylinder(HBaseView* view, int doRepeat, int doCapture)
    : HBaseOperator(view, doRepeat, doCapture)
{
}

void HCreateCylinder::GetName(char* buffer)
{
    if (buffer != nullptr) {
        std::strcpy(buffer, "Create Cylinder");
    }
}

long HCreateCylinder::Create_Faceted_CylinderEx(HPoint centre, float radius, float height,
                                                int facets, int lidFlags, int edgeOptions,
                                                float startAngle, float endAngle,
                                                float innerRadius, float topRadius)
{
    CylinderSpec spec;
    spec.centre[0] = centre.x;
    spec.centre[1] = centre.y;
    spec.centre[2] = centre.z;
    spec.radius = radius;
    spec.height = height;
    spec.facets = facets;
    spec.lidFlags = lidFlags;
    spec.edgeOptions = edgeOptions;
    spec.startAngle = startAngle;
    spec.endAngle = endAngle;
    spec.innerRadius = innerRadius;
    spec.topRadius = topRadius;
    spec.concentric = m_concentric;
    spec.flatSide = m_flatSide;
    CylinderShell built;
    if (!BuildCanonicalCylinder(spec, built)) {
        return -1;
    }
    const ShellData& s = built.shell;
    const long key =
        HC_Insert_Shell(s.PointCount(), s.points.data(), s.FaceListLength(), s.faces.data());
    if (key == -1) {
        return -1;
    }
    if (!built.markedEdges.empty()) {
        HC_Open_Geometry(key);
        for (const auto& [a, b] : built.markedEdges) {
            HC_Open_Edge(a, b);
            HC_Set_Visibility("edges=on");
            HC_Close_Edge();
        }
        HC_Close_Geometry();
    }
    if (built.startTurnDegrees != 0) {
        HC_Rotate_Object(0, 0, built.startTurnDegrees);
    }
    return key;
}

long HCreateCylinder::InsertCylinder(float x1, float y1, float z1, float x2, float y2, float z2,
                                     float radius, int facets, float innerRadius,
                                     float topRadius, int lidFlags, int edgeOptions,
                                     float startAngle, float endAngle)
{
    const float ends[] = {x1, y1, z1, x2, y2, z2};
    for (float v : ends) {
        if (!std::isfinite(v)) {
            return -1;
        }
    }
    const CVector3D element(x1, y1, z1, x2, y2, z2);

    // The canonical shells are computed and placed here instead of being read back from the
    // scratch segment: same points, same order, no scene traffic. Buffers are reused across
    // calls because pipe runs come by the tens of thousands.
    thread_local CylinderShell full;
    thread_local CylinderShell coarse;
    CylinderSpec spec;
    spec.radius = radius;
    spec.height = element.GetHeight();
    spec.facets = facets;
    spec.lidFlags = lidFlags;
    spec.edgeOptions = edgeOptions;
    spec.startAngle = startAngle;
    spec.endAngle = endAngle;
    spec.innerRadius = innerRadius;
    spec.topRadius = topRadius;
    spec.concentric = m_concentric;
    spec.flatSide = m_flatSide;
    if (!BuildCanonicalCylinder(spec, full)) {
        return -1;
    }
    spec.facets = 4;
    if (!BuildCanonicalCylinder(spec, coarse)) {
        return -1;
    }

    RigidTransform placement = ElementPlacement(element);
    if (full.startTurnDegrees != 0) {
        placement = AxisRotation(0, 0, 1, full.startTurnDegrees).Then(placement);
    }
    placement.Apply(full.shell.points.data(), full.shell.PointCount());
    placement.Apply(coarse.shell.points.data(), coarse.shell.PointCount());
    if (!full.shell.IsFinite() || !coarse.shell.IsFinite()) {
        return -1;
    }

    const long key = HC_Insert_Shell(full.shell.PointCount(), full.shell.points.data(),
                                     full.shell.FaceListLength(), full.shell.faces.data());
    if (key == -1) {
        return -1;
    }
    const float centreLine[6] = {x1, y1, z1, x2, y2, z2};
    static const int kCentreLineFaces[3] = {2, 0, 1};
    HC_Open_Geometry(key);
    HC_Open_LOD(1);
    HC_Insert_Shell(coarse.shell.PointCount(), coarse.shell.points.data(),
                    coarse.shell.FaceListLength(), coarse.shell.faces.data());
    HC_Close_LOD();
    HC_Open_LOD(2);
    HC_Insert_Shell(2, centreLine, 3, kCentreLineFaces);
    HC_Close_LOD();
    HC_Close_Geometry();
    return key;
}
