#include "annotation/AnnotationCallbacks.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using ketra::annotation::ClipOutsideBox;
using ketra::annotation::DeviceBox;
using ketra::annotation::LeaderEnd;

namespace {
const DeviceBox kBox{100, 200, 50, 80}; // left, right, bottom, top
const HIC_DC_Point kPosition{150, 65, 0.5f};
} // namespace

TEST(LeaderEnd, EndsOnTheCornerFacingTheTargetInEachQuadrant)
{
    struct Case {
        HIC_DC_Point target;
        float x, y;
    } cases[] = {
        {{300, 200, 0}, 200, 80}, // up right: right side, top
        {{10, 200, 0}, 100, 80},  // up left
        {{10, 0, 0}, 100, 50},    // down left
        {{300, 0, 0}, 200, 50},   // down right
        {{150, 10, 0}, 200, 50},  // straight below: x at the position counts as right
    };
    for (const Case& c : cases) {
        HIC_DC_Point end{};
        EXPECT_TRUE(LeaderEnd(c.target, kPosition, kBox, end));
        EXPECT_FLOAT_EQ(end.x, c.x) << c.target.x << "," << c.target.y;
        EXPECT_FLOAT_EQ(end.y, c.y) << c.target.x << "," << c.target.y;
    }
    // A target under the note's box draws no leader.
    HIC_DC_Point end{};
    EXPECT_FALSE(LeaderEnd({120, 60, 0}, kPosition, kBox, end));
    // On the border it is drawn.
    EXPECT_TRUE(LeaderEnd({200, 60, 0}, kPosition, kBox, end));
}

TEST(ClipOutsideBox, GivesZeroOneOrTwoPieces)
{
    HIC_DC_Point pieces[2][2];
    // Wholly inside: nothing left.
    EXPECT_EQ(ClipOutsideBox({120, 60, 0}, {180, 70, 0}, kBox, pieces), 0);
    // Wholly outside: the line itself.
    EXPECT_EQ(ClipOutsideBox({0, 0, 0}, {50, 10, 0}, kBox, pieces), 1);
    EXPECT_FLOAT_EQ(pieces[0][1].x, 50);
    // Half inside: the outer half, up to the box's side.
    ASSERT_EQ(ClipOutsideBox({0, 65, 0}, {150, 65, 0}, kBox, pieces), 1);
    EXPECT_FLOAT_EQ(pieces[0][0].x, 0);
    EXPECT_FLOAT_EQ(pieces[0][1].x, 100);
    ASSERT_EQ(ClipOutsideBox({150, 65, 0}, {300, 65, 0}, kBox, pieces), 1);
    EXPECT_FLOAT_EQ(pieces[0][0].x, 200);
    EXPECT_FLOAT_EQ(pieces[0][1].x, 300);
    // Across: both outer parts.
    ASSERT_EQ(ClipOutsideBox({0, 65, 0}, {300, 65, 1}, kBox, pieces), 2);
    EXPECT_FLOAT_EQ(pieces[0][1].x, 100);
    EXPECT_FLOAT_EQ(pieces[1][0].x, 200);
    EXPECT_FLOAT_EQ(pieces[1][1].x, 300);
    EXPECT_NEAR(pieces[1][0].z, 200.0f / 300.0f, 1e-5f);
}

TEST(AnnotationCallbacks, RegistrationDefinesEachNameOnce)
{
    RegisterAnnotationCallbacks();
    RegisterAnnotationCallbacks();
    int seen = 0;
    char name[1024];
    HC_Begin_Callback_Name_Search();
    while (HC_Find_Callback_Name(name))
        for (const char* wanted : {"ketra_drawline", "ketra_drawlineclip", "ketra_drawmarker",
                                   "ketra_drawlinedummy"})
            if (std::strcmp(name, wanted) == 0)
                ++seen;
    HC_End_Callback_Name_Search();
    EXPECT_EQ(seen, 4);
}

TEST(AnnotationCallbacks, TextIsMeasuredWithTheRenderersFonts)
{
    const double shortWidth = MeasureNoteText(u"ab", "Arial", 20);
    const double longWidth = MeasureNoteText(u"abababab", "Arial", 20);
    EXPECT_GT(shortWidth, 0);
    EXPECT_NEAR(longWidth, 4 * shortWidth, 2.0);
    EXPECT_NEAR(MeasureNoteText(u"abababab", "Arial", 40), 2 * longWidth, 4.0);
}
