#include "platform/mvo/HOpConstructCircle.h"

#include <cmath>

#include "platform/hc/hc.h"
#include "platform/mvo/HBaseView.h"
#include "platform/mvo/HUtility.h"

namespace {
constexpr const char* kRubberBand = "construct circle";
constexpr int kSegments = 64;
}

HOpConstructCircle::HOpConstructCircle(HBaseView* view, int doRepeat, int doCapture, bool insertCircle)
    : HBaseOperator(view, doRepeat, doCapture), m_insertCircle(insertCircle)
{
}

const char* HOpConstructCircle::GetName() { return "HOpConstructCircle"; }

HBaseOperator* HOpConstructCircle::Clone() { return new HOpConstructCircle(*this); }

int HOpConstructCircle::CirclePoints(float radius, HPoint* world, int count) const
{
    HPoint ring[kSegments];
    const int n = count - 1 < kSegments ? count - 1 : kSegments;
    HUtilityGeometryCreation::GeneratePointsOnCircle(ring, m_ptFirst, radius, 2, n, false);
    for (int i = 0; i < n; ++i)
        world[i] = m_pView->ViewpointToWorld(ring[i]);
    world[n] = world[0];
    return n + 1;
}

void HOpConstructCircle::DrawRubberBand()
{
    if (!m_pView || HC_Show_Existence_By_Key(m_pView->GetWindowspaceKey(), "self") == 0)
        return;
    HPoint points[kSegments + 1];
    const int count = CirclePoints(m_radius, points, kSegments + 1);
    for (int i = 0; i < count; ++i)
        points[i] = m_pView->WorldToWindow(points[i]);
    ShowRubberBand(kRubberBand, count, points);
}

void HOpConstructCircle::ClearRubberBand() { RemoveRubberBand(kRubberBand); }

int HOpConstructCircle::OnLButtonDown(HEventInfo& event)
{
    if (!m_pView)
        return HOP_NOT_HANDLED;
    m_bOpStarted = true;
    m_ptFirst = m_ptNew = event.GetMouseViewpointPos();
    m_radius = 0.0f;
    return HOP_OK;
}

int HOpConstructCircle::OnLButtonDownAndMove(HEventInfo& event)
{
    if (!m_bOpStarted || !m_pView)
        return HBaseOperator::OnLButtonDownAndMove(event);
    m_ptNew = event.GetMouseViewpointPos();
    m_radius = std::hypot(m_ptNew.x - m_ptFirst.x, m_ptNew.y - m_ptFirst.y);
    DrawRubberBand();
    m_pView->Update();
    return HOP_OK;
}

int HOpConstructCircle::OnLButtonUp(HEventInfo& event)
{
    if (!m_bOpStarted || !m_pView)
        return HBaseOperator::OnLButtonUp(event);
    m_bOpStarted = false;
    m_ptNew = event.GetMouseViewpointPos();
    m_radius = std::hypot(m_ptNew.x - m_ptFirst.x, m_ptNew.y - m_ptFirst.y);
    ClearRubberBand();
    if (m_insertCircle && m_radius > 0.0f && HC_Show_Existence_By_Key(m_pView->GetModelKey(), "self") > 0) {
        HPoint points[kSegments + 1];
        const int count = CirclePoints(m_radius, points, kSegments + 1);
        HC_Open_Segment_By_Key(m_pView->GetModelKey());
        HC_Insert_Polyline(count, points);
        HC_Close_Segment();
    }
    m_pView->Update();
    return HOP_READY;
}
