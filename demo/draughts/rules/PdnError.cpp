#include "PdnError.h"

namespace Draughts
{

std::string PdnError::toString(bool withGame) const
{
    std::string text = withGame ? "game " + std::to_string(game) : "";
    if (!move.empty())
        text += (withGame ? ", move " : "move ") + std::to_string(moveNumber) + (blackMove ? "... " : ". ") + move;
    if (!text.empty())
        text += ": ";
    return text + (warning ? "warning: " : "") + message;
}

} // namespace Draughts
