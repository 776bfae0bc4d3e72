// HOpCameraWalk: walk through the model as a person would (Z is up). While the left button
// is held, the vertical drag offset from the press point sets the forward speed and the
// horizontal offset the turn rate (a dead zone of kDeadZone local-window units); with keyboard
// walk on, the arrow keys and W/A/S/D walk and turn while held. The operator moves on timer
// ticks (HTManager, every 0.01 s) through OnWalk.
//   speed:     the largest extent of the model (CalculateExtents) per 4 seconds at full drag;
//              keys walk at a quarter of that.
//   collision: a step is refused when the model lies closer along the line of sight than the
//              step plus a quarter of the avatar height;
//   snap to floor: after a step the eye stands avatar height above the floor below it; a
//              floor higher than the step-up height above the feet refuses the step, lower
//              floors are followed down any distance.
#pragma once

#include "platform/mvo/HBaseOperator.h"

class HTClient;

class HOpCameraWalk : public HBaseOperator {
public:
    static constexpr float kDeadZone = 0.005f;
    static constexpr float kTurnDegreesPerSecond = 90.0f;  // at a full-width drag offset of 1

    explicit HOpCameraWalk(HBaseView* view = nullptr, int doRepeat = 0, int doCapture = 1);
    ~HOpCameraWalk() override;
    HOpCameraWalk(const HOpCameraWalk&) = delete;
    HOpCameraWalk& operator=(const HOpCameraWalk&) = delete;

    const char* GetName() override;
    HBaseOperator* Clone() override;

    // Largest extent of the model's bounding box (0 for an empty model); also the walk speed.
    float CalculateExtents();
    // One movement step at `actualTime` (seconds): applies drag and key rates for the time
    // since the previous step (at most 0.1 s). Returns true when the camera moved.
    virtual bool OnWalk(float requestTime = 0.0f, float actualTime = -1.0f);

    int OnLButtonDown(HEventInfo& event) override;
    int OnLButtonDownAndMove(HEventInfo& event) override;
    int OnLButtonUp(HEventInfo& event) override;
    int OnKeyDown(HEventInfo& event) override;
    int OnKeyUp(HEventInfo& event) override;

    void SetKeyboardWalk(bool on) { m_keyboardWalk = on; }
    bool GetKeyboardWalk() const { return m_keyboardWalk; }
    void SetCollisionDetection(bool on) { m_collision = on; }
    bool GetCollisionDetection() const { return m_collision; }
    void SetSnapToFloor(bool on) { m_snapToFloor = on; }
    bool GetSnapToFloor() const { return m_snapToFloor; }
    void SetAvatarHeight(float height) { m_avatarHeight = height > 0.0f ? height : m_avatarHeight; }
    float GetAvatarHeight() const { return m_avatarHeight; }
    void SetStepHeightUp(float height) { m_stepUp = height >= 0.0f ? height : m_stepUp; }
    float GetStepHeightUp() const { return m_stepUp; }
    void SetStepHeightDown(float height) { m_stepDown = height >= 0.0f ? height : m_stepDown; }
    float GetStepHeightDown() const { return m_stepDown; }
    float GetSpeed() const { return m_speed; }

protected:
    // Distance from `eye` along `direction` to the nearest model item, or -1 when none.
    float DistanceTo(const HPoint& eye, const HPoint& direction) const;

    HTClient* m_timer = nullptr;
    bool m_keyboardWalk = false;
    bool m_collision = false;
    bool m_snapToFloor = false;
    float m_avatarHeight = 1.0f;
    float m_stepUp = 0.25f;
    float m_stepDown = 0.25f;
    float m_speed = 0.0f;
    float m_lastTime = -1.0f;
    bool m_keyForward = false, m_keyBack = false, m_keyLeft = false, m_keyRight = false;
};
