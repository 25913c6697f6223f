#include <GL/glew.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "rendering/Shader.h"
#include "support/GLTest.h"

using Rendering::Shader;
using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

namespace
{
const char* const c_Vertex = R"(#version 120
uniform float u1;
uniform vec2 u2;
uniform vec3 u3;
uniform vec4 u4;
uniform vec2 pairs[5];
uniform mat4 m;
void main()
{
    gl_Position = m * gl_Vertex + vec4(u1, u2, 0.0) + vec4(u3, 0.0) + u4 + vec4(pairs[0] + pairs[4], 0.0, 0.0);
})";
const char* const c_Fragment = R"(#version 120
uniform sampler2D TextureID;
uniform float unused;
void main()
{
    gl_FragColor = texture2D(TextureID, vec2(0.5));
})";
const char* const c_Broken = "#version 120\nvoid main() { gl_Position = no_such_thing; }\n";
// Compiles, but a program needs a main in each stage: the link fails.
const char* const c_NoMain = "#version 120\nvoid helper() {}\n";

class ShaderGLTest : public TestSupport::GLTest
{
protected:
    void SetUp() override
    {
        GLTest::SetUp();
        std::string pattern = (std::filesystem::temp_directory_path() / "shader-test-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_Dir = pattern;
    }
    void TearDown() override
    {
        Shader::unApply();
        std::error_code ignored;
        std::filesystem::remove_all(m_Dir, ignored);
        GLTest::TearDown();
    }

    std::string write(const std::string& name, const std::string& text)
    {
        const std::string path = (m_Dir / name).string();
        std::ofstream(path) << text;
        return path;
    }
    // A shader from the two texts; `linked` tells whether init() succeeded.
    std::unique_ptr<Shader> build(const char* vertex, const char* fragment, bool* linked = nullptr)
    {
        auto shader = std::make_unique<Shader>(write("a.vert", vertex), write("a.frag", fragment));
        const bool ok = shader->init();
        if (linked)
            *linked = ok;
        return shader;
    }
    static GLint current(GLenum what)
    {
        GLint value = -1;
        glGetIntegerv(what, &value);
        return value;
    }

    std::filesystem::path m_Dir;
};
} // namespace

TEST_F(ShaderGLTest, LinksAProgramAndSwitchesBetweenItAndTheFixedPipeline)
{
    ASSERT_TRUE(Shader::shaderIsAvailable());
    CaptureStdout();
    CaptureStderr();
    bool linked = false;
    auto shader = build(c_Vertex, c_Fragment, &linked);
    const std::string out = GetCapturedStdout(), err = GetCapturedStderr();
    EXPECT_TRUE(linked);
    EXPECT_TRUE(shader->isLinked());
    EXPECT_EQ(out, "Shader file \"" + shader->getVertexFile() + "\" loaded.\nShader file \"" +
                       shader->getFragmentFile() + "\" loaded.\n");
    EXPECT_EQ(err, "");

    shader->apply();
    EXPECT_EQ(current(GL_CURRENT_PROGRAM), static_cast<GLint>(shader->getProgram()));
    Shader::unApply();
    EXPECT_EQ(current(GL_CURRENT_PROGRAM), 0);

    // Building again replaces the program and frees the old objects.
    const GLuint oldProgram = shader->getProgram(), oldVertex = shader->getVertexShader();
    CaptureStdout();
    EXPECT_TRUE(shader->init());
    GetCapturedStdout();
    EXPECT_FALSE(glIsShader(oldVertex) && oldVertex != shader->getVertexShader());
    EXPECT_FALSE(glIsProgram(oldProgram) && oldProgram != shader->getProgram());
    EXPECT_NO_GL_ERROR();
}

TEST_F(ShaderGLTest, CompileFailureReportsTheFileOfTheFailingStage)
{
    CaptureStdout();
    CaptureStderr();
    auto vertexFails = build(c_Broken, c_Fragment);
    std::string out = GetCapturedStdout(), err = GetCapturedStderr();
    const std::string vertexHead = "Can't compile shader \"" + vertexFails->getVertexFile() + "\" : \n";
    EXPECT_EQ(err.rfind(vertexHead, 0), 0u) << err;
    EXPECT_GT(err.size(), vertexHead.size() + 2) << "the driver's log follows the report";
    EXPECT_EQ(out, "");
    // The fragment stage is never compiled.
    EXPECT_EQ(vertexFails->getVertexShader(), 0u);
    EXPECT_EQ(vertexFails->getFragmentShader(), 0u);
    EXPECT_FALSE(vertexFails->isLinked());

    CaptureStdout();
    CaptureStderr();
    auto fragmentFails = build(c_Vertex, c_Broken);
    out = GetCapturedStdout();
    err = GetCapturedStderr();
    EXPECT_EQ(err.rfind("Can't compile shader \"" + fragmentFails->getFragmentFile() + "\" : \n", 0), 0u) << err;
    EXPECT_EQ(out, "");
    EXPECT_FALSE(fragmentFails->isLinked());
    // The vertex stage compiled and stays until the shader goes.
    const GLuint vertex = fragmentFails->getVertexShader();
    EXPECT_TRUE(glIsShader(vertex));
    fragmentFails.reset();
    EXPECT_FALSE(glIsShader(vertex));
    EXPECT_NO_GL_ERROR();
}

TEST_F(ShaderGLTest, LinkFailureIsReportedAndLeavesNoProgram)
{
    CaptureStdout();
    CaptureStderr();
    bool linked = true;
    auto shader = build(c_Vertex, c_NoMain, &linked);
    const std::string out = GetCapturedStdout(), err = GetCapturedStderr();
    const std::string head = "Can't link shader program from \"" + shader->getVertexFile() + "\" and \"" +
                             shader->getFragmentFile() + "\" : \n";
    EXPECT_EQ(err.rfind(head, 0), 0u) << err;
    EXPECT_GT(err.size(), head.size() + 2) << "the driver's log follows the report";
    EXPECT_EQ(out, "");
    EXPECT_FALSE(linked);
    EXPECT_FALSE(shader->isLinked());
    EXPECT_EQ(shader->getVertexShader(), 0u);
    EXPECT_EQ(shader->getFragmentShader(), 0u);

    // Without a program, apply() leaves the fixed pipeline in use.
    shader->apply();
    EXPECT_EQ(current(GL_CURRENT_PROGRAM), 0);
    EXPECT_NO_GL_ERROR();
}

TEST_F(ShaderGLTest, UnreadableSourceIsReportedAndBuildsNothing)
{
    const std::string missing = (m_Dir / "missing.vert").string();
    CaptureStdout();
    EXPECT_EQ(Shader::load(missing), nullptr);
    EXPECT_EQ(Shader::load(m_Dir.string()), nullptr);
    EXPECT_EQ(GetCapturedStdout(), "Couldn't find/load Shader : \"" + missing + "\"\nCouldn't find/load Shader : \"" +
                                       m_Dir.string() + "\"\n");

    const std::unique_ptr<char[]> empty(Shader::load(write("empty.frag", "")));
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty[0], '\0');

    Shader shader(missing, write("ok.frag", c_Fragment));
    CaptureStdout();
    CaptureStderr();
    EXPECT_FALSE(shader.init());
    EXPECT_EQ(GetCapturedStdout(), "Couldn't find/load Shader : \"" + missing + "\"\n");
    EXPECT_EQ(GetCapturedStderr(), "");
    EXPECT_EQ(shader.getVertexShader() | shader.getFragmentShader() | shader.getProgram(), 0u);
}

TEST_F(ShaderGLTest, UniformsSetWhileInUseReadBack)
{
    CaptureStdout();
    auto shader = build(c_Vertex, c_Fragment);
    GetCapturedStdout();
    ASSERT_TRUE(shader->isLinked());
    shader->apply();

    float out[16] = {};
    shader->setParameter1f("u1", 1.5f);
    shader->getParameter1f("u1", out);
    EXPECT_EQ(out[0], 1.5f);
    shader->setParameter2f("u2", 1, 2);
    shader->getParameter2f("u2", out);
    EXPECT_EQ(std::vector<float>(out, out + 2), (std::vector<float>{1, 2}));
    shader->setParameter3f("u3", 3, 4, 5);
    shader->getParameter3f("u3", out);
    EXPECT_EQ(std::vector<float>(out, out + 3), (std::vector<float>{3, 4, 5}));
    shader->setParameter4f("u4", 6, 7, 8, 9);
    shader->getParameter4f("u4", out);
    EXPECT_EQ(std::vector<float>(out, out + 4), (std::vector<float>{6, 7, 8, 9}));

    const float v[10] = {10, 11, 12, 13, 14, 15, 16, 17, 18, 19};
    shader->setParameter1fv("u1", v);
    shader->getParameterArray1f("u1", 1, out);
    EXPECT_EQ(out[0], 10);
    shader->setParameter4fv("u4", v + 1);
    shader->getParameter4f("u4", out);
    EXPECT_EQ(std::vector<float>(out, out + 4), (std::vector<float>{11, 12, 13, 14}));
    shader->setParameterArray2f("pairs", 5, v);
    float first[2] = {}, last[2] = {};
    shader->getParameterArray2f("pairs", 5, first); // the count does not enter the read
    shader->getParameter2f("pairs[4]", last);
    EXPECT_EQ(std::vector<float>(first, first + 2), (std::vector<float>{10, 11}));
    EXPECT_EQ(std::vector<float>(last, last + 2), (std::vector<float>{18, 19}));

    float rows[16];
    for (int i = 0; i < 16; ++i)
        rows[i] = static_cast<float>(i);
    shader->setParameter4x4fc("m", rows);
    shader->getParameter4x4fc("m", out);
    EXPECT_EQ(std::vector<float>(out, out + 16), std::vector<float>(rows, rows + 16));
    shader->setParameter4x4fr("m", rows);
    float fromRows[16], fromColumns[16];
    shader->getParameter4x4fr("m", fromRows);
    shader->getParameterArray4x4fc("m", 1, fromColumns);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(fromRows[i], rows[(i % 4) * 4 + i / 4]) << "element " << i << " is transposed on upload";
        EXPECT_EQ(fromColumns[i], fromRows[i]) << "the getters never transpose";
    }
    EXPECT_NO_GL_ERROR();
}

TEST_F(ShaderGLTest, Texture2DParameterBindsOnTheUnitAndPointsTheSampler)
{
    CaptureStdout();
    auto shader = build(c_Vertex, c_Fragment);
    GetCapturedStdout();
    shader->apply();
    GLuint texture = 0;
    glGenTextures(1, &texture);
    GLint sampler = -1;
    for (GLuint unit : {1u, 0u}) {
        shader->setTexture2DParameter("TextureID", texture, unit);
        EXPECT_EQ(current(GL_ACTIVE_TEXTURE), static_cast<GLint>(GL_TEXTURE0 + unit));
        EXPECT_EQ(current(GL_TEXTURE_BINDING_2D), static_cast<GLint>(texture));
        glGetUniformiv(shader->getProgram(), shader->getParameterHandle("TextureID"), &sampler);
        EXPECT_EQ(sampler, static_cast<GLint>(unit));
    }
    glActiveTexture(GL_TEXTURE1);
    EXPECT_EQ(current(GL_TEXTURE_BINDING_2D), static_cast<GLint>(texture)) << "unit 1 keeps its binding";
    glBindTexture(GL_TEXTURE_2D, 0);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, 0);
    glDeleteTextures(1, &texture);
    EXPECT_NO_GL_ERROR();
}

TEST_F(ShaderGLTest, UnknownUniformEndsTheProcess)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const char* const message = "ERROR: \"%s\" unknown parameter\\.\\.\\.";
    auto expectExit = [&](const char* name, bool withProgram) {
        char pattern[128];
        std::snprintf(pattern, sizeof pattern, message, name);
        EXPECT_EXIT(
            {
                std::unique_ptr<Shader> shader = withProgram ? build(c_Vertex, c_Fragment) : std::make_unique<Shader>();
                shader->apply();
                shader->setParameter1f(name, 1.0f);
            },
            ::testing::ExitedWithCode(1), pattern)
            << name;
    };
    expectExit("nothing", true);
    expectExit("unused", true); // declared, but the linker drops what the program never reads
    expectExit("u1", false);    // no program linked
}
