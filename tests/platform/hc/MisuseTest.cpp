// Every class of bad input: reported once, no effect, a defined result, no crash.
#include "HcTestSupport.h"

#include <cmath>
#include <iterator>
#include <string>

using namespace ketra::hc::test;

namespace {

class Misuse : public GraphTest {};

TEST_F(Misuse, DefaultHandlerPrintsOneLineNamingTheCall) {
    HC_Define_Error_Handler(nullptr);
    testing::internal::CaptureStderr();
    HC_Close_Segment();
    const std::string out = testing::internal::GetCapturedStderr();
    EXPECT_EQ(out, "HC_Close_Segment: no segment is open\n");
    HC_Define_System_Options("no errors");
    testing::internal::CaptureStderr();
    HC_Close_Segment();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    char opts[256];
    HC_Show_System_Options(opts);
    EXPECT_EQ(std::string(opts).rfind("no errors", 0), 0u) << opts;
    HC_Define_System_Options("errors");
    HC_Define_Error_Handler(&RecordError);
    HC_Close_Segment();
    ASSERT_EQ(Errors().size(), 1u);
    EXPECT_EQ(Errors()[0].function, "HC_Close_Segment");
    EXPECT_EQ(Errors()[0].category, HC_ERR_STATE);
}

TEST_F(Misuse, UnknownStaleAndForeignKeys) {
    const HC_KEY foreign[] = {0, -1, 12345, -999999, 0x7fffffff, -0x7fffffff};
    for (HC_KEY k : foreign) {
        HC_Open_Segment_By_Key(k);
        HC_Delete_By_Key(k);
        HC_Open_Geometry(k);
        EXPECT_EQ(HC_Show_Owner_By_Key(k, nullptr), -1);
        EXPECT_EQ(HC_Show_Original_Key(k), -1);
        EXPECT_EQ(HC_Include_Segment_By_Key(k), -1);
        float x = 3;
        HC_Show_Marker(k, &x, nullptr, nullptr);
        EXPECT_EQ(x, 3.0f);
    }
    EXPECT_EQ(TakeErrors(), 7u * std::size(foreign));
    EXPECT_EQ(HC_KShow_Open_Segment(), -1);
}

TEST_F(Misuse, NullPointersAndNegativeCounts) {
    HC_Open_Segment("/m");
    EXPECT_EQ(HC_Open_Segment(nullptr), -1);
    EXPECT_EQ(HC_Insert_Polyline(-2, nullptr), -1);
    EXPECT_EQ(HC_Insert_Polyline(3, nullptr), -1);
    EXPECT_EQ(HC_Insert_Shell(3, nullptr, 0, nullptr), -1);
    EXPECT_EQ(HC_Insert_Shell(0, nullptr, 4, nullptr), -1);
    EXPECT_EQ(HC_Insert_Shell(0, nullptr, -4, nullptr), -1);
    EXPECT_EQ(HC_Insert_PolyCylinder(2, nullptr, 1, nullptr, "both"), -1);
    EXPECT_EQ(HC_Insert_Text(0, 0, 0, nullptr), -1);
    EXPECT_EQ(HC_Insert_Cylinder(nullptr, nullptr, 1, "both"), -1);
    HC_Set_Color(nullptr);
    HC_Set_Visibility(nullptr);
    HC_Set_User_Options(nullptr);
    HC_Set_Modelling_Matrix(nullptr);
    HC_Show_One_User_Option(nullptr, nullptr);
    HC_Begin_Contents_Search(nullptr, nullptr);
    HC_End_Contents_Search();  // the failed Begin still pushed a search
    HC_Compute_Transformed_Points(-1, nullptr, nullptr, nullptr);
    EXPECT_FALSE(HC_Compute_Normalized_Vector(nullptr, nullptr));
    EXPECT_EQ(HC_Compute_Vector_Length(nullptr), 0.0);
    HC_Define_Glyph("g", -1, nullptr);
    HC_Define_Callback_Name("cb", nullptr);
    HC_Renumber_Key(HC_KShow_Open_Segment(), 1, nullptr);
    HC_Close_Segment();
    EXPECT_EQ(TakeErrors(), 21u);
    EXPECT_EQ(HC_QShow_Existence("/m", "everything"), 0);
}

TEST_F(Misuse, ClosingWhatIsNotOpen) {
    HC_Close_Segment();
    HC_Close_Geometry();
    HC_Close_Face();
    HC_Close_Edge();
    HC_Close_Vertex();
    HC_Close_LOD();
    HC_End_Contents_Search();
    HC_End_Texture_Search();
    HC_Set_Color("red");  // nothing open to colour
    EXPECT_EQ(HC_Insert_Marker(0, 0, 0), -1);
    EXPECT_EQ(TakeErrors(), 10u);
    // Mismatched closes inside a face leave the stack as it was.
    HC_Open_Segment("/s");
    const float p[] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    const int f[] = {3, 0, 1, 2};
    HC_Open_Geometry(HC_Insert_Shell(3, p, 4, f));
    HC_Open_Face(0);
    HC_Close_Edge();
    HC_Close_Geometry();
    HC_Close_Segment();
    EXPECT_EQ(TakeErrors(), 3u);
    HC_Set_Color("faces=green");  // goes to the face that is still open
    HC_Close_Face();
    HC_Close_Geometry();
    HC_Close_Segment();
    EXPECT_EQ(TakeErrors(), 0u);
    EXPECT_EQ(HC_QShow_Existence("/s", "color"), 0);
}

TEST_F(Misuse, MalformedOptionStringsChangeNothing) {
    HC_Open_Segment("/o");
    HC_Set_Color("faces=blue");
    const char* bad[] = {"faces=(diffuse=red", "faces=(diffuse=)", "faces=blue, lines=nocolour",
                         "r=1 g=1", "))", "faces==red"};
    for (const char* b : bad) HC_Set_Color(b);
    HC_Set_Visibility("faces=on, ((");
    HC_Set_Visibility("faces=perhaps");
    HC_Set_Visibility("!");  // a lock mark that names nothing
    HC_Set_Visibility("faces=on, no !");
    HC_Set_Selectability("everything=sometimes");
    HC_Set_Rendering_Options("depth range=(0.0,0.1");
    HC_Set_Heuristics("=quick moves");
    HC_Set_User_Options("from=(10");
    HC_Set_Text_Alignment("middle");
    HC_Set_Line_Pattern("zigzag");
    HC_Set_Face_Pattern("polka");
    HC_Set_Line_Weight(-1);
    HC_Set_Marker_Size(NAN);
    HC_Set_Handedness("ambidextrous");
    HC_Set_Callback("draw dc polyline");
    HC_Set_Color_By_Index("walls", 2);
    HC_Set_Color_By_Index("faces", -2);
    HC_Translate_Object(NAN, 0, 0);
    HC_Rotate_Object_Offaxis(0, 0, 0, 90);
    const float inf[16] = {INFINITY};
    HC_Set_Modelling_Matrix(inf);
    HC_Set_Window(0.5, -0.5, -1, 1);
    EXPECT_EQ(TakeErrors(), std::size(bad) + 21u);
    char v[256];
    HC_Show_Color(v);
    EXPECT_STREQ(v, "faces=R=0 G=0 B=1");
    EXPECT_EQ(HC_Show_Existence("attributes"), 1);
    HC_Close_Segment();
}

TEST_F(Misuse, BadPathsAndSpecs) {
    EXPECT_EQ(HC_Open_Segment("/a//b"), -1);
    EXPECT_EQ(HC_Open_Segment("/.."), -1);
    EXPECT_EQ(HC_Open_Segment("/a/*"), -1);
    EXPECT_EQ(HC_Open_Segment("/a/..."), -1);
    EXPECT_EQ(HC_Open_Segment("?unknown alias"), -1);
    EXPECT_EQ(HC_Open_Segment("@-999"), -1);
    HC_Delete_Segment("/does/not/exist");
    HC_Rename_Segment("/nothing", "x");
    HC_Move_By_Key(HC_Create_Segment("/x"), "/x/y");
    EXPECT_EQ(TakeErrors(), 9u);
    EXPECT_EQ(HC_KShow_Open_Segment(), -1);
    EXPECT_EQ(HC_QShow_Existence("/", "segments"), 1);  // only /x was made
}

TEST_F(Misuse, ErrorsInsideCallbacksOfTheHandlerDoNotRecurseForever) {
    // A handler that itself misuses the interface must not loop: each nested
    // report is delivered and the chain ends.
    static int depth = 0;
    HC_Define_Error_Handler([](int, int, int, const char*, const char*) {
        if (++depth < 3) HC_Close_Segment();
    });
    HC_Close_Segment();
    EXPECT_EQ(depth, 3);
}

}  // namespace
