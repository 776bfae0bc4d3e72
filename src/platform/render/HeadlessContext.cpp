#include "platform/render/HeadlessContext.h"

#include "platform/render/GlApi.h"
#include "platform/render/WindowContextRelease.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstdio>

namespace ketra::render {

namespace {

struct Holder {
    std::unique_ptr<HeadlessContext> context;
    bool tried = false;
    std::string failure;
};

Holder& TheHolder() {
    static Holder holder;
    return holder;
}

void (*g_windowContextRelease)() = nullptr;

// A window's context current on this thread makes eglMakeCurrent fail (EGL_BAD_ACCESS).
void ReleaseWindowContext() {
    if (g_windowContextRelease)
        g_windowContextRelease();
}

std::string EglErrorText(const char* what) {
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "%s failed (EGL error 0x%04x)", what,
                  static_cast<unsigned>(eglGetError()));
    return buffer;
}

} // namespace

HeadlessContext* HeadlessContext::Existing() { return TheHolder().context.get(); }

void SetWindowContextRelease(void (*release)()) {
    g_windowContextRelease = release;
}

HeadlessContext* HeadlessContext::Acquire(std::string* error) {
    Holder& holder = TheHolder();
    ReleaseWindowContext();
    if (holder.context) {
        if (!holder.context->MakeCurrent()) {
            if (error) *error = EglErrorText("eglMakeCurrent");
            return nullptr;
        }
        return holder.context.get();
    }
    if (holder.tried) {
        if (error) *error = holder.failure;
        return nullptr;
    }
    holder.tried = true;

    auto fail = [&](std::string text) -> HeadlessContext* {
        holder.failure = "headless OpenGL unavailable: " + text;
        if (error) *error = holder.failure;
        return nullptr;
    };

    auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!getPlatformDisplay) return fail("eglGetPlatformDisplayEXT missing");
    EGLDisplay display =
        getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY) return fail(EglErrorText("surfaceless EGL display"));
    EGLint major = 0, minor = 0;
    if (!eglInitialize(display, &major, &minor)) return fail(EglErrorText("eglInitialize"));
    if (!eglBindAPI(EGL_OPENGL_API)) {
        eglTerminate(display);
        return fail(EglErrorText("eglBindAPI(OpenGL)"));
    }
    const EGLint attributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 3,
                                 EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                 EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT, EGL_NONE};
    EGLContext context = eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
    if (context == EGL_NO_CONTEXT) {
        eglTerminate(display);
        return fail(EglErrorText("eglCreateContext(OpenGL 3.3 core, no config)"));
    }
    std::unique_ptr<HeadlessContext> made(new HeadlessContext());
    made->m_display = display;
    made->m_context = context;
    if (!made->MakeCurrent()) return fail(EglErrorText("eglMakeCurrent"));
    const GLubyte* renderer = glGetString(GL_RENDERER);
    made->m_rendererName = renderer ? reinterpret_cast<const char*>(renderer) : "unknown";
    holder.context = std::move(made);
    return holder.context.get();
}

HeadlessContext::~HeadlessContext() {
    if (m_display) {
        eglMakeCurrent(m_display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        if (m_context) eglDestroyContext(m_display, m_context);
        eglTerminate(m_display);
    }
}

void HeadlessContext::Release() {
    if (m_display && eglGetCurrentContext() == m_context)
        eglMakeCurrent(m_display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
}

bool HeadlessContext::MakeCurrent() {
    if (eglGetCurrentContext() == m_context) return true;
    return eglMakeCurrent(m_display, EGL_NO_SURFACE, EGL_NO_SURFACE, m_context) == EGL_TRUE;
}

} // namespace ketra::render
