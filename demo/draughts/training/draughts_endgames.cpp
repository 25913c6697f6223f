// Solves the endings of up to four pieces (every position, both sides to move) and writes
// them as the engine's endgame table, which the engine and the game load from
// share/tessellon/draughts/endgames.table beside their folder when it is there.
// Usage: draughts_endgames [--pieces N] FILE
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

#include "EndgameGenerator.h"
#include "core/Quotable.h"

using namespace Draughts;

namespace
{
const char* const c_Usage = "Usage: draughts_endgames [--pieces N] FILE\n"
                            "Solves every ending of N pieces or fewer (2 to 4, default 4) and writes the\n"
                            "table to FILE (the engine's is share/tessellon/draughts/endgames.table).\n";
}

int main(int argc, char** argv)
{
    int pieces = EndgameTable::c_MaxPieces;
    std::string path;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            std::fputs(c_Usage, stdout);
            return 0;
        }
        if (argument == "--pieces" && i + 1 < argc) {
            char* end = nullptr;
            const long value = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || value < 2 || value > EndgameTable::c_MaxPieces) {
                std::fprintf(stderr, "draughts_endgames: --pieces takes 2 to %d, not '%s'\n", EndgameTable::c_MaxPieces,
                             Core::quotable(argv[i]).c_str());
                return 2;
            }
            pieces = static_cast<int>(value);
        } else if (!argument.empty() && argument[0] != '-' && path.empty()) {
            path = argument;
        } else {
            std::fprintf(stderr, "draughts_endgames: unexpected argument '%s'\n%s", Core::quotable(argument).c_str(),
                         c_Usage);
            return 2;
        }
    }
    if (path.empty()) {
        std::fputs(c_Usage, stderr);
        return 2;
    }
    // A place it cannot write to is told before the solving, not a minute after.
    std::string probe = path + ".XXXXXX";
    const int descriptor = mkstemp(&probe[0]);
    if (descriptor < 0) {
        std::fprintf(stderr, "draughts_endgames: cannot write beside %s\n", Core::quotable(path).c_str());
        return 1;
    }
    close(descriptor);
    unlink(probe.c_str());
    const auto start = std::chrono::steady_clock::now();
    EndgameTable table;
    EndgameGenerator::generate(table, pieces, [](const std::string& line) { std::printf("%s\n", line.c_str()); std::fflush(stdout); });
    std::string error;
    if (!table.save(path, error)) {
        std::fprintf(stderr, "draughts_endgames: %s\n", error.c_str());
        return 1;
    }
    std::printf("Wrote %s: endings of up to %d pieces in %.0f s.\n", Core::quotable(path).c_str(), pieces,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    return 0;
}
