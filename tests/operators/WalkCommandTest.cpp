#include "OperatorFixture.h"

#include <memory>

#include "config/CAppSettings.h"
#include "operators/WalkCommand.h"
#include "platform/mvo/HOpCameraWalk.h"
#include "platform/window/RecordingPort.h"

using optest::InsertBox;
using optest::OperatorTest;

namespace {

class WalkCommandTest : public OperatorTest {
protected:
    void SetUp() override {
        OperatorTest::SetUp();
        m_saved = {CAppSettings::bWalkUseKeyboard,  CAppSettings::bWalkCollision,
                   CAppSettings::bWalkSnapToFloor,  CAppSettings::bWalkAutomaticHeight,
                   CAppSettings::WalkAvatarHeight,  CAppSettings::WalkStepHeightUp,
                   CAppSettings::WalkStepHeightDown};
        CAppSettings::WalkStepHeightUp = 20;
        CAppSettings::WalkStepHeightDown = 80;
    }
    void TearDown() override {
        CAppSettings::bWalkUseKeyboard = m_saved.keyboard;
        CAppSettings::bWalkCollision = m_saved.collision;
        CAppSettings::bWalkSnapToFloor = m_saved.snap;
        CAppSettings::bWalkAutomaticHeight = m_saved.automatic;
        CAppSettings::WalkAvatarHeight = m_saved.height;
        CAppSettings::WalkStepHeightUp = m_saved.up;
        CAppSettings::WalkStepHeightDown = m_saved.down;
        OperatorTest::TearDown();
    }
    void AddModel(const HPoint& size) {
        HC_Open_Segment_By_Key(model->GetModelKey());
        InsertBox({0, 0, 0}, size);
        HC_Close_Segment();
    }
    std::unique_ptr<HOpCameraWalk> Build() {
        return std::unique_ptr<HOpCameraWalk>(BuildWalkOperator(view.get()));
    }

private:
    struct Saved {
        bool keyboard, collision, snap, automatic;
        int height, up, down;
    } m_saved{};
};

} // namespace

TEST_F(WalkCommandTest, StoredAvatarHeightIsInHundredths) {
    AddModel({600, 10, 10});
    CAppSettings::bWalkAutomaticHeight = false;
    CAppSettings::WalkAvatarHeight = 250;
    CAppSettings::WalkStepHeightUp = 20;
    CAppSettings::WalkStepHeightDown = 80;
    auto walk = Build();
    EXPECT_FLOAT_EQ(walk->GetAvatarHeight(), 2.5f);
    EXPECT_FLOAT_EQ(walk->GetStepHeightUp(), 0.5f);
    EXPECT_FLOAT_EQ(walk->GetStepHeightDown(), 2.0f);
    EXPECT_EQ(CAppSettings::WalkAvatarHeight, 250);
    EXPECT_EQ(BuildWalkOperator(nullptr), nullptr);
}

TEST_F(WalkCommandTest, AutomaticHeightIsASixtiethOfTheModelAndIsWrittenBack) {
    AddModel({120, 30, 60});
    CAppSettings::bWalkAutomaticHeight = true;
    CAppSettings::WalkAvatarHeight = 1;
    auto walk = Build();
    EXPECT_FLOAT_EQ(walk->GetAvatarHeight(), 2.0f);
    EXPECT_EQ(CAppSettings::WalkAvatarHeight, 200);
    EXPECT_FLOAT_EQ(walk->GetStepHeightUp(), 0.4f);
    EXPECT_FLOAT_EQ(walk->GetStepHeightDown(), 1.6f);

    // Switching automatic off afterwards keeps the same height.
    CAppSettings::bWalkAutomaticHeight = false;
    ConfigureWalkOperator(*walk);
    EXPECT_FLOAT_EQ(walk->GetAvatarHeight(), 2.0f);
}

TEST_F(WalkCommandTest, AutomaticHeightIsTruncatedWhenStored) {
    AddModel({100, 1, 1}); // 100 / 60 = 1.666...
    CAppSettings::bWalkAutomaticHeight = true;
    auto walk = Build();
    EXPECT_NEAR(walk->GetAvatarHeight(), 100.0f / 60.0f, 1e-5f);
    EXPECT_EQ(CAppSettings::WalkAvatarHeight, 166);
}

TEST_F(WalkCommandTest, EmptyModelKeepsTheStoredHeight) {
    CAppSettings::bWalkAutomaticHeight = true;
    CAppSettings::WalkAvatarHeight = 321;
    auto walk = Build();
    EXPECT_EQ(CAppSettings::WalkAvatarHeight, 321);
    EXPECT_GT(walk->GetAvatarHeight(), 0.0f);
}

TEST_F(WalkCommandTest, NavigationPanelOpensThroughThePort) {
    ketra::window::RecordingPort port;
    EXPECT_TRUE(ShowWalkNavigationPanel(port));
    ASSERT_EQ(port.panels.count("navigation"), 1u);
    EXPECT_TRUE(port.panels["navigation"]);
    port.panelsExist = false;
    EXPECT_FALSE(ShowWalkNavigationPanel(port));
}
