#include "platform/mvo/HOpMoveHandle.h"

#include <strings.h>

#include "platform/hc/HcStrings.h"
#include "platform/mvo/HBaseView.h"
#include "platform/mvo/HUtility.h"

namespace {
constexpr const char* kHandles = "handles";
bool Valid(HC_KEY key) { return key != -1 && HC_Show_Existence_By_Key(key, "self") > 0; }
} // namespace

HOpMoveHandle::HOpMoveHandle(HBaseView* view, bool allowSetup, int doRepeat, int doCapture)
    : HBaseOperator(view, doRepeat, doCapture), m_allowSetup(allowSetup)
{
}

const char* HOpMoveHandle::GetName() { return "HOpMoveHandle"; }

HBaseOperator* HOpMoveHandle::Clone() { return new HOpMoveHandle(m_pView, m_allowSetup, m_doRepeat, m_doCapture); }

HC_KEY HOpMoveHandle::SetupObject(HC_KEY objectSegment, HBaseView*, bool complex, float scale)
{
    if (!Valid(objectSegment) || HUtility::GrabSegment(objectSegment) != objectSegment)
        return -1;
    RemoveHandles(objectSegment);
    HPoint minimum(0, 0, 0), maximum(0, 0, 0);
    HC_Compute_Circumcuboid_By_Key(objectSegment, &minimum, &maximum);
    const HPoint centre = (minimum + maximum) * 0.5f;
    HC_Open_Segment_By_Key(objectSegment);
    const HC_KEY handles = HC_Open_Segment(kHandles);
    HC_Set_Visibility("markers = on, lines = on");
    HC_Set_Selectability("everything = off, markers = on!");
    HC_Set_Color("markers = red, lines = red");
    HC_Set_Marker_Symbol("+");
    HC_Set_Marker_Size(scale > 0.0f ? scale * 2.0 : 2.0);
    HC_Insert_Marker(centre.x, centre.y, centre.z);
    if (complex) {
        const float length = 0.2f * HLength(maximum - minimum) * (scale > 0.0f ? scale : 1.0f);
        HC_Insert_Line(centre.x, centre.y, centre.z, centre.x + length, centre.y, centre.z);
        HC_Insert_Line(centre.x, centre.y, centre.z, centre.x, centre.y + length, centre.z);
        HC_Insert_Line(centre.x, centre.y, centre.z, centre.x, centre.y, centre.z + length);
    }
    HC_Close_Segment();
    HC_Close_Segment();
    return handles;
}

void HOpMoveHandle::RemoveHandles(HC_KEY objectSegment)
{
    if (!Valid(objectSegment))
        return;
    HC_Open_Segment_By_Key(objectSegment);
    if (HC_QShow_Existence(kHandles, "self") > 0)
        HC_Delete_Segment(kHandles);
    HC_Close_Segment();
}

HC_KEY HOpMoveHandle::HandleOwner(HC_KEY item)
{
    const HC_KEY segment = HUtility::GrabSegment(item);
    if (segment == -1)
        return -1;
    return strcasecmp(HC_Show_Segment_Name(segment).c_str(), kHandles) == 0
               ? HC_KShow_Owner_By_Key(segment)
               : -1;
}

int HOpMoveHandle::OnLButtonDown(HEventInfo& event)
{
    if (!m_pView)
        return HOP_NOT_HANDLED;
    const HPoint at = event.GetMouseWindowPos();
    if (HC_Show_Existence_By_Key(m_pView->GetViewKey(), "self") == 0)
        return HOP_NOT_HANDLED;
    // Handles sit inside their objects, so the nearest hit is often the object itself: any
    // handle among the hits wins over other geometry.
    HC_KEY item = -1, owner = -1;
    HC_Open_Segment_By_Key(m_pView->GetViewKey());
    if (HC_Compute_Selection(".", "./scene", "v", at.x, at.y) > 0) {
        do {
            HC_KEY hit = -1;
            int o1 = 0, o2 = 0, o3 = 0;
            HC_Show_Selection_Element(&hit, &o1, &o2, &o3);
            if (item == -1)
                item = hit;
            owner = HandleOwner(hit);
        } while (owner == -1 && HC_Find_Related_Selection());
    }
    HC_Close_Segment();
    if (item == -1)
        return HOP_NOT_HANDLED;
    if (owner == -1) {
        if (m_allowSetup) {
            SetupObject(HUtility::GrabSegment(item), m_pView, false, 1.0f);
            m_pView->Update();
            return HOP_READY;
        }
        return HOP_NOT_HANDLED;
    }
    m_object = owner;
    m_bOpStarted = true;
    m_ptFirst = m_ptNew = event.GetMouseWorldPos();
    return HOP_OK;
}

int HOpMoveHandle::OnLButtonDownAndMove(HEventInfo& event)
{
    if (!m_bOpStarted || !m_pView)
        return HBaseOperator::OnLButtonDownAndMove(event);
    const HPoint now = event.GetMouseWorldPos();
    const HPoint delta = now - m_ptNew;
    m_ptNew = now;
    if (delta == HPoint() || !Valid(m_object))
        return HOP_OK;
    HC_Open_Segment_By_Key(m_object);
    HC_Translate_Object(delta.x, delta.y, delta.z);
    HC_Close_Segment();
    m_pView->SetGeometryChanged();
    m_pView->Update();
    return HOP_OK;
}

int HOpMoveHandle::OnLButtonUp(HEventInfo& event)
{
    if (!m_bOpStarted || !m_pView)
        return HBaseOperator::OnLButtonUp(event);
    m_bOpStarted = false;
    if (Valid(m_object))
        m_pView->GetEventManager()->EmitObjectMoved(m_pView, m_object);
    return HOP_READY;
}
