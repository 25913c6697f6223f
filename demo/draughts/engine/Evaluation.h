#pragma once

#include <cstdint>

#include "Position.h"

namespace Draughts
{

// The computer opponent's judgement of a quiet position, in hundredths of a man, from the
// side to move's point of view: material (a king worth three men), advancement of the men
// weighted more as the board empties (tempo), the centre, the back row that keeps the
// opponent from crowning, and lone-king endings the rules draw scaled toward zero.
class Evaluation
{
public:
    static constexpr int c_Man = 100;
    static constexpr int c_King = 300;

    static int evaluate(const Position& position);
    // A lone king against at most three pieces among which a king: the rules draw these soon.
    static bool drawishEnding(const Position& position);
    // A deterministic offset in [-amplitude, amplitude] per position and seed: the lower
    // levels' deliberate mistakes, the same on every visit so that the search stays sound.
    static int noise(std::uint64_t hash, std::uint64_t seed, int amplitude);
};

} // namespace Draughts
