// Picking and coordinate conversion where the rendering option "mask transform" draws a
// subtree away from its unmasked place (notes facing the screen at a fixed size), and text
// picked over its whole extent.
#include "platform/hc/hc.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr const char* kDisplay = "/driver/null/masks";
constexpr const char* kScene = "/driver/null/masks/scene";

HC_KEY Square(float half) {
    const float pts[] = {-half, -half, 0, half, -half, 0, half, half, 0, -half, half, 0};
    const int faces[] = {4, 0, 1, 2, 3};
    return HC_Insert_Shell(4, pts, 5, faces);
}

HC_KEY PickAt(double x, double y) {
    if (HC_Compute_Selection(kDisplay, kScene, "v", x, y) == 0)
        return -1;
    HC_KEY key = -1;
    int o1, o2, o3;
    HC_Show_Selection_Element(&key, &o1, &o2, &o3);
    return key;
}

class HcMaskTransformTest : public ::testing::Test {
protected:
    void SetUp() override {
        HC_Reset_System();
        // 800 x 600 window, orthographic camera from +Z: window x = world x / 4, y = world y / 3.
        HC_Open_Segment(kScene);
        const float pos[3] = {0, 0, 10}, tgt[3] = {0, 0, 0}, up[3] = {0, 1, 0};
        HC_Set_Camera(pos, tgt, up, 8, 6, "orthographic");
        HC_Open_Segment("note");
        HC_Translate_Object(2, 1, 0);
        m_masked = HC_Open_Segment("masked");
        HC_Set_Rendering_Options("mask transform = (rotate, scale, perspective)");
        // One masked unit is half the window height (300 pixels): 30 pixels either side.
        m_square = Square(0.1f);
        HC_Close_Segment();
        HC_Close_Segment();
        HC_Close_Segment();
        HC_Create_Segment(kDisplay);
    }
    void TearDown() override { HC_Reset_System(); }

    void Zoom(double factor) {
        HC_Open_Segment(kScene);
        HC_Zoom_Camera(factor);
        HC_Close_Segment();
    }

    HC_KEY m_masked = -1, m_square = -1;
};

} // namespace

TEST_F(HcMaskTransformTest, AMaskedShapeIsHitWhereItIsDrawn) {
    // The anchor (2, 1) lies at window (0.5, 1/3); 25 pixels right is inside the drawn square
    // (30 pixels) and outside its unmasked place (0.1 world units = 10 pixels).
    const double ax = 0.5, ay = 1.0 / 3.0, px = 2.0 / 800;
    EXPECT_EQ(PickAt(ax + 25 * px, ay), m_square);
    EXPECT_EQ(PickAt(ax + 35 * px, ay), -1);
    // Zoomed out ten times: the anchor moves, the square keeps its size on screen.
    Zoom(0.1);
    EXPECT_EQ(PickAt(ax / 10 + 25 * px, ay / 10), m_square);
    EXPECT_EQ(PickAt(ax / 10 + 35 * px, ay / 10), -1);
}

TEST_F(HcMaskTransformTest, CoordinatesFollowTheMask) {
    const float corner[3] = {0.1f, 0.1f, 0};
    float out[3];
    HC_Open_Segment_By_Key(m_masked);
    HC_Close_Segment();
    std::string path = std::string(kScene) + "/note/masked";
    HC_Compute_Coordinates(path.c_str(), "object", corner, "outer pixels", out);
    // Anchor at pixel (600, 200); the corner 30 pixels right and up (y grows downwards).
    EXPECT_NEAR(out[0], 630, 0.5);
    EXPECT_NEAR(out[1], 170, 0.5);
    Zoom(4);
    HC_Compute_Coordinates(path.c_str(), "object", corner, "outer pixels", out);
    EXPECT_NEAR(out[0] - 400, (600 - 400) * 4 + 30, 0.5);
    // With the camera's scale kept ("oru" notes) the size follows the zoom.
    HC_Open_Segment_By_Key(m_masked);
    HC_Set_Rendering_Options("mask transform = (camera = (rotate, perspective), "
                             "modelling matrix = (rotate, scale))");
    HC_Close_Segment();
    float anchor[3];
    const float origin[3] = {0, 0, 0};
    HC_Compute_Coordinates(path.c_str(), "object", origin, "outer pixels", anchor);
    HC_Compute_Coordinates(path.c_str(), "object", corner, "outer pixels", out);
    // 0.1 world units at 4x zoom: 0.1 * 100 pixels per unit * 4.
    EXPECT_NEAR(out[0] - anchor[0], 40, 0.5);
}

TEST_F(HcMaskTransformTest, TextIsHitOverItsWholeExtent) {
    HC_Open_Segment(kScene);
    HC_Open_Segment("labels");
    HC_Set_Text_Font("size = 20 pixels");
    HC_Set_Text_Alignment("<*");
    // Without a measurer each character counts 0.6 em: 15 characters, 180 pixels.
    const HC_KEY text = HC_Insert_Text(-2, -1, 0, "a long label...");
    HC_Close_Segment();
    HC_Close_Segment();
    const double ax = -0.5, ay = -1.0 / 3.0, px = 2.0 / 800, py = 2.0 / 600;
    EXPECT_EQ(PickAt(ax + 100 * px, ay), text);
    EXPECT_EQ(PickAt(ax + 170 * px, ay + 8 * py), text);
    EXPECT_EQ(PickAt(ax + 250 * px, ay), -1);
    EXPECT_EQ(PickAt(ax - 20 * px, ay), -1);
    EXPECT_EQ(PickAt(ax + 100 * px, ay + 25 * py), -1);
}
