#include "platform/render/TextRenderer.h"

#include "platform/render/MeshBuilder.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

namespace ketra::render {

std::string FindFontFile(const std::string& family) {
    static std::map<std::string, std::string> memo;
    auto found = memo.find(family);
    if (found != memo.end()) return found->second;
    std::string path;
    if (FcInit()) {
        const std::string wanted = family == "sans serif" || family == "system default" ? "sans-serif" : family;
        FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(wanted.c_str()));
        if (pattern) {
            FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
            FcDefaultSubstitute(pattern);
            FcResult result = FcResultNoMatch;
            FcPattern* match = FcFontMatch(nullptr, pattern, &result);
            if (match) {
                FcChar8* file = nullptr;
                if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file)
                    path = reinterpret_cast<const char*>(file);
                FcPatternDestroy(match);
            }
            FcPatternDestroy(pattern);
        }
    }
    memo[family] = path;
    return path;
}

namespace {

constexpr int kAtlasSize = 2048;

struct Glyph {
    int atlasX = 0, atlasY = 0, width = 0, height = 0;
    int bearingX = 0, bearingY = 0;
    float advance = 0;
};

} // namespace

struct TextRenderer::Impl {
    FT_Library library = nullptr;
    std::map<std::string, FT_Face> faces;  // by file path
    std::map<std::tuple<FT_Face, int, char32_t>, Glyph> glyphs;
    std::vector<std::uint8_t> atlas = std::vector<std::uint8_t>(static_cast<size_t>(kAtlasSize) * kAtlasSize, 0);
    int shelfX = 1, shelfY = 1, shelfHeight = 0;
    bool dirty = true;
    GlTexture texture;

    ~Impl() {
        for (auto& [path, face] : faces)
            if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }

    FT_Face FaceFor(const std::string& family) {
        if (!library && FT_Init_FreeType(&library) != 0) return nullptr;
        std::string path = FindFontFile(family);
        if (path.empty()) path = FindFontFile("sans-serif");
        if (path.empty()) return nullptr;
        auto found = faces.find(path);
        if (found != faces.end()) return found->second;
        FT_Face face = nullptr;
        if (FT_New_Face(library, path.c_str(), 0, &face) != 0) face = nullptr;
        faces[path] = face;
        return face;
    }

    const Glyph* GlyphFor(FT_Face face, int pixels, char32_t code) {
        auto key = std::make_tuple(face, pixels, code);
        auto found = glyphs.find(key);
        if (found != glyphs.end()) return &found->second;
        FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixels));
        Glyph glyph;
        if (FT_Load_Char(face, code, FT_LOAD_RENDER) == 0) {
            const FT_Bitmap& bitmap = face->glyph->bitmap;
            glyph.width = static_cast<int>(bitmap.width);
            glyph.height = static_cast<int>(bitmap.rows);
            glyph.bearingX = face->glyph->bitmap_left;
            glyph.bearingY = face->glyph->bitmap_top;
            glyph.advance = static_cast<float>(face->glyph->advance.x) / 64.0f;
            if (glyph.width > 0 && glyph.height > 0 && glyph.width < kAtlasSize - 2 && glyph.height < kAtlasSize - 2) {
                if (shelfX + glyph.width + 1 >= kAtlasSize) {
                    shelfX = 1;
                    shelfY += shelfHeight + 1;
                    shelfHeight = 0;
                }
                if (shelfY + glyph.height + 1 >= kAtlasSize) {
                    // Full: start again (glyphs of this frame re-rasterise as needed).
                    glyphs.clear();
                    std::fill(atlas.begin(), atlas.end(), 0);
                    shelfX = shelfY = 1;
                    shelfHeight = 0;
                }
                glyph.atlasX = shelfX;
                glyph.atlasY = shelfY;
                for (int row = 0; row < glyph.height; ++row)
                    std::memcpy(&atlas[static_cast<size_t>(shelfY + row) * kAtlasSize + shelfX],
                                bitmap.buffer + static_cast<std::ptrdiff_t>(row) * bitmap.pitch,
                                static_cast<size_t>(glyph.width));
                shelfX += glyph.width + 1;
                shelfHeight = std::max(shelfHeight, glyph.height);
                dirty = true;
            } else {
                glyph.width = glyph.height = 0;
            }
        }
        return &(glyphs[key] = glyph);
    }
};

TextRenderer::TextRenderer() : m_impl(std::make_unique<Impl>()) {}
TextRenderer::~TextRenderer() = default;

namespace {

// The lines of a string: ranges split at '\n', a '\r' before it dropped.
std::vector<std::u32string_view> SplitLines(const std::u32string& text) {
    std::vector<std::u32string_view> lines;
    const std::u32string_view all(text);
    size_t start = 0;
    for (;;) {
        const size_t end = all.find(U'\n', start);
        std::u32string_view line = all.substr(start, end == std::u32string_view::npos ? std::u32string_view::npos : end - start);
        if (!line.empty() && line.back() == U'\r') line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::u32string_view::npos) return lines;
        start = end + 1;
    }
}

}  // namespace

float TextRenderer::LineAdvance(float pixelHeight) {
    return kLineSpacing * static_cast<float>(std::clamp(static_cast<int>(std::lround(pixelHeight)), 1, 512));
}

bool TextRenderer::Measure(const TextDraw& text, float pixelHeight, float& width, float& height) {
    FT_Face face = m_impl->FaceFor(text.fontName);
    if (!face) return false;
    const int pixels = std::clamp(static_cast<int>(std::lround(pixelHeight)), 1, 512);
    const std::vector<std::u32string_view> lines = SplitLines(text.text);
    width = 0;
    for (std::u32string_view line : lines) {
        float lineWidth = 0;
        for (char32_t c : line) lineWidth += m_impl->GlyphFor(face, pixels, c)->advance;
        width = std::max(width, lineWidth);
    }
    height = static_cast<float>(pixels) + static_cast<float>(lines.size() - 1) * LineAdvance(pixelHeight);
    return true;
}

bool TextRenderer::Layout(const TextDraw& text, float anchorX, float anchorY, float depth, float pixelHeight,
                          float rotation, std::vector<TextVertex>& out) {
    FT_Face face = m_impl->FaceFor(text.fontName);
    if (!face) return false;
    const int pixels = std::clamp(static_cast<int>(std::lround(pixelHeight)), 1, 512);
    const std::vector<std::u32string_view> lines = SplitLines(text.text);
    // The layout box of a line: ascent above the baseline about 0.75 of the em, descent 0.25.
    // Lines stack downwards; the block as a whole is aligned vertically about the anchor.
    const float ascent = 0.75f * pixels, descent = 0.25f * pixels;
    const float advance = LineAdvance(pixelHeight);
    const float below = static_cast<float>(lines.size() - 1) * advance;  // first to last baseline
    float baseline = text.alignY == '^' ? -ascent
                     : (text.alignY == 'v' ? descent + below : (descent - ascent + below) / 2);
    const float cs = std::cos(rotation), sn = std::sin(rotation);
    const std::uint32_t color = PackColor(text.color);
    const float inv = 1.0f / kAtlasSize;
    for (std::u32string_view line : lines) {
        float width = 0;
        for (char32_t c : line) width += m_impl->GlyphFor(face, pixels, c)->advance;
        float penX = text.alignX == '<' ? 0.0f : (text.alignX == '>' ? -width : -width / 2);
        for (char32_t c : line) {
            const Glyph* g = m_impl->GlyphFor(face, pixels, c);
            if (g->width > 0) {
                const float x0 = penX + g->bearingX, x1 = x0 + g->width;
                const float y1 = baseline + g->bearingY, y0 = y1 - g->height;
                const float u0 = g->atlasX * inv, u1 = (g->atlasX + g->width) * inv;
                const float v0 = g->atlasY * inv, v1 = (g->atlasY + g->height) * inv;  // v0: top row
                auto vertex = [&](float lx, float ly, float u, float v) {
                    out.push_back({anchorX + lx * cs - ly * sn, anchorY + lx * sn + ly * cs, depth, u, v, color});
                };
                vertex(x0, y0, u0, v1);
                vertex(x1, y0, u1, v1);
                vertex(x1, y1, u1, v0);
                vertex(x0, y0, u0, v1);
                vertex(x1, y1, u1, v0);
                vertex(x0, y1, u0, v0);
            }
            penX += g->advance;
        }
        baseline -= advance;
    }
    return true;
}

GLuint TextRenderer::Atlas() {
    if (!m_impl->texture) {
        m_impl->texture = MakeTexture();
        glBindTexture(GL_TEXTURE_2D, m_impl->texture.Get());
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        m_impl->dirty = true;
    }
    glBindTexture(GL_TEXTURE_2D, m_impl->texture.Get());
    if (m_impl->dirty) {
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_R8, kAtlasSize, kAtlasSize, 0, GL_RED, GL_UNSIGNED_BYTE, m_impl->atlas.data());
        m_impl->dirty = false;
    }
    return m_impl->texture.Get();
}

} // namespace ketra::render
