#include "model/HMySelectionSet.h"

#include "platform/hc/hc.h"

#include <gtest/gtest.h>

namespace {

const float kTriangle[] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
const int kTriangleFaces[] = {3, 0, 1, 2};

class HMySelectionSetTest : public testing::Test {
protected:
    void SetUp() override {
        HC_Reset_System();
        m_segment = HC_Open_Segment("/model/cylinder/p1");
        m_shell = HC_Insert_Shell(3, kTriangle, 4, kTriangleFaces);
        HC_Close_Segment();
        m_includer = HC_Open_Segment("/model/includer");
        m_include = HC_Include_Segment("/model/cylinder");
        HC_Close_Segment();
    }
    void TearDown() override { HC_Reset_System(); }

    long m_segment = -1;
    long m_shell = -1;
    long m_include = -1;
    long m_includer = -1;
};

} // namespace

TEST_F(HMySelectionSetTest, LevelOneSelectsKeysAsGiven) {
    HMySelectionSet selection(nullptr);
    EXPECT_EQ(selection.GetSelectLevel(), HMySelectionSet::KeyAsGiven);
    EXPECT_EQ(selection.EffectiveKey(m_shell), m_shell);

    selection.Select(m_shell, "/model/cylinder/p1", m_include, m_includer);
    ASSERT_EQ(selection.GetSize(), 1u);
    EXPECT_EQ(selection.GetSelectionItemAt(0), m_shell);
    // The include and includer keys are not passed on.
    EXPECT_TRUE(selection.GetIncludePath(0).empty());

    EXPECT_TRUE(selection.DeSelect(m_shell));
    EXPECT_EQ(selection.GetSize(), 0u);
    EXPECT_FALSE(selection.DeSelect(m_shell));
}

TEST_F(HMySelectionSetTest, LevelZeroPromotesGeometryAndIncludesToTheirSegment) {
    HMySelectionSet selection(nullptr);
    selection.SetSelectLevel(HMySelectionSet::PromoteToSegment);
    EXPECT_EQ(selection.EffectiveKey(m_shell), m_segment);
    EXPECT_EQ(selection.EffectiveKey(m_segment), m_segment);
    EXPECT_EQ(selection.EffectiveKey(m_include), m_includer);

    selection.Select(m_shell, nullptr, 0, 0);
    ASSERT_EQ(selection.GetSize(), 1u);
    EXPECT_EQ(selection.GetSelectionItemAt(0), m_segment);
    selection.Select(m_segment, nullptr, 0, 0); // already selected through its shell
    EXPECT_EQ(selection.GetSize(), 1u);

    // Deselecting the shell deselects the segment it was promoted to.
    EXPECT_TRUE(selection.DeSelect(m_shell));
    EXPECT_EQ(selection.GetSize(), 0u);
}

TEST_F(HMySelectionSetTest, AnyNonZeroLevelKeepsKeysAndStaleKeysAreIgnored) {
    HMySelectionSet selection(nullptr);
    selection.SetSelectLevel(static_cast<HMySelectionSet::SelectLevel>(7));
    EXPECT_EQ(selection.EffectiveKey(m_shell), m_shell);

    selection.SetSelectLevel(HMySelectionSet::PromoteToSegment);
    const long stale = HC_Open_Segment("/model/gone");
    const long staleShell = HC_Insert_Shell(3, kTriangle, 4, kTriangleFaces);
    HC_Close_Segment();
    HC_Delete_By_Key(stale);
    HC_Define_System_Options("no errors");
    EXPECT_EQ(selection.EffectiveKey(staleShell), staleShell);
    selection.Select(staleShell, nullptr, 0, 0);
    EXPECT_EQ(selection.GetSize(), 0u);
}

TEST_F(HMySelectionSetTest, CopiesKeepTheLevel) {
    HMySelectionSet selection(nullptr);
    selection.SetSelectLevel(HMySelectionSet::PromoteToSegment);
    HMySelectionSet copy(selection);
    HMySelectionSet assigned(nullptr);
    assigned = selection;
    EXPECT_EQ(copy.GetSelectLevel(), HMySelectionSet::PromoteToSegment);
    EXPECT_EQ(assigned.GetSelectLevel(), HMySelectionSet::PromoteToSegment);
    copy.Select(m_shell, nullptr, 0, 0);
    EXPECT_EQ(copy.GetSelectionItemAt(0), m_segment);
}
