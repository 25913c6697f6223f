#include "Evaluation.h"

namespace Draughts
{
namespace
{
// Rows from the top (Black's back row) and columns from the left, per bit.
constexpr int rowOf(int bit)
{
    return (Bits::squareOf(bit) - 1) / 5;
}
constexpr int columnOf(int bit)
{
    const int square = Bits::squareOf(bit);
    return 2 * ((square - 1) % 5) + (rowOf(bit) % 2 == 0 ? 1 : 0);
}

// A man's bonus by the rows it has advanced from its own back row.
constexpr int c_Advance[10] = {0, 2, 4, 6, 8, 11, 15, 20, 26, 0};

// A table of small non-negative values per bit, held as bit planes: plane k is the set of
// bits whose value has bit k, so that the sum over a set is a few population counts.
struct Planes
{
    Bitboard plane[5] = {};

    int sum(Bitboard set) const
    {
        int total = 0;
        for (int k = 0; k < 5; ++k)
            total += Bits::count(set & plane[k]) << k;
        return total;
    }
};

// The men's value per bit without the advancement (which depends on the phase), less a
// constant: c_Man - 3 + placeValue(bit), so that every value is non-negative.
constexpr int placeValue(int bit, bool white)
{
    const int row = rowOf(bit);
    const int column = columnOf(bit);
    int place = 3;
    if (column >= 2 && column <= 7 && row >= 3 && row <= 6)
        place += 4;
    if (column == 0 || column == 9)
        place -= 3;
    if (row == (white ? 9 : 0) && column >= 2 && column <= 7)
        place += 6;
    return place;
}
constexpr int c_PlaceBase = Evaluation::c_Man - 3;

struct Tables
{
    Planes whiteMan;
    Planes blackMan;
    Planes whiteAdvance;
    Planes blackAdvance;
};
constexpr void setValue(Planes& planes, int bit, int value)
{
    for (int k = 0; k < 5; ++k)
        if (value & (1 << k))
            planes.plane[k] |= Bits::maskOf(bit);
}
constexpr Tables makeTables()
{
    Tables tables;
    for (int square = 1; square <= Bits::c_Squares; ++square) {
        const int bit = Bits::bitOf(square);
        const int row = rowOf(bit);
        setValue(tables.whiteMan, bit, placeValue(bit, true));
        setValue(tables.blackMan, bit, placeValue(bit, false));
        setValue(tables.whiteAdvance, bit, c_Advance[9 - row]);
        setValue(tables.blackAdvance, bit, c_Advance[row]);
    }
    return tables;
}
constexpr Tables c_Tables = makeTables();

} // namespace

bool Evaluation::drawishEnding(const Position& position)
{
    for (Color lone : {Color::White, Color::Black}) {
        const Color other = opponent(lone);
        if (position.count(lone) == 1 && position.kingCount(lone) == 1 && position.kingCount(other) > 0 &&
            position.count(other) <= 3)
            return true;
    }
    return false;
}

int Evaluation::evaluate(const Position& position)
{
    const Bitboard white = position.pieces(Color::White);
    const Bitboard black = position.pieces(Color::Black);
    const Bitboard kings = position.kings();
    const int whiteKings = Bits::count(white & kings);
    const int blackKings = Bits::count(black & kings);
    const int men = Bits::count((white | black) & ~kings);

    const Bitboard whiteMen = white & ~kings;
    const Bitboard blackMen = black & ~kings;
    int score = c_PlaceBase * (Bits::count(whiteMen) - Bits::count(blackMen)) + c_Tables.whiteMan.sum(whiteMen) -
                c_Tables.blackMan.sum(blackMen);
    score += c_King * (whiteKings - blackKings);
    // Advancement counts for more as the board empties (40 men at the start).
    const int advance = c_Tables.whiteAdvance.sum(whiteMen) - c_Tables.blackAdvance.sum(blackMen);
    score += advance * (60 - men) / 40;
    // Ahead in material, trades bring the win closer.
    const int pieces = Bits::count(white | black);
    const int balance = Bits::count(white) - Bits::count(black);
    score += balance * (40 - pieces);

    if (drawishEnding(position))
        score /= 8;
    return position.sideToMove() == Color::White ? score : -score;
}

int Evaluation::noise(std::uint64_t hash, std::uint64_t seed, int amplitude)
{
    if (amplitude <= 0)
        return 0;
    std::uint64_t value = (hash ^ seed) * 0x9E3779B97F4A7C15ULL;
    value ^= value >> 29;
    return static_cast<int>(value % static_cast<std::uint64_t>(2 * amplitude + 1)) - amplitude;
}

} // namespace Draughts
