#include "view/CHoopsViewEx.h"

#include "platform/mvo/HBaseOperator.h"
#include "view/HBaseViewEx.h"

CHoopsViewEx::CHoopsViewEx(ketra::window::WindowPort* port) : CHoopsView(port) {}

CHoopsViewEx::~CHoopsViewEx()
{
    // A pan operator lent to the middle button is current while the saved one waits.
    delete m_savedOperator;
}

void CHoopsViewEx::SetHoopsViewEx(HBaseView* view, bool takeOwnership)
{
    SetHoopsView(view, takeOwnership);
    m_pHViewEx = dynamic_cast<HBaseViewEx*>(view);
}

HBaseViewEx* CHoopsViewEx::GetHoopsViewEx()
{
    return m_pHViewEx;
}

void CHoopsViewEx::LocalSetOperator(HBaseOperator* op)
{
    if (!m_pHView)
        return;
    HBaseOperator* current = m_pHView->GetOperator();
    if (current && current != op)
        delete current;
    m_pHView->SetOperator(op);
    m_pHView->Update();
}

int CHoopsViewEx::UpdatePopupMenu(CMenu*) { return 1; }
void CHoopsViewEx::set_status_view_to_be_restored(bool) {}
void CHoopsViewEx::set_status_isLoading(bool) {}
void CHoopsViewEx::Unset_Centerline_Settings() {}
CPalette* CHoopsViewEx::GetPalette() { return &m_palette; }
void CHoopsViewEx::SetInitialSymbolVisibility() {}
void CHoopsViewEx::SetSpeedyMovement(int) {}
void CHoopsViewEx::InsertAnnotations(long, const char*, HKetraUtilityAnnotation*) {}
void CHoopsViewEx::UpdateAnnotations(long, HKetraUtilityAnnotation*) {}
void CHoopsViewEx::OnUpdateRigidOnly(int, int) {}
void CHoopsViewEx::SetSymbolVisibility(const char*, unsigned int) {}
void CHoopsViewEx::HideSelectedDraftonParts() {}
void CHoopsViewEx::HideLocalElement(CPoint) {}
void CHoopsViewEx::UnhideDraftonSegment(long) {}
void CHoopsViewEx::OnVisibilityAll() {}

void CHoopsViewEx::OnInitialUpdate() { CHoopsView::OnInitialUpdate(); }
void CHoopsViewEx::OnPaint() { CHoopsView::OnPaint(); }
void CHoopsViewEx::OnLButtonDown(unsigned int f, CPoint p) { CHoopsView::OnLButtonDown(f, p); }
void CHoopsViewEx::OnMButtonDown(unsigned int f, CPoint p) { CHoopsView::OnMButtonDown(f, p); }
void CHoopsViewEx::OnMButtonUp(unsigned int f, CPoint p) { CHoopsView::OnMButtonUp(f, p); }
void CHoopsViewEx::OnMButtonDblClk(unsigned int, CPoint) {}
void CHoopsViewEx::OnRButtonDown(unsigned int f, CPoint p) { CHoopsView::OnRButtonDown(f, p); }
void CHoopsViewEx::OnRButtonUp(unsigned int f, CPoint p) { CHoopsView::OnRButtonUp(f, p); }
void CHoopsViewEx::OnRButtonDblClk(unsigned int f, CPoint p) { CHoopsView::OnRButtonDblClk(f, p); }
void CHoopsViewEx::OnMouseMove(unsigned int f, CPoint p) { CHoopsView::OnMouseMove(f, p); }
void CHoopsViewEx::OnKeyDown(unsigned int c, unsigned int r, unsigned int f) { CHoopsView::OnKeyDown(c, r, f); }
