#include "geometry/HCreateBend.h"

#include "geometry/BendShell.h"
#include "geometry/CVector3D.h"
#include "geometry/GeometryConstants.h"
#include "geometry/ShellMerge.h"
#include "platform/hc/hc.h"

#include <cmath>
#include <cstring>
#include <vector>

HCreateBend::HCreateBend(HBaseView* view, int doRepeat, int doCapture)
    : HBaseOperator(view, doRepeat, doCapture)
{
}

void HCreateBend::GetName(char* buffer)
{
    if (buffer != nullptr) {
        std::strcpy(buffer, "HCreateBend");
    }
}

void HCreateBend::InsertBend(float a1x, float a1y, float a1z, float b1x, float b1y, float b1z,
                             float a2x, float a2y, float a2z, float b2x, float b2y, float b2z,
                             float pipeRadius, float bendRadius, float trim)
{
    float b1[3] = {b1x, b1y, b1z};
    const float a1[3] = {a1x, a1y, a1z};
    for (int i = 0; i < 3; ++i) {
        if (std::fabs(b1[i] - a1[i]) < kLayerEpsilon) {
            b1[i] = a1[i];
        }
    }
    CVector3D v(a1[0], a1[1], a1[2], b1[0], b1[1], b1[2]);
    v.SetHeight(v.GetHeight() - trim, 1);
    InsertBend(v.GetNewHeightX(), v.GetNewHeightY(), v.GetNewHeightZ(), b1[0], b1[1], b1[2], a2x,
               a2y, a2z, b2x, b2y, b2z, pipeRadius, bendRadius);
}

void HCreateBend::InsertBend(float a1x, float a1y, float a1z, float b1x, float b1y, float b1z,
                             float a2x, float a2y, float a2z, float b2x, float b2y, float b2z,
                             float pipeRadius, float bendRadius)
{
    const float A1[3] = {a1x, a1y, a1z};
    const float B1[3] = {b1x, b1y, b1z};
    const float A2[3] = {a2x, a2y, a2z};
    const float B2[3] = {b2x, b2y, b2z};
    // Both levels are computed before anything is inserted, so a refused bend leaves no trace.
    thread_local ShellData full;
    thread_local ShellData coarse;
    if (!BuildBendShell(A1, B1, A2, B2, pipeRadius, bendRadius, 20, full)) {
        return;
    }
    const bool haveCoarse = BuildBendShell(A1, B1, A2, B2, pipeRadius, bendRadius, 4, coarse);
    const long key = InsertShellData(full);
    if (key == -1 || !haveCoarse) {
        return;
    }
    const float centreLine[12] = {a1x, a1y, a1z, b1x, b1y, b1z, a2x, a2y, a2z, b2x, b2y, b2z};
    static const int kCentreLineFaces[9] = {2, 0, 1, 2, 1, 2, 2, 2, 3};
    HC_Open_Geometry(key);
    HC_Open_LOD(1);
    InsertShellData(coarse);
    HC_Close_LOD();
    HC_Open_LOD(2);
    HC_Insert_Shell(4, centreLine, 9, kCentreLineFaces);
    HC_Close_LOD();
    HC_Close_Geometry();
}

long HCreateBend::CreateBend(float a1x, float a1y, float a1z, float b1x, float b1y, float b1z,
                             float a2x, float a2y, float a2z, float b2x, float b2y, float b2z,
                             float pipeRadius, float bendRadius, int facets)
{
    const float A1[3] = {a1x, a1y, a1z};
    const float B1[3] = {b1x, b1y, b1z};
    const float A2[3] = {a2x, a2y, a2z};
    const float B2[3] = {b2x, b2y, b2z};
    ShellData shell;
    if (!BuildBendShell(A1, B1, A2, B2, pipeRadius, bendRadius, facets, shell)) {
        return -1;
    }
    return InsertShellData(shell);
}

long HCreateBend::Toroid(float pipeRadius, float bendRadius, float startAngle, float endAngle,
                         int facets)
{
    ShellData torus;
    if (!BuildToroid(pipeRadius, bendRadius, startAngle, endAngle, facets, torus)) {
        return -1;
    }
    if (HC_Open_Segment("") == -1) {
        return -1;
    }
    const long key = InsertShellData(torus);
    HC_Close_Segment();
    return key;
}

long HCreateBend::InsertBendPC(float a1x, float a1y, float a1z, float b1x, float b1y, float b1z,
                               float a2x, float a2y, float a2z, float b2x, float b2y, float b2z,
                               float pipeRadius, float bendRadius)
{
    const float A1[3] = {a1x, a1y, a1z};
    const float B1[3] = {b1x, b1y, b1z};
    const float A2[3] = {a2x, a2y, a2z};
    const float B2[3] = {b2x, b2y, b2z};
    std::vector<float> points;
    bool skipStart = false;
    if (!std::isfinite(pipeRadius) ||
        !BuildBendPolyline(A1, B1, A2, B2, bendRadius, points, skipStart)) {
        return -1;
    }
    const int count = static_cast<int>(points.size() / 3);
    const long key = skipStart
                         ? HC_Insert_PolyCylinder(count - 1, points.data() + 3, 1, &pipeRadius,
                                                  "both")
                         : HC_Insert_PolyCylinder(count, points.data(), 1, &pipeRadius, "both");
    if (key == -1) {
        return -1;
    }
    // The scene graph keeps no per-face attributes on polycylinders, so the caps are not given
    // the elements' directions as normals; each cap faces along its end segment, which is the
    // element's direction except where the arc reaches back past the first element's start.
    return key;
}

long HCreateBend::MergeShells(int count, long* keys)
{
    return MergeShellKeys(count, keys);
}
