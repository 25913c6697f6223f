// The session shown on the board without a window: the pieces, the marks, the texts and
// the side the board faces follow the session; the keys reach it.
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <memory>

#include "BoardView.h"
#include "Controller.h"
#include "KeyInput.h"
#include "PdnDatabase.h"
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

// A database of several games: the list is the status text; the keys choose within it and
// open a game; a game with an error is replayed up to it and played on from there; g goes
// back to the list and to the game.
TEST_F(ControllerTest, ChoosesAGameOfADatabaseFromItsList)
{
    start({"--black", "human"});
    std::string text;
    for (int i = 1; i <= 30; ++i)
        text += "[White \"W" + std::to_string(i) + "\"][Black \"B" + std::to_string(i) + "\"][Event \"Cup\"]\n" +
                (i == 2 ? "1. 32-28 19-23 2. 28x19 14x23 3. 28-22 *\n\n" : "1. 32-28 19-23 2-0\n\n");
    PdnDatabase database;
    std::string error;
    ASSERT_TRUE(database.setText(text, error)) << error;
    session->setGames(std::move(database));
    KeyInput keys(*controller, ".");
    EXPECT_TRUE(session->isChoosingGame());
    const auto status = [this]() { return view.getStatus().getText(); };
    EXPECT_EQ(status().rfind("Game 1 of 30:", 0), 0u) << status();
    EXPECT_NE(status().find("\n> 1. W1 - B1, Cup  2-0  1 move\n   2. W2 - B2, Cup  *  2 moves  ERROR move 3. 28-22: "
                            "illegal move: no white piece on 28"),
              std::string::npos)
        << status();
    EXPECT_EQ(status().find("13. W13"), std::string::npos);
    const std::pair<int, std::size_t> steps[] = {{GLUT_KEY_END, 29},      {GLUT_KEY_DOWN, 29}, {GLUT_KEY_PAGE_UP, 17},
                                                 {GLUT_KEY_PAGE_UP, 5},   {GLUT_KEY_PAGE_UP, 0}, {GLUT_KEY_UP, 0},
                                                 {GLUT_KEY_PAGE_DOWN, 12}, {GLUT_KEY_HOME, 0},   {GLUT_KEY_DOWN, 1}};
    for (const auto& [key, chosen] : steps) {
        keys.specialKey(key, 0, 0);
        EXPECT_EQ(session->games().chosen(), chosen) << key;
    }
    EXPECT_NE(status().find("\n> 2. W2"), std::string::npos) << status();
    // Clicks and the game's keys do nothing while the list is shown.
    controller->click(32);
    keys.press('n');
    EXPECT_EQ(session->selected(), 0);

    keys.press('\r');
    EXPECT_FALSE(session->isChoosingGame());
    EXPECT_EQ(session->game().tag("White"), "W2");
    EXPECT_EQ(session->record().size(), 4u);
    EXPECT_NE(session->message().find("Game 2 of 30. g: the list of games. Read up to its error: move 3. 28-22: illegal "
                                      "move: no white piece on 28."),
              std::string::npos)
        << session->message();
    for (int i = 0; i < 4; ++i)
        keys.specialKey(GLUT_KEY_RIGHT, 0, 0);
    EXPECT_EQ(view.pieceOn(19), nullptr);
    ASSERT_NE(view.pieceOn(23), nullptr);
    EXPECT_FALSE(view.showsWhite(23));
    controller->click(37);
    controller->click(32);
    EXPECT_EQ(session->game().moves().size(), 5u);

    keys.press('g');
    EXPECT_TRUE(session->isChoosingGame());
    EXPECT_NE(status().find("\n> 2. W2"), std::string::npos);
    keys.press('g');
    EXPECT_FALSE(session->isChoosingGame());
    EXPECT_EQ(session->game().moves().size(), 5u);
    EXPECT_FALSE(session->openGame(30));
    EXPECT_EQ(session->message(), "There is no game 31: the file holds 30 games.");

    // A file of one game opens it; there is no list to go back to.
    ASSERT_TRUE(database.setText("[White \"Solo\"] 1. 32-28 *", error));
    session->setGames(std::move(database));
    EXPECT_FALSE(session->isChoosingGame());
    EXPECT_EQ(session->game().tag("White"), "Solo");
    keys.press('g');
    EXPECT_FALSE(session->isChoosingGame());
    EXPECT_EQ(session->message().rfind("No list of games", 0), 0u);
}
