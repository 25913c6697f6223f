// Memory of the demo's real frame over a long run: the checkers scene with its message
// overlay, the pointer resting over the board so that every pick pass hits, drawn frame
// after frame. Prints the resident size and the heap in use every 2,000 frames and the
// growth after the first 1,000 frames (the warm-up: driver caches, first display lists).
// Usage: frame_memory [frames]      (default 20000; needs an X display: run under xvfb-run)
#include <GL/freeglut.h>
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "CheckersScene.h"
#include "rendering/Input.h"
#include "rendering/Render.h"

namespace
{
constexpr int c_WarmUpFrames = 1000;
constexpr int c_ReportEvery = 2000;
constexpr double c_TargetMiB = 5.0;
constexpr double c_MiB = 1024.0 * 1024.0;

// VmRSS of this process, in bytes.
double residentBytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, 6, "VmRSS:") == 0)
            return std::atof(line.c_str() + 6) * 1024.0;
    return 0.0;
}

// Bytes handed out by malloc and not yet freed, mapped blocks included.
double heapBytes()
{
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd);
}
} // namespace

int main(int argc, char** argv)
{
    const int frames = argc > 1 ? std::max(c_WarmUpFrames + 1, std::atoi(argv[1])) : 20000;

    // As in the demo: the scene first, then the window.
    CheckersScene scene;
    scene.getMessage().setText("Mouvement non autorise.\nLes mouvements possibles sont en bleu.");
    Rendering::Render& render = Rendering::Render::instance();
    if (!render.openWindow())
        return 1;
    render.initGL();

    // The middle of the window lies on the board in the start-up view.
    Rendering::passiveMotionEvent(512, 400);
    render.loop();
    if (!scene.getBoard().getHighlightedSquare()) {
        std::fprintf(stderr, "frame_memory: the pointer is not over a square; the pick pass would not hit\n");
        return 1;
    }

    std::printf("frame_memory: checkers scene (100 squares, %d pieces, message overlay), pick pass hitting "
                "square %s, %d frames\n",
                CheckersScene::c_PieceCount, scene.getBoard().getHighlightedSquare()->getMeta("index").c_str(), frames);
    std::printf("  %8s %14s %14s\n", "frame", "VmRSS MiB", "heap MiB");
    double rssStart = 0.0, heapStart = 0.0;
    const auto start = std::chrono::steady_clock::now();
    for (int frame = 1; frame <= frames; ++frame) {
        render.loop();
        if (frame == c_WarmUpFrames) {
            rssStart = residentBytes();
            heapStart = heapBytes();
        }
        if (frame % c_ReportEvery == 0 || frame == c_WarmUpFrames || frame == frames)
            std::printf("  %8d %14.2f %14.2f\n", frame, residentBytes() / c_MiB, heapBytes() / c_MiB);
    }
    glFinish();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    const double rssGrowth = (residentBytes() - rssStart) / c_MiB;
    const double heapGrowth = (heapBytes() - heapStart) / c_MiB;
    const int measured = frames - c_WarmUpFrames;
    std::printf("  growth over the %d frames after frame %d: VmRSS %+.2f MiB, heap %+.2f MiB (%.2f KiB a frame)\n",
                measured, c_WarmUpFrames, rssGrowth, heapGrowth, heapGrowth * 1024.0 / measured);
    std::printf("  %.0f frames a second\n", frames / seconds);
    const bool met = rssGrowth < c_TargetMiB && heapGrowth < c_TargetMiB;
    std::printf("  target: growth under %.0f MiB: %s\n", c_TargetMiB, met ? "met" : "NOT met");
    return 0;
}
