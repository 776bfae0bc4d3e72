// HOpCameraPan: drag pan with the left button. The world point under the cursor at the press
// (on the plane through the target) stays under the cursor for the whole drag: camera
// position and target move together by the difference of the world positions.
#pragma once

#include "platform/mvo/HBaseOperator.h"

class HOpCameraPan : public HBaseOperator {
public:
    explicit HOpCameraPan(HBaseView* view = nullptr, int doRepeat = 0, int doCapture = 1);
    const char* GetName() override;
    HBaseOperator* Clone() override;

    int OnLButtonDown(HEventInfo& event) override;
    int OnLButtonDownAndMove(HEventInfo& event) override;
    int OnLButtonUp(HEventInfo& event) override;

    void SetLightFollowsCamera(bool on) { m_lightFollowsCamera = on; }
    bool GetLightFollowsCamera() const { return m_lightFollowsCamera; }

protected:
    bool m_lightFollowsCamera = false;
};
