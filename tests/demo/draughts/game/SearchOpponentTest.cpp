#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "SearchOpponent.h"

using namespace Draughts;

namespace
{
// Polls until the request's final event (Move or Error) has come, within a deadline; the
// progress seen before it is kept.
bool finalEvent(SearchOpponent& computer, OpponentEvent& last, std::vector<OpponentEvent>& progress)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
        OpponentEvent event;
        while (computer.poll(event)) {
            if (event.kind != OpponentEvent::Kind::Progress) {
                last = event;
                return true;
            }
            progress.push_back(event);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}
} // namespace

// The computer plays both sides for a few moves at full strength: every move is legal,
// comes within its time, after progress of increasing depth with a legal line.
TEST(SearchOpponentTest, ReportsProgressThenOneLegalMoveInTime)
{
    SearchOpponent computer;
    Game game;
    OpponentRequest request;
    request.seconds = 0.4;
    std::string error;
    for (int ply = 0; ply < 6; ++ply) {
        const auto started = std::chrono::steady_clock::now();
        ASSERT_TRUE(computer.start(game, request, error));
        EXPECT_TRUE(computer.isThinking());
        OpponentEvent answer;
        std::vector<OpponentEvent> progress;
        ASSERT_TRUE(finalEvent(computer, answer, progress)) << "ply " << ply;
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        // Keeps to its time; the margin allows for a busy machine (exact timing is the
        // benchmark's business).
        EXPECT_LE(seconds, request.seconds + 0.5) << "ply " << ply;
        EXPECT_FALSE(computer.isThinking());
        ASSERT_EQ(answer.kind, OpponentEvent::Kind::Move);
        EXPECT_EQ(answer.ply, game.moves().size());
        const MoveList legal = game.legalMoves();
        ASSERT_NE(std::find(legal.begin(), legal.end(), answer.move), legal.end()) << "ply " << ply;
        // The first depth always completes, unless the move was forced (an exchange).
        if (legal.size() > 1) {
            ASSERT_GE(progress.size(), 1u) << "ply " << ply;
        }
        for (std::size_t i = 0; i < progress.size(); ++i) {
            EXPECT_EQ(progress[i].depth, static_cast<int>(i) + 1);
            EXPECT_EQ(progress[i].ply, game.moves().size());
            ASSERT_FALSE(progress[i].line.empty());
            EXPECT_EQ(progress[i].line.front(), progress[i].move);
            EXPECT_NE(std::find(legal.begin(), legal.end(), progress[i].move), legal.end());
        }
        EXPECT_FALSE(computer.poll(answer)) << "one final event, nothing after it";
        ASSERT_TRUE(game.play(answer.move));
    }
}

// Cancelled, or destroyed while it searches, it stops at once and hands nothing over; a
// second start replaces the first; a game that is over gets an error, not a move.
TEST(SearchOpponentTest, StopsWhenCancelledOrReplaced)
{
    OpponentRequest request;
    request.seconds = 60.0;
    std::string error;
    SearchOpponent computer;
    computer.start(Game(), request, error);
    EXPECT_TRUE(computer.isThinking());
    computer.cancel();
    EXPECT_FALSE(computer.isThinking());
    OpponentEvent event;
    EXPECT_FALSE(computer.poll(event));
    {
        SearchOpponent doomed;
        doomed.start(Game(), request, error);
    }
    request.seconds = 0.05;
    computer.start(Game(), request, error);
    computer.start(Game(), request, error);
    std::vector<OpponentEvent> progress;
    ASSERT_TRUE(finalEvent(computer, event, progress));
    EXPECT_EQ(event.kind, OpponentEvent::Kind::Move);
    EXPECT_FALSE(computer.poll(event));

    Position lost;
    ASSERT_TRUE(Position::fromFen("W:W46:B41,37", lost, error)) << error;
    ASSERT_NE(Game(lost).result(), Result::Ongoing);
    ASSERT_TRUE(computer.start(Game(lost), request, error));
    ASSERT_TRUE(finalEvent(computer, event, progress));
    EXPECT_EQ(event.kind, OpponentEvent::Kind::Error);
    EXPECT_FALSE(event.text.empty());
    EXPECT_FALSE(computer.isThinking());
}
