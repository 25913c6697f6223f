#pragma once

namespace Draughts
{

// How well each quiet move, by its from and to bits, has refuted positions in the search,
// weighted by the depth left where it did: the move order's guide among the moves nothing
// else ranks. However long a search runs (an analysis may run for hours), no entry passes
// c_Limit: when one would, all are halved, which keeps their order and leaves room for the
// order's bonuses above it.
class MoveHistory
{
public:
    static constexpr int c_Limit = 1 << 22;

    int score(int from, int to) const { return m_Scores[from][to]; }
    // A refutation with `depth` plies left: worth depth squared.
    void reward(int from, int to, int depth);
    // A quarter of each entry kept, for the next search.
    void age();
    void clear();

private:
    int m_Scores[64][64] = {};
};

} // namespace Draughts
