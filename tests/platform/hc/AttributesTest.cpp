// Attributes and their inheritance through owners, styles and includes.
#include "HcTestSupport.h"

#include "platform/hc/SceneGraph.h"

#include <string>

using namespace ketra::hc::test;

namespace {

std::string NetColor(const char* channel) {
    char v[256] = "";
    HC_Show_One_Net_Color(channel, v);
    return v;
}

class Attributes : public GraphTest {};

TEST_F(Attributes, ColourInheritsThroughOwnersAndStyles) {
    HC_Open_Segment("/Style Library/Pipes");
    HC_Set_Color("faces=(diffuse=r=0.650980 g=0.792157 b=0.941176,specular=white,transmission=black),"
                 "lines=red,edges=blue");
    HC_Close_Segment();
    HC_Open_Segment("/model");
    HC_Set_Color("text=green");
    HC_Open_Segment("pipe 10-20");
    HC_Style_Segment("/Style Library/Pipes");
    EXPECT_EQ(NetColor("faces"), "R=0.65098 G=0.792157 B=0.941176");
    EXPECT_EQ(NetColor("lines"), "R=1 G=0 B=0");
    EXPECT_EQ(NetColor("text"), "R=0 G=1 B=0");  // from the owner
    EXPECT_EQ(NetColor("faces=specular"), "R=1 G=1 B=1");
    // A local colour wins over the style, channel by channel.
    HC_Set_Color("lines=yellow");
    EXPECT_EQ(NetColor("lines"), "R=1 G=1 B=0");
    EXPECT_EQ(NetColor("edges"), "R=0 G=0 B=1");
    // Changing the style is seen at once by every styled segment.
    HC_Open_Segment("/Style Library/Pipes");
    HC_Set_Color("edges=green");
    HC_Close_Segment();
    EXPECT_EQ(NetColor("edges"), "R=0 G=1 B=0");
    char all[1024];
    HC_PShow_Net_Color(0, nullptr, all);
    EXPECT_NE(std::string(all).find("lines=R=1 G=1 B=0"), std::string::npos) << all;
    HC_Close_Segment();
    HC_Close_Segment();
    EXPECT_EQ(TakeErrors(), 0u);
}

TEST_F(Attributes, IncludedSegmentsInheritFromTheIncluderAlongAPath) {
    HC_Open_Segment("/include library/halden/pipes");
    HC_Set_Color("faces=gray");
    const HC_KEY pipe = HC_Open_Segment("p1");
    HC_Close_Segment();
    HC_Close_Segment();
    HC_Open_Segment("/driver/null/view/scene");
    HC_Set_Color("faces=red, lines=green");
    HC_Set_Line_Weight(3);
    const HC_KEY scene = HC_KShow_Open_Segment();
    const HC_KEY inc = HC_Include_Segment("/include library/halden");
    HC_Close_Segment();

    char value[256];
    // Through its tree owners the pipe is gray with the default line colour.
    const HC_KEY alone[] = {pipe};
    HC_PShow_One_Net_Color(1, alone, "faces", value);
    EXPECT_STREQ(value, "R=0.5 G=0.5 B=0.5");
    HC_PShow_One_Net_Color(1, alone, "lines", value);
    EXPECT_STREQ(value, "R=0 G=0 B=0");
    // Through the include its own faces stay gray but lines come from the scene.
    const HC_KEY path[] = {pipe, inc, scene};
    HC_PShow_One_Net_Color(3, path, "lines", value);
    EXPECT_STREQ(value, "R=0 G=1 B=0");
    HC_PShow_One_Net_Color(3, path, "faces", value);
    EXPECT_STREQ(value, "R=0.5 G=0.5 B=0.5");
    float w = 0;
    HC_PShow_Net_Line_Weight(3, path, &w);
    EXPECT_EQ(w, 3.0f);
    // The including segment alone names the same path.
    const HC_KEY viaSegment[] = {pipe, scene};
    HC_PShow_Net_Line_Weight(2, viaSegment, &w);
    EXPECT_EQ(w, 3.0f);
    EXPECT_EQ(TakeErrors(), 0u);
    // A path whose keys do not connect is an error.
    const HC_KEY broken[] = {scene, pipe};
    HC_PShow_Net_Line_Weight(2, broken, &w);
    EXPECT_EQ(TakeErrors(), 1u);
}

TEST_F(Attributes, StylesOfStylesAndCyclesResolve) {
    HC_Open_Segment("/s1");
    HC_Set_Marker_Size(2);
    HC_Style_Segment("/s2");
    HC_Close_Segment();
    HC_Open_Segment("/s2");
    HC_Set_Marker_Symbol("+");
    HC_Style_Segment("/s1");  // a cycle: resolution must still end
    HC_Close_Segment();
    HC_Open_Segment("/user");
    HC_Style_Segment("/s1");
    float size = 0;
    char sym[32];
    HC_Show_Net_Marker_Size(&size);
    HC_Show_Net_Marker_Symbol(sym);
    HC_Close_Segment();
    EXPECT_EQ(size, 2.0f);
    EXPECT_STREQ(sym, "+");
}

TEST_F(Attributes, OptionListsMergeOptionByOptionAndUnsetOne) {
    HC_Open_Segment("/scene");
    HC_Set_Rendering_Options("lod, lighting interpolation, depth range=(0.0,0.1)");
    HC_Set_Heuristics("quick moves, no polygon handedness");
    HC_Open_Segment("child");
    HC_Set_Rendering_Options("no lighting interpolation");
    char v[256];
    HC_Show_One_Net_Rendering_Option("lighting interpolation", v);
    EXPECT_STREQ(v, "off");
    HC_Show_One_Net_Rendering_Option("depth range", v);
    EXPECT_STREQ(v, "(0.0,0.1)");
    HC_Close_Segment();
    HC_UnSet_One_Rendering_Option("depth range");
    HC_UnSet_One_Heuristic("quick moves");
    EXPECT_EQ(HC_Show_Existence("rendering options = depth range"), 0);
    EXPECT_EQ(HC_Show_Existence("rendering options = lod"), 1);
    HC_Show_Heuristics(v);
    EXPECT_STREQ(v, "no polygon handedness");
    HC_Close_Segment();
    EXPECT_EQ(TakeErrors(), 0u);
}

TEST_F(Attributes, UserOptionsLocalNetAndMissing) {
    HC_Open_Segment("/include library/halden/pipes");
    HC_Set_User_Options("owner=halden");
    HC_Open_Segment("e1");
    HC_Set_User_Options("from = 10, to = 20");
    HC_Set_User_Options("vector to camera = (1, 2, 3),up direction = (0, 0, 1)");
    char v[256];
    HC_Show_One_User_Option("FROM", v);
    EXPECT_STREQ(v, "10");
    HC_Show_One_User_Option("vector to camera", v);
    EXPECT_STREQ(v, "(1, 2, 3)");
    HC_Show_One_Net_User_Option("owner", v);
    EXPECT_STREQ(v, "halden");
    int length = 0;
    HC_Show_One_User_Option_Length("to", &length);
    EXPECT_EQ(length, 2);
    EXPECT_EQ(TakeErrors(), 0u);
    HC_Show_One_User_Option("owner", v);  // only inherited, not local
    EXPECT_STREQ(v, "");
    EXPECT_EQ(TakeErrors(), 1u);
    HC_UnSet_One_User_Option("from");
    EXPECT_EQ(HC_Show_Existence("user option = from"), 0);

    // A style's user options reach the net, behind the segment's own; an item's stay its own.
    HC_Open_Segment("/style/rated");
    HC_Set_User_Options("rating = 300#, to = 99");
    HC_Close_Segment();
    HC_Style_Segment("/style/rated");
    HC_Show_One_Net_User_Option("rating", v);
    EXPECT_STREQ(v, "300#");
    HC_Show_One_Net_User_Option("to", v);
    EXPECT_STREQ(v, "20");
    const HC_KEY marker = HC_Insert_Marker(0, 0, 0);
    HC_Open_Geometry(marker);
    HC_Set_User_Options("item = 7");
    HC_Show_One_User_Option("item", v);
    EXPECT_STREQ(v, "7");
    HC_Close_Geometry();
    EXPECT_EQ(HC_Show_Existence("user option = item"), 0);
    EXPECT_EQ(TakeErrors(), 0u);
    HC_UnSet_User_Options();
    EXPECT_EQ(HC_Show_Existence("user options"), 0);
    HC_Show_User_Options(v);
    EXPECT_STREQ(v, "");
    EXPECT_EQ(TakeErrors(), 1u);
    HC_Close_Segment();
    HC_Close_Segment();
}

TEST_F(Attributes, UserIndexHandednessCallbacksAndColourByIndex) {
    HC_Open_Segment("/note/background");
    HC_Set_User_Index(0, reinterpret_cast<void*>(2));
    void* data = nullptr;
    EXPECT_TRUE(HC_Show_One_User_Index(0, &data));
    EXPECT_EQ(reinterpret_cast<intptr_t>(data), 2);
    EXPECT_FALSE(HC_Show_One_User_Index(1, &data));
    HC_Set_Handedness("left");
    char v[128];
    HC_Show_Net_Handedness(v);
    EXPECT_STREQ(v, "left");
    HC_Set_Callback("draw dc polyline = ketra_drawline, draw dc marker = ketra_drawmarker");
    HC_Show_One_Callback("draw dc marker", v);
    EXPECT_STREQ(v, "ketra_drawmarker");
    HC_Set_Color_By_Index("text, lights", 2);
    HC_Set_Color_Map("white, black, orange");
    HC_Show_One_Net_Color("text", v);
    EXPECT_STREQ(v, "R=1 G=0.5 B=0");
    HC_Close_Segment();
    EXPECT_EQ(TakeErrors(), 0u);
}

TEST_F(Attributes, VisibilityAndSelectabilityNetValues) {
    HC_Open_Segment("/scene");
    HC_Set_Visibility("lights = (faces = on, edges = off, markers = off), markers = off, faces=on");
    HC_Set_Selectability("everything = off, faces = on");
    HC_Open_Segment("camerapointer");
    HC_Set_Selectability("markers = on!, lines = off");
    char v[256];
    HC_Show_One_Net_Visibility("markers", v);
    EXPECT_STREQ(v, "off");
    HC_Show_One_Net_Visibility("edges", v);
    EXPECT_STREQ(v, "on");  // default
    HC_Show_One_Net_Selectability("markers", v);
    EXPECT_STREQ(v, "on!");
    HC_Show_One_Net_Selectability("faces", v);
    EXPECT_STREQ(v, "on");
    HC_Show_One_Net_Selectability("text", v);
    EXPECT_STREQ(v, "off");
    HC_Close_Segment();
    HC_UnSet_One_Visibility("markers");
    HC_Show_Visibility(v);
    EXPECT_STREQ(v, "faces=on,lights=(faces=on,edges=off,markers=off)");
    HC_Close_Segment();
    EXPECT_EQ(TakeErrors(), 0u);
}

TEST_F(Attributes, FacesEdgesAndVerticesCarryTheirOwnAttributes) {
    HC_Open_Segment("/cone");
    const float pts[] = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
    const int faces[] = {3, 0, 1, 2, 3, 0, 2, 3};
    const HC_KEY shell = HC_Insert_Shell(4, pts, 8, faces);
    HC_Open_Geometry(shell);
    HC_Open_Face(0);
    HC_Set_Color("yellow");
    HC_Set_Normal(0, 0, 1);
    HC_Close_Face();
    HC_Open_Face(1);
    HC_Set_Color("red");
    HC_Close_Face();
    HC_Open_Edge(2, 0);
    HC_Set_Visibility("edges=on");
    HC_Close_Edge();
    HC_Open_Vertex(3);
    HC_Set_Normal(1, 0, 0);
    HC_Close_Vertex();
    HC_Open_Face(1);
    char v[128];
    HC_Show_One_Color("faces", v);
    EXPECT_STREQ(v, "R=1 G=0 B=0");
    HC_Close_Face();
    HC_Close_Geometry();
    HC_Close_Segment();
    EXPECT_EQ(TakeErrors(), 0u);

    using namespace ketra::hc;
    const Geometry* g = Graph::Instance().FindGeometry(shell);
    ASSERT_NE(g, nullptr);
    const ShellElements& el = *g->Shell()->elements;
    ASSERT_EQ(el.faces.size(), 2u);
    EXPECT_EQ(el.faces.at(0).normal->z, 1.0f);
    ASSERT_EQ(el.edges.count({0, 2}), 1u);  // stored with the smaller index first
    EXPECT_EQ(el.edges.at({0, 2}).visibility.on, kEdges);
    EXPECT_EQ(el.vertices.at(3).normal->x, 1.0f);
}

}  // namespace
