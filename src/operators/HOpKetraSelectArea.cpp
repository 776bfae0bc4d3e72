#include "operators/HOpKetraSelectArea.h"

#include <cstring>
#include <string>
#include <vector>

#include "platform/hc/HcStrings.h"
#include "platform/mvo/HBaseView.h"
#include "platform/mvo/HObjectManager.h"
#include "platform/mvo/HOpSelectAperture.h"
#include "platform/mvo/HSelectionSet.h"
#include "platform/mvo/HUtility.h"

namespace {

// Every item in the rectangle, in the order found: no limit on related items and no sorting.
constexpr const char* kHeuristics[][2] = {
    {"related selection limit", "no related selection limit"},
    {"selection sorting", "no selection sorting"},
};

// Sets the area-selection heuristics on a segment and puts back what the segment had.
class ScopedSelectionHeuristics {
public:
    explicit ScopedSelectionHeuristics(HC_KEY segment) : m_segment(segment) {
        HC_Open_Segment_By_Key(m_segment);
        for (int i = 0; i < 2; ++i) {
            const std::string name = kHeuristics[i][0];
            if (HC_Show_Existence(("heuristics = " + name).c_str()) > 0) {
                m_saved[i] = name + " = " + HC_Show_One_Heuristic(name.c_str());
            }
            HC_Set_Heuristics(kHeuristics[i][1]);
        }
        HC_Close_Segment();
    }
    ~ScopedSelectionHeuristics() {
        HC_Open_Segment_By_Key(m_segment);
        for (int i = 0; i < 2; ++i) {
            if (m_saved[i].empty())
                HC_UnSet_One_Heuristic(kHeuristics[i][0]);
            else
                HC_Set_Heuristics(m_saved[i].c_str());
        }
        HC_Close_Segment();
    }
    ScopedSelectionHeuristics(const ScopedSelectionHeuristics&) = delete;
    ScopedSelectionHeuristics& operator=(const ScopedSelectionHeuristics&) = delete;

private:
    HC_KEY m_segment;
    std::string m_saved[2];
};

bool IsSegment(HC_KEY key) {
    return HC_Show_Key_Type(key) == "segment";
}

// The key whose selected state decides what happens to `item` (path: item first, as
// HC_Show_Selection_Keys lists it).
HC_KEY StateKey(const HSelectionSet& selection, HC_KEY item, const std::vector<HC_KEY>& path) {
    int level = selection.GetSelectionLevel();
    if (selection.GetAllowEntitySelection())
        level = HSelectLevelEntity;
    else if (selection.GetAllowSubentitySelection())
        level = HSelectLevelSubentity;
    if (level == HSelectLevelSegmentTree && path.size() > 4)
        return path[4];
    if (level == HSelectLevelSegment || level == HSelectLevelSegmentTree) {
        // The set stores the item's segment at these levels; asking about the item itself
        // would never find it, and Shift could not remove anything.
        if (!IsSegment(item)) {
            const HC_KEY owner = HC_KShow_Owner_By_Key(item);
            if (owner == -1 || level != HSelectLevelSegment)
                return owner == -1 ? item : owner;
            // As the set stores it: the object segment the owner lies in.
            const HC_KEY object = HObjectManager::FindHObjectSegment(owner);
            return object != -1 ? object : owner;
        }
    }
    return item;
}

} // namespace

HOpKetraSelectArea::HOpKetraSelectArea(HBaseView* view, int doRepeat, int doCapture)
    : HOpSelectArea(view, doRepeat, doCapture) {}

const char* HOpKetraSelectArea::GetName() {
    return "HOpKetraSelectArea";
}

HBaseOperator* HOpKetraSelectArea::Clone() {
    return new HOpKetraSelectArea(m_pView, m_doRepeat, m_doCapture);
}

int HOpKetraSelectArea::OnRButtonUp(HEventInfo&) {
    return HOP_READY;
}

int HOpKetraSelectArea::OnLButtonUp(HEventInfo& event) {
    const bool wasStarted = m_bOpStarted;
    const int result = HOpConstructRectangle::OnLButtonUp(event);
    // A release without a press of this operator (the press went elsewhere) selects nothing.
    if (!wasStarted || !m_pView)
        return result;
    if (!m_bRectangleExists) {
        SelectClick(event);
        return result;
    }
    m_bOpStarted = false;
    SelectArea(event);
    return HOP_READY;
}

void HOpKetraSelectArea::SelectClick(HEventInfo& event) {
    // The single-click operator handles the press as the view's current operator, so code
    // that asks the view for its operator meanwhile sees the one at work.
    HBaseOperator* previous = m_pView->GetOperator();
    auto* click = new HOpSelectAperture(m_pView, 0, 1);
    m_pView->SetOperator(click);
    click->OnLButtonDown(event);
    m_pView->SetOperator(previous);
    delete click;
}

void HOpKetraSelectArea::SelectArea(const HEventInfo& event) {
    HSelectionSet* selection = m_pView->GetSelection();
    if (!selection || HC_Show_Existence_By_Key(m_pView->GetViewKey(), "self") == 0)
        return;
    HPoint lower = m_ptRectangle[0], upper = m_ptRectangle[1];
    HUtility::Order(&lower, &upper);
    const bool remove = event.GetShift();
    if (!remove && !event.GetControl())
        selection->DeSelectAll();
    {
        // The search starts at the scene (picking looks only below its start segment), so
        // the heuristics go there for the time of the search.
        ScopedSelectionHeuristics heuristics(m_pView->GetSceneKey());
        HC_Open_Segment_By_Key(m_pView->GetViewKey());
        if (HC_Compute_Selection_By_Area(".", "./scene", "v", lower.x, upper.x, lower.y, upper.y) >
            0) {
            std::vector<HC_KEY> path, includes;
            do {
                HC_KEY item = -1;
                int o1 = 0, o2 = 0, o3 = 0;
                HC_Show_Selection_Element(&item, &o1, &o2, &o3);
                if (item == -1 || HObjectManager::FindHObjectSegment(item) == -1)
                    continue;
                int count = 0;
                HC_Show_Selection_Keys_Count(&count);
                path.assign(static_cast<size_t>(count > 0 ? count : 0), -1);
                if (count > 0)
                    HC_Show_Selection_Keys(&count, path.data());
                // Include keys innermost first, the order the selection set keeps paths in.
                includes.clear();
                for (size_t i = 1; i < path.size(); ++i) {
                    if (HC_Show_Key_Type(path[i]).find("include") != std::string::npos)
                        includes.push_back(path[i]);
                }
                const int includeCount = static_cast<int>(includes.size());
                const bool selected = selection->IsSelected(StateKey(*selection, item, path));
                if (!remove && !selected)
                    selection->Select(item, includeCount, includes.data(), true);
                else if (remove && selected)
                    selection->DeSelect(item, includeCount, includes.data(), true);
            } while (HC_Find_Related_Selection());
        }
        HC_Close_Segment();
    }
    m_pView->SetGeometryChanged();
    m_pView->Update();
}
