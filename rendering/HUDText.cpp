#include "rendering/HUDText.h"

#include <GL/freeglut.h>

#include "rendering/Render.h"

namespace Rendering
{

namespace
{
// Height of one line of GLUT_BITMAP_8_BY_13, in pixels.
constexpr float c_LineHeight = 13.0f;
} // namespace

HUDText::HUDText() : m_Color(1.0, 1.0, 1.0), m_OffsetX(0), m_OffsetY(0) {}

void HUDText::draw()
{
    const Vec2<unsigned int> size = Render::instance().getSize();

    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glLoadIdentity();

    glColor3d(m_Color.x(), m_Color.y(), m_Color.z());
    const double y = m_OffsetY + size.y() / 2.0 / 9.0;
    const double x = m_OffsetX + size.x() / -2.0 / 8.8;
    glRasterPos3f(static_cast<float>(x), static_cast<float>(y), -100.0f);

    int lineWidth = 0;
    for (const char c : m_Text) {
        if (c == '\n') {
            // Back to the start of the line, one line lower, in window pixels.
            glBitmap(0, 0, 0.0f, 0.0f, static_cast<float>(-lineWidth), -c_LineHeight, nullptr);
            lineWidth = 0;
            continue;
        }
        // Passed as a signed value, bytes of 128 and above (and 0) draw nothing and must
        // not count toward the line's width.
        const int character = static_cast<signed char>(c);
        glutBitmapCharacter(GLUT_BITMAP_8_BY_13, character);
        if (character >= 1)
            lineWidth += glutBitmapWidth(GLUT_BITMAP_8_BY_13, character);
    }

    glEnable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glPopMatrix();
}

} // namespace Rendering
