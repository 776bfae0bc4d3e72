#include "AnalyseCommand.h"

#include "Progress.h"
#include "analysis/PipingAnalysis.h"
#include "host/ModelFile.h"
#include "platform/sys/AtomicFile.h"
#include "analysis/AnalyseModel.h"

#include <cstdio>
#include <filesystem>

namespace ketra::app {

namespace {

constexpr int kExitUsage = 1;
constexpr int kExitBadModel = 2;
constexpr int kExitFailed = 3;

// "largest ratio 0.42 at element 10-20" for a case with stresses.
std::string Largest(const analysis::CaseResult& c) {
    double worst = -1;
    const analysis::ElementResult* where = nullptr;
    for (const analysis::ElementResult& e : c.elements)
        for (const analysis::EndResult* end : {&e.start, &e.end})
            if (end->stress >= 0 && end->allowable > 0 && end->stress / end->allowable > worst) {
                worst = end->stress / end->allowable;
                where = &e;
            }
    if (!where)
        return "";
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.3f", worst);
    return std::string(", largest ratio ") + buffer + " at element " + std::to_string(where->from) + "-" +
           std::to_string(where->to);
}

} // namespace

CLI::App* AddAnalyseCommand(CLI::App& app, AnalyseArgs& args) {
    CLI::App* cmd = app.add_subcommand("analyse", "pipe stress analysis of a model: write its results file");
    cmd->alias("analyze");
    cmd->add_option("MODEL", args.model, "piping model file with analysis data (docs/model-format.md)")->required();
    cmd->add_option("-o,--output", args.out, "results file to write (ketra-results/1 JSON)")->required();
    cmd->add_option("--cases", args.cases,
                    "cases to write, separated by commas: OPE (operating), SUS (sustained), EXP (expansion "
                    "range), W (weight), T (thermal); default OPE,SUS,EXP");
    cmd->add_option("--modes", args.modes, "also the lowest N natural modes (N, default 10 when given alone)")
        ->expected(0, 1)
        ->default_str("10")
        ->check(CLI::Range(1, 1000));
    return cmd;
}

int RunAnalyse(const AnalyseArgs& args) {
    analysis::CaseChoice choice;
    std::string error;
    if (!args.cases.empty() && !analysis::ParseCaseList(args.cases, &choice, &error)) {
        std::fprintf(stderr, "ketra: --cases: %s\n", error.c_str());
        return kExitUsage;
    }
    host::ModelFileResult loaded = host::LoadModelFile(args.model);
    if (!loaded.ok) {
        std::fprintf(stderr, "%s\n", loaded.error.c_str());
        return kExitBadModel;
    }
    Progress progress("analysing " + args.model);
    analysis::ModelAnalysis result = analysis::AnalyseModel(loaded.model, args.model, choice, args.modes,
                                                            [&](int done, int total) { progress.Update(done, total); });
    progress.Finish();
    if (!result.ok || !result.modesError.empty()) {
        std::fprintf(stderr, "%s\n", (result.ok ? result.modesError : result.error).c_str());
        return kExitBadModel;
    }
    for (const std::string& w : result.warnings)
        std::fprintf(stderr, "ketra: warning: %s\n", w.c_str());
    const std::string text = analysis::ResultsJson(result.piping, result.cases, "ketra analyse " KETRA_VERSION,
                                                   std::filesystem::path(args.model).filename().string());
    if (!sys::WriteFileAtomically(args.out, text, &error)) {
        std::fprintf(stderr, "ketra: %s\n", error.c_str());
        return kExitFailed;
    }
    std::printf("wrote %s:", args.out.c_str());
    for (std::size_t i = 0; i < result.cases.size(); ++i)
        std::printf("%s %s%s", i ? ";" : "", result.cases[i].name.c_str(), Largest(result.cases[i]).c_str());
    std::printf("\n");
    return 0;
}

} // namespace ketra::app
