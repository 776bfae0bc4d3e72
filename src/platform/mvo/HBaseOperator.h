// HBaseOperator: an interaction handler bound to a view. The view window routes each mouse,
// keyboard, wheel and timer event to the view's current operator; the default handlers do
// nothing and return HOP_OK. Operators (camera, selection, markup) override what they use;
// geometry builders derive from it only to hold a view.
#pragma once

#include "platform/mvo/HEventInfo.h"
#include "platform/mvo/HPoint.h"

class HBaseView;

// Handler results. The values are fixed: callers compare against the numbers.
enum HOperatorReturn {
    HOP_CANCEL = -1,      // the operator refused the event (e.g. a walk with nothing to walk in)
    HOP_OK = 0,           // handled; the gesture goes on
    HOP_NOT_HANDLED = 1,  // nothing was done
    HOP_CHAINED = 2,      // handled and passed on to another operator
    HOP_READY = 3,        // a gesture finished
};

class HBaseOperator {
public:
    // view may be null (builders made before their view, tests). doRepeat: the operator
    // stays current after a gesture; doCapture: the window captures the mouse during drags.
    explicit HBaseOperator(HBaseView* view = nullptr, int doRepeat = 0, int doCapture = 1);
    HBaseOperator(const HBaseOperator&) = default;
    HBaseOperator& operator=(const HBaseOperator&) = default;
    virtual ~HBaseOperator();

    // Class name of the operator; the view window compares these names.
    virtual const char* GetName();
    // A new operator of the same class for the same view and flags (caller owns it).
    virtual HBaseOperator* Clone();

    virtual int OnLButtonDown(HEventInfo& event);
    virtual int OnLButtonDownAndMove(HEventInfo& event);
    virtual int OnLButtonUp(HEventInfo& event);
    virtual int OnLButtonDblClk(HEventInfo& event);
    virtual int OnMButtonDown(HEventInfo& event);
    virtual int OnMButtonDownAndMove(HEventInfo& event);
    virtual int OnMButtonUp(HEventInfo& event);
    virtual int OnMButtonDblClk(HEventInfo& event);
    virtual int OnRButtonDown(HEventInfo& event);
    virtual int OnRButtonDownAndMove(HEventInfo& event);
    virtual int OnRButtonUp(HEventInfo& event);
    virtual int OnRButtonDblClk(HEventInfo& event);
    virtual int OnNoButtonDownAndMove(HEventInfo& event);
    // Any mouse move; the view window sends it before the button-specific move handlers.
    virtual int OnMouseMove(HEventInfo& event);
    virtual int OnMouseWheel(HEventInfo& event);
    virtual int OnKeyDown(HEventInfo& event);
    virtual int OnKeyUp(HEventInfo& event);
    virtual int OnTimer(HEventInfo& event);

    HBaseView* GetView() const { return m_pView; }
    void SetView(HBaseView* view) { m_pView = view; }
    const HPoint& GetFirstPoint() const { return m_ptFirst; }
    void SetFirstPoint(const HPoint& point) { m_ptFirst = point; }
    const HPoint& GetNewPoint() const { return m_ptNew; }
    void SetNewPoint(const HPoint& point) { m_ptNew = point; }
    bool OperatorStarted() const { return m_bOpStarted; }
    void SetOperatorStarted(bool started) { m_bOpStarted = started; }
    int GetDoRepeat() const { return m_doRepeat; }
    void SetDoRepeat(int repeat) { m_doRepeat = repeat; }
    int GetDoCapture() const { return m_doCapture; }
    void SetDoCapture(int capture) { m_doCapture = capture; }

    // Routes one event to the handler its type and buttons name (the dispatch the view
    // window does): button down/up/double click, moves with the held button (left before
    // middle before right, none: OnNoButtonDownAndMove), wheel, keys, timer. Returns the
    // handler's result.
    static int Dispatch(HBaseOperator& op, HEventInfo& event);

protected:
    // Rubber bands: a polyline in window coordinates kept in subsegment `name` of the view's
    // window-space segment; each Show replaces the last one, Remove deletes the subsegment.
    // Both do nothing without a view or its window-space segment.
    void ShowRubberBand(const char* name, int count, const HPoint* points);
    void RemoveRubberBand(const char* name);

    HBaseView* m_pView = nullptr;
    HPoint m_ptFirst;
    HPoint m_ptNew;
    bool m_bOpStarted = false;
    int m_doRepeat = 0;
    int m_doCapture = 1;
};
