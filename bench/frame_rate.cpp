// Frames per second of the engine's frame on this machine: a board of 100 squares with
// 30 pieces drawn as spheres, with and without the pick pass, against an empty frame
// measured in the same run (the machines are shared: read the ratios, not the rates).
// Usage: frame_rate [frames per round]      (needs an X display; run under xvfb-run)
#include <GL/freeglut.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "core/Board.h"
#include "core/Object.h"
#include "core/Square.h"
#include "rendering/Input.h"
#include "rendering/Light.h"
#include "rendering/Render.h"

namespace
{
using Clock = std::chrono::steady_clock;

// The frame without its pick pass: the same steps as Render::loop otherwise.
void frameWithoutPicking(Rendering::Render& render)
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glScaled(render.getScale().x(), render.getScale().y(), render.getScale().z());
    glRotated(rot, 0.0, 1.0, 0.0);
    for (Rendering::Light* light : render.getLights())
        light->apply();
    render.getBoard()->draw();
    glPopMatrix();
    glutSwapBuffers();
}

template <typename Frame>
double framesPerSecond(int frames, Frame frame)
{
    glFinish();
    const auto start = Clock::now();
    for (int i = 0; i < frames; ++i)
        frame();
    glFinish();
    return frames / std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
} // namespace

int main(int argc, char** argv)
{
    const int frames = argc > 1 ? std::max(10, std::atoi(argv[1])) : 300;
    const int rounds = 5;

    Rendering::Render& render = Rendering::Render::instance();
    if (!render.openWindow())
        return 1;
    render.initGL();

    Core::Board board(Vec2<unsigned int>(12, 12), {});
    board.enableAutoHighlight(true);
    std::vector<std::unique_ptr<Core::Square>> squares;
    int pieces = 0;
    for (unsigned int j = 0; j < 10; ++j)
        for (unsigned int k = 0; k < 10; ++k) {
            squares.push_back(std::make_unique<Core::Square>(
                Core::Square::Coords(Vec2<unsigned int>(k + 1, j + 1), Vec2<unsigned int>(k + 1, j + 2),
                                     Vec2<unsigned int>(k + 2, j + 2), Vec2<unsigned int>(k + 2, j + 1)),
                std::vector<Core::Object*>()));
            squares.back()->setColor((j + k) % 2 ? Vec4<double>(0.65, 0.55, 0.3, 1) : Vec4<double>(0.2, 0.1, 0, 1));
            if ((j <= 2 || j >= 7) && (j + k) % 2 == 0 && pieces++ < 30)
                squares.back()->pushObject(new Core::Object);
            board.getSquares().push_back(squares.back().get());
        }
    // The pointer rests over the middle of the window, on the board.
    Rendering::passiveMotionEvent(512, 400);

    std::vector<double> empty, picking, noPicking;
    for (int r = 0; r < rounds; ++r) {
        render.setParams("frame_rate", Vec3<double>(0.85, 0.85, 0.85), nullptr);
        empty.push_back(framesPerSecond(frames, [&] { render.loop(); }));
        render.setParams("frame_rate", Vec3<double>(0.85, 0.85, 0.85), &board);
        picking.push_back(framesPerSecond(frames, [&] { render.loop(); }));
        noPicking.push_back(framesPerSecond(frames, [&] { frameWithoutPicking(render); }));
    }
    render.setParams("frame_rate", Vec3<double>(0.85, 0.85, 0.85), nullptr);

    const double base = median(empty), on = median(picking), off = median(noPicking);
    std::printf("frame_rate: %u x %u window, 100 squares, %d spheres, %d frames a round, median of %d rounds\n",
                render.getSize().x(), render.getSize().y(), pieces, frames, rounds);
    std::printf("  empty frame (baseline)  %8.1f fps\n", base);
    std::printf("  board, pick pass on     %8.1f fps   frame time %.2f x the baseline\n", on, base / on);
    std::printf("  board, pick pass off    %8.1f fps   frame time %.2f x the baseline\n", off, base / off);
    std::printf("  the pick pass takes %.0f %% of the board frame time\n", 100.0 * (1.0 - on / off));
    return 0;
}
