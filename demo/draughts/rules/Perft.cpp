#include "Perft.h"

#include "MoveGenerator.h"

namespace Draughts
{
namespace
{
std::uint64_t countFrom(const Position& position, int depth, std::vector<MoveList>& lists)
{
    MoveList& moves = lists[depth];
    if (depth == 1)
        return static_cast<std::uint64_t>(MoveGenerator::count(position, moves));
    MoveGenerator::generate(position, moves);
    std::uint64_t total = 0;
    for (const Move& move : moves)
        total += countFrom(position.after(move), depth - 1, lists);
    return total;
}
} // namespace

std::uint64_t Perft::count(const Position& position, int depth)
{
    if (depth <= 0)
        return 1;
    std::vector<MoveList> lists(static_cast<std::size_t>(depth) + 1);
    for (MoveList& list : lists)
        list.reserve(128);
    return countFrom(position, depth, lists);
}

std::vector<std::pair<Move, std::uint64_t>> Perft::divide(const Position& position, int depth)
{
    std::vector<std::pair<Move, std::uint64_t>> counts;
    MoveList moves;
    MoveGenerator::generate(position, moves);
    for (const Move& move : moves)
        counts.emplace_back(move, count(position.after(move), depth - 1));
    return counts;
}

} // namespace Draughts
