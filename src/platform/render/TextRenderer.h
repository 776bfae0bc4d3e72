// Text for the GL backend: fonts found through fontconfig (so "Arial" resolves to its metric
// twin Liberation Sans), glyphs rasterised by FreeType into one coverage atlas texture, and
// strings laid out into pixel-space quads.
#pragma once

#include "platform/render/DrawList.h"
#include "platform/render/GlObjects.h"
#include "platform/hc/HcExtras.h"

#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace ketra::render {

struct TextVertex {
    float x, y, z;   // pixels (origin bottom-left), window depth 0..1
    float u, v;      // atlas coordinates
    std::uint32_t color;
};

// Font file path for a family name through fontconfig ("" when fontconfig finds nothing).
std::string FindFontFile(const std::string& family);

class TextRenderer {
public:
    TextRenderer();
    ~TextRenderer();
    TextRenderer(const TextRenderer&) = delete;
    TextRenderer& operator=(const TextRenderer&) = delete;

    // Baselines of a text with line breaks are this many ems apart.
    static constexpr float kLineSpacing = static_cast<float>(hc::kTextLineSpacing);
    // Distance between baselines at `pixelHeight` (rounded as the glyphs are).
    static float LineAdvance(float pixelHeight);

    // Appends two triangles per visible glyph of `text` at `pixelHeight` pixels (the em
    // size), aligned about the anchor (pixels, origin bottom-left) as text.alignX/alignY say.
    // A '\n' starts a new line below; each line is aligned on its own horizontally and the
    // block as a whole vertically.
    // `rotation` (radians, counter-clockwise) turns the string about the anchor.
    // Returns false when no font could be loaded.
    bool Layout(const TextDraw& text, float anchorX, float anchorY, float depth, float pixelHeight,
                float rotation, std::vector<TextVertex>& out);

    // The atlas (GL_R8), uploading glyphs added since the last call. Needs a current context.
    GLuint Atlas();

    // Measures the string (width and height in pixels of its layout box, every line) without
    // drawing.
    bool Measure(const TextDraw& text, float pixelHeight, float& width, float& height);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace ketra::render
