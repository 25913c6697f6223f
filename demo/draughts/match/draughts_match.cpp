// Plays two Hub engines against each other: every opening of a set twice, each engine
// having White once, at a fixed number of positions or a fixed time a move; reports wins,
// draws and losses of the first engine, the Elo difference with its 95 % margin, and stops
// early when a sequential probability ratio test is asked for and decides. Games end by the
// rules (no legal move, the draw rules); a game still going past the ply limit is
// adjudicated a draw and counted as such.
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "MatchEngine.h"
#include "MatchStatistics.h"
#include "Search.h"

using namespace Draughts;

namespace
{
const char* const c_Usage =
    "Usage: draughts_match --engine COMMAND --engine COMMAND [options]\n"
    "       draughts_match --make-openings N [--seed S]\n"
    "Plays the first engine against the second, each opening with both colours, and reports\n"
    "the first engine's wins, draws and losses and its Elo difference (95 % margin).\n"
    "  --nodes N            N positions a move (default 100000)\n"
    "  --time SECONDS       a fixed time a move instead\n"
    "  --games N            games at most (default 200; an even number, both colours)\n"
    "  --openings FILE      openings, one a line as moves (\"32-28 19-23 ...\"); default:\n"
    "                       16 balanced openings made from --seed\n"
    "  --set-a NAME=VALUE   a parameter for the first engine (--set-b for the second)\n"
    "  --sprt ELO0,ELO1     stop once the test decides between ELO0 and ELO1 (5 % errors)\n"
    "  --concurrency K      K games at once (default 1)\n"
    "  --max-plies N        adjudicate a draw past N plies (default 400)\n"
    "  --quiet              no line per game\n"
    "--make-openings writes N balanced openings (6 random plies the search scores within a\n"
    "fifth of a man) on standard output.\n";

struct Options
{
    std::string engines[2];
    std::vector<std::pair<std::string, std::string>> parameters[2];
    MatchEngine::Limit limit;
    int games = 200;
    std::string openings;
    bool sprt = false;
    double elo0 = 0;
    double elo1 = 10;
    int concurrency = 1;
    std::size_t maxPlies = 400;
    bool quiet = false;
    int makeOpenings = 0;
    std::uint64_t seed = 1;
};

bool number(const char* text, double& value)
{
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0' && std::isfinite(value);
}

bool parse(int argc, char** argv, Options& options)
{
    int engines = 0;
    options.limit.nodes = 100000;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--quiet") {
            options.quiet = true;
            continue;
        }
        if (i + 1 >= argc)
            return false;
        const char* value = argv[++i];
        double x = 0;
        if (name == "--engine") {
            if (engines == 2)
                return false;
            options.engines[engines++] = value;
        } else if (name == "--set-a" || name == "--set-b") {
            const char* equals = std::strchr(value, '=');
            if (!equals)
                return false;
            options.parameters[name == "--set-a" ? 0 : 1].emplace_back(std::string(value, equals), equals + 1);
        } else if (name == "--sprt") {
            if (std::sscanf(value, "%lf,%lf", &options.elo0, &options.elo1) != 2 || options.elo0 >= options.elo1)
                return false;
            options.sprt = true;
        } else if (name == "--openings") {
            options.openings = value;
        } else if (!number(value, x)) {
            return false;
        } else if (name == "--nodes" && x >= 1) {
            options.limit.nodes = static_cast<std::uint64_t>(x);
        } else if (name == "--time" && x > 0) {
            options.limit.nodes = 0;
            options.limit.seconds = x;
        } else if (name == "--games" && x >= 1) {
            options.games = static_cast<int>(x);
        } else if (name == "--concurrency" && x >= 1 && x <= 64) {
            options.concurrency = static_cast<int>(x);
        } else if (name == "--max-plies" && x >= 1) {
            options.maxPlies = static_cast<std::size_t>(x);
        } else if (name == "--make-openings" && x >= 1) {
            options.makeOpenings = static_cast<int>(x);
        } else if (name == "--seed" && x >= 0) {
            options.seed = static_cast<std::uint64_t>(x);
        } else {
            return false;
        }
    }
    options.games += options.games % 2;
    return options.makeOpenings > 0 || engines == 2;
}

// Openings made from a seed: 6 random plies from the start, kept when a search of 200,000
// positions with the hand-set evaluation scores the result within a fifth of a man.
std::vector<std::string> makeOpenings(int count, std::uint64_t seed)
{
    std::mt19937_64 random(seed);
    Search search(16);
    search.setEvaluation(nullptr);
    std::vector<std::string> openings;
    std::set<std::uint64_t> seen;
    while (static_cast<int>(openings.size()) < count) {
        Game game;
        std::string text;
        while (game.moves().size() < 6 && game.result() == Result::Ongoing) {
            const MoveList moves = game.legalMoves();
            const Move move = moves[random() % moves.size()];
            text += (text.empty() ? "" : " ") + move.toString();
            game.play(move);
        }
        if (game.result() != Result::Ongoing || !seen.insert(game.position().hash()).second)
            continue;
        SearchLimits limits;
        limits.infinite = true;
        limits.maxNodes = 200000;
        search.clear();
        if (std::abs(search.run(game, limits).score) <= 20)
            openings.push_back(text);
    }
    return openings;
}

bool readOpenings(const std::string& path, std::vector<std::string>& openings, std::string& error)
{
    std::ifstream in(path);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    std::string line;
    for (int number = 1; std::getline(in, line) && openings.size() < 100000; ++number) {
        if (line.empty() || line[0] == '#')
            continue;
        Game game;
        std::istringstream moves(line);
        std::string move;
        while (moves >> move)
            if (!game.play(move, error)) {
                error = path + ":" + std::to_string(number) + ": " + error;
                return false;
            }
        openings.push_back(line);
    }
    if (openings.empty())
        error = path + " holds no opening";
    return !openings.empty();
}

struct Shared
{
    std::mutex mutex;
    MatchStatistics statistics;
    std::atomic<int> next{0};
    std::atomic<bool> stop{false};
    int adjudicated = 0;
    std::string failure;
};

// Plays one game from an opening; the first player has White when `firstWhite`. Returns the
// first player's points, or -1 with the reason when an engine failed.
double playGame(MatchEngine (&players)[2], const Options& options, const std::string& opening, bool firstWhite,
                std::string& how, bool& adjudicated, std::string& error)
{
    for (MatchEngine& player : players)
        if (!player.newGame(error))
            return -1;
    Game game;
    std::istringstream moves(opening);
    std::string text;
    while (moves >> text)
        game.play(text, error);
    adjudicated = false;
    while (game.result() == Result::Ongoing) {
        if (game.moves().size() >= options.maxPlies) {
            adjudicated = true;
            how = "adjudicated a draw past " + std::to_string(options.maxPlies) + " plies";
            return 0.5;
        }
        const bool whiteToMove = game.position().sideToMove() == Color::White;
        MatchEngine& player = players[whiteToMove == firstWhite ? 0 : 1];
        Move move;
        if (!player.play(game, options.limit, move, error) || !game.play(move)) {
            if (error.empty())
                error = player.name() + " played an illegal move";
            return -1;
        }
    }
    how = game.resultDescription() + " after " + std::to_string(game.moves().size()) + " plies";
    const Result firstWins = firstWhite ? Result::WhiteWins : Result::BlackWins;
    return game.result() == Result::Draw ? 0.5 : game.result() == firstWins ? 1.0 : 0.0;
}

void worker(const Options& options, const std::vector<std::string>& openings, Shared& shared)
{
    MatchEngine players[2];
    std::string error;
    for (int i = 0; i < 2; ++i)
        if (!players[i].start(options.engines[i], options.parameters[i], error)) {
            std::lock_guard<std::mutex> lock(shared.mutex);
            shared.failure = error;
            shared.stop = true;
            return;
        }
    while (!shared.stop) {
        const int index = shared.next++;
        if (index >= options.games)
            return;
        const std::size_t opening = static_cast<std::size_t>(index / 2) % openings.size();
        const bool firstWhite = index % 2 == 0;
        std::string how;
        bool adjudicated = false;
        const double points = playGame(players, options, openings[opening], firstWhite, how, adjudicated, error);
        std::lock_guard<std::mutex> lock(shared.mutex);
        if (points < 0) {
            shared.failure = error;
            shared.stop = true;
            return;
        }
        shared.statistics.add(points);
        shared.adjudicated += adjudicated;
        const MatchStatistics& s = shared.statistics;
        if (!options.quiet)
            std::printf("game %d (opening %zu, %s White): %s, %s; +%d =%d -%d, %.1f %%, Elo %+.0f +- %.0f\n",
                        index + 1, opening + 1, players[firstWhite ? 0 : 1].name().c_str(),
                        points == 1 ? "won" : points == 0 ? "lost" : "drawn", how.c_str(), s.wins(), s.draws(),
                        s.losses(), 100 * s.score(), s.elo(), s.margin());
        std::fflush(stdout);
        if (options.sprt && s.sprt(options.elo0, options.elo1) != MatchStatistics::Verdict::Open)
            shared.stop = true;
    }
}
} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!parse(argc, argv, options)) {
        std::fputs(c_Usage, stderr);
        return 2;
    }
    if (options.makeOpenings > 0) {
        for (const std::string& opening : makeOpenings(options.makeOpenings, options.seed))
            std::printf("%s\n", opening.c_str());
        return 0;
    }
    std::vector<std::string> openings;
    std::string error;
    if (options.openings.empty())
        openings = makeOpenings(16, options.seed);
    else if (!readOpenings(options.openings, openings, error)) {
        std::fprintf(stderr, "draughts_match: %s\n", error.c_str());
        return 1;
    }

    Shared shared;
    std::vector<std::thread> threads;
    for (int i = 0; i < options.concurrency; ++i)
        threads.emplace_back(worker, std::cref(options), std::cref(openings), std::ref(shared));
    for (std::thread& thread : threads)
        thread.join();
    if (!shared.failure.empty()) {
        std::fprintf(stderr, "draughts_match: %s\n", shared.failure.c_str());
        return 1;
    }
    const MatchStatistics& s = shared.statistics;
    char limit[64];
    if (options.limit.nodes > 0)
        std::snprintf(limit, sizeof limit, "%llu positions a move", static_cast<unsigned long long>(options.limit.nodes));
    else
        std::snprintf(limit, sizeof limit, "%g s a move", options.limit.seconds);
    std::printf("%s against %s, %s, %zu openings: %d games, +%d =%d -%d (%d adjudicated), score %.1f %%, "
                "Elo %+.1f +- %.1f",
                options.engines[0].c_str(), options.engines[1].c_str(), limit, openings.size(), s.games(), s.wins(),
                s.draws(), s.losses(), shared.adjudicated, 100 * s.score(), s.elo(), s.margin());
    if (options.sprt) {
        const MatchStatistics::Verdict verdict = s.sprt(options.elo0, options.elo1);
        std::printf(", SPRT [%g, %g]: %s (LLR %.2f)", options.elo0, options.elo1,
                    verdict == MatchStatistics::Verdict::Better      ? "H1, better"
                    : verdict == MatchStatistics::Verdict::NotBetter ? "H0, not better"
                                                                     : "undecided",
                    s.likelihoodRatio(options.elo0, options.elo1));
    }
    std::printf("\n");
    return 0;
}
