#include <gtest/gtest.h>

#include <random>
#include <set>
#include <thread>

#include "../FenPosition.h"
#include "Search.h"

using namespace Draughts;

namespace
{
bool isLegal(const Position& position, const Move& move)
{
    MoveList moves;
    MoveGenerator::generate(position, moves);
    for (const Move& legal : moves)
        if (legal.sameAs(move))
            return true;
    return false;
}

SearchLimits depthLimits(int level, int depth, std::uint64_t seed = 0)
{
    SearchLimits limits;
    limits.seconds = 60;
    limits.level = level;
    limits.maxDepth = depth;
    limits.seed = seed;
    return limits;
}
} // namespace

TEST(Search, NeverAnIllegalMoveAtAnyLevel)
{
    std::mt19937 random(4242);
    Search search(1);
    Game game;
    int empty = 0;
    for (int round = 0; round < 400; ++round) {
        // Positions from a random game, and random boards with kings.
        Position position = game.position();
        if (round % 2 == 1) {
            position = Position();
            for (int i = 0, pieces = 1 + static_cast<int>(random() % 20); i < pieces; ++i) {
                const int square = 1 + static_cast<int>(random() % 50);
                const bool king = random() % 3 == 0 || square <= 5 || square >= 46;
                position.set(square, random() % 2 ? (king ? Piece::WhiteKing : Piece::WhiteMan)
                                                  : (king ? Piece::BlackKing : Piece::BlackMan));
            }
            position.setSideToMove(random() % 2 ? Color::White : Color::Black);
        }
        const SearchResult result = search.run(position, depthLimits(1 + round % 10, 1 + round % 4, round));
        MoveList moves;
        MoveGenerator::generate(position, moves);
        if (moves.empty()) {
            EXPECT_TRUE(result.best.isEmpty());
            ++empty;
            continue;
        }
        ASSERT_TRUE(isLegal(position, result.best)) << position.toFen() << " " << result.best.toString();
        ASSERT_FALSE(result.principalVariation.empty());
        EXPECT_TRUE(result.principalVariation.front() == result.best);
        for (const Move& move : result.principalVariation) {
            ASSERT_TRUE(isLegal(position, move)) << "line through " << position.toFen();
            position = position.after(move);
        }
        if (game.result() != Result::Ongoing)
            game = Game();
        const MoveList choices = game.legalMoves();
        game.play(choices[random() % choices.size()]);
    }
    EXPECT_GT(empty, 0);
}

TEST(Search, FindsAShotAndAWin)
{
    // 32-27 gives a man to take two; every other move loses two.
    Search search;
    const SearchResult shot = search.run(fen("W:W11,16,17,21,32,38:B14,23,24,31,36,40"), depthLimits(10, 6));
    EXPECT_EQ(shot.best.toString(), "32-27");
    EXPECT_EQ(shot.depth, 6);
    EXPECT_GT(shot.score, 150);

    // Either capture takes the last black piece: a win in one ply, found without going deeper.
    Game game(fen("W:W28,29:B23"));
    const SearchResult win = search.run(game, depthLimits(10, 20));
    EXPECT_EQ(win.score, Search::c_WinScore - 1);
    EXPECT_EQ(win.depth, 1);
    // Nothing to search once the game is over.
    game.declareResult(Result::Draw);
    EXPECT_TRUE(search.run(game, depthLimits(10, 20)).best.isEmpty());
}

TEST(Search, LowerLevelsVaryAndTheTopLevelDoesNot)
{
    Search search(1);
    std::set<std::string> beginner, master;
    for (std::uint64_t seed = 0; seed < 12; ++seed) {
        beginner.insert(search.run(Position::initial(), depthLimits(1, 0, seed)).best.toString());
        master.insert(search.run(Position::initial(), depthLimits(10, 4, seed)).best.toString());
    }
    EXPECT_GE(beginner.size(), 3u);
    EXPECT_EQ(master.size(), 1u);
}

TEST(Search, StopsAtOnceWhenAsked)
{
    Search search;
    std::atomic<bool> stop{true};
    SearchLimits limits;
    limits.seconds = 600;
    limits.stop = &stop;
    // Stopped before it starts: still a legal move.
    SearchResult result = search.run(Position::initial(), limits);
    EXPECT_TRUE(result.stopped);
    EXPECT_TRUE(isLegal(Position::initial(), result.best));
    EXPECT_EQ(result.nodes, 0u);

    // Stopped from another thread while it searches for ten minutes.
    stop = false;
    std::thread worker([&] { result = search.run(Position::initial(), limits); });
    stop = true;
    worker.join();
    EXPECT_TRUE(result.stopped);
    EXPECT_LT(result.seconds, 60.0);
    EXPECT_TRUE(isLegal(Position::initial(), result.best));
}

TEST(Search, TheTopLevelUsesItsTimeAndNoMore)
{
    Search search;
    SearchLimits limits;
    limits.seconds = 0.3;
    const SearchResult result = search.run(Position::initial(), limits);
    EXPECT_FALSE(result.stopped);
    // Nine tenths of it: the rest is kept for handing the move over.
    EXPECT_GE(result.seconds, 0.27);
    // Generous: the machine is shared and the sanitizers slow every position down.
    EXPECT_LE(result.seconds, 0.3 * 1.1 + 0.1);
    EXPECT_GE(result.depth, 3);
}

// Levels 8 and 9 are bounded by positions, whatever the time; a node limit below theirs
// still holds, and level 10 is not bounded.
TEST(Search, TheUpperLevelsStopAtTheirPositions)
{
    Search search(1);
    SearchLimits limits;
    limits.seconds = 600;
    limits.level = 8;
    const SearchResult eight = search.run(Position::initial(), limits);
    limits.level = 9;
    const SearchResult nine = search.run(Position::initial(), limits);
    // The limit is looked at every 256 positions.
    EXPECT_LE(eight.nodes, 60000u + 256);
    EXPECT_GT(eight.nodes, 30000u);
    EXPECT_LE(nine.nodes, 250000u + 256);
    EXPECT_GT(nine.nodes, eight.nodes * 2);
    EXPECT_GE(nine.depth, eight.depth);

    limits.maxNodes = 5000;
    EXPECT_LE(search.run(Position::initial(), limits).nodes, 5000u + 256);
    limits.level = 10;
    limits.infinite = true;
    limits.maxNodes = 300000;
    EXPECT_GT(search.run(Position::initial(), limits).nodes, 250000u + 256);
}

// Cut off anywhere (by positions here, as by time or the stop flag), in the middle of an
// iteration, a re-search of a move or a widened window, the search still answers a legal
// move and a legal line, and a shot found stays found.
TEST(Search, AMoveStandsWhereverTheSearchIsCutOff)
{
    const Position shot = fen("W:W11,16,17,21,32,38:B14,23,24,31,36,40");
    const Position middle =
        fen("B:W27,28,31,32,33,34,36,37,38,39,40,42,43,45,47:B3,5,7,8,9,11,12,13,14,16,17,18,19,21,24");
    Search search(1);
    for (const Position& start : {shot, middle}) {
        for (std::uint64_t nodes = 1000; nodes <= 64000; nodes = nodes * 3 / 2 + 77) {
            search.clear();
            SearchLimits limits;
            limits.infinite = true;
            limits.maxNodes = nodes;
            const SearchResult result = search.run(start, limits);
            ASSERT_TRUE(isLegal(start, result.best)) << nodes;
            ASSERT_FALSE(result.principalVariation.empty());
            EXPECT_EQ(result.principalVariation.front(), result.best);
            Position position = start;
            for (const Move& move : result.principalVariation) {
                ASSERT_TRUE(isLegal(position, move)) << nodes << " " << move.toString();
                position = position.after(move);
            }
            if (start == shot && result.depth >= 6) {
                EXPECT_EQ(result.best.toString(), "32-27") << nodes;
                EXPECT_GT(result.score, 150) << nodes;
            }
        }
    }
}

// The line reported reaches the depth searched even where the table answered for its tail
// (a second search of the same position, or a position met again later in a game), and is
// legal move after move.
TEST(Search, TheLineReachesTheDepthOnAWarmTable)
{
    Search search(4);
    const Position middle =
        fen("W:W27,28,31,32,33,34,36,37,38,39,40,42,43,45,47:B3,5,7,8,9,11,12,13,14,16,17,18,19,21,24");
    for (const Position& start : {Position::initial(), middle}) {
        search.clear();
        for (int round = 0; round < 2; ++round) {
            const SearchResult result = search.run(start, depthLimits(10, 8));
            ASSERT_EQ(result.depth, 8);
            EXPECT_GE(result.principalVariation.size(), 8u) << "round " << round;
            ASSERT_FALSE(result.principalVariation.empty());
            EXPECT_EQ(result.principalVariation.front(), result.best);
            Position position = start;
            for (const Move& move : result.principalVariation) {
                ASSERT_TRUE(isLegal(position, move)) << move.toString();
                position = position.after(move);
            }
        }
    }
}

// Helper threads at the top level: the search finds what it finds alone, stops with its
// depth, its time or the stop flag (the helpers joined before run() returns, whatever
// happens to the object next), and nothing changes where it is bounded by positions.
TEST(Search, HelperThreadsStopWithTheSearch)
{
    Search search(4);
    SearchLimits limits;
    limits.seconds = 0.5;
    limits.threads = 3;
    const SearchResult shot = search.run(fen("W:W11,16,17,21,32,38:B14,23,24,31,36,40"), limits);
    EXPECT_EQ(shot.best.toString(), "32-27");
    EXPECT_GE(shot.depth, 6);

    SearchLimits timed;
    timed.seconds = 0.2;
    timed.threads = 2;
    SearchResult result = search.run(Position::initial(), timed);
    EXPECT_FALSE(result.stopped);
    EXPECT_GE(result.depth, 2);
    EXPECT_TRUE(isLegal(Position::initial(), result.best));

    std::atomic<bool> stop{false};
    SearchLimits endless;
    endless.infinite = true;
    endless.threads = 2;
    endless.stop = &stop;
    std::atomic<int> iterations{0};
    endless.progress = [&iterations](const SearchResult&) { ++iterations; };
    std::thread worker([&] { result = search.run(Position::initial(), endless); });
    while (iterations.load() < 3)
        std::this_thread::yield();
    stop = true;
    worker.join();
    EXPECT_TRUE(result.stopped);
    EXPECT_GE(result.depth, 3);
    EXPECT_TRUE(isLegal(Position::initial(), result.best));

    // Levels 8 and 9, and a depth limit, visit the same positions on every run, threads or not.
    SearchLimits eight;
    eight.seconds = 600;
    eight.level = 8;
    for (const SearchLimits& bounded : {eight, depthLimits(10, 6)}) {
        Search alone(1);
        Search helped(1);
        SearchLimits withThreads = bounded;
        withThreads.threads = 2;
        const SearchResult one = alone.run(Position::initial(), bounded);
        const SearchResult two = helped.run(Position::initial(), withThreads);
        EXPECT_EQ(one.nodes, two.nodes);
        EXPECT_EQ(one.best, two.best);
    }
}
