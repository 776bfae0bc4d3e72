// HOpCameraOrbit: trackball orbit about the camera target with the left button. A horizontal
// drag across the whole window (2 units of local window) turns the model by 180 degrees about
// the camera's up vector; a vertical drag turns it about the camera's right axis. The model
// follows the cursor: dragging right moves the camera to its left (and the model appears to
// turn right); dragging up moves the camera down. The target, distance and field stay.
#pragma once

#include "platform/mvo/HBaseOperator.h"

class HOpCameraOrbit : public HBaseOperator {
public:
    // Degrees of orbit per unit of local-window drag.
    static constexpr float kDegreesPerUnit = 90.0f;

    explicit HOpCameraOrbit(HBaseView* view = nullptr, int doRepeat = 0, int doCapture = 1);
    const char* GetName() override;
    HBaseOperator* Clone() override;

    int OnLButtonDown(HEventInfo& event) override;
    int OnLButtonDownAndMove(HEventInfo& event) override;
    int OnLButtonUp(HEventInfo& event) override;

    // Whether the scene's bounding box is shown while orbiting (kept for the view window).
    void SetShowBoundingBox(bool on) { m_showBoundingBox = on; }
    bool GetShowBoundingBox() const { return m_showBoundingBox; }
    void SetLightFollowsCamera(bool on) { m_lightFollowsCamera = on; }
    bool GetLightFollowsCamera() const { return m_lightFollowsCamera; }

protected:
    bool m_showBoundingBox = true;
    bool m_lightFollowsCamera = false;
};
