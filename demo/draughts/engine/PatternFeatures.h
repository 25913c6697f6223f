#pragma once

#include <cstdint>

#include "Position.h"

namespace Draughts
{

// What the learnt evaluation looks at in a position: the men in each of sixteen overlapping
// regions of 4 x 4 board squares (8 playable squares, each empty, own man or opponent's man:
// 3^8 configurations), seen once from White's side and once from Black's with the board
// turned so that Black plays up the board too, so that one table of weights serves both
// colours; a few whole-board terms; the phase (how full the board is); and the hand-set
// evaluation, to which the learnt weights are corrections. The evaluation
// and the trainer both read positions through this one function.
class PatternFeatures
{
public:
    // Rows 0-3, 2-5, 4-7, 6-9 by columns 0-3, 2-5, 4-7, 6-9.
    static constexpr int c_Regions = 16;
    static constexpr int c_Configurations = 6561;
    // Whole-board terms, each White's count less Black's: men, kings, rows advanced by the
    // men, the side to move (+1 White, -1 Black), kings on the long diagonal 46-5.
    enum Term
    {
        Men,
        Kings,
        Tempo,
        ToMove,
        LongDiagonal,
        c_Terms
    };
    // The phase runs from c_FullBoard pieces (all middle game) to none (all ending).
    static constexpr int c_FullBoard = 40;

    // Region configurations for White (own = White's men) and for Black (own = Black's men,
    // board turned); kings count as empty squares there.
    std::uint16_t white[c_Regions] = {};
    std::uint16_t black[c_Regions] = {};
    int terms[c_Terms] = {};
    // Pieces on the board, capped at c_FullBoard.
    int phase = 0;
    // The hand-set evaluation from White's side (Evaluation), which the learnt weights correct.
    int base = 0;

    static PatternFeatures of(const Position& position);
    // The board turned half a turn: square s goes to 51 - s.
    static Bitboard turned(Bitboard set);
};

} // namespace Draughts
