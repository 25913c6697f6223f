#include "rendering/Primitive.h"

#include <GL/gl.h>

#include <cstddef>

#include "rendering/Geometry.h"
#include "rendering/MaterialTexture.h"
#include "rendering/Render.h"

namespace Rendering
{

namespace
{
// Vertices per face of a begin mode, so that a bad index drops its whole face instead of
// shifting every face after it.
std::size_t faceSize(unsigned int type)
{
    switch (type) {
    case GL_LINES:
        return 2;
    case GL_TRIANGLES:
        return 3;
    case GL_QUADS:
        return 4;
    default:
        return 1;
    }
}

bool inside(const std::vector<unsigned short>& indices, std::size_t from, std::size_t to, std::size_t size)
{
    for (std::size_t i = from; i < to; ++i)
        if (indices[i] >= size)
            return false;
    return true;
}
} // namespace

Primitive::Primitive() : m_Geometry(nullptr), m_Texture(nullptr), m_PrimitiveType(GL_POINTS), m_HasMaterial(false) {}

Primitive::~Primitive()
{
    // The list is deleted with m_List exactly when it is named in the current context.
    if (!m_List.isNamed())
        return;
    if (Render* render = Render::existing())
        render->setNbDisplayList(render->getNbDisplayList() - 1);
}

void Primitive::setMaterial(const Material& material)
{
    m_Material = material;
    m_HasMaterial = true;
}

std::size_t Primitive::getFaceSize() const
{
    return faceSize(m_PrimitiveType);
}

void Primitive::initDisplayList()
{
    compile();
}

bool Primitive::compile()
{
    const bool named = m_List.isNamed();
    if (!m_List.compile([this] { emit(); }))
        return false;
    if (!named) {
        Render& render = Render::instance();
        render.setNbDisplayList(render.getNbDisplayList() + 1);
    }
    return true;
}

void Primitive::emit() const
{
    const std::size_t count = m_VertexIndices.size();
    const bool normals = m_NormalIndices.size() == count;
    const bool colors = m_ColorIndices.size() == count;
    const bool texCoords = m_TexturesIndices.size() == count;

    glBegin(m_PrimitiveType);
    if (m_Geometry) {
        const std::vector<Vec3<double>>& vertices = m_Geometry->getVertexArray();
        const std::vector<Vec3<double>>& normalArray = m_Geometry->getNormalArray();
        const std::vector<Vec3<double>>& colorArray = m_Geometry->getColorArray();
        const std::vector<Vec2<double>>& texCoordArray = m_Geometry->getTexCoordArray();
        const std::size_t step = getFaceSize();
        for (std::size_t face = 0; face < count; face += step) {
            const std::size_t end = face + step < count ? face + step : count;
            if (!inside(m_VertexIndices, face, end, vertices.size()) ||
                (normals && !inside(m_NormalIndices, face, end, normalArray.size())) ||
                (colors && !inside(m_ColorIndices, face, end, colorArray.size())) ||
                (texCoords && !inside(m_TexturesIndices, face, end, texCoordArray.size())))
                continue;
            for (std::size_t i = face; i < end; ++i) {
                if (normals) {
                    const Vec3<double>& n = normalArray[m_NormalIndices[i]];
                    glNormal3d(n.x(), -n.z(), n.y());
                }
                if (colors)
                    glColor3dv(colorArray[m_ColorIndices[i]].ptr());
                if (texCoords)
                    glTexCoord2dv(texCoordArray[m_TexturesIndices[i]].ptr());
                glVertex3dv(vertices[m_VertexIndices[i]].ptr());
            }
        }
    }
    glEnd();
}

void Primitive::draw()
{
    MaterialTexture::apply(m_Texture);
    // Not compiled here (while another list is being compiled), the vertices went
    // straight to where the caller draws.
    if (m_List.isCompiled() || compile())
        m_List.draw([this] { emit(); });
    MaterialTexture::unApply();
}

void Primitive::drawWithMaterial()
{
    if (m_HasMaterial)
        m_Material.apply(m_Texture != nullptr);
    draw();
}

} // namespace Rendering
