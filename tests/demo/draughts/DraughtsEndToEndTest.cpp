// Plays the real `draughts` program from outside, as a person would: on the X display it
// finds the window by its title, clicks squares with xdotool and reads the board from
// screenshots (ImageMagick's import), keeping its own copy of the game to know the moves.
#include <gtest/gtest.h>

#include "Game.h"
#include "MoveGenerator.h"
#include "rendering/Camera.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
// X's None would stand for the rules' empty square below.
#undef None
#include <dirent.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

using namespace Draughts;

namespace
{
using Clock = std::chrono::steady_clock;

bool runCommand(const std::string& command, std::string* output = nullptr)
{
    // A busy X server now and then refuses a client's connection: a few tries.
    for (int attempt = 0; attempt < 5; ++attempt) {
        FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
        if (!pipe)
            return false;
        std::string out;
        char buffer[65536];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            out.append(buffer, n);
        if (pclose(pipe) == 0) {
            if (output)
                *output = out;
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return false;
}

template <typename Check>
bool waitFor(Check check, double seconds)
{
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    while (Clock::now() < deadline) {
        if (check())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return check();
}

// Window pixel (y downward) of the board point (gridX, gridY), White's side nearest: the
// start-up camera and projection as the engine builds them, the scene scale 0.85f and the
// board's centring, in a 1024 x 728 window.
std::pair<int, int> boardPoint(double gridX, double gridY)
{
    Rendering::Camera camera;
    camera.setFOV(45.0);
    camera.setAspectRatio(1024.0 / 728.0);
    camera.setPlanes(1.0, 1000.0);
    camera.setPosition(Vec3<double>(0, 10, 10));
    camera.rotateX(-0.7853975);
    camera.buildTransformationMatrix();
    camera.buildProjectionMatrix();
    const double scale = 0.85f;
    double v[4] = {scale * (gridX - 6.0), scale * 0.001, scale * (-gridY + 6.0), 1.0};
    for (const Matrix<double>* m : {&camera.getTransformationMatrix(), &camera.getProjectionMatrix()}) {
        double out[4];
        for (int r = 0; r < 4; ++r)
            out[r] = (*m)[r] * v[0] + (*m)[4 + r] * v[1] + (*m)[8 + r] * v[2] + (*m)[12 + r] * v[3];
        std::copy(out, out + 4, v);
    }
    return {int((v[0] / v[3] + 1.0) / 2.0 * 1024.0), int((1.0 - v[1] / v[3]) / 2.0 * 728.0)};
}

// The centre of square n (1-50) on the screen.
std::pair<int, int> squareCentre(int number)
{
    const int fromTop = (number - 1) / 5;
    const int column = 2 * ((number - 1) % 5) + (fromTop % 2 == 0 ? 1 : 0);
    return boardPoint(column + 1.5, 9 - fromTop + 1.5);
}

// What each square holds: 'w', 'b' or '.'.
std::string occupancy(const Position& position)
{
    std::string text;
    for (int n = 1; n <= 50; ++n) {
        const Piece piece = position.at(n);
        text += piece == Piece::None ? '.' : piece == Piece::WhiteMan || piece == Piece::WhiteKing ? 'w' : 'b';
    }
    return text;
}

class DraughtsEndToEndTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!std::getenv("DISPLAY") || !(m_Display = XOpenDisplay(nullptr))) {
            if (std::getenv("CI"))
                FAIL() << "the end-to-end game needs a display under CI";
            GTEST_SKIP() << "no X display";
        }
        char directory[] = "/tmp/draughts_e2eXXXXXX";
        ASSERT_NE(mkdtemp(directory), nullptr);
        m_Directory = directory;
        // Started in a directory of its own, where it saves its games.
        m_Program = popen(("cd " + m_Directory + " && echo $$ && ASAN_OPTIONS=detect_leaks=0 exec " DRAUGHTS_BINARY
                           " --level 1 --time 0.2 2>&1")
                              .c_str(),
                          "r");
        ASSERT_TRUE(m_Program && std::fscanf(m_Program, "%d", &m_Pid) == 1 && std::fgetc(m_Program) == '\n');
    }

    void TearDown() override
    {
        if (m_Program) {
            kill(m_Pid, SIGKILL);
            pclose(m_Program);
        }
        if (m_Display)
            XCloseDisplay(m_Display);
        if (!m_Directory.empty())
            runCommand("rm -rf " + m_Directory);
    }

    bool findWindow()
    {
        std::string out;
        if (!runCommand("xdotool search --name '^Tessellon - Draughts'", &out) || out.empty())
            return false;
        XSelectInput(m_Display, m_Window = std::stoul(out), PropertyChangeMask);
        return true;
    }

    // The title is rewritten once a second: after two rewrites, what was sent before has
    // been handled.
    bool settled()
    {
        XSync(m_Display, True);
        int rewrites = 0;
        return waitFor(
            [&] {
                while (XPending(m_Display)) {
                    XEvent event;
                    XNextEvent(m_Display, &event);
                    rewrites += event.type == PropertyNotify && event.xproperty.atom == XA_WM_NAME;
                }
                return rewrites >= 2;
            },
            60.0);
    }

    // The board as the screen shows it, from the pixel at each square's centre: a white
    // piece is bright, a black one bluish, an empty dark square brown.
    std::string seenBoard()
    {
        std::string shot;
        if (!runCommand("import -window " + std::to_string(m_Window) + " -depth 8 rgb:-", &shot) ||
            shot.size() != 1024u * 728u * 3u)
            return "";
        std::string text;
        for (int n = 1; n <= 50; ++n) {
            const auto [x, y] = squareCentre(n);
            const auto* p = reinterpret_cast<const unsigned char*>(&shot[(y * 1024u + x) * 3]);
            text += p[2] > p[0] ? 'b' : p[0] + p[1] + p[2] > 330 ? 'w' : '.';
        }
        return text;
    }

    void click(int number)
    {
        const auto [x, y] = squareCentre(number);
        ASSERT_TRUE(runCommand("xdotool mousemove --window " + std::to_string(m_Window) + " " + std::to_string(x) +
                               " " + std::to_string(y)));
        ASSERT_TRUE(settled());
        ASSERT_TRUE(runCommand("xdotool click 1"));
    }

    // A move for White that leads to exchanges: a capture (compulsory anyway), else one
    // the computer must answer by capturing, else the first.
    static Move choose(const Game& game)
    {
        const MoveList moves = game.legalMoves();
        for (const Move& move : moves) {
            const Position after = game.position().after(move);
            if (move.isCapture() || MoveGenerator::mustCapture(after))
                return move;
        }
        return moves.front();
    }

    Display* m_Display = nullptr;
    FILE* m_Program = nullptr;
    int m_Pid = 0;
    Window m_Window = 0;
    std::string m_Directory;
};
} // namespace

TEST_F(DraughtsEndToEndTest, PlaysTheComputerSavesAndEndsWithEscape)
{
    ASSERT_TRUE(waitFor([&] { return findWindow(); }, 60.0)) << "no window titled \"Tessellon - Draughts\"";
    ASSERT_TRUE(runCommand("xdotool windowraise " + std::to_string(m_Window)));
    ASSERT_TRUE(settled());
    Game game;
    std::string seen;
    ASSERT_TRUE(waitFor([&] { return (seen = seenBoard()) == occupancy(game.position()); }, 30.0)) << seen;

    int ourCaptures = 0, itsCaptures = 0;
    for (int turn = 0; turn < 40 && (ourCaptures == 0 || itsCaptures == 0); ++turn) {
        ASSERT_EQ(game.result(), Result::Ongoing) << "the game ended first";
        const Move move = choose(game);
        // Captures with the same ends but other pieces taken would need more clicks.
        click(move.from());
        click(move.to());
        ASSERT_TRUE(game.play(move));
        ourCaptures += move.isCapture();
        if (game.result() != Result::Ongoing)
            break;
        // The computer's answer is the legal reply the screen comes to show.
        Move reply;
        const MoveList replies = game.legalMoves();
        ASSERT_TRUE(waitFor(
            [&] {
                seen = seenBoard();
                for (const Move& candidate : replies)
                    if (seen == occupancy(game.position().after(candidate))) {
                        reply = candidate;
                        return true;
                    }
                return false;
            },
            30.0))
            << "after " << move.toString() << " the board shows " << seen;
        ASSERT_TRUE(game.play(reply));
        itsCaptures += reply.isCapture();
    }
    EXPECT_GT(ourCaptures, 0);
    EXPECT_GT(itsCaptures, 0);

    // Saved in the directory it started in, as PDN the rules accept.
    // Keys go to the window under the pointer.
    ASSERT_TRUE(runCommand("xdotool mousemove --window " + std::to_string(m_Window) + " 10 10"));
    ASSERT_TRUE(runCommand("xdotool key s"));
    std::string saved;
    ASSERT_TRUE(waitFor(
        [&] {
            DIR* directory = opendir(m_Directory.c_str());
            while (dirent* entry = directory ? readdir(directory) : nullptr)
                if (std::string(entry->d_name).rfind("draughts-", 0) == 0)
                    saved = m_Directory + "/" + entry->d_name;
            if (directory)
                closedir(directory);
            return !saved.empty();
        },
        30.0))
        << "no game saved in " << m_Directory;
    std::string check;
    EXPECT_TRUE(runCommand(std::string(DRAUGHTS_PDN) + " check " + saved, &check)) << check;

    // The program may be gone before xdotool has finished with it: its end is what counts.
    runCommand("xdotool key Escape");
    int status = -1;
    ASSERT_TRUE(waitFor([&] { return waitpid(m_Pid, &status, WNOHANG) == m_Pid; }, 60.0)) << "no end on Escape";
    pclose(m_Program);
    m_Program = nullptr;
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
