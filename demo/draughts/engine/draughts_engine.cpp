// The built-in search as a Hub engine (protocol version 2) on standard input and output,
// for any draughts GUI that hosts such engines: it ends on "quit" or at once when its
// standard input closes.
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "HubEngine.h"
#include "LineReader.h"
#include "EndgameTable.h"
#include "PatternEvaluation.h"

namespace
{
// Longer lines from the GUI are answered with an error and dropped.
constexpr std::size_t c_MaxLine = 1 << 16;

const char* const c_Usage =
    "Usage: draughts_engine\n"
    "International draughts engine speaking the Hub protocol (version 2) on standard input\n"
    "and output, for a GUI that starts it. Parameters (set-param): level 1..10 (default 10),\n"
    "hash MEGABYTES 1..1024 (default 16), weights FILE (the learnt evaluation; empty for the\n"
    "installed one, none for the hand-set one), endgames FILE (the solved endings; empty for\n"
    "the installed table when there is one, none for no table).\n";
} // namespace

int main(int argc, char** argv)
{
    if (argc > 1) {
        const bool help = std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0;
        std::fputs(c_Usage, help ? stdout : stderr);
        return help ? 0 : 2;
    }
    std::string why;
    if (!Draughts::PatternEvaluation::installed(&why))
        std::fprintf(stderr, "draughts_engine: no learnt evaluation (%s): playing with the hand-set one\n",
                     why.c_str());
    // The endgame table is made on request (draughts_endgames): only one that is there but
    // refused is worth a word.
    if (!Draughts::EndgameTable::installed(&why) && why.rfind("cannot open", 0) != 0)
        std::fprintf(stderr, "draughts_engine: endgame table refused (%s): playing without it\n", why.c_str());
    // A GUI gone away is seen as a failed write, not a signal.
    std::signal(SIGPIPE, SIG_IGN);
    std::atomic<bool> broken{false};
    Draughts::HubEngine engine([&broken](const std::string& line) {
        const std::string out = line + "\n";
        if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() || std::fflush(stdout) != 0)
            broken = true;
    });
    Draughts::LineReader reader(c_MaxLine);
    char buffer[4096];
    std::string line;
    bool tooLong = false;
    while (!broken) {
        const ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        reader.feed(buffer, static_cast<std::size_t>(got));
        while (reader.next(line, tooLong))
            if (!engine.handle(line, tooLong))
                return 0;
    }
    engine.finish();
    return 0;
}
