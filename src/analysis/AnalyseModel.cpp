#include "analysis/AnalyseModel.h"

#include "analysis/ModalSolver.h"

namespace ketra::analysis {

ModelAnalysis AnalyseModel(const host::PipingModel& model, const std::string& name, const CaseChoice& choice,
                           int modes, const std::function<void(int, int)>& progress) {
    ModelAnalysis out;
    FrameBuild built = BuildFrame(model, name);
    if (!built.ok) {
        out.error = built.error;
        return out;
    }
    out.piping = std::move(built.piping);
    const int modal = modes > 0 ? 1 : 0; // the modal solve is one more step
    int steps = 0;
    AnalysisResult result = Analyse(out.piping, choice, [&](int done, int total) {
        steps = total + modal;
        if (progress)
            progress(done, steps);
    });
    out.warnings = std::move(result.warnings);
    if (!result.ok) {
        out.error = name + ": " + result.error;
        return out;
    }
    out.cases = std::move(result.cases);
    if (modes > 0) {
        const ModalResult found = SolveModes(out.piping.frame, modes);
        if (progress)
            progress(steps, steps);
        if (found.ok) {
            for (std::size_t i = 0; i < found.frequencies.size(); ++i)
                out.cases.push_back(ModalCase(out.piping, static_cast<int>(i) + 1, found.frequencies[i], found.shapes[i]));
        } else {
            out.modesError = name + ": " + found.error;
        }
    }
    out.ok = true;
    return out;
}

} // namespace ketra::analysis
