#include "platform/render/HeadlessContext.h"
#include "platform/render/OffscreenTarget.h"

#include <gtest/gtest.h>

using namespace ketra::render;


TEST(OffscreenTarget, ReadBackIsTopRowFirstWithOpaqueAlpha) {
    std::string error;
    HeadlessContext* context = HeadlessContext::Acquire(&error);
    if (!context) GTEST_SKIP() << error;
    for (int samples : {1, 4}) {
        OffscreenTarget target;
        ASSERT_TRUE(target.Resize(40, 30, samples, &error)) << error;
        target.Bind();
        glDisable(GL_SCISSOR_TEST);
        glClearColor(0.0f, 0.0f, 1.0f, 0.5f);
        glClear(GL_COLOR_BUFFER_BIT);
        // Red in GL's bottom rows (window y 0..9): must come out at the image's bottom.
        glEnable(GL_SCISSOR_TEST);
        glScissor(0, 0, 40, 10);
        glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glDisable(GL_SCISSOR_TEST);
        Image image;
        target.ReadBack(image);
        ASSERT_EQ(image.width, 40);
        ASSERT_EQ(image.height, 30);
        EXPECT_EQ(image.At(5, 29), (Image::Pixel{255, 0, 0, 255})) << samples;
        EXPECT_EQ(image.At(5, 20), (Image::Pixel{255, 0, 0, 255})) << samples;
        EXPECT_EQ(image.At(5, 0), (Image::Pixel{0, 0, 255, 255})) << samples;
        EXPECT_EQ(image.At(39, 19), (Image::Pixel{0, 0, 255, 255})) << samples;
    }
    EXPECT_FALSE(context->RendererName().empty());
}

TEST(OffscreenTarget, ResizeToANewSizeReallocates) {
    std::string error;
    if (!HeadlessContext::Acquire(&error)) GTEST_SKIP() << error;
    OffscreenTarget target;
    ASSERT_TRUE(target.Resize(8, 8, 1, &error));
    ASSERT_TRUE(target.Resize(17, 5, 4, &error));
    EXPECT_EQ(target.Width(), 17);
    EXPECT_EQ(target.Height(), 5);
    target.Bind();
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    Image image;
    target.ReadBack(image);
    EXPECT_EQ(image.rgba.size(), 17u * 5u * 4u);
    EXPECT_EQ(image.At(16, 4), (Image::Pixel{0, 255, 0, 255}));
    EXPECT_EQ(image.At(17, 4), (Image::Pixel{}));  // outside
}
