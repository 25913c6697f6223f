#include <gtest/gtest.h>

#include <memory>

#include "core/Board.h"
#include "core/Object.h"
#include "core/Square.h"
#include "rendering/Render.h"

using Core::Board;
using Core::Object;
using Core::Square;

namespace
{
Square::Coords unitCoords(unsigned int x, unsigned int y)
{
    return Square::Coords(Vec2<unsigned int>(x, y), Vec2<unsigned int>(x, y + 1), Vec2<unsigned int>(x + 1, y + 1),
                          Vec2<unsigned int>(x + 1, y));
}
} // namespace

TEST(Drawable, PickingNamesFollowConstructionOrderWhateverTheClass)
{
    Square a(unitCoords(0, 0), {});
    Object b;
    Board c(Vec2<unsigned int>(2, 2), {});
    Object d;
    Square e(unitCoords(1, 1), {});
    const unsigned int first = a.getPickingName();
    EXPECT_EQ(b.getPickingName(), first + 1);
    EXPECT_EQ(c.getPickingName(), first + 2);
    EXPECT_EQ(d.getPickingName(), first + 3);
    EXPECT_EQ(e.getPickingName(), first + 4);
}

TEST(Drawable, RegisteredWhileAliveOnly)
{
    Rendering::Render& render = Rendering::Render::instance();
    unsigned int name = 0;
    {
        Object piece;
        name = piece.getPickingName();
        EXPECT_EQ(render.findDrawable(name), &piece);
        Object copy(piece);
        EXPECT_EQ(render.findDrawable(copy.getPickingName()), &copy);
    }
    EXPECT_EQ(render.findDrawable(name), nullptr);
}

TEST(Drawable, CopyTakesColourButNotNameOrMetadata)
{
    Object piece;
    piece.setColor(Vec4<double>(0.2, 0.4, 0.6, 0.8));
    Meta<std::string> player("player", "1");
    piece.getMetadata().push_back(&player);

    Object copy(piece);
    EXPECT_NE(copy.getPickingName(), piece.getPickingName());
    EXPECT_EQ(copy.getColor(), Vec4<double>(0.2, 0.4, 0.6, 0.8));
    EXPECT_TRUE(copy.getMetadata().empty());
    EXPECT_EQ(copy.getMeta("player"), "");
}

TEST(Drawable, GetMetaReturnsTheFirstMatchingEntry)
{
    Square square(unitCoords(0, 0), {});
    EXPECT_EQ(square.getMeta("index"), "");

    Meta<std::string> first("index", "35"), second("index", "36"), other("Index", "7");
    square.getMetadata().push_back(&other);
    square.getMetadata().push_back(&first);
    square.getMetadata().push_back(&second);
    EXPECT_EQ(square.getMeta("index"), "35");
    EXPECT_EQ(square.getMeta("Index"), "7");
    EXPECT_EQ(square.getMeta("player"), "");
    EXPECT_STREQ(first.className(), "Meta-T");
    EXPECT_EQ(first.asMeta(), static_cast<MetaBase*>(&first));
}

TEST(Drawable, ClassNames)
{
    Board board(Vec2<unsigned int>(2, 2), {});
    Square square(unitCoords(0, 0), {});
    Object piece;
    EXPECT_EQ(board.getClassName(), "BOARD");
    EXPECT_EQ(Board::getStaticClassName(), "BOARD");
    EXPECT_EQ(square.getClassName(), "SQUARE");
    EXPECT_EQ(Square::getStaticClassName(), "SQUARE");
    EXPECT_EQ(piece.getClassName(), "OBJECT");
}
