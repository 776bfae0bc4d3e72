// The circle, rectangle and freehand markup operators.
#include <cmath>
#include <vector>

#include "operators/HOpKetraMarkupCircle.h"
#include "operators/HOpKetraMarkupFreehand.h"
#include "operators/HOpKetraMarkupRectangle.h"
#include "operators/KetraMarkupSettings.h"
#include "platform/hc/hc.h"
#include "platform/mvo/HBaseView.h"
#include "platform/mvo/HMarkupManager.h"
#include "platform/mvo/HUtility.h"
#include "annotation/KetraViewWindow.h"
#include "view/HBaseViewEx.h"

using namespace ketra::operators;

namespace {

HBaseView* ViewOf(KetraViewWindow* window)
{
    return window ? static_cast<HBaseView*>(window->GetHoopsViewEx()) : nullptr;
}

// Opens the markup layer and its subsegment `name`; returns the subsegment (-1, nothing
// open, without a markup manager). The caller closes two segments.
HC_KEY OpenMarkupSubsegment(HBaseView* view, const char* name)
{
    const HC_KEY layer = MarkupLayer(view);
    if (layer == -1)
        return -1;
    HC_Open_Segment_By_Key(layer);
    return HC_Open_Segment(name);
}

void SetMarkupStyle()
{
    HC_Set_Color(MarkupColorString().c_str());
    HC_Set_Line_Weight(MarkupLineWeight());
}

} // namespace

// --- circle --------------------------------------------------------------------------------

HOpKetraMarkupCircle::HOpKetraMarkupCircle(KetraViewWindow* window, int doRepeat, int doCapture)
    : HOpConstructCircle(ViewOf(window), doRepeat, doCapture, false), KetraBaseOperator(window)
{
}

const char* HOpKetraMarkupCircle::GetName() { return "HOpKetraMarkupCircle"; }

HBaseOperator* HOpKetraMarkupCircle::Clone() { return new HOpKetraMarkupCircle(*this); }

int HOpKetraMarkupCircle::OnLButtonUp(HEventInfo& event)
{
    if (!OperatorStarted())
        return HBaseOperator::OnLButtonDownAndMove(event);
    const int result = HOpConstructCircle::OnLButtonUp(event);
    m_ptNew = event.GetMouseViewpointPos();
    if (m_ptFirst == m_ptNew || !m_pView) {
        m_bOpStarted = false;
        return result;
    }
    const HC_KEY segment = OpenMarkupSubsegment(m_pView, GetName());
    if (segment != -1) {
        HC_Set_Heuristics("no backplane culling");
        // The circle lies in the screen plane at the centre's depth; its points go into the
        // world so it stays on the model as the camera moves. Faces stay off: a circle marks
        // what lies inside it and must not hide it.
        constexpr int kCount = 65;
        HPoint points[kCount];
        for (int i = 0; i < kCount; ++i) {
            const float a = 2.0f * HUtility::PI * static_cast<float>(i) / (kCount - 1);
            const HPoint viewpoint(m_ptFirst.x + m_radius * std::cos(a),
                                   m_ptFirst.y + m_radius * std::sin(a), m_ptFirst.z);
            points[i] = m_pView->ViewpointToWorld(viewpoint);
        }
        HC_Insert_Polyline(kCount, points);
        SetMarkupStyle();
        HC_Close_Segment();
        HC_Close_Segment();
        NotifyMarkup(m_pView, segment);
    }
    m_pView->Update();
    m_bOpStarted = false;
    return result;
}

// --- rectangle -----------------------------------------------------------------------------

HOpKetraMarkupRectangle::HOpKetraMarkupRectangle(KetraViewWindow* window, int doRepeat, int doCapture)
    : HOpConstructRectangle(ViewOf(window), doRepeat, doCapture), KetraBaseOperator(window)
{
}

const char* HOpKetraMarkupRectangle::GetName() { return "HOpKetraMarkupRectangle"; }

HBaseOperator* HOpKetraMarkupRectangle::Clone() { return new HOpKetraMarkupRectangle(*this); }

int HOpKetraMarkupRectangle::OnLButtonUp(HEventInfo& event)
{
    if (!OperatorStarted())
        return HBaseOperator::OnLButtonDownAndMove(event);
    const HPoint first = m_ptFirst;
    const int result = HOpConstructRectangle::OnLButtonUp(event);
    m_ptNew = event.GetMouseWindowPos();
    if (first.x == m_ptNew.x && first.y == m_ptNew.y) {
        m_bOpStarted = false;
        return result;
    }
    m_ptRectangle[0] = first;
    m_ptRectangle[1] = m_ptNew;
    m_bRectangleExists = true;
    if (!m_pView) {
        m_bOpStarted = false;
        return result;
    }
    HPoint a = first, b = m_ptNew;
    HC_Open_Segment_By_Key(m_pView->GetSceneKey());
    HC_Compute_Coordinates(".", "local window", &a, "viewpoint", &a);
    HC_Compute_Coordinates(".", "local window", &b, "viewpoint", &b);
    HCamera camera;
    m_pView->GetCamera(camera);
    const float d = camera.Distance();
    HPoint outline[5] = {{a.x, a.y, d}, {a.x, b.y, d}, {b.x, b.y, d}, {b.x, a.y, d}, {a.x, a.y, d}};
    for (HPoint& p : outline)
        HC_Compute_Coordinates(".", "viewpoint", &p, "world", &p);
    HC_Close_Segment();
    const HC_KEY segment = OpenMarkupSubsegment(m_pView, GetName());
    if (segment != -1) {
        HC_Insert_Polyline(5, outline);
        SetMarkupStyle();
        HC_Close_Segment();
        HC_Close_Segment();
        NotifyMarkup(m_pView, segment);
    }
    m_pView->Update();
    m_bOpStarted = false;
    return result;
}

// --- freehand ------------------------------------------------------------------------------

HOpKetraMarkupFreehand::HOpKetraMarkupFreehand(KetraViewWindow* window, int doRepeat, int doCapture)
    : HBaseOperator(ViewOf(window), doRepeat, doCapture), KetraBaseOperator(window)
{
    m_bOpStarted = false;
}

const char* HOpKetraMarkupFreehand::GetName() { return "HOpKetraMarkupFreehand"; }

HBaseOperator* HOpKetraMarkupFreehand::Clone() { return new HOpKetraMarkupFreehand(*this); }

int HOpKetraMarkupFreehand::OnLButtonDown(HEventInfo& event)
{
    if (!m_pView || HC_Show_Existence_By_Key(m_pView->GetWindowspaceKey(), "self") == 0)
        return HOP_NOT_HANDLED;
    m_ptNew = event.GetMouseWindowPos();
    HC_Open_Segment_By_Key(m_pView->GetWindowspaceKey());
    HC_Open_Segment(GetName());
    if (!m_bOpStarted) {
        m_bOpStarted = true;
        HC_Restart_Ink();
    }
    m_stroke = HC_Insert_Ink(m_ptNew.x, m_ptNew.y, m_ptNew.z);
    HC_Close_Segment();
    HC_Close_Segment();
    m_lastPoint = m_ptNew;
    return HOP_OK;
}

int HOpKetraMarkupFreehand::OnLButtonDownAndMove(HEventInfo& event)
{
    if (!m_bOpStarted)
        return HBaseOperator::OnNoButtonDownAndMove(event);
    if (!m_pView)
        return HOP_OK;
    m_ptNew = event.GetMouseWindowPos();
    HC_Open_Segment_By_Key(m_pView->GetWindowspaceKey());
    HC_Open_Segment(GetName());
    m_stroke = HC_Insert_Ink(m_ptNew.x, m_ptNew.y, m_ptNew.z);
    HC_Close_Segment();
    HC_Close_Segment();
    m_lastPoint = m_ptNew;
    m_pView->Update();
    return HOP_OK;
}

int HOpKetraMarkupFreehand::OnLButtonUp(HEventInfo& event)
{
    if (!m_bOpStarted)
        return HBaseOperator::OnLButtonDblClk(event);
    if (!m_pView) {
        m_bOpStarted = false;
        return HOP_READY;
    }
    std::vector<HPoint> points;
    if (m_stroke != -1 && HC_Show_Existence_By_Key(m_stroke, "self") > 0) {
        int count = 0;
        HC_Show_Polyline_Count(m_stroke, &count);
        points.resize(static_cast<size_t>(std::max(0, count)));
        if (count > 0)
            HC_Show_Polyline(m_stroke, &count, points.data());
    }
    HC_Open_Segment_By_Key(m_pView->GetWindowspaceKey());
    HC_Flush_Contents("...", "geometry");
    HC_Close_Segment();
    m_stroke = -1;
    m_pView->Update();
    HC_Open_Segment_By_Key(m_pView->GetSceneKey());
    for (HPoint& p : points)
        HC_Compute_Coordinates(".", "local window", &p, "world", &p);
    HC_Close_Segment();
    if (!points.empty())
        CreateMarkupFreehand(m_pView, GetName(), static_cast<unsigned int>(points.size()),
                             points.data(), m_pView->GetEmitMessages());
    m_pView->Update();
    m_bOpStarted = false;
    return HOP_READY;
}

HC_KEY HOpKetraMarkupFreehand::CreateMarkupFreehand(HBaseView* view, const char* name,
                                                    unsigned int count, HPoint* points, bool emit)
{
    if (!view || !view->GetMarkupManager() || !points || count == 0)
        return -1;
    const HC_KEY segment = OpenMarkupSubsegment(view, name && *name ? name : "HOpKetraMarkupFreehand");
    if (segment == -1)
        return -1;
    HC_Insert_Polyline(static_cast<int>(count), points);
    HC_Set_Line_Pattern("(----)");
    SetMarkupStyle();
    HC_Close_Segment();
    HC_Close_Segment();
    if (emit)
        NotifyMarkup(view, segment);
    return segment;
}
