#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Bitboard.h"

namespace Draughts
{

// One move: a step, or a capture of one or more pieces (one move however many it takes).
// Squares are numbered 1-50. A capture keeps the squares it lands on in order, the last
// being the destination, so that a player can click through it and a board can animate it.
class Move
{
public:
    // Longest capture possible: a piece on an edge square cannot be jumped, which leaves the
    // 32 squares inside the edges.
    static constexpr int c_MaxLandings = 32;

    // An empty move (from() == 0); compares unequal to every real move.
    Move() = default;
    // A step from one square to another (squares 1-50).
    static Move step(int from, int to);

    // The square the piece starts on (1-50), 0 for an empty move.
    int from() const { return m_Landings == 0 ? 0 : Bits::squareOf(m_From); }
    // The square the piece ends on (1-50; the start itself after a full circle), 0 if empty.
    int to() const { return m_Landings == 0 ? 0 : Bits::squareOf(m_Path[m_Landings - 1]); }
    bool isEmpty() const { return m_Landings == 0; }
    bool isCapture() const { return m_Captured != 0; }
    // Pieces taken.
    int captureCount() const { return Bits::count(m_Captured); }
    // Squares the piece lands on, in order; the last is to(). A step has one.
    std::vector<int> landings() const;
    // Squares of the pieces taken, in the order they are jumped.
    std::vector<int> captured() const;
    // "32-28" for a step, "28x19" for a capture (no intermediate squares).
    std::string toString() const;
    // "28x19x8": every landing square written.
    std::string toLongString() const;

    // Same start, same end and the same pieces taken: the rules count such captures as one.
    bool sameAs(const Move& other) const
    {
        return m_From == other.m_From && m_Captured == other.m_Captured && lastBit() == other.lastBit() &&
               m_Landings != 0 && other.m_Landings != 0;
    }
    bool operator==(const Move& other) const { return sameAs(other); }
    bool operator!=(const Move& other) const { return !sameAs(other); }

    // Bit-level access for the generator, the position and the search.
    int fromBit() const { return m_From; }
    int toBit() const { return m_Path[m_Landings - 1]; }
    int landingCount() const { return m_Landings; }
    int landingBit(int index) const { return m_Path[index]; }
    Bitboard capturedSet() const { return m_Captured; }
    // Builds a move from bit indices; the caller guarantees 1 <= count <= c_MaxLandings.
    static Move fromBits(int from, const std::uint8_t* path, int count, Bitboard captured)
    {
        Move move;
        move.fill(from, path, count, captured);
        return move;
    }
    // Makes an empty move, where it lies, the move fromBits() would build. The generator fills
    // its list this way: a move built aside and then copied in is read back in wider pieces
    // than it was written in, which stalls the processor.
    void fill(int from, const std::uint8_t* path, int count, Bitboard captured)
    {
        m_From = static_cast<std::uint8_t>(from);
        m_Landings = static_cast<std::uint8_t>(count);
        m_Captured = captured;
        for (int i = 0; i < count; ++i)
            m_Path[i] = path[i];
    }

private:
    int lastBit() const { return m_Landings == 0 ? -1 : m_Path[m_Landings - 1]; }

    Bitboard m_Captured = 0;
    std::uint8_t m_From = 0;
    std::uint8_t m_Landings = 0;
    std::uint8_t m_Path[c_MaxLandings] = {};
};

} // namespace Draughts
