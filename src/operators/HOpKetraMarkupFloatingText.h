// HOpKetraMarkupFloatingText: a text note without a leader, placed by clicking into empty
// space (target = position = the clicked point). A click onto a model item or a measurement
// makes no note; presses on existing notes move and retype them as HOpKetraMarkupText does.
#pragma once

#include "operators/HOpKetraMarkupText.h"

class HOpKetraMarkupFloatingText : public HOpKetraMarkupText {
public:
    HOpKetraMarkupFloatingText(KetraViewWindow* window, int doRepeat = 0, int doCapture = 1);
    const char* GetName() override;
    HBaseOperator* Clone() override;
    int OnLButtonUp(HEventInfo& event) override;
};
