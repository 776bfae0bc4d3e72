#include "platform/render/GlObjects.h"

#include <vector>

namespace ketra::render {

GlBuffer MakeBuffer() {
    GLuint n = 0;
    glGenBuffers(1, &n);
    return GlBuffer(n);
}

GlVertexArray MakeVertexArray() {
    GLuint n = 0;
    glGenVertexArrays(1, &n);
    return GlVertexArray(n);
}

GlTexture MakeTexture() {
    GLuint n = 0;
    glGenTextures(1, &n);
    return GlTexture(n);
}

namespace {

GLuint Compile(GLenum type, const char* source, std::string* log) {
    GLuint shader = glCreateShader(type);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        GLint length = 0;
        glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
        std::vector<char> text(static_cast<size_t>(length) + 1, '\0');
        glGetShaderInfoLog(shader, length, nullptr, text.data());
        if (log) *log = std::string(type == GL_VERTEX_SHADER ? "vertex shader: " : "fragment shader: ") + text.data();
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

} // namespace

GlProgram MakeProgram(const char* vertexSource, const char* fragmentSource, std::string* log) {
    GLuint vs = Compile(GL_VERTEX_SHADER, vertexSource, log);
    if (!vs) return {};
    GLuint fs = Compile(GL_FRAGMENT_SHADER, fragmentSource, log);
    if (!fs) {
        glDeleteShader(vs);
        return {};
    }
    GLuint program = glCreateProgram();
    glAttachShader(program, vs);
    glAttachShader(program, fs);
    glLinkProgram(program);
    glDeleteShader(vs);
    glDeleteShader(fs);
    GLint ok = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (!ok) {
        GLint length = 0;
        glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
        std::vector<char> text(static_cast<size_t>(length) + 1, '\0');
        glGetProgramInfoLog(program, length, nullptr, text.data());
        if (log) *log = std::string("link: ") + text.data();
        glDeleteProgram(program);
        return {};
    }
    return GlProgram(program);
}

GlProgram MakeProgram(const char* vs, const char* gs, const char* fs, std::string* log) {
    auto compile = [&](GLenum type, const char* source) -> GLuint {
        GLuint shader = glCreateShader(type);
        glShaderSource(shader, 1, &source, nullptr);
        glCompileShader(shader);
        GLint ok = 0;
        glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
        if (!ok) {
            char text[2048] = "";
            glGetShaderInfoLog(shader, sizeof text, nullptr, text);
            if (log) *log = std::string("shader: ") + text;
            glDeleteShader(shader);
            return 0;
        }
        return shader;
    };
    GLuint shaders[3] = {compile(GL_VERTEX_SHADER, vs), compile(GL_GEOMETRY_SHADER, gs), compile(GL_FRAGMENT_SHADER, fs)};
    if (!shaders[0] || !shaders[1] || !shaders[2]) {
        for (GLuint s : shaders)
            if (s) glDeleteShader(s);
        return {};
    }
    GLuint program = glCreateProgram();
    for (GLuint s : shaders) glAttachShader(program, s);
    glLinkProgram(program);
    for (GLuint s : shaders) glDeleteShader(s);
    GLint ok = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (!ok) {
        char text[2048] = "";
        glGetProgramInfoLog(program, sizeof text, nullptr, text);
        if (log) *log = std::string("link: ") + text;
        glDeleteProgram(program);
        return {};
    }
    return GlProgram(program);
}

} // namespace ketra::render
