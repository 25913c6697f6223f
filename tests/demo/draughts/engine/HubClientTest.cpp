// The GUI side of the Hub protocol against the real draughts_engine and against fake
// engines (small shell scripts) that hang, die, or answer what no engine should.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include "FakeEngine.h"
#include "HubClient.h"
#include "HubNotation.h"

using namespace Draughts;

namespace
{
using Clock = std::chrono::steady_clock;

// Polls until an event of one of these kinds (or the deadline), keeping the others.
bool until(HubClient& client, HubClient::Event& found, std::vector<HubClient::Event::Kind> kinds,
           std::vector<HubClient::Event>* others = nullptr, double seconds = 30.0)
{
    const Clock::time_point deadline =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    while (Clock::now() < deadline) {
        HubClient::Event event;
        if (!client.poll(event, 50))
            continue;
        if (std::find(kinds.begin(), kinds.end(), event.kind) != kinds.end()) {
            found = event;
            return true;
        }
        if (others)
            others->push_back(event);
    }
    return false;
}

void ready(HubClient& client, const std::string& command)
{
    std::string error;
    ASSERT_TRUE(client.start(command, error)) << error;
    HubClient::Event event;
    ASSERT_TRUE(until(client, event, {HubClient::Event::Kind::Ready, HubClient::Event::Kind::Error}));
    ASSERT_EQ(event.kind, HubClient::Event::Kind::Ready) << event.text;
}
} // namespace

// draughts_engine through the client: its name, a search with info and a legal move, an
// analysis stopped at its time, parameters passed.
TEST(HubClientTest, PlaysAndAnalyzesWithTheRealEngine)
{
    HubClient client;
    client.setParameter("hash", "8");
    client.setParameter("colour", "blue");
    ready(client, std::string("'") + DRAUGHTS_ENGINE + "'");
    EXPECT_EQ(client.name(), "Tessellon draughts");
    Game game;
    std::string error;
    ASSERT_TRUE(client.go(game, HubClient::Mode::Think, 0.2, error)) << error;
    EXPECT_FALSE(client.go(game, HubClient::Mode::Think, 0.2, error)) << "one search at a time";
    HubClient::Event done;
    std::vector<HubClient::Event> infos;
    ASSERT_TRUE(until(client, done, {HubClient::Event::Kind::Done, HubClient::Event::Kind::Error}, &infos));
    ASSERT_EQ(done.kind, HubClient::Event::Kind::Done) << done.text;
    const MoveList legal = game.legalMoves();
    EXPECT_NE(std::find(legal.begin(), legal.end(), done.move), legal.end());
    ASSERT_FALSE(infos.empty());
    EXPECT_GT(infos.back().depth, 0);
    EXPECT_TRUE(infos.back().hasScore);
    ASSERT_FALSE(infos.back().line.empty());
    EXPECT_EQ(infos.back().line.front(), infos.back().move);

    ASSERT_TRUE(game.play(done.move));
    ASSERT_TRUE(client.go(game, HubClient::Mode::Analyze, 0.3, error)) << error;
    ASSERT_TRUE(until(client, done, {HubClient::Event::Kind::Done, HubClient::Event::Kind::Error}));
    EXPECT_EQ(done.kind, HubClient::Event::Kind::Done) << done.text;
    client.close();
    EXPECT_FALSE(client.isReady());
}

// An analysis that goes on until it is told is stopped at its time, and its answer taken.
TEST(HubClientTest, StopsAnAnalysisAtItsTime)
{
    HubClient client;
    const FakeEngine engine("true", "echo wait", "echo 'done move=32-28'");
    ready(client, engine.command());
    EXPECT_EQ(client.name().rfind("sh", 0), 0u) << "the program's name until the engine gives one";
    std::string error;
    const Clock::time_point started = Clock::now();
    ASSERT_TRUE(client.go(Game(), HubClient::Mode::Analyze, 0.3, error)) << error;
    HubClient::Event done;
    ASSERT_TRUE(until(client, done, {HubClient::Event::Kind::Done, HubClient::Event::Kind::Error}));
    EXPECT_EQ(done.kind, HubClient::Event::Kind::Done) << done.text;
    EXPECT_EQ(done.move, Move::step(32, 28));
    EXPECT_GE(std::chrono::duration<double>(Clock::now() - started).count(), 0.29);
}

// The position sent is the one after the last capture or man move, with the king moves
// since; time goes as move-time.
TEST(HubClientTest, SendsThePositionSinceTheLastIrreversibleMove)
{
    char log[] = "/tmp/hub_logXXXXXX";
    const int fd = mkstemp(log);
    ASSERT_GE(fd, 0);
    close(fd);
    HubClient client;
    FakeEngine engine("echo 'done move=1-7'", "echo wait", "true", log);
    ready(client, engine.command());
    Position start;
    std::string error;
    ASSERT_TRUE(Position::fromFen("W:W31,K47:BK5", start, error)) << error;
    Game game(start);
    for (const char* move : {"31-27", "5-10", "47-42", "10-5"})
        ASSERT_TRUE(game.play(move, error)) << move << ": " << error;
    ASSERT_TRUE(client.go(game, HubClient::Mode::Think, 1.5, error)) << error;
    HubClient::Event event;
    ASSERT_TRUE(until(client, event, {HubClient::Event::Kind::Done, HubClient::Event::Kind::Error}));
    // 1-7 is no move here: refused, and the engine is done for.
    EXPECT_EQ(event.kind, HubClient::Event::Kind::Error);
    EXPECT_NE(event.text.find("cannot be played"), std::string::npos) << event.text;
    EXPECT_TRUE(client.hasFailed());
    std::ifstream in(log);
    std::stringstream lines;
    lines << in.rdbuf();
    const std::string sent = lines.str();
    const std::string after = HubNotation::writePosition(game.positionBefore(1));
    EXPECT_NE(sent.find("pos pos=" + after + " moves=\"5-10 47-42 10-5\"\n"), std::string::npos) << sent;
    EXPECT_NE(sent.find("level move-time=1.500\ngo think\n"), std::string::npos) << sent;
    std::remove(log);
}

// Every way an engine can fail ends in one Error line, and no process is left behind.
TEST(HubClientTest, EachFailureIsOneLineAndLeavesNoProcess)
{
    struct Case
    {
        const char* what;
        std::string command;
        double startUp;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {"silent at start-up", "true", 0.3, "did not finish its start-up within"},
        {"dies on go", "exit 3", 10.0, "ended (exited with status 3)"},
        {"hangs on go", "true", 10.0, "did not answer within its time and 2"},
        {"illegal move", "echo 'done move=32-23'", 10.0, "cannot be played"},
        {"malformed move", "echo 'done move=\"32-28'", 10.0, "malformed answer"},
        {"no move", "echo done", 10.0, "without a move"},
        {"refuses", "echo 'error message=\"no thanks\"'", 10.0, "refused the search: no thanks"},
    };
    for (const Case& test : cases) {
        const FakeEngine engine(test.command, test.startUp < 1.0 ? "true" : "echo 'id name=Fake'; echo wait");
        HubClient client;
        client.setStartUpTime(test.startUp);
        std::string error;
        ASSERT_TRUE(client.start(engine.command(), error)) << test.what << ": " << error;
        HubClient::Event event;
        ASSERT_TRUE(until(client, event, {HubClient::Event::Kind::Ready, HubClient::Event::Kind::Error})) << test.what;
        if (event.kind == HubClient::Event::Kind::Ready) {
            ASSERT_TRUE(client.go(Game(), HubClient::Mode::Think, 0.1, error)) << test.what << ": " << error;
            ASSERT_TRUE(until(client, event, {HubClient::Event::Kind::Done, HubClient::Event::Kind::Error})) << test.what;
        }
        ASSERT_EQ(event.kind, HubClient::Event::Kind::Error) << test.what;
        EXPECT_NE(event.text.find(test.expected), std::string::npos) << test.what << ": " << event.text;
        EXPECT_EQ(event.text.find('\n'), std::string::npos);
        EXPECT_EQ(client.failure(), event.text);
        EXPECT_FALSE(client.go(Game(), HubClient::Mode::Think, 0.1, error));
        EXPECT_EQ(error, event.text);
        // Failed, it was stopped and reaped: none of our children is left.
        EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1) << test.what;
    }
    HubClient missing;
    std::string error;
    EXPECT_FALSE(missing.start("/nonexistent/engine --fast", error));
    EXPECT_NE(error.find("/nonexistent/engine"), std::string::npos) << error;
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1) << "the failed start left no child";
    EXPECT_FALSE(missing.start("'unclosed", error));
    HubClient none;
    EXPECT_FALSE(none.start("", error));
}

// An engine flooding its output with lines the client ignores holds a poll for a bounded
// number of lines only; the search's time still runs out.
TEST(HubClientTest, AFloodOfOutputDoesNotHoldThePoll)
{
    HubClient client;
    const FakeEngine engine("yes junk");
    ready(client, engine.command());
    std::string error;
    ASSERT_TRUE(client.go(Game(), HubClient::Mode::Think, 0.1, error)) << error;
    int polls = 0;
    HubClient::Event event;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(20);
    while (Clock::now() < deadline && !client.poll(event, 0))
        ++polls;
    EXPECT_GT(polls, 10);
    EXPECT_EQ(event.kind, HubClient::Event::Kind::Error);
    EXPECT_NE(event.text.find("did not answer within its time"), std::string::npos) << event.text;
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
}
