// Scene files: whole trees round-trip; truncated and malformed files are refused with their
// line number and create nothing.
#include "platform/hc/HcExtras.h"
#include "platform/hc/SceneGraph.h"
#include "platform/hc/hc.h"
#include "platform/hc/RichTree.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> g_errors;

void Capture(int, int, int, const char* function, const char* message) {
    g_errors.push_back(std::string(function) + ": " + message);
}

using ketra::hc::Graph;
using ketra::hc::MetafileText;
using ketra::hc::ReadMetafileText;

class HcMetafileTest : public ::testing::Test {
protected:
    void SetUp() override {
        HC_Reset_System();
        HC_Define_Error_Handler(Capture);
        g_errors.clear();
    }
    void TearDown() override { HC_Reset_System(); }

    static const ketra::hc::Segment& Seg(const char* path) {
        return *Graph::Instance().Resolve(path, false);
    }
    static std::string TempPath(const char* name) {
        return (std::filesystem::temp_directory_path() /
                (std::string("ketra-hmf-") + std::to_string(::getpid()) + "-" + name))
            .string();
    }

    static void BuildRichTree() { ketra::test::BuildRichTree(); }
};

} // namespace

TEST_F(HcMetafileTest, WholeTreesRoundTrip) {
    BuildRichTree();
    ASSERT_TRUE(g_errors.empty()) << g_errors.front();
    const std::string file = TempPath("rich.hmf");
    HC_Write_Metafile("/src", file.c_str(), "");
    HC_Read_Metafile(file.c_str(), "/copy", "");
    ASSERT_TRUE(g_errors.empty()) << g_errors.front();
    // Writing the copy gives the same text, number for number.
    const std::string original = MetafileText(Seg("/src"));
    const std::string copy = MetafileText(Seg("/copy"));
    EXPECT_EQ(copy, original);

    // Spot checks through the public calls.
    char value[4096];
    HC_Open_Segment("/copy/pipe 1");
    HC_Show_One_User_Option("note", value);
    EXPECT_STREQ(value, "(a, b)");
    float a[16], b[16];
    HC_Show_Modelling_Matrix(a);
    HC_Close_Segment();
    HC_Open_Segment("/src/pipe 1");
    HC_Show_Modelling_Matrix(b);
    HC_Close_Segment();
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(a[i], b[i]) << i;
    HC_Open_Segment("/copy");
    float position[3], width = 0;
    HC_Show_Camera(position, nullptr, nullptr, &width, nullptr, value);
    EXPECT_EQ(width, 3.25f);
    EXPECT_STREQ(value, "perspective");
    HC_Close_Segment();
    // The include inside the file points at the copy, not at the original.
    HC_Begin_Contents_Search("/copy/linked", "includes");
    char type[64];
    HC_KEY key;
    std::vector<std::string> targets;
    while (HC_Find_Contents(type, &key)) {
        HC_Show_Include_Segment(key, value);
        targets.push_back(value);
    }
    HC_End_Contents_Search();
    EXPECT_EQ(targets, (std::vector<std::string>{"/copy/pipe 1", "/style library/pipes"}));
    EXPECT_TRUE(g_errors.empty()) << g_errors.front();
    std::filesystem::remove(file);
}

TEST_F(HcMetafileTest, EveryTruncationIsRefusedAndCreatesNothing) {
    BuildRichTree();
    const std::string text = MetafileText(Seg("/src"));
    const size_t before = Graph::Instance().Root().children.size();
    const uint64_t keysBefore = Graph::Instance().Root().children.size();
    (void)keysBefore;
    for (size_t length = 0; length < text.size(); ++length) {
        std::string error;
        ASSERT_FALSE(
            ReadMetafileText(std::string_view(text).substr(0, length), "cut.hmf", "/cut", error))
            << "prefix of " << length << " bytes was accepted";
        ASSERT_EQ(error.rfind("cut.hmf:", 0), 0u) << error;
        ASSERT_EQ(Graph::Instance().Resolve("/cut", false), nullptr);
        ASSERT_EQ(Graph::Instance().Root().children.size(), before);
    }
    std::string error;
    EXPECT_TRUE(ReadMetafileText(text, "whole.hmf", "/cut", error)) << error;
    EXPECT_TRUE(g_errors.empty()) << g_errors.front();
}

TEST_F(HcMetafileTest, MalformedFilesNameTheLine) {
    struct Case {
        const char* text;
        int line;
        const char* words; // expected in the message
    } cases[] = {
        {"", 0, "not a Ketra scene file"},
        {"KETRA-HMF 2\nend-of-file\n", 1, "not a Ketra scene file"},
        {"KETRA-HMF 1\nmarker 1 2\nend-of-file\n", 2, "'marker' takes a point"},
        {"KETRA-HMF 1\nmarker 1 2 nan\nend-of-file\n", 2, "finite"},
        {"KETRA-HMF 1\nsegment \"a\" {\nend-of-file\n", 3, "inside a block"},
        {"KETRA-HMF 1\n}\nend-of-file\n", 2, "without an open block"},
        {"KETRA-HMF 1\nshell 3 4 {\n0 0 0\n1 0 0\n0 1 0\nf 3 0 1 7\n}\nend-of-file\n", 6,
         "point index 7"},
        {"KETRA-HMF 1\nshell 900000000 4 {\nend-of-file\n", 2, "does not fit"},
        {"KETRA-HMF 1\nshell 3 4 {\n0 0 0\n1 0 0\n0 1 0\nf -9223372036854775808 0 1 2\n}\nend-of-file\n", 6,
         "face count -9223372036854775808"},
        {"KETRA-HMF 1\ncolor \"faces = mauvish\"\nend-of-file\n", 2, "HC_Set_Color"},
        {"KETRA-HMF 1\nsegment \"../escape\" {\n}\nend-of-file\n", 2, "not a segment name"},
        {"KETRA-HMF 1\ninclude \"?picture\"\nend-of-file\n", 2, "absolute segment path"},
        {"KETRA-HMF 1\ninclude #4\nend-of-file\n", 2, "no segment #4"},
        {"KETRA-HMF 1\ntext 0 0 0 \"open\nend-of-file\n", 2, "not closed"},
        {"KETRA-HMF 1\nwobble 3\nend-of-file\n", 2, "unknown statement 'wobble'"},
        {"KETRA-HMF 1\nend-of-file\nmarker 0 0 0\n", 3, "after 'end-of-file'"},
        {"KETRA-HMF 1\nwindow 0.5 0.2 0 1\nend-of-file\n", 2, "HC_Set_Window"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(ReadMetafileText(c.text, "bad.hmf", "/target", error)) << c.text;
        const std::string where = "bad.hmf:" + std::to_string(c.line) + ":";
        EXPECT_EQ(error.rfind(where, 0), 0u) << error << " / expected line " << c.line;
        EXPECT_NE(error.find(c.words), std::string::npos) << error;
        EXPECT_EQ(Graph::Instance().Resolve("/target", false), nullptr) << c.text;
    }
    // The host's error handler is back in place afterwards and saw nothing.
    EXPECT_TRUE(g_errors.empty());
    HC_Close_Segment(); // nothing open: reported through the host's handler
    EXPECT_EQ(g_errors.size(), 1u);
}

TEST_F(HcMetafileTest, ReadingAddsToAnExistingSegment) {
    HC_Open_Segment("/target/existing");
    HC_Insert_Marker(0, 0, 0);
    HC_Close_Segment();
    std::string error;
    ASSERT_TRUE(ReadMetafileText("KETRA-HMF 1\nsegment \"existing\" {\n  marker 1 1 1\n}\n"
                                 "segment \"new\" {\n  user-options \"k = v\"\n}\nend-of-file\n",
                                 "add.hmf", "/target", error))
        << error;
    int count = 0;
    HC_Begin_Contents_Search("/target/existing", "markers");
    HC_Show_Contents_Count(&count);
    HC_End_Contents_Search();
    EXPECT_EQ(count, 2);
    char value[64];
    HC_Open_Segment("/target/new");
    HC_Show_One_User_Option("k", value);
    HC_Close_Segment();
    EXPECT_STREQ(value, "v");
    EXPECT_TRUE(g_errors.empty());
}

TEST_F(HcMetafileTest, FileProblemsAreReported) {
    HC_Read_Metafile("/no/such/file.hmf", "/x", "");
    EXPECT_EQ(g_errors.size(), 1u);
    HC_Write_Metafile("/missing segment", TempPath("x.hmf").c_str(), "");
    EXPECT_EQ(g_errors.size(), 2u);
    HC_Create_Segment("/present");
    HC_Write_Metafile("/present", "/no/such/dir/file.hmf", "");
    EXPECT_EQ(g_errors.size(), 3u);
    // A write that fails leaves an existing file untouched.
    const std::string file = TempPath("keep.hmf");
    { std::ofstream(file) << "old contents"; }
    std::filesystem::permissions(file, std::filesystem::perms::owner_read);
    HC_Write_Metafile("/present", (file + "/not-a-dir").c_str(), "");
    EXPECT_EQ(g_errors.size(), 4u);
    std::ifstream in(file);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "old contents");
    std::filesystem::remove(file);
}
