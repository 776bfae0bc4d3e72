// The view window's context menu (right button) and the note items it offers.
#include "view/window/CHoopsViewEx.h"

#include "annotation/NoteCommands.h"

#include "config/HOpConfig.h"
#include "platform/hc/hc.h"
#include "platform/mvo/HBaseOperator.h"
#include "platform/mvo/HEventManager.h"
#include "platform/mvo/HObjectManager.h"
#include "platform/mvo/HOpMoveHandle.h"
#include "platform/mvo/HUtility.h"
#include "platform/window/ResourceModule.h"
#include "view/HBaseViewEx.h"
#include "view/window/ViewCommands.h"

#include <strings.h>
#include <vector>

using namespace ketra::view;

namespace {

// Flags the context menu is tracked with.
constexpr unsigned int kContextMenuFlags = 0x2800;

// Positions in the Operators popup, by the current operator's name.
struct OperatorPosition {
    const char* name;
    unsigned int position;
};
constexpr OperatorPosition kOperatorPositions[] = {
    {"HOpObjectAnnotate", 0},
    // The library's note operator is what Annotate installs; it marks the same entry.
    {"HOpMarkupAnnotate", 0},
    {"HOpSelectAperture", 1},
    {"HOpCameraOrbitEx", 2},
    {"HOpCameraPanEx", 3},
    {"HOpCameraZoomEx", 5},
    {"HOpCameraZoomBoxEx", 6},
};
constexpr unsigned int kOperatorsLast = 6;

// Position in the Views popup by view mode. The plane view numbers (1 to 7) and the
// numbers the view commands set (Front 20 ... SE Isometric 16) give the same camera, so
// both mark the entry; NE Isometric (18) is the popup's eighth entry.
int ViewPosition(ViewMode mode)
{
    switch (mode) {
    case HViewXY: case HViewFront: return 0;
    case HViewYX: case HViewBack: return 1;
    case HViewXZ: case HViewBottom: return 2;
    case HViewZX: case HViewTop: return 3;
    case HViewYZ: case HViewRight: return 4;
    case HViewZY: case HViewLeft: return 5;
    case HViewIso: case HViewIsoSE: return 6;
    case HViewIsoNE: return 7;
    default: return -1;
    }
}
constexpr unsigned int kViewsLast = 7;

struct KindSegment {
    unsigned int id;
    const char* segment;
};
// The segments the context menu's element-kind checks look at.
constexpr KindSegment kKindChecks[] = {
    {kCmdShowPipes, "/include library/halden/pipes"},
    {kCmdShowBends, "/include library/halden/bends"},
    {kCmdShowRestraints, "/include library/halden/restraints"},
    {kCmdShowHangers, "/include library/halden/hangers"},
    {kCmdShowAnchors, "/include library/halden/anchors"},
    {kCmdShowRigids, "/include library/halden/rigids"},
    {kCmdShowStructures, "/include library/halden/structures"},
    {kCmdShowExpansionJoints, "/include library/halden/Expansion Joints"},
};

void Check(CMenu& menu, unsigned int id, bool on)
{
    menu.CheckMenuItem(id, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
}

// Radio-checks `position` of popup `index` (none when position < 0: the group is cleared).
void RadioCheck(CMenu& menu, int index, int position, unsigned int last)
{
    CMenu* popup = menu.GetSubMenu(index);
    if (!popup)
        return;
    if (position >= 0) {
        popup->CheckMenuRadioItem(0, last, static_cast<unsigned int>(position), MF_BYPOSITION);
        return;
    }
    for (unsigned int i = 0; i <= last; ++i)
        popup->CheckMenuItem(i, MF_BYPOSITION | MF_UNCHECKED);
}

bool TextIs(const CMenu& menu, int position, const char* text)
{
    return menu.GetMenuString(static_cast<unsigned int>(position), MF_BYPOSITION) == text;
}

} // namespace

bool CHoopsViewEx::BuildContextMenu(CMenu& popup)
{
    popup.DestroyMenu();
    CMenu menu;
    {
        // The component's module is the resource source only while the menu loads.
        const ketra::window::ResourceModule* module =
            ketra::window::LoadResourceModule(kComponentResourceModule);
        if (!module)
            return false;
        ketra::window::ScopedResourceHandle scoped(module);
        if (!menu.LoadMenu(kMenuContext))
            return false;
        ketra::window::FreeResourceModule(module);
    }
    if (!menu.GetSubMenu(0))
        return false;
    popup = *menu.GetSubMenu(0);

    // The scene-part toggles, then the four popups that carried them go.
    Check(popup, kCmdEdges, m_edgesShown);
    Check(popup, kCmdFaces, m_facesShown);
    Check(popup, kCmdMarkers, m_markersShown);
    Check(popup, kCmdLights, m_lightsShown);
    for (int i = 0; i < 4; ++i)
        popup.DeleteMenu(0, MF_BYPOSITION);

    const std::string name = CurrentOperatorName();
    int operatorPosition = -1;
    for (const OperatorPosition& entry : kOperatorPositions)
        if (name == entry.name)
            operatorPosition = static_cast<int>(entry.position);
    RadioCheck(popup, 0, operatorPosition, kOperatorsLast);
    RadioCheck(popup, 1, m_pHView ? ViewPosition(m_pHView->GetViewMode()) : -1, kViewsLast);
    const HProjMode projection = m_pHView ? m_pHView->GetProjMode() : ProjUnknown;
    RadioCheck(popup, 2, projection == ProjOrthographic ? 0 : projection == ProjPerspective ? 1 : 2, 2);

    const int type = GetPlotConfig().GetConfigType();
    if (type == HOpConfig::ConfigDynplot) {
        for (int i = popup.GetMenuItemCount() - 1; i >= 0; --i) {
            if (TextIs(popup, i, "&Highlights") || TextIs(popup, i, "Visibility")) {
                if (i + 1 < popup.GetMenuItemCount())
                    popup.DeleteMenu(static_cast<unsigned int>(i + 1), MF_BYPOSITION);
                popup.DeleteMenu(static_cast<unsigned int>(i), MF_BYPOSITION);
            }
        }
    } else if (type == HOpConfig::ConfigHDS) {
        for (unsigned int id : {kCmdShowPipes, kCmdShowBends, kCmdShowHangers, kCmdShowRigids,
                                kCmdShowExpansionJoints, kCmdShowAllKinds})
            popup.DeleteMenu(id, MF_BYCOMMAND);
        for (int i = 0; i < popup.GetMenuItemCount(); ++i) {
            if (TextIs(popup, i, "&Highlights")) {
                if (i + 1 < popup.GetMenuItemCount())
                    popup.DeleteMenu(static_cast<unsigned int>(i + 1), MF_BYPOSITION);
                popup.DeleteMenu(static_cast<unsigned int>(i), MF_BYPOSITION);
                break;
            }
        }
        for (const KindSegment& kind : kKindChecks)
            if (kind.id == kCmdShowAnchors || kind.id == kCmdShowStructures ||
                kind.id == kCmdShowRestraints)
                Check(popup, kind.id, ElementKindShown(kind.segment));
    } else {
        for (const KindSegment& kind : kKindChecks)
            Check(popup, kind.id, ElementKindShown(kind.segment));
        Check(popup, kCmdShowAllKinds, m_allKindsShown);
    }

    popup.ModifyMenu(kCmdCollaborate, MF_BYCOMMAND | MF_STRING, kCmdCollaborate, "Animate");

    if (!m_pHViewEx || m_pHViewEx->GetDraftonModelLoadedFlag() == 0)
        for (unsigned int id : {kCmdHideSelectedParts, kCmdHideCurrentPart, kCmdShowAllParts})
            popup.EnableMenuItem(id, MF_BYCOMMAND | MF_GRAYED);
    return true;
}

void CHoopsViewEx::OnRButtonDown(unsigned int nFlags, CPoint point)
{
    if (CurrentOperatorIs("HOpCameraWalk")) {
        // The walk uses the right button itself and gets no menu. The base handler hands
        // the press to it.
        CHoopsView::OnRButtonDown(nFlags, point);
        return;
    }
    CMenu popup;
    if (!BuildContextMenu(popup)) {
        CHoopsView::OnRButtonDown(nFlags, point);
        return;
    }
    if (m_pHView) {
        if (HBaseOperator* op = m_pHView->GetOperator()) {
            HEventInfo event = MakeEvent(HE_RButtonDown, nFlags, point);
            if (op->GetDoCapture())
                Port().SetCapture();
            op->OnRButtonDown(event);
        } else {
            CHoopsView::OnRButtonDown(nFlags, point);
        }
    }

    m_rightClickPoint = HPoint(static_cast<float>(point.x), static_cast<float>(point.y), 0.0f);
    m_noteKey = FindNoteUnderCursor(point);
    if (m_noteKey != -1) {
        popup.AppendMenu(MF_SEPARATOR);
        popup.AppendMenu(MF_STRING, kCmdDeleteNote, "Delete Note");
        popup.AppendMenu(MF_STRING, kCmdEditNote, "Edit Note");
    }
    if (UpdatePopupMenu(&popup)) {
        const CPoint screen = ClientToScreen(point);
        popup.TrackPopupMenu(kContextMenuFlags, screen.x, screen.y, this);
    }
}

long CHoopsViewEx::FindNoteUnderCursor(CPoint point)
{
    if (!m_pHView)
        return -1;
    HEventInfo located(m_pHView);
    located.SetPixelPoint(HE_MouseMove, point.x, point.y, 0);
    const HPoint window = located.GetMouseWindowPos();
    return ketra::annotation::FindNoteAt(m_pHView, window.x, window.y);
}

void CHoopsViewEx::DeleteNote(long noteKey)
{
    if (!m_pHView)
        return;
    if (ketra::annotation::DeleteNote(m_pHView, noteKey) && m_noteKey == noteKey)
        m_noteKey = -1;
}

void CHoopsViewEx::EditNote(long noteKey)
{
    if (m_pHView)
        ketra::annotation::EditNote(this, noteKey);
}

bool CHoopsViewEx::AskNoteText(std::string& text, const char* caption)
{
    if (!HasPort())
        return false;
    // The press that placed or picked the note captured the mouse for the view; a dialog
    // opened while the view holds it would never get a click.
    Port().ReleaseCapture();
    return Port().NoteTextDialog(text, caption ? caption : "");
}
