// The draughts search's speed: positions a second and the depth completed in a fixed time
// (1 s by default) from three positions (the start, a middle game, an ending with kings),
// for the built-in search and for any Hub engine given with --engine, all in one run so
// that an earlier build and today's are measured on the same machine at the same moment.
//
// Every search starts cold (a fresh search, or a fresh engine process). The figures are
// those of the last depth completed: its depth, the positions visited up to its end and
// its time, as a Hub engine reports them in its info lines; each position is searched
// --runs times by each engine in turn and the run with the median speed is shown. The
// ratio column compares each engine with the first one of the table.
//
// Usage: draughts_speed [--seconds S] [--runs N] [--no-builtin] [--engine "COMMAND [ARGS]"]...
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Game.h"
#include "HubClient.h"
#include "Search.h"

using namespace Draughts;

namespace
{
struct Sample
{
    int depth = 0;
    std::uint64_t nodes = 0;
    double seconds = 0.0;
    double rate() const { return seconds > 0 ? static_cast<double>(nodes) / seconds : 0.0; }
};

struct Spot
{
    const char* name;
    const char* fen;
};

const Spot c_Spots[] = {
    {"start", nullptr},
    {"middle game", "W:W27,28,31,32,33,34,36,37,38,39,40,42,43,45,47:B3,5,7,8,9,11,12,13,14,16,17,18,19,21,24"},
    {"ending with kings", "W:W27,31,36,K4:B10,14,19,20,K46"},
};

Position positionOf(const Spot& spot)
{
    if (!spot.fen)
        return Position::initial();
    Position position;
    std::string error;
    if (!Position::fromFen(spot.fen, position, error)) {
        std::fprintf(stderr, "draughts_speed: %s\n", error.c_str());
        std::exit(1);
    }
    return position;
}

Sample builtin(const Position& position, double seconds)
{
    Search search;
    SearchLimits limits;
    limits.seconds = seconds;
    Sample sample;
    limits.progress = [&sample](const SearchResult& found) {
        sample.depth = found.depth;
        sample.nodes = found.nodes;
        sample.seconds = found.seconds;
    };
    search.run(position, limits);
    return sample;
}

// One search by a fresh engine process; false with the reason when it fails.
bool hub(const std::string& command, const Position& position, double seconds, Sample& sample, std::string& error)
{
    HubClient client;
    if (!client.start(command, error))
        return false;
    HubClient::Event event;
    bool asked = false;
    for (;;) {
        if (client.poll(event, 50)) {
            if (event.kind == HubClient::Event::Kind::Done)
                return true;
            if (event.kind == HubClient::Event::Kind::Error) {
                error = event.text;
                return false;
            }
            if (event.kind == HubClient::Event::Kind::Info && event.depth > 0 && event.nodes > 0 && event.seconds > 0) {
                sample.depth = event.depth;
                sample.nodes = event.nodes;
                sample.seconds = event.seconds;
            }
        }
        if (client.isReady() && !asked) {
            if (!client.go(Game(position), HubClient::Mode::Think, seconds, error))
                return false;
            asked = true;
        }
    }
}

struct Row
{
    std::string engine;
    std::vector<Sample> spots;
};

int usage()
{
    std::fputs("Usage: draughts_speed [--seconds S] [--runs N] [--no-builtin] [--engine \"COMMAND [ARGS]\"]...\n",
               stderr);
    return 2;
}
} // namespace

int main(int argc, char** argv)
{
    double seconds = 1.0;
    int runs = 3;
    bool withBuiltin = true;
    std::vector<std::string> engines;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const bool hasValue = i + 1 < argc;
        if (option == "--seconds" && hasValue)
            seconds = std::atof(argv[++i]);
        else if (option == "--runs" && hasValue)
            runs = std::atoi(argv[++i]);
        else if (option == "--engine" && hasValue)
            engines.emplace_back(argv[++i]);
        else if (option == "--no-builtin")
            withBuiltin = false;
        else
            return usage();
    }
    if (!(seconds > 0 && seconds <= 60) || runs < 1 || runs > 99 || (!withBuiltin && engines.empty()))
        return usage();

    std::vector<Row> rows;
    if (withBuiltin)
        rows.push_back({"built-in search", {}});
    for (const std::string& command : engines)
        rows.push_back({command, {}});

    // The runs take turns between the rows, so that a slow stretch of the machine falls on
    // every row alike rather than on one.
    for (const Spot& spot : c_Spots) {
        const Position position = positionOf(spot);
        std::vector<std::vector<Sample>> samples(rows.size());
        for (int run = 0; run < runs; ++run)
            for (std::size_t r = 0; r < rows.size(); ++r) {
                Sample sample;
                std::string error;
                if (withBuiltin && r == 0)
                    sample = builtin(position, seconds);
                else if (!hub(rows[r].engine, position, seconds, sample, error)) {
                    std::fprintf(stderr, "draughts_speed: %s: %s\n", rows[r].engine.c_str(), error.c_str());
                    return 1;
                }
                samples[r].push_back(sample);
            }
        for (std::size_t r = 0; r < rows.size(); ++r) {
            std::sort(samples[r].begin(), samples[r].end(),
                      [](const Sample& a, const Sample& b) { return a.rate() < b.rate(); });
            rows[r].spots.push_back(samples[r][samples[r].size() / 2]);
        }
    }

    std::printf("Depth completed and positions a second in %.2f s (median of %d runs; ratio to the first row)\n",
                seconds, runs);
    for (std::size_t s = 0; s < std::size(c_Spots); ++s) {
        std::printf("\n%s\n", c_Spots[s].name);
        std::printf("  %-50s %5s %12s %8s %10s %6s\n", "engine", "depth", "positions", "time s", "M pos/s", "ratio");
        for (const Row& row : rows) {
            const Sample& sample = row.spots[s];
            const double first = rows.front().spots[s].rate();
            std::printf("  %-50.50s %5d %12llu %8.3f %10.2f %6.2f\n", row.engine.c_str(), sample.depth,
                        static_cast<unsigned long long>(sample.nodes), sample.seconds, sample.rate() / 1e6,
                        first > 0 ? sample.rate() / first : 0.0);
        }
    }
    return 0;
}
