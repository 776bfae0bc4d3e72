// What the view window tells about one drawn element or support: its kind, its nodes and
// labelled lines of everything the model holds for it, with lengths in the model's unit.
// The hover text in the status bar and the Properties panel are both made from it.
//
// Other modules add lines of their own (results: stresses, allowables, displacements)
// through the plotter's extra-lines provider (Plotter::SetExtraInfoLines): its lines follow
// the model's in both the hover text and the panel.
#pragma once

#include "host/PipingModel.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace ketra::plotter {

// One labelled line: ("Outer diameter", "168.3 mm").
using InfoLine = std::pair<std::string, std::string>;
using InfoLines = std::vector<InfoLine>;
// Lines to add for the element between nodes `from` and `to` (a support: from == to; a
// steel member: 0, 0). Empty when there is nothing to add.
using ExtraInfoLines = std::function<InfoLines(int from, int to)>;

struct ElementInfo {
    std::string kind;  // "Pipe", "Bend", "Restraint", "Steel member", ...
    int from = 0;      // node numbers; a support stands at from == to; steel has none (0)
    int to = 0;
    InfoLines lines;   // what the model holds, in display order
    // How many of the first `lines` the one-line hover text shows.
    std::size_t hoverLines = 0;
    InfoLines extra;   // the extra-lines provider's, shown after `lines` in the panel and hover
};

// "mm" or "in".
const char* UnitName(host::Units units);
// The units as the status bar shows them: "Units: mm"; a PCF file's own units when they
// differ from the model's ("Units: mm (file: METRE, bore MM)").
std::string UnitsText(host::Units units, const std::string& fileCoordUnits = {},
                      const std::string& fileBoreUnits = {});
// A length with the unit: "168.3 mm", "6.625 in" (up to three decimals, no trailing zeros).
std::string FormatLength(double value, host::Units units);
// A plain number as FormatLength writes it, without a unit.
std::string FormatNumber(double value);

// The information of an element of `model` (a pipe, reducer, bend, rigid or expansion joint).
ElementInfo DescribeElement(const host::PipingModel& model, const host::Element& element);
ElementInfo DescribeRestraint(const host::PipingModel& model, const host::Restraint& restraint);
ElementInfo DescribeHanger(const host::PipingModel& model, const host::Hanger& hanger);
// An anchor, nozzle, flange or tee at a node; `kind` names it.
ElementInfo DescribeNodeItem(const host::PipingModel& model, const host::NodeItem& item, const char* kind);
ElementInfo DescribeSteel(const host::PipingModel& model, const host::SteelMember& member, int number);

// Sets info.extra to the provider's lines for info's nodes (none when the provider is empty).
void AppendExtraLines(ElementInfo& info, const ExtraInfoLines& provider);

// The status bar's one line: "Bend 10–20 · OD 168.3 mm · Wall 7.1 mm · ...", the first
// hoverLines lines and then every extra line.
std::string HoverText(const ElementInfo& info);
// The panel's heading ("Bend 10–20") and its "label: value" lines, one a line.
std::string InfoTitle(const ElementInfo& info);
std::string PanelText(const ElementInfo& info);

} // namespace ketra::plotter
