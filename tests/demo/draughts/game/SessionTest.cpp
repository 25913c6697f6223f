// The game as the player meets it, without a window: clicks on numbered squares, keys,
// the opponents' answers (and failures), and the texts shown.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <deque>
#include <memory>

#include "Notation.h"
#include "PdnDatabase.h"
#include "SearchOpponent.h"
#include "Session.h"

using namespace Draughts;

namespace
{
// An opponent that answers what the test tells it to, when the test says.
class ScriptedOpponent final : public Opponent
{
public:
    std::string name() const override { return "Scripted"; }
    bool start(const Game& game, const OpponentRequest& request, std::string& error) override
    {
        if (refuse) {
            error = "Scripted cannot start.";
            return false;
        }
        ++starts;
        asked = request;
        ply = game.moves().size();
        thinking = true;
        return true;
    }
    void cancel() override
    {
        thinking = false;
        events.clear();
    }
    bool isThinking() const override { return thinking; }
    bool poll(OpponentEvent& event) override
    {
        if (events.empty())
            return false;
        event = events.front();
        events.pop_front();
        if (event.kind == OpponentEvent::Kind::Move || event.kind == OpponentEvent::Kind::Error)
            thinking = false;
        return true;
    }
    void moved(const Game& game) override { seen.push_back(game.moves().back()); }

    // Queues the answer to the request running.
    void send(OpponentEvent::Kind kind, const Move& move = Move(), const std::string& text = "")
    {
        OpponentEvent event;
        event.kind = kind;
        event.ply = ply;
        event.move = move;
        event.text = text;
        events.push_back(event);
    }

    bool refuse = false;
    bool thinking = false;
    int starts = 0;
    std::size_t ply = 0;
    OpponentRequest asked;
    std::deque<OpponentEvent> events;
    std::vector<Move> seen;
};

Move parsed(const Game& game, const std::string& text)
{
    Move move;
    std::string error;
    EXPECT_TRUE(Notation::read(game.position(), text, move, error)) << error;
    return move;
}

class SessionTest : public ::testing::Test
{
protected:
    // A session for the options (the computer quick and weak unless given).
    void start(std::vector<std::string> arguments = {}, const std::string& fen = "")
    {
        arguments.insert(arguments.begin(), {"--time", "0.1", "--level", "1"});
        ASSERT_EQ(options.parse(arguments), Options::Outcome::Run) << options.error();
        session = std::make_unique<Session>(options);
        session->setOnChange([this] { ++changes; });
        session->setOnError([this](const std::string& line) { errors.push_back(line); });
        if (!fen.empty()) {
            Position position;
            std::string error;
            ASSERT_TRUE(Position::fromFen(fen, position, error)) << error;
            session->load(Game(position));
        }
    }

    // Waits for the computer's move and lets the session play it.
    void answer()
    {
        ASSERT_TRUE(session->isThinking());
        session->computer().wait();
        EXPECT_TRUE(session->poll());
        EXPECT_FALSE(session->isThinking());
    }

    Options options;
    std::unique_ptr<Session> session;
    int changes = 0;
    std::vector<std::string> errors;
};
} // namespace

// Two captures of the man on 32 end on 14 taking different pieces (28 29 30 20 by 23,
// or 38 39 30 20 by 43): after 14 the first landings are offered, and 23 decides.
TEST_F(SessionTest, ChoosesAmongCapturesByTheirLandings)
{
    start({"--black", "human"}, "W:W26,32,40:B20,28,29,30,38,39");
    session->click(32);
    EXPECT_EQ(session->selected(), 32);
    const std::vector<int> destinations = session->marked();
    ASSERT_NE(std::find(destinations.begin(), destinations.end(), 14), destinations.end());
    session->click(14);
    EXPECT_EQ(session->marked(), (std::vector<int>{23, 43}));
    EXPECT_EQ(session->destination(), 14);
    EXPECT_NE(session->statusText().find("click the marked squares"), std::string::npos);
    // A square off the routes is refused and changes nothing.
    session->click(34);
    EXPECT_TRUE(session->game().moves().empty());
    EXPECT_EQ(session->marked(), (std::vector<int>{23, 43}));
    std::vector<Move> played;
    session->setOnMove([&](const Position& before, const Move& move) {
        EXPECT_EQ(before.at(32), Piece::WhiteMan);
        played.push_back(move);
    });
    session->click(23);
    ASSERT_EQ(session->game().moves().size(), 1u);
    EXPECT_EQ(session->game().moves().back().toLongString(), "32x23x34x25x14");
    ASSERT_EQ(played.size(), 1u);
    EXPECT_EQ(played[0].toLongString(), "32x23x34x25x14");
    EXPECT_TRUE(session->marked().empty());
    EXPECT_NE(session->statusText().find("32x23x34x25x14"), std::string::npos) << session->statusText();
}

TEST_F(SessionTest, RefusesWhatTheRulesDoNotAllow)
{
    start();
    session->click(19);
    EXPECT_EQ(session->selected(), 0);
    EXPECT_NE(session->message().find("not yours"), std::string::npos);
    session->click(25);
    EXPECT_NE(session->message().find("one of your pieces"), std::string::npos);
    session->click(41);
    EXPECT_EQ(session->selected(), 0);
    EXPECT_EQ(session->message(), "This piece cannot move.");
    session->click(32);
    EXPECT_EQ(session->marked(), (std::vector<int>{27, 28}));
    session->click(22);
    EXPECT_EQ(session->selected(), 32);
    EXPECT_NE(session->message().find("marked squares"), std::string::npos);
    EXPECT_TRUE(session->game().moves().empty());
    // Clicking the piece again lets it go.
    session->click(32);
    EXPECT_EQ(session->selected(), 0);
    EXPECT_TRUE(session->marked().empty());

    // A capture is compulsory: a man that cannot take is refused, the one that can is offered.
    start({}, "W:W32,34:B10,28");
    session->click(34);
    EXPECT_EQ(session->selected(), 0);
    EXPECT_NE(session->message().find("compulsory"), std::string::npos);
    session->click(32);
    EXPECT_EQ(session->marked(), std::vector<int>{23});
    // While the computer answers, clicks are refused.
    session->click(23);
    ASSERT_TRUE(session->isThinking());
    session->click(19);
    EXPECT_NE(session->message().find("thinking"), std::string::npos);
}

TEST_F(SessionTest, UndoTakesBackAMoveOfEachSide)
{
    start();
    session->click(32);
    session->click(28);
    ASSERT_EQ(session->game().moves().size(), 1u);
    EXPECT_NE(session->statusText().find("Black (computer) is thinking"), std::string::npos) << session->statusText();
    // The search answering 32-28 is cancelled and 32-28 taken back.
    session->undo();
    EXPECT_FALSE(session->isThinking());
    EXPECT_TRUE(session->game().moves().empty());

    session->click(32);
    session->click(28);
    answer();
    ASSERT_EQ(session->game().moves().size(), 2u);
    EXPECT_EQ(session->game().position().sideToMove(), Color::White);
    session->undo();
    EXPECT_TRUE(session->game().moves().empty());
    EXPECT_EQ(session->game().position(), Position::initial());
    EXPECT_TRUE(session->record().empty());
    session->undo();
    EXPECT_EQ(session->message(), "No move to take back.");
}

TEST_F(SessionTest, SaysWhoWonAndHowToStartAgain)
{
    start({}, "W:W28:B23");
    session->click(28);
    session->click(19);
    EXPECT_EQ(session->game().result(), Result::WhiteWins);
    EXPECT_FALSE(session->isThinking());
    const std::string status = session->statusText();
    EXPECT_NE(status.find("White wins"), std::string::npos) << status;
    EXPECT_NE(status.find("n for a new game"), std::string::npos) << status;
    session->click(19);
    EXPECT_NE(session->message().find("game is over"), std::string::npos);
    session->newGame();
    EXPECT_EQ(session->game().position(), Position::initial());
}

// A game read back steps forward and back; a different move before its end replaces the
// rest; saved, the file reads back as the same game, with who played each side.
TEST_F(SessionTest, StepsThroughAGameAndSavesIt)
{
    start({"--black", "human"});
    Game game;
    std::string error;
    for (const char* move : {"32-28", "19-23", "28x19", "14x23"})
        ASSERT_TRUE(game.play(move, error)) << error;
    session->load(game);
    EXPECT_TRUE(session->game().moves().empty());
    session->stepForward();
    session->stepForward();
    session->stepForward();
    EXPECT_EQ(session->game().moves().size(), 3u);
    session->stepBack();
    EXPECT_EQ(session->game().moves().size(), 2u);
    EXPECT_EQ(session->record().size(), 4u);
    EXPECT_NE(session->statusText().find("move 2 of 4"), std::string::npos);
    // Black answers 32-28 differently: the rest of the record goes.
    session->stepBack();
    session->click(20);
    session->click(24);
    EXPECT_EQ(session->record().size(), 2u);

    char directory[] = "/tmp/draughts_saveXXXXXX";
    ASSERT_NE(mkdtemp(directory), nullptr);
    ASSERT_TRUE(session->save(directory)) << session->message();
    const std::string path = session->message().substr(std::string("Saved as ").size());
    EXPECT_EQ(path.rfind(std::string(directory) + "/draughts-", 0), 0u) << path;
    EXPECT_NE(session->statusText().find(path), std::string::npos);
    // A second save in the same second does not overwrite the first.
    ASSERT_TRUE(session->save(directory)) << session->message();
    const std::string second = session->message().substr(std::string("Saved as ").size());
    EXPECT_NE(second, path);
    PdnDatabase saved;
    ASSERT_TRUE(saved.openFile(path, error)) << error;
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_TRUE(saved.problems(0).empty());
    EXPECT_EQ(saved.game(0).moves(), session->record());
    EXPECT_EQ(saved.game(0).tag("White"), "Human");
    std::remove(path.c_str());
    std::remove(second.c_str());
    rmdir(directory);
    EXPECT_EQ(Session::saveName(0).size(), std::string("draughts-19700101-000000.pdn").size());
}

// 'h' asks the computer for White's move: once found, it is marked and named; playing takes
// the marks away.
TEST_F(SessionTest, MarksTheComputersHint)
{
    start();
    session->hint();
    ASSERT_TRUE(session->isLookingForHint());
    EXPECT_FALSE(session->isThinking());
    session->computer().wait();
    EXPECT_TRUE(session->poll());
    const Move hint = session->shownHint();
    const MoveList legal = session->game().legalMoves();
    ASSERT_NE(std::find(legal.begin(), legal.end(), hint), legal.end());
    EXPECT_TRUE(session->game().moves().empty());
    EXPECT_EQ(session->marked(), std::vector<int>{hint.to()});
    EXPECT_NE(session->message().find("Hint: " + hint.toString()), std::string::npos) << session->message();
    session->click(hint.from());
    session->click(hint.to());
    EXPECT_TRUE(session->shownHint().isEmpty());
}

// The side to move is asked with the options' time; its progress shows in the status, its
// move is played and told to every opponent; the board faces the person.
TEST_F(SessionTest, AsksTheOpponentAndPlaysItsCheckedMove)
{
    start({"--black", "human"});
    auto scripted = std::make_shared<ScriptedOpponent>();
    session->setPlayer(Color::Black, scripted);
    EXPECT_EQ(session->player(Color::Black), Session::Player::Other);
    EXPECT_EQ(session->facing(), Color::White);
    session->click(32);
    session->click(28);
    ASSERT_EQ(scripted->starts, 1);
    EXPECT_DOUBLE_EQ(scripted->asked.seconds, 0.1);
    EXPECT_EQ(scripted->asked.purpose, OpponentRequest::Purpose::Play);
    EXPECT_TRUE(session->isThinking());

    OpponentEvent progress;
    progress.kind = OpponentEvent::Kind::Progress;
    progress.ply = 1;
    progress.depth = 7;
    progress.score = -0.25;
    progress.hasScore = true;
    progress.move = parsed(session->game(), "19-23");
    progress.line = {progress.move, parsed(Game(session->game().position().after(progress.move)), "28x19")};
    scripted->events.push_back(progress);
    // Progress of an earlier request is not shown.
    progress.ply = 0;
    scripted->events.push_back(progress);
    EXPECT_TRUE(session->poll());
    const std::string status = session->statusText();
    EXPECT_NE(status.find("Black (Scripted) is thinking...\nDepth 7, score -0.25, line 19-23 28x19"), std::string::npos)
        << status;
    EXPECT_FALSE(session->poll());

    scripted->send(OpponentEvent::Kind::Move, parsed(session->game(), "19-23"));
    EXPECT_TRUE(session->poll());
    ASSERT_EQ(session->game().moves().size(), 2u);
    EXPECT_EQ(session->game().moves().back().toString(), "19-23");
    EXPECT_FALSE(session->isThinking());
    // Every opponent hears of every move.
    ASSERT_EQ(scripted->seen.size(), 2u);
    EXPECT_EQ(scripted->seen[0].toString(), "32-28");
    EXPECT_EQ(scripted->seen[1].toString(), "19-23");
    EXPECT_TRUE(errors.empty());
}

// An illegal move, an error, or a refusal to start leaves the game as it was, says so in one
// line (also to the error hook), and the side waits until c or m hands it over.
TEST_F(SessionTest, AFailingOpponentLeavesTheGameAndItsSideWaits)
{
    start({"--black", "human"});
    auto scripted = std::make_shared<ScriptedOpponent>();
    session->setPlayer(Color::Black, scripted);
    session->click(32);
    session->click(28);
    // 32-28 is no move of Black's.
    scripted->send(OpponentEvent::Kind::Move, Move::step(32, 28));
    EXPECT_TRUE(session->poll());
    EXPECT_EQ(session->game().moves().size(), 1u);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "Scripted played 32-28, which is not legal here.");
    Color waiting = Color::White;
    ASSERT_TRUE(session->stalled(waiting));
    EXPECT_EQ(waiting, Color::Black);
    EXPECT_NE(session->statusText().find("press c to let the computer play it, or m to play it yourself"),
              std::string::npos)
        << session->statusText();
    // Not asked again, clicks refused with the same advice.
    EXPECT_EQ(scripted->starts, 1);
    session->click(19);
    EXPECT_NE(session->message().find("press c"), std::string::npos);
    // Handed to the person: Black moves by clicks.
    session->handOver(Color::Black, false);
    EXPECT_FALSE(session->stalled(waiting));
    session->click(19);
    session->click(23);
    EXPECT_EQ(session->game().moves().size(), 2u);

    // An error ends the request the same way; handed to the computer, it answers.
    session->setPlayer(Color::Black, scripted);
    session->click(28);
    session->click(19);
    ASSERT_EQ(scripted->starts, 2);
    scripted->send(OpponentEvent::Kind::Error, Move(), "Scripted died.");
    EXPECT_TRUE(session->poll());
    EXPECT_EQ(errors.back(), "Scripted died.");
    EXPECT_EQ(session->game().moves().size(), 3u);
    ASSERT_TRUE(session->stalled(waiting));
    session->handOver(Color::Black, true);
    EXPECT_EQ(session->player(Color::Black), Session::Player::Computer);
    answer();
    EXPECT_EQ(session->game().moves().size(), 4u);

    // One that cannot start at all fails at once.
    scripted->refuse = true;
    session->setPlayer(Color::White, scripted);
    EXPECT_TRUE(session->stalled(waiting));
    EXPECT_EQ(waiting, Color::White);
    EXPECT_EQ(errors.back(), "Scripted cannot start.");
    EXPECT_EQ(session->game().moves().size(), 4u);
}

// A remote side may chat and end the game whenever it likes; moves cannot be taken back
// against one that does not allow it.
TEST_F(SessionTest, ShowsChatAndTheRemoteEndOfTheGame)
{
    class Remote final : public Opponent
    {
    public:
        std::string name() const override { return "Peer"; }
        bool start(const Game&, const OpponentRequest&, std::string&) override { return true; }
        void cancel() override {}
        bool isThinking() const override { return false; }
        bool poll(OpponentEvent& event) override
        {
            if (events.empty())
                return false;
            event = events.front();
            events.pop_front();
            return true;
        }
        bool allowsTakeBack() const override { return false; }
        std::deque<OpponentEvent> events;
    };
    start({"--black", "human"});
    auto remote = std::make_shared<Remote>();
    session->setPlayer(Color::Black, remote);
    session->click(32);
    session->click(28);
    session->undo();
    EXPECT_EQ(session->game().moves().size(), 1u);
    EXPECT_EQ(session->message(), "Moves cannot be taken back in this game.");
    OpponentEvent event;
    event.kind = OpponentEvent::Kind::Chat;
    event.text = "good luck";
    remote->events.push_back(event);
    EXPECT_TRUE(session->poll());
    EXPECT_EQ(session->message(), "Peer: good luck");
    event.kind = OpponentEvent::Kind::GameEnd;
    event.result = Result::WhiteWins;
    event.text = "resigned";
    remote->events.push_back(event);
    EXPECT_TRUE(session->poll());
    EXPECT_EQ(session->game().result(), Result::WhiteWins);
    EXPECT_NE(session->statusText().find("Peer ended the game: resigned"), std::string::npos);
}
