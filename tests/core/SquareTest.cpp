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

TEST(Square, PushAndPopKeepTheParentSquareInStep)
{
    Object* given = new Object;
    Square square(c_Unit, {given});
    EXPECT_EQ(given->getParentSquare(), nullptr) << "constructor pieces are listed without parent";

    Object* piece = new Object;
    square.pushObject(piece);
    square.pushObject(piece);
    EXPECT_EQ(piece->getParentSquare(), &square);
    // One pop removes the first occurrence only and clears the parent.
    EXPECT_TRUE(square.popObject(piece));
    EXPECT_EQ(square.getObjects(), (std::vector<Object*>{given, piece}));
    EXPECT_EQ(piece->getParentSquare(), nullptr);
    Object stranger;
    EXPECT_FALSE(square.popObject(&stranger));
    EXPECT_EQ(square.getObjects().size(), 2u);
}

TEST(Square, EveryPieceIsDeletedExactlyOnce)
{
    // AddressSanitizer reports a piece deleted twice or not at all.
    auto* source = new Square(c_Unit, {});
    Object* twice = new Object;
    source->pushObject(twice);
    source->pushObject(twice);

    // A copy shares the pieces it was made with but deletes only those pushed onto it.
    auto* copy = new Square(*source);
    EXPECT_EQ(copy->getObjects(), source->getObjects());
    copy->pushObject(new Object);
    delete copy;
    EXPECT_EQ(twice->getParentSquare(), source);
    delete source;
}
