#include "MoveHistory.h"

#include <gtest/gtest.h>

using namespace Draughts;

TEST(MoveHistoryTest, EntriesStayBoundedAndInOrderHoweverLongASearchRuns)
{
    // Hours of analysis at the deepest iterations: the sums of the squared depths would pass
    // the largest int many times over.
    MoveHistory history;
    for (int i = 0; i < 2'000'000; ++i) {
        history.reward(10, 15, 64);
        if (i % 2 == 0)
            history.reward(20, 25, 64);
    }
    EXPECT_LE(history.score(10, 15), MoveHistory::c_Limit);
    EXPECT_GT(history.score(10, 15), MoveHistory::c_Limit / 2);
    EXPECT_GT(history.score(10, 15), history.score(20, 25));
    EXPECT_GT(history.score(20, 25), 0);

    // Below the limit an entry is the plain sum; ageing keeps a quarter, clearing none.
    MoveHistory fresh;
    fresh.reward(5, 10, 4);
    fresh.reward(5, 10, 6);
    EXPECT_EQ(fresh.score(5, 10), 52);
    fresh.age();
    EXPECT_EQ(fresh.score(5, 10), 13);
    fresh.clear();
    EXPECT_EQ(fresh.score(5, 10), 0);
}
