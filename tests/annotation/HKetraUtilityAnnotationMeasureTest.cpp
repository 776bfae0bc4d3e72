#include "annotation/HKetraUtilityAnnotationMeasure.h"

#include "NoteFixture.h"

using namespace notetest;

namespace {

long Child(long note, const char* path)
{
    HC_Open_Segment_By_Key(note);
    long key = -1;
    if (HC_QShow_Existence(path, "self") > 0) {
        key = HC_Open_Segment(path);
        HC_Close_Segment();
    }
    HC_Close_Segment();
    return key;
}

// The lines of a segment as (from, to) pairs.
std::vector<std::pair<HPoint, HPoint>> Lines(long segment)
{
    std::vector<std::pair<HPoint, HPoint>> out;
    HC_Open_Segment_By_Key(segment);
    HC_Begin_Contents_Search(".", "lines");
    char type[64];
    long key;
    while (HC_Find_Contents(type, &key)) {
        HPoint a, b;
        HC_Show_Line(key, &a.x, &a.y, &a.z, &b.x, &b.y, &b.z);
        out.push_back({a, b});
    }
    HC_End_Contents_Search();
    HC_Close_Segment();
    return out;
}

HPoint Translation(long segment)
{
    float m[16];
    HC_Open_Segment_By_Key(segment);
    HC_Show_Modelling_Matrix(m);
    HC_Close_Segment();
    return {m[12], m[13], m[14]};
}

using MeasureTest = NoteTest;

} // namespace

TEST_F(MeasureTest, RightAfterInsertAMeasurementLooksLikeAPlainNote)
{
    HKetraUtilityAnnotationMeasure measure;
    const HPoint first(0, 0, 0), second(4, 0, 0);
    const long key = measure.Insert("4.00 in", first, second, model->GetModelKey(), view, -1, 1, true);
    ASSERT_NE(key, -1);
    EXPECT_TRUE(HKetraUtilityAnnotationMeasure::IsMeasurement(key));
    EXPECT_FALSE(HKetraUtilityAnnotation::IsNote(key));
    EXPECT_TRUE(HKetraUtilityAnnotation::IsAnnotation(key));
    EXPECT_EQ(std::string(measure.GetType()), "HKetraUtilityAnnotationMeasure");
    const auto leader = Lines(Child(key, "conditions/xarrow"));
    ASSERT_EQ(leader.size(), 1u);
    EXPECT_EQ(leader[0].first, first);
    EXPECT_EQ(leader[0].second, second);
    EXPECT_EQ(Translation(Child(key, "conditions/matrix")), second);
    char pattern[64] = "";
    HC_Open_Segment_By_Key(Child(key, "conditions/xarrow/leader lines"));
    HC_Show_Line_Pattern(pattern);
    HC_Close_Segment();
    EXPECT_STREQ(pattern, "- -");
    // A plain note is no measurement.
    HKetraUtilityAnnotation plain;
    EXPECT_FALSE(HKetraUtilityAnnotationMeasure::IsMeasurement(
        plain.Insert("p", first, second, model->GetModelKey(), view, -1, 1, true)));
}

TEST_F(MeasureTest, MovingTheTextShiftsTheDimensionLine)
{
    HKetraUtilityAnnotationMeasure measure;
    const HPoint first(0, 0, 0), second(4, 0, 0);
    const long key = measure.Insert("4", first, second, model->GetModelKey(), view, -1, 1, true);
    measure.MoveText(first, second);
    const long arrow = Child(key, "conditions/xarrow");
    const long lines = Child(key, "conditions/xarrow/leader lines");
    auto extension = Lines(lines);
    ASSERT_EQ(extension.size(), 2u);
    EXPECT_EQ(extension[0].first, extension[0].second); // zero length
    EXPECT_EQ(Translation(Child(key, "conditions/matrix")), HPoint(2, 0, 0));
    char callback[64] = "";
    HC_Open_Segment_By_Key(arrow);
    HC_Show_One_Callback("draw dc polyline", callback);
    HC_Close_Segment();
    EXPECT_STREQ(callback, "ketra_drawlineclip");
    HC_Open_Segment_By_Key(lines);
    HC_Show_One_Callback("draw dc polyline", callback);
    HC_Close_Segment();
    EXPECT_STREQ(callback, "ketra_drawlinedummy");

    measure.MoveText(HPoint(2, 0, 5));
    const auto dimension = Lines(arrow);
    ASSERT_EQ(dimension.size(), 1u);
    EXPECT_EQ(dimension[0].first, HPoint(0, 0, 5));
    EXPECT_EQ(dimension[0].second, HPoint(4, 0, 5));
    extension = Lines(lines);
    ASSERT_EQ(extension.size(), 2u);
    EXPECT_EQ(extension[0].first, first);
    EXPECT_EQ(extension[0].second, HPoint(0, 0, 5));
    EXPECT_EQ(extension[1].first, second);
    EXPECT_EQ(extension[1].second, HPoint(4, 0, 5));
    EXPECT_EQ(Translation(Child(key, "conditions/matrix")), HPoint(2, 0, 5));

    // A fresh handle reads the measured points and ends back.
    HKetraUtilityAnnotationMeasure again;
    again.SetNote(key, view);
    EXPECT_EQ(again.GetFirstPoint(), first);
    EXPECT_EQ(again.GetSecondPoint(), second);
    EXPECT_EQ(again.GetFirstEnd(), HPoint(0, 0, 5));
    EXPECT_EQ(again.GetSecondEnd(), HPoint(4, 0, 5));
}

TEST(MeasureMidPoint, IsTheMeanOfBothPoints)
{
    HPoint out;
    HKetraUtilityAnnotationMeasure::mid_point(HPoint(-2, 4, 1), HPoint(6, 0, 2), out);
    EXPECT_EQ(out, HPoint(2, 2, 1.5f));
}
