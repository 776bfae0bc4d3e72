// HOpKetraMarkupRectangle: drags a rectangle over the model into the markup layer's
// subsegment "HOpKetraMarkupRectangle": a closed five-point polyline on the plane through the
// camera target. A drag in one direction only (same x or same y) is drawn; a click is not.
#pragma once

#include "operators/KetraBaseOperator.h"
#include "platform/mvo/HOpConstructRectangle.h"

class HOpKetraMarkupRectangle : public HOpConstructRectangle, public KetraBaseOperator {
public:
    HOpKetraMarkupRectangle(KetraViewWindow* window, int doRepeat = 0, int doCapture = 1);
    const char* GetName() override;
    HBaseOperator* Clone() override;
    int OnLButtonUp(HEventInfo& event) override;
};
