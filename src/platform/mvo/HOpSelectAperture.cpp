#include "platform/mvo/HOpSelectAperture.h"

#include <cstring>

#include "platform/hc/HcStrings.h"
#include "platform/mvo/HBaseView.h"
#include "platform/mvo/HSelectionSet.h"

HOpSelectAperture::HOpSelectAperture(HBaseView* view, int doRepeat, int doCapture)
    : HBaseOperator(view, doRepeat, doCapture)
{
}

const char* HOpSelectAperture::GetName() { return "HOpSelectAperture"; }

HBaseOperator* HOpSelectAperture::Clone() { return new HOpSelectAperture(*this); }

HC_KEY HOpSelectAperture::ReadSelection(std::vector<HC_KEY>& includes)
{
    includes.clear();
    HC_KEY item = -1;
    int o1 = 0, o2 = 0, o3 = 0;
    HC_Show_Selection_Element(&item, &o1, &o2, &o3);
    int count = 0;
    HC_Show_Selection_Keys_Count(&count);
    if (count > 0) {
        std::vector<HC_KEY> keys(static_cast<size_t>(count));
        HC_Show_Selection_Keys(&count, keys.data());
        for (int i = 1; i < count; ++i) {
            if (HC_Show_Key_Type(keys[static_cast<size_t>(i)]).find("include") != std::string::npos)
                includes.push_back(keys[static_cast<size_t>(i)]);
        }
    }
    return item;
}

int HOpSelectAperture::OnLButtonDown(HEventInfo& event)
{
    if (!m_pView || !m_pView->GetSelection() ||
        HC_Show_Existence_By_Key(m_pView->GetViewKey(), "self") == 0)
        return HOP_NOT_HANDLED;
    HSelectionSet* selection = m_pView->GetSelection();
    const HPoint at = event.GetMouseWindowPos();
    m_ptFirst = m_ptNew = at;
    HC_KEY item = -1;
    std::vector<HC_KEY> includes;
    HC_Open_Segment_By_Key(m_pView->GetViewKey());
    if (HC_Compute_Selection(".", "./scene", "v", at.x, at.y) > 0)
        item = ReadSelection(includes);
    HC_Close_Segment();

    const int count = static_cast<int>(includes.size());
    if (event.GetShift()) {
        if (item != -1 && !selection->DeSelect(item, count, includes.data(), true))
            selection->Select(item, count, includes.data(), true);
    } else if (event.GetControl()) {
        if (item != -1)
            selection->Select(item, count, includes.data(), true);
    } else {
        selection->DeSelectAll();
        if (item != -1)
            selection->Select(item, count, includes.data(), true);
    }
    m_pView->SetGeometryChanged();
    m_pView->Update();
    return HOP_READY;
}

int HOpSelectAperture::OnLButtonUp(HEventInfo&) { return HOP_READY; }
