#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "Move.h"
#include "Position.h"

namespace Draughts
{

// Counts the move paths of a given length from a position ("perft"), the usual check of a
// move generator against published figures. The last level is counted without playing it.
class Perft
{
public:
    // Paths of depth moves (1 for depth 0).
    static std::uint64_t count(const Position& position, int depth);
    // Per legal move of the position, the paths of depth - 1 moves after it ("divide").
    static std::vector<std::pair<Move, std::uint64_t>> divide(const Position& position, int depth);
};

} // namespace Draughts
