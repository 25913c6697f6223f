#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/Board.h"
#include "core/CallBackPicking.h"
#include "core/Object.h"
#include "core/Square.h"
#include "rendering/Render.h"

using Core::Board;
using Core::Object;
using Core::Square;
using Rendering::Render;

namespace
{
class Scripted final : public Core::CallBackPicking
{
public:
    explicit Scripted(Board* board, std::function<void()> action = {}) : CallBackPicking(board), m_Action(action) {}
    void update() override
    {
        squares.push_back(m_PickedSquare);
        if (m_Action)
            m_Action();
    }
    std::vector<Square*> squares;

private:
    std::function<void()> m_Action;
};

// The render's board with three squares; `click` rests the pointer on one of them (a hit
// record as the pick pass leaves it) and releases the left button.
class RenderTest : public ::testing::Test
{
protected:
    RenderTest() : board(Vec2<unsigned int>(5, 3), {})
    {
        for (unsigned int i = 0; i < 3; ++i)
            board.getSquares().push_back(
                new Square(Square::Coords(Vec2<unsigned int>(i + 1, 1), Vec2<unsigned int>(i + 1, 2),
                                          Vec2<unsigned int>(i + 2, 2), Vec2<unsigned int>(i + 2, 1)),
                           {}));
        board.enableAutoHighlight(true);
        render.setParams("", Vec3<double>(1, 1, 1), &board);
    }
    ~RenderTest() override
    {
        std::vector<Square*> squares;
        squares.swap(board.getSquares());
        for (Square* square : squares)
            delete square;
    }

    Square* square(int i) { return board.getSquares()[i]; }
    void pointAt(Square* square)
    {
        const unsigned int record[4] = {1, 10, 20, square->getPickingName()};
        std::copy(record, record + 4, Rendering::pickingBuf);
        render.processHits(1);
    }
    void click(Square* square)
    {
        pointAt(square);
        render.updatePicking();
    }

    Render& render = Render::instance();
    Board board;
};
} // namespace

TEST_F(RenderTest, BoardTurnMovesByTheSpeedAndSnaps)
{
    render.setCameraSpeed(3.5f);
    board.setOrientation(180.0f);
    rot = 178.5f;
    render.turnBoard();
    EXPECT_EQ(rot, 180.0f);
    render.turnBoard();
    EXPECT_EQ(rot, 180.0f);

    // From 180 back to 0: 51 steps of 3.5 degrees, then the snap.
    board.setOrientation(0.0f);
    int steps = 0;
    while (rot != 0.0f && steps < 100) {
        render.turnBoard();
        ++steps;
    }
    EXPECT_EQ(steps, 52);
    board.setOrientation(180.0f);
    render.turnBoard();
    EXPECT_EQ(rot, 3.5f);
    rot = 0.0f;
}

// Under AddressSanitizer, anything left pointing at the destroyed square is a report.
TEST_F(RenderTest, DestroyedSquaresAndBoardsAreForgotten)
{
    Scripted callback(&board);
    render.addCallBackPicking(&callback);
    Square* gone = square(1);
    pointAt(gone);
    Object claiming;
    claiming.setParentSquare(gone);
    delete gone;
    EXPECT_EQ(board.getSquares(), (std::vector<Square*>{square(0), square(1)}));
    EXPECT_EQ(board.getHighlightedSquare(), nullptr);
    EXPECT_EQ(callback.getPickedSquare(), nullptr);
    EXPECT_EQ(claiming.getParentSquare(), nullptr);
    render.updatePicking();
    EXPECT_TRUE(callback.squares.empty());

    {
        Board other(Vec2<unsigned int>(2, 2), {});
        render.setParams("", Vec3<double>(1, 1, 1), &other);
    }
    EXPECT_EQ(render.getBoard(), nullptr);
}

TEST_F(RenderTest, AClickReachesTheCallbacksRegisteredWhenItArrived)
{
    Scripted* third = new Scripted(&board);
    Scripted late(&board), fourth(&board);
    Scripted first(&board, [&] { render.removeCallBackPicking(&first); });
    Scripted second(&board, [&] {
        delete third; // unregisters itself
        render.addCallBackPicking(&late);
    });
    for (Scripted* callback : {&first, &second, third, &fourth})
        render.addCallBackPicking(callback);

    click(square(0));
    EXPECT_EQ(first.squares, std::vector<Square*>{square(0)});
    EXPECT_EQ(second.squares, std::vector<Square*>{square(0)});
    EXPECT_EQ(fourth.squares, std::vector<Square*>{square(0)});
    EXPECT_TRUE(late.squares.empty());

    // A square destroyed by one callback is not handed to the next.
    Scripted destroying(&board, [&] { delete square(2); });
    for (Scripted* callback : {&second, &fourth, &late})
        render.removeCallBackPicking(callback);
    for (Scripted* callback : {&late, &destroying, &fourth})
        render.addCallBackPicking(callback);
    click(square(2));
    EXPECT_EQ(late.squares.size(), 1u);
    EXPECT_EQ(fourth.squares.size(), 1u);
    EXPECT_EQ(board.getSquares().size(), 2u);
}

TEST(RenderWindow, SaysWhyNoWindowOpens)
{
    GTEST_FLAG_SET(death_test_style, "fast");
    auto openOn = [](const char* display) {
        display ? setenv("DISPLAY", display, 1) : unsetenv("DISPLAY");
        std::exit(Render::instance().openWindow() ? 0 : 3);
    };
    EXPECT_EXIT(openOn(nullptr), ::testing::ExitedWithCode(3),
                "Cannot open the X display \"\": a window needs a graphical session \\(set DISPLAY\\)\\.");

    // A server without OpenGL: said at once, not retried as a refused connection.
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t server = fork();
    ASSERT_GE(server, 0);
    if (server == 0) {
        close(fds[0]);
        dup2(::open("/dev/null", O_WRONLY), STDERR_FILENO);
        const std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-extension", "GLX", "-nolisten", "tcp", "-screen", "0",
               "64x64x24", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::string number;
    pollfd ready{fds[0], POLLIN, 0};
    char c = 0;
    while (poll(&ready, 1, 60000) == 1 && read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(fds[0]);
    if (!number.empty()) {
        EXPECT_EXIT(openOn((":" + number).c_str()), ::testing::ExitedWithCode(3),
                    "^Cannot open a window on the X display \":[0-9]+\": the server has no OpenGL \\(GLX\\) "
                    "extension\\.\n$");
    }
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
    if (number.empty() && std::getenv("CI"))
        FAIL() << "Xvfb did not start";
    if (number.empty())
        GTEST_SKIP() << "no Xvfb to start";
}
