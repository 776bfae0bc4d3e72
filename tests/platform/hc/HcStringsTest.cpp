// Names and texts of any length: the std::string forms of the text-returning calls give them
// whole, and the scene-file readers refuse a segment name over the limit, naming where it is.
#include "platform/hc/HcStrings.h"
#include "platform/hc/HcExtras.h"
#include "platform/hc/HcStream.h"
#include "platform/hc/SceneFileNames.h"
#include "platform/hc/SceneGraph.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

using ketra::hc::Graph;

class HcStringsTest : public ::testing::TestWithParam<size_t> {
protected:
    void SetUp() override { HC_Reset_System(); }
    void TearDown() override { HC_Reset_System(); }
};

} // namespace

TEST_P(HcStringsTest, LongNamesAndTextsComeBackWhole) {
    const std::string name(GetParam(), 'n');
    const std::string text(GetParam(), 't');
    HC_Open_Segment("/a");
    const HC_KEY segment = HC_Open_Segment(name.c_str());
    HC_Set_User_Options(("note = " + text).c_str());
    const HC_KEY item = HC_Insert_Text(0, 0, 0, text.c_str());
    HC_Close_Segment();
    HC_Close_Segment();

    EXPECT_EQ(HC_Show_Segment(segment), "/a/" + name);
    EXPECT_EQ(HC_Show_Segment_Name(segment), name);
    std::string owner;
    EXPECT_EQ(HC_Show_Owner_By_Key(item, owner), segment);
    EXPECT_EQ(owner, "/a/" + name);
    // Two outputs of one call, and one call inside a search, each land in their own string.
    std::string type, shown;
    HC_Begin_Contents_Search(("/a/" + name).c_str(), "text");
    HC_KEY found = -1;
    ASSERT_TRUE(HC_Find_Contents(type, &found));
    HC_Show_Text(found, nullptr, nullptr, nullptr, shown);
    HC_End_Contents_Search();
    EXPECT_EQ(type, "text");
    EXPECT_EQ(shown, text);
    HC_Open_Segment_By_Key(segment);
    EXPECT_EQ(HC_Show_One_User_Option("note"), text);
    HC_Close_Segment();
    EXPECT_EQ(HC_Show_Segment(-12345), ""); // an error gives an empty string
}

TEST_P(HcStringsTest, ReadersRefuseANameOverTheLimitWithItsPlace) {
    const std::string name(GetParam(), 'n');
    HC_Open_Segment("/src");
    HC_Insert_Marker(0, 0, 0);
    HC_Open_Segment(name.c_str());
    HC_Insert_Marker(1, 1, 1);
    HC_Close_Segment();
    HC_Close_Segment();
    const ketra::hc::Segment& src = *Graph::Instance().Resolve("/src", false);
    const std::string expected =
        "a segment name of " + std::to_string(GetParam()) + " bytes (the limit is 1024)";
    std::string error;
    const std::string hmf = ketra::hc::MetafileText(src);
    const auto line = 1 + std::count(hmf.begin(), hmf.begin() + hmf.find("segment \"n"), '\n');
    EXPECT_FALSE(ketra::hc::ReadMetafileText(hmf, "long.hmf", "/hmf", error));
    EXPECT_EQ(error, "long.hmf:" + std::to_string(line) + ": " + expected);
    EXPECT_FALSE(
        ketra::hc::ReadStreamBytes(ketra::hc::StreamBytes(src), "long.hsf", "/hsf", error));
    EXPECT_EQ(error.rfind("long.hsf: byte ", 0), 0u) << error.substr(0, 200);
    EXPECT_NE(error.find(expected), std::string::npos) << error.substr(0, 200);
    // A path of an outside reference counts name by name.
    const std::string ref = "KETRA-HMF 1\ninclude \"/lib/" + name + "\"\nend-of-file\n";
    EXPECT_FALSE(ketra::hc::ReadMetafileText(ref, "ref.hmf", "/ref", error));
    EXPECT_EQ(error, "ref.hmf:2: " + expected);
    EXPECT_EQ(Graph::Instance().Resolve("/hmf", false), nullptr);
    EXPECT_EQ(Graph::Instance().Resolve("/hsf", false), nullptr);
    EXPECT_EQ(Graph::Instance().Resolve("/lib", false), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Lengths, HcStringsTest, ::testing::Values(6000, 100000));

TEST(HcStringsLimit, ANameAtTheLimitReads) {
    HC_Reset_System();
    const std::string name(ketra::hc::hmf::kMaxSegmentName, 'n');
    HC_Open_Segment(("/src/" + name).c_str());
    HC_Insert_Marker(0, 0, 0);
    HC_Close_Segment();
    const ketra::hc::Segment& src = *Graph::Instance().Resolve("/src", false);
    std::string error;
    EXPECT_TRUE(ketra::hc::ReadMetafileText(ketra::hc::MetafileText(src), "a.hmf", "/hmf", error))
        << error;
    EXPECT_TRUE(ketra::hc::ReadStreamBytes(ketra::hc::StreamBytes(src), "a.hsf", "/hsf", error))
        << error;
    EXPECT_NE(Graph::Instance().Resolve("/hsf/" + name, false), nullptr);
    HC_Reset_System();
}
