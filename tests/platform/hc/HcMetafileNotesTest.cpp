// What notes need of scene files: the glyphs and line styles their attributes name, user
// keys, and the attributes of level-of-detail shells.
#include "platform/hc/HcExtras.h"
#include "platform/hc/SceneGraph.h"
#include "platform/hc/hc.h"

#include <gtest/gtest.h>

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

const signed char kArrow[14] = {10, 0, 0, -1, 4, 0, 0, 16, 8, 16, -8, 0, 0, 0};

class HcMetafileNotesTest : public ::testing::Test {
protected:
    void SetUp() override {
        HC_Reset_System();
        HC_Define_Error_Handler(Capture);
        g_errors.clear();
    }
    void TearDown() override { HC_Reset_System(); }

    static std::string Text(const char* path) {
        return MetafileText(*Graph::Instance().Resolve(path, false));
    }
    // A note-like tree: a leader with a line style, corner markers with local keys, a global
    // user key, and a shell whose coarser level is coloured.
    static void BuildNote() {
        HC_Define_Glyph("arrow head", 14, reinterpret_cast<const char*>(kArrow));
        HC_Define_Line_Style("leader style", "start cap = arrow head");
        HC_Define_Glyph("unused glyph", 14, reinterpret_cast<const char*>(kArrow));
        HC_Open_Segment("/src");
        HC_Open_Segment("leader");
        HC_Set_Line_Pattern("leader style");
        HC_Insert_Line(0, 0, 0, 1, 1, 0);
        HC_Close_Segment();
        HC_Open_Segment("markers");
        for (int i = 0; i < 4; ++i)
            HC_Renumber_Key(HC_Insert_Marker(i, 0, 0), i, "local");
        HC_Close_Segment();
        const HC_KEY named = HC_Open_Segment("named");
        HC_Close_Segment();
        HC_Renumber_Key(named, 4711, "global");
        const float pts[] = {0, 0, 0, 1, 0, 0, 1, 1, 0};
        const int faces[] = {3, 0, 1, 2};
        const HC_KEY shell = HC_Insert_Shell(3, pts, 4, faces);
        HC_Open_Geometry(shell);
        HC_Open_LOD(1);
        const HC_KEY coarse = HC_Insert_Shell(3, pts, 4, faces);
        HC_Close_LOD();
        HC_Close_Geometry();
        HC_Open_Geometry(coarse);
        HC_Set_Color("faces = red");
        HC_Close_Geometry();
        HC_Close_Segment();
    }
};

} // namespace

TEST_F(HcMetafileNotesTest, DefinitionsKeysAndLevelAttributesSurviveAFreshProcess) {
    BuildNote();
    const std::string text = Text("/src");
    EXPECT_NE(text.find("glyph \"arrow head\" 14"), std::string::npos) << text;
    EXPECT_NE(text.find("line-style \"leader style\""), std::string::npos);
    EXPECT_EQ(text.find("unused glyph"), std::string::npos);

    HC_Reset_System(); // a new session: no definitions, no keys
    HC_Define_Error_Handler(Capture);
    std::string error;
    ASSERT_TRUE(ReadMetafileText(text, "note.hmf", "/copy", error)) << error;
    EXPECT_TRUE(g_errors.empty()) << g_errors.front();
    int size = 0;
    HC_Show_Glyph_Size("arrow head", &size);
    EXPECT_EQ(size, 14);
    char style[256] = "";
    HC_Show_Line_Style("leader style", style);
    EXPECT_NE(std::string(style).find("arrow head"), std::string::npos);
    // Local keys resolve inside their segment; the global key anywhere.
    HC_Open_Segment("/copy/markers");
    char type[64] = "";
    for (long i = 0; i < 4; ++i) {
        HC_Show_Key_Type(i, type);
        EXPECT_STREQ(type, "marker") << i;
    }
    HC_Close_Segment();
    HC_Show_Key_Type(4711, type);
    EXPECT_STREQ(type, "segment");
    // The coarse level keeps its colour; the copy writes the same text.
    EXPECT_NE(text.find("faces=(diffuse="), std::string::npos);
    EXPECT_EQ(Text("/copy"), text);
}

TEST_F(HcMetafileNotesTest, ARefusedFileLeavesNoDefinitionsBehind) {
    BuildNote();
    const std::string text = Text("/src");
    HC_Reset_System();
    HC_Define_Error_Handler(Capture);
    std::string error;
    const std::string cut = text.substr(0, text.size() - 5);
    EXPECT_FALSE(ReadMetafileText(cut, "cut.hmf", "/copy", error));
    EXPECT_EQ(Graph::Instance().Defs().FindGlyph("arrow head"), nullptr);
    EXPECT_EQ(Graph::Instance().Defs().FindLineStyle("leader style"), nullptr);
}

TEST_F(HcMetafileNotesTest, ReadingBesideTheOriginalKeepsItsGlobalKey) {
    BuildNote();
    const std::string text = Text("/src");
    std::string error;
    ASSERT_TRUE(ReadMetafileText(text, "again.hmf", "/copy", error)) << error;
    // The original keeps 4711; the copy keeps its own original key.
    char path[256] = "";
    HC_Show_Segment(4711, path);
    EXPECT_STREQ(path, "/src/named");
    HC_Open_Segment("/copy/markers");
    char type[64] = "";
    HC_Show_Key_Type(2, type);
    HC_Close_Segment();
    EXPECT_STREQ(type, "marker");
}

TEST_F(HcMetafileNotesTest, BadDefinitionsAndKeysNameTheLine) {
    const char* bad[] = {
        "KETRA-HMF 1\nglyph \"g\" 2 1\nend-of-file\n",
        "KETRA-HMF 1\nglyph \"g\" 1 300\nend-of-file\n",
        "KETRA-HMF 1\nline-style \"s\"\nend-of-file\n",
        "KETRA-HMF 1\nsegment \"a\" {\n  user-key -3 local\n}\nend-of-file\n",
        "KETRA-HMF 1\nsegment \"a\" {\n  user-key 3 nowhere\n}\nend-of-file\n",
        "KETRA-HMF 1\nuser-key 3 local\nend-of-file\n",
    };
    for (const char* file : bad) {
        std::string error;
        EXPECT_FALSE(ReadMetafileText(file, "bad.hmf", "/bad", error)) << file;
        EXPECT_EQ(error.rfind("bad.hmf:", 0), 0u) << error;
        EXPECT_EQ(Graph::Instance().Resolve("/bad", false), nullptr);
    }
}
