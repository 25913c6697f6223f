#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <cstdio>
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

// The render's board with three squares. `hits` fills the selection buffer as a pick pass
// would, with one (depth, name) record per hit, and publishes the nearest.
class RenderTest : public ::testing::Test
{
protected:
    RenderTest() : board(Vec2<unsigned int>(5, 3), {})
    {
        using P = Vec2<unsigned int>;
        for (unsigned int i = 1; i < 4; ++i)
            board.getSquares().push_back(new Square(Square::Coords(P(i, 1), P(i, 2), P(i + 1, 2), P(i + 1, 1)), {}));
        board.enableAutoHighlight(true);
        render.setParams("", Vec3<double>(1, 1, 1), &board);
        render.addCallBackPicking(&picked);
    }
    ~RenderTest() override
    {
        std::vector<Square*> squares;
        squares.swap(board.getSquares());
        for (Square* square : squares)
            delete square;
    }

    Square* square(int i) { return board.getSquares()[i]; }
    void hits(const std::vector<std::pair<unsigned int, unsigned int>>& records)
    {
        unsigned int* record = Rendering::pickingBuf;
        for (const auto& [depth, name] : records) {
            const unsigned int values[4] = {1, depth, depth + 10, name};
            record = std::copy(values, values + 4, record);
        }
        render.processHits(static_cast<int>(records.size()));
    }
    void click(Square* square)
    {
        hits({{10, square->getPickingName()}});
        render.updatePicking();
    }
    void expectPicked(Square* square)
    {
        EXPECT_EQ(board.getHighlightedSquare(), square);
        EXPECT_EQ(picked.getPickedSquare(), square);
    }

    Render& render = Render::instance();
    Board board;
    Scripted picked{&board};
};
} // namespace

TEST_F(RenderTest, HitRecordsChooseTheNearestAndIgnoreWhatNamesNothing)
{
    Object* piece = new Object;
    square(2)->pushObject(piece);
    // Nearest of three; a piece stands for its square.
    hits({{500, square(0)->getPickingName()}, {100, piece->getPickingName()}, {300, square(1)->getPickingName()}});
    expectPicked(square(2));
    // Equal depths: the earlier record wins.
    hits({{200, square(1)->getPickingName()}, {200, square(0)->getPickingName()}});
    expectPicked(square(1));

    // An unknown name, an overflow count, a record without names, every depth at the
    // maximum, a record claiming more names than the buffer holds: nothing changes.
    hits({{1, 0xFFFFFFF0u}});
    render.processHits(-1);
    hits({{0xFFFFFFFFu, square(0)->getPickingName()}});
    Rendering::pickingBuf[0] = 0;
    render.processHits(1);
    Rendering::pickingBuf[0] = 4000;
    render.processHits(5);
    expectPicked(square(1));

    // The board itself: no square, and a click then chooses nothing.
    hits({{7, board.getPickingName()}});
    expectPicked(nullptr);
    render.updatePicking();
    EXPECT_TRUE(picked.squares.empty());
}

TEST_F(RenderTest, BoardTurnMovesByTheSpeedAndSnaps)
{
    render.setCameraSpeed(3.5f);
    board.setOrientation(180.0f);
    rot = 178.5f;
    render.turnBoard();
    EXPECT_EQ(rot, 180.0f);
    // From 180 back to 0: 51 steps of 3.5 degrees, then the snap.
    board.setOrientation(0.0f);
    int steps = 0;
    for (; rot != 0.0f && steps < 100; ++steps)
        render.turnBoard();
    EXPECT_EQ(steps, 52);
}

// Under AddressSanitizer, anything left pointing at the destroyed square is a report.
TEST_F(RenderTest, DestroyedSquaresAndBoardsAreForgotten)
{
    Square* gone = square(1);
    hits({{10, gone->getPickingName()}});
    Object claiming;
    claiming.setParentSquare(gone);
    delete gone;
    EXPECT_EQ(board.getSquares(), (std::vector<Square*>{square(0), square(1)}));
    expectPicked(nullptr);
    EXPECT_EQ(claiming.getParentSquare(), nullptr);
    render.updatePicking();
    EXPECT_TRUE(picked.squares.empty());

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

    // A server without OpenGL: said at once, not retried as a refused connection. The
    // shell prints its process number, which Xvfb takes over, then Xvfb its display.
    FILE* server =
        popen("echo $$; exec Xvfb -displayfd 1 -extension GLX -nolisten tcp -screen 0 64x64x24 2>/dev/null", "r");
    ASSERT_NE(server, nullptr);
    int pid = 0, number = -1;
    if (std::fscanf(server, "%d %d", &pid, &number) == 2) {
        EXPECT_EXIT(openOn((":" + std::to_string(number)).c_str()), ::testing::ExitedWithCode(3),
                    "^Cannot open a window on the X display \":[0-9]+\": the server has no OpenGL \\(GLX\\) "
                    "extension\\.\n$");
        kill(pid, SIGTERM);
    }
    pclose(server);
    if (number < 0 && std::getenv("CI"))
        FAIL() << "Xvfb did not start";
    if (number < 0)
        GTEST_SKIP() << "no Xvfb to start";
}
