#include <gtest/gtest.h>

#include "core/Board.h"
#include "core/Object.h"
#include "core/Square.h"
#include "rendering/Render.h"

using Core::Object;
using Core::Square;

TEST(Drawable, PickingNamesFollowConstructionOrderAndRegistration)
{
    Rendering::Render& render = Rendering::Render::instance();
    Square a(Square::Coords(Vec2<unsigned int>(0, 0), Vec2<unsigned int>(0, 1), Vec2<unsigned int>(1, 1),
                            Vec2<unsigned int>(1, 0)),
             {});
    Object b;
    Core::Board c(Vec2<unsigned int>(2, 2), {});
    EXPECT_EQ(b.getPickingName(), a.getPickingName() + 1);
    EXPECT_EQ(c.getPickingName(), a.getPickingName() + 2);
    EXPECT_EQ(render.findDrawable(b.getPickingName()), &b);

    // A copy takes a fresh name, the colour, and no metadata.
    b.setColor(Vec4<double>(0.2, 0.4, 0.6, 0.8));
    Meta<std::string> player("player", "1");
    b.getMetadata().push_back(&player);
    unsigned int name = 0;
    {
        Object copy(b);
        name = copy.getPickingName();
        EXPECT_EQ(render.findDrawable(name), &copy);
        EXPECT_EQ(copy.getColor(), b.getColor());
        EXPECT_EQ(copy.getMeta("player"), "");
    }
    EXPECT_EQ(render.findDrawable(name), nullptr) << "a destroyed drawable leaves the registry";
}

TEST(Drawable, GetMetaReturnsTheFirstMatchingEntry)
{
    Object piece;
    EXPECT_EQ(piece.getMeta("index"), "");
    Meta<std::string> other("Index", "7"), first("index", "35"), second("index", "36");
    for (Meta<std::string>* entry : {&other, &first, &second})
        piece.getMetadata().push_back(entry);
    EXPECT_EQ(piece.getMeta("index"), "35");
    EXPECT_EQ(piece.getMeta("Index"), "7");
}
