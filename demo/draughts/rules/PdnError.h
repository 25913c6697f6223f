#pragma once

#include <string>

namespace Draughts
{

// A problem in one game of a PDN text: an error (the game is kept up to it, the rest of its
// moves is not played) or a warning (the record reads on: it goes past a draw rule, its
// result contradicts the rules' ending, ...).
struct PdnError
{
    // The game's place in the text, from 1.
    int game = 0;
    // The move's number as PDN counts it and its side; 0 when the problem is not in a move.
    int moveNumber = 0;
    bool blackMove = false;
    // The move as written (spaces inside it dropped) and as a message may quote it
    // (Core::quotable, cut after 80 bytes); "" when the problem is not in a move.
    std::string move;
    // What is wrong, e.g. "illegal move" or "unterminated comment".
    std::string message;
    bool warning = false;

    // "game 3, move 12... 19x28: illegal move", "game 3: unterminated comment", or for a
    // warning "game 3: warning: ..."; without "game 3" and its comma or colon when asked.
    std::string toString(bool withGame = true) const;
};

} // namespace Draughts
