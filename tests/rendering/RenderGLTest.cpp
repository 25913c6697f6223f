#include <GL/glew.h>
#include <GL/freeglut.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "core/Board.h"
#include "rendering/Camera.h"
#include "rendering/HUD.h"
#include "rendering/Input.h"
#include "rendering/Render.h"
#include "rendering/Shader.h"
#include "support/GLTest.h"
#include "support/GLWindow.h"

// After gtest: Xlib's macros (None, Bool) clash with its names.
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <dlfcn.h>

using Rendering::Render;

namespace
{
using RenderGLTest = TestSupport::GLTest;

std::string windowTitle()
{
    return TestSupport::GLWindow::instance().title();
}

GLint current(GLenum what)
{
    GLint value = -1;
    glGetIntegerv(what, &value);
    return value;
}

// Counts its draws and notes the program in use at each: the overlay is drawn right after
// the pick pass, with no change of program between them.
class CountingHUD final : public Rendering::HUD
{
public:
    void draw() override
    {
        ++draws;
        programs.push_back(current(GL_CURRENT_PROGRAM));
    }
    int draws = 0;
    std::vector<GLint> programs;
};

const Vec4<double> c_BoardColour(0.35, 0.25, 0.1, 1.0);

// GLSL sources in a folder of their own, removed with it.
class SourceFolder
{
public:
    SourceFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "render-shader-XXXXXX").string();
        if (mkdtemp(pattern.data()))
            m_Dir = pattern;
    }
    ~SourceFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_Dir, ignored);
    }
    std::string path(const std::string& name) const { return (m_Dir / name).string(); }
    std::string write(const std::string& name, const std::string& text) const
    {
        std::ofstream(path(name)) << text;
        return path(name);
    }

private:
    std::filesystem::path m_Dir;
};

const char* const c_Transform = "#version 120\nvoid main() { gl_Position = ftransform(); }";
const char* const c_Magenta = "#version 120\nvoid main() { gl_FragColor = vec4(1.0, 0.0, 1.0, 1.0); }";

// The render's start-up builds the program named by the two files; returns what it wrote.
std::string build(const std::string& vertex, const std::string& fragment)
{
    Render::instance().setShaderFiles(vertex, fragment);
    return RenderGLTest::startUp();
}

bool g_KeepFrames = false;
std::vector<std::uint8_t> g_LastFrame;

// The picture of the last frame, taken when it was swapped onto the screen (the back
// buffer is undefined after a swap, the screen may be covered by other windows):
// RGB bytes, rows bottom-up.
const std::vector<std::uint8_t>& shownFrame()
{
    return g_LastFrame;
}

// The shown pixel at window position (x, y), y downward.
std::vector<std::uint8_t> shownPixel(const std::vector<std::uint8_t>& frame, int x, int y)
{
    const auto at = frame.begin() + ((727 - y) * 1024 + x) * 3;
    return std::vector<std::uint8_t>(at, at + 3);
}

// Keeps the picture of every frame swapped while alive.
struct FrameKeeper
{
    FrameKeeper() { g_KeepFrames = true; }
    ~FrameKeeper() { g_KeepFrames = false; }
};
} // namespace

// GLUT's swap comes here first: the back buffer is read before it is shown.
extern "C" void glXSwapBuffers(Display* display, GLXDrawable drawable)
{
    using Swap = void (*)(Display*, GLXDrawable);
    static const Swap swap = reinterpret_cast<Swap>(dlsym(RTLD_NEXT, "glXSwapBuffers"));
    if (g_KeepFrames) {
        g_LastFrame.assign(1024u * 728u * 3u, 0);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadBuffer(GL_BACK);
        glReadPixels(0, 0, 1024, 728, GL_RGB, GL_UNSIGNED_BYTE, g_LastFrame.data());
    }
    swap(display, drawable);
}

TEST_F(RenderGLTest, OneWindowAndOneDefaultLightPerProcess)
{
    // A second window is refused; the first stays usable.
    EXPECT_FALSE(Render::instance().openWindow());
    EXPECT_EQ(Render::instance().getLights().size(), 1u);
}

TEST_F(RenderGLTest, GlutErrorsAfterStartUpEndTheProcessPlainly)
{
    // GLUT's own handler is back after start-up: it reports and exits, where a handler
    // that returned would let GLUT go on with no window.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            glutDestroyWindow(glutGetWindow());
            Render::instance().countFrame(1e12);
            std::exit(0);
        },
        ::testing::ExitedWithCode(1), "freeglut \\(main\\): .*no current window");
}

TEST_F(RenderGLTest, TitleShowsTheFrameCountOncePerSecond)
{
    Render& render = Render::instance();
    render.setParams("Counter", Vec3<double>(1, 1, 1), nullptr);
    // Far beyond any real clock value, so the first call rewrites the title.
    const double base = 1e12;
    render.countFrame(base);
    // What it shows counts the frames other tests drew; it stays until a second passed.
    const std::string first = windowTitle();
    EXPECT_EQ(first.rfind("Counter - ", 0), 0u);
    for (int i = 0; i < 4; ++i)
        render.countFrame(base + 250.0 * i);
    render.countFrame(base + 999.0);
    EXPECT_EQ(windowTitle(), first);
    // The frame that wrote the title counts toward the next second: 1 + 5 frames.
    render.countFrame(base + 1000.0);
    EXPECT_EQ(windowTitle(), "Counter - 6 FPS");
    render.countFrame(base + 1999.0);
    EXPECT_EQ(windowTitle(), "Counter - 6 FPS");
    render.countFrame(base + 2000.0);
    EXPECT_EQ(windowTitle(), "Counter - 2 FPS");
}

TEST_F(RenderGLTest, FirstTitleAtTwoSecondsOfWallTime)
{
    // A fresh process counts as if the title was last written at 1000 ms, on a clock that
    // runs while the process sleeps (a processor-time clock would not reach 2 s here).
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            Render& render = Render::instance();
            render.setParams("Wall", Vec3<double>(1, 1, 1), nullptr);
            render.countFrame(1999.0);
            std::this_thread::sleep_for(std::chrono::milliseconds(2100));
            render.loop();
            std::exit(windowTitle() == "Wall - 1 FPS" ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(RenderGLTest, LoopDrawsHUDElementsAndSkipsNull)
{
    Render& render = Render::instance();
    CountingHUD hud;
    render.pushBackHUD(nullptr);
    render.pushBackHUD(&hud);
    render.loop();
    render.loop();
    render.removeHUD(nullptr);
    render.removeHUD(&hud);
    EXPECT_EQ(hud.draws, 2);
    // The frame leaves the model-view matrix it found.
    expectLoaded(readModelView(), render.getCamera()->getTransformationMatrix());
}

TEST_F(RenderGLTest, ReshapeUpdatesSizeViewportAndAspect)
{
    Rendering::reShape(800, 600);
    Render& render = Render::instance();
    EXPECT_EQ(render.getSize(), Vec2<unsigned int>(800, 600));
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 800);
    EXPECT_EQ(viewport[3], 600);
    const Matrix<double> p = readProjection();
    EXPECT_NEAR(p[5] / p[0], 800.0 / 600.0, 1e-6);

    // A minimised window (height 0) keeps a finite projection.
    Rendering::reShape(800, 0);
    EXPECT_TRUE(std::isfinite(readProjection()[0]));
    Rendering::reShape(1024, 728);
    glMatrixMode(GL_MODELVIEW);
}

TEST_F(RenderGLTest, AMissingOrBrokenProgramLeavesTheFrameToTheFixedPipeline)
{
    Core::Board board(Vec2<unsigned int>(12, 12), {});
    board.setColor(c_BoardColour);
    FrameKeeper keeper;
    Render& render = Render::instance();
    render.setParams("Fallback", Vec3<double>(0.85, 0.85, 0.85), &board);
    render.loop();
    const std::vector<std::uint8_t> fixed = shownFrame();
    ASSERT_FALSE(fixed.empty());
    ASSERT_NE(shownPixel(fixed, 512, 364), shownPixel(fixed, 5, 5)) << "the board is in view";

    SourceFolder dir;
    const std::string vertex = dir.write("t.vert", c_Transform);
    const std::string broken = dir.write("broken.frag", "#version 120\nvoid main() { gl_FragColor = nothing; }");
    const std::string noMain = dir.write("nomain.frag", "#version 120\nvoid helper() {}");
    const std::string magenta = dir.write("magenta.frag", c_Magenta);
    for (const auto& [v, f] : {std::pair{dir.path("missing.vert"), magenta}, {vertex, broken}, {vertex, noMain}}) {
        SCOPED_TRACE(v + " " + f);
        EXPECT_NE(build(v, f), "") << "the reason is given";
        EXPECT_TRUE(Rendering::Shader::shaderIsAvailable());
        EXPECT_FALSE(render.hasShaderAvailable());
        render.loop();
        EXPECT_EQ(current(GL_CURRENT_PROGRAM), 0);
        EXPECT_TRUE(shownFrame() == fixed) << "the frame differs from the fixed pipeline's";
    }
    EXPECT_NO_GL_ERROR();
}

TEST_F(RenderGLTest, ABuiltProgramDrawsTheSceneButNotThePickPassNorTheOverlay)
{
    Core::Board board(Vec2<unsigned int>(12, 12), {});
    board.setColor(c_BoardColour);
    FrameKeeper keeper;
    Render& render = Render::instance();
    render.setParams("Program", Vec3<double>(0.85, 0.85, 0.85), &board);
    SourceFolder dir;
    build(dir.write("t.vert", c_Transform), dir.path("later.frag"));
    Rendering::Shader* shader = render.getShader();
    EXPECT_FALSE(render.hasShaderAvailable());
    // Names given again replace both and keep the shader; the next start-up builds it.
    render.setShaderFiles(dir.path("t.vert"), dir.write("magenta.frag", c_Magenta));
    EXPECT_EQ(render.getShader(), shader);
    EXPECT_EQ(shader->getFragmentFile(), dir.path("magenta.frag"));
    build(dir.path("t.vert"), dir.path("magenta.frag"));
    ASSERT_TRUE(render.hasShaderAvailable());
    EXPECT_EQ(current(GL_CURRENT_PROGRAM), 0) << "start-up leaves the fixed pipeline in use";

    CountingHUD hud;
    render.pushBackHUD(&hud);
    render.loop();
    EXPECT_EQ(current(GL_CURRENT_PROGRAM), static_cast<GLint>(shader->getProgram()));
    render.loop();
    render.removeHUD(&hud);
    EXPECT_EQ(hud.programs, (std::vector<GLint>{0, 0}));
    EXPECT_EQ(shownPixel(shownFrame(), 512, 364), (std::vector<std::uint8_t>{255, 0, 255}));

    render.removeShader();
    EXPECT_EQ(render.getShader(), nullptr);
    EXPECT_EQ(current(GL_CURRENT_PROGRAM), 0);
    EXPECT_NO_GL_ERROR();
}

TEST_F(RenderGLTest, TextureZeroIsOneWhiteTexelThatLeavesTheFixedPipelinesPictureAlone)
{
    for (GLenum unit : {GL_TEXTURE1, GL_TEXTURE0}) {
        glActiveTexture(unit);
        glBindTexture(GL_TEXTURE_2D, 0);
        GLint width = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
        std::uint8_t texel[4] = {};
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
        EXPECT_EQ(width, 1);
        EXPECT_EQ(std::vector<std::uint8_t>(texel, texel + 4), (std::vector<std::uint8_t>{255, 255, 255, 255}));
    }
    // The same frame with texture 0 left without image, as OpenGL starts it.
    Core::Board board(Vec2<unsigned int>(12, 12), {});
    board.setColor(c_BoardColour);
    FrameKeeper keeper;
    Render& render = Render::instance();
    render.setParams("White", Vec3<double>(0.85, 0.85, 0.85), &board);
    render.loop();
    const std::vector<std::uint8_t> white = shownFrame();
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 0, 0, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    render.loop();
    EXPECT_TRUE(shownFrame() == white);
    startUp();
    EXPECT_NO_GL_ERROR();
}
