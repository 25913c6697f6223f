#include "core/Board.h"

#include <GL/gl.h>

#include <algorithm>

#include "core/Object.h"
#include "core/Square.h"

namespace Core
{

const double Board::m_Depth = 0.25;

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

void Board::drawPoints() const
{
    const double x = m_Size.x();
    const double y = m_Size.y();
    const double d = m_Depth;
    // top
    glVertex3d(0, 0, 0);
    glVertex3d(x, 0, 0);
    glVertex3d(x, 0, -y);
    glVertex3d(0, 0, -y);
    // bottom
    glVertex3d(0, -d, 0);
    glVertex3d(0, -d, -y);
    glVertex3d(x, -d, -y);
    glVertex3d(x, -d, 0);
    // front
    glVertex3d(0, -d, 0);
    glVertex3d(x, -d, 0);
    glVertex3d(x, 0, 0);
    glVertex3d(0, 0, 0);
    // back
    glVertex3d(0, -d, -y);
    glVertex3d(0, 0, -y);
    glVertex3d(x, 0, -y);
    glVertex3d(x, -d, -y);
    // left
    glVertex3d(0, 0, 0);
    glVertex3d(0, -d, 0);
    glVertex3d(0, -d, -y);
    glVertex3d(0, 0, -y);
    // right
    glVertex3d(x, 0, 0);
    glVertex3d(x, 0, -y);
    glVertex3d(x, -d, -y);
    glVertex3d(x, -d, 0);
}

void Board::draw() const
{
    glPushMatrix();
    glPushName(getPickingName());
    glTranslated(m_Size.x() / -2.0, 0.0, m_Size.y() / 2.0);
    drawWithColor();

    // The same 24 points taken pairwise: the slab's edge lines.
    glBegin(GL_LINES);
    glColor4d(m_LineColor.x(), m_LineColor.y(), m_LineColor.z(), m_LineColor.w());
    drawPoints();
    glEnd();

    // Squares and pieces push their own names on an otherwise empty stack.
    glPopName();
    for (const Square* square : m_Squares)
        square->draw();
    for (const Square* square : m_Squares)
        square->drawObjects();
    glPopMatrix();
}

void Board::drawWithColor() const
{
    glBegin(GL_QUADS);
    const Vec4<double>& color = getColor();
    glColor4d(color.x(), color.y(), color.z(), color.w());
    drawPoints();
    glEnd();
}

} // namespace Core
