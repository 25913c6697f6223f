#include "support/GLTest.h"

#include <GL/freeglut.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/Board.h"
#include "core/Messages.h"
#include "core/Object.h"
#include "core/PieceMover.h"
#include "core/Square.h"
#include "rendering/Animation.h"
#include "rendering/Camera.h"
#include "rendering/FrameClock.h"
#include "rendering/HUD.h"
#include "rendering/Input.h"
#include "rendering/Poller.h"
#include "rendering/Render.h"
#include "rendering/Shader.h"
#include "support/GLWindow.h"
#include "support/PictureFiles.h"

// After gtest: Xlib's macros (None, Bool) clash with its names.
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <dlfcn.h>

using Rendering::Render;
using TestSupport::current;

namespace
{
using RenderGLTest = TestSupport::GLTest;

// Notes the program in use at each draw: the overlay is drawn right after the pick pass,
// with no change of program between them.
class CountingHUD final : public Rendering::HUD
{
public:
    void draw() override { programs.push_back(current(GL_CURRENT_PROGRAM)); }
    std::vector<GLint> programs;
};

const char* const c_Transform = "#version 120\nvoid main() { gl_Position = ftransform(); }";
const char* const c_Magenta = "#version 120\nvoid main() { gl_FragColor = vec4(1.0, 0.0, 1.0, 1.0); }";

// The render's start-up builds the program named by the two files; returns what it wrote.
std::string build(const std::string& vertex, const std::string& fragment)
{
    Render::instance().setShaderFiles(vertex, fragment);
    return RenderGLTest::startUp();
}

// The picture of the last frame, taken when it was swapped onto the screen (the back
// buffer is undefined after a swap, the screen may be covered by other windows): RGB
// bytes, rows bottom-up; kept while g_KeepFrames is set.
bool g_KeepFrames = false;
std::vector<std::uint8_t> g_LastFrame;

// The shown pixel at window position (x, y), y downward.
std::vector<std::uint8_t> shownPixel(int x, int y)
{
    const auto at = g_LastFrame.begin() + ((727 - y) * 1024 + x) * 3;
    return std::vector<std::uint8_t>(at, at + 3);
}
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

TEST_F(RenderGLTest, GlutErrorsAfterStartUpEndTheProcessPlainly)
{
    // GLUT's own handler is back after start-up: it reports and exits, where a handler
    // that returned would let GLUT go on with no window.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            glutDestroyWindow(glutGetWindow());
            Render::instance().countFrame(Render::instance().getFrameClock().nextReportMs());
            std::exit(0);
        },
        ::testing::ExitedWithCode(1), "freeglut \\(main\\): .*no current window");
}

// GLUT's warnings and errors are messages: to the sink when one is set, else printed on
// standard error as GLUT prints them.
TEST_F(RenderGLTest, GlutWarningsAndErrorsGoToTheSink)
{
    const std::string warning = "freeglut (main): glutSetOption(): missing enum handle 9999";
    std::vector<std::pair<Core::MessageLevel, std::string>> received;
    const Core::Messages::Sink before = Core::Messages::setSink(
        [&received](Core::MessageLevel level, const std::string& text) { received.emplace_back(level, text); });
    testing::internal::CaptureStderr();
    glutSetOption(9999, 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    Core::Messages::setSink(before);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].first, Core::MessageLevel::Warning);
    EXPECT_EQ(received[0].second, warning);
    testing::internal::CaptureStderr();
    glutSetOption(9999, 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), warning + "\n");

    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            Core::Messages::setSink([](Core::MessageLevel level, const std::string& text) {
                std::fprintf(stderr, "sink %d: %s\n", static_cast<int>(level), text.c_str());
            });
            glutDestroyWindow(glutGetWindow());
            Render::instance().countFrame(Render::instance().getFrameClock().nextReportMs());
            std::exit(0);
        },
        ::testing::ExitedWithCode(1), "sink 3: freeglut \\(main\\): .*no current window");
}

TEST_F(RenderGLTest, TitleShowsTheFrameCountOncePerSecond)
{
    EXPECT_EQ(Rendering::FrameClock().nextReportMs(), 2000.0) << "a fresh clock reports first at 2 s";
    Render& render = Render::instance();
    render.setParams("Counter", Vec3<double>(1, 1, 1), nullptr);
    auto title = [] { return TestSupport::GLWindow::instance().title(); };
    // The frame due to report rewrites the title (with the frames drawn before it, by
    // whoever drew them); the title then stays for a second. (A whole number of
    // milliseconds, so that the seconds below add up exactly.)
    const double base = std::ceil(render.getFrameClock().nextReportMs());
    render.countFrame(base);
    const std::string first = title();
    EXPECT_EQ(first.rfind("Counter - ", 0), 0u);
    for (double t : {0.0, 250.0, 500.0, 750.0, 999.0})
        render.countFrame(base + t);
    EXPECT_EQ(title(), first);
    // The frame that wrote the title counts toward the next second.
    render.countFrame(base + 1000.0);
    EXPECT_EQ(title(), "Counter - 6 FPS");
    render.countFrame(base + 1999.0);
    render.countFrame(base + 2000.0);
    EXPECT_EQ(title(), "Counter - 2 FPS");
}

// Elements that delete others or themselves, or add new ones, while the overlay is drawn:
// the frame draws, once each, those registered when it began that are still registered
// at their turn; those added wait for the next frame. (Under AddressSanitizer a walk of
// the live list reads freed memory.)
TEST_F(RenderGLTest, OverlayElementsComeAndGoWhileTheOverlayIsDrawn)
{
    struct Scripted final : Rendering::HUD
    {
        void draw() override
        {
            ++draws;
            if (const std::function<void()> act = std::exchange(action, nullptr))
                act(); // may delete this element
        }
        int draws = 0;
        std::function<void()> action;
    };
    Render& render = Render::instance();
    Scripted first, last;
    auto* doomed = new Scripted;
    auto* selfDeleting = new Scripted;
    std::vector<std::unique_ptr<Scripted>> joined(8);
    first.action = [&] { delete doomed; };
    selfDeleting->action = [&] { delete selfDeleting; };
    last.action = [&] {
        for (auto& element : joined)
            render.pushBackHUD((element = std::make_unique<Scripted>()).get());
    };
    for (Rendering::HUD* hud : std::initializer_list<Rendering::HUD*>{&first, doomed, selfDeleting, &last})
        render.pushBackHUD(hud);

    render.loop();
    EXPECT_EQ(first.draws, 1);
    EXPECT_EQ(last.draws, 1);
    EXPECT_EQ(joined.back()->draws, 0);
    render.loop();
    EXPECT_EQ(first.draws + last.draws, 4);
    for (const auto& element : joined)
        EXPECT_EQ(element->draws, 1);
}

TEST_F(RenderGLTest, ReshapeUpdatesSizeViewportAndAspect)
{
    EXPECT_FALSE(Render::instance().openWindow()) << "one window per process";
    Rendering::reShape(800, 600);
    EXPECT_EQ(Render::instance().getSize(), Vec2<unsigned int>(800, 600));
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2] * 1000 + viewport[3], 800600);
    const Matrix<double> p = readProjection();
    EXPECT_NEAR(p[5] / p[0], 800.0 / 600.0, 1e-6);
    // A minimised window (height 0) keeps a finite projection.
    Rendering::reShape(800, 0);
    EXPECT_TRUE(std::isfinite(readProjection()[0]));
    Rendering::reShape(1024, 728);
    glMatrixMode(GL_MODELVIEW);
}

// A program that cannot be built leaves the frame, pixel for pixel, to the fixed
// pipeline; a built one draws the scene but not the pick pass nor the overlay.
TEST_F(RenderGLTest, TheFrameUsesABuiltProgramAndOtherwiseTheFixedPipeline)
{
    Core::Board board(Vec2<unsigned int>(12, 12), {});
    board.setColor(Vec4<double>(0.35, 0.25, 0.1, 1.0));
    g_KeepFrames = true;
    Render& render = Render::instance();
    render.setParams("Program", Vec3<double>(0.85, 0.85, 0.85), &board);
    CountingHUD hud;
    render.pushBackHUD(nullptr);
    render.pushBackHUD(&hud);
    render.loop();
    const std::vector<std::uint8_t> fixed = g_LastFrame;
    ASSERT_NE(shownPixel(512, 364), shownPixel(5, 5)) << "the board is in view";

    TestSupport::TempDir dir;
    auto write = [&](const char* name, const char* text) {
        TestSupport::writeFile(dir.path(name), text);
        return dir.path(name);
    };
    const std::string vertex = write("t.vert", c_Transform), magenta = write("magenta.frag", c_Magenta);
    const std::string broken = write("broken.frag", "#version 120\nvoid main() { gl_FragColor = nothing; }");
    const std::string noMain = write("nomain.frag", "#version 120\nvoid helper() {}");
    for (const auto& [v, f] : {std::pair{dir.path("missing.vert"), magenta}, {vertex, broken}, {vertex, noMain}}) {
        SCOPED_TRACE(v + " " + f);
        EXPECT_NE(build(v, f), "") << "the reason is given";
        EXPECT_FALSE(render.hasShaderAvailable());
        render.loop();
        EXPECT_EQ(current(GL_CURRENT_PROGRAM), 0);
        EXPECT_TRUE(g_LastFrame == fixed) << "the frame differs from the fixed pipeline's";
    }

    // Names given again replace both and keep the shader; the next start-up builds it.
    Rendering::Shader* shader = render.getShader();
    render.setShaderFiles(vertex, magenta);
    EXPECT_EQ(render.getShader(), shader);
    build(vertex, magenta);
    ASSERT_TRUE(render.hasShaderAvailable());
    EXPECT_EQ(current(GL_CURRENT_PROGRAM), 0) << "start-up leaves the fixed pipeline in use";
    hud.programs.clear();
    render.loop();
    EXPECT_EQ(current(GL_CURRENT_PROGRAM), static_cast<GLint>(shader->getProgram()));
    render.loop();
    render.removeHUD(nullptr);
    render.removeHUD(&hud);
    g_KeepFrames = false;
    EXPECT_EQ(hud.programs, (std::vector<GLint>{0, 0}));
    EXPECT_EQ(shownPixel(512, 364), (std::vector<std::uint8_t>{255, 0, 255}));
    // The frame leaves the model-view matrix it found.
    expectLoaded(readModelView(), render.getCamera()->getTransformationMatrix());

    render.removeShader();
    EXPECT_EQ(render.getShader(), nullptr);
    EXPECT_EQ(current(GL_CURRENT_PROGRAM), 0);
}

// Drawing on demand, frames come from what asks for them (GLUT's event handling runs them
// here): the pointer moving, the board still turning, a running animation. (That nothing
// else draws is measured by bench/idle_cpu.)
TEST_F(RenderGLTest, OnDemandFramesFollowInputTurnsAndAnimations)
{
    struct Steps final : Rendering::Animation {
        bool animate(double) override { return ++calls < 5; }
        int calls = 0;
    };
    Core::Board board(Vec2<unsigned int>(12, 12), {});
    Render& render = Render::instance();
    render.setParams("On demand", Vec3<double>(0.85, 0.85, 0.85), &board);
    CountingHUD frames;
    render.pushBackHUD(&frames);
    render.setDrawOnDemand(true);
    render.installCallbacks();
    // GLUT draws only while the window shows (another test's window may cover it a while).
    auto handleEventsUntil = [](auto done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!done() && std::chrono::steady_clock::now() < deadline)
            glutMainLoopEvent();
    };

    Rendering::passiveMotionEvent(500, 300);
    handleEventsUntil([&] { return !frames.programs.empty(); });
    EXPECT_FALSE(frames.programs.empty());
    board.setOrientation(180.0f);
    render.requestRedraw();
    handleEventsUntil([&] { return rot == 180.0f; });
    EXPECT_EQ(rot, 180.0f);
    EXPECT_FALSE(render.isMoving());

    Steps steps;
    render.addAnimation(&steps);
    handleEventsUntil([&] { return steps.calls >= 5; });
    EXPECT_GE(steps.calls, 5);
    EXPECT_FALSE(render.isMoving());

    // A piece mover brings the frames its move needs, and leaves once done.
    using P = Vec2<unsigned int>;
    Core::Square from(Core::Square::Coords(P(0, 0), P(0, 1), P(1, 1), P(1, 0)), {new Core::Object});
    Core::Square to(Core::Square::Coords(P(3, 3), P(3, 4), P(4, 4), P(4, 3)), {});
    Core::PieceMover mover;
    mover.play(from.getObjects()[0], {&to}, {}, 150, true);
    handleEventsUntil([&] { return !mover.isBusy(); });
    EXPECT_EQ(to.getObjects().size(), 1u);
    EXPECT_FALSE(render.hasAnimation(&mover));
    render.removeHUD(&frames);
}

// A poller is asked from the main loop every few milliseconds without a frame being drawn;
// a frame follows only when it reports a change (here made by another thread). Gone, it
// is asked no more.
TEST_F(RenderGLTest, PollersAreAskedWithoutDrawingUntilTheyReportAChange)
{
    struct Watching final : Rendering::Poller {
        bool poll(double) override
        {
            ++polls;
            return changed.exchange(false);
        }
        std::atomic<bool> changed{false};
        int polls = 0;
    };
    Core::Board board(Vec2<unsigned int>(12, 12), {});
    Render& render = Render::instance();
    render.setParams("Polling", Vec3<double>(0.85, 0.85, 0.85), &board);
    CountingHUD frames;
    render.pushBackHUD(&frames);
    render.setDrawOnDemand(true);
    render.setPollInterval(2.0);
    render.installCallbacks();
    auto handleEventsUntil = [](auto done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!done() && std::chrono::steady_clock::now() < deadline)
            glutMainLoopEvent();
    };
    // The frame that drawing on demand asks for at first.
    handleEventsUntil([&] { return !frames.programs.empty(); });
    ASSERT_FALSE(frames.programs.empty());

    auto watching = std::make_unique<Watching>();
    render.addPoller(watching.get());
    EXPECT_TRUE(render.hasPoller(watching.get()));
    frames.programs.clear();
    handleEventsUntil([&] { return watching->polls >= 20; });
    EXPECT_GE(watching->polls, 20);
    EXPECT_TRUE(frames.programs.empty()) << "nothing changed, nothing drawn";

    std::thread([&] { watching->changed = true; }).join();
    handleEventsUntil([&] { return !frames.programs.empty(); });
    EXPECT_EQ(frames.programs.size(), 1u);
    const int before = watching->polls;
    handleEventsUntil([&] { return watching->polls >= before + 10; });
    EXPECT_EQ(frames.programs.size(), 1u);

    const Watching* gone = watching.get();
    watching.reset();
    EXPECT_FALSE(render.hasPoller(gone));
    // Its timer, still set, finds no poller and stops.
    EXPECT_FALSE(render.pollNow());
    render.removeHUD(&frames);
}
