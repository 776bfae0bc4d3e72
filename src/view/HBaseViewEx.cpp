#include "view/HBaseViewEx.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "platform/hc/HcStrings.h"
#include "platform/mvo/HSelectionSet.h"
#include "platform/mvo/HUtility.h"
#include "view/ViewSettings.h"

namespace {
bool KeyValid(HC_KEY key) { return key != -1 && key != 0 && HC_Show_Existence_By_Key(key, "self") > 0; }
} // namespace

HBaseViewEx::HBaseViewEx(HBaseModel* model) : HBaseView(model), m_motion(this) {}

HBaseViewEx::HBaseViewEx(HBaseModel* model, const char* alias, const char* driverType,
                         const char* instanceName, long windowHandle, long colorMap)
    : HBaseView(model, alias, driverType, instanceName, windowHandle, colorMap, nullptr, nullptr,
                nullptr),
      m_motion(this)
{
}

HBaseViewEx::~HBaseViewEx()
{
    Reset();
    m_motion.Clear();
}

void HBaseViewEx::Init()
{
    SetSmoothTransition(ketra::view::ViewSettings::SmoothTransition());
    HBaseView::Init();
    SetHideOverlappedText(ketra::view::ViewSettings::HideOverlappingText() == 1);
    if (KeyValid(GetModelKey())) {
        HC_Open_Segment_By_Key(GetModelKey());
        m_legendKey = HC_Open_Segment("LegendWindow");
        HC_Close_Segment();
        HC_Close_Segment();
    }
    m_triadKey = 0;
    SetBackplaneCulling(ketra::view::ViewSettings::BackplaneCulling());
    // The camera set up by Init is where the view starts, not a move the host must notice.
    m_cameraMoved = false;
}

void HBaseViewEx::Update() { HBaseView::Update(); }

void HBaseViewEx::SetViewMode(ViewMode mode, bool emitMessage, bool fitWorld)
{
    HBaseView::SetViewMode(mode, emitMessage, fitWorld);
}

void HBaseViewEx::CameraPositionChanged(bool emitMessage, bool smoothTransition)
{
    m_cameraMoved = true;
    HBaseView::CameraPositionChanged(emitMessage, smoothTransition);
}

void HBaseViewEx::SetRenderMode(HRenderMode mode, bool emitMessage)
{
    namespace vs = ketra::view::ViewSettings;
    if (vs::PackageName() == "Drafton Design Review") {
        HBaseView::SetRenderMode(mode, emitMessage);
        return;
    }
    if (GetRenderMode() == HRenderMarkers && KeyValid(GetSceneKey())) {
        HC_Open_Segment_By_Key(GetSceneKey());
        for (const char* option : {"lod", "lighting interpolation", "lodo"})
            if (HC_Show_Existence((std::string("rendering options = ") + option).c_str()) > 0)
                HC_UnSet_One_Rendering_Option(option);
        HC_Set_Visibility("markers=off");
        HC_Close_Segment();
    }
    HBaseView::SetRenderMode(mode, emitMessage);
    if (mode == HRenderMarkers && vs::ShowMarkers() != 0 && KeyValid(GetSceneKey())) {
        HC_Open_Segment_By_Key(GetSceneKey());
        HC_Set_Visibility("markers=on, edges=on");
        HC_Set_Marker_Size(vs::PipeMarkerSymbolSize());
        HC_Close_Segment();
    }
    // Node numbers: a depth range of (0.0,0.1) draws them in front of the model.
    HC_Open_Segment("/Style Library/nodeText");
    switch (GetRenderMode()) {
    case HRenderSilhouette:
        HC_Set_Rendering_Options(vs::SilhouetteModeNodeTextAlwaysVisible() != 0 ? "depth range=(0.0,0.1)"
                                                                                  : "depth range=(0,1)");
        break;
    case HRenderGouraud:
    case HRenderFlat:
    case HRenderGouraudWithEdges:
        HC_Set_Rendering_Options(vs::RenderedModeNodeTextAlwaysVisible() != 0 ? "depth range=(0.0,0.1)"
                                                                               : "depth range=(0,1)");
        HC_Set_Visibility("markers=off");
        break;
    default:
        HC_Set_Rendering_Options("depth range=(0,1)");
        HC_Set_Visibility("markers=off");
        break;
    }
    HC_Close_Segment();
    Update();
}

void HBaseViewEx::Reset()
{
    for (SHELLS& shell : m_shellCache) {
        delete[] shell.points;
        delete[] shell.faces;
        shell.points = nullptr;
        shell.faces = nullptr;
    }
    for (POINTLIST& block : m_ownedBlocks) {
        delete[] block.points;
        block.points = nullptr;
    }
    m_shellCache.clear();
    m_ownedBlocks.clear();
}

void HBaseViewEx::SetCurrentProject(ENVIR_BLOCK* project, char* name)
{
    m_project = project;
    m_projectName = name ? name : "";
}

float HBaseViewEx::SetSymbolScaleFactor(float factor)
{
    const float previous = m_symbolScaleFactor;
    m_symbolScaleFactor = factor;
    return previous;
}

long HBaseViewEx::GetTriadKey()
{
    if (!KeyValid(GetViewKey()))
        return -1;
    HC_Open_Segment_By_Key(GetViewKey());
    const long key = HC_Open_Segment("axis");
    HC_Close_Segment();
    HC_Close_Segment();
    return key;
}

void HBaseViewEx::AddOwnedBlock(HPoint* block)
{
    POINTLIST entry;
    entry.points = block;
    m_ownedBlocks.push_back(entry);
}

void HBaseViewEx::ComputeNewField(float& width, float& height, const HPoint& point, const HCamera& camera)
{
    const float toTarget = HLength(camera.target - camera.position);
    // A degenerate camera has no scale to keep; leave the field as it is.
    if (!(toTarget > 0.0f))
        return;
    const float ratio = HLength(point - camera.position) / toTarget;
    width = camera.field_width * ratio;
    height = camera.field_height * ratio;
}

HPoint HBaseViewEx::ShellAverageNormal(HC_KEY shellKey)
{
    if (shellKey == 0 || !KeyValid(shellKey))
        return {};
    if (HC_Show_Key_Type(shellKey) != "shell")
        return {};
    int pointCount = 0, faceListLength = 0;
    HC_Show_Shell_Size(shellKey, &pointCount, &faceListLength);
    if (pointCount <= 0 || faceListLength <= 0)
        return {};
    std::vector<HPoint> points(static_cast<size_t>(pointCount));
    std::vector<int> faces(static_cast<size_t>(faceListLength));
    HC_Show_Shell(shellKey, &pointCount, points.data(), &faceListLength, faces.data());
    HPoint sum;
    int faceCount = 0;
    std::vector<HPoint> facePoints;
    for (int i = 0; i < faceListLength;) {
        const int count = faces[static_cast<size_t>(i)];
        const int n = count < 0 ? -count : count;
        if (i + 1 + n > faceListLength)
            break; // a truncated face list ends the walk
        if (count >= 3) {
            // Every vertex of the face counts; faces are not limited to a fixed buffer.
            facePoints.clear();
            for (int k = 0; k < n; ++k) {
                const int index = faces[static_cast<size_t>(i + 1 + k)];
                if (index >= 0 && index < pointCount)
                    facePoints.push_back(points[static_cast<size_t>(index)]);
            }
            if (facePoints.size() >= 3) {
                HPoint normal;
                HC_Compute_Polygon_Normal(static_cast<int>(facePoints.size()), facePoints.data(), "right", &normal);
                if (std::isfinite(normal.x) && std::isfinite(normal.y) && std::isfinite(normal.z))
                    sum += normal;
                ++faceCount;
            }
        }
        i += 1 + n;
    }
    if (faceCount == 0)
        return {};
    const HPoint mean = sum / static_cast<float>(faceCount);
    if (std::fabs(mean.x) + std::fabs(mean.y) + std::fabs(mean.z) < 0.1f)
        return {};
    return HNormalized(mean);
}

void HBaseViewEx::FitWorldToHOOPSSelection()
{
    HSelectionSet* selection = GetSelection();
    if (!selection || selection->GetSize() == 0 || !KeyValid(GetSceneKey()))
        return;
    const HC_KEY key = selection->GetSelectionSegment();
    if (!KeyValid(key))
        return;
    const std::string type = HC_Show_Key_Type(key);
    HPoint minimum, maximum, normal;
    if (type == "shell")
        normal = ShellAverageNormal(key);
    // The bounds of a single item are taken in its owner's coordinates directly, which gives
    // the box of moving it into a scratch subsegment without reordering the owner's items.
    if (!HC_Compute_Circumcuboid_By_Key(key, &minimum, &maximum))
        return;
    for (int axis = 0; axis < 3; ++axis)
        if ((&minimum.x)[axis] > (&maximum.x)[axis])
            std::swap((&minimum.x)[axis], (&maximum.x)[axis]);

    HC_Open_Segment_By_Key(GetSceneKey());
    HCamera before;
    char projection[4096] = "";
    HC_Show_Camera(&before.position, &before.target, &before.up_vector, &before.field_width,
                   &before.field_height, projection);
    std::snprintf(before.projection, sizeof(before.projection), "%s", projection);
    before.valid = true;

    const float diagonal = HLength(maximum - minimum);
    const HPoint center = (minimum + maximum) * 0.5f;
    const HPoint dir = HNormalized(before.target - before.position);
    if (diagonal > 0.0f) {
        const HPoint position = center - dir * (2.5f * diagonal);
        HC_Set_Camera_Position(position.x, position.y, position.z);
        HC_Set_Camera_Target(center.x, center.y, center.z);
        HC_Set_Camera_Field(diagonal, diagonal);
    } else {
        // A selection without extent (one point): centre on it and keep the distance and
        // field, since a camera on its own target with a zero field shows nothing.
        const HPoint position = center - dir * HLength(before.target - before.position);
        HC_Set_Camera_Position(position.x, position.y, position.z);
        HC_Set_Camera_Target(center.x, center.y, center.z);
    }
    HCamera after;
    HC_Show_Camera(&after.position, &after.target, &after.up_vector, &after.field_width,
                   &after.field_height, projection);
    if (normal != HPoint()) {
        const float distance = HLength(after.position - after.target);
        const HPoint position = after.target + normal * distance;
        HC_Set_Camera_Position(position.x, position.y, position.z);
        float matrix[16];
        HUtility::ComputeVectorToVectorRotationMatrix(matrix, before.position - before.target,
                                                      position - after.target);
        HPoint up;
        HC_Compute_Transformed_Points(1, &before.up_vector, matrix, &up);
        HC_Set_Camera_Up_Vector(up.x, up.y, up.z);
    }
    HCamera final;
    HC_Show_Camera(&final.position, &final.target, &final.up_vector, &final.field_width,
                   &final.field_height, projection);
    std::snprintf(final.projection, sizeof(final.projection), "%s", projection);
    final.valid = true;
    HC_Close_Segment();
    if (GetSmoothTransition())
        HUtility::SmoothTransition(before, final, this);
    CameraPositionChanged(true, GetSmoothTransition());
    Update();
}
