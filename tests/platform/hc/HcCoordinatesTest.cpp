// Coordinate spaces of segments: round trips, known images, subwindows, transforms, bounds.
#include "platform/hc/hc.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<std::string> g_errors;

void Capture(int, int, int, const char* function, const char* message) {
    g_errors.push_back(std::string(function) + ": " + message);
}

class HcCoordinatesTest : public ::testing::Test {
protected:
    void SetUp() override {
        HC_Reset_System();
        HC_Define_Error_Handler(Capture);
        g_errors.clear();
    }
    void TearDown() override { HC_Reset_System(); }

    // A display with a camera on "scene" and a transformed "part" below it.
    void BuildScene(const char* projection) {
        HC_Open_Segment("/driver/null/test");
        HC_Set_Driver_Options("window size = (800 pixels, 600 pixels)");
        HC_Open_Segment("scene");
        const float pos[3] = {6, -8, 5}, tgt[3] = {1, 1, 0}, up[3] = {0, 0, 1};
        HC_Set_Camera(pos, tgt, up, 6, 4, projection);
        HC_Open_Segment("part");
        HC_Rotate_Object(10, 20, 30);
        HC_Translate_Object(1, 2, -1);
        HC_Scale_Object(2, 0.5, 1.5);
        HC_Close_Segment();
        HC_Close_Segment();
        HC_Close_Segment();
    }
};

void ExpectNear(const float* a, const float* b, float tol) {
    EXPECT_NEAR(a[0], b[0], tol);
    EXPECT_NEAR(a[1], b[1], tol);
    EXPECT_NEAR(a[2], b[2], tol);
}

} // namespace

TEST_F(HcCoordinatesTest, ObjectToPixelsAndBackRoundTrips) {
    const char* spaces[] = {"world",        "viewpoint",    "local window",
                            "outer window", "local pixels", "outer pixels"};
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> u(-1.5f, 1.5f);
    for (const char* projection : {"perspective", "orthographic", "stretched"}) {
        HC_Reset_System();
        HC_Define_Error_Handler(Capture);
        BuildScene(projection);
        for (int i = 0; i < 20; ++i) {
            const float object[3] = {u(rng), u(rng), u(rng)};
            for (const char* space : spaces) {
                float there[3], back[3];
                HC_Compute_Coordinates("/driver/null/test/scene/part", "object", object, space,
                                       there);
                HC_Compute_Coordinates("/driver/null/test/scene/part", space, there, "object",
                                       back);
                ExpectNear(back, object, 2e-3f);
            }
        }
    }
    EXPECT_TRUE(g_errors.empty()) << g_errors.front();
}

TEST_F(HcCoordinatesTest, KnownImagesOfTheCameraField) {
    HC_Open_Segment("/driver/null/test/scene");
    const float pos[3] = {0, 0, 10}, tgt[3] = {0, 0, 0}, up[3] = {0, 1, 0};
    HC_Set_Camera(pos, tgt, up, 2, 2, "orthographic");
    HC_Close_Segment();
    const char* seg = "/driver/null/test/scene";
    float out[3];
    // The target is the window's centre at depth 0.
    const float origin[3] = {0, 0, 0};
    HC_Compute_Coordinates(seg, "world", origin, "local window", out);
    const float centre[3] = {0, 0, 0};
    ExpectNear(out, centre, 1e-6f);
    // An 800 x 600 window widens a 2 x 2 field to 8/3 x 2.
    const float corner[3] = {1, 1, 0};
    HC_Compute_Coordinates(seg, "world", corner, "local window", out);
    const float expected[3] = {0.75f, 1, 0};
    ExpectNear(out, expected, 1e-6f);
    // Pixels: the upper-left corner is (0, 0), y grows downward.
    const float topLeft[3] = {-1, 1, 0};
    HC_Compute_Coordinates(seg, "local window", topLeft, "local pixels", out);
    const float zero[3] = {0, 0, 0};
    ExpectNear(out, zero, 1e-4f);
    // Viewpoint: camera at the origin, +z toward the target.
    HC_Compute_Coordinates(seg, "world", origin, "viewpoint", out);
    const float ahead[3] = {0, 0, 10};
    ExpectNear(out, ahead, 1e-5f);
    // A window point at depth 0 lies on the target plane.
    const float winPoint[3] = {0.5f, -0.5f, 0};
    HC_Compute_Coordinates(seg, "local window", winPoint, "world", out);
    const float onPlane[3] = {0.5f * 4.f / 3.f, -0.5f, 0};
    ExpectNear(out, onPlane, 1e-5f);
    EXPECT_TRUE(g_errors.empty());
}

TEST_F(HcCoordinatesTest, SubwindowsMapIntoTheirParentsWindow) {
    HC_Open_Segment("/driver/null/test/scene");
    const float pos[3] = {0, 0, 10}, tgt[3] = {0, 0, 0}, up[3] = {0, 1, 0};
    HC_Set_Camera(pos, tgt, up, 2, 2, "stretched");
    HC_Open_Segment("inset");
    HC_Set_Window(0, 1, 0, 1); // the upper-right quarter
    HC_Close_Segment();
    HC_Close_Segment();
    const char* inset = "/driver/null/test/scene/inset";
    const float centre[3] = {0, 0, 0};
    float out[3];
    HC_Compute_Coordinates(inset, "local window", centre, "outer window", out);
    const float quarter[3] = {0.5f, 0.5f, 0};
    ExpectNear(out, quarter, 1e-6f);
    // Local pixels count from the inset's own corner: its centre is (200, 150).
    HC_Compute_Coordinates(inset, "local window", centre, "local pixels", out);
    const float insetPixels[3] = {200, 150, 0};
    ExpectNear(out, insetPixels, 1e-3f);
    HC_Compute_Coordinates(inset, "local window", centre, "outer pixels", out);
    const float outerPixels[3] = {600, 150, 0};
    ExpectNear(out, outerPixels, 1e-3f);
    // The world origin lands in the inset's centre.
    HC_Compute_Coordinates(inset, "world", centre, "outer window", out);
    ExpectNear(out, quarter, 1e-6f);
    EXPECT_TRUE(g_errors.empty());
}

TEST_F(HcCoordinatesTest, TransformMatchesPointConversion) {
    BuildScene("perspective");
    const char* seg = "/driver/null/test/scene/part";
    float m[16];
    HC_Compute_Transform(seg, "object", "outer pixels", m);
    const float p[3] = {0.3f, -0.2f, 0.7f};
    float viaMatrix[3], viaPoint[3];
    HC_Compute_Transformed_Points(1, p, m, viaMatrix);
    HC_Compute_Coordinates(seg, "object", p, "outer pixels", viaPoint);
    ExpectNear(viaMatrix, viaPoint, 1e-2f);

    // object -> world is the net modelling matrix.
    float net[16], toWorld[16];
    HC_Open_Segment(seg);
    HC_Show_Net_Modelling_Matrix(net);
    HC_Compute_Transform(".", "object", "world", toWorld);
    HC_Close_Segment();
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(toWorld[i], net[i], 1e-5f) << i;
    EXPECT_TRUE(g_errors.empty());
}

TEST_F(HcCoordinatesTest, PathsThroughIncludesUseTheIncludingCamera) {
    HC_Open_Segment("/model");
    HC_Translate_Object(5, 0, 0);
    HC_Close_Segment();
    HC_Open_Segment("/driver/null/test/scene");
    const float pos[3] = {5, 0, 10}, tgt[3] = {5, 0, 0}, up[3] = {0, 1, 0};
    HC_Set_Camera(pos, tgt, up, 2, 2, "orthographic");
    const HC_KEY include = HC_Include_Segment("/model");
    const HC_KEY scene = HC_KShow_Open_Segment();
    HC_Close_Segment();
    const HC_KEY model = HC_Show_Include_Segment(include, nullptr);
    const HC_KEY path[] = {model, include, scene};
    const float origin[3] = {0, 0, 0};
    float out[3];
    HC_Compute_Coordinates_By_Path(3, path, "object", origin, "local window", out);
    const float centre[3] = {0, 0, 0};
    ExpectNear(out, centre, 1e-6f);
    EXPECT_TRUE(g_errors.empty());
}

TEST_F(HcCoordinatesTest, BadArgumentsAreReported) {
    BuildScene("perspective");
    const float p[3] = {1, 2, 3};
    float out[3] = {9, 9, 9};
    HC_Compute_Coordinates("/driver/null/test/scene", "object", p, "screen", out);
    HC_Compute_Coordinates("/no/such", "object", p, "world", out);
    HC_Compute_Coordinates("/driver/null/test/scene", "object", nullptr, "world", out);
    HC_Compute_Coordinates(nullptr, "object", p, "world", out);
    float m[16];
    HC_Compute_Transform("/driver/null/test/scene", "galactic", "world", m);
    const HC_KEY bogus[] = {-999999};
    HC_Compute_Coordinates_By_Path(1, bogus, "object", p, "world", out);
    EXPECT_EQ(g_errors.size(), 6u);
    EXPECT_EQ(out[0], 9);

    // A flattening modelling matrix has no way back to object space.
    g_errors.clear();
    HC_Open_Segment("/flat");
    HC_Scale_Object(1, 0, 1);
    HC_Close_Segment();
    HC_Compute_Coordinates("/flat", "world", p, "object", out);
    EXPECT_EQ(g_errors.size(), 1u);
}

TEST_F(HcCoordinatesTest, CircumcuboidsApplyTransformsBelowTheSegment) {
    HC_Open_Segment("/top");
    const float tri[] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    const int faces[] = {3, 0, 1, 2};
    const HC_KEY shell = HC_Insert_Shell(3, tri, 4, faces);
    HC_Open_Segment("moved");
    HC_Translate_Object(10, 0, 0);
    HC_Scale_Object(2, 2, 2); // applies after the translation: (20, 0, 0) .. (22, 2, 0)
    HC_Insert_Marker(0, 0, 1);
    HC_Insert_Marker(1, 1, 1);
    HC_Close_Segment();
    HC_Scale_Object(100, 100, 100); // the segment's own matrix is not part of its bounds
    HC_Close_Segment();

    float lo[3], hi[3];
    ASSERT_TRUE(HC_Compute_Circumcuboid("/top", lo, hi));
    const float eLo[3] = {0, 0, 0}, eHi[3] = {22, 2, 2};
    ExpectNear(lo, eLo, 1e-5f);
    ExpectNear(hi, eHi, 1e-5f);
    ASSERT_TRUE(HC_Compute_Circumcuboid_By_Key(shell, lo, hi));
    const float sHi[3] = {1, 1, 0};
    ExpectNear(hi, sHi, 1e-6f);

    float c[3], r = 0;
    ASSERT_TRUE(HC_Compute_Circumsphere("/top/moved", c, &r));
    const float cc[3] = {0.5f, 0.5f, 1};
    ExpectNear(c, cc, 1e-6f);
    EXPECT_NEAR(r, std::sqrt(0.5f), 1e-6f);

    // Bounds follow changes.
    HC_Open_Segment("/top/moved");
    HC_Insert_Marker(0, 0, 50);
    HC_Close_Segment();
    ASSERT_TRUE(HC_Compute_Circumcuboid("/top", lo, hi));
    EXPECT_NEAR(hi[2], 100, 1e-4f);

    // Taking the matrix off again brings the child's own box back.
    HC_Open_Segment("/top/moved");
    HC_UnSet_Modelling_Matrix();
    HC_Close_Segment();
    ASSERT_TRUE(HC_Compute_Circumcuboid("/top", lo, hi));
    const float uHi[3] = {1, 1, 50};
    ExpectNear(hi, uHi, 1e-5f);

    // An included segment counts with its own matrix and follows changes made inside it.
    HC_Open_Segment("/lib");
    HC_Insert_Marker(0, 0, 0);
    HC_Translate_Object(0, 0, -10);
    HC_Close_Segment();
    HC_Open_Segment("/top");
    HC_Include_Segment("/lib");
    HC_Close_Segment();
    ASSERT_TRUE(HC_Compute_Circumcuboid("/top", lo, hi));
    EXPECT_NEAR(lo[2], -10, 1e-5f);
    HC_Open_Segment("/lib");
    HC_Insert_Marker(0, 0, -5);
    HC_Close_Segment();
    ASSERT_TRUE(HC_Compute_Circumcuboid("/top", lo, hi));
    EXPECT_NEAR(lo[2], -15, 1e-5f);

    // Nothing to bound.
    HC_Create_Segment("/empty");
    EXPECT_FALSE(HC_Compute_Circumcuboid("/empty", lo, hi));
    EXPECT_TRUE(g_errors.empty());
}
