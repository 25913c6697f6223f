// Two real `draughts` programs play one game over DXP on the loopback address, the computer
// on both sides: one listens on a free port, the other connects and asks for the game. The
// messages both write (--dxp-trace) are read back: the moves form a legal game, it ends as
// the rules say, and each side's end of the game is confirmed by the other.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "Game.h"

using namespace Draughts;

namespace
{
using Clock = std::chrono::steady_clock;

// Runs the game with `arguments`, its standard error into `errorFile`, in `directory`.
pid_t launch(const std::string& directory, const std::vector<std::string>& arguments, const std::string& errorFile)
{
    std::vector<std::string> words = {DRAUGHTS_BINARY};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        const int error = open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int none = open("/dev/null", O_WRONLY);
        if (chdir(directory.c_str()) != 0 || error < 0 || none < 0)
            _exit(127);
        dup2(error, 2);
        dup2(none, 1);
        // The GL driver keeps allocations until exit that are not the program's leaks.
        setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The messages of a trace, each with its direction: ">" sent, "<" received.
std::vector<std::pair<char, std::string>> messages(const std::string& trace)
{
    std::vector<std::pair<char, std::string>> found;
    std::istringstream lines(trace);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("DXP > ", 0) == 0 || line.rfind("DXP < ", 0) == 0)
            found.emplace_back(line[4], line.substr(6));
    return found;
}

bool waitFor(const std::function<bool()>& done, double seconds)
{
    const Clock::time_point deadline =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    while (!done() && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return done();
}

int count(const std::vector<std::pair<char, std::string>>& list, char direction, char type)
{
    return static_cast<int>(std::count_if(list.begin(), list.end(), [&](const auto& message) {
        return message.first == direction && !message.second.empty() && message.second[0] == type;
    }));
}

class DxpEndToEndTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const char* display = std::getenv("DISPLAY");
        if (!display || !*display) {
            if (std::getenv("CI"))
                FAIL() << "the DXP game needs a display under CI";
            GTEST_SKIP() << "no X display";
        }
        char directory[] = "/tmp/draughts_dxpXXXXXX";
        ASSERT_NE(mkdtemp(directory), nullptr);
        m_Directory = directory;
    }
    void TearDown() override
    {
        for (pid_t pid : m_Pids) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        if (!m_Directory.empty())
            std::system(("rm -rf " + m_Directory).c_str());
    }
    // Still running (neither crashed nor ended).
    bool running(pid_t pid) { return waitpid(pid, nullptr, WNOHANG) == 0; }

    std::string m_Directory;
    std::vector<pid_t> m_Pids;
};
} // namespace

TEST_F(DxpEndToEndTest, TwoProgramsPlayAGameToItsEnd)
{
    const std::vector<std::string> quick = {"--level", "1", "--time", "0.05", "--glide", "0", "--dxp-trace"};
    const std::string listenerErrors = m_Directory + "/listener.txt", connectorErrors = m_Directory + "/connector.txt";
    std::vector<std::string> listener = {"--dxp-listen", "0", "--white", "computer"};
    listener.insert(listener.end(), quick.begin(), quick.end());
    m_Pids.push_back(launch(m_Directory, listener, listenerErrors));
    std::string port;
    ASSERT_TRUE(waitFor(
        [&] {
            const std::string text = readFile(listenerErrors);
            const std::size_t at = text.find("DXP listening on 127.0.0.1:");
            const std::size_t end = text.find('\n', at);
            if (at == std::string::npos || end == std::string::npos)
                return false;
            port = text.substr(at + 27, end - at - 27);
            return true;
        },
        30.0))
        << readFile(listenerErrors);

    // The connecting side asks for the game and plays Black: the listening one is given White.
    std::vector<std::string> connector = {"--dxp-connect", "127.0.0.1:" + port, "--black", "computer"};
    connector.insert(connector.end(), quick.begin(), quick.end());
    m_Pids.push_back(launch(m_Directory, connector, connectorErrors));
    // Both have sent and received the game's end.
    std::vector<std::pair<char, std::string>> heard, asked;
    const bool ended = waitFor(
        [&] {
            heard = messages(readFile(listenerErrors));
            asked = messages(readFile(connectorErrors));
            return count(heard, '>', 'E') >= 1 && count(heard, '<', 'E') >= 1 && count(asked, '>', 'E') >= 1 &&
                   count(asked, '<', 'E') >= 1;
        },
        90.0);
    ASSERT_TRUE(ended) << readFile(listenerErrors) << "\n----\n" << readFile(connectorErrors);
    EXPECT_TRUE(running(m_Pids[0]));
    EXPECT_TRUE(running(m_Pids[1]));

    // What one sent the other received, in the same order.
    std::vector<std::string> sent, received;
    for (const auto& [direction, text] : heard)
        (direction == '>' ? sent : received).push_back(text);
    std::vector<std::string> otherSent, otherReceived;
    for (const auto& [direction, text] : asked)
        (direction == '>' ? otherSent : otherReceived).push_back(text);
    EXPECT_EQ(sent, otherReceived);
    EXPECT_EQ(received, otherSent);
    ASSERT_FALSE(otherSent.empty());
    EXPECT_EQ(otherSent.front().substr(0, 3), "R01");
    EXPECT_EQ(otherSent.front().substr(35), "W001050A");
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.front().substr(0, 1), "A");
    EXPECT_EQ(sent.front().back(), '0');

    // The moves, White's from the listener: a legal game that the rules end.
    Game game;
    std::string ends[2];
    for (const auto& [direction, text] : heard) {
        if (text[0] == 'E') {
            ends[direction == '>' ? 0 : 1] = text;
            continue;
        }
        if (text[0] != 'M')
            continue;
        ASSERT_EQ(direction == '>', game.position().sideToMove() == Color::White) << text;
        ASSERT_GE(text.size(), 11u);
        const int from = std::stoi(text.substr(5, 2)), to = std::stoi(text.substr(7, 2));
        std::vector<int> captured;
        for (std::size_t at = 11; at + 2 <= text.size(); at += 2)
            captured.push_back(std::stoi(text.substr(at, 2)));
        std::sort(captured.begin(), captured.end());
        const MoveList legal = game.legalMoves();
        const auto found = std::find_if(legal.begin(), legal.end(), [&](const Move& move) {
            std::vector<int> taken = move.captured();
            std::sort(taken.begin(), taken.end());
            return move.from() == from && move.to() == to && taken == captured;
        });
        ASSERT_NE(found, legal.end()) << text << " after " << game.moves().size() << " moves";
        ASSERT_TRUE(game.play(*found));
    }
    ASSERT_NE(game.result(), Result::Ongoing) << game.moves().size() << " moves";
    // The listener played White: its end says what the result is for White, the other's
    // for Black.
    const char white = game.result() == Result::Draw ? '2' : game.result() == Result::WhiteWins ? '3' : '1';
    const char black = white == '2' ? '2' : white == '3' ? '1' : '3';
    EXPECT_EQ(ends[0].substr(0, 2), std::string("E") + white);
    EXPECT_EQ(ends[1].substr(0, 2), std::string("E") + black);
}
