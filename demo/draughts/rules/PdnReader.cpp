#include "PdnReader.h"

#include "PdnDatabase.h"

namespace Draughts
{

PdnContents PdnReader::read(const std::string& text)
{
    PdnContents contents;
    PdnDatabase database;
    std::string error;
    if (!database.setText(text, error)) {
        PdnError problem;
        problem.message = error;
        contents.errors.push_back(problem);
        return contents;
    }
    for (std::size_t i = 0; i < database.size(); ++i) {
        contents.games.push_back(database.game(i));
        for (const PdnError& problem : database.problems(i))
            (problem.warning ? contents.warnings : contents.errors).push_back(problem);
    }
    contents.movesReplayed = database.movesReplayed();
    return contents;
}

} // namespace Draughts
