// Plays the real `draughts` program from outside, as a person would: on the X display it
// finds the window by its title, clicks squares with xdotool and reads the board from
// screenshots (ImageMagick's import), keeping its own copy of the game to know the moves.
#include <gtest/gtest.h>

#include "Game.h"
#include "MoveGenerator.h"
#include "support/DesktopSession.h"

#include <dirent.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

using namespace Draughts;
using TestSupport::DesktopSession;

namespace
{
// Half the side of the square of pixels read around a square's centre.
constexpr int c_Patch = 4;

// The centre of square n (1-50) on the screen.
std::pair<int, int> squareCentre(int number)
{
    const int fromTop = (number - 1) / 5;
    const int column = 2 * ((number - 1) % 5) + (fromTop % 2 == 0 ? 1 : 0);
    return DesktopSession::boardPoint(column + 1.5, 9 - fromTop + 1.5);
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
        if (!m_Desktop.openDisplay()) {
            if (std::getenv("CI"))
                FAIL() << "the end-to-end game needs a display under CI";
            GTEST_SKIP() << "no X display";
        }
        char directory[] = "/tmp/draughts_e2eXXXXXX";
        ASSERT_NE(mkdtemp(directory), nullptr);
        m_Directory = directory;
        // Started in a directory of its own, where it saves its games.
        ASSERT_TRUE(m_Desktop.start(m_Directory, "exec " DRAUGHTS_BINARY " --level 1 --time 0.2"));
    }

    void TearDown() override
    {
        m_Desktop.close();
        if (!m_Directory.empty())
            DesktopSession::runCommand("rm -rf " + m_Directory);
    }

    // The board as the screen shows it, from the median colour of a few pixels around each
    // square's centre (a single pixel may fall on a groove of the piece's top): a white
    // piece is bright, a black one bluish, an empty dark square brown.
    std::string seenBoard()
    {
        const std::string shot = m_Desktop.screenshot();
        if (shot.empty())
            return "";
        std::string text;
        for (int n = 1; n <= 50; ++n) {
            const auto [x, y] = squareCentre(n);
            int p[3];
            for (int c = 0; c < 3; ++c) {
                std::vector<int> values;
                for (int dy = -c_Patch; dy <= c_Patch; ++dy)
                    for (int dx = -c_Patch; dx <= c_Patch; ++dx)
                        values.push_back(DesktopSession::pixel(shot, x + dx, y + dy)[c]);
                std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
                p[c] = values[values.size() / 2];
            }
            text += p[2] > p[0] ? 'b' : p[0] + p[1] + p[2] > 330 ? 'w' : '.';
        }
        return text;
    }

    void click(int number)
    {
        const auto [x, y] = squareCentre(number);
        ASSERT_TRUE(m_Desktop.movePointer(x, y));
        ASSERT_TRUE(m_Desktop.framesDrawn());
        ASSERT_TRUE(DesktopSession::runCommand("xdotool click 1"));
    }

    // A move for White that two clicks make (no other capture with the same ends but other
    // pieces taken) and that leads to exchanges: a capture (compulsory anyway), else one
    // the computer must answer by capturing, else the first.
    static Move choose(const Game& game)
    {
        const MoveList moves = game.legalMoves();
        MoveList plain;
        for (const Move& move : moves)
            if (std::count_if(moves.begin(), moves.end(), [&](const Move& other) {
                    return other.from() == move.from() && other.to() == move.to();
                }) == 1)
                plain.push_back(move);
        for (const Move& move : plain) {
            const Position after = game.position().after(move);
            if (move.isCapture() || MoveGenerator::mustCapture(after))
                return move;
        }
        return plain.empty() ? moves.front() : plain.front();
    }

    DesktopSession m_Desktop;
    std::string m_Directory;
};
} // namespace

TEST_F(DraughtsEndToEndTest, PlaysTheComputerSavesAndEndsWithEscape)
{
    ASSERT_TRUE(DesktopSession::waitFor([&] { return m_Desktop.findWindow("^Tessellon - Draughts"); }, 60.0))
        << "no window titled \"Tessellon - Draughts\"";
    ASSERT_TRUE(DesktopSession::runCommand("xdotool windowraise " + std::to_string(m_Desktop.window())));
    ASSERT_TRUE(m_Desktop.framesDrawn());
    Game game;
    std::string seen;
    ASSERT_TRUE(DesktopSession::waitFor([&] { return (seen = seenBoard()) == occupancy(game.position()); }, 30.0))
        << seen;

    int ourCaptures = 0, itsCaptures = 0;
    for (int turn = 0; turn < 40 && (ourCaptures == 0 || itsCaptures == 0); ++turn) {
        ASSERT_EQ(game.result(), Result::Ongoing) << "the game ended first";
        const Move move = choose(game);
        click(move.from());
        click(move.to());
        ASSERT_TRUE(game.play(move));
        ourCaptures += move.isCapture();
        if (game.result() != Result::Ongoing)
            break;
        // The computer's answer is the legal reply the screen comes to show.
        Move reply;
        const MoveList replies = game.legalMoves();
        ASSERT_TRUE(DesktopSession::waitFor(
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
    ASSERT_TRUE(m_Desktop.movePointer(10, 10));
    ASSERT_TRUE(DesktopSession::runCommand("xdotool key s"));
    std::string saved;
    ASSERT_TRUE(DesktopSession::waitFor(
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
    EXPECT_TRUE(DesktopSession::runCommand(std::string(DRAUGHTS_PDN) + " check " + saved, &check)) << check;

    // The program may be gone before xdotool has finished with it: its end is what counts.
    DesktopSession::runCommand("xdotool key Escape");
    int status = -1;
    ASSERT_TRUE(m_Desktop.finish(&status)) << "no end on Escape";
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
