// draughts_engine driven through its pipes by a scripted GUI, as a Hub GUI would: the
// start-up, every level form, ping and stop during a search, pondering, malformed lines
// and the end of input. Also the child process the GUI side starts it with.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "ChildProcess.h"
#include "EndgameGenerator.h"
#include "Game.h"
#include "HubLine.h"
#include "HubNotation.h"
#include "MoveGenerator.h"
#include "Search.h"

using namespace Draughts;

namespace
{
using Clock = std::chrono::steady_clock;

class ScriptedGui
{
public:
    explicit ScriptedGui(const std::vector<std::string>& command = {DRAUGHTS_ENGINE})
    {
        std::string error;
        started = process.start(command, error);
        EXPECT_TRUE(started) << error;
    }

    void send(const std::string& line) { EXPECT_TRUE(process.writeLine(line)) << line; }

    // Reads lines until one with this command arrives (within the time), keeping all read.
    bool expect(const std::string& command, HubLine& found, double seconds = 20.0)
    {
        const Clock::time_point deadline =
            Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
        while (Clock::now() < deadline) {
            std::string text;
            bool tooLong = false;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            const ChildProcess::Read read = process.readLine(text, tooLong, static_cast<int>(std::max<long long>(left, 1)));
            if (read == ChildProcess::Read::Closed)
                return false;
            if (read == ChildProcess::Read::Nothing)
                continue;
            HubLine line;
            std::string error;
            EXPECT_TRUE(HubLine::parse(text, line, error)) << "the engine wrote '" << text << "': " << error;
            seen.push_back(line);
            if (line.command() == command) {
                found = line;
                return true;
            }
        }
        return false;
    }
    bool expect(const std::string& command, double seconds = 20.0)
    {
        HubLine ignored;
        return expect(command, ignored, seconds);
    }
    // The lines of this command read so far (and forgets all read).
    std::vector<HubLine> take(const std::string& command)
    {
        std::vector<HubLine> kept;
        for (const HubLine& line : seen)
            if (line.command() == command)
                kept.push_back(line);
        seen.clear();
        return kept;
    }
    // Sends ping and returns what came before the pong.
    std::vector<HubLine> sync()
    {
        seen.clear();
        send("ping");
        EXPECT_TRUE(expect("pong"));
        std::vector<HubLine> before(seen.begin(), seen.end() - (seen.empty() ? 0 : 1));
        seen.clear();
        return before;
    }
    void startUp()
    {
        send("hub");
        ASSERT_TRUE(expect("wait"));
        send("init");
        ASSERT_TRUE(expect("ready"));
        seen.clear();
    }
    // The move of a done line, checked against the rules in `game`.
    static void expectLegal(const HubLine& done, const Game& game)
    {
        std::string text, error;
        ASSERT_TRUE(done.value("move", text));
        Move move;
        EXPECT_TRUE(HubNotation::readMove(game.position(), text, move, error)) << text << ": " << error;
    }

    ChildProcess process;
    bool started = false;
    std::vector<HubLine> seen;
};

std::string startPosition()
{
    return "pos pos=" + HubNotation::writePosition(Position::initial());
}
} // namespace

TEST(HubEngineTest, StartsUpWithItsIdentityAndParameters)
{
    ScriptedGui gui;
    ASSERT_TRUE(gui.started);
    gui.send("hub");
    HubLine id;
    ASSERT_TRUE(gui.expect("wait"));
    std::vector<HubLine> ids = gui.take("id");
    ASSERT_EQ(ids.size(), 1u);
    std::string value;
    EXPECT_TRUE(ids[0].value("name", value) && !value.empty());
    EXPECT_TRUE(ids[0].value("version", value));
    gui.send("hub");
    ASSERT_TRUE(gui.expect("wait"));
    std::vector<HubLine> params = gui.take("param");
    ASSERT_EQ(params.size(), 5u);
    for (const HubLine& param : params) {
        EXPECT_TRUE(param.value("name", value));
        const bool weights = value == "weights" || value == "endgames";
        EXPECT_TRUE(param.value("type", value));
        EXPECT_EQ(value, weights ? "string" : "int");
        EXPECT_TRUE(param.has("value"));
        EXPECT_TRUE(weights || (param.has("min") && param.has("max")));
    }
    gui.send("set-param name=level value=4");
    gui.send("set-param name=hash value=8");
    gui.send("set-param name=threads value=2");
    gui.send("set-param name=someone-elses value=1");
    gui.send("set-param name=weights value=none");
    gui.send("set-param name=weights value=\"\"");
    gui.send("set-param name=endgames value=none");
    gui.send("set-param name=endgames value=\"\"");
    EXPECT_TRUE(gui.sync().empty()) << "accepted quietly";
    gui.send("set-param name=level value=11");
    gui.send("set-param name=hash value=lots");
    gui.send("set-param name=threads value=0");
    gui.send("set-param name=level");
    gui.send("set-param name=weights value=/no/such/weights");
    gui.send("set-param name=endgames value=/no/such/table");
    std::vector<HubLine> before = gui.sync();
    ASSERT_EQ(before.size(), 6u);
    for (const HubLine& line : before) {
        EXPECT_EQ(line.command(), "error");
        EXPECT_TRUE(line.value("message", value) && !value.empty());
    }
    gui.send("init");
    ASSERT_TRUE(gui.expect("ready"));
}

// Each level form ends in exactly one done with a legal move, after info lines whose
// fields read as numbers and a principal variation of legal moves.
TEST(HubEngineTest, SearchesToEachLevelForm)
{
    ScriptedGui gui;
    ASSERT_TRUE(gui.started);
    gui.startUp();
    Game game;
    std::string error;
    ASSERT_TRUE(game.play("32-28", error));
    gui.send(startPosition() + " moves=32-28");
    for (const char* level : {"level depth=3", "level nodes=3000", "level move-time=0.2", "level time=5 moves=20 inc=0.1",
                              "level time=2", "level moves=1 time=0.3"}) {
        gui.send(level);
        gui.send("go think");
        HubLine done;
        ASSERT_TRUE(gui.expect("done", done)) << level;
        ScriptedGui::expectLegal(done, game);
        std::vector<HubLine> infos = gui.take("info");
        ASSERT_FALSE(infos.empty()) << level;
        for (const HubLine& info : infos) {
            std::string depth, score, nodes, pv;
            ASSERT_TRUE(info.value("depth", depth) && info.value("score", score) && info.value("nodes", nodes) &&
                        info.value("pv", pv));
            EXPECT_GT(std::stoi(depth), 0);
            std::stod(score);
            // The line is legal from the position.
            Position position = game.position();
            std::size_t at = 0;
            while (at < pv.size()) {
                const std::size_t end = std::min(pv.find(' ', at), pv.size());
                Move move;
                ASSERT_TRUE(HubNotation::readMove(position, pv.substr(at, end - at), move, error)) << pv << ": " << error;
                position = position.after(move);
                at = end + 1;
            }
        }
        std::string depth;
        infos.back().value("depth", depth);
        if (std::string(level) == "level depth=3") {
            EXPECT_EQ(depth, "3");
        }
        EXPECT_TRUE(gui.sync().empty()) << level << ": one done, nothing after it";
    }
}

// A table file named by set-param is the one the search looks up: in a won ending of two
// men, the score is the table's win; with none, it is the evaluation's.
TEST(HubEngineTest, LooksUpTheEndgameTableItIsGiven)
{
    EndgameTable table;
    EndgameGenerator::generate(table, 2);
    const std::string path = ::testing::TempDir() + "hub-endgames" + std::to_string(getpid());
    std::string error;
    ASSERT_TRUE(table.save(path, error)) << error;
    // A win several plies from the promotion that decides it, with a choice of moves.
    const EndgameTable::Signature men{1, 0, 1, 0};
    Position won;
    MoveList moves;
    for (std::size_t i = 0; i < EndgameTable::size(men); ++i) {
        EndgameTable::Value value;
        if (EndgameTable::positionAt(men, i, won) && table.probe(won, value) &&
            value.outcome == EndgameTable::Outcome::Win && value.plies >= 5 &&
            (MoveGenerator::generate(won, moves), moves.size() > 1))
            break;
    }
    ScriptedGui gui;
    ASSERT_TRUE(gui.started);
    auto scoreWith = [&](const std::string& endgames) {
        gui.send("set-param name=endgames value=" + endgames);
        gui.send("new-game");
        gui.send("pos pos=" + HubNotation::writePosition(won));
        gui.send("level depth=2");
        gui.send("go think");
        HubLine done;
        EXPECT_TRUE(gui.expect("done", done));
        std::vector<HubLine> infos = gui.take("info");
        std::string score = "nan";
        if (!infos.empty())
            infos.back().value("score", score);
        return std::stod(score);
    };
    gui.startUp();
    EXPECT_GE(scoreWith(path), Search::c_EndgameWin / 100 - 2) << HubNotation::writePosition(won);
    EXPECT_LT(scoreWith("none"), 10.0);
    std::remove(path.c_str());
}

namespace
{
// Plies of quiet moves from `game` that keep it going until every move of the side to
// move ends it (a draw rule's last move); false when there are none within `plies`.
bool playToTheLastMove(Game& game, int plies)
{
    const MoveList moves = game.legalMoves();
    const bool everyMoveEnds = !moves.empty() && std::all_of(moves.begin(), moves.end(), [&](const Move& move) {
        Game after = game;
        return after.play(move) && after.result() != Result::Ongoing;
    });
    if (everyMoveEnds)
        return true;
    for (const Move& move : moves) {
        if (plies == 0 || move.isCapture() || !game.play(move))
            continue;
        if (game.result() == Result::Ongoing && !MoveGenerator::mustCapture(game.position()) &&
            playToTheLastMove(game, plies - 1))
            return true;
        game.undo();
    }
    return false;
}
} // namespace

// The move to ponder on is the reply in the line of the move played, legal after it, and
// none when that move ends the game: here every move ends it by the rule of two pieces
// against a lone king, while the search looks further.
TEST(HubEngineTest, PondersOnlyOnAReplyThatCanBePlayed)
{
    ScriptedGui gui;
    ASSERT_TRUE(gui.started);
    gui.startUp();
    Position start;
    std::string error;
    ASSERT_TRUE(Position::fromFen("W:WK47,K49:BK23", start, error)) << error;
    Game game(start);
    ASSERT_TRUE(playToTheLastMove(game, 9));
    Game ended = game;
    ASSERT_TRUE(ended.play(game.legalMoves().front()));
    ASSERT_EQ(ended.drawRule(), DrawRule::TwoAgainstKing);
    std::string moves;
    for (const Move& move : game.moves())
        moves += (moves.empty() ? "" : " ") + HubNotation::writeMove(move);
    gui.send("pos pos=" + HubNotation::writePosition(start) + " moves=\"" + moves + "\"");
    for (const char* level : {"level depth=6", "level move-time=0.3"}) {
        gui.send(level);
        gui.send("go think");
        HubLine done;
        ASSERT_TRUE(gui.expect("done", done)) << level;
        ScriptedGui::expectLegal(done, game);
        EXPECT_FALSE(done.has("ponder")) << level << ": " << done.format();
    }

    // From the start, with a clock: the reply pondered on is legal after the move.
    gui.send(startPosition());
    gui.send("level moves=40 time=4 inc=0.1");
    for (int i = 0; i < 3; ++i) {
        gui.send("go think");
        HubLine done;
        ASSERT_TRUE(gui.expect("done", done));
        std::string text, reply;
        ASSERT_TRUE(done.value("move", text));
        Move move, answer;
        ASSERT_TRUE(HubNotation::readMove(Position::initial(), text, move, error)) << error;
        if (done.value("ponder", reply)) {
            EXPECT_TRUE(HubNotation::readMove(Position::initial().after(move), reply, answer, error)) << reply << ": " << error;
        }
    }
}

TEST(HubEngineTest, AnswersPingAndStopsDuringASearch)
{
    ScriptedGui gui;
    ASSERT_TRUE(gui.started);
    gui.startUp();
    gui.send(startPosition());
    gui.send("level infinite");
    gui.send("go analyze");
    ASSERT_TRUE(gui.expect("info"));
    gui.send("ping");
    ASSERT_TRUE(gui.expect("pong"));
    EXPECT_TRUE(gui.take("done").empty()) << "the search goes on";
    // Only ping, ponder-hit and stop are for a search.
    gui.send(startPosition());
    ASSERT_TRUE(gui.expect("error"));
    gui.send("stop");
    HubLine done;
    ASSERT_TRUE(gui.expect("done", done));
    ScriptedGui::expectLegal(done, Game());
    EXPECT_TRUE(gui.take("done").size() == 1);
    EXPECT_TRUE(gui.sync().empty()) << "one done per search";
    gui.send("stop");
    EXPECT_TRUE(gui.sync().empty()) << "stop without a search is ignored";

    // Pondering: no answer before ponder-hit, one after it, within the time.
    gui.send("level move-time=0.2");
    gui.send(startPosition() + " moves=\"32-28 17-21\"");
    gui.send("go ponder");
    ASSERT_TRUE(gui.expect("info"));
    EXPECT_FALSE(gui.expect("done", 0.5)) << "the clock runs from ponder-hit on";
    gui.send("ponder-hit");
    ASSERT_TRUE(gui.expect("done", done));
    Game game;
    std::string error;
    ASSERT_TRUE(game.play("32-28", error) && game.play("17-21", error));
    ScriptedGui::expectLegal(done, game);
    gui.send("new-game");
    EXPECT_TRUE(gui.sync().empty());
}

// Lines it cannot accept get an error and change nothing; unknown commands and arguments
// are ignored; a line of any length or content never stops it.
TEST(HubEngineTest, AnswersMalformedLinesWithAnError)
{
    ScriptedGui gui;
    ASSERT_TRUE(gui.started);
    gui.startUp();
    const std::string initial = HubNotation::writePosition(Position::initial());
    for (const std::string& bad :
         std::vector<std::string>{"pos pos=W", "pos", "pos pos=" + initial + " moves=\"32-28 32-28\"",
                                  "pos pos=\"" + initial, "level depth=deep", "level move-time=-1", "level",
                                  "go sideways", "go", "level nodes=0", std::string(70000, 'x'), "info \x01\x02",
                                  "="}) {
        gui.send(bad);
        std::vector<HubLine> answer = gui.sync();
        ASSERT_EQ(answer.size(), 1u) << bad.substr(0, 80);
        EXPECT_EQ(answer[0].command(), "error") << bad.substr(0, 80);
    }
    gui.send("frobnicate now=yes");
    gui.send("level depth=2 colour=blue");
    gui.send("");
    EXPECT_TRUE(gui.sync().empty());
    // The position before the bad ones stands: the initial one.
    gui.send("go think");
    HubLine done;
    ASSERT_TRUE(gui.expect("done", done));
    ScriptedGui::expectLegal(done, Game());
    // A game that is over has nothing to search.
    gui.send("pos pos=W" + std::string(49, 'e') + "b");
    gui.send("go think");
    std::vector<HubLine> answer = gui.sync();
    ASSERT_EQ(answer.size(), 1u);
    EXPECT_EQ(answer[0].command(), "error");
}

// Its standard input closed, it ends at once, also in the middle of a search; quit too.
TEST(HubEngineTest, EndsWithItsInputOrOnQuit)
{
    for (const char* last : {"", "quit"}) {
        ScriptedGui gui;
        ASSERT_TRUE(gui.started);
        gui.startUp();
        gui.send(startPosition());
        gui.send("level infinite");
        gui.send("go think");
        ASSERT_TRUE(gui.expect("info"));
        if (*last)
            gui.send(last);
        const Clock::time_point started = Clock::now();
        gui.process.stop(10000);
        EXPECT_LT(std::chrono::duration<double>(Clock::now() - started).count(), 5.0) << last;
        EXPECT_EQ(gui.process.exitDescription(), "exited with status 0") << last;
    }
}

// Commands are split like a shell's words without a shell; a missing program fails at
// start; one that ignores its input is killed and reaped.
TEST(HubEngineTest, ChildProcessesStartWithoutAShellAndAreAlwaysReaped)
{
    std::vector<std::string> words;
    std::string error;
    ASSERT_TRUE(ChildProcess::split("engine --name 'my engine' \"a b\"c d\\ e $HOME;", words, error)) << error;
    EXPECT_EQ(words, (std::vector<std::string>{"engine", "--name", "my engine", "a bc", "d e", "$HOME;"}));
    for (const char* bad : {"", "   ", "engine 'open", "engine \"open", "engine \\"})
        EXPECT_FALSE(ChildProcess::split(bad, words, error)) << bad;

    ChildProcess missing;
    EXPECT_FALSE(missing.start({"/nonexistent/engine"}, error));
    EXPECT_NE(error.find("/nonexistent/engine"), std::string::npos) << error;

    pid_t pid = -1;
    {
        ChildProcess deaf;
        ASSERT_TRUE(deaf.start({"sh", "-c", "trap '' TERM; exec sleep 30"}, error)) << error;
        pid = deaf.pid();
        std::string line;
        bool tooLong = false;
        EXPECT_EQ(deaf.readLine(line, tooLong, 50), ChildProcess::Read::Nothing);
        EXPECT_FALSE(deaf.hasEnded());
    }
    // Destroyed, it was killed and waited for: not even a zombie is left.
    EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), -1);
    EXPECT_EQ(kill(pid, 0), -1);

    ChildProcess talker(16);
    ASSERT_TRUE(talker.start({"sh", "-c", "echo one; echo a-much-longer-line-than-sixteen; printf last"}, error));
    std::string line;
    bool tooLong = false;
    ASSERT_EQ(talker.readLine(line, tooLong, 5000), ChildProcess::Read::Line);
    EXPECT_EQ(line, "one");
    ASSERT_EQ(talker.readLine(line, tooLong, 5000), ChildProcess::Read::Line);
    EXPECT_TRUE(tooLong);
    EXPECT_EQ(line.size(), 16u);
    ASSERT_EQ(talker.readLine(line, tooLong, 5000), ChildProcess::Read::Line);
    EXPECT_EQ(line, "last");
    EXPECT_EQ(talker.readLine(line, tooLong, 5000), ChildProcess::Read::Closed);
    talker.stop();
    EXPECT_EQ(talker.exitDescription(), "exited with status 0");
    EXPECT_FALSE(talker.writeLine("anyone?"));
}
