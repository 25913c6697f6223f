// Checks PDN files of international draughts: reads every game, replays its moves through
// the rules and prints, per file, each fault with its game and move, then the games read and
// the moves replayed. Status 0 when every file is sound, 1 when any game or file is faulty,
// 2 for a wrong command line.
// Usage: draughts_pdn check FILE...
#include <cstdio>
#include <cstring>
#include <string>

#include "PdnReader.h"
#include "core/Quotable.h"

int main(int argc, char** argv)
{
    if (argc < 3 || std::strcmp(argv[1], "check") != 0) {
        std::fprintf(stderr, "Usage: draughts_pdn check FILE...\n");
        return 2;
    }
    int status = 0;
    for (int i = 2; i < argc; ++i) {
        Draughts::PdnContents contents;
        std::string error;
        if (!Draughts::PdnReader::readFile(argv[i], contents, error)) {
            std::printf("%s\n", error.c_str());
            status = 1;
            continue;
        }
        const std::string file = Core::quotable(argv[i]);
        for (const Draughts::PdnError& fault : contents.errors)
            std::printf("%s: %s\n", file.c_str(), fault.toString().c_str());
        const std::size_t games = contents.games.size();
        const std::size_t faults = contents.errors.size();
        std::printf("%s: %zu game%s read, %ld move%s replayed, %zu error%s\n", file.c_str(), games,
                    games == 1 ? "" : "s", contents.movesReplayed, contents.movesReplayed == 1 ? "" : "s", faults,
                    faults == 1 ? "" : "s");
        if (faults != 0)
            status = 1;
    }
    return status;
}
