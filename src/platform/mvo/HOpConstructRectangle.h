// HOpConstructRectangle: the user drags a rectangle with the left button; it is drawn as a
// rubber band in the view's window-space segment (subsegment "construct rectangle") while
// dragging. On release the corners (local window coordinates, press corner first) are kept
// in m_ptRectangle and m_bRectangleExists tells whether the cursor moved at all (false for a
// click). Derived operators act on the rectangle.
#pragma once

#include "platform/mvo/HBaseOperator.h"

class HOpConstructRectangle : public HBaseOperator {
public:
    explicit HOpConstructRectangle(HBaseView* view = nullptr, int doRepeat = 0, int doCapture = 1);
    const char* GetName() override;
    HBaseOperator* Clone() override;

    int OnLButtonDown(HEventInfo& event) override;
    int OnLButtonDownAndMove(HEventInfo& event) override;
    int OnLButtonUp(HEventInfo& event) override;

    bool GetRectangleExists() const { return m_bRectangleExists; }
    const HPoint& GetRectangleCorner(int index) const { return m_ptRectangle[index == 0 ? 0 : 1]; }

protected:
    void DrawRubberBand(const HPoint& a, const HPoint& b);
    void ClearRubberBand();

    HPoint m_ptRectangle[2];
    bool m_bRectangleExists = false;
};
