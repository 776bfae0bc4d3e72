// HOpConstructCircle: the user presses at the centre and drags out the radius with the left
// button. Centre (m_ptFirst) and radius are in viewpoint coordinates (the screen plane at the
// target's depth), so a circle stays round whatever the window's shape; a rubber band is
// drawn in the window-space segment (subsegment "construct circle") while dragging. On
// release the radius is kept (GetRadius). With insertCircle true the release also inserts
// the circle, as a closed polyline in world coordinates, into the model segment.
#pragma once

#include "platform/mvo/HBaseOperator.h"

class HOpConstructCircle : public HBaseOperator {
public:
    explicit HOpConstructCircle(HBaseView* view = nullptr, int doRepeat = 0, int doCapture = 1,
                                bool insertCircle = false);
    const char* GetName() override;
    HBaseOperator* Clone() override;

    int OnLButtonDown(HEventInfo& event) override;
    int OnLButtonDownAndMove(HEventInfo& event) override;
    int OnLButtonUp(HEventInfo& event) override;

    float GetRadius() const { return m_radius; }
    const HPoint& GetCentre() const { return m_ptFirst; }
    bool GetInsertCircle() const { return m_insertCircle; }

protected:
    // World points of the circle about the centre (viewpoint), count points, closed.
    int CirclePoints(float radius, HPoint* world, int count) const;
    void DrawRubberBand();
    void ClearRubberBand();

    float m_radius = 0.0f;
    bool m_insertCircle = false;
};
