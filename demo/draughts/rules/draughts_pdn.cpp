// PDN files of international draughts from the command line: `check` replays every game
// through the rules and reports each error and warning; `list` prints one line per game from
// the file's index. See usage() for the exit statuses.
#include <cstdio>
#include <cstring>
#include <string>

#include "PdnDatabase.h"
#include "core/Quotable.h"

namespace
{
const char* usage()
{
    return "Usage: draughts_pdn check FILE...\n"
           "       draughts_pdn list FILE...\n"
           "PDN files of international draughts.\n"
           "  check  replays every game through the rules; prints each error (the game is kept\n"
           "         up to it) and warning (the record reads on) with its game and move, then\n"
           "         per file the games read, the moves replayed, the errors and the warnings\n"
           "  list   prints a header line, then a line per game, fields separated by tabs:\n"
           "         file, game number, White, Black, event, date, result, moves, and the\n"
           "         game's error, else its first warning\n"
           "Exit status: 0 when every file was read (and, for check, no game has an error;\n"
           "warnings do not count), 1 when a file cannot be read (or, for check, a game has\n"
           "an error), 2 for a wrong command line.\n";
}

std::string plural(std::size_t count, const char* word)
{
    return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

// A field of a tab-separated line: control characters (tabs, line ends) become spaces.
std::string field(std::string text)
{
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    return text;
}

bool check(const std::string& path, const Draughts::PdnDatabase& database)
{
    for (std::size_t i = 0; i < database.size(); ++i)
        for (const Draughts::PdnError& problem : database.problems(i))
            std::printf("%s: %s\n", path.c_str(), problem.toString().c_str());
    std::printf("%s: %s read, %s replayed, %s, %s\n", path.c_str(), plural(database.size(), "game").c_str(),
                plural(static_cast<std::size_t>(database.movesReplayed()), "move").c_str(),
                plural(database.errorCount(), "error").c_str(), plural(database.warningCount(), "warning").c_str());
    return database.errorCount() == 0;
}

void list(const std::string& path, const Draughts::PdnDatabase& database)
{
    using Tag = Draughts::PdnDatabase::Tag;
    for (std::size_t i = 0; i < database.size(); ++i) {
        std::string problem;
        for (const Draughts::PdnError& found : database.problems(i))
            if (problem.empty() || !found.warning) {
                problem = (found.warning ? "" : "error: ") + found.toString(false);
                if (!found.warning)
                    break;
            }
        std::printf("%s\t%zu\t%s\t%s\t%s\t%s\t%s\t%zu\t%s\n", field(path).c_str(), i + 1,
                    field(database.tag(i, Tag::White)).c_str(), field(database.tag(i, Tag::Black)).c_str(),
                    field(database.tag(i, Tag::Event)).c_str(), field(database.tag(i, Tag::Date)).c_str(),
                    Draughts::Game::resultText(database.result(i)), database.numberedMoves(i), field(problem).c_str());
    }
}
} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(usage(), stdout);
        return 0;
    }
    const bool checking = argc >= 3 && std::strcmp(argv[1], "check") == 0;
    const bool listing = argc >= 3 && std::strcmp(argv[1], "list") == 0;
    if (!checking && !listing) {
        std::fputs("Usage: draughts_pdn check|list FILE...   (--help tells more)\n", stderr);
        return 2;
    }
    if (listing)
        std::printf("file\tgame\tWhite\tBlack\tevent\tdate\tresult\tmoves\tproblem\n");
    int status = 0;
    for (int i = 2; i < argc; ++i) {
        Draughts::PdnDatabase database;
        std::string error;
        if (!database.openFile(argv[i], error)) {
            std::fprintf(listing ? stderr : stdout, "%s\n", error.c_str());
            status = 1;
            continue;
        }
        const std::string file = Core::quotable(argv[i]);
        if (listing)
            list(file, database);
        else if (!check(file, database))
            status = 1;
    }
    return status;
}
