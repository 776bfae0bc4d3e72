// HOpSelectArea: rubber-band selection. The rectangle is dragged as HOpConstructRectangle
// does; on release every selectable item inside it is selected in the view's selection set
// (through its include path), or deselected with Shift. Without Control or Shift the
// previous selection is cleared first. A click without a drag selects nothing.
#pragma once

#include "platform/mvo/HOpConstructRectangle.h"

class HOpSelectArea : public HOpConstructRectangle {
public:
    explicit HOpSelectArea(HBaseView* view = nullptr, int doRepeat = 0, int doCapture = 1);
    const char* GetName() override;
    HBaseOperator* Clone() override;

    int OnLButtonUp(HEventInfo& event) override;
};
