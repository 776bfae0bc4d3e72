// HOpMoveHandle: drag handles that move the object they belong to. SetupObject gives an
// object segment a subsegment "handles" holding one marker handle at the centre of the
// object's bounding box ("+" sized by `scale`; with `complex` true also three short axis
// lines). Handles stay pickable whatever the scene's selectability ("markers = on!").
// A press on a handle grabs its object; dragging moves the object with the cursor on the
// plane through the camera target; the release tells the object-manipulation listeners.
// With allowSetup true, a press on ordinary geometry sets up handles on its segment.
#pragma once

#include "platform/mvo/HBaseOperator.h"

typedef long HC_KEY;

class HOpMoveHandle : public HBaseOperator {
public:
    explicit HOpMoveHandle(HBaseView* view = nullptr, bool allowSetup = false, int doRepeat = 0,
                           int doCapture = 1);
    const char* GetName() override;
    HBaseOperator* Clone() override;

    int OnLButtonDown(HEventInfo& event) override;
    int OnLButtonDownAndMove(HEventInfo& event) override;
    int OnLButtonUp(HEventInfo& event) override;

    // Returns the key of the "handles" segment (-1 for an invalid object segment). Replaces
    // handles set up before.
    static HC_KEY SetupObject(HC_KEY objectSegment, HBaseView* view, bool complex = false, float scale = 1.0f);
    static void RemoveHandles(HC_KEY objectSegment);
    // The object whose handle `item` is, or -1.
    static HC_KEY HandleOwner(HC_KEY item);

    HC_KEY GetObjectKey() const { return m_object; }

protected:
    bool m_allowSetup = false;
    HC_KEY m_object = -1;
};
