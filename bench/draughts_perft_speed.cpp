// Speed of the draughts move generator: perft from the initial position, depth 1 to 9, with
// bulk counting at the last level, single thread. The target is perft(9) (41,022,423 paths) in
// at most 2 s on the project's machine. Depth 9 runs several times and the best and median
// times are printed, since the machine is shared.
// Usage: draughts_perft_speed [depth] [repetitions]      (defaults: 9, 3)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "Perft.h"

namespace
{
using Clock = std::chrono::steady_clock;
constexpr double c_TargetSeconds = 2.0;
const std::uint64_t c_Published[] = {9, 81, 658, 4265, 27117, 167140, 1049442, 6483961, 41022423};

double timed(int depth, std::uint64_t& nodes)
{
    const Clock::time_point start = Clock::now();
    nodes = Draughts::Perft::count(Draughts::Position::initial(), depth);
    return std::chrono::duration<double>(Clock::now() - start).count();
}
} // namespace

int main(int argc, char** argv)
{
    const int depth = argc > 1 ? std::atoi(argv[1]) : 9;
    const int repetitions = argc > 2 ? std::atoi(argv[2]) : 3;
    if (depth < 1 || depth > 9 || repetitions < 1) {
        std::fprintf(stderr, "Usage: draughts_perft_speed [depth 1-9] [repetitions]\n");
        return 2;
    }
    bool right = true;
    for (int level = 1; level <= depth; ++level) {
        std::vector<double> times;
        std::uint64_t nodes = 0;
        for (int i = 0; i < (level == depth ? repetitions : 1); ++i)
            times.push_back(timed(level, nodes));
        std::sort(times.begin(), times.end());
        const double best = times.front();
        const double median = times[times.size() / 2];
        right = right && nodes == c_Published[level - 1];
        std::printf("perft %d: %11llu %s  best %.3f s  median %.3f s  %.1f M nodes/s\n", level,
                    static_cast<unsigned long long>(nodes), nodes == c_Published[level - 1] ? "right" : "WRONG", best,
                    median, best > 0 ? nodes / best / 1e6 : 0.0);
        if (level == 9)
            std::printf("perft(9) median / target %.1f s: %.2f (%s)\n", c_TargetSeconds, median / c_TargetSeconds,
                        median <= c_TargetSeconds ? "met" : "NOT met");
    }
    return right ? 0 : 1;
}
