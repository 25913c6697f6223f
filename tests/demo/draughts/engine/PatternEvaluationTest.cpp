#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <random>

#include "../FenPosition.h"
#include "Evaluation.h"
#include "PatternEvaluation.h"
#include "Search.h"

using namespace Draughts;

namespace
{
// Positions along random games, kings included once men crown.
std::vector<Position> randomPositions(int count, unsigned seed)
{
    std::mt19937 random(seed);
    std::vector<Position> positions;
    Game game;
    while (static_cast<int>(positions.size()) < count) {
        if (game.result() != Result::Ongoing || game.moves().size() > 150)
            game = Game();
        const MoveList moves = game.legalMoves();
        game.play(moves[random() % moves.size()]);
        positions.push_back(game.position());
    }
    return positions;
}

// The same position seen from the other side: the board turned, colours and side swapped.
Position mirrored(const Position& position)
{
    Position mirror;
    for (int square = 1; square <= 50; ++square) {
        const Piece piece = position.at(square);
        const Piece swapped = piece == Piece::WhiteMan    ? Piece::BlackMan
                              : piece == Piece::WhiteKing ? Piece::BlackKing
                              : piece == Piece::BlackMan  ? Piece::WhiteMan
                              : piece == Piece::BlackKing ? Piece::WhiteKing
                                                          : Piece::None;
        mirror.set(51 - square, swapped);
    }
    mirror.setSideToMove(opponent(position.sideToMove()));
    return mirror;
}

std::shared_ptr<PatternEvaluation> randomWeights(unsigned seed)
{
    std::mt19937 random(seed);
    auto weights = std::make_shared<PatternEvaluation>();
    for (int region = 0; region < PatternFeatures::c_Regions; ++region)
        for (int configuration = 0; configuration < PatternFeatures::c_Configurations; ++configuration)
            for (int phase = 0; phase < 2; ++phase)
                weights->region(region, configuration, phase) = static_cast<std::int16_t>(random() % 201) - 100;
    for (int term = 0; term < PatternFeatures::c_Terms; ++term)
        for (int phase = 0; phase < 2; ++phase)
            weights->term(term, phase) = static_cast<std::int16_t>(random() % 201) - 100;
    return weights;
}

std::string temporaryPath(const char* name)
{
    return ::testing::TempDir() + name + std::to_string(getpid());
}
} // namespace

TEST(PatternEvaluationTest, RegionsHoldTheirSquaresAndTheBoardTurnsExactly)
{
    for (int square = 1; square <= 50; ++square) {
        const Bitboard one = Bits::maskOf(Bits::bitOf(square));
        EXPECT_EQ(PatternFeatures::turned(one), Bits::maskOf(Bits::bitOf(51 - square))) << square;

        // A lone white man: the regions whose rows and columns hold its square show it as the
        // first colour at its place, the others are empty.
        const int row = (square - 1) / 5;
        const int column = 2 * ((square - 1) % 5) + (row % 2 == 0 ? 1 : 0);
        Position position;
        position.set(square, Piece::WhiteMan);
        const PatternFeatures features = PatternFeatures::of(position);
        int holding = 0;
        for (int region = 0; region < PatternFeatures::c_Regions; ++region) {
            const int top = 2 * (region / 4);
            const int left = 2 * (region % 4);
            const bool inside = row >= top && row < top + 4 && column >= left && column < left + 4;
            holding += inside;
            // Digits of 3: place = 2 * (row - top) + (its column's order in the row's pair).
            int expected = 0;
            int turned = 0;
            if (inside) {
                const int place = 2 * (row - top) + ((square - 1) % 5 - left / 2);
                expected = turned = 1;
                for (int i = 0; i < place; ++i)
                    expected *= 3;
                for (int i = 0; i < 7 - place; ++i)
                    turned *= 3;
            }
            EXPECT_EQ(features.white[region], expected) << "square " << square << " region " << region;
            // Seen from Black's side, the board turned, the man is the opponent's at 51 - s:
            // in the opposite region at the opposite place.
            EXPECT_EQ(features.black[15 - region], 2 * turned) << "square " << square << " region " << region;
        }
        EXPECT_GE(holding, 1) << square;
        EXPECT_LE(holding, 4) << square;
    }
}

TEST(PatternEvaluationTest, CrowdedRegionsReadEverySquare)
{
    // Regions computed square by square: each of a region's eight squares is a base-3 digit
    // (own man 1, opponent's man 2, kings and empty squares 0), the place order of the test
    // above. Full boards fill every digit, where a value spilling into its neighbour's would
    // show.
    std::vector<Position> positions = randomPositions(2000, 5);
    positions.push_back(Position::initial());
    for (const Position& position : positions) {
        const PatternFeatures features = PatternFeatures::of(position);
        for (int region = 0; region < PatternFeatures::c_Regions; ++region) {
            const int top = 2 * (region / 4);
            const int left = region % 4;
            int white = 0;
            int black = 0;
            for (int place = 0; place < 8; ++place) {
                const int row = top + place / 2;
                const int square = 5 * row + left + place % 2 + 1;
                const Piece piece = position.at(square);
                const int forWhite = piece == Piece::WhiteMan ? 1 : piece == Piece::BlackMan ? 2 : 0;
                const int forBlack = forWhite == 0 ? 0 : 3 - forWhite;
                int power = 1;
                for (int i = 0; i < place; ++i)
                    power *= 3;
                white += forWhite * power;
                power = 1;
                for (int i = 0; i < 7 - place; ++i)
                    power *= 3;
                black += forBlack * power;
            }
            ASSERT_EQ(features.white[region], white) << position.toFen() << " region " << region;
            ASSERT_EQ(features.black[15 - region], black) << position.toFen() << " region " << region;
        }
    }
}

TEST(PatternEvaluationTest, BothColoursAreJudgedAlike)
{
    // Whatever the weights, a position and its mirror image score the same for the side to
    // move, and the whole-board terms change sign.
    const std::shared_ptr<PatternEvaluation> weights = randomWeights(7);
    for (const Position& position : randomPositions(3000, 11)) {
        const Position mirror = mirrored(position);
        ASSERT_EQ(weights->evaluate(position), weights->evaluate(mirror)) << position.toFen();
        const PatternFeatures a = PatternFeatures::of(position);
        const PatternFeatures b = PatternFeatures::of(mirror);
        for (int term = 0; term < PatternFeatures::c_Terms; ++term)
            EXPECT_EQ(a.terms[term], -b.terms[term]) << term;
        EXPECT_EQ(a.base, -b.base);
        EXPECT_EQ(a.phase, b.phase);
    }
    // All weights zero and no king-reach bonus: the hand-set evaluation.
    PatternEvaluation zero;
    zero.setKingReach(0);
    for (const Position& position : randomPositions(200, 12))
        EXPECT_EQ(zero.evaluate(position), Evaluation::evaluate(position));
}

TEST(PatternEvaluationTest, KingsThatCommandDiagonalsCountForMore)
{
    PatternEvaluation zero;
    const auto bonus = [&zero](const char* text) {
        const Position position = fen(text);
        return (zero.evaluate(position) - Evaluation::evaluate(position)) / PatternEvaluation::c_KingReach;
    };
    // A king in the corner behind its own man reaches nothing; on 28, 13 squares up to the
    // pieces in its way.
    EXPECT_EQ(bonus("W:WK46,41,45:B5,6"), 0);
    EXPECT_EQ(bonus("W:WK28,41,45:B5,6"), 13);
    // From the side to move; squares two kings reach count once; the opponent's reach counts
    // against.
    EXPECT_EQ(bonus("B:WK28,41,45:B5,6"), -13);
    EXPECT_EQ(bonus("W:WK28,K46:B5,6"), 14);
    EXPECT_EQ(bonus("W:WK28:BK1"), 17 - 9);
    zero.setKingReach(0);
    EXPECT_EQ(bonus("W:WK28:BK1"), 0);
}

TEST(PatternEvaluationTest, WeightsFilesReadBackAndDamagedOnesAreRefused)
{
    const std::string path = temporaryPath("weights");
    const std::shared_ptr<PatternEvaluation> weights = randomWeights(3);
    std::string error;
    ASSERT_TRUE(weights->save(path, error)) << error;
    PatternEvaluation loaded;
    ASSERT_TRUE(loaded.load(path, error)) << error;
    for (const Position& position : randomPositions(300, 5))
        EXPECT_EQ(loaded.evaluate(position), weights->evaluate(position));

    std::string bytes;
    {
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    auto refused = [&](const std::string& content, const char* what) {
        {
            std::ofstream out(path, std::ios::binary | std::ios::trunc);
            out << content;
        }
        PatternEvaluation other;
        std::string reason;
        EXPECT_FALSE(other.load(path, reason)) << what;
        EXPECT_NE(reason.find(what), std::string::npos) << reason;
    };
    std::string flipped = bytes;
    flipped[1000] ^= 0x10;
    refused(flipped, "checksum");
    refused(bytes.substr(0, bytes.size() - 1), "size");
    refused(bytes + "x", "size");
    refused("", "size");
    std::string magic = bytes;
    magic[0] = 'X';
    refused(magic, "version");
    std::remove(path.c_str());

    // A missing file, a directory and a FIFO (opened without waiting for a writer).
    std::string reason;
    EXPECT_FALSE(loaded.load(path, reason));
    EXPECT_FALSE(loaded.load(::testing::TempDir(), reason));
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    EXPECT_FALSE(loaded.load(path, reason));
    EXPECT_NE(reason.find("not a regular file"), std::string::npos) << reason;
    std::remove(path.c_str());
    // The loaded weights are unchanged by the failures.
    for (const Position& position : randomPositions(50, 6))
        EXPECT_EQ(loaded.evaluate(position), weights->evaluate(position));
}

TEST(PatternEvaluationTest, SearchesWithLearntWeightsFindTheShot)
{
    // 32-27 gives a man to take two; every other move loses two. Small corrections to the
    // hand-set evaluation must not hide it.
    Position position;
    std::string error;
    ASSERT_TRUE(Position::fromFen("W:W11,16,17,21,32,38:B14,23,24,31,36,40", position, error)) << error;
    auto small = std::make_shared<PatternEvaluation>();
    std::mt19937 random(9);
    for (int region = 0; region < PatternFeatures::c_Regions; ++region)
        for (int configuration = 0; configuration < PatternFeatures::c_Configurations; ++configuration)
            small->region(region, configuration, 0) = static_cast<std::int16_t>(random() % 11) - 5;
    for (const std::shared_ptr<const PatternEvaluation>& weights :
         {std::shared_ptr<const PatternEvaluation>(), std::shared_ptr<const PatternEvaluation>(small)}) {
        Search search(1);
        search.setEvaluation(weights);
        SearchLimits limits;
        limits.infinite = true;
        limits.maxDepth = 7;
        const SearchResult result = search.run(position, limits);
        EXPECT_EQ(result.best.toString(), "32-27") << (weights ? "learnt" : "hand-set");
        EXPECT_GT(result.score, 150);
    }
}
