// A piping model analysed from end to end, as `ketra analyse` and the viewer's Analysis > Run
// both do it: the frame built, the chosen cases solved, then the lowest modes.
#pragma once

#include "analysis/PipingAnalysis.h"

#include <functional>
#include <string>
#include <vector>

namespace ketra::analysis {

struct ModelAnalysis {
    bool ok = false;
    std::string error;      // the model refused: "FILE:LINE:COLUMN: what" or "FILE: what"
    std::string modesError; // "FILE: what" when the modes could not be found; the cases stand
    std::vector<std::string> warnings;
    PipingFrame piping;
    std::vector<CaseResult> cases; // the chosen cases, then the modes, lowest first
};

// `name` is the model file as messages name it. `modes` > 0 asks for up to that many lowest
// modes. `progress` (may be empty) hears (done, total) after each solve, the modes as one.
ModelAnalysis AnalyseModel(const host::PipingModel& model, const std::string& name, const CaseChoice& choice,
                           int modes, const std::function<void(int, int)>& progress = {});

} // namespace ketra::analysis
