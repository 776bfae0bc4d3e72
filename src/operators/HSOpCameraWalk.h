// HSOpCameraWalk: the component's own walk, driven by a timer every kTickSeconds through the
// view layer's HTManager (style HTCS_PeriodicSkip). Z is always up.
//   left drag:   vertical offset from the press = forward rate, horizontal offset x 3 = turn
//                rate (offsets in local window units, below kDeadZone they count as 0);
//   middle drag: vertical offset = climb rate, horizontal offset = sideways rate;
//   wheel:       tilts the gaze kTiltStep degrees up or down, within +-kMaxTilt;
//   keys:        W/S forward and back, A/D sideways, Q/Z up and down, polled on every tick
//                through the view's key-state callback (HBaseView::GetKeyState).
// The speed is the largest extent of the model (CalculateExtents): a full drag walks that
// far in 4 seconds, a held key in 15 seconds. A view with nothing in it refuses the walk.
//
// The clock is the timer manager's (HTManager::GetCurrentTime), so a host's ticks and a
// test's scripted ticks drive the walk alike. The view must outlive the operator (the view
// deletes its current operator); a null view makes every handler do nothing.
#pragma once

#include <memory>

#include "platform/mvo/HBaseOperator.h"

class HTClient;

class HSOpCameraWalk : public HBaseOperator {
public:
    static constexpr float kTickSeconds = 0.01f;
    static constexpr float kDeadZone = 0.005f;
    static constexpr float kTurnFactor = 3.0f;
    static constexpr float kTiltStep = 5.0f;
    static constexpr float kMaxTilt = 85.0f;
    static constexpr int kUpAxisZ = 2;
    // Virtual-key codes of the walking keys.
    static constexpr unsigned int kKeyForward = 'W', kKeyBack = 'S', kKeyLeft = 'A',
                                  kKeyRight = 'D', kKeyUp = 'Q', kKeyDown = 'Z';

    // Reads the gaze tilt from the view's camera, levels the camera (ResetPosition), tells
    // the view's listeners, updates the view and starts the timer.
    explicit HSOpCameraWalk(HBaseView* view = nullptr, int doRepeat = 0, int doCapture = 1);
    ~HSOpCameraWalk() override;
    HSOpCameraWalk(const HSOpCameraWalk&) = delete;
    HSOpCameraWalk& operator=(const HSOpCameraWalk&) = delete;

    const char* GetName() override; // "HSOpCameraWalk"
    HBaseOperator* Clone() override;

    // Reads the camera and sets the speed to the largest extent of the model (0 when the
    // view shows no model geometry). Returns the speed.
    double CalculateExtents();
    // One timer step: moves for the time since the previous step (at least kTickSeconds).
    // The arguments are not used (the timer passes 0, 0).
    void OnWalk(float requestTime = 0.0f, float actualTime = 0.0f);
    // Turns the gaze horizontal, keeping eye, distance to the target and heading (a gaze
    // straight up or down heads along +x). Up vector (0, 0, 1).
    void ResetPosition();
    // Moves the eye to height 0, keeping the gaze direction, and stops drag turning and
    // walking.
    void Level();

    int OnLButtonDown(HEventInfo& event) override;
    int OnLButtonDownAndMove(HEventInfo& event) override;
    int OnLButtonUp(HEventInfo& event) override;
    int OnMButtonDown(HEventInfo& event) override;
    int OnMButtonDownAndMove(HEventInfo& event) override;
    int OnMButtonUp(HEventInfo& event) override;
    // Uses the event's wheel delta; only its sign counts.
    int OnMouseWheel(HEventInfo& event) override;
    int OnMouseWheel(HEventInfo& event, float wheelDelta);

    double GetSpeed() const { return m_speed; }
    float GetTilt() const { return m_tilt; }
    float GetTurnRate() const { return m_turnRate; }
    float GetForwardRate() const { return m_forwardRate; }
    float GetVerticalRate() const { return m_verticalRate; }
    float GetSideRate() const { return m_sideRate; }
    int GetUpAxis() const { return m_upAxis; }
    // Stored for the host only; the walk does not move lights.
    void SetLightFollowsCamera(bool on) { m_lightFollowsCamera = on; }
    bool GetLightFollowsCamera() const { return m_lightFollowsCamera; }
    // The camera as the last tick (or CalculateExtents) left it.
    const HPoint& GetLastPosition() const { return m_position; }
    const HPoint& GetLastTarget() const { return m_target; }
    const HPoint& GetLastUpVector() const { return m_upVector; }

private:
    static float DeadZone(float offset);
    void ReadCamera();
    // Pressed now according to the view's key-state callback.
    bool KeyDown(unsigned int virtualKey) const;

    std::unique_ptr<HTClient> m_timer;
    float m_lastTime = 0.0f;
    HPoint m_position, m_target, m_upVector;
    double m_speed = 0.0;
    float m_turnRate = 0.0f;
    float m_forwardRate = 0.0f;
    float m_tilt = 0.0f;
    float m_verticalRate = 0.0f;
    float m_sideRate = 0.0f;
    int m_upAxis = kUpAxisZ;
    bool m_tiltChanged = false;
    bool m_lightFollowsCamera = false;
};
