#pragma once

#include <string>

#include "Move.h"
#include "Position.h"

namespace Draughts
{

// Moves as PDN writes them: "32-28" for a step, "28x19" for a capture, and "28x19x8" with
// the landing squares between when another legal capture has the same start and end.
class Notation
{
public:
    // The text of a legal move of the position, intermediate squares only when needed.
    static std::string write(const Position& position, const Move& move);
    // The legal move of the position that a text names ("32-28", "28x19", "28x19x8"; the
    // squares between may be some of the landings, in order). The move keeps the route the
    // text gives. False with a one-line reason in error ("illegal move: ...", "ambiguous move:
    // ...", "not a move") when no single legal move matches.
    static bool read(const Position& position, const std::string& text, Move& move, std::string& error);
};

} // namespace Draughts
