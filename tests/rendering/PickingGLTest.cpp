#include "support/GLTest.h"

#include <GL/freeglut.h>

#include <memory>

#include "core/Board.h"
#include "core/CallBackPicking.h"
#include "core/Object.h"
#include "core/Square.h"
#include "rendering/Input.h"
#include "rendering/Render.h"

using Core::Board;
using Core::Object;
using Core::Square;
using Rendering::Render;

namespace
{
// Records the squares it is given and, in a shared log, the order of the updates.
class Recording final : public Core::CallBackPicking
{
public:
    Recording(Board* board, char name, std::string& log) : CallBackPicking(board), m_Name(name), m_Log(log) {}
    void update() override
    {
        m_Log += m_Name;
        updated.push_back(m_PickedSquare);
    }
    std::vector<Square*> updated;

private:
    char m_Name;
    std::string& m_Log;
};

// A 12 x 12 board with 10 x 10 unit squares over grid 1..11 and pieces on squares 0 and
// 55, scaled by 0.85 as a scene, two picking callbacks registered; the pick pass of real
// frames finds what is under the pointer.
class PickingGLTest : public TestSupport::GLTest
{
protected:
    void SetUp() override
    {
        GLTest::SetUp();
        if (IsSkipped() || HasFailure())
            return;
        using P = Vec2<unsigned int>;
        for (unsigned int j = 1; j < 11; ++j)
            for (unsigned int k = 1; k < 11; ++k) {
                squares.push_back(std::make_unique<Square>(
                    Square::Coords(P(k, j), P(k, j + 1), P(k + 1, j + 1), P(k + 1, j)), std::vector<Object*>()));
                board.getSquares().push_back(squares.back().get());
            }
        square(0).pushObject(new Object);
        square(55).pushObject(new Object);
        board.enableAutoHighlight(true);
        Render::instance().setParams("Picking", Vec3<double>(0.85, 0.85, 0.85), &board);
        Render::instance().addCallBackPicking(&a);
        Render::instance().addCallBackPicking(&b);
    }

    Square& square(int index) { return *squares[index]; }
    // Centre of the square with this index (row * 10 + column).
    void pointAtSquare(int index) { pointAt(index % 10 + 1.5, index / 10 + 1.5); }
    void expectPicked(Square* expected)
    {
        EXPECT_EQ(board.getHighlightedSquare(), expected);
        EXPECT_EQ(a.getPickedSquare(), expected);
        EXPECT_EQ(b.getPickedSquare(), expected);
    }
    void release(int button)
    {
        Rendering::mouseEvent(button, GLUT_DOWN, 3, 3);
        Rendering::mouseEvent(button, GLUT_UP, 3, 3);
    }

    Board board{Vec2<unsigned int>(12, 12), {}};
    std::vector<std::unique_ptr<Square>> squares;
    std::string log;
    Recording a{&board, 'a', log}, b{&board, 'b', log};
};
} // namespace

TEST_F(PickingGLTest, NearestHitWinsOverTheSquareBeneath)
{
    // A piece listed without a parent square hides the square it stands on: its hit maps
    // to no square, which proves the piece, not the square, was chosen.
    square(44).getObjects().push_back(new Object);
    pointAtSquare(43);
    expectPicked(&square(43));
    pointAt(44 % 10 + 1.5, 44 / 10 + 1.5, 0.076 + 0.19);
    expectPicked(nullptr);
    // The top of the sphere standing on square 55 gives that square.
    pointAt(55 % 10 + 1.5, 55 / 10 + 1.5, 0.076 + 0.19);
    expectPicked(&square(55));
    EXPECT_TRUE(log.empty()) << "a pick pass alone never calls update()";
}

TEST_F(PickingGLTest, StackedAndDisplacedPiecesArePickedAsStandingOnTheirSquare)
{
    // Above the sphere on square 55 lies the board behind it, until the piece is a stack
    // (which a pick under the pointer at rest notices).
    const double top = 0.076 + 0.4 + 0.19;
    pointAt(55 % 10 + 1.5, 55 / 10 + 1.5, top);
    EXPECT_NE(board.getHighlightedSquare(), &square(55));
    square(55).getObjects()[0]->setStack(2);
    pointAt(55 % 10 + 1.5, 55 / 10 + 1.5, top);
    expectPicked(&square(55));
    // Drawn two rows further (a piece on its way), it is still picked on its square.
    square(55).getObjects()[0]->setDisplacement(Vec3<double>(0.0, 0.0, -2.0));
    Render::instance().loop();
    EXPECT_EQ(board.getHighlightedSquare(), &square(65)) << "the pointer now looks past it";
    pointAt(75 % 10 + 1.5, 75 / 10 + 1.5, top);
    expectPicked(&square(55));
}

TEST_F(PickingGLTest, LeftReleaseChoosesTheLastSquareHighlighted)
{
    // Before the pointer was ever over a square, nothing is chosen.
    release(GLUT_LEFT_BUTTON);
    pointAt(0.5, 6.0); // the one-unit border around the squares: nothing highlighted
    expectPicked(nullptr);
    release(GLUT_LEFT_BUTTON);
    EXPECT_TRUE(log.empty());

    // Empty background in the window corner keeps the square highlighted last.
    pointAtSquare(12);
    Rendering::passiveMotionEvent(3, 3);
    Render::instance().loop();
    expectPicked(&square(12));
    Rendering::mouseEvent(GLUT_LEFT_BUTTON, GLUT_DOWN, 3, 3);
    EXPECT_TRUE(log.empty()) << "the press does not choose";
    Rendering::mouseEvent(GLUT_LEFT_BUTTON, GLUT_UP, 3, 3);
    EXPECT_EQ(log, "ab");
    EXPECT_EQ(b.updated, std::vector<Square*>{&square(12)});
    release(GLUT_MIDDLE_BUTTON);
    release(GLUT_RIGHT_BUTTON);
    EXPECT_EQ(log, "ab");
}

// Opted in, the pointer leaving the board onto the background clears the highlight and
// the callbacks' square, and a click there chooses nothing; back over the board, picking
// goes on as before.
TEST_F(PickingGLTest, OptedInTheBackgroundClearsTheSquareUnderThePointer)
{
    Render::instance().setClearHighlightOffBoard(true);
    pointAtSquare(12);
    expectPicked(&square(12));
    Rendering::passiveMotionEvent(3, 3);
    Render::instance().loop();
    expectPicked(nullptr);
    EXPECT_FALSE(square(12).isHighlightedMouseOver());
    release(GLUT_LEFT_BUTTON);
    EXPECT_TRUE(log.empty());
    pointAtSquare(55);
    expectPicked(&square(55));
    release(GLUT_LEFT_BUTTON);
    EXPECT_EQ(log, "ab");
    EXPECT_EQ(a.updated, std::vector<Square*>{&square(55)});
}

TEST_F(PickingGLTest, SelectionBufferOverflowKeepsTheLastResult)
{
    pointAtSquare(0);
    // 200 squares stacked on one cell give 800 entries of hits: more than the buffer.
    std::vector<std::unique_ptr<Square>> stack;
    for (int i = 0; i < 200; ++i) {
        stack.push_back(std::make_unique<Square>(square(5).getCoords(), std::vector<Object*>()));
        board.getSquares().push_back(stack.back().get());
    }
    pointAtSquare(5);
    expectPicked(&square(0));
}

TEST_F(PickingGLTest, AClickChoosesWhatIsUnderThePointerNowAndFramesPickOnlyWhenThatMayChange)
{
    // Pointer moved, no frame drawn yet (drawing on demand, the click may come first).
    pointAtSquare(12);
    const Vec3<double> at43 = onScreen(43 % 10 + 1.5, 43 / 10 + 1.5);
    Rendering::passiveMotionEvent(static_cast<int>(at43.x()), static_cast<int>(at43.y()));
    release(GLUT_LEFT_BUTTON);
    EXPECT_EQ(a.updated, std::vector<Square*>{&square(43)});

    // The board turned half a turn under the resting pointer: square 56 lies there now.
    rot = 180.0f;
    Render::instance().loop();
    expectPicked(&square(56));
    // A square taken off the board is picked no more: the slab beneath is.
    board.getSquares().erase(board.getSquares().begin() + 56);
    Render::instance().loop();
    expectPicked(nullptr);
}
