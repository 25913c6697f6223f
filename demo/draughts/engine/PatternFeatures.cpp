#include "PatternFeatures.h"

#include <algorithm>

#include "Evaluation.h"

namespace Draughts
{
namespace
{
// The 8-bit set of a region's squares (two per row, four rows) read as base-3 digits.
struct Digits
{
    std::uint16_t value[256] = {};
};
constexpr Digits makeDigits()
{
    Digits digits;
    for (int bits = 0; bits < 256; ++bits) {
        int value = 0;
        for (int i = 7; i >= 0; --i)
            value = value * 3 + ((bits >> i) & 1);
        digits.value[bits] = static_cast<std::uint16_t>(value);
    }
    return digits;
}
constexpr Digits c_Digits = makeDigits();

// The first bit of each board row (five squares a row; an unused bit after every second row).
constexpr int rowStart(int row)
{
    return 5 * row + row / 2;
}

// The 8-bit sets of the sixteen regions: region (r, c) holds, in rows 2r..2r+3, the squares
// at places c and c+1 of the row's five.
void regions(Bitboard set, unsigned (&out)[PatternFeatures::c_Regions])
{
    unsigned rows[10];
    for (int row = 0; row < 10; ++row)
        rows[row] = static_cast<unsigned>(set >> rowStart(row)) & 31u;
    for (int r = 0; r < 4; ++r) {
        const int top = 2 * r;
        for (int c = 0; c < 4; ++c)
            out[4 * r + c] = ((rows[top] >> c) & 3u) | (((rows[top + 1] >> c) & 3u) << 2) |
                             (((rows[top + 2] >> c) & 3u) << 4) | (((rows[top + 3] >> c) & 3u) << 6);
    }
}

// Rows advanced from its own back row, summed over the men (White's back row is row 9).
int whiteTempo(Bitboard men)
{
    int total = 0;
    for (int row = 0; row < 10; ++row)
        total += (9 - row) * Bits::count(men & (Bitboard{31} << rowStart(row)));
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
    unsigned own[c_Regions];
    unsigned other[c_Regions];
    regions(whiteMen, own);
    regions(blackMen, other);
    for (int i = 0; i < c_Regions; ++i)
        features.white[i] = static_cast<std::uint16_t>(c_Digits.value[own[i]] + 2 * c_Digits.value[other[i]]);
    regions(blackTurned, own);
    regions(whiteTurned, other);
    for (int i = 0; i < c_Regions; ++i)
        features.black[i] = static_cast<std::uint16_t>(c_Digits.value[own[i]] + 2 * c_Digits.value[other[i]]);

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
