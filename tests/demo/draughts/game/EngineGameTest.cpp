// The game hosting Hub engine programs: draughts_engine played to the end of a game by the
// window's controller, its live info and hints; fake engines that are missing, die, hang or
// send illegal moves, and what the player then sees and can do.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <chrono>
#include <memory>

#include "../engine/FakeEngine.h"
#include "BoardView.h"
#include "Controller.h"
#include "KeyInput.h"
#include "SearchOpponent.h"
#include "Session.h"

using namespace Draughts;

namespace
{
using Clock = std::chrono::steady_clock;

class EngineGameTest : public ::testing::Test
{
protected:
    void start(std::vector<std::string> arguments)
    {
        ASSERT_EQ(options.parse(arguments), Options::Outcome::Run) << options.error();
        session = std::make_unique<Session>(options);
        session->setOnError([this](const std::string& line) { errors.push_back(line); });
    }
    // Polls the session until `done` or the deadline.
    template <typename Done>
    bool pollUntil(Done done, double seconds = 30.0)
    {
        const Clock::time_point deadline =
            Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
        while (!done() && Clock::now() < deadline) {
            if (!session->poll())
                usleep(2000);
        }
        return done();
    }
    void playBlack32To28()
    {
        session->click(32);
        session->click(28);
        ASSERT_EQ(session->game().moves().size(), 1u);
    }

    Options options;
    std::unique_ptr<Session> session;
    std::vector<std::string> errors;
};
} // namespace

// The built-in computer against draughts_engine through the window's controller, at short
// time, to the end of the game: every move legal, both sides moving, no failure, and the
// engine's process gone with the session.
TEST_F(EngineGameTest, TheWindowHostsDraughtsEngineToTheEndOfAGame)
{
    start({"--white", "computer", "--black", "engine", "--engine", std::string("'") + DRAUGHTS_ENGINE + "'", "--time",
           "0.05", "--level", "1"});
    BoardView view(BoardView::findDataRoots(""));
    Controller controller(view, *session);
    EXPECT_EQ(session->player(Color::Black), Session::Player::Other);
    bool sawProgress = false;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(300);
    while (session->game().result() == Result::Ongoing && Clock::now() < deadline) {
        Color waiting;
        ASSERT_FALSE(session->stalled(waiting)) << session->message();
        if (!controller.poll())
            usleep(2000);
        sawProgress = sawProgress || session->statusText().find("(engine Tessellon draughts) is thinking...\nDepth") !=
                                         std::string::npos;
    }
    ASSERT_NE(session->game().result(), Result::Ongoing) << session->game().moves().size() << " moves";
    EXPECT_GT(session->game().moves().size(), 10u);
    EXPECT_TRUE(sawProgress);
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(view.getStatus().getText(), session->statusText());
    session->shutdown();
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1) << "the engine was reaped";
}

// 'h' asks the engine the person plays against (go analyze); its answer is marked.
TEST_F(EngineGameTest, AHintComesFromTheEngine)
{
    start({"--black", "engine", "--engine", std::string("'") + DRAUGHTS_ENGINE + "'", "--time", "0.3"});
    session->hint();
    ASSERT_TRUE(session->isLookingForHint());
    EXPECT_FALSE(session->computer().isThinking()) << "not the built-in computer";
    ASSERT_TRUE(pollUntil([&] { return !session->shownHint().isEmpty() || !session->isLookingForHint(); }));
    const MoveList legal = session->game().legalMoves();
    EXPECT_NE(std::find(legal.begin(), legal.end(), session->shownHint()), legal.end()) << session->message();
}

// Missing, dying, hanging, illegal: one line on the screen and to the error hook, the game
// as it was, and c or m hands the side over.
TEST_F(EngineGameTest, AFailingEngineLeavesTheGameAndHandsItsSideOver)
{
    struct Case
    {
        const char* what;
        std::string onGo;
        const char* shown;
    };
    const std::vector<Case> cases = {
        {"dies", "exit 3", "ended (exited with status 3)."},
        {"hangs", "true", "did not answer within its time and 2.000 s."},
        {"illegal", "echo 'done move=19-14'", "sent a move that cannot be played here (illegal move: '19-14')."},
        {"malformed", "echo 'done move=\"'", "sent a malformed answer"},
    };
    for (const Case& test : cases) {
        const FakeEngine engine(test.onGo);
        errors.clear();
        start({"--black", "engine", "--engine", engine.command(), "--engine-time", "0.1"});
        playBlack32To28();
        ASSERT_TRUE(pollUntil([&] { return !errors.empty(); })) << test.what;
        ASSERT_EQ(errors.size(), 1u) << test.what;
        EXPECT_NE(errors[0].find(test.shown), std::string::npos) << test.what << ": " << errors[0];
        EXPECT_EQ(errors[0].find('\n'), std::string::npos);
        EXPECT_EQ(session->game().moves().size(), 1u) << test.what;
        EXPECT_NE(session->statusText().find(errors[0]), std::string::npos) << session->statusText();
        EXPECT_NE(session->statusText().find("Press c to let the computer play Black, or m to play it yourself."),
                  std::string::npos)
            << session->statusText();
        EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1) << test.what << ": the engine was reaped";
        // m: the person plays Black.
        session->handOver(Color::Black, false);
        session->click(19);
        session->click(23);
        EXPECT_EQ(session->game().moves().size(), 2u) << test.what;
    }

    // Missing while it has the first move: told as soon as anyone listens.
    errors.clear();
    start({"--white", "engine", "--engine", "/nonexistent/engine"});
    session->poll();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors.back(), "No engine: cannot start '/nonexistent/engine': No such file or directory.");
    EXPECT_TRUE(session->game().moves().empty());

    // Missing: told at once, and the person still plays White. c: the computer plays Black.
    errors.clear();
    start({"--black", "engine", "--engine", "/nonexistent/engine --fast", "--time", "0.05"});
    BoardView view(BoardView::findDataRoots(""));
    Controller controller(view, *session);
    EXPECT_TRUE(controller.poll());
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors.back(), "No engine: cannot start '/nonexistent/engine': No such file or directory.");
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
    controller.click(32);
    controller.click(28);
    EXPECT_EQ(session->game().moves().size(), 1u);
    session->poll();
    EXPECT_EQ(errors.size(), 1u) << errors.back();
    EXPECT_NE(session->statusText().find("Black (engine) waits: press c"), std::string::npos) << session->statusText();
    KeyInput(controller, ".").press('c');
    EXPECT_EQ(session->player(Color::Black), Session::Player::Computer);
    ASSERT_TRUE(pollUntil([&] { return session->game().moves().size() == 2; }));
}
