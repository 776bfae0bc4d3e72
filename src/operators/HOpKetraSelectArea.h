// HOpKetraSelectArea: "Select By Window". The user drags a rubber-band rectangle with the
// left button; on release every item inside it that lies in an object segment
// (HObjectManager) is selected in the view's selection set through the include path it was
// found by:
//   no modifier: the rectangle's items replace the selection;
//   Control:     they are added;
//   Shift:       they are removed.
// A click without a drag selects as the single-click operator (HOpSelectAperture) does;
// this operator stays installed.
//
// Which key decides whether an item is already selected depends on the selection level:
// entity and subentity levels test the item; segment level the segment that holds it (the
// key the set stores); segment-tree level the segment four levels above the item.
#pragma once

#include "platform/mvo/HOpSelectArea.h"

class HOpKetraSelectArea : public HOpSelectArea {
public:
    explicit HOpKetraSelectArea(HBaseView* view = nullptr, int doRepeat = 0, int doCapture = 1);

    // HOP_READY after an area selection; after a click the rectangle operator's result.
    int OnLButtonUp(HEventInfo& event) override;
    // Does nothing (no context action while selecting); HOP_READY.
    int OnRButtonUp(HEventInfo& event) override;
    const char* GetName() override; // "HOpKetraSelectArea"
    HBaseOperator* Clone() override;

private:
    void SelectClick(HEventInfo& event);
    void SelectArea(const HEventInfo& event);
};
