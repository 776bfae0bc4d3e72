#include "geometry/HCreateStructure.h"

#include "geometry/CVector3D.h"
#include "geometry/ElementPlacement.h"
#include "geometry/GeometryConstants.h"
#include "geometry/ShellMerge.h"
#include "geometry/SteelSections.h"
#include "platform/hc/HcStrings.h"
#include "view/HBaseViewEx.h"

#include <cmath>
#include <cstring>
#include <optional>

namespace {

enum class Levels { DetailOnly, WithCentreLine };

// The turn about the canonical Z axis by `degrees`, made only when the member's turn argument
// is non-zero.
std::optional<RigidTransform> TurnAboutAxis(double degrees)
{
    std::optional<RigidTransform> t;
    if (degrees != 0) {
        t.emplace(AxisRotation(0, 0, 1, degrees));
    }
    return t;
}

bool Finite(std::initializer_list<float> values)
{
    for (float v : values) {
        if (!std::isfinite(v)) {
            return false;
        }
    }
    return true;
}

// The wide channel's extra turn about its axis: the angle between the member's weak-side
// normal (0, 1, 0) × normalise(start − end) and the placed normal of the canonical XZ plane.
// Returns the whole degrees to turn, or 0 when no turn is due.
double StrongAxisTurn(const CVector3D& member, const float start[3], const float end[3])
{
    double d[3] = {double(start[0]) - end[0], double(start[1]) - end[1],
                   double(start[2]) - end[2]};
    const double dLen = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    if (dLen > 0) {
        for (double& c : d) {
            c /= dLen;
        }
    }
    double w[3] = {1 * d[2] - 0 * d[1], 0 * d[0] - 0 * d[2], 0 * d[1] - 1 * d[0]};
    // The rectangle (−10, 0, 0) (10, 0, 0) (10, 0, L) (−10, 0, L) has the right-handed normal
    // (0, −1, 0); a member of zero length has no rectangle and no normal. A member pointing
    // straight up is not rotated by its placement, so its rectangle keeps that normal.
    double q[3] = {0, 0, 0};
    if (member.GetHeight() != 0) {
        const RigidTransform rotation = ElementPlacementRotation(member);
        const double canonical[3] = {0, -1, 0};
        rotation.Apply(canonical, q);
    }
    const double wLen = std::sqrt(w[0] * w[0] + w[1] * w[1] + w[2] * w[2]);
    const double qLen = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2]);
    double dot = 0;
    if (wLen > 0 && qLen > 0) {
        dot = (w[0] * q[0] + w[1] * q[1] + w[2] * q[2]) / (wLen * qLen);
    }
    dot = std::fmax(-1.0, std::fmin(1.0, dot));
    // HUtility::PI is pi rounded up to single precision, so a right angle converts to
    // 89.9999972 and would truncate to 89: a horizontal member would be turned by 89 degrees.
    // Angles within 1e-4 of a whole degree count as that degree before truncating.
    double phi = std::acos(dot) * 180.0 / kLayerPi;
    if (std::fabs(phi - std::round(phi)) < 1e-4) {
        phi = std::round(phi);
    }
    const double whole = std::trunc(phi);
    if (whole == 90) {
        return 0;
    }
    return whole;
}

// Turns the canonical section shell about its axis (the turned points are rounded, as when they
// are read back from the first scratch segment), places it on the member, inserts it with its
// levels and returns the key.
long PlaceMember(ShellData& shell, const CVector3D& member,
                 const std::optional<RigidTransform>& turn, Levels levels)
{
    if (turn) {
        turn->Apply(shell.points.data(), shell.PointCount());
    }
    ElementPlacement(member).Apply(shell.points.data(), shell.PointCount());
    if (!shell.IsFinite()) {
        return -1;
    }
    const long key = InsertShellData(shell);
    if (key == -1) {
        return -1;
    }
    HC_Open_Geometry(key);
    HC_Open_LOD(1);
    InsertShellData(shell);
    HC_Close_LOD();
    if (levels == Levels::WithCentreLine) {
        const float centreLine[6] = {member.GetFromVectorX(), member.GetFromVectorY(),
                                     member.GetFromVectorZ(), member.GetToVectorX(),
                                     member.GetToVectorY(),   member.GetToVectorZ()};
        static const int kFaces[3] = {2, 0, 1};
        HC_Open_LOD(2);
        HC_Insert_Shell(2, centreLine, 3, kFaces);
        HC_Close_LOD();
    }
    HC_Close_Geometry();
    return key;
}

} // namespace

HCreateStructure::HCreateStructure(HBaseViewEx* view, int doRepeat, int doCapture)
    : HBaseOperator(view, doRepeat, doCapture), m_viewEx(view)
{
}

void HCreateStructure::GetName(char* buffer)
{
    if (buffer != nullptr) {
        std::strcpy(buffer, "Create Structural Steel");
    }
}

long HCreateStructure::InsertChannel(float x1, float y1, float z1, float x2, float y2, float z2,
                                     float s1, float s2, float s3, float s4, float turn)
{
    if (!Finite({x1, y1, z1, x2, y2, z2, s1, s2, s3, s4, turn})) {
        return -1;
    }
    const CVector3D member(x1, y1, z1, x2, y2, z2);
    std::vector<float> xy;
    ChannelOutline(s1, s3, s2, s4, xy);
    ShellData shell;
    ExtrudeOutline(xy, member.GetHeight(), shell);
    return PlaceMember(shell, member, TurnAboutAxis(-turn), Levels::WithCentreLine);
}

long HCreateStructure::InsertWideChannel(float x1, float y1, float z1, float x2, float y2,
                                         float z2, float s1, float s2, float s3, float s4,
                                         float turn)
{
    if (!Finite({x1, y1, z1, x2, y2, z2, s1, s2, s3, s4, turn})) {
        return -1;
    }
    const CVector3D member(x1, y1, z1, x2, y2, z2);
    std::vector<float> xy;
    WideChannelOutline(s1, s3, s2, s4, xy);
    ShellData shell;
    ExtrudeOutline(xy, member.GetHeight(), shell);
    const float start[3] = {x1, y1, z1};
    const float end[3] = {x2, y2, z2};
    // The strong-axis turn is composed after the turn by −turn on the same segment.
    std::optional<RigidTransform> zTurn = TurnAboutAxis(-turn);
    const double strong = StrongAxisTurn(member, start, end);
    if (strong != 0) {
        const RigidTransform extra = AxisRotation(0, 0, 1, strong);
        zTurn = zTurn ? zTurn->Then(extra) : extra;
    }
    return PlaceMember(shell, member, zTurn, Levels::WithCentreLine);
}

long HCreateStructure::InsertStructuralTee(float x1, float y1, float z1, float x2, float y2,
                                           float z2, float s1, float s2, float s3, float s4,
                                           float turn)
{
    if (!Finite({x1, y1, z1, x2, y2, z2, s1, s2, s3, s4, turn})) {
        return -1;
    }
    const CVector3D member(x1, y1, z1, x2, y2, z2);
    std::vector<float> xy;
    StructuralTeeOutline(s2, s1, s3, s4, xy);
    ShellData shell;
    ExtrudeOutline(xy, member.GetHeight(), shell);
    return PlaceMember(shell, member, TurnAboutAxis(-turn), Levels::DetailOnly);
}

long HCreateStructure::InsertAngle(float x1, float y1, float z1, float x2, float y2, float z2,
                                   float s1, float s2, float s3, float s4, float turn)
{
    if (!Finite({x1, y1, z1, x2, y2, z2, s1, s2, s3, s4, turn})) {
        return -1;
    }
    const CVector3D member(x1, y1, z1, x2, y2, z2);
    std::vector<float> xy;
    AngleOutline(s2, s1, s3, s4, xy);
    ShellData shell;
    ExtrudeOutline(xy, member.GetHeight(), shell);
    return PlaceMember(shell, member, TurnAboutAxis(turn), Levels::DetailOnly);
}

long HCreateStructure::InsertUserDef(float x1, float y1, float z1, float x2, float y2, float z2,
                                     float s1, float s2, float turn)
{
    if (!Finite({x1, y1, z1, x2, y2, z2, s1, s2, turn})) {
        return -1;
    }
    const CVector3D member(x1, y1, z1, x2, y2, z2);
    ShellData shell;
    BuildBox(s2, s1, member.GetHeight(), shell);
    return PlaceMember(shell, member, TurnAboutAxis(-turn), Levels::WithCentreLine);
}

long HCreateStructure::InsertStructuralShape(int kind, float x1, float y1, float z1, float x2,
                                             float y2, float z2, float s1, float s2, float s3,
                                             float s4, float turn, int fixedSide)
{
    const float start[3] = {x1, y1, z1};
    const float end[3] = {x2, y2, z2};
    const bool alternateUp =
        m_viewEx != nullptr && m_viewEx->GetUpDirection() == UpDirectionAlternate;
    ShellData shell;
    if (!BuildStructuralShape(kind, start, end, s1, s2, s3, s4, turn, fixedSide, alternateUp,
                              shell)) {
        return -1;
    }
    const long key = InsertShellData(shell);
    if (key == -1) {
        return -1;
    }
    static const int kFaces[3] = {2, 0, 1};
    const float centreLine[6] = {x1, y1, z1, x2, y2, z2};
    HC_Open_Geometry(key);
    HC_Open_LOD(2);
    HC_Insert_Shell(2, centreLine, 3, kFaces);
    HC_Close_LOD();
    HC_Close_Geometry();
    return key;
}

long HCreateStructure::MergeShells(int count, long* keys)
{
    if (keys == nullptr || count < 2) {
        return -1;
    }
    const long holder = keys[count - 1];
    if (holder == -1 || HC_Show_Existence_By_Key(holder, "self") == 0) {
        return -1;
    }
    if (HC_Show_Key_Type(holder) != "segment") {
        return -1;
    }
    for (int i = 0; i + 1 < count; ++i) {
        if (!IsShellKey(keys[i])) {
            return -1;
        }
    }
    ShellData fused;
    ReadShell(keys[0], fused);
    ShellData part;
    for (int i = 1; i + 1 < count; ++i) {
        ReadShell(keys[i], part);
        AppendShellData(fused, part);
    }
    float matrix[16];
    HC_Open_Segment_By_Key(holder);
    HC_Compute_Transform(".", "object", "world", matrix);
    HC_Close_Segment();
    HC_Compute_Transformed_Points(fused.PointCount(), fused.points.data(), matrix,
                                  fused.points.data());
    const long key = InsertShellData(fused);
    if (key == -1) {
        return -1;
    }
    for (int i = 0; i + 1 < count; ++i) {
        if (IsShellKey(keys[i])) {
            HC_Delete_By_Key(keys[i]);
        }
    }
    if (HC_Show_Existence_By_Key(holder, "self") != 0) {
        HC_Delete_By_Key(holder);
    }
    return key;
}
