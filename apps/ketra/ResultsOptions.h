// The command line's results options: `render --results R.json [--case NAME] [--show ...]
// [--scale S] [--node-numbers all]` and `info --results R.json`.
#pragma once

#include "plotter/Plotter.h"
#include "results/ResultsDisplay.h"

#include <CLI/CLI.hpp>

#include <memory>
#include <string>

namespace ketra::app {

struct ResultsArgs {
    std::string file;      // empty: no results
    std::string caseName;  // empty: the file's first case
    std::string show = "ratio";
    double scale = 0;
    std::string nodeNumbers; // "all": every node's number; empty: none
};

void AddResultsOptions(CLI::App* cmd, ResultsArgs& args, bool forPictures);

// Reads the results for the drawn model and shows the chosen case. The results and display
// are kept by the caller for as long as the picture is made. False (reported) on a bad file,
// case or option.
bool ShowResults(const ResultsArgs& args, const host::PipingModel& model, plotter::Plotter& plotter,
                 results::Results& results, std::unique_ptr<results::ResultsDisplay>& display);

// `--node-numbers all`: every node's number in the picture.
void ShowRequestedNodeNumbers(const ResultsArgs& args, const host::PipingModel& model, plotter::Plotter& plotter);

// `render MODEL --results R -o OUT.vtu|OUT.pvd`: the results as VTK XML, no picture. Returns
// the command's exit status (2 for a bad model or results file, 1 without --results).
int WriteResultsVtk(const std::string& modelPath, const ResultsArgs& args, const std::string& out);

// Prints each case with its largest ratio, stress and movement and where they are. False
// (reported) on a bad file.
bool PrintResultsInfo(const std::string& file, const host::PipingModel& model);

} // namespace ketra::app
