#include <gtest/gtest.h>

#include "core/Board.h"
#include "core/CallBackPicking.h"
#include "core/Object.h"
#include "rendering/Camera.h"
#include "rendering/Render.h"

using Rendering::Render;

namespace
{
class CountingCallBack final : public Core::CallBackPicking
{
public:
    explicit CountingCallBack(Core::Board* board) : CallBackPicking(board) {}
    void update() override { ++updates; }
    int updates = 0;
};
} // namespace

TEST(Render, DefaultsBeforeAnyWindow)
{
    Render& render = Render::instance();
    EXPECT_EQ(&render, &Render::instance());
    EXPECT_EQ(render.getSize(), Vec2<unsigned int>(1024, 728));
    ASSERT_NE(render.getCamera(), nullptr);
    EXPECT_TRUE(render.getCamera()->isFree());
    EXPECT_EQ(render.getCameraSpeed(), 1.0f);
    EXPECT_EQ(render.getNbDisplayList(), 0u);
    render.setNbDisplayList(3);
    EXPECT_EQ(render.getNbDisplayList(), 3u);
    render.setNbDisplayList(0);
}

TEST(Render, SetParamsAndSize)
{
    Render& render = Render::instance();
    Core::Board board(Vec2<unsigned int>(12, 12), {});
    render.setParams("Title", Vec3<double>(0.5, 0.5, 0.5), &board);
    EXPECT_EQ(render.getTitle(), "Title");
    EXPECT_EQ(render.getBoard(), &board);
    EXPECT_EQ(render.getScale(), Vec3<double>(0.5, 0.5, 0.5));
    render.setSize(800, 600);
    EXPECT_EQ(render.getSize(), Vec2<unsigned int>(800, 600));
    render.setSize(1024, 728);
    render.setParams("", Vec3<double>(1, 1, 1), nullptr);
}

TEST(Render, DestroyedBoardIsNoLongerDrawn)
{
    Render& render = Render::instance();
    {
        Core::Board board(Vec2<unsigned int>(2, 2), {});
        render.setParams("", Vec3<double>(1, 1, 1), &board);
    }
    EXPECT_EQ(render.getBoard(), nullptr);
}

TEST(Render, CallbackRegistration)
{
    Render& render = Render::instance();
    Core::Board board(Vec2<unsigned int>(2, 2), {});
    CountingCallBack first(&board), second(&board);
    const size_t before = render.getCallBacksPicking().size();
    render.addCallBackPicking(nullptr);
    EXPECT_EQ(render.getCallBacksPicking().size(), before);
    render.addCallBackPicking(&first);
    render.addCallBackPicking(&second);
    EXPECT_EQ(render.getCallBacksPicking().size(), before + 2);
    EXPECT_EQ(render.getCallBacksPicking()[before], &first);
    render.removeCallBackPicking(&first);
    render.removeCallBackPicking(&second);
    EXPECT_EQ(render.getCallBacksPicking().size(), before);
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
    EXPECT_EQ(rot, 0.0f);

    // Upward from 0 by whole steps.
    board.setOrientation(180.0f);
    render.turnBoard();
    EXPECT_EQ(rot, 3.5f);

    rot = 0.0f;
    render.setCameraSpeed(1.0f);
    render.setParams("", Vec3<double>(1, 1, 1), nullptr);
}
