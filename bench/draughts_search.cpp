// The draughts computer opponent: positions searched per second and depth reached in 1 s
// from the initial position and from two later positions, then a match of the top level at a
// fixed time per move against a 1-ply greedy player (the move keeping the most material, ties
// at random), colours alternated, each game opened with a few random moves. Target: at least
// 95 wins in 100 games at 0.1 s a move. Last, levels 1-6 against a 2-ply greedy player (a
// beginner who sees the opponent's reply), a fifth as many games each.
// Usage: draughts_search [games] [seconds per move] [seconds for the speed runs]
//        (defaults: 100, 0.1, 1; "draughts_search 2 0.01 0.1" is the smoke run)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "Search.h"

using namespace Draughts;

namespace
{
using Clock = std::chrono::steady_clock;
constexpr int c_RandomOpeningPlies = 4;
constexpr std::size_t c_MaxPlies = 400;

int material(const Position& position, Color side)
{
    return position.count(side) + 2 * position.kingCount(side) -
           (position.count(opponent(side)) + 2 * position.kingCount(opponent(side)));
}

// The move keeping the most material after the opponent's best reply (lookahead 2) or after
// the move alone (lookahead 1); ties at random.
Move greedy(const Game& game, int lookahead, std::mt19937& random)
{
    const MoveList moves = game.legalMoves();
    const Color side = game.position().sideToMove();
    int best = -1000;
    std::vector<Move> choices;
    MoveList replies;
    for (const Move& move : moves) {
        const Position next = game.position().after(move);
        int score = material(next, side);
        if (lookahead > 1) {
            MoveGenerator::generate(next, replies);
            for (const Move& reply : replies)
                score = std::min(score, material(next.after(reply), side));
        }
        if (score > best)
            choices.clear();
        if (score >= best) {
            best = score;
            choices.push_back(move);
        }
    }
    return choices[random() % choices.size()];
}

struct Score
{
    int wins = 0;
    int draws = 0;
    int losses = 0;
    std::size_t plies = 0;
    double longest = 0;
};

// Games of the engine at a level against a greedy player, colours alternated.
Score match(int games, int level, double moveSeconds, int lookahead, std::mt19937& random, bool verbose)
{
    Search search;
    Score score;
    for (int i = 0; i < games; ++i) {
        const Color engine = i % 2 == 0 ? Color::White : Color::Black;
        Game game;
        search.clear();
        while (game.result() == Result::Ongoing && game.moves().size() < c_MaxPlies) {
            if (game.moves().size() < c_RandomOpeningPlies) {
                const MoveList moves = game.legalMoves();
                game.play(moves[random() % moves.size()]);
            } else if (game.position().sideToMove() == engine) {
                SearchLimits limits;
                limits.seconds = moveSeconds;
                limits.level = level;
                limits.seed = random();
                const SearchResult result = search.run(game, limits);
                score.longest = std::max(score.longest, result.seconds);
                if (!game.play(result.best)) {
                    std::printf("game %d: the engine chose an illegal move\n", i + 1);
                    std::exit(1);
                }
            } else {
                game.play(greedy(game, lookahead, random));
            }
        }
        const Result result = game.result();
        const bool won = result == (engine == Color::White ? Result::WhiteWins : Result::BlackWins);
        const bool drawn = result == Result::Draw || result == Result::Ongoing;
        score.wins += won;
        score.draws += drawn;
        score.losses += !won && !drawn;
        score.plies += game.moves().size();
        if (!won && verbose)
            std::printf("game %d (engine %s): %s after %zu plies\n", i + 1, colorName(engine),
                        result == Result::Ongoing ? "unfinished" : game.resultDescription().c_str(),
                        game.moves().size());
    }
    return score;
}

void speed(const char* name, const std::string& fen, double seconds)
{
    Position position;
    std::string error;
    if (!Position::fromFen(fen, position, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        std::exit(1);
    }
    Search search;
    SearchLimits limits;
    limits.seconds = seconds;
    const SearchResult result = search.run(position, limits);
    std::printf("%-22s depth %2d in %.3f s, %9llu positions, %.2f M positions/s, best %s, score %d\n", name,
                result.depth, result.seconds, static_cast<unsigned long long>(result.nodes),
                result.nodes / result.seconds / 1e6, result.best.toString().c_str(), result.score);
}
} // namespace

int main(int argc, char** argv)
{
    const int games = argc > 1 ? std::atoi(argv[1]) : 100;
    const double moveSeconds = argc > 2 ? std::atof(argv[2]) : 0.1;
    const double speedSeconds = argc > 3 ? std::atof(argv[3]) : 1.0;
    if (games < 1 || moveSeconds <= 0 || speedSeconds <= 0) {
        std::fprintf(stderr, "Usage: draughts_search [games] [seconds per move] [seconds for the speed runs]\n");
        return 2;
    }
    speed("initial position", Position::initial().toFen(), speedSeconds);
    speed("middle game", "W:W27,28,31,32,33,34,36,37,38,39,40,42,43,45,47:B3,5,7,8,9,11,12,13,14,16,17,18,19,21,24",
          speedSeconds);
    speed("ending with kings", "W:W27,31,36,K4:B10,14,19,20,K46", speedSeconds);

    std::mt19937 random(12345);
    const Clock::time_point start = Clock::now();
    const Score top = match(games, 10, moveSeconds, 1, random, true);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("level 10 at %.2f s a move against the 1-ply greedy player: %d wins, %d draws, %d losses in %d "
                "games (%.0f plies a game, %.0f s, longest answer %.3f s = %.2f of the time)\n",
                moveSeconds, top.wins, top.draws, top.losses, games, static_cast<double>(top.plies) / games, seconds,
                top.longest, top.longest / moveSeconds);
    if (games == 100)
        std::printf("target at least 95 wins: %s\n", top.wins >= 95 ? "met" : "NOT met");

    // The lower levels against a player who looks one reply ahead, as a beginner does.
    const int levelGames = std::max(2, games / 5);
    for (int level = 1; level <= 6; ++level) {
        const Score score = match(levelGames, level, moveSeconds, 2, random, false);
        std::printf("level %d against the 2-ply greedy player: %d wins, %d draws, %d losses in %d games\n", level,
                    score.wins, score.draws, score.losses, levelGames);
    }
    return 0;
}
