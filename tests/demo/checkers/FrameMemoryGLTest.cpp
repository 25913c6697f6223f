#include <malloc.h>

#include <algorithm>
#include <cstddef>
#include <limits>

#include "CheckersScene.h"
#include "rendering/Render.h"
#include "support/GLTest.h"

#if defined(__SANITIZE_ADDRESS__)
// From the sanitizer runtime's public interface (its header does not come with GCC here).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace
{
// Bytes held by the process's allocations. Under AddressSanitizer malloc is the
// sanitizer's, which glibc's statistics do not see.
double heapInUse()
{
#if defined(__SANITIZE_ADDRESS__)
    return static_cast<double>(__sanitizer_get_current_allocated_bytes());
#else
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd);
#endif
}

// The least heap in use over `frames` frames: the driver's stream buffers come and go,
// what stays is the least.
double leastHeapOver(int frames)
{
    double least = std::numeric_limits<double>::max();
    for (int i = 0; i < frames; ++i) {
        Rendering::Render::instance().loop();
        least = std::min(least, heapInUse());
    }
    return least;
}

using FrameMemoryGLTest = TestSupport::GLTest;
} // namespace

// Geometry drawn in immediate mode during the pick pass made the driver keep about 48 KiB
// a frame, some 14 MiB over the frames measured here.
TEST_F(FrameMemoryGLTest, FramesWithAHittingPickPassKeepNoMemory)
{
    // The frame issues the same geometry at any size; a small one fills fewer pixels.
    glViewport(0, 0, 256, 182);
    Rendering::Render::instance().setSize(256, 182);
    CheckersScene scene;
    scene.getMessage().setText("Mouvement non autorise.\nLes mouvements possibles sont en bleu.");
    pointAt(5.5, 5.5);
    ASSERT_EQ(scene.getBoard().getHighlightedSquare(), &scene.getSquare(44));
    // The heap settles within the first 50 frames (display lists, shader variants, glyphs).
    leastHeapOver(100);
    const double before = leastHeapOver(50);
    leastHeapOver(250);
    const double after = leastHeapOver(50);
    EXPECT_LT((after - before) / (1024.0 * 1024.0), 2.0) << "MiB gained over 300 frames";
}
