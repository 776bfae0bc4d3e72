#include "platform/mvo/HUtility.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <string>
#include <strings.h>

#include "platform/hc/CameraMath.h"
#include "platform/hc/HcStrings.h"
#include "platform/mvo/HBaseView.h"

namespace cm = ketra::hc::CameraMath;

namespace {

bool KeyValid(HC_KEY key) { return key != -1 && HC_Show_Existence_By_Key(key, "self") > 0; }

std::string KeyType(HC_KEY key) { return HC_Show_Key_Type(key); }

std::string SegmentPath(HC_KEY key) { return KeyValid(key) ? HC_Show_Segment(key) : std::string(); }

// True when `segment` is `ancestor` or lies below it.
bool IsAtOrBelow(HC_KEY segment, HC_KEY ancestor)
{
    for (HC_KEY k = segment; k != -1; k = HC_KShow_Owner_By_Key(k)) {
        if (k == ancestor)
            return true;
        if (KeyType(k) != "segment")
            continue;
        if (HC_Show_Segment(k) == "/")
            break;
    }
    return false;
}

} // namespace

bool HUtility::SegmentExists(const char* path)
{
    return path && *path && HC_QShow_Existence(path, "self") > 0;
}

HC_KEY HUtility::GrabSegment(HC_KEY key)
{
    if (!KeyValid(key))
        return -1;
    if (KeyType(key) == "segment")
        return key;
    return HC_KShow_Owner_By_Key(key);
}

bool HUtility::BuildIncludePath(HC_KEY objectKey, const HC_KEY* includeList, int includeCount,
                                HC_KEY* fullPath, int* fullPathCount, HC_KEY matchKey)
{
    if (!fullPathCount)
        return false;
    const int capacity = *fullPathCount;
    *fullPathCount = 0;
    if (!fullPath || capacity < 1 || includeCount < 0 || (includeCount > 0 && !includeList))
        return false;
    // The item itself lying under the match needs no include at all.
    const HC_KEY itemSegment = GrabSegment(objectKey);
    if (itemSegment != -1 && KeyValid(matchKey) && IsAtOrBelow(itemSegment, matchKey)) {
        fullPath[0] = objectKey;
        *fullPathCount = 1;
        return true;
    }
    int count = 0;
    fullPath[count++] = objectKey;
    for (int i = 0; i < includeCount; ++i) {
        if (count >= capacity)
            return (*fullPathCount = 0), false;
        fullPath[count++] = includeList[i];
        if (KeyType(includeList[i]) != "include")
            continue;
        const HC_KEY included = HC_Show_Include_Segment(includeList[i], nullptr);
        if (included != -1 && (included == matchKey || IsAtOrBelow(included, matchKey))) {
            *fullPathCount = count;
            return true;
        }
    }
    return false;
}

void HUtility::ComputeVectorToVectorRotationMatrix(float matrix[16], const HPoint& from, const HPoint& to)
{
    cm::Matrix4 result = cm::Matrix4::Identity();
    const cm::Vec3 a = cm::Normalized({from.x, from.y, from.z});
    const cm::Vec3 b = cm::Normalized({to.x, to.y, to.z});
    if (cm::Length(a) > 0 && cm::Length(b) > 0) {
        const double cosine = std::clamp(cm::Dot(a, b), -1.0, 1.0);
        cm::Vec3 axis = cm::Cross(a, b);
        const double degrees = std::acos(cosine) * 180.0 / 3.14159265358979323846;
        if (cm::Length(axis) < 1e-9) {
            if (cosine < 0) {
                // Opposite: half turn about any axis normal to a.
                axis = cm::Cross(a, std::fabs(a.x) < 0.9 ? cm::Vec3{1, 0, 0} : cm::Vec3{0, 1, 0});
                result = cm::Rotation(cm::Normalized(axis), 180.0);
            }
        } else {
            result = cm::Rotation(cm::Normalized(axis), degrees);
        }
    }
    result.ToFloats(matrix);
}

void HUtility::SmoothTransition(const HCamera& oldCamera, const HCamera& newCamera, HBaseView* view, int steps)
{
    if (!view)
        return;
    if (view->IsHeadless() || steps < 2 || !oldCamera.valid) {
        view->SetCamera(newCamera);
        return;
    }
    for (int i = 1; i < steps; ++i) {
        const float t = static_cast<float>(i) / static_cast<float>(steps);
        HCamera c = newCamera;
        c.position = oldCamera.position + (newCamera.position - oldCamera.position) * t;
        c.target = oldCamera.target + (newCamera.target - oldCamera.target) * t;
        HPoint up = oldCamera.up_vector + (newCamera.up_vector - oldCamera.up_vector) * t;
        c.up_vector = HLength(up) > 1e-6f ? up : newCamera.up_vector;
        c.field_width = oldCamera.field_width + (newCamera.field_width - oldCamera.field_width) * t;
        c.field_height = oldCamera.field_height + (newCamera.field_height - oldCamera.field_height) * t;
        view->SetCamera(c);
        view->Update();
    }
    view->SetCamera(newCamera);
}

float HUtility::GetTime()
{
    static const auto start = std::chrono::steady_clock::now();
    return std::chrono::duration<float>(std::chrono::steady_clock::now() - start).count();
}

void HUtility::Order(HPoint* a, HPoint* b)
{
    if (!a || !b)
        return;
    if (a->x > b->x)
        std::swap(a->x, b->x);
    if (a->y > b->y)
        std::swap(a->y, b->y);
}

HC_KEY HUtility::CreateAxisCircle(const HPoint& center, float radius, int axis, bool filled)
{
    // axis: 0 the XY plane, 1 XZ, 2 YZ; i.e. normal along z, y, x.
    const int normalAxis = axis == 1 ? 1 : axis == 2 ? 0 : 2;
    if (filled) {
        HPoint normal;
        (&normal.x)[normalAxis] = 1.0f;
        return HC_Insert_Circle_By_Radius(&center, radius, &normal);
    }
    constexpr int kSegments = 64;
    HPoint points[kSegments + 1];
    HUtilityGeometryCreation::GeneratePointsOnCircle(points, center, radius, normalAxis, kSegments, false);
    points[kSegments] = points[0];
    return HC_Insert_Polyline(kSegments + 1, points);
}

void HUtility::AdjustPositionToPlane(HBaseView* view, HPoint& position, const HPoint& pointInPlane)
{
    if (!view)
        return;
    HCamera camera;
    view->GetCamera(camera);
    if (!camera.valid)
        return;
    const HPoint dir = camera.ViewDirection();
    if (HLength(dir) <= 0.0f)
        return;
    if (camera.IsPerspective()) {
        // Along the ray from the eye through the position.
        const float along = HDot(position - camera.position, dir);
        if (std::fabs(along) < 1e-12f)
            return;
        const float t = HDot(pointInPlane - camera.position, dir) / along;
        position = camera.position + (position - camera.position) * t;
    } else {
        position += dir * HDot(pointInPlane - position, dir);
    }
}

HC_KEY HUtility::SelectUnderCursor(HBaseView* view, float x, float y, HPoint* worldHit)
{
    if (!view || !KeyValid(view->GetViewKey()))
        return -1;
    HC_KEY key = -1;
    HC_Open_Segment_By_Key(view->GetViewKey());
    if (HC_Compute_Selection(".", "./scene", "v", x, y) > 0) {
        int o1 = 0, o2 = 0, o3 = 0;
        HC_Show_Selection_Element(&key, &o1, &o2, &o3);
        if (worldHit) {
            float wx, wy, wz;
            HC_Show_Selection_Position(&wx, &wy, &wz, &worldHit->x, &worldHit->y, &worldHit->z);
        }
    }
    HC_Close_Segment();
    return key;
}

std::string HUtility::Find_Relative_Path(HC_KEY base, HC_KEY segment)
{
    const std::string basePath = SegmentPath(base);
    std::string full = SegmentPath(segment);
    if (!basePath.empty() && full.size() > basePath.size() + 1 &&
        strncasecmp(full.c_str(), basePath.c_str(), basePath.size()) == 0 &&
        full[basePath.size()] == '/')
        full = full.substr(basePath.size() + 1);
    return full;
}

void HUtility::Find_Relative_Path(HC_KEY base, HC_KEY segment, char* path, int capacity)
{
    if (!path || capacity <= 0)
        return;
    const std::string full = Find_Relative_Path(base, segment);
    std::strncpy(path, full.c_str(), static_cast<size_t>(capacity) - 1);
    path[capacity - 1] = '\0';
}

void HUtilityGeometryCreation::GeneratePointsOnCircle(HPoint* points, const HPoint& center, float radius,
                                                      int axis, int count, bool reverse)
{
    if (!points || count <= 0)
        return;
    if (axis < 0 || axis > 2)
        axis = 2;
    const int u = (axis + 1) % 3;
    const int v = (axis + 2) % 3;
    const float step = 2.0f * HUtility::PI / static_cast<float>(count) * (reverse ? -1.0f : 1.0f);
    for (int i = 0; i < count; ++i) {
        const float angle = step * static_cast<float>(i);
        HPoint p = center;
        (&p.x)[u] += radius * std::cos(angle);
        (&p.x)[v] += radius * std::sin(angle);
        points[i] = p;
    }
}

namespace {
bool ModelBox(HBaseView* view, HPoint& minimum, HPoint& maximum)
{
    minimum.Set(-1, -1, -1);
    maximum.Set(1, 1, 1);
    const HC_KEY link = view->GetIncludeLinkKey();
    return KeyValid(link) && HC_Compute_Circumcuboid_By_Key(link, &minimum, &maximum);
}
} // namespace

HC_KEY HUtilityGeometryCreation::CreateCuttingPlane(HBaseView* view, const char* name)
{
    if (!view || !KeyValid(view->GetCuttingPlanesKey()))
        return -1;
    HPoint minimum, maximum;
    ModelBox(view, minimum, maximum);
    const HPoint center = (minimum + maximum) * 0.5f;
    HC_Open_Segment_By_Key(view->GetCuttingPlanesKey());
    std::string segmentName = name && *name ? name : "";
    for (int n = 1; segmentName.empty() || (!(name && *name) && HC_QShow_Existence(segmentName.c_str(), "self") > 0); ++n)
        segmentName = "cutting plane " + std::to_string(n);
    const HC_KEY key = HC_Open_Segment(segmentName.c_str());
    // Cuts away everything with x > centre.x.
    HC_Insert_Cutting_Plane(1.0, 0.0, 0.0, -center.x);
    HC_Close_Segment();
    HC_Close_Segment();
    if (KeyValid(view->GetCuttingPlaneGeomKey())) {
        // A quad that shows where the plane lies, slightly larger than the model.
        const float margin = 0.05f * HLength(maximum - minimum);
        const HPoint quad[4] = {{center.x, minimum.y - margin, minimum.z - margin},
                                {center.x, maximum.y + margin, minimum.z - margin},
                                {center.x, maximum.y + margin, maximum.z + margin},
                                {center.x, minimum.y - margin, maximum.z + margin}};
        HC_Open_Segment_By_Key(view->GetCuttingPlaneGeomKey());
        HC_Open_Segment(segmentName.c_str());
        // Mostly see-through, with a dark outline: the half the plane keeps shows through it.
        HC_Set_Color("faces = (diffuse = yellow, transmission = (r=0.75 g=0.75 b=0.75)), edges = black");
        HC_Set_Visibility("faces = on, edges = on");
        const int faces[5] = {4, 0, 1, 2, 3};
        HC_Insert_Shell(4, quad, 5, faces);
        HC_Close_Segment();
        HC_Close_Segment();
    }
    return key;
}

HC_KEY HUtilityGeometryCreation::CreateThreeSidedSection(HBaseView* view)
{
    if (!view || !KeyValid(view->GetCuttingPlanesKey()))
        return -1;
    HPoint minimum, maximum;
    ModelBox(view, minimum, maximum);
    const HPoint center = (minimum + maximum) * 0.5f;
    HC_Open_Segment_By_Key(view->GetCuttingPlanesKey());
    const HC_KEY key = HC_Open_Segment("threesection");
    // A second call replaces the planes rather than adding three more.
    HC_Flush_Contents(".", "cutting planes");
    // The three planes cut only together: one octant opens, the rest of the model stays.
    HC_Set_Rendering_Options("intersecting cutting planes");
    HC_Insert_Cutting_Plane(1.0, 0.0, 0.0, -center.x);
    HC_Insert_Cutting_Plane(0.0, 1.0, 0.0, -center.y);
    HC_Insert_Cutting_Plane(0.0, 0.0, 1.0, -center.z);
    HC_Close_Segment();
    HC_Close_Segment();
    return key;
}
