#include <gtest/gtest.h>

#include "core/Board.h"
#include "rendering/Camera.h"
#include "rendering/Render.h"

using Rendering::Render;

TEST(Render, DefaultsBeforeAnyWindow)
{
    Render& render = Render::instance();
    EXPECT_EQ(render.getSize(), Vec2<unsigned int>(1024, 728));
    EXPECT_TRUE(render.getCamera()->isFree());
    EXPECT_EQ(render.getCameraSpeed(), 1.0f);
    render.addCallBackPicking(nullptr);
    EXPECT_TRUE(render.getCallBacksPicking().empty());
}

TEST(Render, ADestroyedBoardIsNoLongerDrawn)
{
    Render& render = Render::instance();
    {
        Core::Board board(Vec2<unsigned int>(2, 2), {});
        render.setParams("", Vec3<double>(1, 1, 1), &board);
        EXPECT_EQ(render.getBoard(), &board);
    }
    EXPECT_EQ(render.getBoard(), nullptr);
}

TEST(Render, BoardTurnMovesByTheSpeedAndSnaps)
{
    Render& render = Render::instance();
    Core::Board board(Vec2<unsigned int>(12, 12), {});
    render.setParams("", Vec3<double>(1, 1, 1), &board);
    render.setCameraSpeed(3.5f);

    board.setOrientation(180.0f);
    rot = 178.5f;
    render.turnBoard();
    EXPECT_EQ(rot, 180.0f);
    render.turnBoard();
    EXPECT_EQ(rot, 180.0f);

    // From 180 back to 0: 51 steps of 3.5 degrees, then the snap.
    board.setOrientation(0.0f);
    int steps = 0;
    while (rot != 0.0f && steps < 100) {
        render.turnBoard();
        ++steps;
    }
    EXPECT_EQ(steps, 52);

    board.setOrientation(180.0f);
    render.turnBoard();
    EXPECT_EQ(rot, 3.5f);
    rot = 0.0f;
    render.setParams("", Vec3<double>(1, 1, 1), nullptr);
}
