#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "Game.h"

using namespace Draughts;

namespace
{
Game gameFrom(const std::string& text)
{
    Position position;
    std::string error;
    EXPECT_TRUE(Position::fromFen(text, position, error)) << error;
    return Game(position);
}

void play(Game& game, const std::vector<std::string>& moves)
{
    for (const std::string& text : moves) {
        std::string error;
        ASSERT_TRUE(game.play(text, error)) << text << ": " << error;
    }
}

// Plays moves that reach positions not seen before and give the opponent no capture, with
// a king when kingsOnly is set, so that no rule but the one under test can end the game.
// Of those, the one leaving the opponent most such replies, so that a lone king is not cornered.
void wander(Game& game, int plies, bool kingsOnly = true)
{
    std::set<std::uint64_t> seen;
    for (std::size_t ply = 0; ply <= game.moves().size(); ++ply)
        seen.insert(game.positionBefore(ply).hash());
    MoveList replies;
    for (int i = 0; i < plies; ++i) {
        Move best;
        int bestReplies = 0;
        for (const Move& move : game.legalMoves()) {
            const Position next = game.position().after(move);
            const bool king = game.position().kings() & Bits::maskOf(move.fromBit());
            if (move.isCapture() || (kingsOnly && !king) || seen.count(next.hash()) || MoveGenerator::mustCapture(next))
                continue;
            MoveGenerator::generate(next, replies);
            int quiet = 0;
            for (const Move& reply : replies)
                quiet += !MoveGenerator::mustCapture(next.after(reply));
            if (quiet > bestReplies) {
                best = move;
                bestReplies = quiet;
            }
        }
        ASSERT_FALSE(best.isEmpty()) << "no quiet move in " << game.position().toFen();
        seen.insert(game.position().after(best).hash());
        ASSERT_TRUE(game.play(best));
    }
}
} // namespace

TEST(Game, TheSideWithoutAMoveLoses)
{
    const Game blocked = gameFrom("W:W46:B41,37");
    EXPECT_EQ(blocked.result(), Result::BlackWins);
    EXPECT_EQ(blocked.resultDescription(), "Black wins: White cannot move.");
    EXPECT_TRUE(blocked.legalMoves().empty());

    Game last = gameFrom("B:W28:B23");
    play(last, {"23x32"});
    EXPECT_EQ(last.result(), Result::BlackWins);
    EXPECT_EQ(last.resultDescription(), "Black wins: White has no pieces left.");
    std::string error;
    EXPECT_FALSE(last.play("32-37", error));
    EXPECT_EQ(error, "the game is over (Black wins: White has no pieces left.)");
    EXPECT_TRUE(last.undo());
    EXPECT_EQ(last.result(), Result::Ongoing);
    EXPECT_FALSE(last.play(Move::step(23, 29)));
    EXPECT_EQ(last.moves().size(), 0u);
}

TEST(Game, TheThirdRepetitionDraws)
{
    Game game = gameFrom("W:W31,K46:B20,K6");
    play(game, {"46-41", "6-11", "41-46", "11-6", "46-41", "6-11", "41-46"});
    EXPECT_EQ(game.result(), Result::Ongoing);
    play(game, {"11-6"});
    EXPECT_EQ(game.result(), Result::Draw);
    EXPECT_EQ(game.drawRule(), DrawRule::Repetition);
    EXPECT_EQ(game.resultDescription(), "Draw: the same position for the third time.");
    // A record may go on past the draw: playOn, not play, and only with legal moves.
    Game record = game;
    EXPECT_FALSE(record.play(Move::step(46, 41)));
    EXPECT_FALSE(record.playOn(Move::step(46, 40)));
    ASSERT_TRUE(record.playOn(Move::step(46, 41)));
    EXPECT_EQ(record.moves().size(), 9u);
    EXPECT_EQ(record.drawRule(), DrawRule::Repetition);
    ASSERT_TRUE(record.playOn(Move::step(6, 17)));
    EXPECT_EQ(record.result(), Result::Ongoing);
    EXPECT_FALSE(record.playOn(Move::step(41, 46)));
    game.undo();
    EXPECT_EQ(game.drawRule(), DrawRule::None);

    // Black loses a move in a triangle: the same squares with the other side to move are
    // another position, and (41, 6) with White to move occurs only twice.
    Game tempo = gameFrom("W:W31,K46:B20,K6");
    play(tempo, {"46-41", "6-17", "41-46", "17-11", "46-41", "11-6", "41-46", "6-11", "46-41", "11-6", "41-46"});
    EXPECT_EQ(tempo.result(), Result::Ongoing);
}

TEST(Game, TwentyFiveKingMovesEachDraw)
{
    Game game = gameFrom("W:W36,K1,K3:B15,K48,K50");
    wander(game, 30);
    // A man's move starts the count again.
    play(game, {"36-31"});
    wander(game, 49);
    EXPECT_EQ(game.result(), Result::Ongoing);
    wander(game, 1);
    EXPECT_EQ(game.drawRule(), DrawRule::KingMoves);
    EXPECT_EQ(game.resultText(game.result()), std::string("1-1"));
    // A record played on with kings stays drawn by the rule, however long it goes.
    MoveList moves;
    for (int i = 0; i < 200; ++i) {
        MoveGenerator::generate(game.position(), moves);
        const auto king = std::find_if(moves.begin(), moves.end(), [&](const Move& move) {
            return !move.isCapture() && (game.position().kings() & Bits::maskOf(move.fromBit())) &&
                   !MoveGenerator::mustCapture(game.position().after(move));
        });
        ASSERT_NE(king, moves.end());
        ASSERT_TRUE(game.playOn(*king));
        ASSERT_EQ(game.drawRule(), DrawRule::KingMoves);
    }
}

TEST(Game, LoneKingEndingsDrawAfterTheirMoves)
{
    Game three = gameFrom("W:WK1,K2,K3:BK28");
    wander(three, 31, false);
    EXPECT_EQ(three.result(), Result::Ongoing);
    wander(three, 1, false);
    EXPECT_EQ(three.drawRule(), DrawRule::ThreeAgainstKing);

    // A king and a man against a king: 5 moves each; men may move meanwhile.
    Game two = gameFrom("B:W35,K44:BK1");
    wander(two, 9, false);
    EXPECT_EQ(two.result(), Result::Ongoing);
    wander(two, 1, false);
    EXPECT_EQ(two.drawRule(), DrawRule::TwoAgainstKing);

    // Men alone against a king are no such ending; the count starts when a man is crowned.
    Game men = gameFrom("W:W11,12:BK46");
    play(men, {"11-7", "46-41", "12-8", "41-46", "7-2"});
    wander(men, 9, false);
    EXPECT_EQ(men.result(), Result::Ongoing);
    wander(men, 1, false);
    EXPECT_EQ(men.drawRule(), DrawRule::TwoAgainstKing);
}

TEST(Game, DeclaredResultsAndMoveNumbers)
{
    Game game = gameFrom("B:W31,32:B19,20");
    EXPECT_EQ(game.moveNumber(0), 1);
    play(game, {"19-23", "32-28", "23x32"});
    EXPECT_EQ(game.moveNumber(1), 2);
    EXPECT_EQ(game.moveNumber(2), 2);
    game.declareResult(Result::WhiteWins);
    EXPECT_EQ(game.result(), Result::WhiteWins);
    EXPECT_EQ(game.resultDescription(), "White wins.");
    EXPECT_FALSE(game.play(Move::step(31, 27)));
    game.undo();
    EXPECT_EQ(game.result(), Result::Ongoing);
    EXPECT_EQ(game.moveText(1), "32-28");
}
