// HOpSelectAperture: single-click selection with the left button. The press picks the
// nearest selectable item under the cursor in the view's scene and selects it (through the
// include path it was reached by) in the view's selection set:
//   no modifier: the selection becomes the picked item (a miss clears it);
//   Control:     the item is added;
//   Shift:       the item is toggled (deselected when it was selected).
#pragma once

#include <vector>

#include "platform/mvo/HBaseOperator.h"

typedef long HC_KEY;

class HOpSelectAperture : public HBaseOperator {
public:
    explicit HOpSelectAperture(HBaseView* view = nullptr, int doRepeat = 0, int doCapture = 1);
    const char* GetName() override;
    HBaseOperator* Clone() override;

    int OnLButtonDown(HEventInfo& event) override;
    int OnLButtonUp(HEventInfo& event) override;

    // After a pick (HC_Compute_Selection*): the current item and the include keys of its
    // path, innermost first. Returns the item, -1 when there is none.
    static HC_KEY ReadSelection(std::vector<HC_KEY>& includes);
};
