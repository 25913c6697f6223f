#pragma once

#include <functional>
#include <string>

#include "EndgameTable.h"

namespace Draughts
{

// Solves the endings of up to a number of pieces into an EndgameTable, by retrograde
// analysis over the rules' own move generator. The signatures are solved from the fewest
// pieces and men up, so that every capture and promotion leads into one already solved; within
// a signature (and its colours swapped), passes over the positions settle first those that
// win or lose at once, then those one ply further, and so on, each pass visiting only the
// positions a quiet move leads from into one the last pass settled. What never settles is a
// draw.
class EndgameGenerator
{
public:
    // Fills the table with the endings of up to `pieces` pieces (2 to EndgameTable::c_MaxPieces).
    // `report`, when set, hears one line per signature solved.
    static void generate(EndgameTable& table, int pieces, const std::function<void(const std::string&)>& report = {});
};

} // namespace Draughts
