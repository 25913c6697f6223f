// Self-play games for training the evaluation: each game opens with a few random moves, then
// the search plays both sides at a node budget drawn per game; the quiet positions after the
// opening are written with the game's result (TrainingSet records). Games are independent
// (the search's table is cleared between them) and game i depends only on the seed and i,
// so a run is reproduced exactly by the same command on the same code.
// By default the games are played with the hand-set evaluation, so that the positions do not
// depend on weights learnt before; --weights plays them with learnt weights instead (a second
// generation of training games, played by the evaluation learnt from the first).
// Usage: draughts_selfplay --games N --out FILE [--seed S] [--nodes MIN-MAX] [--first I]
//                          [--weights FILE]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>

#include "PatternEvaluation.h"
#include "Search.h"
#include "TrainingSet.h"

using namespace Draughts;

namespace
{
constexpr std::size_t c_MaxPlies = 300;

const char* const c_Usage =
    "Usage: draughts_selfplay --games N --out FILE [--seed S] [--nodes MIN-MAX] [--first I]\n"
    "                         [--weights FILE]\n"
    "Plays N self-play games (numbered from I, default 0) and appends their quiet positions\n"
    "with the results to FILE. Each game opens with 4-9 random plies, then the search plays\n"
    "both sides with a node budget drawn in MIN-MAX (default 2000-6000) for the game, with\n"
    "the hand-set evaluation or, with --weights, the learnt one from a weights file.\n";

struct Options
{
    long games = 0;
    long first = 0;
    std::uint64_t seed = 1;
    std::uint64_t minNodes = 2000;
    std::uint64_t maxNodes = 6000;
    std::string out;
    std::string weights;
};

bool parse(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (i + 1 >= argc)
            return false;
        const char* value = argv[++i];
        char* end = nullptr;
        if (name == "--games")
            options.games = std::strtol(value, &end, 10);
        else if (name == "--first")
            options.first = std::strtol(value, &end, 10);
        else if (name == "--seed")
            options.seed = std::strtoull(value, &end, 10);
        else if (name == "--out")
            options.out = value, end = const_cast<char*>(value) + std::strlen(value);
        else if (name == "--weights" && *value != '\0')
            options.weights = value, end = const_cast<char*>(value) + std::strlen(value);
        else if (name == "--nodes") {
            options.minNodes = std::strtoull(value, &end, 10);
            if (*end != '-')
                return false;
            options.maxNodes = std::strtoull(end + 1, &end, 10);
        } else
            return false;
        if (!end || *end != '\0')
            return false;
    }
    return options.games > 0 && options.first >= 0 && !options.out.empty() && options.minNodes > 0 &&
           options.minNodes <= options.maxNodes;
}
} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!parse(argc, argv, options)) {
        std::fputs(c_Usage, stderr);
        return 2;
    }
    std::shared_ptr<PatternEvaluation> weights;
    if (!options.weights.empty()) {
        weights = std::make_shared<PatternEvaluation>();
        std::string error;
        if (!weights->load(options.weights, error)) {
            std::fprintf(stderr, "draughts_selfplay: %s\n", error.c_str());
            return 1;
        }
        // The games are played by the evaluation being fitted, without the hand-set king
        // bonus on top of it, so that the same command keeps making the same weights.
        weights->setKingReach(0);
    }
    std::FILE* out = std::fopen(options.out.c_str(), "ab");
    if (!out) {
        std::fprintf(stderr, "draughts_selfplay: cannot write %s\n", options.out.c_str());
        return 1;
    }
    Search search(4);
    search.setEvaluation(weights);
    long positions = 0;
    long decided = 0;
    long unfinished = 0;
    std::string bytes;
    std::vector<TrainingPosition> record;
    for (long index = options.first; index < options.first + options.games; ++index) {
        std::mt19937_64 random(options.seed * 1000003ULL + static_cast<std::uint64_t>(index));
        const int openingPlies = 4 + static_cast<int>(random() % 6);
        const std::uint64_t nodes =
            options.minNodes + random() % (options.maxNodes - options.minNodes + 1);
        search.clear();
        Game game;
        record.clear();
        while (game.result() == Result::Ongoing && game.moves().size() < c_MaxPlies) {
            const MoveList moves = game.legalMoves();
            if (static_cast<int>(game.moves().size()) < openingPlies) {
                game.play(moves[random() % moves.size()]);
                continue;
            }
            SearchLimits limits;
            limits.infinite = true;
            limits.maxNodes = nodes;
            const SearchResult result = search.run(game, limits);
            if (!MoveGenerator::mustCapture(game.position())) {
                TrainingPosition entry;
                entry.position = game.position();
                entry.score = result.score;
                entry.ply = static_cast<int>(game.moves().size());
                record.push_back(entry);
            }
            if (!game.play(result.best)) {
                std::fprintf(stderr, "draughts_selfplay: game %ld: the search chose an illegal move\n", index);
                return 1;
            }
        }
        const Result result = game.result();
        const int white = result == Result::WhiteWins ? 1 : result == Result::BlackWins ? -1 : 0;
        decided += white != 0;
        unfinished += result == Result::Ongoing;
        bytes.clear();
        for (TrainingPosition& entry : record) {
            entry.result = white;
            TrainingSet::encode(entry, bytes);
        }
        positions += static_cast<long>(record.size());
        if (std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size()) {
            std::fprintf(stderr, "draughts_selfplay: cannot write %s\n", options.out.c_str());
            return 1;
        }
        if ((index - options.first + 1) % 500 == 0) {
            std::fflush(out);
            std::printf("%ld games, %ld positions, %ld decided, %ld unfinished\n", index - options.first + 1,
                        positions, decided, unfinished);
            std::fflush(stdout);
        }
    }
    if (std::fclose(out) != 0) {
        std::fprintf(stderr, "draughts_selfplay: cannot write %s\n", options.out.c_str());
        return 1;
    }
    std::printf("%ld games, %ld positions, %ld decided, %ld unfinished\n", options.games, positions, decided,
                unfinished);
    return 0;
}
