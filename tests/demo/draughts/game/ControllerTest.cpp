// The session shown on the board without a window: the pieces, the marks, the texts and
// the side the board faces follow the session; the keys reach it.
#include <gtest/gtest.h>

#include <memory>

#include "BoardView.h"
#include "Controller.h"
#include "KeyInput.h"
#include "SearchOpponent.h"
#include "rendering/Render.h"

using namespace Draughts;

namespace
{
class ControllerTest : public ::testing::Test
{
protected:
    void start(std::vector<std::string> arguments = {}, const std::string& fen = "")
    {
        arguments.insert(arguments.begin(), {"--time", "0.1", "--level", "1"});
        ASSERT_EQ(options.parse(arguments), Options::Outcome::Run) << options.error();
        controller.reset();
        session = std::make_unique<Session>(options);
        if (!fen.empty()) {
            Position position;
            std::string error;
            ASSERT_TRUE(Position::fromFen(fen, position, error)) << error;
            session->load(Game(position));
        }
        controller = std::make_unique<Controller>(view, *session);
    }

    BoardView view{BoardView::findDataRoots("")};
    Options options;
    std::unique_ptr<Session> session;
    std::unique_ptr<Controller> controller;
};
} // namespace

// Choosing among captures marks the landings; the capture played takes its pieces off.
TEST_F(ControllerTest, ShowsTheMarksAndTheMovesOfTheSession)
{
    start({"--black", "human"}, "W:W26,32,40:B20,28,29,30,38,39");
    EXPECT_TRUE(view.showsWhite(32));
    controller->click(32);
    EXPECT_TRUE(view.square(32)->isHighlightedSelected());
    controller->click(14);
    EXPECT_TRUE(view.square(23)->isHighlightedAuthorized() && view.square(43)->isHighlightedAuthorized());
    EXPECT_TRUE(view.square(14)->isHighlightedSelected());
    controller->click(23);
    for (int gone : {20, 28, 29, 30, 32})
        EXPECT_EQ(view.pieceOn(gone), nullptr) << gone;
    for (int kept : {38, 39})
        EXPECT_FALSE(view.showsWhite(kept)) << kept;
    EXPECT_TRUE(view.showsWhite(14));
    EXPECT_FALSE(view.square(23)->isHighlightedAuthorized());
    EXPECT_EQ(view.getStatus().getText(), session->statusText());
    // Two people: the board faces the side to move.
    EXPECT_EQ(view.getBoard().getOrientation(), 180.0f);
}

TEST_F(ControllerTest, ShowsAPromotedManAsAKingAndTakesItBack)
{
    start({"--black", "human"}, "W:W6:B45");
    EXPECT_FALSE(view.showsKing(6));
    controller->click(6);
    controller->click(1);
    ASSERT_NE(view.pieceOn(1), nullptr);
    EXPECT_TRUE(view.showsKing(1));
    EXPECT_TRUE(view.showsWhite(1));
    EXPECT_EQ(view.pieceOn(6), nullptr);
    KeyInput keys(*controller, ".");
    keys.press('u');
    EXPECT_FALSE(view.showsKing(6));
    EXPECT_EQ(view.pieceOn(1), nullptr);
}

// The computer's answer comes through the controller's poll, and a gliding move holds the
// next one back until it has landed.
TEST_F(ControllerTest, PlaysTheComputersAnswerOnceTheBoardShowsTheMoveBefore)
{
    start();
    controller->setLegDuration(60000.0);
    controller->click(32);
    controller->click(28);
    EXPECT_TRUE(controller->isMoving());
    session->computer().wait();
    EXPECT_FALSE(controller->poll());
    EXPECT_EQ(session->game().moves().size(), 1u);
    controller->finishMoves();
    EXPECT_TRUE(view.showsWhite(28));
    EXPECT_TRUE(controller->poll());
    EXPECT_EQ(session->game().moves().size(), 2u);
    EXPECT_TRUE(controller->isMoving());
    // A key completes the glide first.
    KeyInput(*controller, ".").press('n');
    EXPECT_FALSE(controller->isMoving());
    EXPECT_EQ(view.pieceOn(28), nullptr);
    EXPECT_TRUE(view.showsWhite(32));
}
