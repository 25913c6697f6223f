#include <chrono>
#include <cmath>
#include <sstream>
#include <thread>

#include "math/Vec4.h"
#include "rendering/Camera.h"
#include "rendering/HUD.h"
#include "rendering/Input.h"
#include "rendering/Render.h"
#include "support/GLTest.h"
#include "support/GLWindow.h"

using Rendering::Render;

namespace
{
using RenderGLTest = TestSupport::GLTest;

std::string windowTitle()
{
    return TestSupport::GLWindow::instance().title();
}

class CountingHUD final : public Rendering::HUD
{
public:
    void draw() override { ++draws; }
    int draws = 0;
};

bool enabled(GLenum cap)
{
    return glIsEnabled(cap) == GL_TRUE;
}
} // namespace

TEST_F(RenderGLTest, InitGLSetsTheFixedFunctionState)
{
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(Vec4<float>(clear[0], clear[1], clear[2], clear[3]), Vec4<float>(0.1f, 0.1f, 0.1f, 0.0f));
    for (GLenum cap : {GL_BLEND, GL_DEPTH_TEST, GL_TEXTURE_2D, GL_LIGHTING, GL_LIGHT0})
        EXPECT_TRUE(enabled(cap)) << cap;
    EXPECT_FALSE(enabled(GL_CULL_FACE));
    GLint src = 0, dst = 0, shade = 0, envMode = 0;
    glGetIntegerv(GL_BLEND_SRC, &src);
    glGetIntegerv(GL_BLEND_DST, &dst);
    glGetIntegerv(GL_SHADE_MODEL, &shade);
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &envMode);
    EXPECT_EQ(src, GL_SRC_ALPHA);
    EXPECT_EQ(dst, GL_ONE_MINUS_SRC_ALPHA);
    EXPECT_EQ(shade, GL_SMOOTH);
    EXPECT_EQ(envMode, GL_MODULATE);

    // One window per process: a second one is refused, the first stays usable.
    EXPECT_FALSE(Render::instance().openWindow());
    // One default light, whatever the number of initialisations.
    EXPECT_EQ(Render::instance().getLights().size(), 1u);
    EXPECT_NO_GL_ERROR();
}

TEST_F(RenderGLTest, InitGLPrintsItsProgressLines)
{
    std::ostringstream captured;
    std::streambuf* saved = std::cout.rdbuf(captured.rdbuf());
    Render::instance().initGL();
    std::cout.rdbuf(saved);
    EXPECT_EQ(captured.str(), "Initializing OpenGL :  OK\nInitializing GLEW & Shader :  OK\n");
}

TEST_F(RenderGLTest, TitleShowsTheFrameCountOncePerSecond)
{
    Render& render = Render::instance();
    render.setParams("Counter", Vec3<double>(1, 1, 1), nullptr);
    // Far beyond any real clock value, so the first call rewrites the title.
    const double base = 1e12;
    render.countFrame(base);
    EXPECT_EQ(windowTitle().rfind("Counter - ", 0), 0u);
    for (int i = 0; i < 4; ++i)
        render.countFrame(base + 250.0 * i);
    render.countFrame(base + 999.0);
    const std::string unchanged = windowTitle();
    // The frame that wrote the title counts toward the next second: 1 + 5 frames.
    render.countFrame(base + 1000.0);
    EXPECT_EQ(windowTitle(), "Counter - 6 FPS");
    EXPECT_EQ(unchanged.rfind("Counter - ", 0), 0u);
    render.countFrame(base + 1500.0);
    EXPECT_EQ(windowTitle(), "Counter - 6 FPS");
    render.countFrame(base + 2000.0);
    EXPECT_EQ(windowTitle(), "Counter - 2 FPS");
}

TEST_F(RenderGLTest, FirstTitleAtTwoSecondsOfProcessTime)
{
    // A fresh process: the counter starts as if last written at 1000 ms.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            Render& render = Render::instance();
            render.setParams("Fresh", Vec3<double>(1, 1, 1), nullptr);
            render.countFrame(1999.0);
            const bool before = windowTitle().find("FPS") == std::string::npos;
            render.countFrame(2000.0);
            std::exit(before && windowTitle() == "Fresh - 1 FPS" ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(RenderGLTest, FrameCounterRunsOnWallTimeWhileTheProcessWaits)
{
    // Sleeping uses no processor time: a processor-time clock would not reach 2 s here.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            Render& render = Render::instance();
            render.setParams("Wall", Vec3<double>(1, 1, 1), nullptr);
            std::this_thread::sleep_for(std::chrono::milliseconds(2100));
            render.loop();
            std::exit(windowTitle() == "Wall - 0 FPS" ? 0 : 1);
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
    EXPECT_EQ(render.getSize(), Vec2<unsigned int>(800, 0));
    EXPECT_TRUE(std::isfinite(readProjection()[0]));
    EXPECT_TRUE(std::isfinite(render.getCamera()->getAspectRatio()));

    Rendering::reShape(1024, 728);
    glMatrixMode(GL_MODELVIEW);
    EXPECT_NO_GL_ERROR();
}
