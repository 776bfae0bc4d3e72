#include "ViewExFixture.h"

#include <cmath>
#include <limits>

#include "platform/mvo/HBaseOperator.h"
#include "platform/mvo/HSelectionSet.h"

using viewtest::Compact;
using viewtest::ViewExTest;

TEST(HBaseViewExConstruction, StartsWithTheDocumentedValues)
{
    HBaseModel model;
    model.Init();
    HBaseViewEx view(&model);
    EXPECT_EQ(view.GetSymbolScaleFactor(), 1.0f);
    EXPECT_EQ(view.GetCurrentProject(), nullptr);
    EXPECT_STREQ(view.GetProjectName(), "");
    EXPECT_EQ(view.GetLegendKey(), 0);
    EXPECT_EQ(view.GetDraftonModelLoadedFlag(), 0);
    EXPECT_FALSE(view.Get_Camera_Position());
    EXPECT_NE(view.GetUpDirection(), UpDirectionAlternate);
}

TEST_F(ViewExTest, SymbolScaleFactorReturnsThePreviousFactor)
{
    EXPECT_EQ(view->SetSymbolScaleFactor(2.0f), 1.0f);
    EXPECT_EQ(view->GetSymbolScaleFactor(), 2.0f);
    EXPECT_EQ(view->SetSymbolScaleFactor(-0.5f), 2.0f);  // no range check
    EXPECT_EQ(view->GetSymbolScaleFactor(), -0.5f);
    view->SetUpDirection(UpDirectionAlternate);
    EXPECT_EQ(static_cast<int>(view->GetUpDirection()), 64224);
}

TEST_F(ViewExTest, InitMakesTheLegendTriadAndSceneDefaults)
{
    char name[256] = "";
    HC_Show_Segment_Name(view->GetLegendKey(), name);
    EXPECT_STREQ(name, "LegendWindow");
    EXPECT_EQ(HC_KShow_Owner_By_Key(view->GetLegendKey()), model->GetModelKey());
    EXPECT_EQ(view->GetTriadKey(), view->GetAxisTriadKey());
    view->SetTriadKey(12345);  // stored, never answered
    EXPECT_EQ(view->GetTriadKey(), view->GetAxisTriadKey());

    EXPECT_NE(view->GetPartsKey(), 0);
    EXPECT_EQ(HC_KShow_Owner_By_Key(view->GetPartsKey()), view->GetSceneKey());
    char value[256] = "";
    HC_Open_Segment_By_Key(view->GetConstructionKey());
    HC_Show_One_Heuristic("quick moves", value);
    HC_Close_Segment();
    EXPECT_STREQ(value, "on");
    HC_Open_Segment_By_Key(view->GetSceneKey());
    HC_Show_One_Selectability("faces", value);
    HC_Close_Segment();
    EXPECT_EQ(Compact(value), "on");
    HC_Open_Segment_By_Key(view->GetWindowspaceKey());
    HC_Show_Marker_Symbol(value);
    HC_Close_Segment();
    EXPECT_STREQ(value, "+");
    ASSERT_NE(view->GetSelection(), nullptr);
}

TEST_F(ViewExTest, CameraMovedFlagIsSetByEveryCameraChangeAndClearedByTheHost)
{
    EXPECT_FALSE(view->Get_Camera_Position());  // the initial camera is no move
    view->SetViewMode(HViewTop);
    EXPECT_TRUE(view->Get_Camera_Position());
    view->Set_Camera_Position(false);
    view->CameraPositionChanged(false, false);
    EXPECT_TRUE(view->Get_Camera_Position());
}

TEST_F(ViewExTest, ProjectAndOperatorPointersAreOnlyStored)
{
    auto* project = reinterpret_cast<ENVIR_BLOCK*>(0x1234);
    char name[] = "plant A";
    view->SetCurrentProject(project, name);
    name[0] = 'X';  // the view keeps its own copy
    EXPECT_EQ(view->GetCurrentProject(), project);
    EXPECT_STREQ(view->GetProjectName(), "plant A");
    view->SetCurrentProject(nullptr, nullptr);
    EXPECT_STREQ(view->GetProjectName(), "");

    HBaseOperator first(view.get()), second(view.get());
    view->SetCurrentOperator(&first);
    view->SetCurrentOperator(&second);  // nothing is deleted or stopped
    EXPECT_EQ(view->GetCurrentOperator(), &second);
    EXPECT_EQ(view->GetOperator(), &second);
    view->SetCurrentOperator(nullptr);
}

TEST_F(ViewExTest, ResetFreesTheBuildersBlocksAndLeavesTheScene)
{
    SHELLS shell;
    shell.points = new HPoint[8];
    shell.faces = new int[5];
    view->GetShellCache().push_back(shell);
    view->AddOwnedBlock(new HPoint[3]);
    view->AddOwnedBlock(nullptr);
    HC_Open_Segment_By_Key(model->GetModelKey());
    const HC_KEY line = HC_Insert_Line(0, 0, 0, 1, 1, 1);
    HC_Close_Segment();
    view->Reset();
    EXPECT_TRUE(view->GetShellCache().empty());
    EXPECT_TRUE(view->GetOwnedBlocks().empty());
    EXPECT_EQ(HC_Show_Existence_By_Key(line, "self"), 1);
    view->Reset();  // twice is harmless
    // What is left at destruction is freed by the destructor (checked under the sanitizers).
    view->AddOwnedBlock(new HPoint[2]);
}

TEST_F(ViewExTest, ComputeNewFieldScalesWithTheEyeDistance)
{
    HCamera camera;
    camera.position.Set(0, 0, 10);
    camera.target.Set(0, 0, 0);
    camera.field_width = 4;
    camera.field_height = 2;
    float w = 0, h = 0;
    view->ComputeNewField(w, h, HPoint(0, 0, 15), camera);
    EXPECT_FLOAT_EQ(w, 2);
    EXPECT_FLOAT_EQ(h, 1);
    camera.target = camera.position;  // degenerate: nothing to scale by
    w = h = 7;
    view->ComputeNewField(w, h, HPoint(1, 1, 1), camera);
    EXPECT_FLOAT_EQ(w, 7);
    EXPECT_FLOAT_EQ(h, 7);
}

TEST_F(ViewExTest, MotionHistoryKeepsFiftyCamerasAndBeepsWhenEmpty)
{
    HManageMotion& motion = view->GetManageMotion();
    std::vector<HCamera> cameras;
    for (int i = 0; i < 51; ++i) {
        HCamera camera = Camera();
        camera.field_width = camera.field_height = 1.0f + static_cast<float>(i);
        view->SetCamera(camera);
        cameras.push_back(Camera());
        motion.Step(view.get(), 0);  // what a left-button press records
    }
    EXPECT_EQ(motion.Size(), HManageMotion::kMaxRecords);
    for (int i = 50; i >= 1; --i) {
        EXPECT_TRUE(motion.Undo(view.get()));
        EXPECT_FLOAT_EQ(Camera().field_width, cameras[static_cast<size_t>(i)].field_width);
    }
    EXPECT_EQ(beepShell.beeps, 0);
    const HCamera before = Camera();
    EXPECT_FALSE(motion.Undo(view.get()));  // the 51st undo: the oldest record was dropped
    EXPECT_EQ(beepShell.beeps, 1);
    EXPECT_FALSE(before.CameraDifferent(Camera()));
    EXPECT_EQ(motion.Size(), 0u);
}

TEST_F(ViewExTest, MotionRecordsTheWholeCamera)
{
    view->SetViewMode(HViewLeft);
    view->GetManageMotion().Step(view.get());
    const HCamera recorded = Camera();
    view->SetViewMode(HViewTop);
    view->GetManageMotion().Undo(view.get());
    const HCamera restored = Camera();
    viewtest::ExpectNear(restored.position, recorded.position);
    viewtest::ExpectNear(restored.target, recorded.target);
    viewtest::ExpectNear(restored.up_vector, recorded.up_vector);
    EXPECT_FLOAT_EQ(restored.field_height, recorded.field_height);
}
