#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "../FenPosition.h"
#include "EndgameGenerator.h"
#include "EndgameTable.h"
#include "Game.h"
#include "Search.h"

using namespace Draughts;
using Outcome = EndgameTable::Outcome;

namespace
{
// The endings of up to three pieces, solved once for the whole run (it takes a moment under
// the sanitizers) and never changed.
const std::shared_ptr<const EndgameTable>& smallTable()
{
    static const std::shared_ptr<const EndgameTable> table = [] {
        auto solved = std::make_shared<EndgameTable>();
        EndgameGenerator::generate(*solved, 3);
        return solved;
    }();
    return table;
}

// Every possible position of a signature, with each side to move in turn.
template <typename Visit> void forEachPosition(const EndgameTable::Signature& signature, Visit visit)
{
    Position position;
    for (std::size_t i = 0; i < EndgameTable::size(signature); ++i)
        if (EndgameTable::positionAt(signature, i, position))
            visit(position);
}

std::string temporaryPath(const char* name)
{
    return ::testing::TempDir() + name + std::to_string(getpid());
}
} // namespace

TEST(EndgameTableTest, PlacesAndPositionsAreOneToOneForBothSidesToMove)
{
    for (const EndgameTable::Signature& signature : EndgameTable::signatures(3)) {
        std::size_t valid = 0;
        Position position;
        // Every place of two pieces, a sample of those of three.
        const std::size_t step = signature.pieces() == 2 ? 1 : 7;
        for (std::size_t i = 0; i < EndgameTable::size(signature); i += step) {
            if (!EndgameTable::positionAt(signature, i, position))
                continue;
            ++valid;
            EndgameTable::Signature found;
            std::size_t index = 0;
            ASSERT_TRUE(EndgameTable::locate(position, found, index)) << position.toFen();
            EXPECT_TRUE(found == signature) << position.toFen();
            EXPECT_EQ(index, i) << position.toFen();
            // The same position with the board turned and Black to move lies in the same place.
            Position turned;
            for (int square = 1; square <= 50; ++square) {
                const Piece piece = position.at(square);
                turned.set(51 - square, piece == Piece::WhiteMan    ? Piece::BlackMan
                                        : piece == Piece::WhiteKing ? Piece::BlackKing
                                        : piece == Piece::BlackMan  ? Piece::WhiteMan
                                        : piece == Piece::BlackKing ? Piece::WhiteKing
                                                                    : Piece::None);
            }
            turned.setSideToMove(Color::Black);
            ASSERT_TRUE(EndgameTable::locate(turned, found, index));
            EXPECT_TRUE(found == signature);
            EXPECT_EQ(index, i);
        }
        EXPECT_GT(valid * step, EndgameTable::size(signature) / 2);
    }
    // Outside the table: too many pieces, a side without any, a man on its crowning row.
    EndgameTable::Signature signature;
    std::size_t index = 0;
    EXPECT_FALSE(EndgameTable::locate(fen("W:W31,32,33:B1,2"), signature, index));
    EXPECT_FALSE(EndgameTable::locate(fen("W:W31,32:B"), signature, index));
    Position crowned;
    crowned.set(3, Piece::WhiteMan);
    crowned.set(20, Piece::BlackMan);
    EXPECT_FALSE(EndgameTable::locate(crowned, signature, index));
    EndgameTable::Value value;
    EXPECT_FALSE(smallTable()->probe(fen("W:W31,32,33:B1"), value));
    EXPECT_FALSE(EndgameTable().probe(fen("W:WK31:BK1"), value));
}

TEST(EndgameTableTest, EveryValueFollowsFromTheReplies)
{
    // A win has a reply that loses for the opponent, one ply nearer the next capture or
    // promotion (or that capture or promotion itself); a loss has only replies that win, none
    // further; a draw has a drawing reply and none that loses.
    const EndgameTable& table = *smallTable();
    MoveList moves;
    std::size_t checked = 0;
    for (const EndgameTable::Signature& signature : EndgameTable::signatures(3))
        forEachPosition(signature, [&](const Position& position) {
            EndgameTable::Value value;
            ASSERT_TRUE(table.probe(position, value));
            MoveGenerator::generate(position, moves);
            bool drawing = false;
            bool nearerLoss = moves.empty() && value.plies == 0;
            bool anyLoss = moves.empty();
            int slowestWin = 0;
            for (const Move& move : moves) {
                const Position next = position.after(move);
                EndgameTable::Value reply;
                const bool converts = next.count(next.sideToMove()) == 0 || move.isCapture() ||
                                      Bits::count(next.kings()) != Bits::count(position.kings());
                if (next.count(next.sideToMove()) == 0)
                    reply = {Outcome::Loss, 0};
                else
                    ASSERT_TRUE(table.probe(next, reply)) << next.toFen();
                const int plies = converts ? 0 : reply.plies;
                if (reply.outcome == Outcome::Loss) {
                    anyLoss = true;
                    nearerLoss = nearerLoss || plies == value.plies - 1;
                } else if (reply.outcome == Outcome::Draw) {
                    drawing = true;
                } else {
                    slowestWin = std::max(slowestWin, plies);
                }
            }
            const std::string where = position.toFen();
            switch (value.outcome) {
            case Outcome::Win:
                EXPECT_TRUE(nearerLoss) << where << " wins in " << value.plies;
                break;
            case Outcome::Loss:
                EXPECT_FALSE(anyLoss && !moves.empty()) << where;
                EXPECT_FALSE(drawing) << where;
                EXPECT_LT(slowestWin, std::max(value.plies, 1)) << where;
                break;
            case Outcome::Draw:
                EXPECT_FALSE(anyLoss) << where;
                EXPECT_TRUE(drawing) << where;
                break;
            }
            ++checked;
        });
    EXPECT_GT(checked, 800000u);
}

TEST(EndgameTableTest, AgreesWithTheSearchOnTwoPieces)
{
    // What the search proves the table holds; with two kings, where the next capture ends the
    // game, at the same distance.
    Search search(1);
    search.setEndgames(nullptr);
    SearchLimits limits;
    limits.infinite = true;
    limits.maxDepth = 12;
    const EndgameTable& table = *smallTable();
    int proven = 0;
    int draws = 0;
    for (const EndgameTable::Signature& signature : EndgameTable::signatures(2)) {
        const bool kings = signature.ownMen + signature.otherMen == 0;
        std::size_t step = 0;
        forEachPosition(signature, [&](const Position& position) {
            if (++step % 59 != 0)
                return;
            EndgameTable::Value value;
            ASSERT_TRUE(table.probe(position, value));
            search.clear();
            const SearchResult result = search.run(position, limits);
            const std::string where = position.toFen();
            // A forced move is played without a search.
            if (result.depth == 0)
                return;
            if (result.score > Search::c_WinScore - 1000) {
                EXPECT_EQ(value.outcome, Outcome::Win) << where;
                if (kings) {
                    EXPECT_EQ(Search::c_WinScore - result.score, value.plies) << where;
                }
                ++proven;
            } else if (result.score < -Search::c_WinScore + 1000) {
                EXPECT_EQ(value.outcome, Outcome::Loss) << where;
                ++proven;
            } else {
                EXPECT_FALSE(kings && value.outcome != Outcome::Draw && value.plies < 10) << where;
                draws += value.outcome == Outcome::Draw;
            }
        });
    }
    EXPECT_GT(proven, 20);
    EXPECT_GT(draws, 20);
}

TEST(EndgameTableTest, TheSearchConvertsTheLongestWinsItHolds)
{
    // The wins furthest from their next capture or promotion, for each way of winning with
    // three pieces that no move count can take away: played out with a small search over the
    // table, the winner wins the game under the rules (no shuffling into a draw rule).
    const std::shared_ptr<const EndgameTable>& table = smallTable();
    Search search(4);
    search.setEndgames(table);
    SearchLimits limits;
    limits.infinite = true;
    limits.maxNodes = 3000;
    int played = 0;
    for (const EndgameTable::Signature& signature : EndgameTable::signatures(3)) {
        Position longest;
        int plies = -1;
        forEachPosition(signature, [&](const Position& position) {
            EndgameTable::Value value;
            if (table->probe(position, value) && value.outcome == Outcome::Win && value.plies > plies &&
                !EndgameTable::countedEnding(position)) {
                longest = position;
                plies = value.plies;
            }
        });
        if (plies < 0)
            continue;
        Game game(longest);
        search.clear();
        const SearchResult first = search.run(game, limits);
        if (first.depth > 0) {
            EXPECT_GE(first.score, Search::c_EndgameWin - 128) << longest.toFen();
            EXPECT_LT(first.score, Search::c_WinScore - 1000) << longest.toFen();
            // The levels that make mistakes on purpose do not look the endings up.
            SearchLimits weak = limits;
            weak.level = 7;
            const int score = search.run(game, weak).score;
            EXPECT_TRUE(score < Search::c_EndgameWin / 2 || score > Search::c_WinScore - 1000)
                << longest.toFen() << ": " << score;
        }
        for (int ply = 0; ply < 300 && game.result() == Result::Ongoing; ++ply) {
            const SearchResult result = search.run(game, limits);
            ASSERT_FALSE(result.best.isEmpty());
            ASSERT_TRUE(game.play(result.best));
        }
        EXPECT_EQ(game.result(), Result::WhiteWins)
            << longest.toFen() << " (" << plies << " plies to convert): " << game.resultDescription();
        ++played;
    }
    EXPECT_GE(played, 8);
}

TEST(EndgameTableTest, CountedEndingsAreALoneKingAgainstAKingAndAtMostTwoMore)
{
    // The rules' move counts: a lone king against one to three pieces, a king among them.
    EXPECT_TRUE(EndgameTable::countedEnding(fen("W:WK46:BK5")));
    EXPECT_TRUE(EndgameTable::countedEnding(fen("B:WK46,K1,30:BK5")));
    EXPECT_TRUE(EndgameTable::countedEnding(fen("W:WK46:B12,K5,17")));
    // Not counted: no king against the lone king, a man alone, four pieces against the king,
    // two pieces each.
    EXPECT_FALSE(EndgameTable::countedEnding(fen("W:WK46:B12,17")));
    EXPECT_FALSE(EndgameTable::countedEnding(fen("W:W46:BK5")));
    EXPECT_FALSE(EndgameTable::countedEnding(fen("W:WK46:BK5,K10,K15,K20")));
    EXPECT_FALSE(EndgameTable::countedEnding(fen("W:WK46,K47:BK5,K10")));
}

TEST(EndgameTableTest, FilesReadBackAndDamagedOnesAreRefused)
{
    EndgameTable small;
    EndgameGenerator::generate(small, 2);
    const std::string path = temporaryPath("endgames");
    std::string error;
    ASSERT_TRUE(small.save(path, error)) << error;
    EndgameTable loaded;
    ASSERT_TRUE(loaded.load(path, error)) << error;
    EXPECT_EQ(loaded.pieces(), 2);
    for (const EndgameTable::Signature& signature : EndgameTable::signatures(2))
        forEachPosition(signature, [&](const Position& position) {
            EndgameTable::Value a, b;
            ASSERT_TRUE(small.probe(position, a));
            ASSERT_TRUE(loaded.probe(position, b));
            EXPECT_EQ(a.outcome, b.outcome);
            EXPECT_EQ(a.plies, b.plies);
        });

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
        EndgameTable other;
        std::string reason;
        EXPECT_FALSE(other.load(path, reason)) << what;
        EXPECT_NE(reason.find(what), std::string::npos) << reason;
        EXPECT_EQ(other.pieces(), 0);
    };
    std::string flipped = bytes;
    flipped[bytes.size() / 2] ^= 0x40;
    refused(flipped, "checksum");
    refused(bytes.substr(0, bytes.size() - 1), "size");
    refused("", "size");
    std::string magic = bytes;
    magic[0] = 'X';
    refused(magic, "version");
    // A file of two pieces' size that claims three.
    std::string claims = bytes;
    claims[8] = 3;
    refused(claims, "version");
    std::remove(path.c_str());

    std::string reason;
    EXPECT_FALSE(loaded.load(path, reason));
    EXPECT_FALSE(loaded.load(::testing::TempDir(), reason));
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    EXPECT_FALSE(loaded.load(path, reason));
    EXPECT_NE(reason.find("not a regular file"), std::string::npos) << reason;
    std::remove(path.c_str());
    // The table loaded before is unchanged by the failures.
    EXPECT_EQ(loaded.pieces(), 2);
    EndgameTable::Value value;
    EXPECT_TRUE(loaded.probe(fen("W:WK31:BK1"), value));
    EXPECT_FALSE(EndgameTable().save(path, reason));
}
