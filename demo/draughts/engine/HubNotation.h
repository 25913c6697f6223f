#pragma once

#include <string>

#include "Move.h"
#include "Position.h"

namespace Draughts
{

// Positions and moves as the Hub protocol writes them. A position is 51 characters: the
// side to move (W or B), then squares 1-50: w and b men, W and B kings, e empty. A move is
// "32-28" for a step, and for a capture the start, the end and every piece taken, joined
// by x ("28x19x23"), without the squares landed on between.
class HubNotation
{
public:
    static std::string writePosition(const Position& position);
    // False, with a one-line reason, unless the text is exactly such a position.
    static bool readPosition(const std::string& text, Position& position, std::string& error);
    static std::string writeMove(const Move& move);
    // The legal move of the position that the text names: the same start and end and, for
    // a capture, the same pieces taken (in any order; with none listed, the only capture
    // between those squares). False, with a one-line reason, for anything else.
    static bool readMove(const Position& position, const std::string& text, Move& move, std::string& error);
};

} // namespace Draughts
