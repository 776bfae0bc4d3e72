#include "platform/mvo/HOpConstructRectangle.h"

#include "platform/hc/hc.h"
#include "platform/mvo/HBaseView.h"

namespace {
constexpr const char* kRubberBand = "construct rectangle";
}

HOpConstructRectangle::HOpConstructRectangle(HBaseView* view, int doRepeat, int doCapture)
    : HBaseOperator(view, doRepeat, doCapture)
{
}

const char* HOpConstructRectangle::GetName() { return "HOpConstructRectangle"; }

HBaseOperator* HOpConstructRectangle::Clone() { return new HOpConstructRectangle(*this); }

void HOpConstructRectangle::DrawRubberBand(const HPoint& a, const HPoint& b)
{
    const HPoint outline[5] = {{a.x, a.y, 0}, {b.x, a.y, 0}, {b.x, b.y, 0}, {a.x, b.y, 0}, {a.x, a.y, 0}};
    ShowRubberBand(kRubberBand, 5, outline);
}

void HOpConstructRectangle::ClearRubberBand() { RemoveRubberBand(kRubberBand); }

int HOpConstructRectangle::OnLButtonDown(HEventInfo& event)
{
    if (!m_pView)
        return HOP_NOT_HANDLED;
    m_bOpStarted = true;
    m_bRectangleExists = false;
    m_ptFirst = m_ptNew = event.GetMouseWindowPos();
    m_ptRectangle[0] = m_ptRectangle[1] = m_ptFirst;
    return HOP_OK;
}

int HOpConstructRectangle::OnLButtonDownAndMove(HEventInfo& event)
{
    if (!m_bOpStarted || !m_pView)
        return HBaseOperator::OnLButtonDownAndMove(event);
    m_ptNew = event.GetMouseWindowPos();
    if (m_ptNew.x != m_ptFirst.x || m_ptNew.y != m_ptFirst.y)
        m_bRectangleExists = true;
    m_ptRectangle[0] = m_ptFirst;
    m_ptRectangle[1] = m_ptNew;
    DrawRubberBand(m_ptFirst, m_ptNew);
    m_pView->Update();
    return HOP_OK;
}

int HOpConstructRectangle::OnLButtonUp(HEventInfo& event)
{
    if (!m_bOpStarted || !m_pView)
        return HBaseOperator::OnLButtonUp(event);
    m_bOpStarted = false;
    m_ptNew = event.GetMouseWindowPos();
    m_ptRectangle[0] = m_ptFirst;
    m_ptRectangle[1] = m_ptNew;
    if (m_ptNew.x == m_ptFirst.x && m_ptNew.y == m_ptFirst.y)
        m_bRectangleExists = false;
    ClearRubberBand();
    m_pView->Update();
    return HOP_READY;
}
