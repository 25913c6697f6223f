#include "rendering/Material.h"

#include <GL/gl.h>

namespace Rendering
{

namespace
{
void setColor(GLenum name, const Vec4<double>& color)
{
    const GLfloat value[4] = {static_cast<GLfloat>(color.x()), static_cast<GLfloat>(color.y()),
                              static_cast<GLfloat>(color.z()), static_cast<GLfloat>(color.w())};
    glMaterialfv(GL_FRONT_AND_BACK, name, value);
}
} // namespace

void Material::apply(bool textured) const
{
    const Vec4<double> diffuse = textured ? Vec4<double>(1.0, 1.0, 1.0, m_Diffuse.w()) : m_Diffuse;
    setColor(GL_AMBIENT, m_Ambient);
    setColor(GL_DIFFUSE, diffuse);
    setColor(GL_SPECULAR, m_Specular);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, static_cast<GLfloat>(m_Shininess));
    glColor4d(diffuse.x(), diffuse.y(), diffuse.z(), diffuse.w());
}

} // namespace Rendering
