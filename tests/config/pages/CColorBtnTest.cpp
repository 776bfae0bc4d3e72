// The colour buttons' shared palette and its last-used order, and their round trip through
// the settings store.
#include "PagesFixture.h"

#include "config/pages/CColorBtn.h"

#include <algorithm>

using namespace pagestest;

namespace {
class CColorBtnTest : public PagesTest {
protected:
    void SetUp() override {
        PagesTest::SetUp();
        CColorBtn::Reset();
    }
    void TearDown() override {
        CColorBtn::Reset();
        PagesTest::TearDown();
    }
};
} // namespace

TEST_F(CColorBtnTest, ResetGivesTheFixedPaletteAndOrder) {
    EXPECT_EQ(CColorBtn::Colors()[0], 0x000000u);
    EXPECT_EQ(CColorBtn::Colors()[9], 0xF0CAA6u);
    EXPECT_EQ(CColorBtn::Colors()[19], 0xFFFFFFu);
    const std::array<std::uint8_t, 20> order = {1,  3,  5,  7,  9,  11, 13, 15, 17, 19,
                                                20, 18, 16, 14, 12, 10, 8,  6,  4,  2};
    EXPECT_EQ(CColorBtn::Order(), order);
    const auto byUse = CColorBtn::IndexesByUse();
    EXPECT_EQ(byUse[0], 0);
    EXPECT_EQ(byUse[1], 19);
    EXPECT_EQ(byUse[19], 10);
}

TEST_F(CColorBtnTest, UseOrderIsSharedByEveryButton) {
    CColorBtn first, second;
    first.ChoosePalette(13);
    EXPECT_EQ(first.GetColor(), 0x0000FFu);
    EXPECT_EQ(CColorBtn::IndexesByUse()[0], 13);
    second.ChoosePalette(4);
    const auto byUse = CColorBtn::IndexesByUse();
    EXPECT_EQ(byUse[0], 4);
    EXPECT_EQ(byUse[1], 13);
    EXPECT_EQ(byUse[2], 0);
    // Still a permutation of the ranks.
    auto ranks = CColorBtn::Order();
    std::sort(ranks.begin(), ranks.end());
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(ranks[static_cast<size_t>(i)], i + 1);
    second.ChoosePalette(20);
    EXPECT_EQ(second.GetColor(), 0x800000u);
}

TEST_F(CColorBtnTest, OtherColourReplacesTheLeastRecentlyUsed) {
    CColorBtn button;
    button.ChooseOther(0x123456);
    EXPECT_EQ(button.GetColor(), 0x123456u);
    EXPECT_EQ(CColorBtn::Colors()[10], 0x123456u); // entry 10 had rank 20
    EXPECT_EQ(CColorBtn::IndexesByUse()[0], 10);
    button.ChooseOther(0x00FF00); // already in the palette: no entry replaced
    EXPECT_EQ(CColorBtn::IndexesByUse()[0], 14);
    EXPECT_EQ(std::count(CColorBtn::Colors().begin(), CColorBtn::Colors().end(), 0x00FF00u), 1);

    port.colorAnswer = 0x654321;
    EXPECT_TRUE(button.ChooseWithPort(port));
    EXPECT_EQ(button.GetColor(), 0x654321u);
    port.colorOk = false;
    EXPECT_FALSE(button.ChooseWithPort(port));
    EXPECT_EQ(button.GetColor(), 0x654321u);
}

TEST_F(CColorBtnTest, StoreAndLoadRoundTripThroughTheSettingsStore) {
    EXPECT_EQ(CColorBtn::Load(), 0) << "nothing stored yet";
    CColorBtn button;
    button.ChooseOther(0xABCDEF);
    const auto colors = CColorBtn::Colors();
    const auto order = CColorBtn::Order();
    ASSERT_TRUE(CColorBtn::Store());
    CColorBtn::Reset();
    EXPECT_EQ(CColorBtn::Load(), 1);
    EXPECT_EQ(CColorBtn::Colors(), colors);
    EXPECT_EQ(CColorBtn::Order(), order);

    // A damaged order is not trusted.
    const std::uint32_t table[20] = {};
    const std::uint8_t bad[20] = {1, 1, 1};
    ASSERT_TRUE(CAppSettings::StoreColorData(table, bad));
    EXPECT_EQ(CColorBtn::Load(), 1);
    EXPECT_EQ(CColorBtn::Colors()[5], 0u);
    EXPECT_EQ(CColorBtn::Order()[0], 1);
    EXPECT_EQ(CColorBtn::Order()[1], 3);
}
