#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <tuple>

#include "../FenPosition.h"
#include "MoveGenerator.h"
#include "Perft.h"

using namespace Draughts;

namespace
{
// Each move as (start, landings, taken squares sorted), sorted: comparable with a literal.
using Written = std::tuple<int, std::vector<int>, std::vector<int>>;
std::vector<Written> written(const MoveList& moves)
{
    std::vector<Written> list;
    for (const Move& move : moves) {
        std::vector<int> taken = move.captured();
        std::sort(taken.begin(), taken.end());
        list.emplace_back(move.from(), move.landings(), taken);
    }
    std::sort(list.begin(), list.end());
    return list;
}
std::vector<Written> movesOf(const std::string& text)
{
    MoveList moves;
    MoveGenerator::generate(fen(text), moves);
    return written(moves);
}

// A plain second generator on a 10 x 10 array, written straight from the rules, to compare
// with on random positions: (start, end, taken squares) of every legal move.
class Reference
{
public:
    using Key = std::tuple<int, int, std::vector<int>>;
    explicit Reference(const Position& position) : m_Side(position.sideToMove())
    {
        for (int square = 1; square <= 50; ++square)
            m_Board[rowOf(square)][columnOf(square)] = position.at(square);
    }
    std::set<Key> moves()
    {
        for (int square = 1; square <= 50; ++square)
            if (own(at(square)))
                capture(square, square, {});
        if (!m_Captures.empty())
            return m_Captures;
        std::set<Key> steps;
        for (int square = 1; square <= 50; ++square) {
            if (!own(at(square)))
                continue;
            for (auto [dr, dc] : c_Directions) {
                if (!king(at(square)) && dr != (m_Side == Color::White ? -1 : 1))
                    continue;
                for (int r = rowOf(square) + dr, c = columnOf(square) + dc; empty(r, c, 0); r += dr, c += dc) {
                    steps.insert({square, squareAt(r, c), {}});
                    if (!king(at(square)))
                        break;
                }
            }
        }
        return steps;
    }

private:
    static constexpr int c_Directions[4][2] = {{-1, -1}, {-1, 1}, {1, -1}, {1, 1}};
    static int rowOf(int square) { return (square - 1) / 5; }
    static int columnOf(int square) { return 2 * ((square - 1) % 5) + (rowOf(square) % 2 == 0 ? 1 : 0); }
    static bool inside(int r, int c) { return r >= 0 && r < 10 && c >= 0 && c < 10; }
    static int squareAt(int r, int c) { return r * 5 + c / 2 + 1; }
    Piece at(int square) const { return m_Board[rowOf(square)][columnOf(square)]; }
    bool own(Piece p) const
    {
        return m_Side == Color::White ? p == Piece::WhiteMan || p == Piece::WhiteKing
                                      : p == Piece::BlackMan || p == Piece::BlackKing;
    }
    static bool king(Piece p) { return p == Piece::WhiteKing || p == Piece::BlackKing; }
    // Empty, the moving piece's start counting as empty.
    bool empty(int r, int c, int start) const
    {
        return inside(r, c) && (m_Board[r][c] == Piece::None || squareAt(r, c) == start);
    }
    void capture(int start, int at, std::vector<int> taken)
    {
        bool further = false;
        for (auto [dr, dc] : c_Directions) {
            int r = rowOf(at) + dr, c = columnOf(at) + dc;
            if (king(this->at(start)))
                while (empty(r, c, start))
                    r += dr, c += dc;
            if (!inside(r, c) || empty(r, c, start) || own(m_Board[r][c]) ||
                std::count(taken.begin(), taken.end(), squareAt(r, c)))
                continue;
            const int over = squareAt(r, c);
            for (r += dr, c += dc; empty(r, c, start); r += dr, c += dc) {
                further = true;
                std::vector<int> more = taken;
                more.push_back(over);
                capture(start, squareAt(r, c), more);
                if (!king(this->at(start)))
                    break;
            }
        }
        if (further || taken.empty())
            return;
        std::sort(taken.begin(), taken.end());
        if (!m_Captures.empty() && std::get<2>(*m_Captures.begin()).size() > taken.size())
            return;
        if (!m_Captures.empty() && std::get<2>(*m_Captures.begin()).size() < taken.size())
            m_Captures.clear();
        m_Captures.insert({start, at, taken});
    }

    Piece m_Board[10][10] = {};
    Color m_Side;
    std::set<Key> m_Captures;
};
} // namespace

TEST(MoveGenerator, PerftMatchesThePublishedCounts)
{
    const std::uint64_t initial[] = {9, 81, 658, 4265, 27117, 167140};
    for (int depth = 1; depth <= 6; ++depth)
        EXPECT_EQ(Perft::count(Position::initial(), depth), initial[depth - 1]) << "depth " << depth;
    // The Woldouby position, full of captures.
    const Position woldouby = fen("W:W25,27,28,30,32,33,34,35,37,38:B12,13,14,16,18,19,21,23,24,26");
    const std::uint64_t counts[] = {6, 12, 30, 73, 215, 590, 1944, 6269, 22369, 88050};
    for (int depth = 1; depth <= 10; ++depth)
        EXPECT_EQ(Perft::count(woldouby, depth), counts[depth - 1]) << "depth " << depth;
    std::uint64_t total = 0;
    for (const auto& entry : Perft::divide(woldouby, 5))
        total += entry.second;
    EXPECT_EQ(total, 215u);
}

TEST(MoveGenerator, KingsFlyAndTakeTheMostPiecesWhateverTheirKind)
{
    // A lone king on the long diagonal, and in the middle of the board.
    EXPECT_EQ(movesOf("W:WK46:B").size(), 9u);
    EXPECT_EQ(movesOf("W:WK28:B").size(), 17u);
    // The man could take one piece, the king two: only the king may capture. It lands on any
    // square behind the second piece, whichever square it took off from after the first.
    EXPECT_EQ(movesOf("W:W34,K46:B37,19,30"),
              (std::vector<Written>{{46, {32, 5}, {19, 37}}, {46, {32, 10}, {19, 37}}, {46, {32, 14}, {19, 37}}}));
    // Two men outweigh one king.
    EXPECT_EQ(movesOf("W:W32,K46:BK23,17,27,33"), (std::vector<Written>{{32, {21, 12}, {17, 27}}}));
    // Black's men capture backwards (north) as well.
    EXPECT_EQ(movesOf("B:W23,38:B28"), (std::vector<Written>{{28, {19}, {23}}}));
}

TEST(MoveGenerator, TakenPiecesBlockUntilTheMoveEnds)
{
    // Were taken pieces lifted at once, the king could take four; they stay and block.
    const auto moves = movesOf("W:WK26:B1,4,23,37,40,43");
    ASSERT_EQ(moves.size(), 4u);
    for (const auto& move : moves)
        EXPECT_EQ(std::get<2>(move).size(), 3u);
}

TEST(MoveGenerator, ALongCaptureByManyRoutesIsOneMove)
{
    // Seven pieces taken in a figure of eight that crosses the man's own start square; six
    // routes, one move.
    const Position position = fen("W:W33:B16,18,19,27,28,29,35,37,38");
    MoveList moves;
    MoveGenerator::generate(position, moves);
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0].captureCount(), 7);
    EXPECT_EQ(moves[0].to(), 22);
    MoveGenerator::generateAllRoutes(position, moves);
    EXPECT_EQ(moves.size(), 6u);
    // The captured squares come out in the order of the route.
    const Move& route = moves[0];
    const std::vector<int> landings = route.landings();
    const std::vector<int> taken = route.captured();
    ASSERT_EQ(taken.size(), landings.size());
    for (std::size_t i = 0; i < taken.size(); ++i) {
        const int before = i == 0 ? route.from() : landings[i - 1];
        EXPECT_EQ(2 * Bits::bitOf(taken[i]), Bits::bitOf(before) + Bits::bitOf(landings[i]))
            << "square " << taken[i] << " lies between " << before << " and " << landings[i];
    }
    const Position after = position.after(moves[0]);
    EXPECT_EQ(after.toFen(), "B:W22:B16,35");
}

TEST(MoveGenerator, AManBecomesAKingOnlyWhereItsMoveEnds)
{
    // Over the far row and back: still a man.
    Position position = fen("W:W14:B8,9");
    MoveList moves;
    MoveGenerator::generate(position, moves);
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0].landings(), (std::vector<int>{3, 12}));
    EXPECT_EQ(position.after(moves[0]).at(12), Piece::WhiteMan);
    // Ending there: a king, although a king could have flown on to take 17.
    position = fen("W:W14:B9,17");
    MoveGenerator::generate(position, moves);
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0].captureCount(), 1);
    EXPECT_EQ(position.after(moves[0]).at(3), Piece::WhiteKing);
    EXPECT_EQ(position.after(Move::step(6, 1)).at(1), Piece::WhiteKing);
    // A blocked side has no move.
    EXPECT_TRUE(movesOf("W:W46:B41,37").empty());
    EXPECT_FALSE(MoveGenerator::canStep(fen("W:W46:B41,37")));
    // A side bound to capture may still have steps it is not allowed to play.
    EXPECT_TRUE(MoveGenerator::canStep(fen("W:W28,46:B23")));
    EXPECT_FALSE(MoveGenerator::canStep(fen("W:W28:B23,22,K32,33")));
}

TEST(MoveGenerator, AgreesWithAPlainGeneratorOnRandomPositions)
{
    std::mt19937 random(20261207);
    MoveList moves;
    int captures = 0;
    for (int round = 0; round < 4000; ++round) {
        Position position;
        const int pieces = 2 + static_cast<int>(random() % 24);
        for (int i = 0; i < pieces; ++i) {
            const int square = 1 + static_cast<int>(random() % 50);
            const bool white = random() % 2;
            const bool king = random() % 3 == 0 || square <= 5 || square >= 46;
            position.set(square, white ? (king ? Piece::WhiteKing : Piece::WhiteMan)
                                       : (king ? Piece::BlackKing : Piece::BlackMan));
        }
        position.setSideToMove(random() % 2 ? Color::White : Color::Black);
        MoveGenerator::generate(position, moves);
        std::set<Reference::Key> ours;
        for (const Move& move : moves) {
            std::vector<int> taken = move.captured();
            std::sort(taken.begin(), taken.end());
            ours.insert({move.from(), move.to(), taken});
        }
        ASSERT_EQ(ours.size(), moves.size()) << "a move listed twice in " << position.toFen();
        ASSERT_EQ(ours, Reference(position).moves()) << position.toFen();
        EXPECT_EQ(MoveGenerator::canMove(position), !moves.empty());
        if (moves.empty() || !moves[0].isCapture()) {
            EXPECT_EQ(MoveGenerator::canStep(position), !moves.empty()) << position.toFen();
        }
        // The hash kept up by each move, and the one foretold without making it, are those
        // of the resulting position set up from scratch.
        for (const Move& move : moves) {
            const Position next = position.after(move);
            Position rebuilt;
            std::string error;
            ASSERT_TRUE(Position::fromFen(next.toFen(), rebuilt, error)) << error;
            ASSERT_EQ(next.hash(), rebuilt.hash()) << move.toLongString() << " in " << position.toFen();
            ASSERT_EQ(position.hashAfter(move), rebuilt.hash()) << move.toLongString() << " in " << position.toFen();
        }
        // A step is found alone exactly when it is one of the legal moves.
        for (int from = 1; from <= 50; ++from)
            for (int to = 1; to <= 50; ++to) {
                Move step;
                const bool legal = ours.count({from, to, {}}) != 0;
                ASSERT_EQ(MoveGenerator::findStep(position, from, to, step), legal)
                    << from << "-" << to << " in " << position.toFen();
                if (legal) {
                    EXPECT_EQ(step.toString(), std::to_string(from) + "-" + std::to_string(to));
                }
            }
        EXPECT_EQ(MoveGenerator::count(position, moves), static_cast<int>(ours.size()));
        captures += !moves.empty() && moves[0].isCapture();
    }
    EXPECT_GT(captures, 1000);
}
