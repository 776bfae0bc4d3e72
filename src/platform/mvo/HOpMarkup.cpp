#include "platform/mvo/HOpMarkup.h"

#include <vector>

#include "platform/hc/HcStrings.h"
#include "platform/mvo/HBaseView.h"
#include "platform/mvo/HMarkupManager.h"
#include "platform/mvo/HObjectManager.h"
#include "platform/mvo/HUtility.h"

namespace {

bool Valid(HC_KEY key) { return key != -1 && HC_Show_Existence_By_Key(key, "self") > 0; }

void Notify(HBaseView* view, HC_KEY segment)
{
    if (view && view->GetEmitMessages() && view->GetMarkupManager() && segment != -1)
        view->GetMarkupManager()->EmitMarkupSegment(segment);
}

HC_KEY InsertShape(HBaseView* view, const char* name, int count, const HPoint* points)
{
    const HC_KEY segment = OpenMarkupShapeSegment(view, name);
    if (segment == -1)
        return -1;
    HC_Open_Segment_By_Key(segment);
    HC_Insert_Polyline(count, points);
    HC_Close_Segment();
    Notify(view, segment);
    return segment;
}

} // namespace

HC_KEY OpenMarkupShapeSegment(HBaseView* view, const char* name)
{
    if (!view || !view->GetMarkupManager())
        return -1;
    const HC_KEY segment = view->GetMarkupManager()->GetLayerSubsegment(name);
    if (segment == -1)
        return -1;
    HC_Open_Segment_By_Key(segment);
    HC_Set_Color("lines = red, text = red");
    HC_Set_Line_Weight(2.0);
    HC_Set_Visibility("lines = on, text = on");
    HC_Close_Segment();
    return segment;
}

// --- circle ---------------------------------------------------------------------------

HOpMarkupCircle::HOpMarkupCircle(HBaseView* view, int doRepeat, int doCapture)
    : HOpConstructCircle(view, doRepeat, doCapture, false)
{
}

const char* HOpMarkupCircle::GetName() { return "HOpMarkupCircle"; }

HBaseOperator* HOpMarkupCircle::Clone() { return new HOpMarkupCircle(*this); }

int HOpMarkupCircle::OnLButtonUp(HEventInfo& event)
{
    if (!m_bOpStarted || !m_pView)
        return HOpConstructCircle::OnLButtonUp(event);
    const int result = HOpConstructCircle::OnLButtonUp(event);
    if (m_radius > 0.0f) {
        HPoint points[65];
        const int count = CirclePoints(m_radius, points, 65);
        InsertShape(m_pView, GetName(), count, points);
        m_pView->Update();
    }
    return result;
}

// --- rectangle ------------------------------------------------------------------------

HOpMarkupRectangle::HOpMarkupRectangle(HBaseView* view, int doRepeat, int doCapture)
    : HOpConstructRectangle(view, doRepeat, doCapture)
{
}

const char* HOpMarkupRectangle::GetName() { return "HOpMarkupRectangle"; }

HBaseOperator* HOpMarkupRectangle::Clone() { return new HOpMarkupRectangle(*this); }

int HOpMarkupRectangle::OnLButtonUp(HEventInfo& event)
{
    if (!m_bOpStarted || !m_pView)
        return HOpConstructRectangle::OnLButtonUp(event);
    const int result = HOpConstructRectangle::OnLButtonUp(event);
    if (m_bRectangleExists) {
        const HPoint a = m_ptRectangle[0], b = m_ptRectangle[1];
        const HPoint window[5] = {{a.x, a.y, 0}, {a.x, b.y, 0}, {b.x, b.y, 0}, {b.x, a.y, 0}, {a.x, a.y, 0}};
        HPoint world[5];
        for (int i = 0; i < 5; ++i)
            world[i] = m_pView->WindowToWorld(window[i]);
        InsertShape(m_pView, GetName(), 5, world);
        m_pView->Update();
    }
    return result;
}

// --- freehand -------------------------------------------------------------------------

HOpMarkupFreehand::HOpMarkupFreehand(HBaseView* view, int doRepeat, int doCapture)
    : HBaseOperator(view, doRepeat, doCapture)
{
}

const char* HOpMarkupFreehand::GetName() { return "HOpMarkupFreehand"; }

HBaseOperator* HOpMarkupFreehand::Clone() { return new HOpMarkupFreehand(m_pView, m_doRepeat, m_doCapture); }

int HOpMarkupFreehand::OnLButtonDown(HEventInfo& event)
{
    if (!m_pView || !Valid(m_pView->GetWindowspaceKey()))
        return HOP_NOT_HANDLED;
    const HPoint p = event.GetMouseWindowPos();
    HC_Open_Segment_By_Key(m_pView->GetWindowspaceKey());
    HC_Open_Segment(GetName());
    if (!m_bOpStarted) {
        HC_Flush_Contents(".", "geometry");
        HC_Restart_Ink();
    }
    m_ink = HC_Insert_Ink(p.x, p.y, 0.0);
    HC_Close_Segment();
    HC_Close_Segment();
    m_bOpStarted = true;
    m_ptFirst = m_ptNew = p;
    return HOP_OK;
}

int HOpMarkupFreehand::OnLButtonDownAndMove(HEventInfo& event)
{
    if (!m_bOpStarted || !m_pView)
        return HBaseOperator::OnNoButtonDownAndMove(event);
    m_ptNew = event.GetMouseWindowPos();
    HC_Open_Segment_By_Key(m_pView->GetWindowspaceKey());
    HC_Open_Segment(GetName());
    m_ink = HC_Insert_Ink(m_ptNew.x, m_ptNew.y, 0.0);
    HC_Close_Segment();
    HC_Close_Segment();
    m_pView->Update();
    return HOP_OK;
}

int HOpMarkupFreehand::OnLButtonUp(HEventInfo& event)
{
    if (!m_bOpStarted || !m_pView)
        return HBaseOperator::OnLButtonUp(event);
    m_bOpStarted = false;
    int count = 0;
    std::vector<HPoint> points;
    if (Valid(m_ink)) {
        HC_Show_Polyline_Count(m_ink, &count);
        points.resize(static_cast<size_t>(count > 0 ? count : 0));
        if (count > 0)
            HC_Show_Polyline(m_ink, &count, points.data());
    }
    HC_Open_Segment_By_Key(m_pView->GetWindowspaceKey());
    if (HC_QShow_Existence(GetName(), "self") > 0)
        HC_Delete_Segment(GetName());
    HC_Close_Segment();
    m_ink = -1;
    if (points.size() >= 2) {
        for (HPoint& p : points)
            p = m_pView->WindowToWorld(HPoint(p.x, p.y, 0));
        InsertShape(m_pView, GetName(), static_cast<int>(points.size()), points.data());
    }
    m_pView->Update();
    return HOP_READY;
}

// --- notes ----------------------------------------------------------------------------

HOpMarkupAnnotate::HOpMarkupAnnotate(HBaseView* view, int doRepeat, int doCapture, bool addToLayer,
                                     bool createNewNotes)
    : HBaseOperator(view, doRepeat, doCapture), m_addToLayer(addToLayer), m_createNewNotes(createNewNotes)
{
}

const char* HOpMarkupAnnotate::GetName() { return "HOpMarkupAnnotate"; }

HBaseOperator* HOpMarkupAnnotate::Clone()
{
    return new HOpMarkupAnnotate(m_pView, m_doRepeat, m_doCapture, m_addToLayer, m_createNewNotes);
}

void HOpMarkupAnnotate::Rebuild()
{
    if (!Valid(m_noteKey))
        return;
    HC_Open_Segment_By_Key(m_noteKey);
    HC_Flush_Contents(".", "geometry");
    if (HasLeader() && m_target != m_position)
        HC_Insert_Line(m_target.x, m_target.y, m_target.z, m_position.x, m_position.y, m_position.z);
    HC_Insert_Text(m_position.x, m_position.y, m_position.z, m_text.c_str());
    HC_Close_Segment();
}

void HOpMarkupAnnotate::SetNoteText(const std::string& text)
{
    m_text = text;
    Rebuild();
}

int HOpMarkupAnnotate::OnLButtonDown(HEventInfo& event)
{
    if (!m_pView)
        return HOP_NOT_HANDLED;
    const HPoint at = event.GetMouseWindowPos();
    HPoint hit;
    const HC_KEY item = HUtility::SelectUnderCursor(m_pView, at.x, at.y, &hit);
    std::string kind;
    const HC_KEY object = item == -1 ? -1 : HObjectManager::FindHObjectSegment(item, &kind);
    if (!m_createNewNotes && object != -1 && kind == "Annotation") {
        // Grab an existing note: keep its target, move its text.
        m_noteKey = object;
        m_target = m_position = event.GetMouseWorldPos();
        m_text.clear();
        HC_Open_Segment_By_Key(object);
        HC_Begin_Contents_Search(".", "text, lines");
        std::string type;
        HC_KEY key = -1;
        while (HC_Find_Contents(type, &key)) {
            if (type == "text") {
                HC_Show_Text(key, &m_position.x, &m_position.y, &m_position.z, m_text);
            } else {
                HPoint ignored;
                HC_Show_Line(key, &m_target.x, &m_target.y, &m_target.z, &ignored.x, &ignored.y, &ignored.z);
            }
        }
        HC_End_Contents_Search();
        HC_Set_Heuristics("quick moves");
        HC_Close_Segment();
        if (!HasLeader())
            m_target = m_position;
    } else {
        HC_KEY parent = -1;
        if (m_addToLayer)
            parent = m_pView->GetMarkupManager() ? m_pView->GetMarkupManager()->GetLayerSubsegment("notes") : -1;
        else if (Valid(m_pView->GetSceneKey())) {
            HC_Open_Segment_By_Key(m_pView->GetSceneKey());
            parent = HC_Open_Segment("notes");
            HC_Close_Segment();
            HC_Close_Segment();
        }
        if (parent == -1)
            return HOP_NOT_HANDLED;
        m_target = m_position = item != -1 ? hit : event.GetMouseWorldPos();
        m_text.clear();
        HC_Open_Segment_By_Key(parent);
        m_noteKey = HC_Open_Segment("");
        HC_Set_Heuristics("quick moves");
        HC_Set_Visibility("lines = on, text = on");
        HC_Set_Color("lines = red, text = red");
        HC_Close_Segment();
        HC_Close_Segment();
        HObjectManager::SetHObjectSegment(m_noteKey, "Annotation");
    }
    m_bOpStarted = true;
    m_ptFirst = m_target;
    m_ptNew = m_position;
    Rebuild();
    m_pView->Update();
    return HOP_OK;
}

int HOpMarkupAnnotate::OnLButtonDownAndMove(HEventInfo& event)
{
    if (!m_bOpStarted || !m_pView)
        return HBaseOperator::OnLButtonDownAndMove(event);
    m_position = m_ptNew = event.GetMouseWorldPos();
    if (!HasLeader())
        m_target = m_position;
    Rebuild();
    m_pView->Update();
    return HOP_OK;
}

int HOpMarkupAnnotate::OnLButtonUp(HEventInfo& event)
{
    if (!m_bOpStarted || !m_pView)
        return HBaseOperator::OnLButtonUp(event);
    m_bOpStarted = false;
    if (Valid(m_noteKey)) {
        HC_Open_Segment_By_Key(m_noteKey);
        if (HC_Show_Existence("heuristics = quick moves") > 0)
            HC_UnSet_One_Heuristic("quick moves");
        HC_Close_Segment();
        Notify(m_pView, m_noteKey);
    }
    m_pView->Update();
    return HOP_READY;
}

int HOpMarkupAnnotate::OnKeyDown(HEventInfo& event)
{
    if (m_bOpStarted || !Valid(m_noteKey))
        return HBaseOperator::OnKeyDown(event);
    const unsigned int c = event.GetChar();
    if (c == 8) {
        if (!m_text.empty())
            m_text.pop_back();
    } else if (c == 13) {
        Notify(m_pView, m_noteKey);
        m_noteKey = -1;  // typing into this note is finished
        return HOP_READY;
    } else if (c >= 32 && c < 127) {
        m_text.push_back(static_cast<char>(c));
    } else {
        return HBaseOperator::OnKeyDown(event);
    }
    Rebuild();
    if (m_pView)
        m_pView->Update();
    return HOP_OK;
}

HOpMarkupPostIt::HOpMarkupPostIt(HBaseView* view, int doRepeat, int doCapture, bool addToLayer,
                                 bool createNewNotes)
    : HOpMarkupAnnotate(view, doRepeat, doCapture, addToLayer, createNewNotes)
{
}

const char* HOpMarkupPostIt::GetName() { return "HOpMarkupPostIt"; }

HBaseOperator* HOpMarkupPostIt::Clone()
{
    return new HOpMarkupPostIt(m_pView, m_doRepeat, m_doCapture, m_addToLayer, m_createNewNotes);
}
