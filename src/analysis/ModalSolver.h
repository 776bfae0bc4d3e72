// Natural frequencies and mode shapes of a space frame (FrameSolver.h) with lumped masses: the
// beams' mass per length (and their sections' rotary inertia) shared half to each end, plus the
// model's point masses. Supports are taken as in a static solve (one-way supports as holding;
// springs as springs).
#pragma once

#include "analysis/FrameSolver.h"

#include <vector>

namespace ketra::analysis {

struct ModalResult {
    bool ok = false;
    std::string error;
    std::vector<double> frequencies;      // Hz, ascending
    std::vector<std::vector<Vec6>> shapes; // per mode, per node; mass-normalised (φᵀ M φ = 1)
};

// The lowest `count` modes (fewer when the model has fewer free degrees of freedom with mass).
// A model free to move is refused as by SolveStatic.
ModalResult SolveModes(const FrameModel& model, int count);

} // namespace ketra::analysis
