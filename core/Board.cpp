#include "core/Board.h"

#include <GL/gl.h>

#include <algorithm>
#include <array>

#include "core/Object.h"
#include "core/Square.h"
#include "rendering/Texture.h"

namespace Core
{

const double Board::m_Depth = 0.25;

namespace
{
// Normals of the slab's faces, in drawPoints order: top, bottom, front, back, left, right.
constexpr double c_FaceNormals[6][3] = {{0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}, {-1, 0, 0}, {1, 0, 0}};
// Texture coordinates of each face's four corners, in order.
constexpr double c_FaceTexCoords[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
constexpr GLfloat c_White[4] = {1.0f, 1.0f, 1.0f, 1.0f};
// Filling, each face is split along its corners 0-2, as llvmpipe splits an immediate-mode
// quad (see Square::drawQuad).
constexpr size_t c_QuadAsTriangles[6] = {0, 1, 2, 0, 2, 3};
} // namespace

Board::Board(const Vec2<unsigned int>& size, const std::vector<Square*>& squares)
    : m_Size(size), m_Orientation(0.0f), m_Squares(squares), m_LineColor(0.0, 0.0, 0.0, 1.0), m_AutoHighlight(false),
      m_HighlightedSquare(nullptr)
{
}

Board::Board(const Board& other)
    : Drawable(other), m_Size(other.m_Size), m_Orientation(other.m_Orientation), m_Squares(other.m_Squares),
      m_LineColor(other.m_LineColor), m_AutoHighlight(other.m_AutoHighlight),
      m_HighlightedSquare(other.m_HighlightedSquare)
{
}

void Board::autoHighlight(Square* square)
{
    if (m_AutoHighlight && square) {
        if (square == m_HighlightedSquare)
            return;
        if (m_HighlightedSquare)
            m_HighlightedSquare->highlightMouseOver(false);
        square->highlightMouseOver(true);
        m_HighlightedSquare = square;
        return;
    }
    if (m_HighlightedSquare) {
        m_HighlightedSquare->highlightMouseOver(false);
        m_HighlightedSquare = nullptr;
    }
}

void Board::clearHighlight()
{
    for (Square* square : m_Squares) {
        square->highlightSelected(false);
        square->highlightAuthorized(false);
    }
}

void Board::removeSquare(Square* square)
{
    m_Squares.erase(std::remove(m_Squares.begin(), m_Squares.end(), square), m_Squares.end());
    if (m_HighlightedSquare == square) {
        square->highlightMouseOver(false);
        m_HighlightedSquare = nullptr;
    }
}

bool Board::moveObject(Object* object, Square* from, Square* to)
{
    if (!from->popObject(object))
        return false;
    to->pushObject(object);
    return true;
}

void Board::setDrawObjectsBounds(bool on)
{
    for (Square* square : m_Squares)
        square->setDrawObjectsBounds(on);
}

std::array<Vec3<double>, 24> Board::slabCorners() const
{
    const double x = m_Size.x();
    const double y = m_Size.y();
    const double d = m_Depth;
    return {{
        {0, 0, 0},   {x, 0, 0},   {x, 0, -y},  {0, 0, -y},  // top
        {0, -d, 0},  {0, -d, -y}, {x, -d, -y}, {x, -d, 0},  // bottom
        {0, -d, 0},  {x, -d, 0},  {x, 0, 0},   {0, 0, 0},   // front
        {0, -d, -y}, {0, 0, -y},  {x, 0, -y},  {x, -d, -y}, // back
        {0, 0, 0},   {0, -d, 0},  {0, -d, -y}, {0, 0, -y},  // left
        {x, 0, 0},   {x, 0, -y},  {x, -d, -y}, {x, -d, 0},  // right
    }};
}

void Board::drawPoints() const
{
    for (const Vec3<double>& p : slabCorners())
        glVertex3d(p.x(), p.y(), p.z());
}

void Board::draw() const
{
    glPushMatrix();
    glPushName(getPickingName());
    glTranslated(m_Size.x() / -2.0, 0.0, m_Size.y() / 2.0);
    if (hasTexture())
        drawWithTexture();
    else
        drawWithColor();

    glColor4d(m_LineColor.x(), m_LineColor.y(), m_LineColor.z(), m_LineColor.w());
    drawEdges();

    // Squares and pieces push their own names on an otherwise empty stack.
    glPopName();
    for (const Square* square : m_Squares)
        square->draw();
    for (const Square* square : m_Squares)
        square->drawObjects();
    glPopMatrix();
}

bool Board::canDrawOpaqueFirst() const
{
    if (!hasTexture() || !getTexture()->isOpaque() || m_LineColor.w() < 1.0 || !glIsEnabled(GL_DEPTH_TEST))
        return false;
    GLint function = GL_LESS;
    glGetIntegerv(GL_DEPTH_FUNC, &function);
    GLboolean written = GL_TRUE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &written);
    if ((function != GL_LESS && function != GL_LEQUAL) || !written)
        return false;
    for (const Square* square : m_Squares)
        for (const Object* object : square->getObjects())
            if (object->hasTexture())
                return false;
    return true;
}

const Vec4<double>* Board::materialBefore(size_t index) const
{
    // After the textured slab the material is white; a square leaves white behind when
    // textured, its colour otherwise.
    if (index == 0 || m_Squares[index - 1]->hasTexture())
        return nullptr;
    return &m_Squares[index - 1]->getColor();
}

bool Board::squareIsOpaque(size_t index) const
{
    const Square* square = m_Squares[index];
    if (!square->isOpaque())
        return false;
    // Lit, a textured square without highlight takes the alpha of the material before it.
    const Vec4<double>* material = square->hasTexture() ? materialBefore(index) : nullptr;
    return !material || material->w() >= 1.0;
}

void Board::applyMaterialBefore(size_t index) const
{
    const Vec4<double>* c = materialBefore(index);
    if (!c) {
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, c_White);
        return;
    }
    const GLfloat colour[4] = {static_cast<GLfloat>(c->x()), static_cast<GLfloat>(c->y()),
                               static_cast<GLfloat>(c->z()), static_cast<GLfloat>(c->w())};
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, colour);
}

void Board::drawOpaqueFirst() const
{
    if (!canDrawOpaqueFirst()) {
        draw();
        return;
    }
    const GLboolean blending = glIsEnabled(GL_BLEND);
    const auto drawSquares = [this](bool opaque) {
        for (size_t i = 0; i < m_Squares.size(); ++i) {
            const Square* square = m_Squares[i];
            if (squareIsOpaque(i) != opaque)
                continue;
            if (square->hasTexture())
                applyMaterialBefore(i);
            square->draw();
        }
    };
    glPushMatrix();
    glTranslated(m_Size.x() / -2.0, 0.0, m_Size.y() / 2.0);
    glDisable(GL_BLEND);
    for (const Square* square : m_Squares)
        square->drawObjects(true);
    drawSquares(true);
    glPushName(getPickingName());
    drawWithTexture();
    glColor4d(m_LineColor.x(), m_LineColor.y(), m_LineColor.z(), m_LineColor.w());
    drawEdges();
    glPopName();
    if (blending)
        glEnable(GL_BLEND);
    drawSquares(false);
    for (const Square* square : m_Squares)
        square->drawObjects(false);
    glPopMatrix();
}

void Board::drawWithColor() const
{
    const Vec4<double>& color = getColor();
    glColor4d(color.x(), color.y(), color.z(), color.w());
    drawSlab();
}

void Board::drawWithTexture() const
{
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, c_White);
    applyTexture();
    glColor4d(1.0, 1.0, 1.0, 1.0);
    drawTexturedSlab();
    Rendering::Texture::unApply();
}

void Board::drawSlab() const
{
    // As for a square's quad: filled rendering replays each face split along corners 0-2,
    // as llvmpipe splits an immediate-mode quad.
    if (Rendering::DisplayList::isRendering() && Rendering::DisplayList::fillsPolygons()) {
        m_SlabTriangles.draw([this] {
            const std::array<Vec3<double>, 24> corners = slabCorners();
            glBegin(GL_TRIANGLES);
            for (size_t face = 0; face < corners.size(); face += 4)
                for (const size_t i : c_QuadAsTriangles) {
                    const Vec3<double>& p = corners[face + i];
                    glVertex3d(p.x(), p.y(), p.z());
                }
            glEnd();
        });
        return;
    }
    m_Slab.draw([this] {
        glBegin(GL_QUADS);
        drawPoints();
        glEnd();
    });
}

void Board::drawTexturedSlab() const
{
    const auto emit = [this](GLenum mode, const size_t* order, size_t count) {
        const std::array<Vec3<double>, 24> corners = slabCorners();
        glBegin(mode);
        for (size_t face = 0; face < 6; ++face)
            for (size_t k = 0; k < count; ++k) {
                const size_t i = order[k];
                const Vec3<double>& p = corners[4 * face + i];
                glNormal3dv(c_FaceNormals[face]);
                glTexCoord2dv(c_FaceTexCoords[i]);
                glVertex3d(p.x(), p.y(), p.z());
            }
        glEnd();
    };
    if (Rendering::DisplayList::isRendering() && Rendering::DisplayList::fillsPolygons()) {
        m_TexturedSlabTriangles.draw([&] { emit(GL_TRIANGLES, c_QuadAsTriangles, 6); });
        return;
    }
    static constexpr size_t inOrder[4] = {0, 1, 2, 3};
    m_TexturedSlab.draw([&] { emit(GL_QUADS, inOrder, 4); });
}

void Board::drawEdges() const
{
    // The same 24 points taken pairwise.
    m_Edges.draw([this] {
        glBegin(GL_LINES);
        drawPoints();
        glEnd();
    });
}

} // namespace Core
