#include "core/Square.h"

#include <GL/gl.h>

#include <algorithm>
#include <climits>
#include <initializer_list>

#include "core/Object.h"
#include "rendering/Render.h"
#include "rendering/Texture.h"

namespace Core
{

namespace
{
// Single-precision fractions of the square's extent for the piece alignments.
constexpr float c_FiveSixths = 5.0f / 6.0f;
constexpr float c_OneSixth = 1.0f / 6.0f;
constexpr float c_Half = 0.5f;
constexpr double c_SquareHeight = 0.001;
// Texture coordinates of the corners, in corner order.
constexpr double c_CornerTexCoords[4][2] = {{0.0, 0.0}, {0.0, 1.0}, {1.0, 1.0}, {1.0, 0.0}};
// Highlight tints over the picture (RGB, then the alpha of all three), and the material
// the textured quad leaves behind.
constexpr double c_MouseOverTint[3] = {0.0, 1.0, 0.0};
constexpr double c_SelectedTint[3] = {1.0, 0.0, 0.0};
constexpr double c_AuthorizedTint[3] = {0.0, 0.0, 1.0};
constexpr double c_TintAlpha = 0.3;
constexpr GLfloat c_White[4] = {1.0f, 1.0f, 1.0f, 1.0f};

void emitCorners(const Square::Coords& coords, GLenum mode, std::initializer_list<int> corners)
{
    glBegin(mode);
    for (const int i : corners) {
        const Vec2<unsigned int>& p = coords.m_Points[i];
        glNormal3d(0.0, 1.0, 0.0);
        glTexCoord2d(c_CornerTexCoords[i][0], c_CornerTexCoords[i][1]);
        glVertex3d(p.x(), c_SquareHeight, -static_cast<double>(p.y()));
    }
    glEnd();
}

float verticalFraction(Object::ObjectAlignment::Vertical v)
{
    switch (v) {
    case Object::ObjectAlignment::Top:
        return c_FiveSixths;
    case Object::ObjectAlignment::Bottom:
        return c_OneSixth;
    default:
        return c_Half;
    }
}

float horizontalFraction(Object::ObjectAlignment::Horizontal h)
{
    switch (h) {
    case Object::ObjectAlignment::Left:
        return c_OneSixth;
    case Object::ObjectAlignment::Right:
        return c_FiveSixths;
    default:
        return c_Half;
    }
}
} // namespace

Square::Square(const Coords& coords, const std::vector<Object*>& objects)
    : m_Coords(coords), m_HighlightMouseOver(false), m_HighlightSelected(false), m_HighlightAuthorized(false)
{
    computeSize();
    computeLower();
    computeUpper();
    // Pushed, not just listed: a piece listed without knowing its square could be listed
    // on two squares, or outlive its place in the list.
    for (Object* object : objects)
        if (object)
            pushObject(object);
}

Square::Square(const Square& other)
    : Drawable(other), m_Coords(other.m_Coords), m_Size(other.m_Size), m_Lower(other.m_Lower), m_Upper(other.m_Upper),
      m_HighlightMouseOver(other.m_HighlightMouseOver), m_HighlightSelected(other.m_HighlightSelected),
      m_HighlightAuthorized(other.m_HighlightAuthorized)
{
}

Square::~Square()
{
    Rendering::Render::removeSquare(this);
    // The list is emptied first, so that the pieces' own destructors find nothing to take
    // off; a piece listed twice (by direct list access) is deleted once.
    std::vector<Object*> listed;
    listed.swap(m_Objects);
    for (auto it = listed.begin(); it != listed.end(); ++it)
        if (std::find(listed.begin(), it, *it) == it)
            delete *it;
}

void Square::setCoords(const Coords& coords)
{
    m_Coords = coords;
    computeSize();
    computeLower();
    computeUpper();
    m_Quad.invalidate();
    m_Triangles.invalidate();
}

void Square::computeSize()
{
    unsigned int minX = UINT_MAX, minY = UINT_MAX, maxX = 0, maxY = 0;
    for (const Vec2<unsigned int>& p : m_Coords.m_Points) {
        minX = std::min(minX, p.x());
        minY = std::min(minY, p.y());
        maxX = std::max(maxX, p.x());
        maxY = std::max(maxY, p.y());
    }
    m_Size = Vec2<unsigned int>(maxX - minX, maxY - minY);
}

void Square::computeLower()
{
    m_Lower = Vec2<unsigned int>(UINT_MAX, UINT_MAX);
    for (const Vec2<unsigned int>& p : m_Coords.m_Points) {
        m_Lower.x() = std::min(m_Lower.x(), p.x());
        m_Lower.y() = std::min(m_Lower.y(), p.y());
    }
}

void Square::computeUpper()
{
    m_Upper = Vec2<unsigned int>(0, 0);
    for (const Vec2<unsigned int>& p : m_Coords.m_Points) {
        m_Upper.x() = std::max(m_Upper.x(), p.x());
        m_Upper.y() = std::max(m_Upper.y(), p.y());
    }
}

void Square::pushObject(Object* object)
{
    if (Square* previous = object->getParentSquare())
        previous->popObject(object);
    m_Objects.push_back(object);
    object->setParentSquare(this);
}

bool Square::popObject(Object* object)
{
    auto it = std::find(m_Objects.begin(), m_Objects.end(), object);
    if (it == m_Objects.end())
        return false;
    m_Objects.erase(it);
    if (object->getParentSquare() == this)
        object->setParentSquare(nullptr);
    return true;
}

void Square::setDrawObjectsBounds(bool on)
{
    for (Object* object : m_Objects)
        object->setDrawBound(on);
}

void Square::drawObjects() const
{
    drawObjectsWhere([](const Object*) { return true; });
}

void Square::drawObjects(bool opaque) const
{
    drawObjectsWhere([opaque](const Object* object) { return object->isOpaque() == opaque; });
}

bool Square::isOpaque() const
{
    if (hasTexture())
        return !m_HighlightMouseOver && !m_HighlightSelected && !m_HighlightAuthorized && getTexture()->isOpaque();
    return getColor().w() >= 1.0;
}

template <typename Filter>
void Square::drawObjectsWhere(Filter drawn) const
{
    glPushMatrix();
    glTranslated(m_Lower.x(), 0.0, -static_cast<double>(m_Lower.y()));
    for (const Object* object : m_Objects) {
        if (!drawn(object))
            continue;
        const Object::ObjectAlignment& alignment = object->getAlignment();
        const float horizontal = horizontalFraction(alignment.m_Horizontal);
        const double vertical = verticalFraction(alignment.m_Vertical);
        glPushMatrix();
        // x product in single precision, z product in double precision.
        glTranslated(static_cast<double>(m_Size.x() * horizontal), 0.0, -(m_Size.y() * vertical));
        object->draw();
        glPopMatrix();
    }
    glPopMatrix();
}

Vec3<double> Square::getObjectPosition(const Object& object) const
{
    const Object::ObjectAlignment& alignment = object.getAlignment();
    const double x = static_cast<double>(m_Size.x() * horizontalFraction(alignment.m_Horizontal));
    const double y = m_Size.y() * static_cast<double>(verticalFraction(alignment.m_Vertical));
    return Vec3<double>(m_Lower.x() + x, 0.0, -(m_Lower.y() + y));
}

void Square::draw() const
{
    glPushName(getPickingName());
    if (hasTexture())
        drawWithTexture();
    else
        drawWithColor();
    glPopName();
}

void Square::drawWithTexture() const
{
    const double* tint = m_HighlightMouseOver    ? c_MouseOverTint
                         : m_HighlightSelected   ? c_SelectedTint
                         : m_HighlightAuthorized ? c_AuthorizedTint
                                                 : nullptr;
    if (tint) {
        glColor4d(tint[0], tint[1], tint[2], c_TintAlpha);
        const GLfloat material[4] = {static_cast<GLfloat>(tint[0]), static_cast<GLfloat>(tint[1]),
                                     static_cast<GLfloat>(tint[2]), static_cast<GLfloat>(c_TintAlpha)};
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, material);
    }
    applyTexture();
    glColor4d(1.0, 1.0, 1.0, 1.0);
    glNormal3d(0.0, 1.0, 0.0);
    drawQuad();
    Rendering::Texture::unApply();
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, c_White);
}

void Square::drawWithColor() const
{
    const Vec4<double>& color = getColor();
    glColor4d(color.x(), color.y(), color.z(), color.w());
    const GLfloat material[4] = {static_cast<GLfloat>(color.x()), static_cast<GLfloat>(color.y()),
                                 static_cast<GLfloat>(color.z()), static_cast<GLfloat>(color.w())};
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, material);
    // Drawing after the squares (the next frame's slab, which sets no normal) is lit with
    // this normal, whatever a list replay leaves current.
    glNormal3d(0.0, 1.0, 0.0);
    drawQuad();
}

void Square::drawQuad() const
{
    // Filling a quad, llvmpipe splits one drawn in immediate mode along corners 0-2 but one
    // replayed from a list along 1-3, and lit colours interpolate differently across the two
    // splits; selection, feedback and outlines treat both quads alike. Filled rendering
    // therefore replays the split made explicit.
    if (Rendering::DisplayList::isRendering() && Rendering::DisplayList::fillsPolygons())
        m_Triangles.draw([this] { emitCorners(m_Coords, GL_TRIANGLES, {0, 1, 2, 0, 2, 3}); });
    else
        m_Quad.draw([this] { emitCorners(m_Coords, GL_QUADS, {0, 1, 2, 3}); });
}

} // namespace Core
