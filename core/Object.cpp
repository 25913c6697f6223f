#include "core/Object.h"

#include "core/MessageText.h"
#include "core/Messages.h"

#include <GL/freeglut.h>

#include "core/MeshManager.h"
#include "core/Square.h"
#include "rendering/DisplayList.h"
#include "rendering/Image.h"
#include "rendering/Mesh.h"
#include "rendering/Shader.h"
#include "rendering/Texture.h"

namespace Core
{

namespace
{
// Lift of a piece drawn as a sphere.
constexpr double c_SphereLift = 0.076;
// Gap left under a model centred on its origin, above the board's top face.
constexpr double c_ModelGap = 0.02;
constexpr double c_SphereRadius = 0.2;
constexpr int c_SphereDivisions = 10;
constexpr const char* c_StackRefused = "Stack refused : ";
constexpr const char* c_StackRefusedEnd = " copies, at most ";

// The sphere of every piece without a model: one list shared by all of them, kept for the
// life of the process.
Rendering::DisplayList& sphere()
{
    static Rendering::DisplayList list;
    return list;
}
} // namespace

Object::Object(const ObjectAlignment& alignment, const std::string& meshFileName)
    : m_ParentSquare(nullptr), m_Alignment(alignment), m_Mesh(nullptr), m_Scale(1.0), m_Displacement(0.0, 0.0, 0.0),
      m_Stack(1), m_DrawBound(false), m_UseMaterialColors(false)
{
    setMesh(meshFileName);
}

Object::Object(const Object& other)
    : Drawable(other), m_ParentSquare(other.m_ParentSquare), m_Alignment(other.m_Alignment), m_Mesh(nullptr),
      m_Aabb(other.m_Aabb), m_Scale(other.m_Scale), m_Displacement(other.m_Displacement), m_Stack(other.m_Stack),
      m_DrawBound(other.m_DrawBound), m_UseMaterialColors(other.m_UseMaterialColors)
{
    // Each holder gives its own hold back, so that no copy frees the model under another.
    if (other.m_Mesh && MeshManager::instance().holdMesh(other.m_Mesh))
        m_Mesh = other.m_Mesh;
    else
        m_Aabb.reset();
}

Object::~Object()
{
    removeMesh();
    if (Square* square = m_ParentSquare)
        while (square->popObject(this)) {
        }
}

void Object::setMesh(const std::string& meshFileName)
{
    // The new model is taken before the old one is given back: the same file set again
    // is not loaded a second time.
    Rendering::Mesh* previous = m_Mesh;
    m_Mesh = nullptr;
    if (!meshFileName.empty())
        MeshManager::instance().addMesh(meshFileName, m_Mesh);
    if (previous)
        if (MeshManager* cache = MeshManager::existing())
            cache->removeMesh(previous);
    m_Aabb.setMesh(m_Mesh);
}

void Object::removeMesh()
{
    if (!m_Mesh)
        return;
    if (MeshManager* cache = MeshManager::existing())
        cache->removeMesh(m_Mesh);
    m_Mesh = nullptr;
    m_Aabb.reset();
}

double Object::deltaTranslateY() const
{
    if (!m_Mesh)
        return c_SphereLift;
    return m_Aabb.getSize().y() * m_Scale / 2.0 + c_ModelGap;
}

bool Object::setStack(unsigned int count)
{
    if (count > c_MaxStack) {
        Core::Messages::send(Core::MessageLevel::Warning,
                             Core::messageText(c_StackRefused, count, c_StackRefusedEnd, c_MaxStack, "."));
        return false;
    }
    m_Stack = count == 0 ? 1 : count;
    return true;
}

double Object::getCopyHeight() const
{
    if (!m_Mesh)
        return 2.0 * c_SphereRadius * m_Scale;
    return m_Aabb.getSize().y() * m_Scale;
}

bool Object::isOpaque() const
{
    if (m_UseMaterialColors || (m_Mesh && !m_Mesh->getTextures().empty()))
        return false;
    return hasTexture() ? getTexture()->isOpaque() : getColor().w() >= 1.0;
}

void Object::draw() const
{
    glPushName(getPickingName());
    if (hasTexture())
        drawWithTexture();
    else
        drawWithColor();
    glPopName();
}

void Object::drawWithTexture() const
{
    glColor4d(1.0, 1.0, 1.0, 1.0);
    applyTexture();
    drawStack();
    Rendering::Texture::unApply();
}

void Object::drawWithColor() const
{
    const Vec4<double>& color = getColor();
    const GLfloat material[4] = {static_cast<GLfloat>(color.x()), static_cast<GLfloat>(color.y()),
                                 static_cast<GLfloat>(color.z()), static_cast<GLfloat>(color.w())};
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, material);
    glColor4d(color.x(), color.y(), color.z(), color.w());
    // No picture is bound for the piece: the render's program may skip sampling them.
    Rendering::Shader* shader = nullptr;
    if (!m_Mesh || m_Mesh->getTextures().empty())
        shader = Rendering::Image::drawingShader();
    const bool noPictures = shader && shader->applyNoPictures();
    drawStack();
    if (noPictures)
        shader->apply();
}

void Object::drawStack() const
{
    glPushMatrix();
    // Without displacement nothing is added to the transform: a piece at rest is drawn
    // exactly as it always was.
    if (m_Displacement.x() != 0.0 || m_Displacement.y() != 0.0 || m_Displacement.z() != 0.0)
        glTranslated(m_Displacement.x(), m_Displacement.y(), m_Displacement.z());
    glTranslated(0.0, deltaTranslateY(), 0.0);
    glScaled(m_Scale, m_Scale, m_Scale);
    if (m_Stack == 1) {
        drawShape();
    } else {
        // One copy's height in the model's own units.
        const double step = m_Mesh ? m_Aabb.getSize().y() : 2.0 * c_SphereRadius;
        glPushMatrix();
        for (unsigned int i = 0; i < m_Stack; ++i) {
            if (i > 0)
                glTranslated(0.0, step, 0.0);
            drawShape();
        }
        glPopMatrix();
    }
    if (m_Mesh && m_DrawBound) {
        // The box of one copy stretched upward over the whole stack, from its lower face.
        if (m_Stack > 1) {
            const double bottom = m_Aabb.getMin().y();
            glTranslated(0.0, bottom, 0.0);
            glScaled(1.0, m_Stack, 1.0);
            glTranslated(0.0, -bottom, 0.0);
        }
        m_Aabb.draw();
    }
    glPopMatrix();
}

bool Object::backFacesHidden() const
{
    if (!m_Mesh || !isOpaque() || !Rendering::DisplayList::isRendering() || !Rendering::DisplayList::fillsPolygons() ||
        !glIsEnabled(GL_DEPTH_TEST) || glIsEnabled(GL_CULL_FACE) || !m_Mesh->isClosed())
        return false;
    GLint front = GL_CCW;
    glGetIntegerv(GL_FRONT_FACE, &front);
    if (front != GL_CCW)
        return false;
    // A mirroring transform turns the model's outside faces away.
    GLdouble m[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, m);
    const double determinant =
        m[0] * (m[5] * m[10] - m[6] * m[9]) - m[4] * (m[1] * m[10] - m[2] * m[9]) + m[8] * (m[1] * m[6] - m[2] * m[5]);
    return determinant > 0.0;
}

void Object::drawShape() const
{
    if (m_Mesh) {
        // The back faces of a closed opaque model lie behind its front faces: culled, they
        // cost nothing to fill.
        const bool cull = backFacesHidden();
        if (cull) {
            glPushAttrib(GL_POLYGON_BIT);
            glCullFace(GL_BACK);
            glEnable(GL_CULL_FACE);
        }
        if (m_UseMaterialColors)
            m_Mesh->drawWithMaterials();
        else
            m_Mesh->draw();
        if (cull)
            glPopAttrib();
        return;
    }
    // Outlines are drawn straight: the list joins the sphere's strips with degenerate
    // triangles, which change outline pixels. Drawn straight, the sphere reads client-side
    // vertex arrays, which the selection pass does not keep.
    const auto solidSphere = [] { glutSolidSphere(c_SphereRadius, c_SphereDivisions, c_SphereDivisions); };
    if (Rendering::DisplayList::fillsPolygons())
        sphere().draw(solidSphere);
    else
        solidSphere();
}

} // namespace Core
