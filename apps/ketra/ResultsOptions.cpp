#include "ResultsOptions.h"

#include "host/ModelFile.h"
#include "results/NodeNumbers.h"
#include "results/VtkWriter.h"

#include <cstdio>

namespace ketra::app {

void AddResultsOptions(CLI::App* cmd, ResultsArgs& args, bool forPictures) {
    cmd->add_option("--results", args.file, "results file (docs/results-format.md) for the model");
    if (!forPictures)
        return;
    cmd->add_option("--case", args.caseName, "load case to show (default: the file's first)");
    cmd->add_option("--show", args.show, "what to show: ratio (stress / allowable), stress, displaced, loads")
        ->check(CLI::IsMember({"ratio", "stress", "displaced", "loads"}))
        ->capture_default_str();
    cmd->add_option("--scale", args.scale, "displacement magnification (default: chosen to show the largest movement)")
        ->check(CLI::PositiveNumber);
    cmd->add_option("--node-numbers", args.nodeNumbers, "write node numbers: all")->check(CLI::IsMember({"all"}));
}

void ShowRequestedNodeNumbers(const ResultsArgs& args, const host::PipingModel& model, plotter::Plotter& plotter) {
    if (args.nodeNumbers == "all")
        results::ShowNodeNumbers(plotter, model);
}

bool ShowResults(const ResultsArgs& args, const host::PipingModel& model, plotter::Plotter& plotter,
                 results::Results& results, std::unique_ptr<results::ResultsDisplay>& display) {
    results::ResultsLoad load = results::LoadResults(args.file, model);
    if (!load.ok) {
        std::fprintf(stderr, "%s\n", load.error.c_str());
        return false;
    }
    results = std::move(load.results);
    const std::string name = args.caseName.empty() ? results.cases.front().name : args.caseName;
    if (!results.Find(name)) {
        std::fprintf(stderr, "ketra: %s has no case \"%s\"; its cases are %s\n", args.file.c_str(), name.c_str(),
                     results.CaseNames().c_str());
        return false;
    }
    results::DisplayOptions options;
    options.measure = args.show == "stress" ? results::StressMeasure::Stress : results::StressMeasure::Ratio;
    options.colours = args.show == "ratio" || args.show == "stress";
    options.displaced = args.show != "loads";
    options.loads = args.show == "loads";
    options.scale = args.scale;
    display = std::make_unique<results::ResultsDisplay>(plotter, model, results);
    display->Show(name, options);
    return true;
}

int WriteResultsVtk(const std::string& modelPath, const ResultsArgs& args, const std::string& out) {
    if (args.file.empty()) {
        std::fprintf(stderr, "ketra: a .vtu or .pvd file holds results: give them with --results\n");
        return 1;
    }
    host::ModelFileResult model = host::LoadModelFile(modelPath);
    if (!model.ok) {
        std::fprintf(stderr, "%s\n", model.error.c_str());
        return 2;
    }
    results::ResultsLoad load = results::LoadResults(args.file, model.model);
    if (!load.ok) {
        std::fprintf(stderr, "%s\n", load.error.c_str());
        return 2;
    }
    const results::LoadCase* one = args.caseName.empty() ? nullptr : load.results.Find(args.caseName);
    if (!args.caseName.empty() && !one) {
        std::fprintf(stderr, "ketra: %s has no case \"%s\"; its cases are %s\n", args.file.c_str(),
                     args.caseName.c_str(), load.results.CaseNames().c_str());
        return 2;
    }
    std::string error;
    if (!results::WriteVtk(out, model.model, load.results, one, &error)) {
        std::fprintf(stderr, "ketra: %s\n", error.c_str());
        return 3;
    }
    return 0;
}

bool PrintResultsInfo(const std::string& file, const host::PipingModel& model) {
    results::ResultsLoad load = results::LoadResults(file, model);
    if (!load.ok) {
        std::fprintf(stderr, "%s\n", load.error.c_str());
        return false;
    }
    const results::Results& r = load.results;
    const char* length = model.units == host::Units::Inches ? "in" : "mm";
    std::printf("results:    %s (%zu cases)\n", file.c_str(), r.cases.size());
    for (const results::LoadCase& c : r.cases) {
        std::printf("  %s (%s", c.name.c_str(), results::CaseKindName(c.kind));
        if (c.frequency)
            std::printf(", %g Hz", *c.frequency);
        std::printf(")\n");
        const results::CaseExtremes x = results::Extremes(c);
        if (x.ratio)
            std::printf("    largest ratio     %.1f %% at node %d, element %d-%d\n", *x.ratio * 100, x.ratioNode,
                        x.ratioElement.from, x.ratioElement.to);
        if (x.stress)
            std::printf("    largest stress    %g %s at node %d, element %d-%d\n", *x.stress, r.units.stress.c_str(),
                        x.stressNode, x.stressElement.from, x.stressElement.to);
        if (x.movement)
            std::printf("    largest movement  %g %s at node %d\n", *x.movement, length, x.movementNode);
    }
    return true;
}

} // namespace ketra::app
