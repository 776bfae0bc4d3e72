#include "platform/mvo/HBaseView.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "platform/hc/CameraMath.h"
#include "platform/hc/HcStrings.h"
#include "platform/mvo/HBaseModel.h"
#include "platform/mvo/HBaseOperator.h"
#include "platform/mvo/HConstantFrameRate.h"
#include "platform/mvo/HEventInfo.h"
#include "platform/mvo/HMarkupManager.h"
#include "platform/mvo/HSelectionSet.h"
#include "platform/mvo/HTManager.h"
#include "platform/mvo/HUtility.h"
#include "platform/render/Renderer.h"

namespace cm = ketra::hc::CameraMath;

namespace {

// Directions towards the default lights in viewpoint space (x right, y up, the eye at -z).
constexpr double kHeadlight[3] = {-0.3, 0.4, -1.0};
constexpr double kFillLight[3] = {0.6, -0.4, -0.7};

int g_viewCounter = 0;
bool g_autoInstallDisplayDriver = true;

bool KeyValid(HC_KEY key) { return key != -1 && HC_Show_Existence_By_Key(key, "self") > 0; }

cm::Camera ToMath(const HCamera& camera)
{
    cm::Camera c;
    c.position = {camera.position.x, camera.position.y, camera.position.z};
    c.target = {camera.target.x, camera.target.y, camera.target.z};
    c.up = {camera.up_vector.x, camera.up_vector.y, camera.up_vector.z};
    c.width = camera.field_width;
    c.height = camera.field_height;
    if (std::strncmp(camera.projection, "perspective", 11) == 0)
        c.projection = cm::Projection::Perspective;
    else if (std::strncmp(camera.projection, "stretched", 9) == 0)
        c.projection = cm::Projection::Stretched;
    else
        c.projection = cm::Projection::Orthographic;
    return c;
}

HPoint ToPoint(const cm::Vec3& v)
{
    return {static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z)};
}
cm::Vec3 ToVec(const HPoint& p) { return {p.x, p.y, p.z}; }

// Eye direction (from the target towards the eye) and up vector of a standard view.
bool StandardView(ViewMode mode, HPoint& eye, HPoint& up)
{
    up.Set(0, 0, 1);
    switch (mode) {
    case HViewFront: case HViewXY: eye.Set(0, -1, 0); return true;
    case HViewBack: case HViewYX: eye.Set(0, 1, 0); return true;
    case HViewRight: case HViewYZ: eye.Set(1, 0, 0); return true;
    case HViewLeft: case HViewZY: eye.Set(-1, 0, 0); return true;
    case HViewTop: case HViewZX: eye.Set(0, 0, 1); up.Set(0, 1, 0); return true;
    case HViewBottom: case HViewXZ: eye.Set(0, 0, -1); up.Set(0, -1, 0); return true;
    case HViewIso: case HViewIsoSE: eye = HNormalized({1, -1, 1}); return true;
    case HViewIsoSW: eye = HNormalized({-1, -1, 1}); return true;
    case HViewIsoNE: eye = HNormalized({1, 1, 1}); return true;
    case HViewIsoNW: eye = HNormalized({-1, 1, 1}); return true;
    default: return false;
    }
}

void BuildAxisTriad()
{
    // Three unit axes from the origin with their letters; the triad window's own camera
    // turns with the view's.
    struct Axis { const char* name; const char* color; HPoint end; };
    const Axis axes[] = {{"x", "red", {1, 0, 0}}, {"y", "green", {0, 1, 0}}, {"z", "blue", {0, 0, 1}}};
    for (const Axis& axis : axes) {
        HC_Open_Segment(axis.name);
        const std::string color = std::string("lines = ") + axis.color + ", text = " + axis.color;
        HC_Set_Color(color.c_str());
        HC_Insert_Line(0, 0, 0, axis.end.x, axis.end.y, axis.end.z);
        char label[2] = {static_cast<char>(axis.name[0] - 'a' + 'A'), 0};
        HC_Insert_Text(axis.end.x * 1.2, axis.end.y * 1.2, axis.end.z * 1.2, label);
        HC_Close_Segment();
    }
    HC_Set_Line_Weight(2.0);
}

} // namespace

HBaseView::HBaseView(HBaseModel* model, const char* alias, const char* driverType,
                     const char* instanceName, long windowHandle, long colorMap, void*, void*,
                     const char*)
    : m_model(model), m_windowHandle(windowHandle), m_colorMap(colorMap)
{
    // The default lights are a headlight and a fill in camera space (Init).
    m_lightFollowsCamera = true;
    ++g_viewCounter;
    if (instanceName && *instanceName)
        m_alias = instanceName;
    else if (alias && *alias)
        m_alias = alias;
    else
        m_alias = "view" + std::to_string(g_viewCounter);
    // Segment names may not contain the path separator.
    std::replace(m_alias.begin(), m_alias.end(), '/', '_');
    m_driverType = (driverType && *driverType) ? driverType : "null";
    m_headless = strcasecmp(m_driverType.c_str(), "null") == 0;
    m_frameRate = std::make_unique<HConstantFrameRate>(this);
}

HBaseView::~HBaseView()
{
    m_restTimer.reset();
    if (KeyValid(m_viewKey))
        ketra::render::SetFrameListener(m_viewKey, {});
    m_eventManager.EmitViewDestroyed(this);
    delete m_operator;
    m_operator = nullptr;
    delete m_selection;
    m_selection = nullptr;
    m_markupManager.reset();
    if (KeyValid(m_viewKey)) {
        ketra::render::SetReducedResolution(m_viewKey, false);  // a motion cut short
        HC_Delete_By_Key(m_viewKey);
    }
}

void HBaseView::SetAutoInstallDisplayDriver(bool on) { g_autoInstallDisplayDriver = on; }

void HBaseView::Init()
{
    if (m_initialised)
        return;
    m_initialised = true;
    if (m_model && m_model->GetModelKey() == -1)
        m_model->Init();

    std::string path = "/driver/" + m_driverType + "/" + m_alias;
    for (int n = 2; HC_QShow_Existence(path.c_str(), "self") > 0; ++n)
        path = "/driver/" + m_driverType + "/" + m_alias + "_" + std::to_string(n);
    m_displayPath = path;

    m_viewKey = HC_Open_Segment(path.c_str());
    ketra::render::SetFrameListener(m_viewKey, [this](const ketra::render::FrameTimings&) { FrameShown(); });
    HC_Set_Color("windows = white, window contrast = black");

    m_sceneKey = HC_Open_Segment("scene");
    HC_Set_Color("faces = gray, edges = black, lines = black, markers = black, text = black");
    HC_Set_Visibility("faces = on, edges = off, lines = on, markers = off, text = on");
    HC_Set_Heuristics(m_backplaneCulling ? "backplane cull" : "no backplane cull");
    HC_Set_Handedness(m_handedness == HandednessLeft ? "left" : "right");
    m_overwriteKey = HC_Create_Segment("overwrite");
    m_includeLinkKey = HC_Open_Segment("model");
    if (m_model && m_model->GetModelKey() != -1)
        HC_Include_Segment_By_Key(m_model->GetModelKey());
    HC_Close_Segment();
    // The lights ride with the camera, so every standard view (back, bottom and left as much
    // as front, top and right) is lit alike: a headlight a little above and left of the eye,
    // and a dim fill from below right so faces turned away from the headlight keep their form.
    m_lightsKey = HC_Open_Segment("lights");
    HC_Insert_Distant_Light(kHeadlight[0], kHeadlight[1], kHeadlight[2]);
    HC_Set_Visibility("lights = (faces = on, edges = off, markers = off)");
    HC_Set_Rendering_Options(m_lightFollowsCamera ? "light follows camera = on"
                                                  : "light follows camera = off");
    HC_Open_Segment("fill");
    HC_Insert_Distant_Light(kFillLight[0], kFillLight[1], kFillLight[2]);
    HC_Set_Color("lights = (r=0.35 g=0.35 b=0.35)");
    HC_Close_Segment();
    HC_Close_Segment();
    m_cuttingPlanesKey = HC_Create_Segment("cutting planes");
    m_cuttingPlaneGeomKey = HC_Create_Segment("cutting plane geometry");
    m_markupKey = HC_Create_Segment("markup");
    // The centre triad lives in the scene so the view's camera places it at the target; it is
    // neither selectable nor part of the model's extents.
    m_centerAxisKey = HC_Open_Segment("axis center");
    BuildAxisTriad();
    HC_Set_Visibility("everything = off");
    HC_Set_Selectability("everything = off");
    HC_Close_Segment();
    HC_Close_Segment(); // scene

    // Window space: a stretched camera makes world coordinates equal local window
    // coordinates, so overlays (ink, rubber bands) are drawn where the cursor is.
    m_windowspaceKey = HC_Open_Segment("windowspace");
    const float eye[3] = {0, 0, 5}, at[3] = {0, 0, 0}, upv[3] = {0, 1, 0};
    HC_Set_Camera(eye, at, upv, 2.0, 2.0, "stretched");
    HC_Set_Visibility("lines = on, markers = on, text = on, faces = on, edges = on");
    HC_Close_Segment();

    m_axisKey = HC_Open_Segment("axis");
    BuildAxisTriad();
    HC_Set_Visibility("everything = off");
    HC_Close_Segment();
    m_cornerAxisSet.reset();
    m_centerAxisSet.reset();

    HC_Close_Segment(); // view

    if (!m_selection) {
        m_selection = new HSelectionSet(this);
        m_selection->Init();
    }
    m_markupManager = std::make_unique<HMarkupManager>(this, m_markupKey);

    if (g_autoInstallDisplayDriver)
        ketra::render::InstallDisplayDriver();
    SetRenderMode(m_renderMode);
    SetViewMode(HViewIso, false, true);
    GetCamera(m_initialCamera);
    AdjustAxisWindowEx();
}

void HBaseView::Update()
{
    if (!KeyValid(m_viewKey))
        return;
    // Motion detail: while the camera moves, the constant-frame-rate object sees each frame's
    // time and coarsens the next frames to hold its rate; the first frame with the camera at
    // rest is drawn at full detail again.
    HCamera camera;
    GetCamera(camera);
    const bool moving = m_motionCamera.valid && camera.CameraDifferent(m_motionCamera);
    m_motionCamera = camera;
    // The frame drawn of this view since the last Update: inside that Update's
    // HC_Update_Display when drawn offscreen, or painted since by the window showing it.
    const ketra::render::FrameTimings* drawn = ketra::render::DisplayFrameTimings(m_viewKey);
    const bool newFrame = drawn && drawn->frame != m_seenFrame;
    if (newFrame)
        m_seenFrame = drawn->frame;
    if (m_frameRate && m_frameRate->GetActive()) {
        const int level = m_frameRate->GetDetailLevel();
        const double drawnSeconds = drawn ? drawn->walkSeconds + drawn->drawSeconds + drawn->readSeconds : 0;
        if (moving && newFrame) {
            // The frame after a change of level paid for the change (a new walk, new meshes
            // and buffers): it says nothing about the level's own speed.
            if (!m_levelJustChanged)
                m_frameRate->Watch(static_cast<float>(drawnSeconds));
            else
                m_frameRate->WatchFirstAtLevel(static_cast<float>(drawn->drawSeconds));
            m_levelJustChanged = m_frameRate->GetDetailLevel() != level;
            m_restFrameSeconds = 0;
        } else if (moving && m_restFrameSeconds > 0) {
            // The motion starts after an Update at rest took in the full-detail frame (a
            // window's exposure): that frame is what this one would cost at full detail, so
            // it is judged now, before a slow first motion frame is drawn.
            m_frameRate->Watch(static_cast<float>(m_restFrameSeconds));
            m_levelJustChanged = m_frameRate->GetDetailLevel() != level;
            m_restFrameSeconds = 0;
        } else if (!moving && (newFrame || !drawn)) {
            // The camera rests where the last frame showed it. The full-detail frame after
            // this is a plain level-0 frame, judged as such when the next motion starts.
            m_frameRate->EndMotion();
            m_levelJustChanged = false;
            if (newFrame && m_requestedLevel == 0)
                m_restFrameSeconds = drawnSeconds;
        }
        // Otherwise a frame was asked for and the window has not painted it yet (an Update
        // from an exposure, between two motion events): nothing to judge, and no rest.
    }
    m_requestedLevel = m_frameRate ? m_frameRate->GetDetailLevel() : 0;
    HC_Update_Display();
    // A reduced frame must not stay on screen when the motion simply stops: each motion frame
    // (re)starts the countdown to the frame at rest.
    if (m_frameRate && m_frameRate->GetDetailLevel() > 0)
        ArmRestTimer();
    else if (m_restTimer)
        HTManager::Instance()->UnRegisterClient(m_restTimer.get());
}

void HBaseView::ArmRestTimer()
{
    if (!m_restTimer)
        m_restTimer = std::make_unique<HTClient>(kMotionRestSeconds, HTCS_Once, MotionRestTick, this);
    HTManager* timers = HTManager::Instance();
    timers->UnRegisterClient(m_restTimer.get());
    timers->RegisterClient(m_restTimer.get());
    // The manager's clock stands at its last tick, and a long frame holds the ticks up: the
    // countdown starts now.
    const float now = std::max(timers->GetCurrentTime(), HUtility::GetTime());
    m_restTimer->SetNextRequest(now + kMotionRestSeconds);
}

void HBaseView::FrameShown()
{
    // The rest after a motion counts from when its last frame was shown: a window paints
    // after the Update that asked for the frame, and a paint that took longer than the
    // countdown holds up the next motion event behind it, which is no rest.
    if (m_frameRate && m_frameRate->GetDetailLevel() > 0)
        ArmRestTimer();
}

bool HBaseView::MotionRestTick(float, float, void* data)
{
    // The camera has not moved since the last motion frame was asked for and shown, so this
    // is the frame at rest: full detail.
    HBaseView* view = static_cast<HBaseView*>(data);
    if (view->m_frameRate)
        view->m_frameRate->EndMotion();
    view->m_levelJustChanged = false;
    view->Update();
    return true;
}

HC_KEY HBaseView::GetModelKey() const { return m_model ? m_model->GetModelKey() : -1; }

void HBaseView::GetWindowSizeInPixels(int& width, int& height) const
{
    width = 800;
    height = 600;
    if (m_displayPath.empty() || !KeyValid(m_viewKey))
        return;
    const std::string data = HC_Show_Device_Info(m_displayPath.c_str(), "pixels");
    int w = 0, h = 0;
    if (std::sscanf(data.c_str(), "%d , %d", &w, &h) == 2 && w > 0 && h > 0) {
        width = w;
        height = h;
    }
}

void HBaseView::SetWindowSizeInPixels(int width, int height)
{
    if (!KeyValid(m_viewKey) || width <= 0 || height <= 0)
        return;
    int oldWidth = 0, oldHeight = 0;
    GetWindowSizeInPixels(oldWidth, oldHeight);
    const std::string options = "window size = (" + std::to_string(width) + " pixels, " +
                                std::to_string(height) + " pixels)";
    HC_Open_Segment_By_Key(m_viewKey);
    HC_Set_Driver_Options(options.c_str());
    HC_Close_Segment();
    AdjustAxisWindowEx();
    if (oldWidth != width || oldHeight != height)
        m_eventManager.EmitWindowResized(this);
}

double HBaseView::GetWindowAspect() const
{
    int w = 0, h = 0;
    GetWindowSizeInPixels(w, h);
    return (w > 0 && h > 0) ? static_cast<double>(w) / h : 1.0;
}

void HBaseView::SetOperator(HBaseOperator* op) { m_operator = op; }

int HBaseView::InjectEvent(HEventInfo& event)
{
    m_eventManager.EmitMouseEvent(event);
    int result = HOP_NOT_HANDLED;
    if (m_operator)
        result = HBaseOperator::Dispatch(*m_operator, event);
    // The wheel zooms whatever tool is current, unless the tool uses the wheel itself.
    if (result == HOP_NOT_HANDLED && event.GetType() == HE_MouseWheel)
        return OnMouseWheel(event);
    return result;
}

void HBaseView::SetSelection(HSelectionSet* selection)
{
    if (selection == m_selection)
        return;
    delete m_selection;
    m_selection = selection;
}

void HBaseView::SetRenderMode(HRenderMode mode, bool emitMessage)
{
    const HRenderMode previous = m_renderMode;
    m_renderMode = mode;
    if (!KeyValid(m_sceneKey))
        return;
    HC_Open_Segment_By_Key(m_sceneKey);
    if (previous == HRenderMarkers && mode != HRenderMarkers) {
        // Leave marker mode: drop the options it set (and nothing else).
        for (const char* option : {"lod", "lodo", "lighting interpolation"})
            if (HC_Show_Existence((std::string("rendering options = ") + option).c_str()) > 0)
                HC_UnSet_One_Rendering_Option(option);
    }
    if (mode == HRenderMarkers)
        HC_Set_Rendering_Options("lod = on, lodo = (clamp = 2), no lighting interpolation");
    HC_Close_Segment();
    ketra::render::SetRenderMode(m_viewKey, static_cast<int>(mode));
    // The mode is not part of the scene graph, so the display would not see it change.
    HC_Control_Update_By_Key(m_viewKey, "redraw everything");
    if (emitMessage)
        m_eventManager.EmitCameraChanged(this);
}

void HBaseView::SetProjMode(HProjMode mode)
{
    if (mode != ProjPerspective && mode != ProjOrthographic && mode != ProjStretched)
        return;
    m_projMode = mode;
    ApplyProjection();
}

void HBaseView::ApplyProjection()
{
    if (!KeyValid(m_sceneKey))
        return;
    const char* name = m_projMode == ProjPerspective  ? "perspective"
                       : m_projMode == ProjStretched ? "stretched"
                                                     : "orthographic";
    HC_Open_Segment_By_Key(m_sceneKey);
    HC_Set_Camera_Projection(name);
    HC_Close_Segment();
}

bool HBaseView::ComputeSceneExtents(HPoint& minimum, HPoint& maximum) const
{
    if (KeyValid(m_includeLinkKey) && HC_Compute_Circumcuboid_By_Key(m_includeLinkKey, &minimum, &maximum))
        return true;
    const HC_KEY model = GetModelKey();
    return KeyValid(model) && HC_Compute_Circumcuboid_By_Key(model, &minimum, &maximum);
}

HCamera HBaseView::FitCameraToBox(const HPoint& minimum, const HPoint& maximum,
                                  const HPoint& eyeDirection, const HPoint& up) const
{
    HCamera camera;
    GetCamera(camera);
    const HPoint center = (minimum + maximum) * 0.5f;
    float diagonal = HLength(maximum - minimum);
    // A box without size (one point) still needs a usable field.
    if (!(diagonal > 1e-6f))
        diagonal = 1.0f;
    camera.target = center;
    camera.position = center + HNormalized(eyeDirection) * (2.5f * diagonal);
    camera.up_vector = up;
    // The field is the box as seen along the view direction, with a margin of 5% on each
    // side, so the model fills the window rather than the sphere around it.
    const HPoint forward = HNormalized(HPoint(0, 0, 0) - eyeDirection);
    HPoint right = HCross(forward, up);
    if (!(HLength(right) > 1e-6f))
        right = HCross(forward, std::fabs(forward.z) < 0.9f ? HPoint(0, 0, 1) : HPoint(1, 0, 0));
    right = HNormalized(right);
    const HPoint upward = HNormalized(HCross(right, forward));
    float across = 0, high = 0;
    for (int corner = 0; corner < 8; ++corner) {
        const HPoint p((corner & 1) ? maximum.x : minimum.x, (corner & 2) ? maximum.y : minimum.y,
                       (corner & 4) ? maximum.z : minimum.z);
        across = std::max(across, std::fabs(HDot(p - center, right)));
        high = std::max(high, std::fabs(HDot(p - center, upward)));
    }
    const float margin = 1.1f;
    if (!(across > 1e-6f * diagonal) && !(high > 1e-6f * diagonal))
        across = high = 0.5f * diagonal / margin;  // a point: a field of the usable size above
    camera.field_width = std::max(2 * across * margin, 1e-3f * diagonal);
    camera.field_height = std::max(2 * high * margin, 1e-3f * diagonal);
    camera.valid = true;
    return camera;
}

void HBaseView::SetViewMode(ViewMode mode, bool emitMessage, bool fitWorld)
{
    HPoint eye, up;
    if (!StandardView(mode, eye, up)) {
        m_viewMode = mode;
        return;
    }
    HCamera oldCamera;
    GetCamera(oldCamera);
    HCamera camera;
    if (fitWorld) {
        HPoint minimum(-1, -1, -1), maximum(1, 1, 1);
        ComputeSceneExtents(minimum, maximum);
        camera = FitCameraToBox(minimum, maximum, eye, up);
    } else {
        camera = oldCamera;
        const float distance = std::max(oldCamera.Distance(), 1e-6f);
        camera.position = camera.target + eye * distance;
        camera.up_vector = up;
    }
    m_viewMode = mode;
    if (m_smoothTransition && !m_headless)
        HUtility::SmoothTransition(oldCamera, camera, this);
    else
        SetCamera(camera);
    CameraPositionChanged(emitMessage, m_smoothTransition);
}

void HBaseView::ZoomToExtents()
{
    HCamera oldCamera;
    GetCamera(oldCamera);
    HPoint minimum(-1, -1, -1), maximum(1, 1, 1);
    ComputeSceneExtents(minimum, maximum);
    HPoint eye = oldCamera.position - oldCamera.target;
    if (HLength(eye) <= 0.0f)
        eye.Set(0, 0, 1);
    HCamera camera = FitCameraToBox(minimum, maximum, eye, oldCamera.up_vector);
    if (m_smoothTransition && !m_headless)
        HUtility::SmoothTransition(oldCamera, camera, this);
    else
        SetCamera(camera);
    m_initialCamera = camera;
    CameraPositionChanged(true, m_smoothTransition);
}

void HBaseView::FitWorld()
{
    const bool smooth = m_smoothTransition;
    m_smoothTransition = false;
    ZoomToExtents();
    m_smoothTransition = smooth;
}

void HBaseView::ZoomToInitialCamera()
{
    if (!m_initialCamera.valid)
        return;
    SetCamera(m_initialCamera);
    CameraPositionChanged(true);
}

void HBaseView::GetCamera(HCamera& camera) const
{
    if (KeyValid(m_sceneKey))
        camera.GetFromSegment(m_sceneKey);
    else
        camera.InvalidateCamera();
}

void HBaseView::SetCamera(const HCamera& camera)
{
    if (KeyValid(m_sceneKey))
        camera.SetToSegment(m_sceneKey);
}

HPoint HBaseView::WindowToWorld(const HPoint& window) const
{
    HCamera camera;
    GetCamera(camera);
    if (!camera.valid)
        return window;
    cm::Matrix4 inverse;
    if (!cm::Invert(cm::WorldToWindow(ToMath(camera), GetWindowAspect()), inverse))
        return camera.target;
    return ToPoint(cm::TransformPoint(inverse, ToVec(window)));
}

HPoint HBaseView::WorldToWindow(const HPoint& world) const
{
    HCamera camera;
    GetCamera(camera);
    if (!camera.valid)
        return world;
    return ToPoint(cm::TransformPoint(cm::WorldToWindow(ToMath(camera), GetWindowAspect()), ToVec(world)));
}

HPoint HBaseView::WorldToViewpoint(const HPoint& world) const
{
    HCamera camera;
    GetCamera(camera);
    if (!camera.valid)
        return world;
    return ToPoint(cm::TransformPoint(cm::WorldToViewpoint(ToMath(camera)), ToVec(world)));
}

HPoint HBaseView::ViewpointToWorld(const HPoint& viewpoint) const
{
    HCamera camera;
    GetCamera(camera);
    if (!camera.valid)
        return viewpoint;
    cm::Matrix4 inverse;
    if (!cm::Invert(cm::WorldToViewpoint(ToMath(camera)), inverse))
        return camera.position;
    return ToPoint(cm::TransformPoint(inverse, ToVec(viewpoint)));
}

void HBaseView::CameraPositionChanged(bool emitMessage, bool)
{
    ++m_cameraChanges;
    m_geometryChanged = true;
    AdjustAxisWindowEx();
    (void)emitMessage;
    // Listeners (overview operators, linked views) always hear about camera moves; the
    // message flag matters only for collaboration hosts, which register as listeners too.
    m_eventManager.EmitCameraChanged(this);
}

void HBaseView::SetHandedness(HandednessMode handedness, bool emitMessage)
{
    if (handedness != HandednessLeft && handedness != HandednessRight)
        return;
    m_handedness = handedness;
    if (KeyValid(m_sceneKey)) {
        HC_Open_Segment_By_Key(m_sceneKey);
        HC_Set_Handedness(handedness == HandednessLeft ? "left" : "right");
        HC_Close_Segment();
    }
    if (emitMessage)
        m_eventManager.EmitCameraChanged(this);
}

void HBaseView::SetAxisMode(AxisMode mode)
{
    if (mode < AxisOff || mode > AxisOnAndCenter)
        mode = AxisOff;
    m_axisMode = mode;
    AdjustAxisWindowEx();
}

void HBaseView::AdjustAxisWindowEx()
{
    if (!KeyValid(m_axisKey))
        return;
    const bool corner = m_axisMode == AxisOn || m_axisMode == AxisOnAndCenter;
    const bool center = m_axisMode == AxisCenter || m_axisMode == AxisOnAndCenter;
    int w = 0, h = 0;
    GetWindowSizeInPixels(w, h);
    const double side = 0.2 * std::min(w, h);
    const double dx = 2.0 * side / w, dy = 2.0 * side / h;
    HCamera camera;
    GetCamera(camera);
    HC_Open_Segment_By_Key(m_axisKey);
    AxisPlacement cornerSet;
    cornerSet.width = dx;
    cornerSet.height = dy;
    cornerSet.corner = corner;
    if (m_cornerAxisSet != cornerSet) {
        HC_Set_Window(-1.0, -1.0 + dx, -1.0, -1.0 + dy);
        HC_Set_Visibility(corner ? "everything = off, lines = on, text = on" : "everything = off");
        m_cornerAxisSet = cornerSet;
    }
    if (camera.valid) {
        const HPoint dir = camera.ViewDirection();
        const HPoint eye = HLength(dir) > 0 ? dir * -5.0f : HPoint(0, 0, 5);
        const HPoint origin(0, 0, 0);
        HC_Set_Camera(&eye, &origin, &camera.up_vector, 2.8, 2.8, "orthographic");
    }
    HC_Close_Segment();

    if (!KeyValid(m_centerAxisKey))
        return;
    AxisPlacement centerSet;
    centerSet.center = center && camera.valid;
    if (centerSet.center) {
        // A fifth of the smaller side of the field, so the triad keeps its size on screen
        // as the user zooms.
        centerSet.size = 0.2f * std::min(camera.field_width, camera.field_height);
        centerSet.target = camera.target;
    }
    if (m_centerAxisSet == centerSet)
        return;
    m_centerAxisSet = centerSet;
    HC_Open_Segment_By_Key(m_centerAxisKey);
    HC_UnSet_Modelling_Matrix();
    if (centerSet.center) {
        HC_Scale_Object(centerSet.size, centerSet.size, centerSet.size);
        HC_Translate_Object(camera.target.x, camera.target.y, camera.target.z);
        HC_Set_Visibility("everything = off, lines = on, text = on");
    } else {
        HC_Set_Visibility("everything = off");
    }
    HC_Close_Segment();
}

void HBaseView::SetHideOverlappedText(bool on)
{
    m_hideOverlappedText = on;
    if (!KeyValid(m_sceneKey))
        return;
    HC_Open_Segment_By_Key(m_sceneKey);
    HC_Set_Heuristics(on ? "hide overlapped text" : "no hide overlapped text");
    HC_Close_Segment();
}

void HBaseView::SetBackplaneCulling(bool on)
{
    m_backplaneCulling = on;
    if (!KeyValid(m_sceneKey))
        return;
    HC_Open_Segment_By_Key(m_sceneKey);
    HC_Set_Heuristics(on ? "backplane cull" : "no backplane cull");
    HC_Close_Segment();
}

void HBaseView::SetLightFollowsCamera(bool on)
{
    m_lightFollowsCamera = on;
    if (!KeyValid(m_lightsKey))
        return;
    HC_Open_Segment_By_Key(m_lightsKey);
    HC_Set_Rendering_Options(on ? "light follows camera = on" : "light follows camera = off");
    HC_Close_Segment();
}

HFileOutputResult HBaseView::FileOutput(const char* fileName, HOutputHandler* handler,
                                        HOutputHandlerOptions* options)
{
    if (!fileName || !*fileName)
        return OutputBadFileName;
    if (!handler)
        handler = HIOManager::Instance()->GetOutputHandler(fileName);
    if (!handler || !KeyValid(m_viewKey))
        return OutputNotHandled;
    HOutputHandlerOptions defaults;
    if (!options) {
        int w = 0, h = 0;
        GetWindowSizeInPixels(w, h);
        defaults.m_Pixel_Width = w;
        defaults.m_Pixel_Height = h;
        options = &defaults;
    }
    if (!options->m_pHBaseView)
        options->m_pHBaseView = this;
    return handler->FileOutputByKey(fileName, m_viewKey, options);
}

int HBaseView::OnMouseWheel(HEventInfo& event)
{
    HCamera camera;
    GetCamera(camera);
    if (!camera.valid || event.GetMouseWheelDelta() == 0.0f)
        return HOP_NOT_HANDLED;
    // One notch (120) narrows the field by 10 %; the point under the cursor stays put.
    const float notches = event.GetMouseWheelDelta() / 120.0f;
    const float factor = std::pow(0.9f, notches);
    const HPoint grabbed = WindowToWorld(HPoint(event.GetMouseWindowPos().x, event.GetMouseWindowPos().y, 0));
    const HPoint newTarget = grabbed - (grabbed - camera.target) * factor;
    const HPoint shift = newTarget - camera.target;
    camera.target = newTarget;
    camera.position += shift;
    camera.field_width *= factor;
    camera.field_height *= factor;
    SetCamera(camera);
    CameraPositionChanged();
    Update();
    return HOP_OK;
}
