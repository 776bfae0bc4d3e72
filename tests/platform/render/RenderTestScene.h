// Helpers for headless picture tests: a display segment with a known camera, rendering to
// an image, and pixel predicates.
#pragma once

#include "platform/hc/hc.h"
#include "platform/render/Renderer.h"
#include "platform/render/SceneWalker.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace ketra::render::testing {

// A display below "/driver/null" looking down -Z at the origin with a 2 x 2 field (world x
// and y from -1 to 1 fill a square image). Deleted with everything below it at the end.
class TestScene {
public:
    explicit TestScene(const std::string& name, const char* projection = "orthographic") {
        m_path = "/driver/null/" + name;
        m_display = HC_Open_Segment(m_path.c_str());
        const float position[3] = {0, 0, 5}, target[3] = {0, 0, 0}, up[3] = {0, 1, 0};
        HC_Set_Camera(position, target, up, 2.0, 2.0, projection);
        HC_Set_Color("windows = white");
        HC_Close_Segment();
    }
    ~TestScene() { HC_Delete_By_Key(m_display); }
    TestScene(const TestScene&) = delete;
    TestScene& operator=(const TestScene&) = delete;

    HC_KEY Key() const { return m_display; }
    const std::string& Path() const { return m_path; }
    // Opens a subsegment of the display (relative path).
    HC_KEY Open(const std::string& child) { return HC_Open_Segment((m_path + "/" + child).c_str()); }

    Image Render(int width = 100, int height = 100, int mode = 0, int samples = 1) {
        SetRenderMode(m_display, mode);
        FrameSettings settings;
        settings.width = width;
        settings.height = height;
        settings.samples = samples;
        Image image;
        std::string error;
        EXPECT_TRUE(RenderToImage(m_display, settings, image, &error)) << error;
        Dump(image, mode);
        return image;
    }

private:
    // With KETRA_RENDER_DUMP=<folder> every picture is also written there as a PPM file,
    // for looking at a failing test.
    void Dump(const Image& image, int mode) {
        const char* folder = std::getenv("KETRA_RENDER_DUMP");
        if (!folder || image.Empty()) return;
        std::string name = m_path.substr(m_path.rfind('/') + 1);
        std::FILE* f = std::fopen((std::string(folder) + "/" + name + "_" + std::to_string(mode) + "_" +
                                   std::to_string(m_dumps++) + ".ppm").c_str(), "wb");
        if (!f) return;
        std::fprintf(f, "P6 %d %d 255\n", image.width, image.height);
        for (size_t i = 0; i < image.rgba.size(); i += 4) std::fwrite(&image.rgba[i], 1, 3, f);
        std::fclose(f);
    }
    int m_dumps = 0;
    std::string m_path;
    HC_KEY m_display = -1;
};

inline bool IsWhite(const Image::Pixel& p) { return p.r > 240 && p.g > 240 && p.b > 240; }
inline bool IsDark(const Image::Pixel& p) { return p.r < 90 && p.g < 90 && p.b < 90; }
// A lit surface of that colour: the channel clearly dominates (highlights add some white).
inline bool IsReddish(const Image::Pixel& p) { return p.r > 100 && p.r > p.g + 50 && p.r > p.b + 50; }
inline bool IsBluish(const Image::Pixel& p) { return p.b > 100 && p.b > p.r + 50 && p.b > p.g + 50; }

template <typename Predicate>
int CountPixels(const Image& image, Predicate predicate) {
    int n = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) n += predicate(image.At(x, y)) ? 1 : 0;
    return n;
}

// The draw list a walk of the scene records at size x size pixels in render mode `mode` (no GL
// needed).
inline DrawList Walk(const TestScene& scene, MeshCache& cache, int mode = 0, int size = 100) {
    WalkSettings settings;
    settings.width = settings.height = size;
    settings.renderMode = mode;
    DrawList list;
    std::string error;
    EXPECT_TRUE(BuildDrawList(scene.Key(), settings, cache, list, &error)) << error;
    return list;
}

// Skips the test when this machine cannot make a headless GL context.
#define KETRA_REQUIRE_GL()                                              \
    do {                                                                \
        std::string why_;                                               \
        if (!::ketra::render::HeadlessAvailable(&why_)) GTEST_SKIP() << why_; \
    } while (0)

} // namespace ketra::render::testing
