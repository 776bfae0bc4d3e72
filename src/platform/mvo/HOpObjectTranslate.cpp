#include "platform/mvo/HOpObjectTranslate.h"

#include <algorithm>

#include "platform/hc/CameraMath.h"
#include "platform/hc/hc.h"
#include "platform/mvo/HBaseView.h"
#include "platform/mvo/HSelectionSet.h"
#include "platform/mvo/HUtility.h"

namespace cm = ketra::hc::CameraMath;

namespace {

bool Valid(HC_KEY key) { return key != -1 && HC_Show_Existence_By_Key(key, "self") > 0; }

void Translate(HC_KEY segment, const HPoint& delta)
{
    HC_Open_Segment_By_Key(segment);
    HC_Translate_Object(delta.x, delta.y, delta.z);
    HC_Close_Segment();
}

// Centre of a segment's bounding box in its owner's coordinates (its own matrix applied).
bool SegmentCentre(HC_KEY segment, HPoint& centre)
{
    HPoint minimum, maximum;
    if (!HC_Compute_Circumcuboid_By_Key(segment, &minimum, &maximum))
        return false;
    const HPoint local = (minimum + maximum) * 0.5f;
    float matrix[16];
    HC_Open_Segment_By_Key(segment);
    HC_Show_Modelling_Matrix(matrix);
    HC_Close_Segment();
    HC_Compute_Transformed_Points(1, &local, matrix, &centre);
    return true;
}

} // namespace

HOpObjectTranslate::HOpObjectTranslate(HBaseView* view, int doRepeat, int doCapture)
    : HBaseOperator(view, doRepeat, doCapture)
{
}

const char* HOpObjectTranslate::GetName() { return "HOpObjectTranslate"; }

HBaseOperator* HOpObjectTranslate::Clone() { return new HOpObjectTranslate(m_pView, m_doRepeat, m_doCapture); }

std::vector<HC_KEY> HOpObjectTranslate::TargetSegments(HBaseView* view)
{
    std::vector<HC_KEY> segments;
    HSelectionSet* selection = view ? view->GetSelection() : nullptr;
    if (!selection)
        return segments;
    for (unsigned int i = 0; i < selection->GetSize(); ++i) {
        const HC_KEY segment = HUtility::GrabSegment(selection->GetAt(i));
        if (segment != -1 && std::find(segments.begin(), segments.end(), segment) == segments.end())
            segments.push_back(segment);
    }
    return segments;
}

HC_KEY HOpObjectTranslate::PickSegment(HBaseView* view, float x, float y)
{
    const HC_KEY item = HUtility::SelectUnderCursor(view, x, y);
    return item == -1 ? -1 : HUtility::GrabSegment(item);
}

int HOpObjectTranslate::OnLButtonDown(HEventInfo& event)
{
    if (!m_pView)
        return HOP_NOT_HANDLED;
    m_targets = TargetSegments(m_pView);
    if (m_targets.empty()) {
        const HC_KEY picked = PickSegment(m_pView, event.GetMouseWindowPos().x, event.GetMouseWindowPos().y);
        if (picked != -1)
            m_targets.push_back(picked);
    }
    if (m_targets.empty())
        return HOP_NOT_HANDLED;
    m_bOpStarted = true;
    m_ptFirst = m_ptNew = event.GetMouseWorldPos();
    return HOP_OK;
}

int HOpObjectTranslate::OnLButtonDownAndMove(HEventInfo& event)
{
    if (!m_bOpStarted || !m_pView)
        return HBaseOperator::OnLButtonDownAndMove(event);
    const HPoint now = event.GetMouseWorldPos();
    const HPoint delta = now - m_ptNew;
    m_ptNew = now;
    if (delta == HPoint())
        return HOP_OK;
    for (HC_KEY segment : m_targets) {
        if (!Valid(segment))
            continue;
        Translate(segment, delta);
        m_pView->GetEventManager()->EmitObjectMoved(m_pView, segment);
    }
    m_pView->SetGeometryChanged();
    m_pView->Update();
    return HOP_OK;
}

int HOpObjectTranslate::OnLButtonUp(HEventInfo& event)
{
    if (!m_bOpStarted)
        return HBaseOperator::OnLButtonUp(event);
    m_bOpStarted = false;
    m_targets.clear();
    return HOP_READY;
}

HOpObjectRotate::HOpObjectRotate(HBaseView* view, int doRepeat, int doCapture)
    : HBaseOperator(view, doRepeat, doCapture)
{
}

const char* HOpObjectRotate::GetName() { return "HOpObjectRotate"; }

HBaseOperator* HOpObjectRotate::Clone() { return new HOpObjectRotate(m_pView, m_doRepeat, m_doCapture); }

int HOpObjectRotate::OnLButtonDown(HEventInfo& event)
{
    if (!m_pView)
        return HOP_NOT_HANDLED;
    m_targets = HOpObjectTranslate::TargetSegments(m_pView);
    if (m_targets.empty()) {
        const HC_KEY picked =
            HOpObjectTranslate::PickSegment(m_pView, event.GetMouseWindowPos().x, event.GetMouseWindowPos().y);
        if (picked != -1)
            m_targets.push_back(picked);
    }
    HPoint sum;
    int counted = 0;
    for (HC_KEY segment : m_targets) {
        HPoint centre;
        if (SegmentCentre(segment, centre)) {
            sum += centre;
            ++counted;
        }
    }
    if (counted == 0)
        return HOP_NOT_HANDLED;
    m_centre = sum / static_cast<float>(counted);
    m_bOpStarted = true;
    m_ptFirst = m_ptNew = event.GetMouseWindowPos();
    return HOP_OK;
}

int HOpObjectRotate::OnLButtonDownAndMove(HEventInfo& event)
{
    if (!m_bOpStarted || !m_pView)
        return HBaseOperator::OnLButtonDownAndMove(event);
    const HPoint now = event.GetMouseWindowPos();
    const float dx = now.x - m_ptNew.x, dy = now.y - m_ptNew.y;
    m_ptNew = now;
    if (dx == 0.0f && dy == 0.0f)
        return HOP_OK;
    HCamera camera;
    m_pView->GetCamera(camera);
    const HPoint forward = camera.ViewDirection();
    const HPoint right = HNormalized(HCross(forward, camera.up_vector));
    const HPoint up = HCross(right, forward);
    const cm::Vec3 c{m_centre.x, m_centre.y, m_centre.z};
    cm::Matrix4 m = cm::Translation(-c);
    m = cm::Multiply(m, cm::Rotation({up.x, up.y, up.z}, dx * kDegreesPerUnit));
    m = cm::Multiply(m, cm::Rotation({right.x, right.y, right.z}, -dy * kDegreesPerUnit));
    m = cm::Multiply(m, cm::Translation(c));
    float matrix[16];
    m.ToFloats(matrix);
    for (HC_KEY segment : m_targets) {
        if (!Valid(segment))
            continue;
        HC_Open_Segment_By_Key(segment);
        HC_Append_Modelling_Matrix(matrix);
        HC_Close_Segment();
        m_pView->GetEventManager()->EmitObjectMoved(m_pView, segment);
    }
    m_pView->SetGeometryChanged();
    m_pView->Update();
    return HOP_OK;
}

int HOpObjectRotate::OnLButtonUp(HEventInfo& event)
{
    if (!m_bOpStarted)
        return HBaseOperator::OnLButtonUp(event);
    m_bOpStarted = false;
    m_targets.clear();
    return HOP_READY;
}
