#include "model/ElementIndex.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <sstream>

using ketra::model::ClassifyElementPath;
using ketra::model::ElementIndex;
using ketra::model::ParseNodeNumber;
using testing::ElementsAre;
using testing::IsEmpty;

namespace {

// Registers an element the way HElementCollection does: under its own key.
void Put(ElementIndex& index, int from, int to, long key, HElement::TYPES type) {
    index.Insert(key, HElement(from, to, key, type));
}

} // namespace

TEST(ElementPathTest, FirstKeywordInTestOrderDecides) {
    EXPECT_EQ(ClassifyElementPath("/include library/halden/cylinder/10-20"), HElement::Pipe);
    EXPECT_EQ(ClassifyElementPath("/include library/halden/bend/20-30"), HElement::Bend);
    EXPECT_EQ(ClassifyElementPath("/model/anchor 10"), HElement::Anchor);
    EXPECT_EQ(ClassifyElementPath("/model/restraint 10"), HElement::Restraint);
    EXPECT_EQ(ClassifyElementPath("/model/rigid 10"), HElement::Rigid);
    EXPECT_EQ(ClassifyElementPath("/model/hanger 10"), HElement::Hanger);
    EXPECT_EQ(ClassifyElementPath("/model/text/10"), HElement::Text);
    EXPECT_EQ(ClassifyElementPath("/model/tees/10"), HElement::Tees);
    EXPECT_EQ(ClassifyElementPath("/model/steel/w8x31"), HElement::Pipe);
    EXPECT_EQ(ClassifyElementPath(""), HElement::Pipe);

    // "cylinder" is tested before "bend", "hanger" before "restraint", "rigid" before "text".
    EXPECT_EQ(ClassifyElementPath("/bend/cylinder"), HElement::Pipe);
    EXPECT_EQ(ClassifyElementPath("/restraint/hanger"), HElement::Hanger);
    EXPECT_EQ(ClassifyElementPath("/text/rigid"), HElement::Rigid);
    EXPECT_EQ(ClassifyElementPath("/tees/text"), HElement::Text);
    // Keywords are found inside longer names, and case does not matter (names are
    // case-insensitive in the scene graph).
    EXPECT_EQ(ClassifyElementPath("/model/Bends/20"), HElement::Bend);
    EXPECT_EQ(ClassifyElementPath("/MODEL/HANGERS"), HElement::Hanger);
}

TEST(ElementPathTest, NodeNumbersParseLikeAtoiWithoutOverflow) {
    EXPECT_EQ(ParseNodeNumber("10"), 10);
    EXPECT_EQ(ParseNodeNumber("  20abc"), 20);
    EXPECT_EQ(ParseNodeNumber("+7"), 7);
    EXPECT_EQ(ParseNodeNumber("-5"), -5);
    EXPECT_EQ(ParseNodeNumber(""), 0);
    EXPECT_EQ(ParseNodeNumber("abc"), 0);
    EXPECT_EQ(ParseNodeNumber("- 5"), 0);
    EXPECT_EQ(ParseNodeNumber("100000"), 100000);
    EXPECT_EQ(ParseNodeNumber("2147483647"), INT_MAX);
    EXPECT_EQ(ParseNodeNumber("99999999999999999999999"), INT_MAX);
    EXPECT_EQ(ParseNodeNumber("-2147483648"), INT_MIN);
    EXPECT_EQ(ParseNodeNumber("-99999999999999999999999"), INT_MIN);
}

TEST(ElementIndexTest, RegistrationKeepsFirstRecordAndIndexesEveryPair) {
    ElementIndex index;
    Put(index, 10, 20, -100, HElement::Pipe);
    index.Insert(-100, HElement(10, 20, -999, HElement::Restraint)); // same map key again
    EXPECT_EQ(index.GetSize(), 1);
    EXPECT_EQ(index.Elements().at(-100).GetKey(), -100);
    EXPECT_EQ(index.Elements().at(-100).GetType(), HElement::Pipe);
    EXPECT_THAT(index.FindAll(10, 20), ElementsAre(-100, -100));

    // A zero node number registers the element but gives it no index entry.
    index.Insert(-200, HElement(0, 30, -200, HElement::Text));
    EXPECT_EQ(index.GetSize(), 2);
    EXPECT_EQ(index.IndexSize(), 2u);
    EXPECT_EQ(index.NodesOf(-200), (ElementIndex::NodePair{0, 30}));
    EXPECT_EQ(index.NodesOf(-12345), (ElementIndex::NodePair{0, 0}));
}

TEST(ElementIndexTest, FindAllListsEveryEntryOfExactlyThePair) {
    ElementIndex index;
    Put(index, 10, 20, -103, HElement::Restraint);
    Put(index, 10, 20, -101, HElement::Pipe);
    Put(index, 10, 21, -102, HElement::Pipe);
    Put(index, 20, 10, -104, HElement::Pipe);
    EXPECT_THAT(index.FindAll(10, 20), ElementsAre(-103, -101)); // insertion order, any type
    EXPECT_THAT(index.FindAll(20, 10), ElementsAre(-104));
    EXPECT_THAT(index.FindAll(0, 20), IsEmpty());
    EXPECT_THAT(index.FindAll(10, -1), IsEmpty());
    EXPECT_THAT(index.FindAll(30, 40), IsEmpty());
    // FindAll does not consult the map: an entry left by a key registered again under
    // another pair outlives the record, and Find skips it.
    index.Insert(-101, HElement(30, 40, -101, HElement::Pipe));
    index.Delete(10, 20);
    EXPECT_THAT(index.FindAll(30, 40), ElementsAre(-101));
    EXPECT_EQ(index.Find(30, 40), -1);
}

TEST(ElementIndexTest, FindByPairReturnsOnlyPipeLikeElements) {
    ElementIndex index;
    EXPECT_EQ(index.Find(10, 20), -1); // empty index

    Put(index, 10, 20, -101, HElement::Restraint);
    EXPECT_EQ(index.Find(10, 20), -1); // a restraint alone is not the element between nodes
    Put(index, 10, 20, -102, HElement::Hanger);
    Put(index, 10, 20, -103, HElement::Text);
    Put(index, 10, 20, -104, HElement::Bend);
    Put(index, 10, 20, -105, HElement::Pipe);
    EXPECT_EQ(index.Find(10, 20), -104); // first pipe-like entry in insertion order

    Put(index, 30, 40, -106, HElement::Rigid);
    EXPECT_EQ(index.Find(30, 40), -106);
    Put(index, 40, 50, -107, HElement::Anchor);
    Put(index, 40, 50, -108, HElement::Tees);
    EXPECT_EQ(index.Find(40, 50), -1);
    EXPECT_EQ(index.Find(50, 40), -1); // direction matters

    EXPECT_EQ(index.Find(-1, -1), -1);
    EXPECT_EQ(index.Find(0, 0), -1);
}

TEST(ElementIndexTest, FindWithOneNodeMissingTakesTheFirstPairTouchingTheNode) {
    ElementIndex index;
    Put(index, 20, 30, -101, HElement::Pipe);
    Put(index, 40, 20, -102, HElement::Pipe);
    Put(index, 5, 7, -103, HElement::Pipe);
    // Index order is (5,7), (20,30), (40,20): (20,30) is the first pair with node 20.
    EXPECT_EQ(index.Find(0, 20), -101);
    EXPECT_EQ(index.Find(20, 0), -101);
    EXPECT_EQ(index.Find(-1, 20), -101);
    EXPECT_EQ(index.Find(0, 7), -103);
    EXPECT_EQ(index.Find(5, 0), -103);
    EXPECT_EQ(index.Find(0, 99), -1); // no pair touches node 99

    // The chosen pair is searched with the type filter; other pairs are not tried.
    ElementIndex restraintFirst;
    Put(restraintFirst, 10, 20, -110, HElement::Restraint);
    Put(restraintFirst, 20, 30, -111, HElement::Pipe);
    EXPECT_EQ(restraintFirst.Find(0, 20), -1);
    EXPECT_EQ(restraintFirst.Find(0, 30), -111);
}

TEST(ElementIndexTest, NodeNumbersAboveSixteenBitsAreNeverConfused) {
    ElementIndex index;
    Put(index, 1, 2, -101, HElement::Pipe);
    Put(index, 65537, 2, -102, HElement::Pipe); // same packed key as (1, 2)
    Put(index, 1, 65538, -103, HElement::Bend); // same packed key as (1, 2)
    EXPECT_EQ(index.Elements().at(-101).GetElemKey(), index.Elements().at(-102).GetElemKey());
    EXPECT_EQ(index.Find(1, 2), -101);
    EXPECT_EQ(index.Find(65537, 2), -102);
    EXPECT_EQ(index.Find(1, 65538), -103);
    EXPECT_EQ(index.Find(65537, 65538), -1);

    // A key registered again under a colliding pair keeps its first record; the second
    // index entry must not make it the element between the new nodes.
    ElementIndex again;
    Put(again, 1, 2, -105, HElement::Pipe);
    again.Insert(-105, HElement(65537, 2, -105, HElement::Pipe));
    EXPECT_THAT(again.FindAll(65537, 2), ElementsAre(-105));
    EXPECT_EQ(again.Find(65537, 2), -1);
    EXPECT_EQ(again.Find(1, 2), -105);

    index.Delete(65537, 2);
    EXPECT_EQ(index.Find(1, 2), -101);
    EXPECT_EQ(index.Find(65537, 2), -1);
    EXPECT_EQ(index.GetSize(), 2);
}

TEST(ElementIndexTest, DeleteByPairRemovesEveryTypeBetweenTheNodes) {
    ElementIndex index;
    Put(index, 10, 20, -101, HElement::Text);
    Put(index, 10, 20, -102, HElement::Pipe);
    Put(index, 10, 20, -103, HElement::Restraint);
    Put(index, 20, 30, -104, HElement::Pipe);
    Put(index, 20, 10, -105, HElement::Pipe);
    index.Delete(10, 20);
    EXPECT_EQ(index.GetSize(), 2);
    EXPECT_EQ(index.Elements().count(-104), 1u);
    EXPECT_EQ(index.Elements().count(-105), 1u);
    EXPECT_THAT(index.FindAll(10, 20), IsEmpty());
    EXPECT_EQ(index.IndexSize(), 2u);

    // Node numbers below 1 delete nothing, absent pairs are harmless.
    index.Delete(0, 30);
    index.Delete(20, -1);
    index.Delete(70, 80);
    EXPECT_EQ(index.GetSize(), 2);
    EXPECT_EQ(index.IndexSize(), 2u);
}

TEST(ElementIndexTest, DeleteByKeyRemovesEverythingBetweenItsNodes) {
    ElementIndex index;
    Put(index, 10, 20, -101, HElement::Pipe);
    Put(index, 10, 20, -102, HElement::Restraint);
    Put(index, 20, 30, -103, HElement::Pipe);
    index.Delete(-102L);
    EXPECT_EQ(index.GetSize(), 1);
    EXPECT_EQ(index.Elements().count(-103), 1u);
    EXPECT_THAT(index.FindAll(10, 20), IsEmpty());

    index.Delete(-999L); // absent: nothing happens
    EXPECT_EQ(index.GetSize(), 1);

    // A record without an index entry still goes.
    index.Insert(-107, HElement(0, 5, -107, HElement::Text));
    index.Delete(-107L);
    EXPECT_EQ(index.GetSize(), 1);
}

TEST(ElementIndexTest, DeleteByPairSparesAKeyRegisteredFirstUnderAnotherPair) {
    ElementIndex index;
    Put(index, 10, 20, -101, HElement::Pipe);
    index.Insert(-101, HElement(30, 40, -101, HElement::Pipe)); // record stays (10, 20)
    index.Delete(30, 40);
    EXPECT_EQ(index.GetSize(), 1);
    EXPECT_EQ(index.Find(10, 20), -101);
    EXPECT_THAT(index.FindAll(30, 40), IsEmpty());
}

TEST(ElementIndexTest, DeleteAllTextRemovesOnlyTextAndItsOwnEntries) {
    ElementIndex index;
    Put(index, 10, 20, -101, HElement::Pipe);
    Put(index, 10, 20, -102, HElement::Text);
    Put(index, 10, 20, -103, HElement::Text);
    Put(index, 30, 40, -104, HElement::Text);
    Put(index, 30, 40, -105, HElement::Restraint);
    index.Insert(-106, HElement(0, 50, -106, HElement::Text)); // not indexed
    index.DeleteAllText();
    EXPECT_EQ(index.GetSize(), 2);
    EXPECT_THAT(index.FindAll(10, 20), ElementsAre(-101));
    EXPECT_THAT(index.FindAll(30, 40), ElementsAre(-105));
    EXPECT_EQ(index.Find(10, 20), -101);

    index.DeleteAllText(); // nothing left to delete
    EXPECT_EQ(index.GetSize(), 2);
}

TEST(ElementIndexTest, SubscriptGivesNullPastTheSizeAndInsertsBelowIt) {
    ElementIndex index;
    EXPECT_EQ(index.At(0), nullptr);
    Put(index, 10, 20, 5, HElement::Pipe);
    Put(index, 10, 30, 9, HElement::Pipe);
    EXPECT_EQ(index.At(2), nullptr);
    EXPECT_EQ(index.At(5), nullptr); // a stored key is still refused when not below the size

    HElement* created = index.At(1);
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(created->GetKey(), -1);
    EXPECT_EQ(created->GetFrom(), 0);
    EXPECT_EQ(index.GetSize(), 3);
    EXPECT_EQ(index.IndexSize(), 2u); // the default element has no node pair
    EXPECT_EQ(index.At(1), created);
    ASSERT_NE(index.At(-104), nullptr);
    EXPECT_EQ(index.GetSize(), 4);
}

TEST(ElementIndexTest, DumpWritesOneLinePerElementInKeyOrder) {
    ElementIndex index;
    Put(index, 30, 40, -102, HElement::Tees);
    index.Insert(-109, HElement(10, 20, -177, HElement::Hanger));
    Put(index, 50, 60, -101, HElement::Pipe);
    std::ostringstream out;
    index.Dump(out);
    EXPECT_EQ(out.str(), "From = 10\tTo=20\tKey=-177\tType = hanger\n"
                         "From = 30\tTo=40\tKey=-102\tType = don't know\n"
                         "From = 50\tTo=60\tKey=-101\tType = pipe\n");

    std::ostringstream empty;
    ElementIndex().Dump(empty);
    EXPECT_EQ(empty.str(), "");
}

TEST(ElementIndexTest, CopiesAreDeepAndClearEmptiesBoth) {
    ElementIndex index;
    Put(index, 10, 20, -101, HElement::Pipe);
    ElementIndex copy(index);
    index.Delete(10, 20);
    EXPECT_EQ(copy.Find(10, 20), -101);
    EXPECT_EQ(copy.GetSize(), 1);
    EXPECT_EQ(index.GetSize(), 0);

    copy.Clear();
    EXPECT_EQ(copy.GetSize(), 0);
    EXPECT_EQ(copy.IndexSize(), 0u);
    EXPECT_EQ(copy.Find(10, 20), -1);
}
