// The checkers demo: builds the board and its 30 pieces, prints the usage banner and
// hands over to the engine's main loop, which ends with Escape.
#include <iostream>

#include "CheckersScene.h"
#include "rendering/Render.h"

int main()
{
    CheckersScene scene;
    CheckersScene::printBanner(std::cout);
    // run() comes back only when no window could be opened; it has said why.
    return Rendering::Render::instance().run() ? 0 : 1;
}
