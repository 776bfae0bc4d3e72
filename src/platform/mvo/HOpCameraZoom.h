// HOpCameraZoom: drag zoom with the left button. Dragging up by one unit of local window
// (half the window height) divides the camera field by 4 (zooms in); dragging down by the
// same multiplies it by 4. The field is scaled from its value at the press, so returning the
// cursor to the press point restores it. Position and target stay.
#pragma once

#include "platform/mvo/HBaseOperator.h"

class HOpCameraZoom : public HBaseOperator {
public:
    static constexpr float kFactorPerUnit = 4.0f;

    explicit HOpCameraZoom(HBaseView* view = nullptr, int doRepeat = 0, int doCapture = 1);
    const char* GetName() override;
    HBaseOperator* Clone() override;

    int OnLButtonDown(HEventInfo& event) override;
    int OnLButtonDownAndMove(HEventInfo& event) override;
    int OnLButtonUp(HEventInfo& event) override;

    void SetLightFollowsCamera(bool on) { m_lightFollowsCamera = on; }
    bool GetLightFollowsCamera() const { return m_lightFollowsCamera; }

protected:
    float m_startWidth = 0.0f;
    float m_startHeight = 0.0f;
    bool m_lightFollowsCamera = false;
};
