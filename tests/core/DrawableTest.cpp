#include <gtest/gtest.h>

#include "core/Board.h"
#include "core/Object.h"
#include "core/Square.h"
#include "rendering/Render.h"

using Core::Object;
using Core::Square;

namespace
{
const Square::Coords c_Unit(Vec2<unsigned int>(0, 0), Vec2<unsigned int>(0, 1), Vec2<unsigned int>(1, 1),
                            Vec2<unsigned int>(1, 0));
} // namespace

TEST(Drawable, PickingNamesFollowConstructionOrderAndRegistration)
{
    Rendering::Render& render = Rendering::Render::instance();
    Square a(c_Unit, {});
    Object b;
    Core::Board c(Vec2<unsigned int>(2, 2), {});
    EXPECT_EQ(b.getPickingName(), a.getPickingName() + 1);
    EXPECT_EQ(c.getPickingName(), a.getPickingName() + 2);
    EXPECT_EQ(render.findDrawable(b.getPickingName()), &b);

    unsigned int name = 0;
    {
        Object gone;
        name = gone.getPickingName();
    }
    EXPECT_EQ(render.findDrawable(name), nullptr) << "a destroyed drawable leaves the registry";
}

TEST(Drawable, CopyTakesColourButNotNameOrMetadata)
{
    Object piece;
    piece.setColor(Vec4<double>(0.2, 0.4, 0.6, 0.8));
    Meta<std::string> player("player", "1");
    piece.getMetadata().push_back(&player);
    Object copy(piece);
    EXPECT_NE(copy.getPickingName(), piece.getPickingName());
    EXPECT_EQ(Rendering::Render::instance().findDrawable(copy.getPickingName()), &copy);
    EXPECT_EQ(copy.getColor(), piece.getColor());
    EXPECT_EQ(copy.getMeta("player"), "");
}

TEST(Drawable, GetMetaReturnsTheFirstMatchingEntry)
{
    Square square(c_Unit, {});
    EXPECT_EQ(square.getMeta("index"), "");
    Meta<std::string> other("Index", "7"), first("index", "35"), second("index", "36");
    for (Meta<std::string>* entry : {&other, &first, &second})
        square.getMetadata().push_back(entry);
    EXPECT_EQ(square.getMeta("index"), "35");
    EXPECT_EQ(square.getMeta("Index"), "7");
    EXPECT_STREQ(first.className(), "Meta-T");
}
