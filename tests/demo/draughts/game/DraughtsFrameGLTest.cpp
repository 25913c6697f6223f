// The real board in the shared window while the computer searches on its worker thread:
// each frame stays quick, and drawing on demand, frames come only when the search reports
// progress or a move glides.
#include "support/GLTest.h"

#include <algorithm>
#include <chrono>
#include <string>

#include "BoardView.h"
#include <GL/freeglut.h>

#include "Controller.h"
#include "SearchOpponent.h"
#include "rendering/HUD.h"
#include "rendering/Render.h"

using namespace Draughts;

namespace
{
class DraughtsFrameGLTest : public TestSupport::GLTest
{
};
} // namespace

// Frames go on while the computer searches: several frames are drawn and done while the
// search is still running (a frame waiting for the search would return only once it is
// over). How long the frames take is recorded for the log, not asserted: on a shared
// machine a frame's time says little.
TEST_F(DraughtsFrameGLTest, FramesStayQuickWhileTheComputerThinks)
{
    BoardView view(BoardView::findDataRoots(""));
    startUp();
    ASSERT_TRUE(Rendering::Render::instance().hasShaderAvailable());
    Options options;
    ASSERT_EQ(options.parse({"--time", "2", "--level", "10"}), Options::Outcome::Run);
    Session session(options);
    Controller controller(view, session);
    controller.setLegDuration(400.0);
    Rendering::Render& render = Rendering::Render::instance();
    int frames = 0;
    // One frame with the pointer somewhere else over the board, so that it picks too.
    auto frameMs = [&] {
        Rendering::mouseX = 200 + (frames * 37) % 600;
        Rendering::mouseY = 250 + (frames * 53) % 400;
        ++frames;
        const auto started = std::chrono::steady_clock::now();
        render.loop();
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
    };
    // Pictures and models are made ready for OpenGL at their first frame.
    for (int i = 0; i < 3; ++i)
        frameMs();
    double withoutSearch = 0.0;
    for (int i = 0; i < 20; ++i)
        withoutSearch = std::max(withoutSearch, frameMs());

    controller.click(32);
    controller.click(28);
    ASSERT_TRUE(session.isThinking());
    frames = 0;
    int framesWhileThinking = 0;
    double searching = 0.0;
    // Frames are drawn by hand here: the controller polls the session between them.
    while (controller.game().moves().size() < 2 && frames < 100000) {
        searching = std::max(searching, frameMs());
        if (session.isThinking())
            ++framesWhileThinking;
        render.pollNow();
    }
    ASSERT_EQ(controller.game().moves().size(), 2u) << "no answer after " << frames << " frames";
    // The answer glides to its square in the frames that follow.
    while (controller.isMoving() && frames < 100000)
        searching = std::max(searching, frameMs());
    render.pollNow();
    EXPECT_FALSE(view.showsWhite(controller.game().moves().back().to()));
    EXPECT_NE(view.pieceOn(controller.game().moves().back().to()), nullptr);
    EXPECT_GE(frames, 5);
    EXPECT_GE(framesWhileThinking, 3) << "the search took " << frames << " frames in all";
    RecordProperty("slowest_frame_ms_without_search", std::to_string(withoutSearch));
    RecordProperty("slowest_frame_ms_while_searching", std::to_string(searching));
}

namespace
{
class CountingHUD final : public Rendering::HUD
{
public:
    void draw() override { ++frames; }
    int frames = 0;
};

// Forwards to the built-in computer and counts the reports taken from it.
class CountingOpponent final : public Opponent
{
public:
    std::string name() const override { return "Counted"; }
    bool start(const Game& game, const OpponentRequest& request, std::string& error) override
    {
        return inner.start(game, request, error);
    }
    void cancel() override { inner.cancel(); }
    bool isThinking() const override { return inner.isThinking(); }
    bool poll(OpponentEvent& event) override
    {
        const bool taken = inner.poll(event);
        reports += taken ? 1 : 0;
        return taken;
    }
    SearchOpponent inner{10};
    int reports = 0;
};
} // namespace

// Drawing on demand in GLUT's main loop: while the computer thinks, a frame comes for each
// report at most (each depth it completes, then its move), not continuously.
TEST_F(DraughtsFrameGLTest, WhileTheComputerThinksFramesComeOnlyWithItsReports)
{
    BoardView view(BoardView::findDataRoots(""));
    startUp();
    Options options;
    ASSERT_EQ(options.parse({"--time", "1", "--level", "10", "--black", "human"}), Options::Outcome::Run);
    Session session(options);
    auto counted = std::make_shared<CountingOpponent>();
    session.setPlayer(Color::Black, counted);
    Controller controller(view, session);
    Rendering::Render& render = Rendering::Render::instance();
    CountingHUD hud;
    render.pushBackHUD(&hud);
    render.setDrawOnDemand(true);
    render.installCallbacks();
    auto handleEventsUntil = [](auto done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!done() && std::chrono::steady_clock::now() < deadline)
            glutMainLoopEvent();
    };
    handleEventsUntil([&] { return hud.frames > 0 && !render.isMoving(); });
    controller.click(32);
    controller.click(28);
    ASSERT_TRUE(session.isThinking());
    // The frame of the click (and the board's turn, none here) first.
    handleEventsUntil([&] { return !render.isMoving(); });
    hud.frames = 0;
    const auto started = std::chrono::steady_clock::now();
    handleEventsUntil([&] { return session.game().moves().size() == 2; });
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    ASSERT_EQ(session.game().moves().size(), 2u);
    EXPECT_GT(counted->reports, 1);
    EXPECT_GT(seconds, 0.5) << "the search used its time";
    EXPECT_LE(hud.frames, counted->reports + 1) << counted->reports << " reports in " << seconds << " s";
    render.removeHUD(&hud);
    render.setDrawOnDemand(false);
}
