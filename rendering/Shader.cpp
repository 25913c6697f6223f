#include "rendering/Shader.h"

#include "core/MessageText.h"
#include "core/Messages.h"

#include <GL/glew.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <memory>
#include <new>
#include <vector>

#include "core/Quotable.h"
#include "reader/InputFile.h"

namespace Rendering
{

namespace
{
const char* const c_CannotLoad = "Couldn't find/load Shader : \"";
const char* const c_CannotCompile = "Can't compile shader \"";
const char* const c_CannotLink = "Can't link shader program from \"";
const char* const c_Loaded = "Shader file \"";
const char* const c_UnknownParameter = "ERROR: \"";
constexpr std::size_t c_LogLines = 100;

// A driver's log, which may echo the source's text (an #error line), line by line as a
// terminal may show it, at most c_LogLines lines.
std::string printableLog(std::string_view log)
{
    std::size_t at = 0;
    std::string out;
    for (std::size_t line = 0; line < c_LogLines; ++line) {
        const std::size_t end = std::min(log.find('\n', at), log.size());
        out += Core::quotable(log.substr(at, end - at));
        if (end == log.size())
            return out;
        out += '\n';
        at = end + 1;
    }
    return out + "...[" + std::to_string(log.size()) + " bytes]";
}

// The driver's log of a shader or program object; `length` and `read` are the matching
// query and log entry points.
template <typename Query, typename Read>
std::string infoLog(GLuint object, Query length, Read read)
{
    GLint size = 0;
    length(object, GL_INFO_LOG_LENGTH, &size);
    std::vector<GLchar> buffer(static_cast<size_t>(size > 0 ? size : 0) + 1, '\0');
    GLsizei written = 0;
    read(object, static_cast<GLsizei>(buffer.size() - 1), &written, buffer.data());
    return printableLog(buffer.data());
}

std::string shaderLog(GLuint shader)
{
    return infoLog(
        shader, [](GLuint o, GLenum p, GLint* v) { glGetShaderiv(o, p, v); },
        [](GLuint o, GLsizei n, GLsizei* w, GLchar* b) { glGetShaderInfoLog(o, n, w, b); });
}

std::string programLog(GLuint program)
{
    return infoLog(
        program, [](GLuint o, GLenum p, GLint* v) { glGetProgramiv(o, p, v); },
        [](GLuint o, GLsizei n, GLsizei* w, GLchar* b) { glGetProgramInfoLog(o, n, w, b); });
}
} // namespace

Shader::Shader() : m_Program(0), m_VertexShader(0), m_FragmentShader(0), m_NoPicturesProgram(0) {}

Shader::Shader(const std::string& vertexFile, const std::string& fragmentFile)
    : m_Program(0), m_VertexShader(0), m_FragmentShader(0), m_NoPicturesProgram(0), m_VertexFile(vertexFile),
      m_FragmentFile(fragmentFile)
{
}

Shader::~Shader()
{
    release();
}

void Shader::release()
{
    // Names are non-zero only if GL made them, so no call reaches a missing context.
    if (m_VertexShader)
        glDeleteShader(m_VertexShader);
    if (m_FragmentShader)
        glDeleteShader(m_FragmentShader);
    if (m_Program)
        glDeleteProgram(m_Program);
    if (m_NoPicturesProgram)
        glDeleteProgram(m_NoPicturesProgram);
    m_VertexShader = m_FragmentShader = m_Program = m_NoPicturesProgram = 0;
}

bool Shader::shaderIsAvailable()
{
    return GLEW_ARB_shader_objects && GLEW_ARB_vertex_shader && GLEW_ARB_fragment_shader &&
           GLEW_ARB_shading_language_100;
}

char* Shader::load(const std::string& path)
{
    Reader::InputFile file(path);
    std::unique_ptr<char[]> text;
    std::size_t filled = 0;
    if (file.isOpen()) {
        text.reset(new (std::nothrow) char[file.size() + 1]);
        if (text && !file.read(text.get(), file.size(), filled))
            text.reset();
    }
    if (!text) {
        Core::Messages::send(Core::MessageLevel::Warning, Core::messageText(c_CannotLoad, Core::quotable(path), "\""));
        return nullptr;
    }
    // A file shortened while it was read ends where its bytes ended.
    text[filled] = '\0';
    return text.release();
}

unsigned int Shader::compile(unsigned int type, const char* source, const std::string& file)
{
    GLuint shader = glCreateShader(type);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint status = 1;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &status);
    if (status == 1)
        return shader;
    Core::Messages::send(Core::MessageLevel::Error,
                         Core::messageText(c_CannotCompile, Core::quotable(file), "\" : ", "\n", shaderLog(shader)),
                         true);
    glDeleteShader(shader);
    return 0;
}

bool Shader::init()
{
    release();
    const std::unique_ptr<char[]> vertexText(load(m_VertexFile));
    const std::unique_ptr<char[]> fragmentText(load(m_FragmentFile));
    if (!vertexText || !fragmentText)
        return false;

    m_VertexShader = compile(GL_VERTEX_SHADER, vertexText.get(), m_VertexFile);
    if (!m_VertexShader)
        return false;
    m_FragmentShader = compile(GL_FRAGMENT_SHADER, fragmentText.get(), m_FragmentFile);
    if (!m_FragmentShader)
        return false;

    m_Program = glCreateProgram();
    glAttachShader(m_Program, m_VertexShader);
    glAttachShader(m_Program, m_FragmentShader);
    glLinkProgram(m_Program);
    GLint linked = 0;
    glGetProgramiv(m_Program, GL_LINK_STATUS, &linked);
    if (linked != GL_TRUE) {
        // A program that did not link would fail every draw and uniform; keep none.
        Core::Messages::send(Core::MessageLevel::Error,
                             Core::messageText(c_CannotLink, Core::quotable(m_VertexFile), "\" and \"",
                                               Core::quotable(m_FragmentFile), "\" : ", "\n", programLog(m_Program)),
                             true);
        release();
        return false;
    }
    Core::Messages::send(Core::MessageLevel::Info,
                         Core::messageText(c_Loaded, Core::quotable(m_VertexFile), "\" loaded."));
    Core::Messages::send(Core::MessageLevel::Info,
                         Core::messageText(c_Loaded, Core::quotable(m_FragmentFile), "\" loaded."));
    if (std::strstr(fragmentText.get(), c_NoPictures))
        buildNoPictures(vertexText.get(), fragmentText.get());
    return true;
}

namespace
{
// The source with "#define <name>" on the line after its #version line, or first.
std::string withDefine(const char* text, const char* name)
{
    std::string source(text);
    std::string::size_type at = 0;
    const std::string::size_type version = source.find("#version");
    if (version != std::string::npos) {
        at = source.find('\n', version);
        at = at == std::string::npos ? source.size() : at + 1;
    }
    return source.insert(at, std::string("#define ") + name + "\n");
}

// True when every active uniform of the program is one of the two samplers.
bool onlySamplers(GLuint program)
{
    GLint count = 0;
    glGetProgramiv(program, GL_ACTIVE_UNIFORMS, &count);
    for (GLint i = 0; i < count; ++i) {
        GLchar name[64] = {};
        GLint size = 0;
        GLenum type = 0;
        glGetActiveUniform(program, static_cast<GLuint>(i), sizeof name, nullptr, &size, &type, name);
        if (std::strncmp(name, "gl_", 3) != 0 && std::strcmp(name, "TextureID") != 0 &&
            std::strcmp(name, "NormalsID") != 0)
            return false;
    }
    return true;
}
} // namespace

void Shader::buildNoPictures(const char* vertexText, const char* fragmentText)
{
    if (!onlySamplers(m_Program))
        return;
    const std::string vertex = withDefine(vertexText, c_NoPictures);
    const std::string fragment = withDefine(fragmentText, c_NoPictures);
    const GLuint vertexShader = compile(GL_VERTEX_SHADER, vertex.c_str(), m_VertexFile);
    const GLuint fragmentShader = vertexShader ? compile(GL_FRAGMENT_SHADER, fragment.c_str(), m_FragmentFile) : 0;
    if (fragmentShader) {
        m_NoPicturesProgram = glCreateProgram();
        glAttachShader(m_NoPicturesProgram, vertexShader);
        glAttachShader(m_NoPicturesProgram, fragmentShader);
        glLinkProgram(m_NoPicturesProgram);
        GLint linked = 0;
        glGetProgramiv(m_NoPicturesProgram, GL_LINK_STATUS, &linked);
        if (linked != GL_TRUE) {
            Core::Messages::send(Core::MessageLevel::Error,
                                 Core::messageText(c_CannotLink, Core::quotable(m_VertexFile), "\" and \"",
                                                   Core::quotable(m_FragmentFile), "\" with ", c_NoPictures, " : ",
                                                   "\n", programLog(m_NoPicturesProgram)),
                                 true);
            glDeleteProgram(m_NoPicturesProgram);
            m_NoPicturesProgram = 0;
        }
    }
    // The program keeps its stages alive while it lives.
    if (vertexShader)
        glDeleteShader(vertexShader);
    if (fragmentShader)
        glDeleteShader(fragmentShader);
}

bool Shader::applyNoPictures()
{
    if (!m_NoPicturesProgram || !glUseProgram)
        return false;
    GLint current = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    if (static_cast<GLuint>(current) != m_Program)
        return false;
    GLint active = GL_TEXTURE0, bound0 = 0, bound1 = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    glActiveTexture(GL_TEXTURE0);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound0);
    glActiveTexture(GL_TEXTURE1);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound1);
    glActiveTexture(static_cast<GLenum>(active));
    if (bound0 != 0 || bound1 != 0)
        return false;
    glUseProgram(m_NoPicturesProgram);
    return true;
}

void Shader::apply()
{
    if (glUseProgram)
        glUseProgram(m_Program);
}

void Shader::unApply()
{
    if (glUseProgram)
        glUseProgram(0);
}

int Shader::getParameterHandle(const char* name)
{
    const GLint location = glGetUniformLocationARB ? glGetUniformLocationARB(m_Program, name) : -1;
    if (location == -1) {
        Core::Messages::send(Core::MessageLevel::Fatal,
                             Core::messageText(c_UnknownParameter, Core::quotable(name), "\" unknown parameter..."),
                             true);
        std::exit(1);
    }
    return location;
}

void Shader::setParameter1f(const char* name, float a)
{
    glUniform1fARB(getParameterHandle(name), a);
}

void Shader::setParameter2f(const char* name, float a, float b)
{
    glUniform2fARB(getParameterHandle(name), a, b);
}

void Shader::setParameter3f(const char* name, float a, float b, float c)
{
    glUniform3fARB(getParameterHandle(name), a, b, c);
}

void Shader::setParameter4f(const char* name, float a, float b, float c, float d)
{
    glUniform4fARB(getParameterHandle(name), a, b, c, d);
}

void Shader::setParameter1fv(const char* name, const float* v)
{
    setParameterArray1f(name, 1, v);
}

void Shader::setParameter2fv(const char* name, const float* v)
{
    setParameterArray2f(name, 1, v);
}

void Shader::setParameter3fv(const char* name, const float* v)
{
    setParameterArray3f(name, 1, v);
}

void Shader::setParameter4fv(const char* name, const float* v)
{
    setParameterArray4f(name, 1, v);
}

void Shader::setParameterArray1f(const char* name, unsigned int count, const float* v)
{
    glUniform1fvARB(getParameterHandle(name), static_cast<GLsizei>(count), v);
}

void Shader::setParameterArray2f(const char* name, unsigned int count, const float* v)
{
    glUniform2fvARB(getParameterHandle(name), static_cast<GLsizei>(count), v);
}

void Shader::setParameterArray3f(const char* name, unsigned int count, const float* v)
{
    glUniform3fvARB(getParameterHandle(name), static_cast<GLsizei>(count), v);
}

void Shader::setParameterArray4f(const char* name, unsigned int count, const float* v)
{
    glUniform4fvARB(getParameterHandle(name), static_cast<GLsizei>(count), v);
}

void Shader::setParameter4x4fr(const char* name, const float* m)
{
    setParameterArray4x4fr(name, 1, m);
}

void Shader::setParameter4x4fc(const char* name, const float* m)
{
    setParameterArray4x4fc(name, 1, m);
}

void Shader::setParameterArray4x4fr(const char* name, unsigned int count, const float* m)
{
    glUniformMatrix4fvARB(getParameterHandle(name), static_cast<GLsizei>(count), GL_TRUE, m);
}

void Shader::setParameterArray4x4fc(const char* name, unsigned int count, const float* m)
{
    glUniformMatrix4fvARB(getParameterHandle(name), static_cast<GLsizei>(count), GL_FALSE, m);
}

void Shader::bindTexture(unsigned int target, const char* name, unsigned int texture, unsigned int unit)
{
    glActiveTexture(GL_TEXTURE0 + unit);
    glBindTexture(target, texture);
    glUniform1iARB(getParameterHandle(name), static_cast<GLint>(unit));
}

void Shader::setTexture1DParameter(const char* name, unsigned int texture, unsigned int unit)
{
    bindTexture(GL_TEXTURE_1D, name, texture, unit);
}

void Shader::setTexture2DParameter(const char* name, unsigned int texture, unsigned int unit)
{
    bindTexture(GL_TEXTURE_2D, name, texture, unit);
}

void Shader::setTexture3DParameter(const char* name, unsigned int texture, unsigned int unit)
{
    bindTexture(GL_TEXTURE_3D, name, texture, unit);
}

void Shader::setTextureRectangleParameter(const char* name, unsigned int texture, unsigned int unit)
{
    bindTexture(GL_TEXTURE_RECTANGLE_ARB, name, texture, unit);
}

void Shader::getUniform(const char* name, float* out)
{
    glGetUniformfvARB(m_Program, getParameterHandle(name), out);
}

void Shader::getParameter1f(const char* name, float* out)
{
    getUniform(name, out);
}

void Shader::getParameter2f(const char* name, float* out)
{
    getUniform(name, out);
}

void Shader::getParameter3f(const char* name, float* out)
{
    getUniform(name, out);
}

void Shader::getParameter4f(const char* name, float* out)
{
    getUniform(name, out);
}

void Shader::getParameter4x4fr(const char* name, float* out)
{
    getUniform(name, out);
}

void Shader::getParameter4x4fc(const char* name, float* out)
{
    getUniform(name, out);
}

void Shader::getParameterArray1f(const char* name, unsigned int, float* out)
{
    getUniform(name, out);
}

void Shader::getParameterArray2f(const char* name, unsigned int, float* out)
{
    getUniform(name, out);
}

void Shader::getParameterArray3f(const char* name, unsigned int, float* out)
{
    getUniform(name, out);
}

void Shader::getParameterArray4f(const char* name, unsigned int, float* out)
{
    getUniform(name, out);
}

void Shader::getParameterArray4x4fr(const char* name, unsigned int, float* out)
{
    getUniform(name, out);
}

void Shader::getParameterArray4x4fc(const char* name, unsigned int, float* out)
{
    getUniform(name, out);
}

} // namespace Rendering
