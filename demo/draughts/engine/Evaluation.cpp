#include "Evaluation.h"

#include <array>

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

struct Tables
{
    // Men's value per bit without the advancement, which depends on the phase.
    int whiteMan[64] = {};
    int blackMan[64] = {};
    int whiteAdvance[64] = {};
    int blackAdvance[64] = {};
};
constexpr Tables makeTables()
{
    Tables tables;
    for (int square = 1; square <= Bits::c_Squares; ++square) {
        const int bit = Bits::bitOf(square);
        const int row = rowOf(bit);
        const int column = columnOf(bit);
        int place = 0;
        if (column >= 2 && column <= 7 && row >= 3 && row <= 6)
            place += 4;
        if (column == 0 || column == 9)
            place -= 3;
        tables.whiteMan[bit] = Evaluation::c_Man + place + (row == 9 && column >= 2 && column <= 7 ? 6 : 0);
        tables.blackMan[bit] = Evaluation::c_Man + place + (row == 0 && column >= 2 && column <= 7 ? 6 : 0);
        tables.whiteAdvance[bit] = c_Advance[9 - row];
        tables.blackAdvance[bit] = c_Advance[row];
    }
    return tables;
}
constexpr Tables c_Tables = makeTables();

int sum(Bitboard set, const int* table)
{
    int total = 0;
    for (; set; set &= set - 1)
        total += table[Bits::lowest(set)];
    return total;
}

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

    int score = sum(white & ~kings, c_Tables.whiteMan) - sum(black & ~kings, c_Tables.blackMan);
    score += c_King * (whiteKings - blackKings);
    // Advancement counts for more as the board empties (40 men at the start).
    const int advance = sum(white & ~kings, c_Tables.whiteAdvance) - sum(black & ~kings, c_Tables.blackAdvance);
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
