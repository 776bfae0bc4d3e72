#include "platform/mvo/HOpSelectArea.h"

#include <vector>

#include "platform/hc/hc.h"
#include "platform/mvo/HBaseView.h"
#include "platform/mvo/HOpSelectAperture.h"
#include "platform/mvo/HSelectionSet.h"
#include "platform/mvo/HUtility.h"

HOpSelectArea::HOpSelectArea(HBaseView* view, int doRepeat, int doCapture)
    : HOpConstructRectangle(view, doRepeat, doCapture)
{
}

const char* HOpSelectArea::GetName() { return "HOpSelectArea"; }

HBaseOperator* HOpSelectArea::Clone() { return new HOpSelectArea(*this); }

int HOpSelectArea::OnLButtonUp(HEventInfo& event)
{
    if (!m_bOpStarted || !m_pView)
        return HOpConstructRectangle::OnLButtonUp(event);
    const int result = HOpConstructRectangle::OnLButtonUp(event);
    HSelectionSet* selection = m_pView->GetSelection();
    if (!m_bRectangleExists || !selection || HC_Show_Existence_By_Key(m_pView->GetViewKey(), "self") == 0)
        return result;
    HPoint lower = m_ptRectangle[0], upper = m_ptRectangle[1];
    HUtility::Order(&lower, &upper);
    if (!event.GetShift() && !event.GetControl())
        selection->DeSelectAll();
    HC_Open_Segment_By_Key(m_pView->GetViewKey());
    if (HC_Compute_Selection_By_Area(".", "./scene", "v", lower.x, upper.x, lower.y, upper.y) > 0) {
        std::vector<HC_KEY> includes;
        do {
            const HC_KEY item = HOpSelectAperture::ReadSelection(includes);
            if (item == -1)
                continue;
            const int count = static_cast<int>(includes.size());
            if (event.GetShift())
                selection->DeSelect(item, count, includes.data(), true);
            else
                selection->Select(item, count, includes.data(), true);
        } while (HC_Find_Related_Selection());
    }
    HC_Close_Segment();
    m_pView->SetGeometryChanged();
    m_pView->Update();
    return HOP_READY;
}
