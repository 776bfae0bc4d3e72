#include "operators/HSOpCameraWalk.h"

#include <algorithm>
#include <cmath>

#include "platform/hc/hc.h"
#include "platform/mvo/HBaseView.h"
#include "platform/mvo/HTManager.h"

namespace {

constexpr float kDegreesPerRadian = 57.2957763671875f;
constexpr float kDragDistanceDivisor = 4.0f; // a full drag walks the speed in 4 s
constexpr float kKeyDistanceDivisor = 15.0f; // a held key walks the speed in 15 s
constexpr float kDragTurnDegrees = 1.5f;     // per tick at a turn rate of 1

bool WalkTimerTick(float, float, void* walk) {
    static_cast<HSOpCameraWalk*>(walk)->OnWalk(0.0f, 0.0f);
    return true;
}

float Now() {
    return HTManager::Instance()->GetCurrentTime();
}

struct SceneCamera {
    HPoint position, target, up;
};

// Camera of the open segment (its net camera when it has none of its own).
SceneCamera ShowCamera() {
    SceneCamera camera;
    float width = 0.0f, height = 0.0f;
    char projection[64] = "";
    HC_Show_Camera(&camera.position, &camera.target, &camera.up, &width, &height, projection);
    return camera;
}

} // namespace

HSOpCameraWalk::HSOpCameraWalk(HBaseView* view, int doRepeat, int doCapture)
    : HBaseOperator(view, doRepeat, doCapture), m_lastTime(Now()) {
    m_timer = std::make_unique<HTClient>(kTickSeconds, HTCS_PeriodicSkip, WalkTimerTick, this);
    HTManager::Instance()->RegisterClient(m_timer.get());
    if (!m_pView)
        return;

    HC_Open_Segment_By_Key(m_pView->GetSceneKey());
    const SceneCamera camera = ShowCamera();
    HC_Close_Segment();
    const HPoint gaze = camera.target - camera.position;
    const float length = HLength(gaze);
    if (length > 0.0f) {
        const float horizontal = HLength(HPoint(gaze.x, gaze.y, 0.0f));
        m_tilt = std::acos(std::clamp(horizontal / length, 0.0f, 1.0f)) * kDegreesPerRadian;
        if (camera.position.z > camera.target.z)
            m_tilt = -m_tilt;
        m_tilt = std::clamp(m_tilt, -kMaxTilt, kMaxTilt);
    }
    ResetPosition();
    m_pView->CameraPositionChanged(false, false);
    m_pView->Update();
}

HSOpCameraWalk::~HSOpCameraWalk() {
    // HTClient's destructor unregisters it; done here too so no tick can reach a half-destroyed
    // operator.
    HTManager::Instance()->UnRegisterClient(m_timer.get());
}

const char* HSOpCameraWalk::GetName() {
    return "HSOpCameraWalk";
}

HBaseOperator* HSOpCameraWalk::Clone() {
    return new HSOpCameraWalk(m_pView, m_doRepeat, m_doCapture);
}

float HSOpCameraWalk::DeadZone(float offset) {
    return std::fabs(offset) >= kDeadZone ? offset : 0.0f;
}

bool HSOpCameraWalk::KeyDown(unsigned int virtualKey) const {
    return m_pView && m_pView->GetKeyState(virtualKey);
}

void HSOpCameraWalk::ReadCamera() {
    HC_Open_Segment_By_Key(m_pView->GetSceneKey());
    const SceneCamera camera = ShowCamera();
    HC_Close_Segment();
    m_position = camera.position;
    m_target = camera.target;
    m_upVector = camera.up;
}

double HSOpCameraWalk::CalculateExtents() {
    m_speed = 0.0;
    if (!m_pView)
        return 0.0;
    ReadCamera();
    // The walked-through model only: the view's own furniture (axis triads, rubber bands,
    // an overview's camera pointer) would give an empty model a speed.
    HPoint minimum(0.1f, 0.1f, 0.1f), maximum(-0.1f, -0.1f, -0.1f);
    const HC_KEY link = m_pView->GetIncludeLinkKey();
    if (link != -1 && HC_Show_Existence_By_Key(link, "self") > 0)
        HC_Compute_Circumcuboid_By_Key(link, &minimum, &maximum);
    const HPoint size = maximum - minimum;
    m_speed = std::max({0.0, double(size.x), double(size.y), double(size.z)});
    return m_speed;
}

void HSOpCameraWalk::ResetPosition() {
    if (!m_pView)
        return;
    HC_Open_Segment_By_Key(m_pView->GetSceneKey());
    const SceneCamera camera = ShowCamera();
    const HPoint gaze = camera.target - camera.position;
    const float length = HLength(gaze);
    HPoint heading(gaze.x, gaze.y, 0.0f);
    if (HLength(heading) < 0.0001f)
        heading = HPoint(1.0f, 0.0f, 0.0f);
    heading = HNormalized(heading);
    const HPoint target = camera.position + heading * length;
    HC_Set_Camera_Target(target.x, target.y, target.z);
    HC_Set_Camera_Up_Vector(0.0, 0.0, 1.0);
    HC_Close_Segment();
}

void HSOpCameraWalk::Level() {
    if (!m_pView)
        return;
    HC_Open_Segment_By_Key(m_pView->GetSceneKey());
    const SceneCamera camera = ShowCamera();
    HC_Set_Camera_Position(camera.position.x, camera.position.y, 0.0);
    HC_Set_Camera_Target(camera.target.x, camera.target.y, camera.target.z - camera.position.z);
    HC_Close_Segment();
    m_turnRate = 0.0f;
    m_forwardRate = 0.0f;
    m_pView->CameraPositionChanged(false, false);
    m_pView->Update();
}

void HSOpCameraWalk::OnWalk(float, float) {
    if (!m_pView)
        return;
    const float now = Now();
    const float dt = std::max(now - m_lastTime, kTickSeconds);
    m_lastTime = now;

    const bool forwardKey = KeyDown(kKeyForward), backKey = KeyDown(kKeyBack);
    const bool leftKey = KeyDown(kKeyLeft), rightKey = KeyDown(kKeyRight);
    const bool upKey = KeyDown(kKeyUp), downKey = KeyDown(kKeyDown);
    const bool anyKey = forwardKey || backKey || leftKey || rightKey || upKey || downKey;
    if (!m_bOpStarted && !m_tiltChanged && !anyKey)
        return;
    // Keys walk without a press first, so they need the speed a press would have measured.
    if (anyKey && m_speed <= 0.0)
        CalculateExtents();

    const double dragStep = m_speed / kDragDistanceDivisor * dt;
    const double keyStep = m_speed / kKeyDistanceDivisor * dt;
    HC_Open_Segment_By_Key(m_pView->GetSceneKey());
    if (m_bOpStarted && m_forwardRate != 0.0f) {
        ResetPosition();
        HC_Dolly_Camera(0.0, 0.0, m_forwardRate * dragStep);
    }
    if (m_bOpStarted && m_verticalRate != 0.0f)
        HC_Dolly_Camera(0.0, m_verticalRate * dragStep, 0.0);
    if (m_bOpStarted && m_sideRate != 0.0f)
        HC_Dolly_Camera(-m_sideRate * dragStep, 0.0, 0.0);
    const double sideways = m_pView->GetHandedness() == HandednessRight ? keyStep : -keyStep;
    const struct {
        bool pressed;
        double right, up, in;
    } keyMoves[] = {
        {forwardKey, 0.0, 0.0, keyStep}, {backKey, 0.0, 0.0, -keyStep},
        {leftKey, sideways, 0.0, 0.0},   {rightKey, -sideways, 0.0, 0.0},
        {downKey, 0.0, -keyStep, 0.0},   {upKey, 0.0, keyStep, 0.0},
    };
    for (const auto& move : keyMoves) {
        if (!move.pressed)
            continue;
        ResetPosition();
        HC_Dolly_Camera(move.right, move.up, move.in);
    }
    // The tilt is absolute: level the gaze before applying it, or ticks without a step
    // (a held button, a wheel turn) would add it again on every tick.
    ResetPosition();
    HC_Pan_Camera(0.0, m_tilt);
    if (m_bOpStarted)
        HC_Pan_Camera(-m_turnRate * kDragTurnDegrees, 0.0);
    const SceneCamera camera = ShowCamera();
    HC_Close_Segment();
    m_position = camera.position;
    m_target = camera.target;
    m_upVector = camera.up;

    m_tiltChanged = false;
    m_pView->CameraPositionChanged(false, false);
    m_pView->Update();
}

int HSOpCameraWalk::OnLButtonDown(HEventInfo& event) {
    if (!m_pView)
        return HOP_NOT_HANDLED;
    if (!m_bOpStarted && CalculateExtents() == 0.0)
        return HOP_CANCEL;
    m_bOpStarted = true;
    m_ptFirst = m_ptNew = event.GetMouseWindowPos();
    return HOP_OK;
}

int HSOpCameraWalk::OnLButtonDownAndMove(HEventInfo& event) {
    if (!m_bOpStarted)
        return HBaseOperator::OnLButtonDownAndMove(event);
    m_ptNew = event.GetMouseWindowPos();
    m_turnRate = DeadZone(m_ptNew.x - m_ptFirst.x) * kTurnFactor;
    m_forwardRate = DeadZone(m_ptNew.y - m_ptFirst.y);
    return HOP_OK;
}

int HSOpCameraWalk::OnLButtonUp(HEventInfo& event) {
    if (!m_bOpStarted || !m_pView)
        return HBaseOperator::OnLButtonUp(event);
    m_pView->CameraPositionChanged(false, false);
    m_bOpStarted = false;
    m_turnRate = 0.0f;
    m_forwardRate = 0.0f;
    return HOP_READY;
}

int HSOpCameraWalk::OnMButtonDown(HEventInfo& event) {
    return OnLButtonDown(event);
}

int HSOpCameraWalk::OnMButtonDownAndMove(HEventInfo& event) {
    if (!m_bOpStarted)
        return HBaseOperator::OnMButtonDownAndMove(event);
    m_ptNew = event.GetMouseWindowPos();
    m_verticalRate = DeadZone(m_ptNew.y - m_ptFirst.y);
    m_sideRate = DeadZone(m_ptNew.x - m_ptFirst.x);
    return HOP_OK;
}

int HSOpCameraWalk::OnMButtonUp(HEventInfo& event) {
    if (!m_bOpStarted || !m_pView)
        return HBaseOperator::OnMButtonUp(event);
    m_pView->CameraPositionChanged(false, false);
    m_verticalRate = 0.0f;
    m_sideRate = 0.0f;
    return OnLButtonUp(event);
}

int HSOpCameraWalk::OnMouseWheel(HEventInfo& event) {
    return OnMouseWheel(event, event.GetMouseWheelDelta());
}

int HSOpCameraWalk::OnMouseWheel(HEventInfo&, float wheelDelta) {
    if (!m_bOpStarted) {
        m_tilt += wheelDelta > 0.0f ? kTiltStep : -kTiltStep;
        m_tiltChanged = true;
    }
    m_tilt = std::clamp(m_tilt, -kMaxTilt, kMaxTilt);
    return HOP_OK;
}
