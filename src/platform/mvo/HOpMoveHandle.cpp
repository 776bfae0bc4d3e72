#include "platform/mvo/HOpMoveHandle.h"

#include <strings.h>

#include <string>

#include "platform/hc/HcStrings.h"
#include "platform/mvo/HBaseView.h"
#include "platform/mvo/HCamera.h"
#include "platform/mvo/HUtility.h"

namespace {
constexpr const char* kHandles = "handles";
bool Valid(HC_KEY key) { return key != -1 && HC_Show_Existence_By_Key(key, "self") > 0; }

// The items of `filter` kind directly in `segment`, in insertion order.
std::vector<HC_KEY> Contents(HC_KEY segment, const char* filter)
{
    std::vector<HC_KEY> keys;
    if (!Valid(segment))
        return keys;
    HC_Open_Segment_By_Key(segment);
    HC_Begin_Contents_Search(".", filter);
    HC_KEY key = -1;
    while (HC_Find_Contents(nullptr, &key))
        keys.push_back(key);
    HC_End_Contents_Search();
    HC_Close_Segment();
    return keys;
}

// The subsegment of `parent` called `name`, or -1.
HC_KEY ChildNamed(HC_KEY parent, const std::string& name)
{
    for (HC_KEY child : Contents(parent, "segments"))
        if (strcasecmp(HC_Show_Segment_Name(child).c_str(), name.c_str()) == 0)
            return child;
    return -1;
}

// The unit normal of the first cutting plane in `segment`; false when it holds none.
bool PlaneNormal(HC_KEY segment, HPoint& normal)
{
    const std::vector<HC_KEY> planes = Contents(segment, "cutting planes");
    if (planes.empty())
        return false;
    float a = 0, b = 0, c = 0, d = 0;
    HC_Show_Cutting_Plane(planes.front(), &a, &b, &c, &d);
    normal = HPoint(a, b, c);
    if (!(HLength(normal) > 0.0f))
        return false;
    normal = HNormalized(normal);
    return true;
}

// The quad that shows the view's cutting plane in segment `plane`, or -1.
HC_KEY PlaneQuad(const HBaseView& view, HC_KEY plane)
{
    return ChildNamed(view.GetCuttingPlaneGeomKey(), HC_Show_Segment_Name(plane));
}

// The newest of the view's inserted cutting planes that has a quad (the one its handle sits
// on), or -1.
HC_KEY NewestPlane(const HBaseView& view)
{
    HC_KEY newest = -1;
    HPoint normal;
    for (HC_KEY plane : Contents(view.GetCuttingPlanesKey(), "segments"))
        if (PlaneNormal(plane, normal) && PlaneQuad(view, plane) != -1)
            newest = plane;
    return newest;
}

// The view's cutting plane whose quad `item` is part of, or -1.
HC_KEY PlaneOfQuad(const HBaseView& view, HC_KEY item)
{
    const HC_KEY segment = HUtility::GrabSegment(item);
    if (segment == -1 || HC_KShow_Owner_By_Key(segment) != view.GetCuttingPlaneGeomKey())
        return -1;
    return ChildNamed(view.GetCuttingPlanesKey(), HC_Show_Segment_Name(segment));
}
} // namespace

HOpMoveHandle::HOpMoveHandle(HBaseView* view, bool allowSetup, int doRepeat, int doCapture)
    : HBaseOperator(view, doRepeat, doCapture), m_allowSetup(allowSetup)
{
}

const char* HOpMoveHandle::GetName() { return "HOpMoveHandle"; }

HBaseOperator* HOpMoveHandle::Clone() { return new HOpMoveHandle(m_pView, m_allowSetup, m_doRepeat, m_doCapture); }

HC_KEY HOpMoveHandle::SetupObject(HC_KEY objectSegment, HBaseView* view, bool complex, float scale)
{
    if (!Valid(objectSegment) || HUtility::GrabSegment(objectSegment) != objectSegment)
        return -1;
    RemoveHandles(objectSegment);
    HPoint minimum(0, 0, 0), maximum(0, 0, 0);
    // Cutting planes have no extent of their own: their handle sits on the newest plane's quad.
    const HC_KEY newest = view && objectSegment == view->GetCuttingPlanesKey() ? NewestPlane(*view) : -1;
    HC_Compute_Circumcuboid_By_Key(newest != -1 ? PlaneQuad(*view, newest) : objectSegment, &minimum, &maximum);
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

float HOpMoveHandle::DistanceAlongNormal(const HBaseView& view, const HPoint& anchor, const HPoint& normal,
                                         const HPoint& from, const HPoint& to)
{
    // Window coordinates stretch x by the aspect ratio; compare motions in square units.
    const float aspect = static_cast<float>(view.GetWindowAspect());
    const HPoint base = view.WorldToWindow(anchor);
    auto onScreen = [&](const HPoint& world) {
        const HPoint w = view.WorldToWindow(world) - base;
        return HPoint(w.x * aspect, w.y, 0);
    };
    HCamera camera;
    view.GetCamera(camera);
    const HPoint direction = camera.ViewDirection();
    const HPoint right = HNormalized(HCross(direction, camera.up_vector));
    // One world unit across the screen, and the normal's screen direction per world unit.
    const float across = HLength(onScreen(anchor + right));
    HPoint along = onScreen(anchor + normal);
    if (!(across > 0.0f))
        return 0.0f;
    const float least = 0.2f * across, length = HLength(along);
    if (length < least) {
        if (length > 1e-3f * across)
            along = along * (least / length);
        else
            along = HPoint(0, HDot(normal, direction) <= 0.0f ? least : -least, 0);
    }
    const HPoint motion((to.x - from.x) * aspect, to.y - from.y, 0);
    return HDot(motion, along) / HDot(along, along);
}

bool HOpMoveHandle::GrabCuttingPlane(HC_KEY plane, const HPoint& anchor)
{
    HPoint normal;
    if (plane == -1 || !PlaneNormal(plane, normal))
        return false;
    m_normal = normal;
    m_anchor = anchor;
    m_moving = {plane};
    if (const HC_KEY quad = PlaneQuad(*m_pView, plane); quad != -1)
        m_moving.push_back(quad);
    if (plane == NewestPlane(*m_pView))
        if (const HC_KEY handles = ChildNamed(m_pView->GetCuttingPlanesKey(), kHandles); handles != -1)
            m_moving.push_back(handles);
    return true;
}

int HOpMoveHandle::OnLButtonDown(HEventInfo& event)
{
    if (!m_pView)
        return HOP_NOT_HANDLED;
    const HPoint at = event.GetMouseWindowPos();
    if (HC_Show_Existence_By_Key(m_pView->GetViewKey(), "self") == 0)
        return HOP_NOT_HANDLED;
    // Handles sit inside their objects, so the nearest hit is often the object itself: any
    // handle among the hits wins over other geometry, then any cutting plane's quad (it is
    // see-through, so what lies behind it must not hide it).
    HC_KEY item = -1, owner = -1, plane = -1;
    HC_Open_Segment_By_Key(m_pView->GetViewKey());
    if (HC_Compute_Selection(".", "./scene", "v", at.x, at.y) > 0) {
        do {
            HC_KEY hit = -1;
            int o1 = 0, o2 = 0, o3 = 0;
            HC_Show_Selection_Element(&hit, &o1, &o2, &o3);
            if (item == -1)
                item = hit;
            owner = HandleOwner(hit);
            if (plane == -1)
                plane = PlaneOfQuad(*m_pView, hit);
        } while (owner == -1 && HC_Find_Related_Selection());
    }
    HC_Close_Segment();
    if (item == -1)
        return HOP_NOT_HANDLED;
    m_moving.clear();
    const HC_KEY cuttingPlanes = m_pView->GetCuttingPlanesKey();
    if (owner == cuttingPlanes || (owner == -1 && plane != -1)) {
        if (!GrabCuttingPlane(owner == -1 ? plane : NewestPlane(*m_pView), event.GetMouseWorldPos()))
            return HOP_NOT_HANDLED;
        owner = cuttingPlanes;
    }
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
    // A cutting plane follows the pointer in window coordinates, other objects in world ones.
    m_ptFirst = m_ptNew = m_moving.empty() ? event.GetMouseWorldPos() : at;
    return HOP_OK;
}

int HOpMoveHandle::OnLButtonDownAndMove(HEventInfo& event)
{
    if (!m_bOpStarted || !m_pView)
        return HBaseOperator::OnLButtonDownAndMove(event);
    HPoint delta;
    if (m_moving.empty()) {
        const HPoint now = event.GetMouseWorldPos();
        delta = now - m_ptNew;
        m_ptNew = now;
    } else {
        const HPoint now = event.GetMouseWindowPos();
        delta = m_normal * DistanceAlongNormal(*m_pView, m_anchor, m_normal, m_ptNew, now);
        m_ptNew = now;
        m_anchor += delta;
    }
    if (delta == HPoint() || !Valid(m_object))
        return HOP_OK;
    for (HC_KEY segment : m_moving.empty() ? std::vector<HC_KEY>{m_object} : m_moving) {
        if (!Valid(segment))
            continue;
        HC_Open_Segment_By_Key(segment);
        HC_Translate_Object(delta.x, delta.y, delta.z);
        HC_Close_Segment();
    }
    m_pView->SetGeometryChanged();
    m_pView->Update();
    return HOP_OK;
}

int HOpMoveHandle::OnLButtonUp(HEventInfo& event)
{
    if (!m_bOpStarted || !m_pView)
        return HBaseOperator::OnLButtonUp(event);
    m_bOpStarted = false;
    m_moving.clear();
    if (Valid(m_object))
        m_pView->GetEventManager()->EmitObjectMoved(m_pView, m_object);
    return HOP_READY;
}
