#include <gtest/gtest.h>

#include "core/Object.h"
#include "core/Square.h"

using Core::Object;
using Core::Square;

namespace
{
using P = Vec2<unsigned int>;
} // namespace

TEST(Square, ExtentsDoNotDependOnCornerOrder)
{
    const P a(1, 1), b(1, 2), c(2, 2), d(2, 1);
    for (const Square::Coords& coords :
         {Square::Coords(a, b, c, d), Square::Coords(c, a, d, b), Square::Coords(d, c, b, a)}) {
        Square square(coords, {});
        EXPECT_EQ(square.getSize(), P(1, 1));
        EXPECT_EQ(square.getLower(), P(1, 1));
        EXPECT_EQ(square.getUpper(), P(2, 2));
    }

    Square point(Square::Coords(P(3, 3), P(3, 3), P(3, 3), P(3, 3)), {});
    EXPECT_EQ(point.getSize(), P(0, 0));
    EXPECT_EQ(point.getLower(), P(3, 3));
    EXPECT_EQ(point.getUpper(), P(3, 3));

    // Lower and upper are taken per axis: not necessarily corners of a skewed quad.
    point.setCoords(Square::Coords(P(0, 5), P(2, 9), P(7, 6), P(4, 1)));
    EXPECT_EQ(point.getSize(), P(7, 8));
    EXPECT_EQ(point.getLower(), P(0, 1));
    EXPECT_EQ(point.getUpper(), P(7, 9));
}

TEST(Square, PushAndPopKeepParentSquareInStep)
{
    Square square(Square::Coords(P(0, 0), P(0, 1), P(1, 1), P(1, 0)), {});
    Object* piece = new Object;
    Object stranger;

    square.pushObject(piece);
    square.pushObject(piece);
    EXPECT_EQ(square.getObjects().size(), 2u);
    EXPECT_EQ(piece->getParentSquare(), &square);

    // One pop removes the first occurrence only, and clears the parent although the
    // piece is still listed once.
    EXPECT_TRUE(square.popObject(piece));
    EXPECT_EQ(square.getObjects().size(), 1u);
    EXPECT_EQ(piece->getParentSquare(), nullptr);

    EXPECT_FALSE(square.popObject(&stranger));
    EXPECT_EQ(square.getObjects().size(), 1u);
    // The square deletes the piece it still holds (ASan checks it is deleted once).
}

TEST(Square, InitialPiecesAreListedWithoutParent)
{
    Object* piece = new Object;
    Square square(Square::Coords(P(0, 0), P(0, 1), P(1, 1), P(1, 0)), {piece});
    ASSERT_EQ(square.getObjects().size(), 1u);
    EXPECT_EQ(piece->getParentSquare(), nullptr);
}

TEST(Square, PieceListedTwiceIsDeletedOnce)
{
    auto* square = new Square(Square::Coords(P(0, 0), P(0, 1), P(1, 1), P(1, 0)), {});
    Object* piece = new Object;
    square->pushObject(piece);
    square->pushObject(piece);
    delete square; // AddressSanitizer reports a second delete
}

TEST(Square, CopyNeverDeletesThePiecesItWasMadeWith)
{
    auto* source = new Square(Square::Coords(P(0, 0), P(0, 1), P(1, 1), P(1, 0)), {});
    Object* shared = new Object;
    source->pushObject(shared);
    source->highlightSelected(true);

    auto* copy = new Square(*source);
    EXPECT_NE(copy->getPickingName(), source->getPickingName());
    EXPECT_EQ(copy->getObjects(), source->getObjects());
    EXPECT_TRUE(copy->isHighlightedSelected());
    EXPECT_EQ(copy->getSize(), source->getSize());

    Object* own = new Object;
    copy->pushObject(own);
    delete copy; // deletes `own` only
    EXPECT_EQ(shared->getParentSquare(), source);
    delete source; // deletes `shared`
}

TEST(Square, HighlightFlagsAreIndependent)
{
    Square square(Square::Coords(P(0, 0), P(0, 1), P(1, 1), P(1, 0)), {});
    square.highlightMouseOver(true);
    square.highlightAuthorized(true);
    EXPECT_TRUE(square.isHighlightedMouseOver());
    EXPECT_FALSE(square.isHighlightedSelected());
    EXPECT_TRUE(square.isHighlightedAuthorized());
    square.highlightMouseOver(false);
    EXPECT_TRUE(square.isHighlightedAuthorized());
}

TEST(Square, DrawObjectsBoundsReachesEveryPiece)
{
    Square square(Square::Coords(P(0, 0), P(0, 1), P(1, 1), P(1, 0)), {});
    Object* a = new Object;
    Object* b = new Object;
    square.pushObject(a);
    square.pushObject(b);
    square.setDrawObjectsBounds(true);
    EXPECT_TRUE(a->getDrawBound());
    EXPECT_TRUE(b->getDrawBound());
}
