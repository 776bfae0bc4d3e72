#include "ViewFixture.h"

#include <array>
#include <cmath>
#include <vector>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "platform/mvo/HBaseOperator.h"
#include "platform/mvo/HSelectionSet.h"
#include "platform/mvo/HUtility.h"
#include "platform/hc/SceneGraph.h"

using mvotest::ExpectNear;
using mvotest::InsertBox;
using mvotest::KeyType;
using mvotest::ViewTest;

namespace {
std::string PathOf(HC_KEY key)
{
    char path[4096] = "";
    HC_Show_Segment(key, path);
    return path;
}
} // namespace

TEST_F(ViewTest, InitBuildsTheDocumentedSegmentTree)
{
    const HC_KEY keys[] = {view->GetViewKey(), view->GetSceneKey(), view->GetIncludeLinkKey(),
                           view->GetLightsKey(), view->GetCuttingPlanesKey(), view->GetWindowspaceKey(),
                           view->GetOverwriteKey(), view->GetAxisTriadKey(), view->GetCuttingPlaneGeomKey()};
    for (HC_KEY key : keys)
        EXPECT_EQ(KeyType(key), "segment") << key;
    EXPECT_EQ(PathOf(view->GetViewKey()).rfind("/driver/null/", 0), 0u) << PathOf(view->GetViewKey());
    EXPECT_EQ(HC_KShow_Owner_By_Key(view->GetSceneKey()), view->GetViewKey());
    EXPECT_EQ(HC_KShow_Owner_By_Key(view->GetOverwriteKey()), view->GetSceneKey());
    EXPECT_EQ(HC_KShow_Owner_By_Key(view->GetIncludeLinkKey()), view->GetSceneKey());
    EXPECT_EQ(HC_KShow_Owner_By_Key(view->GetWindowspaceKey()), view->GetViewKey());
    EXPECT_EQ(view->GetModelKey(), model->GetModelKey());

    // The include link includes exactly the model.
    HC_Open_Segment_By_Key(view->GetIncludeLinkKey());
    HC_Begin_Contents_Search(".", "includes");
    char type[64];
    HC_KEY include = -1;
    ASSERT_TRUE(HC_Find_Contents(type, &include));
    EXPECT_EQ(HC_Show_Include_Segment(include, nullptr), model->GetModelKey());
    EXPECT_FALSE(HC_Find_Contents(type, &include));
    HC_End_Contents_Search();
    HC_Close_Segment();

    ASSERT_NE(view->GetSelection(), nullptr);
    ASSERT_NE(view->GetMarkupManager(), nullptr);
    ASSERT_NE(view->GetConstantFrameRateObject(), nullptr);
}

TEST_F(ViewTest, ViewsGetTheirOwnDisplayAndDestroyingOneRemovesOnlyIt)
{
    auto second = std::make_unique<HBaseView>(model.get(), "same");
    auto third = std::make_unique<HBaseView>(model.get(), "same");
    second->Init();
    third->Init();
    EXPECT_NE(second->GetViewKey(), third->GetViewKey());
    EXPECT_NE(PathOf(second->GetViewKey()), PathOf(third->GetViewKey()));
    const HC_KEY secondKey = second->GetViewKey();
    second.reset();
    EXPECT_EQ(HC_Show_Existence_By_Key(secondKey, "self"), 0);
    EXPECT_EQ(KeyType(third->GetViewKey()), "segment");
    EXPECT_EQ(KeyType(model->GetModelKey()), "segment");
}

namespace {
// Every corner of the box is inside the camera's field, and the box spans at least 90% of
// the field's width or height: the fit is tight, not the sphere around the box.
void ExpectBoxFillsTheField(const HCamera& camera, const HPoint& minimum, const HPoint& maximum)
{
    const HPoint forward = HNormalized(camera.target - camera.position);
    const HPoint right = HNormalized(HCross(forward, camera.up_vector));
    const HPoint up = HNormalized(HCross(right, forward));
    float across = 0, high = 0;
    for (int corner = 0; corner < 8; ++corner) {
        const HPoint p((corner & 1) ? maximum.x : minimum.x, (corner & 2) ? maximum.y : minimum.y,
                       (corner & 4) ? maximum.z : minimum.z);
        across = std::max(across, std::fabs(HDot(p - camera.target, right)));
        high = std::max(high, std::fabs(HDot(p - camera.target, up)));
    }
    EXPECT_LE(2 * across, camera.field_width * 1.0001f);
    EXPECT_LE(2 * high, camera.field_height * 1.0001f);
    EXPECT_GE(2 * across, 0.9f * camera.field_width);
    EXPECT_GE(2 * high, 0.9f * camera.field_height);
}
} // namespace

TEST_F(ViewTest, StandardViewsLookAlongTheDocumentedDirections)
{
    HC_Open_Segment_By_Key(model->GetModelKey());
    InsertBox({-1, -2, -3}, {3, 2, 1});
    HC_Close_Segment();
    struct Case { ViewMode mode; HPoint eye; HPoint up; };
    const float s = 1.0f / std::sqrt(3.0f);
    const Case cases[] = {
        {HViewFront, {0, -1, 0}, {0, 0, 1}}, {HViewBack, {0, 1, 0}, {0, 0, 1}},
        {HViewRight, {1, 0, 0}, {0, 0, 1}},  {HViewLeft, {-1, 0, 0}, {0, 0, 1}},
        {HViewTop, {0, 0, 1}, {0, 1, 0}},    {HViewBottom, {0, 0, -1}, {0, -1, 0}},
        {HViewIsoSE, {s, -s, s}, {0, 0, 1}}, {HViewIsoSW, {-s, -s, s}, {0, 0, 1}},
        {HViewIsoNE, {s, s, s}, {0, 0, 1}},  {HViewIsoNW, {-s, s, s}, {0, 0, 1}},
        {HViewIso, {s, -s, s}, {0, 0, 1}},   {HViewXY, {0, -1, 0}, {0, 0, 1}},
        {HViewZX, {0, 0, 1}, {0, 1, 0}},     {HViewXZ, {0, 0, -1}, {0, -1, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.mode));
        view->SetViewMode(c.mode, false, true);
        const HCamera camera = Camera();
        EXPECT_EQ(view->GetViewMode(), c.mode);
        ExpectNear(HNormalized(camera.position - camera.target), c.eye);
        ExpectNear(HNormalized(camera.up_vector), c.up);
        ExpectNear(camera.target, {1, 0, -1});
        ExpectBoxFillsTheField(camera, {-1, -2, -3}, {3, 2, 1});
    }
    // Unknown leaves the camera alone.
    const HCamera before = Camera();
    view->SetViewMode(HViewUnknown);
    EXPECT_FALSE(before.CameraDifferent(Camera()));
    EXPECT_EQ(view->GetViewMode(), HViewUnknown);
}

TEST_F(ViewTest, ZoomToExtentsCentresTheModelAndKeepsTheDirection)
{
    HC_Open_Segment_By_Key(model->GetModelKey());
    HC_Open_Segment("part");
    HC_Translate_Object(10, 0, 0);
    InsertBox({0, 0, 0}, {2, 4, 4});
    HC_Close_Segment();
    HC_Close_Segment();
    view->SetViewMode(HViewFront, false, false);
    const HPoint direction = Camera().ViewDirection();
    const unsigned int changes = view->GetCameraChangeCount();
    view->ZoomToExtents();
    const HCamera camera = Camera();
    ExpectNear(camera.target, {11, 2, 2});
    ExpectNear(camera.ViewDirection(), direction);
    // Seen from the front the part is 2 wide and 4 high; 5% margin on each side.
    EXPECT_NEAR(camera.field_width, 2.2f, 1e-4f);
    EXPECT_NEAR(camera.field_height, 4.4f, 1e-4f);
    EXPECT_GT(view->GetCameraChangeCount(), changes);
}

TEST_F(ViewTest, EmptySceneFitsAUnitBoxInsteadOfADegenerateCamera)
{
    view->ZoomToExtents();
    const HCamera camera = Camera();
    EXPECT_GT(camera.field_width, 0.0f);
    EXPECT_GT(camera.Distance(), 0.0f);
}

TEST_F(ViewTest, ProjectionModesSetTheSceneCamera)
{
    view->SetProjMode(ProjPerspective);
    EXPECT_STREQ(Camera().projection, "perspective");
    EXPECT_EQ(view->GetProjMode(), ProjPerspective);
    view->SetProjMode(ProjStretched);
    EXPECT_STREQ(Camera().projection, "stretched");
    view->SetProjMode(ProjOrthographic);
    EXPECT_STREQ(Camera().projection, "orthographic");
    view->SetProjMode(static_cast<HProjMode>(42));
    EXPECT_EQ(view->GetProjMode(), ProjOrthographic);
}

TEST_F(ViewTest, MarkerModeSetsAndRemovesOnlyItsOwnRenderingOptions)
{
    HC_Open_Segment_By_Key(view->GetSceneKey());
    HC_Set_Rendering_Options("depth range = (0,1)");
    HC_Close_Segment();
    view->SetRenderMode(HRenderMarkers);
    EXPECT_EQ(view->GetRenderMode(), HRenderMarkers);
    HC_Open_Segment_By_Key(view->GetSceneKey());
    EXPECT_GT(HC_Show_Existence("rendering options = lod"), 0);
    EXPECT_GT(HC_Show_Existence("rendering options = lodo"), 0);
    HC_Close_Segment();
    view->RenderGouraud();
    EXPECT_EQ(view->GetRenderMode(), HRenderGouraud);
    HC_Open_Segment_By_Key(view->GetSceneKey());
    EXPECT_EQ(HC_Show_Existence("rendering options = lod"), 0);
    EXPECT_EQ(HC_Show_Existence("rendering options = lodo"), 0);
    EXPECT_EQ(HC_Show_Existence("rendering options = lighting interpolation"), 0);
    EXPECT_GT(HC_Show_Existence("rendering options = depth range"), 0);
    HC_Close_Segment();
    view->RenderWireframe();
    EXPECT_EQ(view->GetRenderMode(), HRenderWireframe);
    view->RenderSilhouette();
    EXPECT_EQ(view->GetRenderMode(), HRenderSilhouette);
    view->RenderHiddenLineFast();
    EXPECT_EQ(view->GetRenderMode(), HRenderHiddenLineFast);
}

TEST_F(ViewTest, WindowAndWorldConversionsRoundTrip)
{
    for (HProjMode mode : {ProjOrthographic, ProjPerspective}) {
        view->SetProjMode(mode);
        const HCamera camera = Camera();
        ExpectNear(view->WindowToWorld({0, 0, 0}), camera.target);
        const HPoint world = view->WindowToWorld({0.3f, -0.7f, 0});
        ExpectNear(view->WorldToWindow(world), {0.3f, -0.7f, 0});
        // The point lies on the target plane.
        EXPECT_NEAR(HDot(world - camera.target, camera.ViewDirection()), 0.0f, 1e-4f);
        const HPoint viewpoint = view->WorldToViewpoint(world);
        ExpectNear(view->ViewpointToWorld(viewpoint), world, 1e-3f);
        EXPECT_NEAR(view->WorldToViewpoint(camera.target).z, camera.Distance(), 1e-3f);
    }
}

TEST_F(ViewTest, WheelZoomKeepsThePointUnderTheCursor)
{
    const HPoint grabbed = view->WindowToWorld({0.5f, 0.25f, 0});
    const float width = Camera().field_width;
    HEventInfo event(view.get());
    event.SetMouseWheel(0.5f, 0.25f, 120.0f, 0);
    EXPECT_EQ(view->InjectEvent(event), HOP_OK);
    EXPECT_NEAR(Camera().field_width, width * 0.9f, 1e-4f);
    ExpectNear(view->WorldToWindow(grabbed), {0.5f, 0.25f, 0}, 1e-3f);
}

TEST_F(ViewTest, HandednessAxisModeAndSceneFlagsReachTheScene)
{
    view->SetHandedness(HandednessLeft);
    char value[64] = "";
    HC_Open_Segment_By_Key(view->GetSceneKey());
    HC_Show_Handedness(value);
    HC_Close_Segment();
    EXPECT_STREQ(value, "left");
    EXPECT_EQ(view->GetHandedness(), HandednessLeft);

    view->SetBackplaneCulling(true);
    HC_Open_Segment_By_Key(view->GetSceneKey());
    HC_Show_One_Heuristic("backplane cull", value);
    HC_Close_Segment();
    EXPECT_STREQ(value, "on");

    view->SetAxisMode(AxisOn);
    char visibility[256] = "";
    HC_Open_Segment_By_Key(view->GetAxisTriadKey());
    HC_Show_One_Visibility("lines", visibility);
    HC_Close_Segment();
    EXPECT_STREQ(visibility, "on");
    view->SetAxisMode(static_cast<AxisMode>(9));
    EXPECT_EQ(view->GetAxisMode(), AxisOff);
}

namespace {
std::string LinesVisibility(HC_KEY segment)
{
    char value[64] = "";
    HC_Open_Segment_By_Key(segment);
    HC_Show_One_Visibility("lines", value);
    HC_Close_Segment();
    return value;
}
} // namespace

TEST_F(ViewTest, AxisModesShowTheCornerAndCentreTriads)
{
    const struct { AxisMode mode; const char* corner; const char* center; } cases[] = {
        {AxisOff, "off", "off"}, {AxisOn, "on", "off"}, {AxisCenter, "off", "on"}, {AxisOnAndCenter, "on", "on"}};
    for (const auto& c : cases) {
        view->SetAxisMode(c.mode);
        EXPECT_EQ(LinesVisibility(view->GetAxisTriadKey()), c.corner) << c.mode;
        EXPECT_EQ(LinesVisibility(view->GetCenterAxisTriadKey()), c.center) << c.mode;
    }

    // The centre triad sits at the target and keeps its share of the field when the camera
    // moves and zooms.
    HC_Open_Segment_By_Key(view->GetSceneKey());
    const HPoint position(100, 50, 80), target(10, 20, 30), up(0, 0, 1);
    HC_Set_Camera(&position, &target, &up, 40.0, 20.0, "orthographic");
    HC_Close_Segment();
    view->CameraPositionChanged(false);
    float matrix[16];
    HC_Open_Segment_By_Key(view->GetCenterAxisTriadKey());
    HC_Show_Modelling_Matrix(matrix);
    HC_Close_Segment();
    EXPECT_FLOAT_EQ(matrix[0], 4.0f);   // 0.2 × the smaller field side
    EXPECT_FLOAT_EQ(matrix[12], 10.0f);
    EXPECT_FLOAT_EQ(matrix[13], 20.0f);
    EXPECT_FLOAT_EQ(matrix[14], 30.0f);

    // An orbit leaves both triads' window, visibility and placement as they were: it stays a
    // camera-only change, which the renderer draws without walking the scene again.
    const std::uint64_t contentBefore = ketra::hc::Graph::Instance().ContentChanges();
    HC_Open_Segment_By_Key(view->GetSceneKey());
    HC_Orbit_Camera(20, 10);
    HC_Close_Segment();
    view->CameraPositionChanged(false);
    EXPECT_EQ(ketra::hc::Graph::Instance().ContentChanges(), contentBefore);
    EXPECT_EQ(LinesVisibility(view->GetAxisTriadKey()), "on");
    EXPECT_EQ(LinesVisibility(view->GetCenterAxisTriadKey()), "on");
    HC_Open_Segment_By_Key(view->GetSceneKey());
    HC_Zoom_Camera(2.0);
    HC_Close_Segment();
    view->CameraPositionChanged(false);
    HC_Open_Segment_By_Key(view->GetCenterAxisTriadKey());
    HC_Show_Modelling_Matrix(matrix);
    HC_Close_Segment();
    EXPECT_FLOAT_EQ(matrix[0], 2.0f);  // a zoom changes the field: the triad follows
    view->SetAxisMode(AxisOff);
    EXPECT_EQ(LinesVisibility(view->GetAxisTriadKey()), "off");
    EXPECT_EQ(LinesVisibility(view->GetCenterAxisTriadKey()), "off");

    // It is not part of the model's extents and cannot be picked.
    char value[64] = "";
    HC_Open_Segment_By_Key(view->GetCenterAxisTriadKey());
    HC_Show_Selectability(value);
    HC_Close_Segment();
    EXPECT_NE(std::string(value).find("off"), std::string::npos) << value;
}

TEST_F(ViewTest, FileOutputPicksTheWriterByExtension)
{
    HC_Open_Segment_By_Key(model->GetModelKey());
    InsertBox({0, 0, 0}, {1, 1, 1});
    HC_Close_Segment();
    const std::string base = std::string(KETRA_BINARY_DIR) + "/mvo_file_output_" + std::to_string(::getpid());
    EXPECT_EQ(model->FileOutput((base + ".hmf").c_str(), view.get()), OutputOK);
    FILE* file = std::fopen((base + ".hmf").c_str(), "rb");
    ASSERT_NE(file, nullptr);
    std::fclose(file);
    std::remove((base + ".hmf").c_str());
    EXPECT_EQ(model->FileOutput("", view.get()), OutputBadFileName);
    EXPECT_EQ(model->FileOutput((base + ".nosuchformat").c_str(), view.get()), OutputNotHandled);
    EXPECT_EQ(view->FileOutput(nullptr, nullptr, nullptr), OutputBadFileName);
    EXPECT_EQ(view->FileOutput((base + ".nosuchformat").c_str(), nullptr, nullptr), OutputNotHandled);
}

TEST_F(ViewTest, CuttingPlanesAndTheThreeSidedSectionPassThroughTheModelCentre)
{
    HC_Open_Segment_By_Key(model->GetModelKey());
    InsertBox({0, 0, 0}, {4, 2, 6});
    HC_Close_Segment();
    auto planesOf = [](HC_KEY segment) {
        std::vector<std::array<float, 4>> planes;
        HC_Open_Segment_By_Key(segment);
        HC_Begin_Contents_Search(".", "cutting planes");
        char type[64];
        HC_KEY key = -1;
        while (HC_Find_Contents(type, &key)) {
            std::array<float, 4> p{};
            HC_Show_Cutting_Plane(key, &p[0], &p[1], &p[2], &p[3]);
            planes.push_back(p);
        }
        HC_End_Contents_Search();
        HC_Close_Segment();
        return planes;
    };
    const HC_KEY first = HUtilityGeometryCreation::CreateCuttingPlane(view.get(), nullptr);
    const HC_KEY second = HUtilityGeometryCreation::CreateCuttingPlane(view.get(), nullptr);
    ASSERT_NE(first, second);
    for (HC_KEY plane : {first, second}) {
        const auto planes = planesOf(plane);
        ASSERT_EQ(planes.size(), 1u);
        EXPECT_NEAR(planes[0][0] * 2 + planes[0][3], 0.0f, 1e-5f);  // x = 2, the centre
    }

    // Two calls leave three planes, one through the centre on each axis, that cut together.
    HUtilityGeometryCreation::CreateThreeSidedSection(view.get());
    const HC_KEY section = HUtilityGeometryCreation::CreateThreeSidedSection(view.get());
    ASSERT_EQ(HC_KShow_Owner_By_Key(section), view->GetCuttingPlanesKey());
    const auto planes = planesOf(section);
    ASSERT_EQ(planes.size(), 3u);
    const float centre[3] = {2, 1, 3};
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_FLOAT_EQ(planes[static_cast<size_t>(axis)][static_cast<size_t>(axis)], 1.0f);
        EXPECT_NEAR(planes[static_cast<size_t>(axis)][static_cast<size_t>(axis)] * centre[axis] +
                        planes[static_cast<size_t>(axis)][3], 0.0f, 1e-5f);
    }
    char option[64] = "";
    HC_Open_Segment_By_Key(section);
    HC_Show_One_Rendering_Option("intersecting cutting planes", option);
    HC_Close_Segment();
    EXPECT_STREQ(option, "on");
}
