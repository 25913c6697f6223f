#pragma once

#include <string>
#include <vector>

#include "Game.h"

namespace Draughts
{

// Writes games as PDN 3.0 for international draughts, in UTF-8: the game's tags in their
// order (Result set to the game's result, GameType "20", and FEN from the start position for a set-up), then
// the numbered moves with intermediate squares where a capture needs them and the result,
// in lines of at most 80 characters. PdnReader reads the text back to the same games.
class PdnWriter
{
public:
    static std::string write(const Game& game);
    // The games one after the other, a blank line between.
    static std::string write(const std::vector<Game>& games);
    // Writes the games to a file (replaced); false with a one-line message when it cannot be
    // written completely.
    static bool writeFile(const std::string& path, const std::vector<Game>& games, std::string& error);
};

} // namespace Draughts
