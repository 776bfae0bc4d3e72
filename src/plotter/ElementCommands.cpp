#include "plotter/ElementCommands.h"

#include "platform/hc/HcStrings.h"
#include "platform/hc/hc.h"
#include "platform/mvo/HEventManager.h"
#include "platform/mvo/HObjectManager.h"
#include "platform/mvo/HEventInfo.h"
#include "platform/mvo/HSelectionSet.h"
#include "platform/mvo/HUtility.h"
#include "plotter/Plotter.h"
#include "view/HMyBaseView.h"
#include "view/window/CHoopsViewEx.h"
#include "view/window/ViewCommands.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <map>
#include <set>
#include <strings.h>
#include <vector>

namespace ketra::plotter {
namespace {

constexpr unsigned int kDeleteKey = 0x2E;

constexpr Kind kKinds[] = {Kind::Pipes,      Kind::Bends,  Kind::Restraints,      Kind::Hangers, Kind::Anchors,
                           Kind::Rigids,     Kind::Structures, Kind::ExpansionJoints, Kind::Tees};

std::vector<HC_KEY> SelectedKeys(Plotter& plotter) {
    std::vector<HC_KEY> keys;
    if (HSelectionSet* selection = plotter.View().GetSelection())
        for (unsigned int i = 0; i < selection->GetSize(); ++i)
            keys.push_back(selection->GetAt(i));
    return keys;
}

int SegmentsBelow(const std::string& path) {
    int count = 0;
    HC_Open_Segment(path.c_str());
    HC_Begin_Contents_Search(".", "segments");
    std::string type;
    HC_KEY key = -1;
    while (HC_Find_Contents(type, &key))
        ++count;
    HC_End_Contents_Search();
    HC_Close_Segment();
    return count;
}

} // namespace

std::vector<ElementInfo> SelectedInfo(Plotter& plotter) {
    std::vector<ElementInfo> infos;
    for (HC_KEY key : SelectedKeys(plotter)) {
        if (infos.size() == kMostDescribed)
            break;
        ElementInfo info;
        if (plotter.Describe(key, &info))
            infos.push_back(std::move(info));
    }
    return infos;
}

std::string DescribeSelection(Plotter& plotter) {
    const std::size_t selected = SelectedKeys(plotter).size();
    const std::vector<ElementInfo> infos = SelectedInfo(plotter);
    if (selected == 0)
        return "Nothing is selected.";
    if (infos.empty())  // a saved scene, or markup: no model element behind the selection
        return std::to_string(selected) + (selected == 1 ? " item is" : " items are") +
               " selected; the model holds nothing about them.";
    std::string text;
    for (const ElementInfo& info : infos)
        text += (text.empty() ? "" : "\n") + InfoTitle(info) + "\n" + PanelText(info);
    if (selected > infos.size())
        text += "\n... and " + std::to_string(selected - infos.size()) + " more selected";
    return text;
}

namespace {

HC_KEY PickAt(HBaseView& view, int x, int y) {
    HEventInfo located(&view);
    located.SetPixelPoint(HE_MouseMove, x, y, 0);
    const HPoint at = located.GetMouseWindowPos();
    return HUtility::SelectUnderCursor(&view, at.x, at.y);
}

} // namespace

std::string HoverTextAt(Plotter& plotter, int x, int y) { return HoverTextAt(plotter, plotter.View(), x, y); }

std::string HoverTextAt(Plotter& plotter, HBaseView& view, int x, int y) {
    const HC_KEY key = PickAt(view, x, y);
    ElementInfo info;
    return key != -1 && plotter.Describe(key, &info) ? HoverText(info) : std::string();
}

bool BrowserDescription(Plotter& plotter, long segment, std::string* name, std::vector<std::string>* lines) {
    if (HC_Show_Existence_By_Key(segment, "self") <= 0 || HC_Show_Key_Type(segment) != "segment")
        return false;
    long own = -1;
    ElementInfo info;
    if (plotter.Describe(segment, &info, &own) && own == segment) {
        *name = InfoTitle(info);
        lines->clear();
        for (const InfoLines* group : {&info.lines, &info.extra})
            for (const InfoLine& line : *group)
                lines->push_back(line.first + ": " + line.second);
        return true;
    }
    const std::string path = HC_Show_Segment(segment);
    const std::string library = "/include library/halden";
    if (strcasecmp(path.c_str(), library.c_str()) == 0) {
        *name = "Piping model";
        *lines = {std::to_string(plotter.Registry().GetSize()) + " elements and supports"};
        return true;
    }
    for (Kind kind : kKinds) {
        if (strcasecmp(path.c_str(), (library + "/" + KindSegmentName(kind)).c_str()) != 0)
            continue;
        std::string words = KindSegmentName(kind);
        words[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(words[0])));
        const int count = SegmentsBelow(path);
        *name = words + " (" + std::to_string(count) + ")";
        *lines = {std::to_string(count) + " " + KindSegmentName(kind) + " drawn",
                  plotter.IsVisible(kind) ? "Shown" : "Hidden"};
        return true;
    }
    return false;
}

bool SelectAt(Plotter& plotter, int x, int y) { return SelectAt(plotter, plotter.View(), x, y); }

bool SelectAt(Plotter& plotter, HBaseView& view, int x, int y) {
    HSelectionSet* selection = plotter.View().GetSelection();
    const HC_KEY key = PickAt(view, x, y);
    long segment = -1;
    ElementInfo info;
    if (!selection || key == -1 || !plotter.Describe(key, &info, &segment))
        return false;
    selection->DeSelectAll();
    selection->Select(segment, 0, nullptr, true);
    plotter.View().SetGeometryChanged();
    plotter.View().Update();
    return true;
}

std::string DescribeModel(Plotter& plotter) {
    std::string text;
    int total = 0;
    for (Kind kind : kKinds) {
        const std::string path = std::string("/include library/halden/") + KindSegmentName(kind);
        const int count = HC_QShow_Existence(path.c_str(), "self") > 0 ? SegmentsBelow(path) : 0;
        total += count;
        text += std::string(KindSegmentName(kind)) + ": " + std::to_string(count) + "\n";
    }
    text = std::to_string(total) + " elements drawn\n" + text;
    text += "Registered elements: " + std::to_string(plotter.Registry().GetSize()) + "\n";
    text += "Selected: " + std::to_string(SelectedKeys(plotter).size());
    return text;
}

int SelectNode(Plotter& plotter, int node) {
    HSelectionSet* selection = plotter.View().GetSelection();
    if (!selection)
        return 0;
    selection->DeSelectAll();
    std::set<long> chosen;
    for (const auto& [original, element] : plotter.Registry().GetElements()) {
        (void)original;
        if (node < 1 || (element.GetFrom() != node && element.GetTo() != node))
            continue;
        if (chosen.insert(element.GetKey()).second)
            selection->Select(element.GetKey(), 0, nullptr, true);
    }
    plotter.View().SetGeometryChanged();
    return static_cast<int>(selection->GetSize());
}

int DeleteSelection(Plotter& plotter) {
    HSelectionSet* selection = plotter.View().GetSelection();
    if (!selection || selection->GetSize() == 0)
        return 0;
    const std::vector<HC_KEY> keys = SelectedKeys(plotter);
    selection->DeSelectAll();  // the highlight style references go first
    int deleted = 0;
    for (HC_KEY key : keys) {
        if (HC_Show_Existence_By_Key(key, "self") <= 0)
            continue;
        plotter.Registry().Delete(HC_Show_Original_Key(key));
        HC_Delete_By_Key(key);
        ++deleted;
    }
    plotter.View().SetGeometryChanged();
    plotter.View().Update();
    return deleted;
}

struct ElementCommands::Listener : HMouseListener {
    explicit Listener(Plotter& p) : plotter(p) {}
    int OnKeyDown(HEventInfo& event) override {
        if (event.GetChar() != kDeleteKey)
            return 0;
        return DeleteSelection(plotter) > 0 ? 1 : 0;
    }
    Plotter& plotter;
};

ElementCommands::ElementCommands(CHoopsViewEx& window, Plotter& plotter)
    : m_window(window), m_plotter(plotter), m_listener(std::make_unique<Listener>(plotter)) {
    using namespace ketra::view;
    CommandMap& map = window.Commands();
    CHoopsViewEx* w = &window;
    Plotter* p = &plotter;
    auto hasSelection = [p](CCmdUI& ui) {
        HSelectionSet* selection = p->View().GetSelection();
        ui.Enable(selection && selection->GetSize() > 0);
    };
    map.Add(kCmdProperties, [this] { ShowProperties(); }, hasSelection);
    map.Add(kCmdModelInfo, [w, p] { w->Port().MessageBox(DescribeModel(*p), "Model Info", ketra::window::MB_OK); },
            [](CCmdUI& ui) { ui.Enable(true); });
    map.Add(kCmdFindNode,
            [w, p] {
                std::string text;
                if (!w->Port().NoteTextDialog(text, "Find Node"))
                    return;
                errno = 0;
                char* end = nullptr;
                const long node = std::strtol(text.c_str(), &end, 10);
                while (end && (*end == ' ' || *end == '\t'))
                    ++end;
                if (text.empty() || errno != 0 || !end || *end != '\0' || node < 1 || node > INT_MAX) {
                    w->Port().MessageBox("Find Node: \"" + text + "\" is not a node number.", "Find Node",
                                         ketra::window::MB_OK);
                    return;
                }
                if (SelectNode(*p, static_cast<int>(node)) == 0) {
                    w->Port().MessageBox("Find Node: no element at node " + std::to_string(node) + ".",
                                         "Find Node", ketra::window::MB_OK);
                    p->View().Update();
                    return;
                }
                p->View().FitWorldToHOOPSSelection();
                p->View().Update();
            },
            [](CCmdUI& ui) { ui.Enable(true); });
    plotter.View().GetEventManager()->RegisterHandler(m_listener.get());
}

void ElementCommands::ShowProperties() {
    const std::vector<ElementInfo> infos = SelectedInfo(m_plotter);
    if (m_panel && !infos.empty())
        m_panel(infos);
    else
        m_window.Port().MessageBox(DescribeSelection(m_plotter), "Properties", ketra::window::MB_OK);
}

void ElementCommands::PropertiesAt(int x, int y) { PropertiesAt(m_plotter.View(), x, y); }

void ElementCommands::PropertiesAt(HBaseView& view, int x, int y) {
    if (SelectAt(m_plotter, view, x, y))
        ShowProperties();
}

ElementCommands::~ElementCommands() {
    using namespace ketra::view;
    m_plotter.View().GetEventManager()->UnRegisterHandler(m_listener.get());
    CommandMap& map = m_window.Commands();
    map.Add(kCmdProperties, [] {}, [](CCmdUI& ui) { ui.Enable(true); });
    map.Add(kCmdModelInfo, [] {}, [](CCmdUI& ui) { ui.Enable(false); });
    map.Add(kCmdFindNode, [] {}, [](CCmdUI& ui) { ui.Enable(true); });
}

} // namespace ketra::plotter
