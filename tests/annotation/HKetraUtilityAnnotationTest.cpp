#include "annotation/HKetraUtilityAnnotation.h"

#include <clocale>
#include <cstring>

#include "NoteFixture.h"
#include "annotation/AnnotationCallbacks.h"
#include "annotation/HKetraUtilityAnnotationMeasure.h"
#include "platform/mvo/HCamera.h"

using namespace notetest;

namespace {

long Child(long note, const char* path)
{
    HC_Open_Segment_By_Key(note);
    long key = -1;
    if (HC_QShow_Existence(path, "self") > 0) {
        key = HC_Open_Segment(path);
        HC_Close_Segment();
    }
    HC_Close_Segment();
    return key;
}

std::string Option(long segment, const char* kind, const char* which)
{
    char value[4096] = "";
    HC_Open_Segment_By_Key(segment);
    const std::string query = std::string(kind) + " = " + which;
    if (HC_Show_Existence(query.c_str()) > 0) {
        if (std::strcmp(kind, "rendering options") == 0)
            HC_Show_One_Rendering_Option(which, value);
        else if (std::strcmp(kind, "callback") == 0)
            HC_Show_One_Callback(which, value);
        else if (std::strcmp(kind, "heuristics") == 0)
            HC_Show_One_Heuristic(which, value);
        else
            HC_Show_One_User_Option(which, value);
    }
    HC_Close_Segment();
    return Compact(value);
}

void Matrix(long segment, float m[16])
{
    HC_Open_Segment_By_Key(segment);
    HC_Show_Modelling_Matrix(m);
    HC_Close_Segment();
}

class AnnotationTest : public NoteTest {
protected:
    long InsertNote(HKetraUtilityAnnotation& note, const char* text, int background = 1,
                    bool leader = true)
    {
        return note.Insert(text, HPoint(1, -1, 1), HPoint(0, 0, 0), model->GetModelKey(), view, -1,
                           background, leader);
    }
    // Pixel extent (width, height) of a note's background on the window.
    void BoxPixels(HKetraUtilityAnnotation& note, float& width, float& height)
    {
        const long background = note.GetBackgroundSegmentKey();
        const long path[] = {background, view->GetIncludeLinkKey(), view->GetSceneKey(),
                             view->GetViewKey()};
        float a[3] = {-1, -1, 0}, b[3] = {1, 1, 0};
        HC_Compute_Coordinates_By_Path(4, path, "object", a, "outer pixels", a);
        HC_Compute_Coordinates_By_Path(4, path, "object", b, "outer pixels", b);
        width = std::fabs(b[0] - a[0]);
        height = std::fabs(b[1] - a[1]);
    }
};

} // namespace

TEST_F(AnnotationTest, KeysOutsideNotesAreNoNotes)
{
    EXPECT_FALSE(HKetraUtilityAnnotation::IsNote(-1));
    EXPECT_FALSE(HKetraUtilityAnnotation::IsAnnotation(-1));
    EXPECT_EQ(HKetraUtilityAnnotation::GetKey(-1), -1);
    EXPECT_EQ(HKetraUtilityAnnotation::GetKey(box), -1);
    EXPECT_EQ(HKetraUtilityAnnotation::GetKey(model->GetModelKey()), -1);
    EXPECT_FALSE(HKetraUtilityAnnotationMeasure::IsMeasurement(-1));
    EXPECT_FALSE(HKetraUtilityAnnotationMeasure::IsMeasurement(box));
}

TEST_F(AnnotationTest, InsertBuildsTheNoteTree)
{
    HKetraUtilityAnnotation note;
    const long key = InsertNote(note, "Support S-12");
    ASSERT_NE(key, -1);
    EXPECT_EQ(note.GetKey(), key);
    EXPECT_TRUE(HKetraUtilityAnnotation::IsNote(key));
    EXPECT_TRUE(HKetraUtilityAnnotation::IsAnnotation(key));
    EXPECT_FALSE(HKetraUtilityAnnotationMeasure::IsMeasurement(key));
    // Any key inside the note leads to it.
    const long background = note.GetBackgroundSegmentKey();
    ASSERT_NE(background, -1);
    EXPECT_EQ(HKetraUtilityAnnotation::GetKey(background), key);
    EXPECT_EQ(Option(key, "rendering options", "display lists"), "off");
    EXPECT_EQ(Option(key, "heuristics", "static model"), "off");

    const long conditions = Child(key, "conditions");
    const long arrow = Child(key, "conditions/xarrow");
    const long matrix = Child(key, "conditions/matrix");
    ASSERT_NE(arrow, -1);
    EXPECT_EQ(Option(arrow, "callback", "draw dc polyline"), "ketra_drawline");
    char pattern[256] = "";
    HC_Open_Segment_By_Key(conditions);
    HC_Show_Line_Pattern(pattern);
    HC_Close_Segment();
    EXPECT_STREQ(pattern, "HKetraUtilityAnnotation line style");
    // The arrowhead glyph and the line style that starts with it.
    int size = 0;
    HC_Show_Glyph_Size("HKetraUtilityAnnotation lcap_def", &size);
    ASSERT_EQ(size, 14);
    char glyph[14];
    HC_Show_Glyph("HKetraUtilityAnnotation lcap_def", glyph);
    const char expected[14] = {10, 0, 0, -1, 4, 0, 0, 16, 8, 16, -8, 0, 0, 0};
    EXPECT_EQ(std::memcmp(glyph, expected, 14), 0);
    char style[256] = "";
    HC_Show_Line_Style("HKetraUtilityAnnotation line style", style);
    EXPECT_NE(std::string(style).find("HKetraUtilityAnnotation lcap_def"), std::string::npos);

    // The leader runs from the target to the position; the text sits at the position.
    HPoint target, position;
    note.ShowTarget(target);
    note.ShowPosition(position);
    EXPECT_EQ(target, HPoint(1, -1, 1));
    EXPECT_EQ(position, HPoint(0, 0, 0));
    float m[16];
    Matrix(matrix, m);
    EXPECT_FLOAT_EQ(m[12], 0.0f);
    // Corner markers numbered 0..3 in their segment.
    const long markers = Child(key, "conditions/matrix/mask transform/background/markers");
    HC_Open_Segment_By_Key(markers);
    for (long i = 0; i < 4; ++i)
        EXPECT_EQ(KeyType(i), "marker") << i;
    HC_Close_Segment();
    EXPECT_EQ(note.GetBackgroundType(), 1);
    EXPECT_EQ(Option(Child(key, "conditions/matrix/mask transform"), "rendering options",
                     "mask transform"),
              "(rotate,scale,perspective)");
    char text[64] = "";
    int length = sizeof(text);
    note.GetText(text, length);
    EXPECT_STREQ(text, "Support S-12");
    EXPECT_EQ(note.GetTextLength(), 12);
}

TEST_F(AnnotationTest, NoteIsPlacedInWorldCoordinatesUnderTransforms)
{
    HC_Open_Segment_By_Key(model->GetModelKey());
    const long moved = HC_Open_Segment("moved");
    HC_Translate_Object(10, 0, 0);
    HC_Close_Segment();
    HC_Close_Segment();
    HKetraUtilityAnnotation note;
    const long key = note.Insert("x", HPoint(0, 0, 0), HPoint(1, 0, 0), moved, view, -1, 1, false);
    float m[16];
    Matrix(Child(key, "conditions"), m);
    EXPECT_FLOAT_EQ(m[12], -10.0f);
    // Without a leader the leader segment is hidden.
    char value[64] = "";
    HC_Open_Segment_By_Key(Child(key, "conditions/xarrow"));
    HC_Show_One_Visibility("lines", value);
    HC_Close_Segment();
    EXPECT_STREQ(value, "off");
}

TEST_F(AnnotationTest, WorldSizedTextZoomsAndScreenSizedTextDoesNot)
{
    HKetraUtilityAnnotation screen, world;
    InsertNote(screen, "fixed");
    InsertNote(world, "zooms");
    world.SetTextFont("size = 0.2 oru");
    EXPECT_EQ(Option(Child(world.GetKey(), "conditions/matrix/mask transform"), "rendering options",
                     "mask transform"),
              "(camera=(rotate,perspective),modellingmatrix=(rotate,scale))");
    screen.Resize(view->GetViewKey(), -1);
    world.Resize(view->GetViewKey(), -1);
    float sw0, sh0, ww0, wh0, sw1, sh1, ww1, wh1;
    BoxPixels(screen, sw0, sh0);
    BoxPixels(world, ww0, wh0);
    HC_Open_Segment_By_Key(view->GetSceneKey());
    HC_Zoom_Camera(2.0);
    HC_Close_Segment();
    BoxPixels(screen, sw1, sh1);
    BoxPixels(world, ww1, wh1);
    EXPECT_NEAR(sw1, sw0, 0.5f);
    EXPECT_NEAR(sh1, sh0, 0.5f);
    EXPECT_NEAR(ww1, 2 * ww0, 1.0f);
    EXPECT_NEAR(wh1, 2 * wh0, 1.0f);
    // A longer text gets a wider box of the same height.
    float lw, lh;
    screen.SetText("a much longer note text than before");
    BoxPixels(screen, lw, lh);
    EXPECT_GT(lw, sw1 * 2);
    EXPECT_NEAR(lh, sh1, 0.5f);
    // Lines after a break make the box taller, not wider than its longest line.
    float mw, mh;
    screen.SetText("a much longer note text than before\nand\na third line");
    BoxPixels(screen, mw, mh);
    EXPECT_NEAR(mw, lw, 1.0f);
    EXPECT_GT(mh, lh * 2);
}

TEST_F(AnnotationTest, ScreenSizeKeptWhenTheWindowIsResized)
{
    HKetraUtilityAnnotation note;
    InsertNote(note, "resize me");
    float w0, h0, w1, h1;
    BoxPixels(note, w0, h0);
    view->SetWindowSizeInPixels(400, 800);
    BoxPixels(note, w1, h1);
    EXPECT_NEAR(w1, w0, 1.0f);
    EXPECT_NEAR(h1, h0, 1.0f);
    EXPECT_EQ(NoteHeight(note.GetKey()), 800);
}

TEST_F(AnnotationTest, FontSizeIsReadInTheCLocale)
{
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = old ? old : "C";
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "fr_FR.UTF-8"))
        GTEST_SKIP() << "no locale with a decimal comma installed";
    HKetraUtilityAnnotation note;
    InsertNote(note, "x");
    note.SetTextFont("size = 0.5 oru");
    const std::string mask = Option(Child(note.GetKey(), "conditions/matrix/mask transform"),
                                    "rendering options", "mask transform");
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(mask, "(camera=(rotate,perspective),modellingmatrix=(rotate,scale))");
}

TEST_F(AnnotationTest, GettersAndSettersWorkOnTheTree)
{
    HKetraUtilityAnnotation note;
    const long key = InsertNote(note, "x");
    note.SetOnTop(true);
    EXPECT_TRUE(note.GetOnTop());
    EXPECT_EQ(Option(key, "rendering options", "depth range"), "(0.0,0.1)");
    note.SetOnTop(false);
    EXPECT_FALSE(note.GetOnTop());
    EXPECT_EQ(Option(key, "rendering options", "depth range"), "");
    note.SetBackgroundVisibility(false);
    EXPECT_FALSE(note.GetBackgroundVisibility());
    note.SetBackgroundVisibility(true);
    EXPECT_TRUE(note.GetBackgroundVisibility());
    note.SetLineWeight(3);
    EXPECT_FLOAT_EQ(note.GetLineWeight(), 3.0f);
    note.SetTextFont("name = Arial, size = 9 pts");
    std::unique_ptr<char[]> font(note.GetTextFont()), size(note.GetTextSize());
    EXPECT_STREQ(font.get(), "Arial");
    EXPECT_EQ(Compact(size.get()), "9pts");
    note.SetTextColor("r=0 g=0 b=1");
    char color[256];
    note.GetTextColor(color);
    EXPECT_EQ(Compact(color), "R=0G=0B=1");
    HCamera camera;
    camera.position.Set(0, -10, 0);
    camera.target.Set(0, 0, 0);
    camera.up_vector.Set(0, 0, 1);
    note.MoveText(HPoint(2, 0, 2), &camera);
    EXPECT_EQ(note.GetFacing(), HPoint(0, -10, 0));
    EXPECT_EQ(note.GetUp(), HPoint(0, 0, 1));
    float m[16];
    Matrix(Child(key, "conditions/matrix"), m);
    EXPECT_FLOAT_EQ(m[12], 2.0f);
    EXPECT_FLOAT_EQ(m[14], 2.0f);
    // 16-bit text round-trips; a short buffer is cut and terminated.
    const unsigned short wide[] = {0x00C4, 0x0394, 'x', 0};
    note.SetTextWithEncoding(wide);
    unsigned short out[8];
    int length = 8;
    note.GetTextWithEncoding(out, length);
    EXPECT_EQ(length, 3);
    EXPECT_EQ(out[1], 0x0394);
    length = 2;
    note.GetTextWithEncoding(out, length);
    EXPECT_EQ(length, 1);
    EXPECT_EQ(out[1], 0);
}

TEST_F(AnnotationTest, SetNoteReattachesAndUpgradesOlderNotes)
{
    HKetraUtilityAnnotation original;
    const long key = InsertNote(original, "old layout");
    // An older note: its leader in "conditions/arrow", moving with quick moves.
    HC_Open_Segment_By_Key(key);
    HC_Set_Heuristics("quick moves");
    HC_Open_Segment("conditions");
    HC_Rename_Segment("xarrow", "arrow");
    HC_Close_Segment();
    HC_Close_Segment();
    ASSERT_EQ(Child(key, "conditions/xarrow"), -1);

    HKetraUtilityAnnotation note;
    note.SetNote(original.GetBackgroundSegmentKey(), view);
    EXPECT_EQ(note.GetKey(), key);
    EXPECT_NE(Child(key, "conditions/xarrow"), -1);
    EXPECT_EQ(Child(key, "conditions/arrow"), -1);
    EXPECT_EQ(Option(key, "heuristics", "quick moves"), "");
    EXPECT_EQ(note.GetBackgroundType(), 1);
    HPoint target, position;
    note.ShowTarget(target);
    note.ShowPosition(position);
    EXPECT_EQ(target, HPoint(1, -1, 1));
    EXPECT_EQ(position, HPoint(0, 0, 0));
    EXPECT_EQ(Utf16ToUtf8(note.GetText16()), "old layout");
}

TEST_F(AnnotationTest, EachBackgroundIsBuiltOnTheUnitSquare)
{
    HKetraUtilityAnnotation note;
    InsertNote(note, "x", 0);
    const long background = note.GetBackgroundSegmentKey();
    auto count = [&](const char* kind) {
        HC_Open_Segment_By_Key(background);
        HC_Begin_Contents_Search(".", kind);
        int n = 0;
        HC_Show_Contents_Count(&n);
        HC_End_Contents_Search();
        HC_Close_Segment();
        return n;
    };
    EXPECT_EQ(count("ellipses"), 1);
    EXPECT_EQ(count("elliptical arcs"), 1);
    note.SetBackgroundType(1);
    EXPECT_EQ(count("ellipses"), 0);
    EXPECT_EQ(count("polygons"), 1);
    EXPECT_EQ(count("polylines"), 1);
    note.SetBackgroundType(2);
    EXPECT_EQ(count("polygons"), 1);
    EXPECT_EQ(count("elliptical arcs"), 16);
    EXPECT_EQ(note.GetBackgroundType(), 2);
}

TEST_F(AnnotationTest, ChangeAllFontsReachesEveryNote)
{
    HKetraUtilityAnnotation a, b;
    InsertNote(a, "a");
    InsertNote(b, "b");
    HKetraUtilityAnnotation::ChangeAllFonts(view, "name = Courier, size = 11 pts");
    std::unique_ptr<char[]> fa(a.GetTextFont()), fb(b.GetTextFont());
    EXPECT_STREQ(fa.get(), "Courier");
    EXPECT_STREQ(fb.get(), "Courier");
}

TEST(AnnotationText, Utf8AndUtf16RoundTrip)
{
    const std::string text = "\xC3\x84 \xE2\x88\x86 \xF0\x9F\x94\xA7";
    const std::u16string wide = Utf8ToUtf16(text);
    EXPECT_EQ(wide.size(), 6u); // the wrench is a surrogate pair
    EXPECT_EQ(Utf16ToUtf8(wide), text);
}
