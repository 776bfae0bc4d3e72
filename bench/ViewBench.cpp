// Cost of the view layer's interaction paths on a plant-sized scene (10,000 box shells in 100
// segments): one drag step of the orbit and pan operators, ZoomToExtents, and a click of the
// selection operator. Update does not render here (no display driver), so the figures are
// the view layer's own work plus the scene graph queries it makes.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "platform/hc/hc.h"
#include "platform/mvo/HBaseModel.h"
#include "platform/mvo/HEventInfo.h"
#include "platform/mvo/HOpCameraOrbit.h"
#include "platform/mvo/HOpCameraPan.h"
#include "platform/mvo/HOpSelectAperture.h"
#include "platform/mvo/HSelectionSet.h"
#include "view/HMyBaseView.h"

namespace {

struct Scene {
    Scene()
    {
        HBaseView::SetAutoInstallDisplayDriver(false);
        model.Init();
        view = std::make_unique<HMyBaseView>(&model, nullptr, nullptr, nullptr, 0, 0);
        view->Init();
        const int faces[] = {4, 0, 3, 2, 1, 4, 4, 5, 6, 7, 4, 0, 1, 5, 4, 4, 1, 2, 6, 5, 4, 2, 3, 7, 6, 4, 3, 0, 4, 7};
        HC_Open_Segment_By_Key(model.GetModelKey());
        for (int s = 0; s < 100; ++s) {
            HC_Open_Segment(("run " + std::to_string(s)).c_str());
            for (int i = 0; i < 100; ++i) {
                const float x = static_cast<float>(i) * 2.0f, y = static_cast<float>(s) * 2.0f;
                const float p[8][3] = {{x, y, 0}, {x + 1, y, 0}, {x + 1, y + 1, 0}, {x, y + 1, 0},
                                       {x, y, 1}, {x + 1, y, 1}, {x + 1, y + 1, 1}, {x, y + 1, 1}};
                HC_Insert_Shell(8, p, 30, faces);
            }
            HC_Close_Segment();
        }
        HC_Close_Segment();
        view->SetViewMode(HViewIsoSE);
    }
    HBaseModel model;
    std::unique_ptr<HMyBaseView> view;
};

Scene& TheScene()
{
    static Scene scene;
    return scene;
}

template <class Op> void DragStep(benchmark::State& state)
{
    Scene& scene = TheScene();
    HBaseView* view = scene.view.get();
    delete view->GetOperator();
    view->SetOperator(new Op(view));
    HEventInfo event(view);
    event.SetPoint(HE_LButtonDown, 0, 0, MVO_LBUTTON);
    view->InjectEvent(event);
    float x = 0;
    for (auto _ : state) {
        x = x > 0.5f ? -0.5f : x + 0.001f;
        event.SetPoint(HE_MouseMove, x, 0.1f, MVO_LBUTTON);
        view->InjectEvent(event);
    }
    event.SetPoint(HE_LButtonUp, x, 0.1f, 0);
    view->InjectEvent(event);
}

void BM_OrbitDragStep(benchmark::State& state) { DragStep<HOpCameraOrbit>(state); }
void BM_PanDragStep(benchmark::State& state) { DragStep<HOpCameraPan>(state); }

void BM_ZoomToExtents(benchmark::State& state)
{
    Scene& scene = TheScene();
    for (auto _ : state)
        scene.view->ZoomToExtents();
}

void BM_SelectClick(benchmark::State& state)
{
    Scene& scene = TheScene();
    HBaseView* view = scene.view.get();
    view->SetViewMode(HViewTop);
    delete view->GetOperator();
    view->SetOperator(new HOpSelectAperture(view));
    HEventInfo event(view);
    for (auto _ : state) {
        event.SetPoint(HE_LButtonDown, 0.01f, 0.02f, MVO_LBUTTON);
        view->InjectEvent(event);
    }
    state.counters["selected"] = static_cast<double>(view->GetSelection()->GetSize());
}

} // namespace

BENCHMARK(BM_OrbitDragStep);
BENCHMARK(BM_PanDragStep);
BENCHMARK(BM_ZoomToExtents)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SelectClick)->Unit(benchmark::kMicrosecond);
