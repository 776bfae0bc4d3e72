// `ketra analyse MODEL -o RESULTS.json`: runs the pipe stress solver on a model and writes
// its results file (docs/analysis.md, docs/results-format.md).
#pragma once

#include <CLI/CLI.hpp>

#include <string>

namespace ketra::app {

struct AnalyseArgs {
    std::string model, out, cases;
    int modes = 0; // 0: no modal cases
};

CLI::App* AddAnalyseCommand(CLI::App& app, AnalyseArgs& args);

// Exit codes as the other commands: 0 done, 1 usage, 2 the model is refused, 3 failed.
int RunAnalyse(const AnalyseArgs& args);

} // namespace ketra::app
