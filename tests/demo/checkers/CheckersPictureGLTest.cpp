#include "support/GLTest.h"

#include <GL/freeglut.h>
#include <png.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

#include "CheckersScene.h"
#include "rendering/Input.h"
#include "rendering/Render.h"

namespace
{
// The frame's look against the picture tools/checkers_picture made of the demo before the
// frame was reordered and its blending, programs and culling chosen per part: the same
// scene, drawn the same way, must give the same pixels. Back-face culling of the closed
// piece models may change where a silhouette pixel's depth tie falls: a few pixels, each
// by a few levels, are allowed for it, nothing else.
constexpr int c_MaxDifferentPixels = 16;
constexpr int c_MaxLevelDifference = 3;

struct Picture
{
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb; // rows bottom-up, as OpenGL reads them
};

Picture readReference()
{
    Picture picture;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, CHECKERS_REFERENCE_PICTURE))
        return picture;
    image.format = PNG_FORMAT_RGB;
    picture.rgb.resize(PNG_IMAGE_SIZE(image));
    const int stride = -static_cast<int>(PNG_IMAGE_ROW_STRIDE(image));
    if (!png_image_finish_read(&image, nullptr, picture.rgb.data(), stride, nullptr)) {
        picture.rgb.clear();
        return picture;
    }
    picture.width = static_cast<int>(image.width);
    picture.height = static_cast<int>(image.height);
    return picture;
}

using CheckersPictureGLTest = TestSupport::GLTest;
} // namespace

TEST_F(CheckersPictureGLTest, SelectedPieceWithPointerOnAMoveLooksAsBefore)
{
    const Picture reference = readReference();
    ASSERT_FALSE(reference.rgb.empty()) << "cannot read " << CHECKERS_REFERENCE_PICTURE;
    Rendering::Render& render = Rendering::Render::instance();
    render.setSize(static_cast<unsigned int>(reference.width), static_cast<unsigned int>(reference.height));
    CheckersScene scene;
    startUp();
    ASSERT_TRUE(render.hasShaderAvailable());

    // As the tool: window pixels of the centres of squares 22 and 33 in the start-up view.
    Rendering::passiveMotionEvent(364, 468);
    render.loop();
    Rendering::mouseEvent(GLUT_LEFT_BUTTON, GLUT_DOWN, 364, 468);
    Rendering::mouseEvent(GLUT_LEFT_BUTTON, GLUT_UP, 364, 468);
    Rendering::passiveMotionEvent(427, 423);
    render.loop();
    render.loop();
    ASSERT_TRUE(scene.getSquare(33).isHighlightedAuthorized());
    ASSERT_EQ(scene.getBoard().getHighlightedSquare(), &scene.getSquare(33));

    std::vector<unsigned char> drawn(reference.rgb.size());
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, reference.width, reference.height, GL_RGB, GL_UNSIGNED_BYTE, drawn.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);

    int different = 0, largest = 0, firstX = -1, firstY = -1;
    for (size_t i = 0; i < drawn.size(); i += 3) {
        int difference = 0;
        for (size_t c = 0; c < 3; ++c)
            difference = std::max(difference, std::abs(drawn[i + c] - reference.rgb[i + c]));
        if (difference == 0)
            continue;
        if (different++ == 0) {
            firstX = static_cast<int>(i / 3) % reference.width;
            firstY = reference.height - 1 - static_cast<int>(i / 3) / reference.width;
        }
        largest = std::max(largest, difference);
    }
    EXPECT_LE(different, c_MaxDifferentPixels) << "first at window pixel (" << firstX << ", " << firstY << ")";
    EXPECT_LE(largest, c_MaxLevelDifference) << "first at window pixel (" << firstX << ", " << firstY << ")";
    RecordProperty("different_pixels", different);
    RecordProperty("largest_difference", largest);
}
