#include "results/NodeNumbers.h"

#include "platform/hc/hc.h"
#include "platform/mvo/HBaseModel.h"
#include "view/HMyBaseView.h"

#include <set>
#include <string>

namespace ketra::results {

namespace {

constexpr const char* kSegment = "node numbers";

} // namespace

void HideNodeNumbers(plotter::Plotter& plotter) {
    HC_Open_Segment_By_Key(plotter.Model().GetModelKey());
    if (HC_QShow_Existence(kSegment, "self") > 0)
        HC_Delete_Segment(kSegment);
    HC_Close_Segment();
    plotter.View().SetGeometryChanged();
}

int ShowNodeNumbers(plotter::Plotter& plotter, const host::PipingModel& model, const std::vector<int>& nodes) {
    HideNodeNumbers(plotter);
    std::vector<int> shown;
    if (nodes.empty()) {
        for (const auto& [node, at] : model.nodes)
            shown.push_back(node);
    } else {
        for (int node : nodes)
            if (model.nodes.count(node))
                shown.push_back(node);
    }
    HC_Open_Segment_By_Key(plotter.Model().GetModelKey());
    HC_Open_Segment(kSegment);
    HC_Style_Segment("/Style Library/NodeText");
    HC_Set_Visibility("text = on");
    HC_Set_Text_Alignment("<v");
    for (int node : shown) {
        const auto& p = model.nodes.at(node);
        HC_Insert_Text(p[0], p[1], p[2], (" " + std::to_string(node)).c_str());
    }
    HC_Close_Segment();
    HC_Close_Segment();
    plotter.View().SetGeometryChanged();
    return int(shown.size());
}

std::vector<int> NodesOf(const plotter::Plotter& plotter, const std::vector<long>& keys) {
    std::set<int> nodes;
    for (long key : keys) {
        plotter::ElementInfo info;
        if (!plotter.Describe(key, &info))
            continue;
        for (int node : {info.from, info.to})
            if (node != 0)
                nodes.insert(node);
    }
    return {nodes.begin(), nodes.end()};
}

} // namespace ketra::results
