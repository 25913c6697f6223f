// Counts the move paths from a position per depth (perft) and, at the last depth, per first
// move (divide): the check of the move generator against published figures.
// Usage: draughts_perft [depth] [FEN]     (defaults: 6, the initial position)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Notation.h"
#include "Perft.h"

namespace
{
using Clock = std::chrono::steady_clock;
constexpr int c_MaxDepth = 30;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void printDepth(int depth, std::uint64_t nodes, double seconds)
{
    std::printf("perft %d: %llu  (%.3f s", depth, static_cast<unsigned long long>(nodes), seconds);
    if (seconds > 0.001)
        std::printf(", %.1f M nodes/s", nodes / seconds / 1e6);
    std::printf(")\n");
}
} // namespace

int main(int argc, char** argv)
{
    int depth = 6;
    if (argc > 1) {
        char* end = nullptr;
        const long value = std::strtol(argv[1], &end, 10);
        if (*argv[1] == '\0' || *end != '\0' || value < 1 || value > c_MaxDepth || argc > 3) {
            std::fprintf(stderr, "Usage: draughts_perft [depth 1-%d] [FEN]\n", c_MaxDepth);
            return 2;
        }
        depth = static_cast<int>(value);
    }
    Draughts::Position position = Draughts::Position::initial();
    std::string error;
    if (argc > 2 && !Draughts::Position::fromFen(argv[2], position, error)) {
        std::fprintf(stderr, "draughts_perft: %s\n", error.c_str());
        return 2;
    }
    std::printf("position %s\n", position.toFen().c_str());
    for (int level = 1; level < depth; ++level) {
        const Clock::time_point start = Clock::now();
        const std::uint64_t nodes = Draughts::Perft::count(position, level);
        printDepth(level, nodes, secondsSince(start));
    }
    const Clock::time_point start = Clock::now();
    auto counts = Draughts::Perft::divide(position, depth);
    const double seconds = secondsSince(start);
    std::uint64_t total = 0;
    for (const auto& entry : counts)
        total += entry.second;
    printDepth(depth, total, seconds);

    std::vector<std::pair<std::string, std::uint64_t>> lines;
    for (const auto& entry : counts)
        lines.emplace_back(Draughts::Notation::write(position, entry.first), entry.second);
    std::sort(lines.begin(), lines.end());
    std::printf("divide %d:\n", depth);
    for (const auto& line : lines)
        std::printf("%-12s %llu\n", line.first.c_str(), static_cast<unsigned long long>(line.second));
    std::printf("moves %zu, total %llu\n", lines.size(), static_cast<unsigned long long>(total));
    return 0;
}
