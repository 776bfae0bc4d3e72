// Scene files of a generated 20,000-element plant: the binary stream (.hsf) against the text
// metafile (.hmf), written and read in memory, and the HTML page. Sizes are counters (bytes).
// What is written is "/include library": the model segment and the element library it shows,
// as `ketra render -o plant.hsf` writes it.
#include "host/ModelGenerator.h"
#include "host/PipingModel.h"
#include "platform/hc/HcExtras.h"
#include "platform/hc/HcStream.h"
#include "platform/hc/hc.h"
#include "platform/io/HIOUtilityHTML.h"
#include "plotter/Plotter.h"
#include "view/HMyBaseView.h"
#include "view/window/ViewOutput.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <sstream>
#include <string>

namespace {

constexpr int kElements = 20000;

// One plant for every benchmark of the program.
struct Plant {
    Plant() {
        std::ostringstream generated;
        ketra::host::GenerateModel(generated, kElements);
        ketra::host::LoadResult loaded = ketra::host::ParsePipingModel(generated.str(), "generated.json");
        std::string error;
        if (!loaded.ok || !plotter.Start({}, &error))
            return;
        plotter.Draw(loaded.model);
        plotter.View().SetViewMode(HViewIsoSE, false, true);
        library = ketra::hc::Graph::Instance().FindSegment(plotter.View().GetModel()->GetModelIncludeKey());
        if (library) {
            hmf = ketra::hc::MetafileText(*library);
            hsf = ketra::hc::StreamBytes(*library);
        }
    }
    ketra::plotter::Plotter plotter;
    const ketra::hc::Segment* library = nullptr;
    std::string hmf, hsf;
};

Plant& ThePlant() {
    static Plant plant;
    return plant;
}

bool Ready(benchmark::State& state) {
    if (!ThePlant().library)
        state.SkipWithError("the plant could not be drawn");
    return ThePlant().library != nullptr;
}

void BM_WriteHmf(benchmark::State& state) {
    if (!Ready(state))
        return;
    for (auto _ : state)
        benchmark::DoNotOptimize(ketra::hc::MetafileText(*ThePlant().library));
    state.counters["bytes"] = static_cast<double>(ThePlant().hmf.size());
}

void BM_WriteHsf(benchmark::State& state) {
    if (!Ready(state))
        return;
    for (auto _ : state)
        benchmark::DoNotOptimize(ketra::hc::StreamBytes(*ThePlant().library));
    state.counters["bytes"] = static_cast<double>(ThePlant().hsf.size());
}

template <bool kStream> void BM_Read(benchmark::State& state) {
    if (!Ready(state))
        return;
    const std::string& data = kStream ? ThePlant().hsf : ThePlant().hmf;
    for (auto _ : state) {
        std::string error;
        const bool ok = kStream ? ketra::hc::ReadStreamBytes(data, "plant.hsf", "/bench read", error)
                                : ketra::hc::ReadMetafileText(data, "plant.hmf", "/bench read", error);
        if (!ok) {
            state.SkipWithError(error.c_str());
            return;
        }
        state.PauseTiming();
        HC_Delete_Segment("/bench read");
        state.ResumeTiming();
    }
    state.counters["bytes"] = static_cast<double>(data.size());
}

void BM_WriteHtml(benchmark::State& state) {
    if (!Ready(state))
        return;
    const std::string pageTemplate = ketra::view::HtmlPageTemplate();
    std::string page;
    for (auto _ : state) {
        std::string error;
        if (!ketra::io::BuildHtmlPage(pageTemplate, ThePlant().plotter.View().GetViewKey(), {}, page, &error)) {
            state.SkipWithError(error.c_str());
            return;
        }
    }
    state.counters["bytes"] = static_cast<double>(page.size());
}

} // namespace

BENCHMARK(BM_WriteHmf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteHsf)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Read, false)->Name("BM_ReadHmf")->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Read, true)->Name("BM_ReadHsf")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteHtml)->Unit(benchmark::kMillisecond);
