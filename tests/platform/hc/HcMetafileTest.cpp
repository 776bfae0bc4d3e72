// Scene files: whole trees round-trip; truncated and malformed files are refused with their
// line number and create nothing.
#include "platform/hc/HcExtras.h"
#include "platform/hc/SceneGraph.h"
#include "platform/hc/hc.h"

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

    // A tree with every kind of content the format carries.
    static void BuildRichTree() {
        HC_Open_Segment("/style library/pipes");
        HC_Set_Color("faces=(diffuse=r=0.650980 g=0.792157 b=0.941176,specular=white,"
                     "transmission=black),lines=red,edges=blue");
        HC_Close_Segment();
        HC_Open_Segment("/src");
        HC_Set_Visibility("lights = (faces = on, edges = off, markers = off), markers = off, "
                          "faces=on");
        HC_Set_Selectability("markers = on!, lines = off");
        HC_Set_Heuristics("quick moves, no related selection limit");
        HC_Set_Rendering_Options("mask transform = (camera = (rotate, perspective), "
                                 "modelling matrix = (rotate, scale))");
        HC_Set_Text_Font("name=(Arial,sans serif,system default), size=8.0 pts");
        HC_Set_Color_By_Index("text, lights", 1);
        HC_Set_Line_Weight(2.5);
        HC_Set_Marker_Symbol("+");
        HC_Set_User_Index(0, reinterpret_cast<void*>(static_cast<intptr_t>(7)));
        const float pos[3] = {1, 2, 30}, tgt[3] = {0.1f, 0.2f, 0.3f}, up[3] = {0, 1, 0};
        HC_Set_Camera(pos, tgt, up, 3.25, 2.5, "perspective");
        HC_Style_Segment("/style library/pipes");
        HC_Open_Segment("pipe 1");
        HC_Set_User_Options("from = 10, to = 20, note = (a, b)");
        HC_Rotate_Object(10, 20, 30.123456);
        HC_Translate_Object(0.1, -2, 1e-7);
        const float pts[] = {0, 0,     0,     1, 0,     0,     1, 1,    0,     0, 1,
                             0, 0.25f, 0.25f, 0, 0.75f, 0.25f, 0, 0.5f, 0.75f, 0};
        const int faces[] = {4, 0, 1, 2, 3, -3, 4, 5, 6, 2, 0, 2};
        const HC_KEY shell = HC_Insert_Shell(7, pts, 12, faces);
        HC_Open_Geometry(shell);
        HC_Open_Face(0);
        HC_Set_Color("red");
        HC_Close_Face();
        HC_Open_Edge(0, 1);
        HC_Set_Visibility("off");
        HC_Close_Edge();
        HC_Open_Vertex(2);
        HC_Set_Normal(0, 0, 1);
        HC_Close_Vertex();
        HC_Open_LOD(1);
        const int coarse[] = {3, 0, 1, 2};
        HC_Insert_Shell(3, pts, 4, coarse);
        HC_Close_LOD();
        HC_Open_LOD(2);
        const float line[] = {0, 0, 0, 1, 1, 0};
        const int edge[] = {2, 0, 1};
        HC_Insert_Shell(2, line, 3, edge);
        HC_Close_LOD();
        HC_Set_Color("faces = green");
        HC_Close_Geometry();
        HC_Close_Segment();
        HC_Open_Segment(""); // nameless
        const float axis[] = {0, 0, 0, 0, 0, 5, 1, 0, 6};
        const float radii[] = {0.5f, 0.25f, 0.125f};
        HC_Insert_PolyCylinder(3, axis, 3, radii, "first");
        const float c1[] = {0, 0, 0}, c2[] = {1, 0, 0};
        HC_Insert_Cylinder(c1, c2, 0.3, "none");
        HC_Insert_Line(0, 0, 0, 1, 2, 3);
        HC_Insert_Polyline(3, axis);
        HC_Insert_Polygon(3, axis);
        HC_Insert_Marker(1, 2, 3);
        HC_Insert_Text(0, 1, 2, "plain \"quoted\" \\ text");
        const unsigned short unicode[] = {0x41, 0xe9, 0x4e2d, 0xd83d, 0xde00, 0};
        HC_Insert_Text_With_Encoding(3, 2, 1, "unicode", unicode);
        const float p1[] = {1, 0, 0}, p2[] = {0, 1, 0}, p3[] = {-1, 0, 0};
        HC_Insert_Circle(p1, p2, p3);
        const float centre[] = {0, 0, 0}, major[] = {2, 0, 0}, minor[] = {0, 1, 0};
        HC_Insert_Ellipse(centre, major, minor);
        HC_Insert_Elliptical_Arc(centre, major, minor, 0.125, 0.75);
        const unsigned char pixels[] = {0, 1, 2, 3, 4, 5, 250, 251, 252, 253, 254, 255};
        HC_Insert_Image(1, 1, 1, "rgb", 2, 2, pixels);
        HC_Insert_Distant_Light(1, 1, -1);
        HC_Insert_Cutting_Plane(0, 0, 1, -0.5);
        HC_Close_Segment();
        HC_Open_Segment("linked");
        HC_Include_Segment("/src/pipe 1");          // inside the file
        HC_Include_Segment("/style library/pipes"); // outside it
        HC_Set_Window(-1, 0, -0.5, 0.5);
        HC_Close_Segment();
        HC_Close_Segment();
    }
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
