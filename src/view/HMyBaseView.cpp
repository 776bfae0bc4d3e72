#include "view/HMyBaseView.h"

#include "platform/hc/hc.h"
#include "platform/mvo/HSelectionSet.h"

namespace {
HMyBaseView::SelectionSetFactory g_selectionFactory = nullptr;
bool KeyValid(HC_KEY key) { return key != -1 && key != 0 && HC_Show_Existence_By_Key(key, "self") > 0; }
} // namespace

HMyBaseView::HMyBaseView(HBaseModel* model, const char* alias, const char* driverType,
                         const char* instanceName, long windowHandle, long colorMap)
    : HBaseViewEx(model, alias, driverType, instanceName, windowHandle, colorMap)
{
}

void HMyBaseView::SetSelectionSetFactory(SelectionSetFactory factory) { g_selectionFactory = factory; }

HMyBaseView::SelectionSetFactory HMyBaseView::GetSelectionSetFactory() { return g_selectionFactory; }

void HMyBaseView::Init()
{
    HBaseViewEx::Init();
    m_partsKey = 0;

    HSelectionSet* selection = g_selectionFactory ? g_selectionFactory(this) : nullptr;
    if (!selection) {
        selection = new HSelectionSet(this);
        selection->SetSelectionLevel(HSelectLevelSegment);
    }
    SetSelection(selection);
    selection->Init();

    if (KeyValid(GetSceneKey())) {
        HC_Open_Segment_By_Key(GetSceneKey());
        HC_Set_Color_By_Index("faces", 2);
        HC_Set_Color_By_Index("text, lights", 1);
        HC_Set_Color_By_Index("edges, lines", 1);
        HC_Set_Color_By_Index("markers", 1);
        HC_Set_Rendering_Options("no color interpolation, no color index interpolation");
        HC_Set_Visibility("lights = (faces = on, edges = off, markers = off), markers = off, "
                          "faces=on, edges=off, lines=on, text = on");
        HC_Set_Selectability("everything = off, faces = on");
        m_constructionKey = HC_Open_Segment("construction");
        HC_Set_Heuristics("quick moves");
        HC_Set_Visibility("faces = off, edges = on, lines = on");
        HC_Close_Segment();
        m_partsKey = HC_Create_Segment("parts");
        HC_Close_Segment();
    }
    // The three segments beside the scene: the display segment (its window is the view's
    // background), the window-space overlay (markers) and the axis triad window.
    if (KeyValid(GetViewKey())) {
        HC_Open_Segment_By_Key(GetViewKey());
        HC_Set_Color_By_Index("windows", 0);
        HC_Set_Selectability("everything = off");
        HC_Close_Segment();
    }
    if (KeyValid(GetWindowspaceKey())) {
        HC_Open_Segment_By_Key(GetWindowspaceKey());
        HC_Set_Color_By_Index("geometry", 3);
        HC_Set_Color_By_Index("window contrast", 1);
        HC_Set_Color_By_Index("windows", 1);
        HC_Set_Visibility("markers=on");
        HC_Set_Color("markers = green, lines = green");
        HC_Set_Marker_Symbol("+");
        HC_Set_Selectability("off");
        HC_Close_Segment();
    }
    if (KeyValid(GetAxisTriadKey())) {
        HC_Open_Segment_By_Key(GetAxisTriadKey());
        HC_Set_Color_By_Index("lines, text", 2);
        HC_Close_Segment();
    }
}
