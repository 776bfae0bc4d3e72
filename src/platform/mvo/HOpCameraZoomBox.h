// HOpCameraZoomBox: zoom to a dragged rectangle. While dragging, the rectangle is drawn in
// the view's window-space segment (subsegment "zoombox"); on release the camera target moves
// to the rectangle's centre (on the target plane) and the field becomes the rectangle's
// width and height in world units, so the rectangle fills the window in its tighter
// direction. A rectangle smaller than kMinSize in both directions (a click) changes nothing.
#pragma once

#include "platform/mvo/HBaseOperator.h"

class HOpCameraZoomBox : public HBaseOperator {
public:
    static constexpr float kMinSize = 0.005f;  // local window units

    explicit HOpCameraZoomBox(HBaseView* view = nullptr, int doRepeat = 0, int doCapture = 1);
    const char* GetName() override;
    HBaseOperator* Clone() override;

    int OnLButtonDown(HEventInfo& event) override;
    int OnLButtonDownAndMove(HEventInfo& event) override;
    int OnLButtonUp(HEventInfo& event) override;
    // A double click zooms in by 2 about the clicked point.
    int OnLButtonDblClk(HEventInfo& event) override;

    void SetLightFollowsCamera(bool on) { m_lightFollowsCamera = on; }
    bool GetLightFollowsCamera() const { return m_lightFollowsCamera; }

protected:
    void ClearRubberBand();
    bool m_lightFollowsCamera = false;
};
