#include "platform/mvo/HBaseOperator.h"

#include "platform/hc/hc.h"
#include "platform/mvo/HBaseView.h"

namespace {
bool HasWindowspace(const HBaseView* view)
{
    return view && view->GetWindowspaceKey() != -1 &&
           HC_Show_Existence_By_Key(view->GetWindowspaceKey(), "self") != 0;
}
} // namespace

void HBaseOperator::ShowRubberBand(const char* name, int count, const HPoint* points)
{
    if (!HasWindowspace(m_pView))
        return;
    HC_Open_Segment_By_Key(m_pView->GetWindowspaceKey());
    HC_Open_Segment(name);
    HC_Flush_Contents(".", "geometry");
    HC_Set_Visibility("lines = on");
    HC_Insert_Polyline(count, points);
    HC_Close_Segment();
    HC_Close_Segment();
}

void HBaseOperator::RemoveRubberBand(const char* name)
{
    if (!HasWindowspace(m_pView))
        return;
    HC_Open_Segment_By_Key(m_pView->GetWindowspaceKey());
    if (HC_QShow_Existence(name, "self") > 0)
        HC_Delete_Segment(name);
    HC_Close_Segment();
}

HBaseOperator::HBaseOperator(HBaseView* view, int doRepeat, int doCapture)
    : m_pView(view), m_doRepeat(doRepeat), m_doCapture(doCapture)
{
}

HBaseOperator::~HBaseOperator() = default;

const char* HBaseOperator::GetName() { return "HBaseOperator"; }

HBaseOperator* HBaseOperator::Clone() { return new HBaseOperator(m_pView, m_doRepeat, m_doCapture); }

int HBaseOperator::OnLButtonDown(HEventInfo&) { return HOP_OK; }
int HBaseOperator::OnLButtonDownAndMove(HEventInfo&) { return HOP_OK; }
int HBaseOperator::OnLButtonUp(HEventInfo&) { return HOP_OK; }
int HBaseOperator::OnLButtonDblClk(HEventInfo&) { return HOP_OK; }
int HBaseOperator::OnMButtonDown(HEventInfo&) { return HOP_OK; }
int HBaseOperator::OnMButtonDownAndMove(HEventInfo&) { return HOP_OK; }
int HBaseOperator::OnMButtonUp(HEventInfo&) { return HOP_OK; }
int HBaseOperator::OnMButtonDblClk(HEventInfo&) { return HOP_OK; }
int HBaseOperator::OnRButtonDown(HEventInfo&) { return HOP_OK; }
int HBaseOperator::OnRButtonDownAndMove(HEventInfo&) { return HOP_OK; }
int HBaseOperator::OnRButtonUp(HEventInfo&) { return HOP_OK; }
int HBaseOperator::OnRButtonDblClk(HEventInfo&) { return HOP_OK; }
int HBaseOperator::OnNoButtonDownAndMove(HEventInfo&) { return HOP_OK; }
int HBaseOperator::OnMouseMove(HEventInfo&) { return HOP_OK; }
int HBaseOperator::OnMouseWheel(HEventInfo&) { return HOP_NOT_HANDLED; }
int HBaseOperator::OnKeyDown(HEventInfo&) { return HOP_OK; }
int HBaseOperator::OnKeyUp(HEventInfo&) { return HOP_OK; }
int HBaseOperator::OnTimer(HEventInfo&) { return HOP_OK; }

int HBaseOperator::Dispatch(HBaseOperator& op, HEventInfo& event)
{
    switch (event.GetType()) {
    case HE_LButtonDown: return op.OnLButtonDown(event);
    case HE_LButtonUp: return op.OnLButtonUp(event);
    case HE_LButtonDblClk: return op.OnLButtonDblClk(event);
    case HE_MButtonDown: return op.OnMButtonDown(event);
    case HE_MButtonUp: return op.OnMButtonUp(event);
    case HE_MButtonDblClk: return op.OnMButtonDblClk(event);
    case HE_RButtonDown: return op.OnRButtonDown(event);
    case HE_RButtonUp: return op.OnRButtonUp(event);
    case HE_RButtonDblClk: return op.OnRButtonDblClk(event);
    case HE_MouseMove:
        op.OnMouseMove(event);
        if (event.IsLeftButtonDown())
            return op.OnLButtonDownAndMove(event);
        if (event.IsMiddleButtonDown())
            return op.OnMButtonDownAndMove(event);
        if (event.IsRightButtonDown())
            return op.OnRButtonDownAndMove(event);
        return op.OnNoButtonDownAndMove(event);
    case HE_MouseWheel: return op.OnMouseWheel(event);
    case HE_KeyDown: return op.OnKeyDown(event);
    case HE_KeyUp: return op.OnKeyUp(event);
    case HE_Timer: return op.OnTimer(event);
    default: return HOP_NOT_HANDLED;
    }
}
