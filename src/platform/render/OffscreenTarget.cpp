#include "platform/render/OffscreenTarget.h"

#include <cstring>

namespace ketra::render {

namespace {

GlRenderbuffer MakeStorage(GLenum format, int samples, int width, int height) {
    GLuint name = 0;
    glGenRenderbuffers(1, &name);
    glBindRenderbuffer(GL_RENDERBUFFER, name);
    if (samples > 1)
        glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, format, width, height);
    else
        glRenderbufferStorage(GL_RENDERBUFFER, format, width, height);
    return GlRenderbuffer(name);
}

GlFramebuffer MakeFramebuffer(GLuint color, GLuint depth) {
    GLuint name = 0;
    glGenFramebuffers(1, &name);
    glBindFramebuffer(GL_FRAMEBUFFER, name);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, color);
    if (depth)
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER,
                                  depth);
    return GlFramebuffer(name);
}

} // namespace

bool OffscreenTarget::Resize(int width, int height, int samples, std::string* error) {
    samples = samples > 1 ? 4 : 1;
    if (width == m_width && height == m_height && samples == m_samples && m_drawFbo) return true;
    m_drawFbo.Reset();
    m_resolveFbo.Reset();
    m_color = MakeStorage(GL_RGBA8, samples, width, height);
    m_depth = MakeStorage(GL_DEPTH24_STENCIL8, samples, width, height);
    m_drawFbo = MakeFramebuffer(m_color.Get(), m_depth.Get());
    bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    if (complete && samples > 1) {
        m_resolveColor = MakeStorage(GL_RGBA8, 1, width, height);
        m_resolveFbo = MakeFramebuffer(m_resolveColor.Get(), 0);
        complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    } else {
        m_resolveColor.Reset();
    }
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    if (!complete) {
        if (error)
            *error = "framebuffer of " + std::to_string(width) + "x" + std::to_string(height) +
                     " pixels with " + std::to_string(samples) + " samples is incomplete";
        m_drawFbo.Reset();
        m_width = m_height = m_samples = 0;
        return false;
    }
    m_width = width;
    m_height = height;
    m_samples = samples;
    return true;
}

void OffscreenTarget::Bind() const {
    glBindFramebuffer(GL_FRAMEBUFFER, m_drawFbo.Get());
    glViewport(0, 0, m_width, m_height);
    glScissor(0, 0, m_width, m_height);
}

void OffscreenTarget::BlitTo(GLuint framebuffer, int width, int height) const {
    glBindFramebuffer(GL_READ_FRAMEBUFFER, m_drawFbo.Get());
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer);
    glDisable(GL_SCISSOR_TEST);
    glBlitFramebuffer(0, 0, m_width, m_height, 0, 0, width, height, GL_COLOR_BUFFER_BIT, GL_LINEAR);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
}

void OffscreenTarget::ReadBack(Image& out) {
    GLuint source = m_drawFbo.Get();
    if (m_samples > 1) {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, m_drawFbo.Get());
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, m_resolveFbo.Get());
        glDisable(GL_SCISSOR_TEST);
        glBlitFramebuffer(0, 0, m_width, m_height, 0, 0, m_width, m_height, GL_COLOR_BUFFER_BIT,
                          GL_NEAREST);
        source = m_resolveFbo.Get();
    }
    glBindFramebuffer(GL_READ_FRAMEBUFFER, source);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    out.width = m_width;
    out.height = m_height;
    out.rgba.assign(static_cast<size_t>(m_width) * m_height * 4, 0);
    glReadPixels(0, 0, m_width, m_height, GL_RGBA, GL_UNSIGNED_BYTE, out.rgba.data());
    // GL rows run bottom-up; images run top-down.
    const size_t stride = static_cast<size_t>(m_width) * 4;
    std::vector<std::uint8_t> row(stride);
    for (int y = 0; y < m_height / 2; ++y) {
        std::uint8_t* a = out.rgba.data() + stride * y;
        std::uint8_t* b = out.rgba.data() + stride * (m_height - 1 - y);
        std::memcpy(row.data(), a, stride);
        std::memcpy(a, b, stride);
        std::memcpy(b, row.data(), stride);
    }
    for (size_t i = 3; i < out.rgba.size(); i += 4) out.rgba[i] = 255;
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

} // namespace ketra::render
