#pragma once

#include <cstdint>

// The board as 64-bit sets. Square s (1-50) lives at bit (s - 1) + (s - 1) / 10: each pair
// of rows takes ten bits plus one unused bit, so that every diagonal step is the same shift
// everywhere (north-west -6, north-east -5, south-west +5, south-east +6) and a step off the
// left or right edge lands on an unused bit. North is Black's side (squares 1-5).
namespace Draughts
{
using Bitboard = std::uint64_t;

namespace Bits
{
constexpr int c_Squares = 50;
constexpr int c_Directions = 4;
// North-west, north-east, south-west, south-east.
constexpr int c_Step[c_Directions] = {-6, -5, 5, 6};
constexpr int c_Opposite[c_Directions] = {3, 2, 1, 0};

constexpr int bitOf(int square)
{
    return (square - 1) + (square - 1) / 10;
}
constexpr int squareOf(int bit)
{
    return bit - bit / 11 + 1;
}
constexpr Bitboard maskOf(int bit)
{
    return Bitboard{1} << bit;
}

constexpr Bitboard boardMask()
{
    Bitboard mask = 0;
    for (int square = 1; square <= c_Squares; ++square)
        mask |= maskOf(bitOf(square));
    return mask;
}
constexpr Bitboard c_Board = boardMask();
// Where White's and Black's men become kings.
constexpr Bitboard c_WhiteCrown = 0x1FULL;
constexpr Bitboard c_BlackCrown = 0x1FULL << 49;

// The set moved one step in a direction, cut to the board.
constexpr Bitboard shift(Bitboard set, int direction)
{
    const int step = c_Step[direction];
    return (step > 0 ? set << step : set >> -step) & c_Board;
}

// The neighbour of a bit in a direction, or -1 off the board.
constexpr int neighbour(int bit, int direction)
{
    const int next = bit + c_Step[direction];
    if (next < 0 || next > 63 || !(c_Board & maskOf(next)))
        return -1;
    return next;
}

inline int lowest(Bitboard set)
{
    return __builtin_ctzll(set);
}
inline int count(Bitboard set)
{
    return __builtin_popcountll(set);
}
} // namespace Bits
} // namespace Draughts
