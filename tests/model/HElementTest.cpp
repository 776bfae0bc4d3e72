#include "model/HElement.h"

#include <gtest/gtest.h>

#include <string>

TEST(HElementTest, DefaultAndConstructedRecordsCarryTheirFields) {
    const HElement none;
    EXPECT_EQ(none.GetFrom(), 0);
    EXPECT_EQ(none.GetTo(), 0);
    EXPECT_EQ(none.GetKey(), -1);
    EXPECT_EQ(none.GetType(), HElement::Pipe);
    EXPECT_EQ(none.GetElemKey(), 0);

    const HElement hanger(10, 20, -4711, HElement::Hanger);
    EXPECT_EQ(hanger.GetFrom(), 10);
    EXPECT_EQ(hanger.GetTo(), 20);
    EXPECT_EQ(hanger.GetKey(), -4711);
    EXPECT_EQ(hanger.GetType(), HElement::Hanger);
    EXPECT_EQ(hanger.GetElemKey(), 10 | (20 << 16));
    EXPECT_EQ(hanger.GetLocation(0), HPoint(0, 0, 0));
    EXPECT_EQ(hanger.GetLocation(1), HPoint(0, 0, 0));
}

TEST(HElementTest, PackedKeyKeepsSixteenBitsOfEachNode) {
    // "to" fills the high half, including its sign bit.
    EXPECT_EQ(HElement::PackNodes(0xFFFF, 0x7FFF), static_cast<int>(0x7FFFFFFFu));
    EXPECT_EQ(HElement::PackNodes(1, 0x8000), static_cast<int>(0x80000001u));
    // Node numbers above 65535 wrap, so different pairs share a packed key.
    EXPECT_EQ(HElement::PackNodes(65537, 2), HElement::PackNodes(1, 2));
    EXPECT_EQ(HElement::PackNodes(1, 65538), HElement::PackNodes(1, 2));
    // Negative node numbers pack their low bits instead of overflowing.
    EXPECT_EQ(HElement::PackNodes(-1, 0), 0xFFFF);
}

TEST(HElementTest, LocationsAcceptOnlyTheTwoEnds) {
    HElement e(1, 2, -7, HElement::Pipe);
    e.SetLocation(0, 1.0f, 2.0f, 3.0f);
    e.SetLocation(1, 4.0f, 5.0f, 6.0f);
    e.SetLocation(2, 9.0f, 9.0f, 9.0f);
    e.SetLocation(-1, 9.0f, 9.0f, 9.0f);
    EXPECT_EQ(e.GetLocation(0), HPoint(1, 2, 3));
    EXPECT_EQ(e.GetLocation(1), HPoint(4, 5, 6));

    // Copies carry every field, locations included, and stay independent.
    HElement copy(e);
    HElement assigned;
    assigned = e;
    e.SetLocation(1, 0.0f, 0.0f, 0.0f);
    for (const HElement* c : {&copy, &assigned}) {
        EXPECT_EQ(c->GetFrom(), 1);
        EXPECT_EQ(c->GetTo(), 2);
        EXPECT_EQ(c->GetKey(), -7);
        EXPECT_EQ(c->GetElemKey(), 1 | (2 << 16));
        EXPECT_EQ(c->GetLocation(1), HPoint(4, 5, 6));
    }
}

TEST(HElementTest, EqualityComparesSceneKeysAndOrderingComparesNodesThenType) {
    const HElement a(10, 20, -5, HElement::Pipe);
    const HElement sameKey(30, 40, -5, HElement::Text);
    const HElement otherKey(10, 20, -6, HElement::Pipe);
    EXPECT_TRUE(a == &sameKey);
    EXPECT_FALSE(a == &otherKey);
    EXPECT_FALSE(a == static_cast<const HElement*>(nullptr));

    const HElement restraint(10, 20, -1, HElement::Restraint);
    const HElement later(11, 20, -1, HElement::Pipe);
    EXPECT_TRUE(a < restraint);
    EXPECT_FALSE(restraint < a);
    EXPECT_TRUE(restraint < later); // 11 in the low bits outranks the type
    EXPECT_FALSE(a < otherKey);
    EXPECT_FALSE(otherKey < a);
}

TEST(HElementTest, DumpNamesFollowTheTypeTable) {
    EXPECT_STREQ(HElement::DumpName(HElement::Pipe), "pipe");
    EXPECT_STREQ(HElement::DumpName(HElement::Bend), "bend");
    EXPECT_STREQ(HElement::DumpName(HElement::Anchor), "anchor");
    EXPECT_STREQ(HElement::DumpName(HElement::Restraint), "restraint");
    EXPECT_STREQ(HElement::DumpName(HElement::Rigid), "rigid");
    EXPECT_STREQ(HElement::DumpName(HElement::Hanger), "hanger");
    EXPECT_STREQ(HElement::DumpName(HElement::Text), "text");
    EXPECT_STREQ(HElement::DumpName(HElement::Tees), "don't know");
    EXPECT_STREQ(HElement::DumpName(42), "don't know");
    EXPECT_STREQ(HElement::DumpName(-1), "don't know");
}
