#include <iostream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/Messages.h"

#include "rendering/Shader.h"
#include "support/GLTest.h"
#include "support/PictureFiles.h"

using Rendering::Shader;
using namespace testing::internal;
using TestSupport::current;

namespace
{
const char* const c_Vertex = R"(#version 120
uniform float u1;
uniform vec2 u2;
uniform vec3 u3;
uniform vec4 u4;
uniform vec2 pairs[5];
uniform mat4 m;
void main() { gl_Position = m * gl_Vertex + vec4(u1, u2, 0.0) + vec4(u3, 0.0) + u4 + vec4(pairs[0] + pairs[4], 0, 0); })";
const char* const c_Fragment = R"(#version 120
uniform sampler2D TextureID;
uniform float unused;
void main() { gl_FragColor = texture2D(TextureID, vec2(0.5)); })";
const char* const c_Broken = "#version 120\nvoid main() { gl_Position = no_such_thing; }\n";
// Compiles, but a program needs a main in each stage: the link fails.
const char* const c_NoMain = "#version 120\nvoid helper() {}\n";

class ShaderGLTest : public TestSupport::GLTest
{
protected:
    void TearDown() override
    {
        Shader::unApply();
        GLTest::TearDown();
    }

    std::string write(const std::string& name, const std::string& text)
    {
        TestSupport::writeFile(m_Dir.path(name), text);
        return m_Dir.path(name);
    }
    // A shader built from the two texts; what init() wrote to each stream goes to m_Out and m_Err.
    std::unique_ptr<Shader> build(const char* vertex, const char* fragment)
    {
        auto shader = std::make_unique<Shader>(write("a.vert", vertex), write("a.frag", fragment));
        CaptureStdout();
        CaptureStderr();
        shader->init();
        m_Out = GetCapturedStdout();
        m_Err = GetCapturedStderr();
        return shader;
    }

    TestSupport::TempDir m_Dir;
    std::string m_Out, m_Err;
};
} // namespace

TEST_F(ShaderGLTest, LinksOrReportsEachFailureWithTheDriversLogAndLeavesNoProgram)
{
    ASSERT_TRUE(Shader::shaderIsAvailable());
    auto shader = build(c_Vertex, c_Fragment);
    const std::string v = shader->getVertexFile(), f = shader->getFragmentFile();
    EXPECT_TRUE(shader->isLinked());
    EXPECT_EQ(m_Out + m_Err, "Shader file \"" + v + "\" loaded.\nShader file \"" + f + "\" loaded.\n");
    shader->apply();
    EXPECT_EQ(current(GL_CURRENT_PROGRAM), static_cast<GLint>(shader->getProgram()));
    Shader::unApply();
    EXPECT_EQ(current(GL_CURRENT_PROGRAM), 0);

    struct Case
    {
        const char *vertex, *fragment;
        std::string head; // the report's first line
    };
    for (const Case& c :
         {Case{c_Broken, c_Fragment, "Can't compile shader \"" + v + "\" : \n"},
          Case{c_Vertex, c_Broken, "Can't compile shader \"" + f + "\" : \n"},
          Case{c_Vertex, c_NoMain, "Can't link shader program from \"" + v + "\" and \"" + f + "\" : \n"}}) {
        shader = build(c.vertex, c.fragment);
        EXPECT_EQ(m_Err.rfind(c.head, 0), 0u) << m_Err;
        EXPECT_GT(m_Err.size(), c.head.size() + 2) << "the driver's log follows the report";
        EXPECT_EQ(m_Out, "");
        EXPECT_FALSE(shader->isLinked());
        EXPECT_EQ(shader->getFragmentShader(), 0u) << "a failed or skipped stage leaves no object";
        if (c.fragment == c_Broken) {
            // The vertex stage compiled; it stays until the shader goes.
            const GLuint vertex = shader->getVertexShader();
            EXPECT_TRUE(glIsShader(vertex));
            shader.reset();
            EXPECT_FALSE(glIsShader(vertex));
        } else {
            EXPECT_EQ(shader->getVertexShader(), 0u);
            shader->apply();
            EXPECT_EQ(current(GL_CURRENT_PROGRAM), 0) << "without a program the fixed pipeline draws";
        }
    }
}

TEST_F(ShaderGLTest, UnreadableSourceIsReportedAndBuildsNothing)
{
    const std::string folder = m_Dir.path(""), missing = m_Dir.path("missing.vert");
    CaptureStdout();
    EXPECT_EQ(Shader::load(folder), nullptr);
    Shader shader(missing, write("ok.frag", c_Fragment));
    EXPECT_FALSE(shader.init());
    EXPECT_EQ(GetCapturedStdout(), "File refused : \"" + folder +
                                       "\" is a directory, not a regular file.\nCouldn't find/load Shader : \"" +
                                       folder + "\"\nCouldn't find/load Shader : \"" + missing + "\"\n");
    EXPECT_EQ(shader.getVertexShader() | shader.getFragmentShader() | shader.getProgram(), 0u);
    const std::unique_ptr<char[]> empty(Shader::load(write("empty.frag", "")));
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty[0], '\0');
}

// A file's name, and its text that the driver's log echoes (#error), reach the terminal
// escaped: the report stays plain lines.
TEST_F(ShaderGLTest, ReportsQuoteFileNamesAndTheDriversLogEscaped)
{
    const std::string fragment = write("b\x1b[2J.frag", "#version 120\n#error \x1b]0;owned\x07\nvoid main() {}\n");
    Shader shader(write("a.vert", c_Vertex), fragment);
    CaptureStdout();
    CaptureStderr();
    EXPECT_FALSE(shader.init());
    const std::string out = GetCapturedStdout(), err = GetCapturedStderr();
    EXPECT_EQ(out, "");
    EXPECT_EQ(err.rfind("Can't compile shader \"" + m_Dir.path("b\\x1B[2J.frag") + "\" : \n", 0), 0u) << err;
    EXPECT_NE(err.find("\\x1B]0;owned\\x07"), std::string::npos) << err;
    for (char c : err)
        ASSERT_TRUE(c == '\n' || (static_cast<unsigned char>(c) >= 0x20 && c != 0x7f)) << err;
}

TEST_F(ShaderGLTest, UniformsAndSamplersSetWhileInUseReadBack)
{
    auto shader = build(c_Vertex, c_Fragment);
    ASSERT_TRUE(shader->isLinked());
    shader->apply();
    float v[16], out[16];
    for (int i = 0; i < 16; ++i)
        v[i] = static_cast<float>(i + 1);
    auto read = [&](void (Shader::*get)(const char*, float*), const char* name, int n) {
        std::fill(out, out + 16, -1.0f);
        (shader.get()->*get)(name, out);
        return std::vector<float>(out, out + n);
    };
    auto values = [&](int n, int from = 0) { return std::vector<float>(v + from, v + from + n); };
    shader->setParameter1f("u1", 1);
    EXPECT_EQ(read(&Shader::getParameter1f, "u1", 1), values(1));
    shader->setParameter2f("u2", 1, 2);
    EXPECT_EQ(read(&Shader::getParameter2f, "u2", 2), values(2));
    shader->setParameter4f("u4", 1, 2, 3, 4);
    EXPECT_EQ(read(&Shader::getParameter4f, "u4", 4), values(4));
    shader->setParameter4fv("u4", v + 4);
    EXPECT_EQ(read(&Shader::getParameter4f, "u4", 4), values(4, 4));
    shader->setParameterArray2f("pairs", 5, v);
    EXPECT_EQ(read(&Shader::getParameter2f, "pairs[4]", 2), values(2, 8)) << "all five pairs were set";
    shader->setParameter4x4fc("m", v);
    EXPECT_EQ(read(&Shader::getParameter4x4fc, "m", 16), values(16));
    shader->setParameter4x4fr("m", v);
    const std::vector<float> fromRows = read(&Shader::getParameter4x4fr, "m", 16);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(fromRows[i], v[(i % 4) * 4 + i / 4]) << "element " << i << " is transposed on upload";

    // A sampler: the unit becomes active, the texture is bound there, the sampler names it.
    GLuint texture = 0;
    glGenTextures(1, &texture);
    for (GLuint unit : {1u, 0u}) {
        shader->setTexture2DParameter("TextureID", texture, unit);
        EXPECT_EQ(current(GL_ACTIVE_TEXTURE), static_cast<GLint>(GL_TEXTURE0 + unit));
        EXPECT_EQ(current(GL_TEXTURE_BINDING_2D), static_cast<GLint>(texture));
        GLint sampler = -1;
        glGetUniformiv(shader->getProgram(), shader->getParameterHandle("TextureID"), &sampler);
        EXPECT_EQ(sampler, static_cast<GLint>(unit));
        glBindTexture(GL_TEXTURE_2D, 0);
    }
    glDeleteTextures(1, &texture);
}

TEST_F(ShaderGLTest, UnknownUniformEndsTheProcess)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // "unused" is declared, but the linker drops what the program never reads; a shader
    // without program has no uniform at all.
    for (const auto& [name, linked] : {std::pair{"nothing", true}, {"unused", true}, {"u1", false}}) {
        EXPECT_EXIT(
            {
                auto shader = linked ? build(c_Vertex, c_Fragment) : std::make_unique<Shader>();
                shader->apply();
                shader->setParameter1f(name, 1.0f);
            },
            ::testing::ExitedWithCode(1), std::string("ERROR: \"") + name + "\" unknown parameter\\.\\.\\.");
    }
}

// The program without pictures: built only when the fragment source asks for it and the
// program's only uniforms are the two samplers, used only while both units hold texture 0.
TEST_F(ShaderGLTest, ProgramWithoutPicturesIsBuiltWhenAskedAndUsedOnlyWithoutPictures)
{
    const char* const vertex = "#version 120\nvoid main() { gl_Position = gl_Vertex; }\n";
    const char* const fragment = R"(#version 120
uniform sampler2D TextureID;
uniform sampler2D NormalsID;
void main()
{
#ifdef TESSELLON_NO_PICTURES
    gl_FragColor = vec4(1.0, 0.0, 0.0, 1.0);
#else
    gl_FragColor = texture2D(TextureID, vec2(0.5)) * texture2D(NormalsID, vec2(0.5)) * vec4(0.0, 1.0, 0.0, 1.0);
#endif
})";
    auto shader = build(vertex, fragment);
    ASSERT_TRUE(shader->hasNoPicturesProgram()) << m_Err;
    EXPECT_FALSE(shader->applyNoPictures()) << "not while the program is not in use";
    shader->apply();
    GLuint texture = 0;
    glGenTextures(1, &texture);
    for (GLenum unit : {GL_TEXTURE1, GL_TEXTURE0}) {
        glActiveTexture(unit);
        glBindTexture(GL_TEXTURE_2D, texture);
        EXPECT_FALSE(shader->applyNoPictures()) << "a picture is bound on unit " << unit - GL_TEXTURE0;
        EXPECT_EQ(current(GL_CURRENT_PROGRAM), static_cast<GLint>(shader->getProgram()));
        glBindTexture(GL_TEXTURE_2D, 0);
    }
    glDeleteTextures(1, &texture);
    ASSERT_TRUE(shader->applyNoPictures());
    EXPECT_EQ(current(GL_CURRENT_PROGRAM), static_cast<GLint>(shader->getNoPicturesProgram()));
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glRectd(-1, -1, 1, 1);
    const std::vector<std::uint8_t> drawn = readPixels(512, 364, 1, 1);
    EXPECT_EQ(std::vector<std::uint8_t>(drawn.begin(), drawn.begin() + 3), (std::vector<std::uint8_t>{255, 0, 0}));
    shader->apply();
    EXPECT_EQ(current(GL_CURRENT_PROGRAM), static_cast<GLint>(shader->getProgram()));

    // Not asked for, or with a uniform of its own that the other program would not get.
    EXPECT_FALSE(build(vertex, c_Fragment)->hasNoPicturesProgram());
    std::string used(fragment);
    used.insert(used.find("void main"), "uniform float tint;\n");
    used.insert(used.find(";\n#endif"), " * tint");
    EXPECT_FALSE(build(vertex, used.c_str())->hasNoPicturesProgram());
}

// With a sink, the reports that go to standard error, the start-up lines and the uniform
// stop reach the sink with their levels, and nothing is printed.
TEST_F(ShaderGLTest, ReportsStartUpLinesAndTheUniformStopReachTheSink)
{
    std::vector<std::pair<Core::MessageLevel, std::string>> received;
    const Core::Messages::Sink before = Core::Messages::setSink(
        [&received](Core::MessageLevel level, const std::string& text) { received.emplace_back(level, text); });
    auto shader = build(c_Broken, c_Fragment);
    const std::string startUp = TestSupport::GLTest::startUp();
    Core::Messages::setSink(before);
    EXPECT_EQ(m_Out + m_Err + startUp, "");
    ASSERT_EQ(received.size(), 3u);
    EXPECT_EQ(received[0].first, Core::MessageLevel::Error);
    EXPECT_EQ(received[0].second.rfind("Can't compile shader \"" + shader->getVertexFile() + "\" : \n", 0), 0u);
    EXPECT_EQ(received[1], std::make_pair(Core::MessageLevel::Info, std::string("Initializing OpenGL :  OK")));
    EXPECT_EQ(received[2], std::make_pair(Core::MessageLevel::Info, std::string("Initializing GLEW & Shader :  OK")));
    // Printed, the start-up lines read as they always did.
    EXPECT_EQ(TestSupport::GLTest::startUp(), "Initializing OpenGL :  OK\nInitializing GLEW & Shader :  OK\n");

    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            Core::Messages::setSink([](Core::MessageLevel level, const std::string& text) {
                std::cerr << "sink " << static_cast<int>(level) << ": " << text << std::endl;
            });
            auto linked = build(c_Vertex, c_Fragment);
            linked->apply();
            linked->setParameter1f("nothing", 1.0f);
        },
        ::testing::ExitedWithCode(1), "sink 3: ERROR: \"nothing\" unknown parameter\\.\\.\\.");
}
