#include "core/Object.h"

#include <GL/freeglut.h>

#include "core/Square.h"
#include "rendering/DisplayList.h"

namespace Core
{

namespace
{
// Lift of a piece drawn as a sphere.
constexpr double c_SphereLift = 0.076;
constexpr double c_SphereRadius = 0.2;
constexpr int c_SphereDivisions = 10;

// The sphere of every piece without a model: one list shared by all of them, kept for the
// life of the process.
Rendering::DisplayList& sphere()
{
    static Rendering::DisplayList list;
    return list;
}
} // namespace

Object::Object(const ObjectAlignment& alignment)
    : m_ParentSquare(nullptr), m_Alignment(alignment), m_Scale(1.0), m_DrawBound(false)
{
}

Object::Object(const Object& other)
    : Drawable(other), m_ParentSquare(other.m_ParentSquare), m_Alignment(other.m_Alignment), m_Scale(other.m_Scale),
      m_DrawBound(other.m_DrawBound)
{
}

Object::~Object()
{
    if (Square* square = m_ParentSquare)
        while (square->popObject(this)) {
        }
}

double Object::deltaTranslateY() const
{
    return c_SphereLift;
}

void Object::draw() const
{
    glPushName(getPickingName());
    drawWithColor();
    glPopName();
}

void Object::drawWithColor() const
{
    glPushMatrix();
    glTranslated(0.0, deltaTranslateY(), 0.0);
    glScaled(m_Scale, m_Scale, m_Scale);
    const Vec4<double>& color = getColor();
    const GLfloat material[4] = {static_cast<GLfloat>(color.x()), static_cast<GLfloat>(color.y()),
                                 static_cast<GLfloat>(color.z()), static_cast<GLfloat>(color.w())};
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, material);
    glColor4d(color.x(), color.y(), color.z(), color.w());
    // Outlines are drawn straight: the list joins the sphere's strips with degenerate
    // triangles, which change outline pixels. Drawn straight, the sphere reads client-side
    // vertex arrays, which the selection pass does not keep.
    const auto solidSphere = [] { glutSolidSphere(c_SphereRadius, c_SphereDivisions, c_SphereDivisions); };
    if (Rendering::DisplayList::fillsPolygons())
        sphere().draw(solidSphere);
    else
        solidSphere();
    glPopMatrix();
}

} // namespace Core
