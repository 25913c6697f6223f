#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Position.h"

namespace Draughts
{

// The solved endings: for every position of at most c_MaxPieces pieces (both sides on the
// board), whether the side to move wins, draws or loses with best play, and for a win or a loss
// the plies to the next capture or promotion on the way (the winner hurrying, the loser holding
// out), so that a search can make progress. Made by EndgameGenerator, written to a file by save()
// and read back by load(); never changes once loaded, so one object may serve any number of
// searches on any threads.
//
// The values are those of play without the rules' move counts: the draws are draws under the
// rules too, while a win the counts may take away (a lone king against three pieces or fewer
// with a king among them) is for the search to judge (countedEnding()).
class EndgameTable
{
public:
    static constexpr int c_MaxPieces = 4;
    // Where installed() looks, relative to the running program's folder.
    static const char* const c_InstalledPath;

    enum class Outcome
    {
        Loss,
        Draw,
        Win
    };
    struct Value
    {
        Outcome outcome = Outcome::Draw;
        // Plies to the next capture or promotion (0 for a side to move without a move).
        int plies = 0;
    };

    // A table of no ending (pieces() == 0).
    EndgameTable() = default;

    // The most pieces a position may have to be in the table; 0 for an empty table.
    int pieces() const { return m_Pieces; }
    // The value of a position from the side to move; false when the table does not hold it
    // (too many pieces, or a side without any).
    bool probe(const Position& position, Value& value) const;
    // True for the endings the rules end in a draw after a number of moves: a lone king
    // against one to three pieces, at least one of them a king.
    static bool countedEnding(const Position& position);

    // Reads a table file. False with a one-line reason when it is not a regular file, is not
    // a table of this version or fails its checksum.
    bool load(const std::string& path, std::string& error);
    // Writes the table (to a new file beside the path, then renamed over it). False with a
    // one-line reason on failure, the old file kept.
    bool save(const std::string& path, std::string& error) const;

    // The table installed with the program, loaded on the first call (from any thread) and
    // shared; null when it cannot be loaded, `why` then telling why (every call).
    static std::shared_ptr<const EndgameTable> installed(std::string* why = nullptr);

    // For the generator. A material signature, from the side to move's view: its men and
    // kings, then the other side's.
    struct Signature
    {
        int ownMen = 0;
        int ownKings = 0;
        int otherMen = 0;
        int otherKings = 0;

        int pieces() const { return ownMen + ownKings + otherMen + otherKings; }
        Signature swapped() const { return {otherMen, otherKings, ownMen, ownKings}; }
        bool operator==(const Signature& other) const
        {
            return ownMen == other.ownMen && ownKings == other.ownKings && otherMen == other.otherMen &&
                   otherKings == other.otherKings;
        }
    };
    // Every signature of a table of `pieces` pieces at most, in the file's order.
    static std::vector<Signature> signatures(int pieces);
    // Positions a signature's table holds (including the impossible ones, with two pieces on a
    // square).
    static std::size_t size(const Signature& signature);
    // Where a position lies: its signature's table and its place there; false when it has more
    // than c_MaxPieces pieces or a side has none.
    static bool locate(const Position& position, Signature& signature, std::size_t& index);
    // The position at a place of a signature's table, White to move; false for an impossible one.
    static bool positionAt(const Signature& signature, std::size_t index, Position& position);
    // An empty table (every position a draw) for the signatures of up to `pieces` pieces.
    void reset(int pieces);
    // A signature's stored values (one byte a position: 0 draw, 1-127 a win in that many plies
    // to the conversion, 128 + n a loss in n), in the order of positionAt(). Null when the
    // table has no such signature.
    std::uint8_t* values(const Signature& signature);
    const std::uint8_t* values(const Signature& signature) const;

private:
    static int slot(const Signature& signature);
    // Sets the pieces and each signature's place, without the values; the file's size.
    std::size_t layOut(int pieces);

    int m_Pieces = 0;
    std::vector<std::uint8_t> m_Values;
    // Each signature's first byte in m_Values, by slot(); -1 when absent.
    std::vector<std::int64_t> m_Offsets;
};

} // namespace Draughts
