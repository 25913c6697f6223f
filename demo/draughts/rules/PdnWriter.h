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
    // Writes the games to a new file at `path`. Nothing there is replaced or followed: an
    // existing file or symbolic link (even one to nothing) fails with "File exists". False
    // with a one-line message when the file cannot be made or written completely (what was
    // written is then removed).
    static bool writeFile(const std::string& path, const std::vector<Game>& games, std::string& error);
    // Writes the games, as writeFile does, to the first name not taken among `stem`.pdn,
    // `stem`-2.pdn ... `stem`-999.pdn. The path written; "" with a one-line message when
    // every name is taken or the file cannot be written completely.
    static std::string writeNewFile(const std::string& stem, const std::vector<Game>& games, std::string& error);
};

} // namespace Draughts
