// HOpMoveHandle: drag handles that move the object they belong to. SetupObject gives an
// object segment a subsegment "handles" holding one marker handle at the centre of the
// object's bounding box ("+" sized by `scale`; with `complex` true also three short axis
// lines). Handles stay pickable whatever the scene's selectability ("markers = on!").
// A press on a handle grabs its object; dragging moves the object with the cursor on the
// plane through the camera target; the release tells the object-manipulation listeners.
// With allowSetup true, a press on ordinary geometry sets up handles on its segment.
//
// The view's cutting planes move along their normals instead: a press on a plane's quad (in
// the view's cutting-plane geometry) or on the handle of the view's cutting-planes segment
// grabs that plane, and each drag step translates the plane's segment and its quad (and the
// handle, which sits on the newest plane) by DistanceAlongNormal, so the cut follows.
#pragma once

#include <vector>

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
    // How far (world units, signed) a plane through `anchor` with unit `normal` moves when the
    // pointer goes from `from` to `to` (window coordinates): the pointer's motion projected
    // on the screen direction of the normal, so the plane follows the pointer. A normal that
    // points nearly at the eye moves at most five times as fast as one across the screen
    // would; one pointing straight at it moves towards the eye as the pointer goes up.
    static float DistanceAlongNormal(const HBaseView& view, const HPoint& anchor, const HPoint& normal,
                                     const HPoint& from, const HPoint& to);

    HC_KEY GetObjectKey() const { return m_object; }

protected:
    // Grabs the view's cutting plane in segment `plane` (a subsegment of the cutting-planes
    // segment) for a drag along its normal; false when it holds no cutting plane.
    bool GrabCuttingPlane(HC_KEY plane, const HPoint& anchor);

    bool m_allowSetup = false;
    HC_KEY m_object = -1;
    // While a cutting plane is dragged: the segments that move with it, its unit normal and
    // a point of it under the pointer (m_ptNew then holds the pointer's window position).
    std::vector<HC_KEY> m_moving;
    HPoint m_normal;
    HPoint m_anchor;
};
