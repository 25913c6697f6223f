#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "ComputerPlayer.h"

using namespace Draughts;

// The computer plays both sides for a few moves at full strength: every move is legal and
// comes within its time and a tenth.
TEST(ComputerPlayerTest, PlaysLegalMovesInTime)
{
    ComputerPlayer computer;
    Game game;
    SearchLimits limits;
    limits.seconds = 0.4;
    for (int ply = 0; ply < 6; ++ply) {
        const auto started = std::chrono::steady_clock::now();
        computer.start(game, limits, ComputerPlayer::Purpose::Play);
        ComputerPlayer::Result result;
        while (!computer.takeResult(result))
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        EXPECT_LE(seconds, limits.seconds * 1.1) << "ply " << ply;
        EXPECT_FALSE(computer.isBusy());
        EXPECT_EQ(result.ply, game.moves().size());
        const MoveList legal = game.legalMoves();
        ASSERT_NE(std::find(legal.begin(), legal.end(), result.search.best), legal.end()) << "ply " << ply;
        ASSERT_TRUE(game.play(result.search.best));
    }
}

// Cancelled, or destroyed while it searches, it stops at once and hands nothing over.
TEST(ComputerPlayerTest, StopsWhenCancelledOrDestroyed)
{
    SearchLimits limits;
    limits.seconds = 60.0;
    ComputerPlayer computer;
    computer.start(Game(), limits, ComputerPlayer::Purpose::Hint);
    EXPECT_TRUE(computer.isBusy());
    EXPECT_EQ(computer.purpose(), ComputerPlayer::Purpose::Hint);
    computer.cancel();
    EXPECT_FALSE(computer.isBusy());
    ComputerPlayer::Result result;
    EXPECT_FALSE(computer.takeResult(result));
    {
        ComputerPlayer doomed;
        doomed.start(Game(), limits, ComputerPlayer::Purpose::Play);
    }
    // Started again, the first search is replaced by the second.
    limits.seconds = 0.05;
    computer.start(Game(), limits, ComputerPlayer::Purpose::Play);
    computer.start(Game(), limits, ComputerPlayer::Purpose::Play);
    computer.wait();
    EXPECT_TRUE(computer.takeResult(result));
    EXPECT_FALSE(result.search.best.isEmpty());
}
