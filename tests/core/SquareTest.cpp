#include <gtest/gtest.h>

#include "core/Object.h"
#include "core/Square.h"

using Core::Object;
using Core::Square;

namespace
{
using P = Vec2<unsigned int>;
const Square::Coords c_Unit(P(0, 0), P(0, 1), P(1, 1), P(1, 0));
} // namespace

TEST(Square, ExtentsDoNotDependOnCornerOrder)
{
    const P a(1, 1), b(1, 2), c(2, 2), d(2, 1);
    for (const Square::Coords& coords : {Square::Coords(a, b, c, d), Square::Coords(c, a, d, b)}) {
        Square square(coords, {});
        EXPECT_EQ(square.getSize(), P(1, 1));
        EXPECT_EQ(square.getLower(), P(1, 1));
        EXPECT_EQ(square.getUpper(), P(2, 2));
    }
    // Taken per axis: lower and upper need not be corners of a skewed quad.
    Square skewed(Square::Coords(P(0, 5), P(2, 9), P(7, 6), P(4, 1)), {});
    EXPECT_EQ(skewed.getSize(), P(7, 8));
    EXPECT_EQ(skewed.getLower(), P(0, 1));
    skewed.setCoords(Square::Coords(P(3, 3), P(3, 3), P(3, 3), P(3, 3)));
    EXPECT_EQ(skewed.getSize(), P(0, 0));
    EXPECT_EQ(skewed.getUpper(), P(3, 3));
}

// Under AddressSanitizer a piece listed on two squares is freed twice when both go.
TEST(Square, APieceStandsOnOneSquareAtATime)
{
    auto* first = new Square(c_Unit, {});
    auto* second = new Square(c_Unit, {});
    Object* piece = new Object;
    first->pushObject(piece);
    second->pushObject(piece);
    second->pushObject(piece);
    EXPECT_TRUE(first->getObjects().empty());
    EXPECT_EQ(second->getObjects(), std::vector<Object*>{piece});
    EXPECT_EQ(piece->getParentSquare(), second);

    // Initial pieces are pushed too; a copy starts without pieces.
    auto* third = new Square(c_Unit, {piece, nullptr});
    EXPECT_TRUE(second->getObjects().empty());
    EXPECT_EQ(piece->getParentSquare(), third);
    const Square copy(*third);
    EXPECT_TRUE(copy.getObjects().empty());

    EXPECT_TRUE(third->popObject(piece));
    EXPECT_EQ(piece->getParentSquare(), nullptr);
    EXPECT_FALSE(third->popObject(piece));
    first->pushObject(piece);
    delete third;
    delete second;
    delete first;
}

TEST(Square, ADestroyedPieceLeavesItsSquare)
{
    Square square(c_Unit, {});
    Object* piece = new Object;
    Object* other = new Object;
    square.pushObject(piece);
    square.pushObject(other);
    delete piece;
    EXPECT_EQ(square.getObjects(), std::vector<Object*>{other});
}
