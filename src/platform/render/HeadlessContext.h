// The process's headless OpenGL context: EGL on Mesa's surfaceless platform, OpenGL 3.3 core
// (or newer), no window. There are no default framebuffers; everything draws into framebuffer
// objects (OffscreenTarget), and viewport and scissor are always set by the caller.
#pragma once

#include <memory>
#include <string>

namespace ketra::render {

class HeadlessContext {
public:
    // The shared context, made on first use and current on return. Null (with the reason in
    // *error) when EGL or OpenGL 3.3 is not available. The first failure is remembered: later
    // calls fail at once with the same reason.
    static HeadlessContext* Acquire(std::string* error);
    // The shared context if it was made, current or not; never makes one.
    static HeadlessContext* Existing();

    ~HeadlessContext();
    HeadlessContext(const HeadlessContext&) = delete;
    HeadlessContext& operator=(const HeadlessContext&) = delete;

    // Makes this context current on the calling thread. Returns false if EGL refuses.
    bool MakeCurrent();
    // Leaves the calling thread with no EGL context when this one is current (so a window
    // system's context can be made current afterwards: GL dispatch keeps one API per thread).
    void Release();
    // "llvmpipe (LLVM ...)" or whatever GL_RENDERER says.
    const std::string& RendererName() const { return m_rendererName; }

private:
    HeadlessContext() = default;
    void* m_display = nullptr;  // EGLDisplay
    void* m_context = nullptr;  // EGLContext
    std::string m_rendererName;
};

} // namespace ketra::render
