#include "support/GLTest.h"

#include <GL/glu.h>

#include "math/Vec4.h"
#include "rendering/Camera.h"
#include "rendering/HUDText.h"
#include "rendering/Render.h"

using Rendering::HUDText;
using Rendering::Render;

namespace
{
class HUDTextGLTest : public TestSupport::GLTest
{
protected:
    // Window position (GL's y upward) of the eye-space point where the text starts.
    static Vec3<double> textOrigin()
    {
        const Matrix<double> identity = Matrix<double>::identity();
        const Matrix<double> projection = readProjection();
        GLint viewport[4];
        glGetIntegerv(GL_VIEWPORT, viewport);
        double wx, wy, wz;
        gluProject(static_cast<float>(1024 / -2.0 / 8.8), static_cast<float>(728 / 2.0 / 9.0), -100.0,
                   identity.getPtr(), projection.getPtr(), viewport, &wx, &wy, &wz);
        return Vec3<double>(wx, wy, wz);
    }

    // Draws the text and checks where the next character would go, relative to its start.
    static void expectNextAt(HUDText& text, double dx, double dy)
    {
        text.draw();
        Vec4<float> p;
        glGetFloatv(GL_CURRENT_RASTER_POSITION, p.ptr());
        EXPECT_NEAR(p.x() - textOrigin().x(), dx, 0.01) << text.getText();
        EXPECT_NEAR(p.y() - textOrigin().y(), dy, 0.01) << text.getText();
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

TEST_F(HUDTextGLTest, LinesStartAtTheTopLeftCornerThirteenPixelsApart)
{
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    HUDText text;
    expectNextAt(text, 0, 0);
    EXPECT_LT(textOrigin().x(), 5.0);
    EXPECT_GT(textOrigin().y(), 728.0 - 20.0);
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING) && glIsEnabled(GL_DEPTH_TEST) && glIsEnabled(GL_TEXTURE_2D));
    expectLoaded(readModelView(), Render::instance().getCamera()->getTransformationMatrix());

    text.setText("AB");
    expectNextAt(text, 16, 0);
    text.setText("Mouvement\nLes");
    expectNextAt(text, 24, -13);
    // Bytes of 128 and above are not drawn and take no room.
    text.setText("\xc3\xa9t\xc3\xa9\nAB");
    expectNextAt(text, 16, -13);
}

TEST_F(HUDTextGLTest, TextReachesTheScreenOnTwoLines)
{
    auto* text = new HUDText;
    text->setColor(Vec3<double>(1.0, 0.5, 0.5));
    text->setText("Mouvement non autorise.\nLes mouvements possibles sont en bleu.");
    Render& render = Render::instance();
    render.pushBackHUD(text);
    render.loop();
    // loop() swapped; draw again without swapping to read the back buffer.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    text->draw();
    delete text; // leaves the frame by itself

    const Vec3<double> origin = textOrigin();
    const int x = static_cast<int>(origin.x()), y = static_cast<int>(origin.y());
    // First line: glyphs from the baseline upward; second line 13 pixels lower; nothing
    // after the first line's last character.
    EXPECT_GT(textPixels(x, y - 2, 23 * 8, 12), 100);
    EXPECT_GT(textPixels(x, y - 15, 37 * 8, 12), 150);
    EXPECT_EQ(textPixels(x + 23 * 8, y - 2, 40, 12), 0);
    render.loop();
}
