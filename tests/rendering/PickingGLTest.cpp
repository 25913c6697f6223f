#include <GL/glew.h>
#include <GL/freeglut.h>

#include <memory>
#include <string>
#include <vector>

#include "core/Board.h"
#include "core/CallBackPicking.h"
#include "core/Object.h"
#include "core/Square.h"
#include "rendering/Input.h"
#include "rendering/Render.h"
#include "support/GLTest.h"

using Core::Board;
using Core::Object;
using Core::Square;
using Rendering::Render;

namespace
{
// Records the squares it is given and the order in which callbacks are updated.
class RecordingCallBack final : public Core::CallBackPicking
{
public:
    RecordingCallBack(Board* board, std::string name, std::vector<std::string>& log)
        : CallBackPicking(board), m_Name(std::move(name)), m_Log(log)
    {
    }
    void update() override
    {
        m_Log.push_back(m_Name);
        updated.push_back(m_PickedSquare);
    }
    std::vector<Square*> updated;

private:
    std::string m_Name;
    std::vector<std::string>& m_Log;
};

// A 12 x 12 board with 10 x 10 unit squares over grid 1..11 and a few pieces, scaled by
// 0.85 as a scene, two picking callbacks registered.
class PickingGLTest : public TestSupport::GLTest
{
protected:
    void SetUp() override
    {
        GLTest::SetUp();
        if (IsSkipped() || HasFailure())
            return;
        board = std::make_unique<Board>(Vec2<unsigned int>(12, 12), std::vector<Square*>());
        for (unsigned int j = 0; j < 10; ++j)
            for (unsigned int k = 0; k < 10; ++k) {
                squares.push_back(std::make_unique<Square>(
                    Square::Coords(Vec2<unsigned int>(k + 1, j + 1), Vec2<unsigned int>(k + 1, j + 2),
                                   Vec2<unsigned int>(k + 2, j + 2), Vec2<unsigned int>(k + 2, j + 1)),
                    std::vector<Object*>()));
                board->getSquares().push_back(squares.back().get());
            }
        for (int index : {0, 2, 55, 99}) {
            Object* piece = new Object;
            square(index).pushObject(piece);
        }
        board->enableAutoHighlight(true);
        Render& render = Render::instance();
        render.setParams("Picking", Vec3<double>(0.85, 0.85, 0.85), board.get());
        first = std::make_unique<RecordingCallBack>(board.get(), "first", log);
        second = std::make_unique<RecordingCallBack>(board.get(), "second", log);
        render.addCallBackPicking(first.get());
        render.addCallBackPicking(second.get());
    }

    Square& square(int index) { return *squares[index]; }

    // Centre of the square with this index (row * 10 + column).
    void pointAtSquare(int index) { pointAt(index % 10 + 1.5, index / 10 + 1.5); }

    void expectPicked(Square* expected)
    {
        EXPECT_EQ(board->getHighlightedSquare(), expected);
        EXPECT_EQ(first->getPickedSquare(), expected);
        EXPECT_EQ(second->getPickedSquare(), expected);
    }

    std::unique_ptr<Board> board;
    std::vector<std::unique_ptr<Square>> squares;
    std::vector<std::string> log;
    std::unique_ptr<RecordingCallBack> first, second;
};
} // namespace

TEST_F(PickingGLTest, PointerOverASquareOrPieceHighlightsAndPublishesTheSquare)
{
    for (int index : {34, 7, 90, 61}) {
        pointAtSquare(index);
        expectPicked(&square(index));
        EXPECT_TRUE(square(index).isHighlightedMouseOver());
    }
    EXPECT_FALSE(square(34).isHighlightedMouseOver());
    // The top of the sphere standing on square 55.
    pointAt(55 % 10 + 1.5, 55 / 10 + 1.5, 0.076 + 0.19);
    expectPicked(&square(55));
    EXPECT_TRUE(log.empty()) << "a pick pass alone never calls update()";
}

TEST_F(PickingGLTest, NearestHitWinsOverTheSquareBeneath)
{
    // A piece listed without a parent square hides the square it stands on: its hit maps
    // to no square, which proves the piece, not the square, was chosen.
    Object* orphan = new Object;
    square(44).getObjects().push_back(orphan);
    pointAtSquare(43);
    expectPicked(&square(43));
    pointAt(44 % 10 + 1.5, 44 / 10 + 1.5, 0.076 + 0.19);
    expectPicked(nullptr);
}

TEST_F(PickingGLTest, SlabMarginClearsAndBackgroundKeeps)
{
    pointAtSquare(12);
    expectPicked(&square(12));

    pointAt(0.5, 6.0); // the one-unit border around the squares
    expectPicked(nullptr);
    EXPECT_FALSE(square(12).isHighlightedMouseOver());

    pointAtSquare(12);
    Rendering::passiveMotionEvent(3, 3); // empty background in the window corner
    Render::instance().loop();
    expectPicked(&square(12));

    // A click there still chooses the square highlighted last.
    Rendering::mouseEvent(GLUT_LEFT_BUTTON, GLUT_DOWN, 3, 3);
    Rendering::mouseEvent(GLUT_LEFT_BUTTON, GLUT_UP, 3, 3);
    EXPECT_EQ(first->updated, std::vector<Square*>{&square(12)});
}

TEST_F(PickingGLTest, LeftReleaseUpdatesCallbacksInRegistrationOrder)
{
    // Before the pointer was ever over a square nothing is chosen.
    Rendering::mouseEvent(GLUT_LEFT_BUTTON, GLUT_UP, 0, 0);
    EXPECT_TRUE(log.empty());

    pointAtSquare(73);
    Rendering::mouseEvent(GLUT_LEFT_BUTTON, GLUT_DOWN, 10, 10);
    EXPECT_TRUE(log.empty()) << "the press does not choose";
    Rendering::mouseEvent(GLUT_LEFT_BUTTON, GLUT_UP, 10, 10);
    EXPECT_EQ(log, (std::vector<std::string>{"first", "second"}));
    EXPECT_EQ(first->updated, std::vector<Square*>{&square(73)});
    EXPECT_EQ(second->updated, std::vector<Square*>{&square(73)});

    // Other buttons choose nothing.
    Rendering::mouseEvent(GLUT_MIDDLE_BUTTON, GLUT_UP, 10, 10);
    Rendering::mouseEvent(GLUT_RIGHT_BUTTON, GLUT_UP, 10, 10);
    EXPECT_EQ(log.size(), 2u);
}

TEST_F(PickingGLTest, HitRecordsChooseTheNearestAndIgnoreWhatNamesNothing)
{
    Render& render = Render::instance();
    Object* piece = square(2).getObjects().front();
    unsigned int* buf = Rendering::pickingBuf;
    auto record = [&](unsigned int at, unsigned int depth, unsigned int name) {
        buf[at] = 1;
        buf[at + 1] = depth;
        buf[at + 2] = depth + 10;
        buf[at + 3] = name;
    };

    // Nearest of three; the piece maps to its square.
    record(0, 500, square(10).getPickingName());
    record(4, 100, piece->getPickingName());
    record(8, 300, square(11).getPickingName());
    render.processHits(3);
    expectPicked(&square(2));

    // Equal depths: the earlier record wins.
    record(0, 200, square(30).getPickingName());
    record(4, 200, square(31).getPickingName());
    render.processHits(2);
    expectPicked(&square(30));

    // An unknown name, an overflow count and a record without names change nothing.
    record(0, 1, 0xFFFFFFF0u);
    render.processHits(1);
    render.processHits(-1);
    buf[0] = 0;
    buf[1] = 5;
    buf[2] = 5;
    render.processHits(1);
    // Every depth at the maximum: nothing chosen.
    record(0, 0xFFFFFFFFu, square(40).getPickingName());
    render.processHits(1);
    // A record claiming more names than the buffer holds ends the walk.
    buf[0] = 4000;
    render.processHits(5);
    expectPicked(&square(30));

    // A destroyed drawable's name is no longer known.
    unsigned int gone = 0;
    {
        Square destroyed(square(8).getCoords(), {});
        gone = destroyed.getPickingName();
    }
    record(0, 1, gone);
    render.processHits(1);
    expectPicked(&square(30));

    // The board itself: no square.
    record(0, 7, board->getPickingName());
    render.processHits(1);
    expectPicked(nullptr);
}

TEST_F(PickingGLTest, SelectionBufferOverflowKeepsTheLastResult)
{
    pointAtSquare(0);
    expectPicked(&square(0));
    // 200 squares stacked on one cell give 800 entries of hits: more than the buffer.
    std::vector<std::unique_ptr<Square>> stack;
    for (int i = 0; i < 200; ++i) {
        stack.push_back(std::make_unique<Square>(square(5).getCoords(), std::vector<Object*>()));
        board->getSquares().push_back(stack.back().get());
    }
    pointAtSquare(5);
    expectPicked(&square(0));
}
