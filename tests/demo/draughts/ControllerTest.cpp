// The game as the player meets it, without a window: clicks on numbered squares, keys,
// the computer's answers, and what the board and the texts then show.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>

#include "BoardView.h"
#include "ComputerPoller.h"
#include "Controller.h"
#include "KeyInput.h"
#include "PdnReader.h"

using namespace Draughts;

namespace
{
class ControllerTest : public ::testing::Test
{
protected:
    // A controller for the options (the computer quick and weak unless given).
    void start(std::vector<std::string> arguments = {}, const std::string& fen = "")
    {
        arguments.insert(arguments.begin(), {"--time", "0.1", "--level", "1"});
        ASSERT_EQ(options.parse(arguments), Options::Outcome::Run) << options.error();
        controller = std::make_unique<Controller>(view, options);
        if (!fen.empty()) {
            Position position;
            std::string error;
            ASSERT_TRUE(Position::fromFen(fen, position, error)) << error;
            controller->load(Game(position));
        }
    }

    // Waits for the computer's move and lets the controller play it.
    void answer()
    {
        ASSERT_TRUE(controller->computer().isBusy());
        controller->computer().wait();
        EXPECT_FALSE(controller->poll());
    }

    BoardView view{BoardView::findDataRoots("")};
    Options options;
    std::unique_ptr<Controller> controller;
};
} // namespace

// Two captures of the man on 32 end on 14 taking different pieces (28 29 30 20 by 23,
// or 38 39 30 20 by 43): after 14 the first landings are offered, and 23 decides.
TEST_F(ControllerTest, ChoosesAmongCapturesByTheirLandings)
{
    start({"--black", "human"}, "W:W26,32,40:B20,28,29,30,38,39");
    controller->click(32);
    EXPECT_EQ(controller->selected(), 32);
    const std::vector<int> destinations = controller->marked();
    ASSERT_NE(std::find(destinations.begin(), destinations.end(), 14), destinations.end());
    controller->click(14);
    EXPECT_EQ(controller->marked(), (std::vector<int>{23, 43}));
    EXPECT_TRUE(view.square(23)->isHighlightedAuthorized() && view.square(43)->isHighlightedAuthorized());
    EXPECT_NE(controller->statusText().find("click the marked squares"), std::string::npos);
    // A square off the routes is refused and changes nothing.
    controller->click(34);
    EXPECT_TRUE(controller->game().moves().empty());
    EXPECT_EQ(controller->marked(), (std::vector<int>{23, 43}));
    controller->click(23);
    ASSERT_EQ(controller->game().moves().size(), 1u);
    EXPECT_EQ(controller->game().moves().back().toLongString(), "32x23x34x25x14");
    for (int gone : {20, 28, 29, 30, 32})
        EXPECT_EQ(view.pieceOn(gone), nullptr) << gone;
    for (int kept : {38, 39})
        EXPECT_FALSE(view.showsWhite(kept)) << kept;
    EXPECT_TRUE(view.showsWhite(14));
    EXPECT_TRUE(controller->marked().empty());
    EXPECT_NE(controller->statusText().find("32x23x34x25x14"), std::string::npos) << controller->statusText();
}

TEST_F(ControllerTest, RefusesWhatTheRulesDoNotAllow)
{
    start();
    controller->click(19);
    EXPECT_EQ(controller->selected(), 0);
    EXPECT_NE(controller->message().find("not yours"), std::string::npos);
    controller->click(25);
    EXPECT_NE(controller->message().find("one of your pieces"), std::string::npos);
    controller->click(41);
    EXPECT_EQ(controller->selected(), 0);
    EXPECT_EQ(controller->message(), "This piece cannot move.");
    controller->click(32);
    EXPECT_EQ(controller->marked(), (std::vector<int>{27, 28}));
    controller->click(22);
    EXPECT_EQ(controller->selected(), 32);
    EXPECT_NE(controller->message().find("marked squares"), std::string::npos);
    EXPECT_TRUE(controller->game().moves().empty());
    // Clicking the piece again lets it go.
    controller->click(32);
    EXPECT_EQ(controller->selected(), 0);
    EXPECT_FALSE(view.square(28)->isHighlightedAuthorized());

    // A capture is compulsory: a man that cannot take is refused, the one that can is offered.
    start({}, "W:W32,34:B28");
    controller->click(34);
    EXPECT_EQ(controller->selected(), 0);
    EXPECT_NE(controller->message().find("compulsory"), std::string::npos);
    controller->click(32);
    EXPECT_EQ(controller->marked(), std::vector<int>{23});
}

TEST_F(ControllerTest, UndoTakesBackAMoveOfEachSide)
{
    start();
    KeyInput keys(*controller, ".");
    controller->click(32);
    controller->click(28);
    ASSERT_EQ(controller->game().moves().size(), 1u);
    EXPECT_NE(controller->statusText().find("thinking"), std::string::npos);
    // The search answering 32-28 is cancelled and 32-28 taken back.
    keys.press('u');
    EXPECT_FALSE(controller->computer().isBusy());
    EXPECT_TRUE(controller->game().moves().empty());
    EXPECT_TRUE(view.showsWhite(32));
    EXPECT_EQ(view.pieceOn(28), nullptr);

    controller->click(32);
    controller->click(28);
    answer();
    ASSERT_EQ(controller->game().moves().size(), 2u);
    EXPECT_EQ(controller->game().position().sideToMove(), Color::White);
    keys.press('u');
    EXPECT_TRUE(controller->game().moves().empty());
    EXPECT_EQ(controller->game().position(), Position::initial());
    EXPECT_TRUE(controller->record().empty());
    keys.press('u');
    EXPECT_EQ(controller->message(), "No move to take back.");
}

TEST_F(ControllerTest, ShowsAPromotedManAsAKing)
{
    start({"--black", "human"}, "W:W6:B45");
    EXPECT_FALSE(view.showsKing(6));
    controller->click(6);
    controller->click(1);
    ASSERT_NE(view.pieceOn(1), nullptr);
    EXPECT_TRUE(view.showsKing(1));
    EXPECT_TRUE(view.showsWhite(1));
    EXPECT_EQ(view.pieceOn(6), nullptr);
    // Taken back, it is a man again on its square.
    controller->undo();
    EXPECT_FALSE(view.showsKing(6));
    EXPECT_EQ(view.pieceOn(1), nullptr);
}

TEST_F(ControllerTest, SaysWhoWonAndHowToStartAgain)
{
    start({}, "W:W28:B23");
    controller->click(28);
    controller->click(19);
    EXPECT_EQ(controller->game().result(), Result::WhiteWins);
    EXPECT_FALSE(controller->computer().isBusy());
    const std::string status = controller->statusText();
    EXPECT_NE(status.find("White wins"), std::string::npos) << status;
    EXPECT_NE(status.find("n for a new game"), std::string::npos) << status;
    EXPECT_EQ(view.getStatus().getText(), status);
    controller->click(19);
    EXPECT_NE(controller->message().find("game is over"), std::string::npos);
    KeyInput(*controller, ".").press('n');
    EXPECT_EQ(controller->game().position(), Position::initial());
    EXPECT_EQ(view.pieceOn(19) != nullptr && !view.showsWhite(19), true);
}

// A game read back steps forward and back; a different move before its end replaces the
// rest; saved, the file reads back as the same game.
TEST_F(ControllerTest, StepsThroughAGameAndSavesIt)
{
    start({"--black", "human"});
    Game game;
    std::string error;
    for (const char* move : {"32-28", "19-23", "28x19", "14x23"})
        ASSERT_TRUE(game.play(move, error)) << error;
    controller->load(game);
    EXPECT_TRUE(controller->game().moves().empty());
    controller->stepForward();
    controller->stepForward();
    controller->stepForward();
    EXPECT_EQ(controller->game().moves().size(), 3u);
    EXPECT_EQ(view.pieceOn(28), nullptr);
    controller->stepBack();
    EXPECT_EQ(controller->game().moves().size(), 2u);
    EXPECT_EQ(controller->record().size(), 4u);
    // Black answers 32-28 differently: the rest of the record goes.
    controller->stepBack();
    controller->click(20);
    controller->click(24);
    EXPECT_EQ(controller->record().size(), 2u);

    char directory[] = "/tmp/draughts_saveXXXXXX";
    ASSERT_NE(mkdtemp(directory), nullptr);
    ASSERT_TRUE(controller->save(directory)) << controller->message();
    const std::string path = controller->message().substr(std::string("Saved as ").size());
    EXPECT_EQ(path.rfind(std::string(directory) + "/draughts-", 0), 0u) << path;
    EXPECT_NE(controller->statusText().find(path), std::string::npos);
    PdnContents contents;
    ASSERT_TRUE(PdnReader::readFile(path, contents, error)) << error;
    ASSERT_EQ(contents.games.size(), 1u);
    EXPECT_TRUE(contents.errors.empty());
    EXPECT_EQ(contents.games[0].moves(), controller->record());
    std::remove(path.c_str());
    rmdir(directory);
}

// 'h' asks the computer for White's move: once found, it is marked and named.
TEST_F(ControllerTest, MarksTheComputersHint)
{
    start();
    KeyInput(*controller, ".").press('h');
    ASSERT_TRUE(controller->computer().isBusy());
    controller->computer().wait();
    EXPECT_FALSE(controller->poll());
    const Move hint = controller->shownHint();
    const MoveList legal = controller->game().legalMoves();
    ASSERT_NE(std::find(legal.begin(), legal.end(), hint), legal.end());
    EXPECT_TRUE(controller->game().moves().empty());
    EXPECT_TRUE(view.square(hint.from())->isHighlightedSelected());
    EXPECT_EQ(controller->marked(), std::vector<int>{hint.to()});
    EXPECT_NE(controller->message().find("Hint: " + hint.toString()), std::string::npos) << controller->message();
    // Playing takes the marks away.
    controller->click(hint.from());
    controller->click(hint.to());
    EXPECT_TRUE(controller->shownHint().isEmpty());
    EXPECT_FALSE(view.square(hint.from())->isHighlightedSelected());
}
