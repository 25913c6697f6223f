#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "core/Board.h"
#include "core/Object.h"
#include "core/Square.h"

using Core::Board;
using Core::Object;
using Core::Square;

namespace
{
class BoardTest : public ::testing::Test
{
protected:
    BoardTest() : board(Vec2<unsigned int>(4, 4), {})
    {
        for (unsigned int i = 0; i < 3; ++i) {
            squares.push_back(
                std::make_unique<Square>(Square::Coords(Vec2<unsigned int>(i, 0), Vec2<unsigned int>(i, 1),
                                                        Vec2<unsigned int>(i + 1, 1), Vec2<unsigned int>(i + 1, 0)),
                                         std::vector<Object*>()));
            board.getSquares().push_back(squares.back().get());
        }
        board.enableAutoHighlight(true);
    }

    Square& square(int i) { return *squares[i]; }

    std::vector<std::unique_ptr<Square>> squares;
    Board board;
};
} // namespace

TEST_F(BoardTest, HighlightsMoveAndClear)
{
    board.autoHighlight(&square(0));
    board.autoHighlight(&square(1));
    EXPECT_FALSE(square(0).isHighlightedMouseOver());
    EXPECT_TRUE(square(1).isHighlightedMouseOver());
    EXPECT_EQ(board.getHighlightedSquare(), &square(1));

    // clearHighlight leaves the mouse-over alone.
    square(1).highlightSelected(true);
    square(2).highlightAuthorized(true);
    board.clearHighlight();
    EXPECT_FALSE(square(1).isHighlightedSelected() || square(2).isHighlightedAuthorized());
    EXPECT_TRUE(square(1).isHighlightedMouseOver());

    board.autoHighlight(nullptr);
    EXPECT_FALSE(square(1).isHighlightedMouseOver());
    EXPECT_EQ(board.getHighlightedSquare(), nullptr);
    // Switched off, the highlight stays until the next call, which clears it.
    board.autoHighlight(&square(2));
    board.enableAutoHighlight(false);
    EXPECT_EQ(board.getHighlightedSquare(), &square(2));
    board.autoHighlight(&square(1));
    EXPECT_EQ(board.getHighlightedSquare(), nullptr);
    EXPECT_FALSE(square(1).isHighlightedMouseOver() || square(2).isHighlightedMouseOver());
}

TEST_F(BoardTest, MoveObjectBetweenSquares)
{
    Object* piece = new Object;
    Object* other = new Object;
    square(0).pushObject(other);
    square(0).pushObject(piece);
    EXPECT_FALSE(Board::moveObject(piece, &square(1), &square(2)));
    EXPECT_TRUE(square(2).getObjects().empty());
    EXPECT_TRUE(Board::moveObject(piece, &square(0), &square(1)));
    EXPECT_EQ(square(1).getObjects(), std::vector<Object*>{piece});
    EXPECT_EQ(piece->getParentSquare(), &square(1));
    // Onto the same square: to the end of its list.
    EXPECT_TRUE(Board::moveObject(piece, &square(1), &square(0)));
    EXPECT_TRUE(Board::moveObject(other, &square(0), &square(0)));
    EXPECT_EQ(square(0).getObjects(), (std::vector<Object*>{piece, other}));
}
