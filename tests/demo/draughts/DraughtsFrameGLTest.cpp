// The real board in the shared window while the computer searches on its worker thread:
// the frames go on, each quick, until its move has arrived and glided to its square.
#include "support/GLTest.h"

#include <algorithm>
#include <chrono>

#include "BoardView.h"
#include "ComputerPoller.h"
#include "Controller.h"
#include "rendering/Render.h"

using namespace Draughts;

namespace
{
class DraughtsFrameGLTest : public TestSupport::GLTest
{
};
} // namespace

// Frames while the computer searches are measured against frames of the same board
// without a search, drawn just before: on a fast machine no frame takes 50 ms; on a slow
// or busy one, none takes more than twice the slowest without a search. A frame waiting
// for the search would take its whole time.
TEST_F(DraughtsFrameGLTest, FramesStayQuickWhileTheComputerThinks)
{
    BoardView view(BoardView::findDataRoots(""));
    startUp();
    ASSERT_TRUE(Rendering::Render::instance().hasShaderAvailable());
    Options options;
    ASSERT_EQ(options.parse({"--time", "2", "--level", "10"}), Options::Outcome::Run);
    Controller controller(view, options);
    controller.setLegDuration(400.0);
    ComputerPoller poller(controller);
    Rendering::Render& render = Rendering::Render::instance();
    int frames = 0;
    // One frame with the pointer somewhere else over the board, so that it picks too.
    auto frameMs = [&] {
        Rendering::mouseX = 200 + (frames * 37) % 600;
        Rendering::mouseY = 250 + (frames * 53) % 400;
        ++frames;
        const auto started = std::chrono::steady_clock::now();
        render.loop();
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
    };
    // Pictures and models are made ready for OpenGL at their first frame.
    for (int i = 0; i < 3; ++i)
        frameMs();
    double withoutSearch = 0.0;
    for (int i = 0; i < 20; ++i)
        withoutSearch = std::max(withoutSearch, frameMs());

    controller.click(32);
    controller.click(28);
    ASSERT_TRUE(controller.computer().isBusy());
    frames = 0;
    double searching = 0.0;
    while (controller.game().moves().size() < 2 && frames < 100000)
        searching = std::max(searching, frameMs());
    ASSERT_EQ(controller.game().moves().size(), 2u) << "no answer after " << frames << " frames";
    // The answer glides to its square in the frames that follow.
    while (controller.isMoving() && frames < 100000)
        searching = std::max(searching, frameMs());
    EXPECT_FALSE(view.showsWhite(controller.game().moves().back().to()));
    EXPECT_NE(view.pieceOn(controller.game().moves().back().to()), nullptr);
    EXPECT_GE(frames, 5);
    EXPECT_LT(searching, std::max(50.0, 2.0 * withoutSearch))
        << frames << " frames; the slowest without a search took " << withoutSearch << " ms";
}
