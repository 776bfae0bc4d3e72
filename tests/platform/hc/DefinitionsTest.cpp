// Process-wide definitions, system options, and the C++ model the renderer reads
// (change tracking, net resolution, display-driver hook).
#include "HcTestSupport.h"

#include "platform/hc/SceneGraph.h"

#include <set>
#include <string>
#include <vector>

using namespace ketra::hc::test;

namespace {

class Definitions : public GraphTest {};

int g_calls = 0;
void DrawLine() { ++g_calls; }
void DrawMarker() { g_calls += 10; }

std::vector<std::string> CallbackNames() {
    std::vector<std::string> names;
    char name[256];
    HC_Begin_Callback_Name_Search();
    while (HC_Find_Callback_Name(name)) names.push_back(name);
    HC_End_Callback_Name_Search();
    return names;
}

TEST_F(Definitions, CallbackNamesAreDefinedOnceAndFound) {
    // The start-up pattern: search, define what is missing, never twice.
    for (int round = 0; round < 2; ++round) {
        const auto names = CallbackNames();
        const std::set<std::string> have(names.begin(), names.end());
        if (!have.count("ketra_drawline")) HC_Define_Callback_Name("ketra_drawline", DrawLine);
        if (!have.count("ketra_drawmarker")) HC_Define_Callback_Name("ketra_drawmarker", DrawMarker);
    }
    EXPECT_EQ(CallbackNames(), (std::vector<std::string>{"ketra_drawline", "ketra_drawmarker"}));
    HC_CALLBACK cb = nullptr;
    HC_Show_Callback_Name("KETRA_DRAWMARKER", &cb);
    ASSERT_NE(cb, nullptr);
    cb();
    EXPECT_EQ(g_calls, 10);
    EXPECT_EQ(ketra::hc::Graph::Instance().Defs().FindCallback("ketra_drawline"), &DrawLine);
    HC_UnDefine_Callback_Name("ketra_drawline");
    HC_Show_Callback_Name("ketra_drawline", &cb);
    EXPECT_EQ(cb, nullptr);
    EXPECT_EQ(TakeErrors(), 1u);
}

TEST_F(Definitions, GlyphsLineStylesAndTextures) {
    const char glyph[] = {10, 0, 0, -1, 4, 0, 0, 16, 8, 16, -8, 0, 0, 0};
    HC_Define_Glyph("HKetraUtilityAnnotation lcap_def", 14, glyph);
    int size = 0;
    HC_Show_Glyph_Size("hketrautilityannotation LCAP_DEF", &size);
    EXPECT_EQ(size, 14);
    char back[14];
    HC_Show_Glyph("HKetraUtilityAnnotation lcap_def", back);
    EXPECT_EQ(back[3], -1);
    EXPECT_EQ(back[10], -8);
    HC_Define_Line_Style("HKetraUtilityAnnotation line style", "start cap = HKetraUtilityAnnotation lcap_def,");
    char def[256];
    HC_Show_Line_Style("HKetraUtilityAnnotation line style", def);
    EXPECT_STREQ(def, "start cap = HKetraUtilityAnnotation lcap_def,");
    // A defined line style is a valid line pattern; an unknown word is not.
    HC_Open_Segment("/note/conditions");
    HC_Set_Line_Pattern("HKetraUtilityAnnotation line style");
    HC_Set_Line_Pattern("no such style");
    HC_Close_Segment();
    EXPECT_EQ(TakeErrors(), 1u);

    // Textures: define once, find by searching, use as a diffuse colour.
    const unsigned char pixels[] = {0, 0, 255, 255, 255, 255};
    HC_Open_Segment("/include library/checkerboard");
    HC_Insert_Image(0, 0, 0, "rgb, name=checkerboard image", 2, 1, pixels);
    HC_Set_Visibility("images = off");
    HC_Close_Segment();
    HC_Define_Texture("checkerboard texture", "source=checkerboard image, parameterization source = cylinder");
    std::vector<std::string> textures;
    char name[256];
    HC_Begin_Texture_Search();
    while (HC_Find_Texture(name)) textures.push_back(name);
    HC_End_Texture_Search();
    EXPECT_EQ(textures, (std::vector<std::string>{"checkerboard texture"}));
    HC_Open_Segment("/nozzle");
    HC_Set_Color("diffuse=checkerboard texture");
    char v[128];
    HC_Show_One_Color("faces", v);
    EXPECT_STREQ(v, "checkerboard texture");
    HC_Close_Segment();
    HC_Define_Texture("no source", "parameterization source = cylinder");
    EXPECT_EQ(TakeErrors(), 1u);
    const auto* tex = ketra::hc::Graph::Instance().Defs().FindTexture("Checkerboard Texture");
    ASSERT_NE(tex, nullptr);
    EXPECT_EQ(*tex->options.Find("source"), "checkerboard image");
}

TEST_F(Definitions, SystemOptionsKeepUnknownWellFormedOptions) {
    HC_Define_System_Options("no errors,no warnings,no info");
    HC_Define_System_Options("font directory=/usr/share/fonts");
    char v[512];
    HC_Show_System_Options(v);
    EXPECT_STREQ(v, "no errors,no warnings,no info,font directory=/usr/share/fonts");
    HC_Close_Segment();  // silenced
    EXPECT_EQ(TakeErrors(), 0u);
    HC_Define_System_Options("errors");
    HC_Define_System_Options("errors = maybe");
    EXPECT_EQ(TakeErrors(), 1u);
}

class Model : public GraphTest {};

struct RecordingDriver : ketra::hc::DisplayDriver {
    std::vector<std::pair<HC_KEY, ketra::hc::UpdateMode>> calls;
    void Update(HC_KEY key, ketra::hc::UpdateMode mode) override { calls.emplace_back(key, mode); }
};

TEST_F(Model, ChangeCountsMoveForwardOnEveryEdit) {
    using namespace ketra::hc;
    Graph& g = Graph::Instance();
    const HC_KEY seg = HC_Open_Segment("/tracked");
    const HC_KEY marker = HC_Insert_Marker(0, 0, 0);
    const uint64_t segBefore = g.FindSegment(seg)->changeCount;
    const uint64_t markerBefore = g.FindGeometry(marker)->changeCount;
    const uint64_t genBefore = g.Generation();
    HC_Set_Color("markers=red");
    EXPECT_GT(g.FindSegment(seg)->changeCount, segBefore);
    EXPECT_EQ(g.FindGeometry(marker)->changeCount, markerBefore);
    HC_Open_Geometry(marker);
    HC_Set_Visibility("markers=off");
    HC_Close_Geometry();
    EXPECT_GT(g.FindGeometry(marker)->changeCount, markerBefore);
    EXPECT_GT(g.Generation(), genBefore);
    HC_Close_Segment();
}

TEST_F(Model, NetAttributesMatchTheShowCalls) {
    using namespace ketra::hc;
    HC_Open_Segment("/a");
    HC_Set_Color("lines=blue");
    HC_Scale_Object(2, 2, 2);
    const HC_KEY b = HC_Open_Segment("b");
    HC_Set_Line_Weight(5);
    HC_Close_Segment();
    HC_Close_Segment();
    const NetAttributes net = Graph::Instance().Net(*Graph::Instance().FindSegment(b));
    EXPECT_EQ(net.DiffuseRgb(ColorChannel::Lines), (Rgb{0, 0, 1}));
    EXPECT_EQ(net.DiffuseRgb(ColorChannel::Faces), (Rgb{1, 1, 1}));  // default
    EXPECT_EQ(net.lineWeight, 5.0f);
    EXPECT_EQ(net.modelling[0], 2.0f);
    std::vector<const Segment*> chain;
    const HC_KEY keys[] = {b};
    ASSERT_TRUE(Graph::Instance().PathChain(1, keys, chain));
    ASSERT_EQ(chain.size(), 3u);  // root, /a, /a/b
    EXPECT_EQ(chain.back()->key, b);
}

TEST_F(Model, DisplayDriversRegisterOnce) {
    using namespace ketra::hc;
    RecordingDriver driver;
    Graph::Instance().RegisterDisplayDriver(&driver);
    Graph::Instance().RegisterDisplayDriver(&driver);
    EXPECT_EQ(Graph::Instance().DisplayDrivers().size(), 1u);
    Graph::Instance().UnregisterDisplayDriver(&driver);
    EXPECT_TRUE(Graph::Instance().DisplayDrivers().empty());
}

}  // namespace
