// Writes a large, plausible plant model (docs/model-format.md) for benchmarks and
// tests: parallel lines on a pipe rack with risers, bends, tee branches, valves,
// expansion joints, supports of every kind and the rack's steel.
#pragma once

#include <ostream>

namespace ketra::host {

// Writes a model of about `elementCount` pipe elements (at least one line's worth).
// The same count always gives the same model.
void GenerateModel(std::ostream& out, int elementCount);

} // namespace ketra::host
