// HOpKetraMarkupFreehand: a freehand stroke, inked in the view's window-space segment while
// drawn; the release turns it into a world-space polyline (pattern "(----)") in the markup
// layer's subsegment "HOpKetraMarkupFreehand".
#pragma once

#include "operators/KetraBaseOperator.h"
#include "platform/mvo/HBaseOperator.h"

typedef long HC_KEY;

class HOpKetraMarkupFreehand : public HBaseOperator, public KetraBaseOperator {
public:
    HOpKetraMarkupFreehand(KetraViewWindow* window, int doRepeat = 0, int doCapture = 1);
    const char* GetName() override;
    HBaseOperator* Clone() override;
    int OnLButtonDown(HEventInfo& event) override;
    int OnLButtonDownAndMove(HEventInfo& event) override;
    int OnLButtonUp(HEventInfo& event) override;

    // Builds a stroke from count world points in the markup layer's subsegment `name`;
    // emit: hand the segment to the markup manager's notification. Returns the segment,
    // -1 without a markup manager (nothing drawn).
    static HC_KEY CreateMarkupFreehand(HBaseView* view, const char* name, unsigned int count,
                                       HPoint* points, bool emit);

protected:
    HC_KEY m_stroke = -1;
    HPoint m_lastPoint;
};
