#include "model/HElementCollection.h"

#include "platform/hc/hc.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

using testing::ElementsAre;
using testing::IsEmpty;

namespace {

int g_errors = 0;
void CountErrors(int, int, int, const char*, const char*) {
    ++g_errors;
}

const float kTriangle[] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
const int kTriangleFaces[] = {3, 0, 1, 2};

class HElementCollectionTest : public testing::Test {
protected:
    void SetUp() override {
        HC_Reset_System();
        g_errors = 0;
        HC_Define_Error_Handler(CountErrors);
    }
    void TearDown() override { HC_Reset_System(); }

    // Draws an element the way a host does: its own segment, tagged with the node numbers,
    // holding one shell. Returns the segment key; the shell key goes to *shell when given.
    static long DrawElement(const std::string& path, const std::string& options,
                            long* shell = nullptr) {
        const long segment = HC_Open_Segment(path.c_str());
        if (!options.empty()) {
            HC_Set_User_Options(options.c_str());
        }
        const long geometry = HC_Insert_Shell(3, kTriangle, 4, kTriangleFaces);
        HC_Close_Segment();
        if (shell != nullptr) {
            *shell = geometry;
        }
        return segment;
    }
};

} // namespace

TEST_F(HElementCollectionTest, SegmentRegistrationReadsNodesAndClassifiesThePath) {
    HElementCollection registry;
    const long pipe = DrawElement("/include library/halden/cylinder/p1", "from=10,to=20");
    const long bend = DrawElement("/include library/halden/bend/b1", "from = 20, to = 30");
    const long hanger = DrawElement("/include library/halden/restraint/hanger/h1",
                                    "from=30,to=40");
    const long both = DrawElement("/model/bend/cylinder", "from=40,to=50");
    const long steel = DrawElement("/model/steel/s1", "from=50,to=60");

    EXPECT_EQ(registry.Add(pipe, HElementCollection::SegmentKey), pipe);
    EXPECT_EQ(registry.Add(bend, HElementCollection::SegmentKey), bend);
    EXPECT_EQ(registry.Add(hanger, HElementCollection::SegmentKey), hanger);
    EXPECT_EQ(registry.Add(both, HElementCollection::SegmentKey), both);
    EXPECT_EQ(registry.Add(steel, HElementCollection::SegmentKey), steel);
    ASSERT_EQ(registry.GetSize(), 5);

    const auto elements = registry.GetElements();
    EXPECT_EQ(elements.at(pipe).GetType(), HElement::Pipe);
    EXPECT_EQ(elements.at(bend).GetType(), HElement::Bend);
    EXPECT_EQ(elements.at(hanger).GetType(), HElement::Hanger);
    EXPECT_EQ(elements.at(both).GetType(), HElement::Pipe);
    EXPECT_EQ(elements.at(steel).GetType(), HElement::Pipe);
    EXPECT_EQ(elements.at(pipe).GetLocation(0), HPoint(0, 0, 0));

    EXPECT_EQ(registry.Find(pipe), (std::pair<int, int>{10, 20}));
    EXPECT_EQ(registry.Find(bend), (std::pair<int, int>{20, 30}));
    EXPECT_EQ(registry.Find(10, 20), pipe);
    EXPECT_EQ(registry.Find(20, 30), bend);
    EXPECT_EQ(registry.Find(30, 40), -1); // a hanger is not the element between the nodes
    EXPECT_EQ(registry.Find(0, 30), bend);
    EXPECT_EQ(g_errors, 0);
}

TEST_F(HElementCollectionTest, GeometryKeyRegistersTheOwningSegmentsNodes) {
    HElementCollection registry;
    long shell = -1;
    const long segment = DrawElement("/include library/halden/rigid/r1", "from=15,to=25", &shell);
    ASSERT_EQ(HC_Renumber_Key(shell, 777, "global"), 777);

    // The record keeps the key it was given; the map files it under the original key.
    EXPECT_EQ(registry.Add(777, HElementCollection::GeometryKey), shell);
    const auto elements = registry.GetElements();
    ASSERT_EQ(elements.count(shell), 1u);
    EXPECT_EQ(elements.at(shell).GetKey(), 777);
    EXPECT_EQ(elements.at(shell).GetType(), HElement::Rigid);
    EXPECT_EQ(registry.Find(777), (std::pair<int, int>{15, 25}));
    EXPECT_EQ(registry.Find(shell), (std::pair<int, int>{15, 25}));
    EXPECT_EQ(registry.Find(segment), (std::pair<int, int>{0, 0}));
    EXPECT_EQ(registry.Find(15, 25), shell);

    // Delete takes the key as stored in the map, without translation.
    registry.Delete(777L);
    EXPECT_EQ(registry.GetSize(), 1);
    registry.Delete(shell);
    EXPECT_EQ(registry.GetSize(), 0);
    EXPECT_EQ(g_errors, 0);
}

TEST_F(HElementCollectionTest, SegmentsWithoutUsableNodeNumbersRegisterNothing) {
    HElementCollection registry;
    const std::vector<std::string> options = {"",          "from=10",        "to=20",
                                              "from=0,to=20", "from=10,to=-5", "from=a,to=b",
                                              "name=pipe"};
    for (std::size_t i = 0; i < options.size(); ++i) {
        const long key = DrawElement("/model/cylinder/e" + std::to_string(i), options[i]);
        EXPECT_EQ(registry.Add(key, HElementCollection::SegmentKey), key) << options[i];
    }
    // Only the segment's own options count: nodes set on the segment above are not its own.
    HC_Open_Segment("/model/inherited");
    HC_Set_User_Options("from=1,to=2");
    HC_Close_Segment();
    const long below = DrawElement("/model/inherited/cylinder", "");
    EXPECT_EQ(registry.Add(below, HElementCollection::SegmentKey), below);
    EXPECT_EQ(registry.GetSize(), 0);
    // Node numbers are read as atoi reads them: "12abc" is 12; option names in any case.
    const long loose = DrawElement("/model/cylinder/loose", "FROM=12abc,To= 34");
    registry.Add(loose, HElementCollection::SegmentKey);
    EXPECT_EQ(registry.GetSize(), 1);
    EXPECT_EQ(registry.Find(loose), (std::pair<int, int>{12, 34}));
    EXPECT_EQ(g_errors, 0);
}

TEST_F(HElementCollectionTest, BadKeysRegisterNothingAndLeaveTheOpenSegmentOpen) {
    HElementCollection registry;
    long shell = -1;
    const long segment = DrawElement("/model/cylinder/gone", "from=10,to=20", &shell);
    const long stale = DrawElement("/model/cylinder/stale", "from=30,to=40");
    HC_Delete_By_Key(stale);

    const long hostSegment = HC_Open_Segment("/host/open");
    EXPECT_EQ(registry.Add(stale, HElementCollection::SegmentKey), stale);
    EXPECT_EQ(registry.Add(stale, HElementCollection::GeometryKey), stale);
    EXPECT_EQ(registry.Add(123456, HElementCollection::SegmentKey), 123456);
    // A geometry key passed as a segment key names no segment to read.
    EXPECT_EQ(registry.Add(shell, HElementCollection::SegmentKey), shell);
    EXPECT_EQ(HC_KShow_Open_Segment(), hostSegment);
    HC_Close_Segment();

    EXPECT_EQ(registry.GetSize(), 0);
    EXPECT_EQ(registry.Find(stale), (std::pair<int, int>{0, 0}));
    EXPECT_EQ(registry.Find(123456), (std::pair<int, int>{0, 0}));
    EXPECT_EQ(g_errors, 0);
    (void)segment;
}

TEST_F(HElementCollectionTest, RegisteringTwiceKeepsTheRecordAndIndexesTwice) {
    HElementCollection registry;
    const long key = DrawElement("/model/cylinder/p", "from=10,to=20");
    registry.Add(key, HElementCollection::SegmentKey);
    HC_Open_Segment_By_Key(key);
    HC_Set_User_Options("from=10,to=20");
    HC_Close_Segment();
    registry.Add(key, HElementCollection::SegmentKey);
    EXPECT_EQ(registry.GetSize(), 1);
    EXPECT_THAT(registry.FindAll(10, 20), ElementsAre(key, key));

    // Deleting by pair removes the record and both entries; the host can redraw.
    registry.Delete(10, 20);
    EXPECT_EQ(registry.GetSize(), 0);
    EXPECT_THAT(registry.FindAll(10, 20), IsEmpty());
}

TEST_F(HElementCollectionTest, NodeNumbersAboveSixteenBitsFindTheirOwnSegments) {
    HElementCollection registry;
    const long low = DrawElement("/model/cylinder/low", "from=1,to=2");
    const long high = DrawElement("/model/cylinder/high", "from=65537,to=2");
    const long higher = DrawElement("/model/cylinder/higher", "from=100000,to=200000");
    registry.Add(low, HElementCollection::SegmentKey);
    registry.Add(high, HElementCollection::SegmentKey);
    registry.Add(higher, HElementCollection::SegmentKey);
    EXPECT_EQ(registry.Find(1, 2), low);
    EXPECT_EQ(registry.Find(65537, 2), high);
    EXPECT_EQ(registry.Find(100000, 200000), higher);
    EXPECT_EQ(registry.Find(high), (std::pair<int, int>{65537, 2}));

    registry.Delete(high);
    EXPECT_EQ(registry.Find(1, 2), low);
    EXPECT_EQ(registry.Find(65537, 2), -1);
}

TEST_F(HElementCollectionTest, ReadyRecordsAreFiledUnderOriginalKeys) {
    HElementCollection registry;
    long shell = -1;
    DrawElement("/model/anchor/a", "", &shell);
    HC_Renumber_Key(shell, 42, "global");

    HElement anchor(5, 6, 42, HElement::Anchor);
    anchor.SetLocation(1, 1.0f, 2.0f, 3.0f);
    registry.Add(anchor);
    HElement hostNumbered(7, 8, 9000, HElement::Pipe); // not a scene key: filed as is
    registry.Add(hostNumbered);
    HElement unindexed(0, 8, 9001, HElement::Text);
    registry.Add(unindexed);

    EXPECT_EQ(registry.GetSize(), 3);
    EXPECT_EQ(registry.GetElements().at(shell).GetLocation(1), HPoint(1, 2, 3));
    EXPECT_EQ(registry.Find(42), (std::pair<int, int>{5, 6}));
    EXPECT_EQ(registry.Find(9000), (std::pair<int, int>{7, 8}));
    EXPECT_EQ(registry.Find(7, 8), 9000);
    EXPECT_EQ(registry.Find(9001), (std::pair<int, int>{0, 8}));
    EXPECT_THAT(registry.FindAll(0, 8), IsEmpty());
    EXPECT_EQ(g_errors, 0);
}

TEST_F(HElementCollectionTest, CopiesSubscriptAndDump) {
    HElementCollection registry;
    const long pipe = DrawElement("/model/cylinder/p", "from=10,to=20");
    const long tee = DrawElement("/model/tees/t", "from=20,to=30");
    registry.Add(pipe, HElementCollection::SegmentKey);
    registry.Add(tee, HElementCollection::SegmentKey);

    HElementCollection copy(registry);
    HElementCollection assigned;
    assigned = registry;
    registry.Clear();
    EXPECT_EQ(copy.Find(10, 20), pipe);
    EXPECT_EQ(assigned.Find(pipe), (std::pair<int, int>{10, 20}));

    EXPECT_EQ(copy[2], nullptr);
    EXPECT_EQ(registry[0], nullptr);

    // One line per record in key order, with the key as stored.
    const std::string pipeLine = "From = 10\tTo=20\tKey=" + std::to_string(pipe) + "\tType = pipe\n";
    const std::string teeLine =
        "From = 20\tTo=30\tKey=" + std::to_string(tee) + "\tType = don't know\n";
    std::ostringstream expected;
    expected << (pipe < tee ? pipeLine + teeLine : teeLine + pipeLine);
    std::ostringstream out;
    copy.Dump(out);
    EXPECT_EQ(out.str(), expected.str());

    testing::internal::CaptureStderr();
    copy.Dump();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), expected.str());

    copy.Sort();
    copy.DeleteSegment("/model/cylinder/p");
    EXPECT_EQ(copy.GetSize(), 2);
}
