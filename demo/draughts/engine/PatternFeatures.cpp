#include "PatternFeatures.h"

#include <algorithm>

#include "Evaluation.h"

namespace Draughts
{
namespace
{
// A block is two squares of each of two neighbouring rows 2p, 2p+1 (a quarter of a region):
// its base-3 value reads the squares as digits (empty 0, own man 1, opponent's man 2; the
// lower row's squares the higher digits). A pair of rows lies in ten bits (the upper row's
// five, then the lower row's), and holds the four blocks at places c, c+1 of the row's five,
// c = 0..3. For each ten-bit set of men, the values of its four blocks with those men as
// own, one per 16-bit lane; the opponent's men count twice that. A region is the block of
// rows 2r, 2r+1 and the block below it, so its value is the upper block's plus 81 times the
// lower block's, all four of a row of regions computed at once lane by lane (the largest,
// 6560, never carries into the next lane).
struct PairLanes
{
    std::uint64_t lanes[1024] = {};
};
constexpr PairLanes makePairLanes()
{
    PairLanes table;
    for (unsigned bits = 0; bits < 1024; ++bits)
        for (int c = 0; c < 4; ++c) {
            const unsigned upper = (bits >> c) & 3u;
            const unsigned lower = (bits >> (5 + c)) & 3u;
            const unsigned value = (upper & 1u) + 3 * ((upper >> 1) & 1u) + 9 * (lower & 1u) + 27 * (lower >> 1);
            table.lanes[bits] |= static_cast<std::uint64_t>(value) << (16 * c);
        }
    return table;
}
constexpr PairLanes c_PairLanes = makePairLanes();

// The first bit of each board row (five squares a row; an unused bit after every second row).
constexpr int rowStart(int row)
{
    return 5 * row + row / 2;
}

// The values of the sixteen regions: region (r, c) holds, in rows 2r..2r+3, the squares at
// places c and c+1 of the row's five. Each pair of rows 2p, 2p+1 lies in bits 11p..11p+9.
void regions(Bitboard own, Bitboard other, std::uint16_t (&out)[PatternFeatures::c_Regions])
{
    std::uint64_t pairs[5];
    for (int pair = 0; pair < 5; ++pair)
        pairs[pair] =
            c_PairLanes.lanes[(own >> (11 * pair)) & 0x3FF] + 2 * c_PairLanes.lanes[(other >> (11 * pair)) & 0x3FF];
    for (int r = 0; r < 4; ++r) {
        const std::uint64_t row = pairs[r] + 81 * pairs[r + 1];
        for (int c = 0; c < 4; ++c)
            out[4 * r + c] = static_cast<std::uint16_t>(row >> (16 * c));
    }
}

// Rows advanced from its own back row, summed over the men (White's back row is row 9): the
// sets of squares whose rows advanced have bit k, so that the sum is four population counts.
struct TempoPlanes
{
    Bitboard plane[4] = {};
};
constexpr TempoPlanes makeTempoPlanes()
{
    TempoPlanes planes;
    for (int row = 0; row < 10; ++row)
        for (int k = 0; k < 4; ++k)
            if ((9 - row) & (1 << k))
                planes.plane[k] |= Bitboard{31} << rowStart(row);
    return planes;
}
constexpr TempoPlanes c_Tempo = makeTempoPlanes();

int whiteTempo(Bitboard men)
{
    int total = 0;
    for (int k = 0; k < 4; ++k)
        total += Bits::count(men & c_Tempo.plane[k]) << k;
    return total;
}

constexpr Bitboard longDiagonal()
{
    Bitboard set = 0;
    for (int square : {5, 10, 14, 19, 23, 28, 32, 37, 41, 46})
        set |= Bits::maskOf(Bits::bitOf(square));
    return set;
}
constexpr Bitboard c_LongDiagonal = longDiagonal();
} // namespace

Bitboard PatternFeatures::turned(Bitboard set)
{
    // Square s lies at bit b and square 51 - s at bit 53 - b: reverse the 64 bits, then
    // drop the ten unused high ones.
    set = ((set >> 1) & 0x5555555555555555ULL) | ((set & 0x5555555555555555ULL) << 1);
    set = ((set >> 2) & 0x3333333333333333ULL) | ((set & 0x3333333333333333ULL) << 2);
    set = ((set >> 4) & 0x0F0F0F0F0F0F0F0FULL) | ((set & 0x0F0F0F0F0F0F0F0FULL) << 4);
    set = __builtin_bswap64(set);
    return set >> 10;
}

PatternFeatures PatternFeatures::of(const Position& position)
{
    PatternFeatures features;
    const Bitboard kings = position.kings();
    const Bitboard whiteMen = position.pieces(Color::White) & ~kings;
    const Bitboard blackMen = position.pieces(Color::Black) & ~kings;
    const Bitboard blackTurned = turned(blackMen);
    const Bitboard whiteTurned = turned(whiteMen);
    regions(whiteMen, blackMen, features.white);
    regions(blackTurned, whiteTurned, features.black);

    const Bitboard whiteKings = position.pieces(Color::White) & kings;
    const Bitboard blackKings = position.pieces(Color::Black) & kings;
    features.terms[Men] = Bits::count(whiteMen) - Bits::count(blackMen);
    features.terms[Kings] = Bits::count(whiteKings) - Bits::count(blackKings);
    features.terms[Tempo] = whiteTempo(whiteMen) - whiteTempo(blackTurned);
    features.terms[ToMove] = position.sideToMove() == Color::White ? 1 : -1;
    features.terms[LongDiagonal] = Bits::count(whiteKings & c_LongDiagonal) - Bits::count(blackKings & c_LongDiagonal);
    features.phase = std::min(c_FullBoard, Bits::count(position.pieces(Color::White) | position.pieces(Color::Black)));
    const int base = Evaluation::evaluate(position);
    features.base = position.sideToMove() == Color::White ? base : -base;
    return features;
}

} // namespace Draughts
