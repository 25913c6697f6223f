#include "MoveHistory.h"

#include <algorithm>
#include <iterator>

namespace Draughts
{

void MoveHistory::reward(int from, int to, int depth)
{
    const int bonus = std::min(depth * depth, c_Limit / 2);
    if (m_Scores[from][to] > c_Limit - bonus)
        for (auto& row : m_Scores)
            for (int& score : row)
                score /= 2;
    m_Scores[from][to] += bonus;
}

void MoveHistory::age()
{
    for (auto& row : m_Scores)
        for (int& score : row)
            score /= 4;
}

void MoveHistory::clear()
{
    for (auto& row : m_Scores)
        std::fill(std::begin(row), std::end(row), 0);
}

} // namespace Draughts
