#pragma once

#include <string>
#include <vector>

#include "Game.h"
#include "PdnError.h"

namespace Draughts
{

// What a PDN text held: every game found (a faulty one with the moves before its error), the
// errors and the warnings, and the number of moves replayed through the rules.
struct PdnContents
{
    std::vector<Game> games;
    std::vector<PdnError> errors;
    std::vector<PdnError> warnings;
    long movesReplayed = 0;
};

// Reads every game of a PDN text at once (see PdnParser for what is read). For files, and
// for texts of many games, PdnDatabase indexes the games and builds one only when asked.
class PdnReader
{
public:
    // Reads every game of a text (UTF-8, or Latin-1 when it is not valid UTF-8); never fails
    // as a whole: problems are in the result, and a text over 256 MiB gives one error.
    static PdnContents read(const std::string& text);
};

} // namespace Draughts
