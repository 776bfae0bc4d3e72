// RAII owners of GL object names. Each must be destroyed while the context that made it is
// current (the renderer keeps them inside objects bound to one context).
#pragma once

#include "platform/render/GlApi.h"

#include <string>
#include <utility>

namespace ketra::render {

template <void (*Delete)(GLuint)>
class GlName {
public:
    GlName() = default;
    explicit GlName(GLuint name) : m_name(name) {}
    ~GlName() { Reset(); }
    GlName(GlName&& other) noexcept : m_name(std::exchange(other.m_name, 0)) {}
    GlName& operator=(GlName&& other) noexcept {
        if (this != &other) {
            Reset();
            m_name = std::exchange(other.m_name, 0);
        }
        return *this;
    }
    GlName(const GlName&) = delete;
    GlName& operator=(const GlName&) = delete;

    GLuint Get() const { return m_name; }
    explicit operator bool() const { return m_name != 0; }
    void Reset() {
        if (m_name != 0) Delete(m_name);
        m_name = 0;
    }

private:
    GLuint m_name = 0;
};

namespace gldelete {
inline void Buffer(GLuint n) { glDeleteBuffers(1, &n); }
inline void VertexArray(GLuint n) { glDeleteVertexArrays(1, &n); }
inline void Texture(GLuint n) { glDeleteTextures(1, &n); }
inline void Framebuffer(GLuint n) { glDeleteFramebuffers(1, &n); }
inline void Renderbuffer(GLuint n) { glDeleteRenderbuffers(1, &n); }
inline void Program(GLuint n) { glDeleteProgram(n); }
} // namespace gldelete

using GlBuffer = GlName<gldelete::Buffer>;
using GlVertexArray = GlName<gldelete::VertexArray>;
using GlTexture = GlName<gldelete::Texture>;
using GlFramebuffer = GlName<gldelete::Framebuffer>;
using GlRenderbuffer = GlName<gldelete::Renderbuffer>;
using GlProgram = GlName<gldelete::Program>;

GlBuffer MakeBuffer();
GlVertexArray MakeVertexArray();
GlTexture MakeTexture();

// Compiles and links a program from GLSL 3.30 core sources. Returns an empty name and the
// compiler's log in *log on failure.
GlProgram MakeProgram(const char* vertexSource, const char* fragmentSource, std::string* log);
// The same with a geometry shader between them.
GlProgram MakeProgram(const char* vertexSource, const char* geometrySource,
                      const char* fragmentSource, std::string* log);

} // namespace ketra::render
