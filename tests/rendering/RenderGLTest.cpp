#include <GL/glew.h>
#include <GL/freeglut.h>

#include <chrono>
#include <cmath>
#include <thread>

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
} // namespace

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
    for (int i = 0; i < 4; ++i)
        render.countFrame(base + 250.0 * i);
    render.countFrame(base + 999.0);
    EXPECT_EQ(windowTitle().rfind("Counter - ", 0), 0u);
    EXPECT_NE(windowTitle(), "Counter - 6 FPS");
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
