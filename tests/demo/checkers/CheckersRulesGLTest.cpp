#include "support/GLTest.h"

#include <GL/freeglut.h>

#include <memory>

#include "CheckersScene.h"
#include "rendering/Input.h"
#include "rendering/Render.h"

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
        // The scene names the demo's program, found from the working directory as the demo
        // finds it; the start-up builds it, and every frame here draws through it.
        startUp();
        ASSERT_TRUE(Rendering::Render::instance().hasShaderAvailable())
            << "no program built from " << scene->getDataRoots().shader;
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

    // Selects the piece, checks the squares offered to it, and deselects it.
    void expectOffered(int index, const std::vector<int>& expected)
    {
        click(index);
        EXPECT_EQ(authorized(), expected) << "from " << index;
        click(index);
        EXPECT_TRUE(authorized().empty());
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
    // Stack depths, render mode, matrix mode, active texture unit, model-view and projection
    // matrices, with the frames drawn through the demo's program.
    auto state = [] {
        std::vector<double> s;
        for (GLenum what :
             {GL_MODELVIEW_STACK_DEPTH, GL_PROJECTION_STACK_DEPTH, GL_NAME_STACK_DEPTH, GL_ATTRIB_STACK_DEPTH,
              GL_CLIENT_ATTRIB_STACK_DEPTH, GL_RENDER_MODE, GL_MATRIX_MODE, GL_ACTIVE_TEXTURE})
            s.push_back(TestSupport::current(what));
        for (Matrix<double> m : {readModelView(), readProjection()})
            s.insert(s.end(), m.getPtr(), m.getPtr() + 16);
        return s;
    };
    const std::vector<double> before = state();
    // Frames with a message shown, over pieces and squares, and turning.
    click(45);
    click(22);
    click(33);
    Rendering::Render::instance().loop();
    EXPECT_NO_GL_ERROR();
    EXPECT_EQ(state(), before);
    EXPECT_EQ(before[5], GL_RENDER);
    EXPECT_NE(rot, 0.0f) << "the board was turning";
}

TEST_F(CheckersRulesGLTest, SelectRefuseMoveAndAlternate)
{
    click(45);
    EXPECT_EQ(message(), c_Empty);
    click(77);
    EXPECT_EQ(message(), c_NotYours);
    click(22);
    EXPECT_TRUE(square(22).isHighlightedSelected());
    EXPECT_EQ(authorized(), (std::vector<int>{31, 33}));
    EXPECT_EQ(message(), "");
    click(44);
    EXPECT_EQ(message(), c_Refused);
    EXPECT_EQ(rules().getSelectedSquare(), &square(22));

    click(33);
    EXPECT_EQ(owner(33), 1);
    EXPECT_EQ(owner(22), 0);
    EXPECT_TRUE(authorized().empty());
    EXPECT_FALSE(square(22).isHighlightedSelected());
    EXPECT_EQ(message(), "");
    EXPECT_EQ(scene->getBoard().getOrientation(), 180.0f);
    settle();

    // Player 2, on the turned board.
    click(33);
    EXPECT_EQ(message(), c_NotYours);
    click(77);
    EXPECT_EQ(authorized(), (std::vector<int>{66, 68}));
    click(66);
    EXPECT_EQ(owner(66), 2);
    EXPECT_EQ(rules().getCurrentPlayer(), 1);
    EXPECT_EQ(scene->getBoard().getOrientation(), 0.0f);
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

    // Player 2 on 71 with an opponent on 60: the jump would land on 49, across the side.
    place(20, 60);
    expectOffered(71, {62});
    // Player 2 on 77, an opponent on 66 with 55 empty.
    place(24, 66);
    click(77);
    EXPECT_EQ(authorized(), (std::vector<int>{55, 68}));
    click(55);
    EXPECT_EQ(owner(55), 2);
    EXPECT_EQ(owner(66), 0);
    EXPECT_EQ(rules().getCurrentPlayer(), 1);
}

TEST_F(CheckersRulesGLTest, OfferedSquaresStopAtSidesPiecesAndTheFarRow)
{
    // The side columns offer one diagonal; own pieces block.
    expectOffered(20, {31});
    place(28, 39);
    expectOffered(39, {48});
    expectOffered(11, {});
    // An opponent with an occupied square behind it blocks.
    place(73, 33);
    place(75, 44);
    expectOffered(22, {31});
    // No jump across the side (59 to 70), none backward (37 to 26).
    place(26, 48);
    place(77, 59);
    place(79, 37);
    expectOffered(48, {57});

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
