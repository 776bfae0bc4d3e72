#include "view/window/CSegmentBrowserDlg.h"

#include "model/HMySelectionSet.h"
#include "platform/hc/HcStrings.h"
#include "platform/mvo/HBaseView.h"
#include "platform/mvo/HModelInfo.h"
#include "platform/mvo/HSelectionSet.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

std::string KeyType(HC_KEY key) { return HC_Show_Key_Type(key); }

std::string LastName(HC_KEY segment)
{
    const std::string path = HC_Show_Segment(segment);
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Printf(const char* format, long value)
{
    char text[64];
    std::snprintf(text, sizeof text, format, static_cast<int>(value));
    return text;
}

// Segment level for segments and includes, entity level for anything else, in whichever
// selection class the view has.
void SetLevel(HSelectionSet& selection, bool segmentLevel)
{
    if (auto* mine = dynamic_cast<HMySelectionSet*>(&selection))
        mine->SetSelectLevel(segmentLevel ? HMySelectionSet::PromoteToSegment
                                          : HMySelectionSet::KeyAsGiven);
    selection.SetSelectionLevel(segmentLevel ? HSelectLevelSegment : HSelectLevelEntity);
}

} // namespace

CSegmentBrowserDlg::CSegmentBrowserDlg(HBaseView* view, std::string documentName)
    : m_view(view), m_documentName(std::move(documentName))
{
}

void CSegmentBrowserDlg::SetView(HBaseView* view)
{
    m_view = view;
    m_items.clear();
    m_root = -1;
    m_followed.clear();
}

std::string CSegmentBrowserDlg::GetTitle() const
{
    return "Segment Browser - " + m_documentName;
}

HC_KEY CSegmentBrowserDlg::ModelSegment() const
{
    return m_view ? m_view->GetModelKey() : -1;
}

void CSegmentBrowserDlg::Open()
{
    m_buttonText = kStandardView;
    Rebuild(ModelSegment());
    ShowCounts(ModelSegment(), false);
}

void CSegmentBrowserDlg::Rebuild(HC_KEY rootSegment)
{
    m_items.clear();
    m_followed.clear();
    m_root = rootSegment == -1 ? -1 : AddItem(rootSegment, -1);
}

int CSegmentBrowserDlg::AddItem(HC_KEY key, int parent)
{
    Item item;
    item.key = key;
    item.parent = parent;
    const std::string type = KeyType(key);
    if (type == "segment") {
        item.kind = Kind::Segment;
        item.segment = key;
        item.text = LastName(key);
        if (item.text.empty())
            item.text = "/";
    } else if (type == "include") {
        item.kind = Kind::Include;
        item.segment = HC_Show_Include_Segment(key, nullptr);
        item.text = LastName(item.segment);
    } else {
        item.kind = Kind::Other;
        item.text = Printf("%d", key);
    }
    if (m_describer && item.kind != Kind::Other) {
        std::string name = m_describer(item.segment).name;
        if (!name.empty())
            item.text = std::move(name);
    }
    m_items.push_back(std::move(item));
    const int id = static_cast<int>(m_items.size() - 1);
    if (parent >= 0)
        m_items[static_cast<size_t>(parent)].children.push_back(id);
    return id;
}

const std::vector<int>& CSegmentBrowserDlg::Expand(int id)
{
    Item& item = m_items.at(static_cast<size_t>(id));
    if (item.filled || item.kind == Kind::Other || KeyType(item.segment) != "segment")
        return item.children;
    item.filled = true;
    // Includes are listed as items of their own; their contents show under the include.
    std::vector<HC_KEY> found;
    HC_Open_Segment_By_Key(item.segment);
    HC_Begin_Contents_Search(".", "segments, includes");
    std::string type;
    HC_KEY key = -1;
    while (HC_Find_Contents(type, &key))
        if (key != item.segment)
            found.push_back(key);
    HC_End_Contents_Search();
    HC_Close_Segment();
    for (HC_KEY child : found)
        AddItem(child, id);
    return m_items[static_cast<size_t>(id)].children;
}

void CSegmentBrowserDlg::ShowCounts(HC_KEY segment, bool details)
{
    m_information.clear();
    if (segment == -1)
        return;
    if (m_describer) {
        m_information = m_describer(segment).lines;
        if (!m_information.empty())
            return;
    }
    HModelInfo info;
    info.ComputeModelInfo(segment);
    m_information.push_back(Printf("%d triangles", info.GetTriangleCount()));
    m_information.push_back(Printf("%d polylines", info.GetPolylineCount()));
    if (!details)
        return;
    m_information.push_back(Printf("%d text strings", info.GetTextCount()));
    // The counter includes the segment itself.
    m_information.push_back(Printf("%d subsegments (total)", std::max(0L, info.GetSegmentCount() - 1)));
    std::string color = "Color:";
    if (HC_Show_Existence_By_Key(segment, "color") > 0) {
        HC_Open_Segment_By_Key(segment);
        color += " " + HC_Show_Color();
        HC_Close_Segment();
    }
    m_information.push_back(color);
}

void CSegmentBrowserDlg::SelectItem(int id)
{
    if (!m_view || id < 0 || id >= GetItemCount())
        return;
    HSelectionSet* selection = m_view->GetSelection();
    if (!selection)
        return;
    const Item& item = m_items[static_cast<size_t>(id)];
    selection->DeSelectAll();
    const bool segmentLevel = item.kind != Kind::Other;
    SetLevel(*selection, segmentLevel);
    const HC_KEY chosen = item.kind == Kind::Other ? item.key : item.segment;
    selection->Select(chosen, nullptr, 0, 0);
    HC_KEY countsOf = item.segment;
    if (item.kind == Kind::Other)
        countsOf = HC_KShow_Owner_By_Key(item.key);
    ShowCounts(countsOf, true);
    m_view->Update();
}

void CSegmentBrowserDlg::OnViewButton()
{
    if (m_view && m_view->GetSelection())
        m_view->GetSelection()->DeSelectAll();
    if (m_buttonText == kStandardView) {
        m_buttonText = kExpandedView;
        Rebuild(HC_Create_Segment("/"));
    } else {
        m_buttonText = kStandardView;
        Rebuild(ModelSegment());
    }
    if (m_view)
        m_view->Update();
}

void CSegmentBrowserDlg::FollowSelection()
{
    m_followed.clear();
    if (!m_view || m_buttonText != kStandardView || m_root < 0)
        return;
    const HSelectionSet* selection = m_view->GetSelection();
    if (!selection)
        return;
    const HC_KEY model = ModelSegment();
    const HC_KEY root = HC_Create_Segment("/");
    for (unsigned int i = 0; i < selection->GetSize(); ++i) {
        // Tree steps from the item up to the model segment: a segment is a step of its own,
        // except where the item was reached through an include (the selection's include
        // path, innermost first): there the include stands for the segment it includes and
        // the walk goes on from the include's owner.
        struct Step {
            Kind kind;
            HC_KEY key;
        };
        std::vector<Step> chain;
        const std::vector<HC_KEY> includes = selection->GetIncludePath(i);
        size_t nextInclude = 0;
        HC_KEY key = selection->GetAt(i);
        if (KeyType(key) != "segment")
            key = HC_KShow_Owner_By_Key(key);
        for (int guard = 0; key != -1 && guard < 256; ++guard) {
            if (key == model || key == root) {
                chain.push_back({Kind::Segment, key});
                break;
            }
            if (nextInclude < includes.size()) {
                const HC_KEY included = HC_Show_Include_Segment(includes[nextInclude], nullptr);
                if (included == key) {
                    chain.push_back({Kind::Include, includes[nextInclude]});
                    key = HC_KShow_Owner_By_Key(includes[nextInclude]);
                    ++nextInclude;
                    continue;
                }
            }
            chain.push_back({Kind::Segment, key});
            key = HC_KShow_Owner_By_Key(key);
        }
        if (chain.empty() || chain.back().key != model)
            continue;  // not below the model segment
        std::reverse(chain.begin(), chain.end());
        int at = m_root;
        for (size_t level = 1; level < chain.size() && at >= 0; ++level) {
            const std::vector<int> children = Expand(at);
            int next = -1;
            for (int child : children) {
                const Item& item = m_items[static_cast<size_t>(child)];
                if (item.kind == chain[level].kind &&
                    (item.kind == Kind::Include ? item.key : item.segment) == chain[level].key)
                    next = child;
            }
            at = next;
            if (at >= 0)
                m_followed.push_back(at);
        }
    }
}
