// The pipe stress solver on a generated plant of about 10,000 nodes with analysis data added
// (carbon steel, 300 °F, 150 psi, water; springs and hangers given rates): the frame built from
// the model, then the operating, sustained and expansion cases solved and their code stresses
// worked out. Counters: nodes and beams of the frame.
#include "analysis/PipingAnalysis.h"
#include "host/ModelGenerator.h"
#include "host/PipingModel.h"

#include <benchmark/benchmark.h>

#include <sstream>

namespace {

ketra::host::PipingModel Plant(int elements) {
    std::ostringstream text;
    ketra::host::GenerateModel(text, elements);
    ketra::host::LoadResult r = ketra::host::ParsePipingModel(text.str(), "generated");
    ketra::host::PipingModel m = std::move(r.model);
    ketra::host::Material steel;
    steel.youngs = 29.5e6;
    steel.expansion = 6.5e-6;
    steel.density = 0.2836;
    steel.allowableCold = steel.allowableHot = 20000;
    m.materials.push_back(steel);
    for (ketra::host::Element& e : m.elements) {
        e.material = 0;
        e.temperature = 300;
        e.pressure = 150;
        e.contents = 0.0361;
        if (e.expansionJoint)
            e.jointStiffness = ketra::host::JointStiffness{1000, 0, 1e5, 0};
    }
    for (ketra::host::Hanger& h : m.hangers) {
        h.rate = 1000;
        h.coldLoad = 500;
    }
    for (ketra::host::Restraint& s : m.restraints)
        if (s.stiff)
            s.rate = 1e4;
    return m;
}

void StaticCases(benchmark::State& state) {
    const ketra::host::PipingModel model = Plant(static_cast<int>(state.range(0)));
    ketra::analysis::FrameBuild built;
    for (auto _ : state) {
        built = ketra::analysis::BuildFrame(model, "generated");
        ketra::analysis::AnalysisResult r = ketra::analysis::Analyse(built.piping, {});
        if (!built.ok || !r.ok)
            state.SkipWithError((built.error + r.error).c_str());
        benchmark::DoNotOptimize(r);
    }
    state.counters["model_nodes"] = static_cast<double>(model.nodes.size());
    state.counters["frame_nodes"] = static_cast<double>(built.piping.frame.nodes.size());
    state.counters["beams"] = static_cast<double>(built.piping.frame.beams.size());
}

} // namespace

BENCHMARK(StaticCases)->Arg(9700)->Unit(benchmark::kMillisecond);
