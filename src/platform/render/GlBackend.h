// Draws a DrawList with OpenGL 3.3 core into the bound framebuffer. Items of equal drawing
// state are merged into a few large vertex buffers (world space, colours baked in); each
// merged buffer is rebuilt only when the signature of its items (mesh stamps, matrices,
// colours) changes, so an unchanged scene costs a handful of draw calls per frame.
//
// One GlBackend belongs to one GL context; it must be used and destroyed while that context
// is current.
#pragma once

#include "platform/render/DrawList.h"
#include "platform/render/GlObjects.h"
#include "platform/render/ProgramVariant.h"

#include <memory>
#include <string>
#include <vector>

namespace ketra::render {

class TextRenderer;

struct GlStats {
    size_t drawCalls = 0;
    size_t triangles = 0;
    size_t culledChunks = 0;  // batches of faces left undrawn, wholly beside the view
    size_t rebuiltBatches = 0;
    size_t edgeSegments = 0;  // mesh edges sent to the line shader
    size_t bufferBytes = 0;   // vertex and index bytes the backend holds after the frame (all levels)
    std::vector<ProgramVariant> programs;  // the programs the frame drew with, in first-use order
};

class GlBackend {
public:
    GlBackend();
    ~GlBackend();
    GlBackend(const GlBackend&) = delete;
    GlBackend& operator=(const GlBackend&) = delete;

    // Compiles the programs. False with the compiler log when the context cannot run them.
    bool Initialize(std::string* error);

    // Draws the list into framebuffer `framebuffer` (already sized list.width x list.height,
    // or that divided by `divisor` for a reduced frame that the caller scales up).
    void Draw(const DrawList& list, GLuint framebuffer, int divisor = 1);

    const GlStats& LastStats() const { return m_stats; }

    // Backends given the same group (a GL context share group: contexts whose buffers every one
    // of them can draw from) fill each batch of faces once and draw it together. Null, the
    // default, shares nothing.
    void SetShareGroup(const void* group);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    GlStats m_stats;
};

} // namespace ketra::render
