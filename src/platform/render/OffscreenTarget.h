// A framebuffer object to draw a frame into, with a depth buffer and optional multisampling,
// and its read-back into an Image (rows flipped to top-first).
#pragma once

#include "platform/render/GlObjects.h"
#include "platform/render/Renderer.h"

namespace ketra::render {

class OffscreenTarget {
public:
    OffscreenTarget() = default;

    // (Re)allocates for width x height with `samples` (1 or 4) when the size or sample count
    // changed. Needs a current context. False with a message on an incomplete framebuffer.
    bool Resize(int width, int height, int samples, std::string* error);
    // Binds the drawing framebuffer and sets viewport and scissor to the whole target.
    void Bind() const;
    // Resolves multisampling (if any) and reads the colour buffer into `out`.
    void ReadBack(Image& out);

    // Scales the (single-sampled) colour buffer up or down into `framebuffer`, filling its
    // width x height pixels with linear filtering.
    void BlitTo(GLuint framebuffer, int width, int height) const;

    GLuint DrawFramebuffer() const { return m_drawFbo.Get(); }
    int Width() const { return m_width; }
    int Height() const { return m_height; }

private:
    int m_width = 0, m_height = 0, m_samples = 0;
    GlFramebuffer m_drawFbo, m_resolveFbo;
    GlRenderbuffer m_color, m_depth, m_resolveColor;
};

} // namespace ketra::render
