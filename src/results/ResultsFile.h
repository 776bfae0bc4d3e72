// Analysis results of a piping model (docs/results-format.md, "ketra-results/1"): per load
// case, node displacements, element end forces, code stresses and support loads, keyed by the
// model's node numbers and element (from, to) pairs. Reading checks the file against the model
// it belongs to; a file that fails gives no results at all.
#pragma once

#include "host/PipingModel.h"

#include <array>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ketra::results {

using Vec3 = std::array<double, 3>;

enum class CaseKind { Operating, Sustained, Expansion, Occasional, Modal, Other };

// "operating", "sustained", ... as the file writes them.
const char* CaseKindName(CaseKind kind);

struct ElementKey {
    int from = 0, to = 0;
    auto operator<=>(const ElementKey&) const = default;
};

struct NodeMotion {
    Vec3 translation{}; // in the model's length unit
    Vec3 rotation{};    // radians about x, y, z
};

struct EndLoads {
    Vec3 force{}, moment{}; // global axes, in the file's force and moment units
};

struct EndStress {
    double stress = 0;                // the file's stress unit
    std::optional<double> allowable;  // > 0 when given
    std::optional<double> ratio;      // stress / allowable (1 = at the allowable), when known
};

struct LoadCase {
    std::string name;
    CaseKind kind = CaseKind::Other;
    std::optional<double> frequency; // Hz, modal cases only
    std::map<int, NodeMotion> displacements;
    std::map<ElementKey, std::array<EndLoads, 2>> forces;    // [0] start, [1] end
    std::map<ElementKey, std::array<EndStress, 2>> stresses; // [0] start, [1] end
    std::map<int, EndLoads> supports;
};

struct ResultUnits {
    std::string length, rotation, force, moment, stress; // as the file names them; empty when absent
    double lengthToModel = 1; // factor from the file's length unit to the model's
};

struct Results {
    std::string program, model;
    ResultUnits units;
    std::vector<LoadCase> cases;

    // The case of that name; null when the file has none.
    const LoadCase* Find(const std::string& name) const;
    // "OPE, SUS, EXP" for messages.
    std::string CaseNames() const;
};

struct ResultsLoad {
    bool ok = false;
    Results results;
    std::string error; // "file:line:column: what"
};

// Reads results for `model`. `name` is used in messages (the path as given).
ResultsLoad ParseResults(const std::string& text, const std::string& name, const host::PipingModel& model);
ResultsLoad LoadResults(const std::string& path, const host::PipingModel& model);

// The largest values of one case and where they are, for the legend, `ketra info` and the
// element information. A field is empty when the case holds no such value.
struct CaseExtremes {
    std::optional<double> ratio;        // the largest ratio
    ElementKey ratioElement{};
    int ratioNode = 0;                  // the end where it is
    std::optional<double> stress;       // the largest stress
    ElementKey stressElement{};
    int stressNode = 0;
    std::optional<double> movement;     // the largest translation's length, model units
    int movementNode = 0;
};
CaseExtremes Extremes(const LoadCase& c);

} // namespace ketra::results
