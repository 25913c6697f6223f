#include <GL/glew.h>
#include <GL/glu.h>

#include "math/Vec4.h"
#include "rendering/Camera.h"
#include "rendering/HUDText.h"
#include "rendering/Input.h"
#include "rendering/Render.h"
#include "support/GLTest.h"

using Rendering::HUDText;
using Rendering::Render;

namespace
{
class HUDTextGLTest : public TestSupport::GLTest
{
protected:
    // Window position (GL's y upward) of the eye-space point where the text starts.
    static Vec3<double> textOrigin(unsigned int width, unsigned int height)
    {
        const double x = width / -2.0 / 8.8, y = height / 2.0 / 9.0;
        const Matrix<double> identity = Matrix<double>::identity();
        const Matrix<double> projection = readProjection();
        GLint viewport[4];
        glGetIntegerv(GL_VIEWPORT, viewport);
        double wx, wy, wz;
        gluProject(static_cast<float>(x), static_cast<float>(y), -100.0, identity.getPtr(), projection.getPtr(),
                   viewport, &wx, &wy, &wz);
        return Vec3<double>(wx, wy, wz);
    }

    static Vec4<float> rasterPosition()
    {
        Vec4<float> p;
        glGetFloatv(GL_CURRENT_RASTER_POSITION, p.ptr());
        return p;
    }

    // Number of pixels of the text colour (1, 0.5, 0.5) in a block (GL's y upward).
    static int textPixels(int x, int y, int w, int h)
    {
        const std::vector<std::uint8_t> p = readPixels(x, y, w, h);
        int count = 0;
        for (size_t i = 0; i < p.size(); i += 4)
            count += p[i] == 255 && p[i + 1] >= 126 && p[i + 1] <= 129 && p[i + 2] >= 126 && p[i + 2] <= 129;
        return count;
    }
};
} // namespace

TEST_F(HUDTextGLTest, EmptyTextStartsInTheTopLeftCornerAndRestoresState)
{
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    HUDText text;
    text.draw();
    const Vec3<double> origin = textOrigin(1024, 728);
    const Vec4<float> raster = rasterPosition();
    EXPECT_NEAR(raster.x(), origin.x(), 0.01);
    EXPECT_NEAR(raster.y(), origin.y(), 0.01);
    EXPECT_LT(raster.x(), 5.0f);
    EXPECT_GT(raster.y(), 728.0f - 20.0f);
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    expectLoaded(readModelView(), Render::instance().getCamera()->getTransformationMatrix());
    EXPECT_NO_GL_ERROR();
}

TEST_F(HUDTextGLTest, EachLineStartsThirteenPixelsBelowThePrevious)
{
    HUDText text;
    text.setText("AB");
    text.draw();
    const Vec3<double> origin = textOrigin(1024, 728);
    EXPECT_NEAR(rasterPosition().x(), origin.x() + 16.0, 0.01);

    text.setText("Mouvement\nLes");
    text.draw();
    EXPECT_NEAR(rasterPosition().x(), origin.x() + 24.0, 0.01);
    EXPECT_NEAR(rasterPosition().y(), origin.y() - 13.0, 0.01);
}

TEST_F(HUDTextGLTest, TextReachesTheScreenOnTwoLines)
{
    auto* text = new HUDText;
    text->setColor(Vec3<double>(1.0, 0.5, 0.5));
    text->setText("Mouvement non autorise.\nLes mouvements possibles sont en bleu.");
    Render& render = Render::instance();
    render.pushBackHUD(text);
    render.loop();
    render.removeHUD(text);
    // loop() swapped; draw the frame again without swapping to read the back buffer.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    text->draw();
    delete text;

    const Vec3<double> origin = textOrigin(1024, 728);
    const int x = static_cast<int>(origin.x()), y = static_cast<int>(origin.y());
    // First line: glyphs from the baseline upward; second line 13 pixels lower.
    EXPECT_GT(textPixels(x, y - 2, 23 * 8, 12), 100);
    EXPECT_GT(textPixels(x, y - 15, 37 * 8, 12), 150);
    // Nothing is drawn after the first line's last character: no glyph for the line feed.
    EXPECT_EQ(textPixels(x + 23 * 8, y - 2, 40, 12), 0);
}
