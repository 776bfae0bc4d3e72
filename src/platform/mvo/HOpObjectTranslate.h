// HOpObjectTranslate and HOpObjectRotate: move the selected objects with the left button.
// The objects are the segments of the view's selection (a selected geometry item moves its
// segment); with an empty selection the press picks the item under the cursor and moves its
// segment. Moves compose onto each segment's modelling matrix in its owner's coordinates
// (equal to world coordinates for segments whose owners carry no transform). Each step tells
// the view's object-manipulation listeners (ObjectMovedEvent).
#pragma once

#include <vector>

#include "platform/mvo/HBaseOperator.h"

typedef long HC_KEY;

class HOpObjectTranslate : public HBaseOperator {
public:
    explicit HOpObjectTranslate(HBaseView* view = nullptr, int doRepeat = 0, int doCapture = 1);
    const char* GetName() override;
    HBaseOperator* Clone() override;

    // Drag: the objects follow the cursor on the plane through the camera target.
    int OnLButtonDown(HEventInfo& event) override;
    int OnLButtonDownAndMove(HEventInfo& event) override;
    int OnLButtonUp(HEventInfo& event) override;

    // The segments the next press would move (selection, or nothing).
    static std::vector<HC_KEY> TargetSegments(HBaseView* view);
    // The picked item's segment under window (x, y), -1 for none.
    static HC_KEY PickSegment(HBaseView* view, float x, float y);

protected:
    std::vector<HC_KEY> m_targets;
};

class HOpObjectRotate : public HBaseOperator {
public:
    static constexpr float kDegreesPerUnit = 180.0f;

    explicit HOpObjectRotate(HBaseView* view = nullptr, int doRepeat = 0, int doCapture = 1);
    const char* GetName() override;
    HBaseOperator* Clone() override;

    // Drag: horizontal movement turns the objects about the camera's up axis, vertical
    // movement about its right axis, each through the centre of the objects' bounding boxes
    // (kDegreesPerUnit per unit of local window).
    int OnLButtonDown(HEventInfo& event) override;
    int OnLButtonDownAndMove(HEventInfo& event) override;
    int OnLButtonUp(HEventInfo& event) override;

protected:
    std::vector<HC_KEY> m_targets;
    HPoint m_centre;
};
