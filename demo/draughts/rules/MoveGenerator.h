#pragma once

#include <vector>

#include "Move.h"
#include "Position.h"

namespace Draughts
{

using MoveList = std::vector<Move>;

// Legal moves of international draughts. Capturing is compulsory and only the captures
// taking the most pieces may be played (men and kings count the same); a piece is jumped at
// most once and stays on the board, blocking, until the move ends; men capture backwards
// too and become kings only when the move ends on the far row; kings fly. Captures with the
// same start, end and taken pieces are one move.
class MoveGenerator
{
public:
    // Replaces the list's contents with the legal moves of the side to move (none when it has
    // no piece or every piece is blocked). The list keeps its memory for the next call.
    static void generate(const Position& position, MoveList& moves);
    // As generate(), but keeps every route of a capture (captures with the same start, end and
    // taken pieces by different landing squares are listed once per route).
    static void generateAllRoutes(const Position& position, MoveList& moves);
    // The number of legal moves; the list is scratch space.
    static int count(const Position& position, MoveList& scratch);
    // True when the side to move must capture.
    static bool mustCapture(const Position& position);
    // True when the side to move has a legal move (found without listing them).
    static bool canMove(const Position& position);
    // True when the side to move has a step (a move that is not a capture), whether or not a
    // capture is compulsory.
    static bool canStep(const Position& position);
    // The step of the side to move from one square to another (1-50) when it is legal,
    // found without listing the moves; false when it is not (or a capture is compulsory).
    static bool findStep(const Position& position, int from, int to, Move& step);
};

} // namespace Draughts
