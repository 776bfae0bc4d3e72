// Picking on known scenes: items, paths, positions, areas, attributes and ordering.
#include "platform/hc/hc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <vector>

namespace {

std::vector<std::string> g_errors;

void Capture(int, int, int, const char* function, const char* message) {
    g_errors.push_back(std::string(function) + ": " + message);
}

constexpr const char* kDisplay = "/driver/null/test";
constexpr const char* kScene = "/driver/null/test/scene";

HC_KEY Square(float x0, float x1, float y0, float y1, float z) {
    const float pts[] = {x0, y0, z, x1, y0, z, x1, y1, z, x0, y1, z};
    const int faces[] = {4, 0, 1, 2, 3};
    return HC_Insert_Shell(4, pts, 5, faces);
}

std::vector<HC_KEY> Found() {
    std::vector<HC_KEY> keys;
    HC_KEY key;
    int o1, o2, o3;
    do {
        HC_Show_Selection_Element(&key, &o1, &o2, &o3);
        keys.push_back(key);
    } while (HC_Find_Related_Selection());
    return keys;
}

class HcSelectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        HC_Reset_System();
        HC_Define_Error_Handler(Capture);
        g_errors.clear();
        // 800 x 600 window, orthographic camera from +Z: window x = world x / 4, y = world y / 3.
        HC_Open_Segment(kScene);
        const float pos[3] = {0, 0, 10}, tgt[3] = {0, 0, 0}, up[3] = {0, 1, 0};
        HC_Set_Camera(pos, tgt, up, 8, 6, "orthographic");
        m_scene = HC_KShow_Open_Segment();
        HC_Open_Segment("model");
        m_model = HC_KShow_Open_Segment();
        HC_Open_Segment("a");
        m_segA = HC_KShow_Open_Segment();
        m_a = Square(-3, -1, -1, 1, 0);
        HC_Close_Segment();
        HC_Open_Segment("b");
        m_b = Square(1, 3, -1, 1, 1);
        HC_Close_Segment();
        HC_Open_Segment("c");
        m_c = Square(1.5f, 2.5f, -0.5f, 0.5f, 2);
        HC_Close_Segment();
        HC_Close_Segment();
        HC_Close_Segment();
        m_display = HC_Create_Segment(kDisplay);
    }
    void TearDown() override { HC_Reset_System(); }

    HC_KEY m_display = -1, m_scene = -1, m_model = -1, m_segA = -1;
    HC_KEY m_a = -1, m_b = -1, m_c = -1;
};

} // namespace

TEST_F(HcSelectionTest, APickReturnsTheItemItsPathAndPosition) {
    ASSERT_EQ(HC_Compute_Selection(kDisplay, kScene, "v", -0.5, 0.1), 1);
    HC_KEY key;
    int o1, o2, o3;
    HC_Show_Selection_Element(&key, &o1, &o2, &o3);
    EXPECT_EQ(key, m_a);
    EXPECT_EQ(o3, 0); // the only face
    // Window (-0.5, 0.1) is world (-2, 0.3): the nearest corners are points 2 and 3.
    EXPECT_TRUE(o1 == 2 || o1 == 3) << o1;
    EXPECT_TRUE(o2 == 2 || o2 == 3) << o2;

    int count = 0;
    HC_Show_Selection_Keys_Count(&count);
    std::vector<HC_KEY> path(static_cast<size_t>(count));
    HC_Show_Selection_Keys(&count, path.data());
    const std::vector<HC_KEY> expected{m_a, m_segA, m_model, m_scene, m_display};
    EXPECT_EQ(path, expected);

    float wx, wy, wz, x, y, z;
    HC_Show_Selection_Position(&wx, &wy, &wz, &x, &y, &z);
    EXPECT_NEAR(wx, -0.5, 1e-6);
    EXPECT_NEAR(wy, 0.1, 1e-6);
    EXPECT_NEAR(x, -2, 1e-5);
    EXPECT_NEAR(y, 0.3, 1e-5);
    EXPECT_NEAR(z, 0, 1e-5);
    EXPECT_FALSE(HC_Find_Related_Selection());

    // Nothing there.
    EXPECT_EQ(HC_Compute_Selection(kDisplay, kScene, "v", 0.0, 0.9), 0);
    EXPECT_TRUE(g_errors.empty()) << g_errors.front();
}

TEST_F(HcSelectionTest, NearestComesFirstUnlessSortingIsOff) {
    ASSERT_EQ(HC_Compute_Selection(kDisplay, kScene, "v", 0.5, 0.0), 2);
    EXPECT_EQ(Found(), (std::vector<HC_KEY>{m_c, m_b}));

    // The related selection limit cuts the list after the first plus N.
    HC_Open_Segment(kScene);
    HC_Set_Heuristics("related selection limit = 0");
    HC_Close_Segment();
    EXPECT_EQ(HC_Compute_Selection(kDisplay, kScene, "v", 0.5, 0.0), 1);
    EXPECT_EQ(Found(), std::vector<HC_KEY>{m_c});
    HC_Open_Segment(kScene);
    HC_Set_Heuristics("no related selection limit, no selection sorting");
    HC_Close_Segment();
    EXPECT_EQ(HC_Compute_Selection(kDisplay, kScene, "v", 0.5, 0.0), 2);
    const std::vector<HC_KEY> unsorted = Found();
    EXPECT_EQ(std::set<HC_KEY>(unsorted.begin(), unsorted.end()), (std::set<HC_KEY>{m_b, m_c}));
    EXPECT_TRUE(g_errors.empty());
}

TEST_F(HcSelectionTest, AreaSelectionReturnsExactlyTheItemsInside) {
    // A grid of markers one unit apart; the rectangle catches a 3 x 2 block of them.
    HC_Open_Segment("/driver/null/test/scene/grid");
    std::vector<std::vector<HC_KEY>> grid(7, std::vector<HC_KEY>(5));
    for (int i = 0; i < 7; ++i)
        for (int j = 0; j < 5; ++j)
            grid[i][j] = HC_Insert_Marker(i - 3.0, j - 2.0, 5);
    HC_Close_Segment();
    HC_Open_Segment(kScene);
    HC_Set_Heuristics("no related selection limit");
    HC_Close_Segment();
    // x from -1.5 to 1.5 (window -0.375 .. 0.375), y from 0.5 to 2.5 (window 1/6 .. 5/6).
    const int n = HC_Compute_Selection_By_Area(kDisplay, "/driver/null/test/scene/grid", "v",
                                               -0.375, 0.375, 1.0 / 6, 5.0 / 6);
    std::vector<HC_KEY> got = Found();
    std::vector<HC_KEY> want;
    for (int i = 2; i <= 4; ++i)
        for (int j = 3; j <= 4; ++j)
            want.push_back(grid[i][j]);
    std::sort(got.begin(), got.end());
    std::sort(want.begin(), want.end());
    EXPECT_EQ(n, 6);
    EXPECT_EQ(got, want);

    // Corners given the other way round select the same.
    EXPECT_EQ(HC_Compute_Selection_By_Area(kDisplay, "/driver/null/test/scene/grid", "v", 0.375,
                                           -0.375, 5.0 / 6, 1.0 / 6),
              6);
    // The shells: the right half of the window holds b and c.
    EXPECT_EQ(
        HC_Compute_Selection_By_Area(kDisplay, "/driver/null/test/scene/model", "v", 0.1, 1, -1, 1),
        2);
    EXPECT_TRUE(g_errors.empty());
}

TEST_F(HcSelectionTest, HiddenUnselectableAndCulledItemsAreNotReturned) {
    HC_Open_Segment("/driver/null/test/scene/model/a");
    HC_Set_Visibility("faces = off");
    HC_Close_Segment();
    EXPECT_EQ(HC_Compute_Selection(kDisplay, kScene, "v", -0.5, 0.0), 0);
    // "on!" makes the hidden faces selectable.
    HC_Open_Segment("/driver/null/test/scene/model/a");
    HC_Set_Selectability("faces = on!");
    HC_Close_Segment();
    EXPECT_EQ(HC_Compute_Selection(kDisplay, kScene, "v", -0.5, 0.0), 1);

    HC_Open_Segment("/driver/null/test/scene/model/c");
    HC_Set_Selectability("everything = off");
    HC_Close_Segment();
    ASSERT_EQ(HC_Compute_Selection(kDisplay, kScene, "v", 0.5, 0.0), 1);
    EXPECT_EQ(Found(), std::vector<HC_KEY>{m_b});

    // Per-item visibility: with its faces hidden only the square's visible edges are left.
    HC_Open_Geometry(m_b);
    HC_Set_Visibility("faces = off");
    HC_Close_Geometry();
    EXPECT_EQ(HC_Compute_Selection(kDisplay, kScene, "v", 0.5, 0.0), 0);
    EXPECT_EQ(HC_Compute_Selection(kDisplay, kScene, "v", 0.75, 0.0), 1);
    HC_Open_Geometry(m_b);
    HC_Set_Visibility("everything = off");
    HC_Close_Geometry();
    EXPECT_EQ(HC_Compute_Selection(kDisplay, kScene, "v", 0.75, 0.0), 0);

    // Outside the window: never selected, even by an area larger than the window.
    HC_Open_Segment("/driver/null/test/scene/model/far");
    Square(10, 12, -1, 1, 0);
    HC_Close_Segment();
    HC_Open_Segment(kScene);
    HC_Set_Heuristics("no related selection limit");
    HC_Close_Segment();
    EXPECT_EQ(HC_Compute_Selection_By_Area(kDisplay, kScene, "v", -5, 5, -5, 5), 1); // only a

    // Behind the eye of a perspective camera.
    HC_Open_Segment(kScene);
    const float pos[3] = {0, 0, 10}, tgt[3] = {0, 0, 0}, up[3] = {0, 1, 0};
    HC_Set_Camera(pos, tgt, up, 8, 6, "perspective");
    HC_Open_Segment("behind");
    Square(-0.1f, 0.1f, -0.1f, 0.1f, 20);
    HC_Close_Segment();
    HC_Close_Segment();
    EXPECT_EQ(HC_Compute_Selection(kDisplay, kScene, "v", 0.0, 0.0), 0);
    EXPECT_TRUE(g_errors.empty());
}

TEST_F(HcSelectionTest, PathsRunThroughIncludes) {
    HC_Open_Segment("/include library/part");
    const HC_KEY line = HC_Insert_Line(-1, 2, 0, 1, 2, 0);
    HC_Close_Segment();
    HC_Open_Segment(kScene);
    HC_Open_Segment("link");
    const HC_KEY link = HC_KShow_Open_Segment();
    const HC_KEY include = HC_Include_Segment("/include library/part");
    HC_Close_Segment();
    HC_Close_Segment();
    const HC_KEY part = HC_Show_Include_Segment(include, nullptr);

    ASSERT_EQ(HC_Compute_Selection(kDisplay, kScene, "v", 0.0, 2.0 / 3), 1);
    int count = 0;
    HC_KEY path[16];
    HC_Show_Selection_Keys(&count, path);
    const std::vector<HC_KEY> expected{line, part, include, link, m_scene, m_display};
    EXPECT_EQ(std::vector<HC_KEY>(path, path + count), expected);

    // An include back up the chain (part -> link -> part ...) is not followed: one hit, same path.
    HC_Open_Segment("/include library/part");
    HC_Include_Segment_By_Key(link);
    HC_Close_Segment();
    ASSERT_EQ(HC_Compute_Selection(kDisplay, kScene, "v", 0.0, 2.0 / 3), 1);
    HC_Show_Selection_Keys(&count, path);
    EXPECT_EQ(std::vector<HC_KEY>(path, path + count), expected);
    EXPECT_TRUE(g_errors.empty());
}

TEST_F(HcSelectionTest, ItemsAddedBelowAPickedSceneArePickedWhereverTheyAre) {
    // The first pick indexes what it reaches; what is added afterwards, below segments it did
    // and did not reach, is found by the next picks.
    ASSERT_EQ(HC_Compute_Selection(kDisplay, kScene, "v", -0.5, 0.1), 1);
    HC_Open_Segment_By_Key(m_segA);
    HC_Open_Segment("deeper/still");
    const HC_KEY low = Square(-3, -1, -3, -2.5f, 0);
    HC_Close_Segment();
    HC_Close_Segment();
    HC_Open_Segment_By_Key(m_model);
    HC_Open_Segment("new");
    const HC_KEY high = Square(-1, 1, 2, 2.8f, 0);
    HC_Close_Segment();
    HC_Close_Segment();
    ASSERT_EQ(HC_Compute_Selection(kDisplay, kScene, "v", -0.5, -2.75 / 3), 1);
    EXPECT_EQ(Found(), std::vector<HC_KEY>{low});
    ASSERT_EQ(HC_Compute_Selection(kDisplay, kScene, "v", 0.0, 2.4 / 3), 1);
    EXPECT_EQ(Found(), std::vector<HC_KEY>{high});
    EXPECT_TRUE(g_errors.empty());
}

TEST_F(HcSelectionTest, EveryPickableKindCanBeHit) {
    HC_Open_Segment("/driver/null/test/scene/kinds");
    const float poly[] = {-3, 2, 0, -2, 2.5f, 0, -1, 2, 0};
    const HC_KEY polyline = HC_Insert_Polyline(3, poly);
    const HC_KEY marker = HC_Insert_Marker(2, 2, 0);
    const HC_KEY text = HC_Insert_Text(0, -2, 0, "label");
    const float axis[] = {-3, -2.5f, 0, -1, -2.5f, 0};
    const float radius = 0.2f;
    const HC_KEY tube = HC_Insert_PolyCylinder(2, axis, 1, &radius, "both");
    const float c1[] = {1, -2.5f, 0}, c2[] = {3, -2.5f, 0};
    const HC_KEY cylinder = HC_Insert_Cylinder(c1, c2, 0.2, "none");
    const float outline[] = {-0.5f, 1.5f, 0, 0.5f, 1.5f, 0, 0, 2.5f, 0};
    const HC_KEY polygon = HC_Insert_Polygon(3, outline);
    const HC_KEY line = HC_Insert_Line(3.5, -2.9, 0, 3.5, 2.9, 0);
    HC_Close_Segment();
    const char* start = "/driver/null/test/scene/kinds";

    struct Case {
        double x, y; // world
        HC_KEY expected;
    } cases[] = {{-2.5, 2.25, polyline}, {2, 2, marker},    {0, -2, text},   {-2, -2.6, tube},
                 {2, -2.4, cylinder},    {0, 1.9, polygon}, {3.5, 0.3, line}};
    for (const Case& c : cases) {
        ASSERT_EQ(HC_Compute_Selection(kDisplay, start, "v", c.x / 4, c.y / 3), 1)
            << c.x << ", " << c.y;
        HC_KEY key;
        int o1, o2, o3;
        HC_Show_Selection_Element(&key, &o1, &o2, &o3);
        EXPECT_EQ(key, c.expected) << c.x << ", " << c.y;
    }
    // A polyline's offsets name the segment hit, nearer point first.
    ASSERT_EQ(HC_Compute_Selection(kDisplay, start, "v", -1.2 / 4, 2.1 / 3), 1);
    HC_KEY key;
    int o1, o2, o3;
    HC_Show_Selection_Element(&key, &o1, &o2, &o3);
    EXPECT_EQ(key, polyline);
    EXPECT_EQ(o1, 2);
    EXPECT_EQ(o2, 1);
    EXPECT_EQ(o3, -1);
    // Just beside the tube's surface nothing is hit.
    EXPECT_EQ(HC_Compute_Selection(kDisplay, start, "v", -2.0 / 4, -2.8 / 3), 0);
    EXPECT_TRUE(g_errors.empty()) << g_errors.front();
}

TEST_F(HcSelectionTest, TextWithLineBreaksIsPickedOverEveryLine) {
    HC_Open_Segment("/driver/null/test/scene/lines");
    HC_Set_Text_Font("size = 16 pixels");
    const HC_KEY text = HC_Insert_Text(0, 0, 0, "label");
    HC_Close_Segment();
    const char* start = "/driver/null/test/scene/lines";
    // One line is 16 pixels (0.16 world units here) high about its anchor: a pick a third of
    // a unit above misses it. Two more lines 1.2 em apart make the block 54.4 pixels high.
    const double above = 0.23 / 3;
    EXPECT_EQ(HC_Compute_Selection(kDisplay, start, "v", 0.0, above), 0);
    HC_Open_Segment("/driver/null/test/scene/lines");
    HC_Delete_By_Key(text);
    const HC_KEY lines = HC_Insert_Text(0, 0, 0, "label\nsecond\nthird");
    HC_Close_Segment();
    ASSERT_EQ(HC_Compute_Selection(kDisplay, start, "v", 0.0, above), 1);
    HC_KEY key;
    int o1, o2, o3;
    HC_Show_Selection_Element(&key, &o1, &o2, &o3);
    EXPECT_EQ(key, lines);
    EXPECT_EQ(HC_Compute_Selection(kDisplay, start, "v", 0.0, 0.4 / 3), 0);
    EXPECT_TRUE(g_errors.empty()) << g_errors.front();
}

TEST_F(HcSelectionTest, HolesAndLevelsOfDetailAreRespected) {
    HC_Open_Segment("/driver/null/test/scene/holed");
    // A 4 x 4 square with a 2 x 2 hole.
    const float pts[] = {-2, -2, 0, 2, -2, 0, 2, 2, 0, -2, 2, 0,
                         -1, -1, 0, 1, -1, 0, 1, 1, 0, -1, 1, 0};
    const int faces[] = {4, 0, 1, 2, 3, -4, 4, 5, 6, 7};
    const HC_KEY ring = HC_Insert_Shell(8, pts, 10, faces);
    HC_Close_Segment();
    const char* holed = "/driver/null/test/scene/holed";
    EXPECT_EQ(HC_Compute_Selection(kDisplay, holed, "v", 0, 0), 0);
    ASSERT_EQ(HC_Compute_Selection(kDisplay, holed, "v", 1.5 / 4, 0), 1);
    HC_KEY key;
    int o1, o2, o3;
    HC_Show_Selection_Element(&key, &o1, &o2, &o3);
    EXPECT_EQ(key, ring);

    // A shell whose level 1 is a different square: with "lod" on and the item tiny on the
    // screen, the level that is drawn is the one picked.
    HC_Open_Segment("/driver/null/test/scene/lod");
    const HC_KEY full = Square(-1, 0, -1, 0, 0);
    HC_Open_Geometry(full);
    HC_Open_LOD(1);
    Square(0, 1, 0, 1, 0);
    HC_Close_LOD();
    HC_Close_Geometry();
    HC_Close_Segment();
    const char* lod = "/driver/null/test/scene/lod";
    HC_Open_Segment(kScene);
    HC_Set_Camera_Field(80, 60); // a unit square is now about 14 pixels across
    HC_Close_Segment();
    EXPECT_EQ(HC_Compute_Selection(kDisplay, lod, "v", -0.5 / 40, -0.5 / 30), 1);
    EXPECT_EQ(HC_Compute_Selection(kDisplay, lod, "v", 0.5 / 40, 0.5 / 30), 0);
    HC_Open_Segment(lod);
    HC_Set_Rendering_Options("lod");
    HC_Close_Segment();
    EXPECT_EQ(HC_Compute_Selection(kDisplay, lod, "v", -0.5 / 40, -0.5 / 30), 0);
    ASSERT_EQ(HC_Compute_Selection(kDisplay, lod, "v", 0.5 / 40, 0.5 / 30), 1);
    HC_Show_Selection_Element(&key, &o1, &o2, &o3);
    EXPECT_EQ(key, full); // reported as the shell itself
    EXPECT_TRUE(g_errors.empty()) << g_errors.front();
}

TEST_F(HcSelectionTest, SubwindowsAndLargeShellsPickWhatIsShown) {
    // An inset in the right half of the window with its own camera.
    HC_Open_Segment("/driver/null/test/scene/inset");
    HC_Set_Window(0, 1, -1, 1);
    const float pos[3] = {0, 0, 10}, tgt[3] = {0, 0, 0}, up[3] = {0, 1, 0};
    HC_Set_Camera(pos, tgt, up, 2, 3, "orthographic");
    // A large shell: a strip of 200 quads from x = -1 to 1.
    std::vector<float> pts;
    std::vector<int> faces;
    for (int i = 0; i <= 200; ++i) {
        const float x = -1 + i * 0.01f;
        pts.insert(pts.end(), {x, -0.1f, 0, x, 0.1f, 0});
    }
    for (int i = 0; i < 200; ++i)
        faces.insert(faces.end(), {4, 2 * i, 2 * i + 2, 2 * i + 3, 2 * i + 1});
    const HC_KEY strip = HC_Insert_Shell(static_cast<int>(pts.size() / 3), pts.data(),
                                         static_cast<int>(faces.size()), faces.data());
    HC_Close_Segment();
    const char* inset = "/driver/null/test/scene/inset";
    // The inset's centre is outer window (0.5, 0); world x = 0.505 lies in quad 150.
    ASSERT_EQ(HC_Compute_Selection(kDisplay, inset, "v", 0.5 + 0.505 / 2, 0), 1);
    HC_KEY key;
    int o1, o2, o3;
    HC_Show_Selection_Element(&key, &o1, &o2, &o3);
    EXPECT_EQ(key, strip);
    EXPECT_EQ(o3, 150);
    float wx, wy, wz, x, y, z;
    HC_Show_Selection_Position(&wx, &wy, &wz, &x, &y, &z);
    EXPECT_NEAR(x, 0.505, 1e-4);
    // The part of the strip left of the inset is not shown there, so it cannot be picked.
    EXPECT_EQ(HC_Compute_Selection(kDisplay, inset, "v", -0.1, 0), 0);
    EXPECT_TRUE(g_errors.empty()) << g_errors.front();
}

TEST_F(HcSelectionTest, MisuseIsReportedAndLeavesNoSelection) {
    EXPECT_EQ(HC_Compute_Selection("/no/display", kScene, "v", 0, 0), 0);
    EXPECT_EQ(HC_Compute_Selection(kDisplay, "/elsewhere/entirely", "v", 0, 0), 0);
    HC_Create_Segment("/outside");
    EXPECT_EQ(HC_Compute_Selection(kDisplay, "/outside", "v", 0, 0), 0);
    EXPECT_EQ(HC_Compute_Selection(kDisplay, kScene, nullptr, 0, 0), 0);
    EXPECT_EQ(HC_Compute_Selection(kDisplay, kScene, "v", std::nan(""), 0), 0);
    EXPECT_EQ(g_errors.size(), 5u);
    g_errors.clear();
    HC_KEY key = 0;
    HC_Show_Selection_Element(&key, nullptr, nullptr, nullptr);
    EXPECT_EQ(key, -1);
    EXPECT_FALSE(HC_Find_Related_Selection());
    EXPECT_EQ(g_errors.size(), 1u);
}
