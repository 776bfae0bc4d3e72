#include "ViewExFixture.h"

#include <cmath>

#include "platform/mvo/HSelectionSet.h"

using viewtest::ExpectNear;
using viewtest::ViewExTest;

namespace {

class FitTest : public ViewExTest {
protected:
    void SetUp() override
    {
        ViewExTest::SetUp();
        view->SetViewMode(HViewFront);
        selection = view->GetSelection();
    }
    HSelectionSet* selection = nullptr;
};

} // namespace

TEST_F(FitTest, NothingSelectedDoesNothing)
{
    const HCamera before = Camera();
    const unsigned int changes = view->GetCameraChangeCount();
    view->FitWorldToHOOPSSelection();
    EXPECT_FALSE(before.CameraDifferent(Camera()));
    EXPECT_EQ(view->GetCameraChangeCount(), changes);
}

TEST_F(FitTest, ASegmentIsFittedAlongTheCurrentDirection)
{
    HC_Open_Segment_By_Key(model->GetModelKey());
    const HC_KEY segment = HC_Open_Segment("run");
    HC_Insert_Line(2, 2, 2, 5, 6, 2);
    HC_Close_Segment();
    HC_Close_Segment();
    selection->SetSelectionLevel(HSelectLevelSegment);
    selection->Select(segment, 0, nullptr);
    const HPoint direction = Camera().ViewDirection();
    view->Set_Camera_Position(false);
    view->FitWorldToHOOPSSelection();
    const HCamera camera = Camera();
    ExpectNear(camera.target, {3.5f, 4, 2});
    EXPECT_NEAR(camera.field_width, 5.0f, 1e-4f);
    EXPECT_NEAR(camera.field_height, 5.0f, 1e-4f);
    ExpectNear(camera.position, HPoint(3.5f, 4, 2) - direction * 12.5f, 1e-3f);
    EXPECT_TRUE(view->Get_Camera_Position());
}

TEST_F(FitTest, AShellTurnsTheCameraToItsMeanNormal)
{
    HC_Open_Segment_By_Key(model->GetModelKey());
    HC_Open_Segment("plate");
    // One square facing +x (counter-clockwise seen from +x).
    const HPoint points[4] = {{1, 0, 0}, {1, 2, 0}, {1, 2, 2}, {1, 0, 2}};
    const int faces[5] = {4, 0, 1, 2, 3};
    const HC_KEY shell = HC_Insert_Shell(4, points, 5, faces);
    HC_Close_Segment();
    HC_Close_Segment();
    ExpectNear(HBaseViewEx::ShellAverageNormal(shell), {1, 0, 0});
    selection->SetSelectionLevel(HSelectLevelEntity);
    selection->Select(shell, 0, nullptr);
    const HCamera before = Camera();
    view->FitWorldToHOOPSSelection();
    const HCamera camera = Camera();
    ExpectNear(camera.target, {1, 1, 1});
    ExpectNear(camera.ViewDirection(), {-1, 0, 0});
    EXPECT_NEAR(camera.Distance(), 2.5f * std::sqrt(8.0f), 1e-3f);
    // The up vector turned with the line of sight: Front's +Z stays +Z for this quarter turn.
    ExpectNear(HNormalized(camera.up_vector), HNormalized(before.up_vector));
}

TEST_F(FitTest, APointSelectionCentresWithoutCollapsingTheCamera)
{
    HC_Open_Segment_By_Key(model->GetModelKey());
    HC_Open_Segment("node");
    const HC_KEY marker = HC_Insert_Marker(4, 5, 6);
    HC_Close_Segment();
    HC_Close_Segment();
    selection->SetSelectionLevel(HSelectLevelEntity);
    selection->Select(marker, 0, nullptr);
    const HCamera before = Camera();
    view->FitWorldToHOOPSSelection();
    const HCamera camera = Camera();
    ExpectNear(camera.target, {4, 5, 6});
    EXPECT_NEAR(camera.Distance(), before.Distance(), 1e-3f);
    EXPECT_FLOAT_EQ(camera.field_width, before.field_width);
    ExpectNear(camera.ViewDirection(), before.ViewDirection());
}

TEST_F(FitTest, AverageNormalOfOpposingFacesIsZero)
{
    HC_Open_Segment_By_Key(model->GetModelKey());
    const HPoint points[4] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    const int faces[10] = {4, 0, 1, 2, 3, 4, 3, 2, 1, 0};
    const HC_KEY shell = HC_Insert_Shell(4, points, 10, faces);
    HC_Close_Segment();
    ExpectNear(HBaseViewEx::ShellAverageNormal(shell), {0, 0, 0});
    EXPECT_EQ(HBaseViewEx::ShellAverageNormal(0), HPoint());
    EXPECT_EQ(HBaseViewEx::ShellAverageNormal(model->GetModelKey()), HPoint());
}
