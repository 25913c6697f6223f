// Draws the checkers demo's scene as the README's picture shows it, deterministically, and
// saves the window as PNG: the demo's 1024 x 728 window in its start-up view, player 1's
// piece on square 22 selected (its moves tinted as allowed destinations) and the pointer
// resting over square 33, one of them. The GL test of the demo's picture draws the same
// scene and compares it with the picture this tool made (tests/demo/checkers/).
//
// Usage: checkers_picture <out.png>       (needs an X display: xvfb-run)
// It starts from its own folder, where the demo's data lies at ../Data/.
#include <GL/freeglut.h>
#include <png.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "CheckersScene.h"
#include "ProgramFolder.h"
#include "rendering/Input.h"
#include "rendering/Render.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: checkers_picture <out.png>\n");
        return 2;
    }
    std::string out = argv[1];
    char here[PATH_MAX];
    if (out[0] != '/' && getcwd(here, sizeof here))
        out = std::string(here) + "/" + out;
    ProgramFolder::enter("checkers_picture");
    CheckersScene scene;
    Rendering::Render& render = Rendering::Render::instance();
    if (!render.openWindow())
        return 1;
    render.initGL();
    // Window pixels of the centres of squares 22 and 33 in the start-up view.
    Rendering::passiveMotionEvent(364, 468);
    render.loop();
    Rendering::mouseEvent(GLUT_LEFT_BUTTON, GLUT_DOWN, 364, 468);
    Rendering::mouseEvent(GLUT_LEFT_BUTTON, GLUT_UP, 364, 468);
    Rendering::passiveMotionEvent(427, 423);
    render.loop();
    render.loop();
    if (!scene.getSquare(33).isHighlightedAuthorized() || scene.getBoard().getHighlightedSquare() != &scene.getSquare(33)) {
        std::fprintf(stderr, "checkers_picture: the scene is not the expected one (square 33 not offered)\n");
        return 1;
    }

    const int width = static_cast<int>(render.getSize().x()), height = static_cast<int>(render.getSize().y());
    std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGB;
    // GL's rows run bottom-up, which a negative stride tells libpng.
    if (!png_image_write_to_file(&image, out.c_str(), 0, pixels.data(), -width * 3, nullptr)) {
        std::fprintf(stderr, "checkers_picture: cannot write %s: %s\n", out.c_str(), image.message);
        return 1;
    }
    std::printf("checkers_picture: %s\n", out.c_str());
    return 0;
}
