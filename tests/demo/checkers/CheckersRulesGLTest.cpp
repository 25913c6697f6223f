#include <GL/glew.h>
#include <GL/freeglut.h>

#include <memory>

#include "CheckersScene.h"
#include "rendering/Input.h"
#include "rendering/Render.h"
#include "support/GLTest.h"

using Core::Square;

namespace
{
const std::string c_Refused = "Mouvement non autorise.\nLes mouvements possibles sont en bleu.";
const std::string c_Empty = "Aucun pion sur cette case.\nVous devez selectionner un pion de votre camp.";
const std::string c_NotYours = "Ce pion n'est pas a vous.\nVous devez selectionner un pion de votre camp.";

// The demo's real scene in the shared window; clicks go through the engine's picking:
// pointer over the square's projected centre, one frame, left button released.
class CheckersRulesGLTest : public TestSupport::GLTest
{
protected:
    void SetUp() override
    {
        GLTest::SetUp();
        if (IsSkipped() || HasFailure())
            return;
        scene = std::make_unique<CheckersScene>();
    }

    void TearDown() override
    {
        scene.reset();
        GLTest::TearDown();
    }

    Square& square(int index) { return scene->getSquare(index); }
    std::string message() { return scene->getMessage().getText(); }
    CheckersCBPicking& rules() { return scene->getRules(); }

    void click(int index)
    {
        pointAt(index % 10 + 1.5, index / 10 + 1.5);
        ASSERT_EQ(scene->getBoard().getHighlightedSquare(), &square(index)) << "pointer not over square " << index;
        Rendering::mouseEvent(GLUT_LEFT_BUTTON, GLUT_DOWN, 0, 0);
        Rendering::mouseEvent(GLUT_LEFT_BUTTON, GLUT_UP, 0, 0);
    }

    // Lets the shown board finish turning toward the player to move.
    void settle()
    {
        for (int i = 0; i < 100 && rot != scene->getBoard().getOrientation(); ++i)
            Rendering::Render::instance().turnBoard();
    }

    void move(int from, int to)
    {
        click(from);
        click(to);
        settle();
    }

    // Puts the piece standing on `from` onto `to`, outside the rules, to set up a position.
    void place(int from, int to)
    {
        Core::Board::moveObject(square(from).getObjects().front(), &square(from), &square(to));
    }

    std::vector<int> authorized()
    {
        std::vector<int> out;
        for (int n = 0; n < 100; ++n)
            if (square(n).isHighlightedAuthorized())
                out.push_back(n);
        return out;
    }

    int owner(int index)
    {
        return square(index).getObjects().empty() ? 0
                                                  : std::stoi(square(index).getObjects().front()->getMeta("player"));
    }

    std::unique_ptr<CheckersScene> scene;
};
} // namespace

TEST_F(CheckersRulesGLTest, FramesLeaveNoErrorAndTheStateAsTheyFoundIt)
{
    struct State
    {
        GLint stacks[5], renderMode, matrixMode;
        Matrix<double> modelView, projection;
    };
    auto read = [] {
        State s;
        const GLenum depths[5] = {GL_MODELVIEW_STACK_DEPTH, GL_PROJECTION_STACK_DEPTH, GL_NAME_STACK_DEPTH,
                                  GL_ATTRIB_STACK_DEPTH, GL_CLIENT_ATTRIB_STACK_DEPTH};
        for (int i = 0; i < 5; ++i)
            glGetIntegerv(depths[i], &s.stacks[i]);
        glGetIntegerv(GL_RENDER_MODE, &s.renderMode);
        glGetIntegerv(GL_MATRIX_MODE, &s.matrixMode);
        s.modelView = readModelView();
        s.projection = readProjection();
        return s;
    };
    const State before = read();
    // Frames over a piece, over an empty square with the refusal message, and turning.
    click(22);
    click(45);
    click(33);
    Rendering::Render::instance().loop();
    const State after = read();
    EXPECT_NO_GL_ERROR();
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(after.stacks[i], before.stacks[i]) << "stack " << i;
    EXPECT_EQ(after.renderMode, GL_RENDER);
    EXPECT_EQ(after.matrixMode, before.matrixMode);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(after.modelView[i], before.modelView[i]) << i;
        EXPECT_EQ(after.projection[i], before.projection[i]) << i;
    }
    EXPECT_NE(rot, 0.0f) << "the board was turning";
}

TEST_F(CheckersRulesGLTest, SelectRefuseAndMoveForPlayerOne)
{
    click(22);
    EXPECT_TRUE(square(22).isHighlightedSelected());
    EXPECT_EQ(authorized(), (std::vector<int>{31, 33}));
    EXPECT_EQ(rules().getSelectedSquare(), &square(22));
    EXPECT_EQ(message(), "");

    click(44);
    EXPECT_EQ(message(), c_Refused);
    EXPECT_TRUE(square(22).isHighlightedSelected());
    EXPECT_EQ(authorized(), (std::vector<int>{31, 33}));

    // Clicking the selected square deselects it; selecting again offers the same squares.
    click(22);
    EXPECT_EQ(rules().getSelectedSquare(), nullptr);
    EXPECT_TRUE(authorized().empty());
    EXPECT_FALSE(square(22).isHighlightedSelected());
    click(22);

    click(33);
    EXPECT_EQ(owner(33), 1);
    EXPECT_EQ(owner(22), 0);
    EXPECT_TRUE(authorized().empty());
    EXPECT_FALSE(square(22).isHighlightedSelected());
    EXPECT_EQ(rules().getCurrentPlayer(), 2);
    EXPECT_EQ(scene->getBoard().getOrientation(), 180.0f);
    EXPECT_EQ(message(), "");
}

TEST_F(CheckersRulesGLTest, FirstClickRefusals)
{
    click(45);
    EXPECT_EQ(message(), c_Empty);
    EXPECT_EQ(rules().getSelectedSquare(), nullptr);
    click(77);
    EXPECT_EQ(message(), c_NotYours);
    EXPECT_EQ(rules().getSelectedSquare(), nullptr);
    EXPECT_TRUE(authorized().empty());

    move(20, 31);
    // Player 2 to move, on the turned board.
    EXPECT_EQ(rot, 180.0f);
    click(31);
    EXPECT_EQ(message(), c_NotYours);
    click(77);
    EXPECT_EQ(message(), "");
    EXPECT_EQ(authorized(), (std::vector<int>{66, 68}));
}

TEST_F(CheckersRulesGLTest, PlayersAlternateAndTheBoardTurns)
{
    move(22, 33);
    EXPECT_EQ(rot, 180.0f);
    move(77, 66);
    EXPECT_EQ(rules().getCurrentPlayer(), 1);
    EXPECT_EQ(scene->getBoard().getOrientation(), 0.0f);
    EXPECT_EQ(rot, 0.0f);
    move(33, 44);
    EXPECT_EQ(scene->getBoard().getOrientation(), 180.0f);
    EXPECT_EQ(owner(44), 1);
    EXPECT_EQ(owner(66), 2);
}

TEST_F(CheckersRulesGLTest, CapturesForBothPlayersOnePerTurn)
{
    // Player 1 on 22, an opponent on 33 with 44 empty: 31 and 44 are offered.
    place(73, 33);
    click(22);
    EXPECT_EQ(authorized(), (std::vector<int>{31, 44}));
    click(44);
    EXPECT_EQ(owner(44), 1);
    EXPECT_EQ(owner(33), 0) << "the jumped piece is taken off";
    EXPECT_EQ(rules().getCurrentPlayer(), 2) << "one capture per turn";
    settle();

    // Player 2 on 77, an opponent on 66 with 55 empty.
    place(20, 66);
    click(77);
    EXPECT_EQ(authorized(), (std::vector<int>{55, 68}));
    click(55);
    EXPECT_EQ(owner(55), 2);
    EXPECT_EQ(owner(66), 0);
    EXPECT_EQ(rules().getCurrentPlayer(), 1);
}

TEST_F(CheckersRulesGLTest, EdgeColumnsAndBlockedSteps)
{
    // Column 0 offers only the +1 diagonal, column 9 only the -1 one.
    click(20);
    EXPECT_EQ(authorized(), (std::vector<int>{31}));
    click(20);
    place(28, 39);
    click(39);
    EXPECT_EQ(authorized(), (std::vector<int>{48}));
    click(39);

    // Own pieces block; an opponent with an occupied square behind it blocks too.
    click(11);
    EXPECT_TRUE(authorized().empty());
    click(11);
    place(73, 33);
    place(75, 44);
    click(22);
    EXPECT_EQ(authorized(), (std::vector<int>{31}));
}

TEST_F(CheckersRulesGLTest, JumpsNeverWrapAroundTheSides)
{
    // Player 1 on 28 (column 8) with an opponent on 39 (column 9): the jump would land
    // on 50, on the far side of the board.
    place(73, 39);
    click(28);
    EXPECT_EQ(authorized(), (std::vector<int>{37}));
    click(37);

    // Player 2 on 71 (column 1) with an opponent on 60 (column 0): the jump would land on 49.
    place(20, 60);
    click(71);
    EXPECT_EQ(authorized(), (std::vector<int>{62}));
}

TEST_F(CheckersRulesGLTest, NoBackwardStepsNorPromotion)
{
    // Forward only: a player 1 piece on 44 with an opponent behind it on 35 and the
    // square beyond (26) empty is offered 53 and 55 alone.
    place(24, 44);
    place(73, 35);
    place(26, 57);
    click(44);
    EXPECT_EQ(authorized(), (std::vector<int>{53, 55}));
    click(44);

    // A piece on the far row stays a plain piece with nowhere to go.
    place(91, 51);
    place(20, 91);
    click(91);
    EXPECT_TRUE(square(91).isHighlightedSelected());
    EXPECT_TRUE(authorized().empty());
    click(83);
    EXPECT_EQ(message(), c_Refused);
    click(91);
    EXPECT_EQ(rules().getSelectedSquare(), nullptr);
    EXPECT_EQ(message(), "");
}
