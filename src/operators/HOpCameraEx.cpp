#include "operators/HOpCameraEx.h"

#include "platform/hc/hc.h"
#include "platform/mvo/HBaseView.h"
#include "platform/mvo/HConstantFrameRate.h"

#include <cmath>

namespace ketra::operators {

bool IsZoomInKey(unsigned int key)
{
    return key == 0x2B || key == 0x3D || key == 0x6B;
}

bool IsZoomOutKey(unsigned int key)
{
    return key == 0x2D || key == 0x6D;
}

} // namespace ketra::operators

namespace {

using namespace ketra::operators;

struct CameraState {
    HPoint position, target, up;
    float width = 0, height = 0;
};

CameraState ShowCamera()
{
    CameraState camera;
    char projection[64] = {0};
    HC_Show_Camera(&camera.position, &camera.target, &camera.up, &camera.width, &camera.height,
                   projection);
    return camera;
}

// Orbit by an arrow key in the view's scene segment. Left and right first bring the target to
// the eye's level along the camera's up direction, so the turn is about the up axis through the
// target, and put the target back afterwards. A host's scene may be Y-up or Z-up; the camera's
// up vector says which.
bool OrbitByKey(HBaseView& view, unsigned int key, bool notify)
{
    double horizontal = 0.0, vertical = 0.0;
    switch (key) {
    case kKeyLeft: horizontal = -5.0; break;
    case kKeyRight: horizontal = 5.0; break;
    case kKeyUp: vertical = -5.0; break;
    case kKeyDown: vertical = 5.0; break;
    default: return false;
    }
    HC_Open_Segment_By_Key(view.GetSceneKey());
    const CameraState camera = ShowCamera();
    const bool level = horizontal != 0.0;
    if (level) {
        double ux = camera.up.x, uy = camera.up.y, uz = camera.up.z;
        const double length = std::sqrt(ux * ux + uy * uy + uz * uz);
        if (length > 0.0) {
            ux /= length, uy /= length, uz /= length;
        } else {
            ux = 0.0, uy = 0.0, uz = 1.0;
        }
        const double height = (camera.target.x - camera.position.x) * ux +
                              (camera.target.y - camera.position.y) * uy +
                              (camera.target.z - camera.position.z) * uz;
        HC_Set_Camera_Target(camera.target.x - height * ux, camera.target.y - height * uy,
                             camera.target.z - height * uz);
    }
    HC_Orbit_Camera(horizontal, vertical);
    if (level)
        HC_Set_Camera_Target(camera.target.x, camera.target.y, camera.target.z);
    if (notify)
        view.CameraPositionChanged(false, false);
    HC_Close_Segment();
    view.Update();
    return true;
}

// Field times 0.95 for the zoom-in key (0x6B), 1.05 for any other.
void ZoomByKey(HBaseView& view, unsigned int key)
{
    HC_Open_Segment_By_Key(view.GetSceneKey());
    const CameraState camera = ShowCamera();
    const double factor = key == kKeyZoomIn ? 0.95 : 1.05;
    HC_Set_Camera_Field(camera.width * factor, camera.height * factor);
    view.CameraPositionChanged(false, false);
    HC_Close_Segment();
    HC_Update_Display();
}

// Arrow keys call `move`, zoom keys call `zoom` with 0x6B or 0x6D.
template <class Move, class Zoom>
void RouteKey(unsigned int key, Move move, Zoom zoom)
{
    if (key == kKeyLeft || key == kKeyUp || key == kKeyRight || key == kKeyDown)
        move(key);
    else if (IsZoomInKey(key))
        zoom(kKeyZoomIn);
    else if (IsZoomOutKey(key))
        zoom(kKeyZoomOut);
}

} // namespace

// --- orbit

HOpCameraOrbitEx::HOpCameraOrbitEx(HBaseView* view, int doRepeat, int doCapture)
    : HOpCameraOrbit(view, doRepeat, doCapture)
{
}

const char* HOpCameraOrbitEx::GetName() { return "HOpCameraOrbitEx"; }

HBaseOperator* HOpCameraOrbitEx::Clone()
{
    return new HOpCameraOrbitEx(GetView(), GetDoRepeat(), GetDoCapture());
}

int HOpCameraOrbitEx::OnKeyDown(HEventInfo& event)
{
    RouteKey(event.GetChar(), [this](unsigned int k) { MoveCamera(k); },
             [this](unsigned int k) { ZoomCamera(k); });
    return HOpCameraOrbit::OnKeyDown(event);
}

int HOpCameraOrbitEx::MoveCamera(unsigned int key)
{
    if (!GetView())
        return 0;
    return OrbitByKey(*GetView(), key, true) ? 1 : 0;
}

int HOpCameraOrbitEx::ZoomCamera(unsigned int key)
{
    if (!GetView())
        return 0;
    ZoomByKey(*GetView(), key);
    return 1;
}

// --- pan

HOpCameraPanEx::HOpCameraPanEx(HBaseView* view, int doRepeat, int doCapture)
    : HOpCameraPan(view, doRepeat, doCapture)
{
}

const char* HOpCameraPanEx::GetName() { return "HOpCameraPanEx"; }

HBaseOperator* HOpCameraPanEx::Clone()
{
    return new HOpCameraPanEx(GetView(), GetDoRepeat(), GetDoCapture());
}

int HOpCameraPanEx::OnKeyDown(HEventInfo& event)
{
    RouteKey(event.GetChar(), [this](unsigned int k) { MoveCamera(k); },
             [this](unsigned int k) { ZoomCamera(k); });
    return HOpCameraPan::OnKeyDown(event);
}

int HOpCameraPanEx::MoveCamera(unsigned int key)
{
    HBaseView* view = GetView();
    if (!view)
        return 0;
    double theta = 0.0, phi = 0.0;
    switch (key) {
    case kKeyLeft: theta = -1.0; break;
    case kKeyUp: phi = -1.0; break;
    case kKeyRight: theta = 1.0; break;
    case kKeyDown: phi = 1.0; break;
    default: return 0;
    }
    HC_Open_Segment_By_Key(view->GetSceneKey());
    HC_Pan_Camera(theta, phi);
    view->CameraPositionChanged(false, false);
    HC_Close_Segment();
    view->Update();
    return 1;
}

int HOpCameraPanEx::ZoomCamera(unsigned int key)
{
    if (!GetView())
        return 0;
    ZoomByKey(*GetView(), key);
    return 1;
}

int HOpCameraPanEx::OnMButtonDown(HEventInfo& event)
{
    SetOperatorStarted(true);
    SetFirstPoint(event.GetMouseWorldPos());
    SetNewPoint(event.GetMouseWorldPos());
    return HOP_OK;
}

int HOpCameraPanEx::OnMButtonDownAndMove(HEventInfo& event)
{
    HBaseView* view = GetView();
    if (!OperatorStarted() || !view)
        return HOpCameraPan::OnMButtonDownAndMove(event);
    SetNewPoint(event.GetMouseWorldPos());
    const HPoint& first = GetFirstPoint();
    const HPoint& now = GetNewPoint();
    const HPoint delta(now.x - first.x, now.y - first.y, now.z - first.z);
    const HC_KEY scene = view->GetSceneKey();
    HPoint position, target, up;
    float width = 0, height = 0;
    char projection[64] = {0};
    HC_PShow_Net_Camera(1, &scene, &position, &target, &up, &width, &height, projection);
    HC_Open_Segment_By_Key(scene);
    HC_Set_Camera_Target(target.x - delta.x, target.y - delta.y, target.z - delta.z);
    HC_Set_Camera_Position(position.x - delta.x, position.y - delta.y, position.z - delta.z);
    HC_Close_Segment();
    view->CameraPositionChanged(false, false);
    view->Update();
    return HOP_OK;
}

int HOpCameraPanEx::OnMButtonUp(HEventInfo& event)
{
    HBaseView* view = GetView();
    if (!OperatorStarted() || !view)
        return HOpCameraPan::OnMButtonUp(event);
    SetOperatorStarted(false);
    view->CameraPositionChanged(true, true);
    return HOP_READY;
}

// --- zoom

HOpCameraZoomEx::HOpCameraZoomEx(HBaseView* view, int doRepeat, int doCapture)
    : HOpCameraZoom(view, doRepeat, doCapture)
{
}

const char* HOpCameraZoomEx::GetName() { return "HOpCameraZoomEx"; }

HBaseOperator* HOpCameraZoomEx::Clone()
{
    return new HOpCameraZoomEx(GetView(), GetDoRepeat(), GetDoCapture());
}

int HOpCameraZoomEx::OnKeyDown(HEventInfo& event)
{
    const unsigned int key = event.GetChar();
    if (IsZoomInKey(key))
        MoveCamera(kKeyZoomIn);
    else if (IsZoomOutKey(key))
        MoveCamera(kKeyZoomOut);
    return HOpCameraZoom::OnKeyDown(event);
}

int HOpCameraZoomEx::MoveCamera(unsigned int key)
{
    if (!GetView())
        return 0;
    ZoomByKey(*GetView(), key);
    return 1;
}

// --- zoom box

HOpCameraZoomBoxEx::HOpCameraZoomBoxEx(HBaseView* view, int doRepeat, int doCapture)
    : HOpCameraZoomBox(view, doRepeat, doCapture)
{
}

const char* HOpCameraZoomBoxEx::GetName() { return "HOpCameraZoomBoxEx"; }

HBaseOperator* HOpCameraZoomBoxEx::Clone()
{
    return new HOpCameraZoomBoxEx(GetView(), GetDoRepeat(), GetDoCapture());
}

int HOpCameraZoomBoxEx::OnLButtonDblClk(HEventInfo& event)
{
    return HBaseOperator::OnLButtonDblClk(event);
}

int HOpCameraZoomBoxEx::OnKeyDown(HEventInfo& event)
{
    RouteKey(event.GetChar(), [this](unsigned int k) { MoveCamera(k); },
             [this](unsigned int k) { ZoomCamera(k); });
    return HOpCameraZoomBox::OnKeyDown(event);
}

int HOpCameraZoomBoxEx::MoveCamera(unsigned int key)
{
    // Orbits like the orbit operator's keys, without telling the camera listeners.
    if (!GetView())
        return 0;
    return OrbitByKey(*GetView(), key, false) ? 1 : 0;
}

int HOpCameraZoomBoxEx::ZoomCamera(unsigned int key)
{
    if (!GetView())
        return 0;
    ZoomByKey(*GetView(), key);
    return 1;
}

// --- walk

HOpCameraWalkEx::HOpCameraWalkEx(HBaseView* view, int doRepeat, int doCapture)
    : HOpCameraWalk(view, doRepeat, doCapture)
{
    if (view)
        m_pConstantFrameRate = view->GetConstantFrameRateObject();
    if (m_pConstantFrameRate)
        m_pConstantFrameRate->Stop();
}

HOpCameraWalkEx::~HOpCameraWalkEx()
{
    if (m_pConstantFrameRate)
        m_pConstantFrameRate->Start();
}

const char* HOpCameraWalkEx::GetName() { return "HOpCameraWalkEx"; }

HBaseOperator* HOpCameraWalkEx::Clone()
{
    return new HOpCameraWalkEx(GetView(), GetDoRepeat(), GetDoCapture());
}
