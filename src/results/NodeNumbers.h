// Node numbers written at their nodes in the "NodeText" style, on request: every node of the
// model, or only some (the selection's). They live in a segment of their own under the model,
// so showing or hiding them never touches what is drawn.
#pragma once

#include "host/PipingModel.h"
#include "plotter/Plotter.h"

#include <vector>

namespace ketra::results {

// Shows the numbers of `nodes` (every node of the model when empty; numbers the model lacks
// are skipped), replacing those shown before. Returns how many are written.
int ShowNodeNumbers(plotter::Plotter& plotter, const host::PipingModel& model, const std::vector<int>& nodes = {});
void HideNodeNumbers(plotter::Plotter& plotter);
// The nodes of the elements and supports drawn in the segments of `keys` (a selection), in
// ascending order without repeats.
std::vector<int> NodesOf(const plotter::Plotter& plotter, const std::vector<long>& keys);

} // namespace ketra::results
