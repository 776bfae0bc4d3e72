// HOpKetraMarkupCircle: drags a circle over the model (press at the centre, release at the
// radius) into the markup layer's subsegment "HOpKetraMarkupCircle", coloured and weighted
// from the annotation settings. A click without movement draws nothing.
#pragma once

#include "operators/KetraBaseOperator.h"
#include "platform/mvo/HOpConstructCircle.h"

class HOpKetraMarkupCircle : public HOpConstructCircle, public KetraBaseOperator {
public:
    // The base gets the window's view (null without a window), the two flags and false.
    HOpKetraMarkupCircle(KetraViewWindow* window, int doRepeat = 0, int doCapture = 1);
    const char* GetName() override;
    HBaseOperator* Clone() override;
    int OnLButtonUp(HEventInfo& event) override;
};
