#pragma once

#include <string>
#include <vector>

#include "core/Drawable.h"
#include "math/Vec2.h"
#include "math/Vec3.h"
#include "rendering/DisplayList.h"

namespace Core
{

class Object;

// One cell of the board: a quad through four grid points, drawn just above the board's
// top face (grid point (x, y) lies at (x, 0.001, -y)). It holds the pieces standing on it
// (a piece stands on one square at most) and deletes those it still holds when destroyed.
// Three independent highlight flags: mouse-over (set by the board), selected and allowed
// destination (set by the game).
class Square final : public Drawable
{
public:
    // The four corners in outline order (either direction).
    struct Coords
    {
        Coords(const Vec2<unsigned int>& p0, const Vec2<unsigned int>& p1, const Vec2<unsigned int>& p2,
               const Vec2<unsigned int>& p3)
            : m_Points{p0, p1, p2, p3}
        {
        }
        Vec2<unsigned int> m_Points[4];
    };

    // Stores the corners and pushes the initial pieces (null entries are skipped); flags
    // cleared.
    Square(const Coords& coords, const std::vector<Object*>& objects);
    // Copies corners, extents and flags; the copy starts without pieces, since a piece
    // stands on one square only.
    Square(const Square& other);
    // Deletes every piece still listed (each once); every board and picking callback
    // forgets the square.
    ~Square();

    // Replaces the corners; the quad is compiled again at its next draw.
    void setCoords(const Coords& coords);
    const Coords& getCoords() const { return m_Coords; }
    void computeSize();
    void computeLower();
    void computeUpper();
    // (largest x - smallest x, largest y - smallest y) of the corners.
    const Vec2<unsigned int>& getSize() const { return m_Size; }
    // (smallest x, smallest y) of the corners.
    const Vec2<unsigned int>& getLower() const { return m_Lower; }
    // (largest x, largest y) of the corners.
    const Vec2<unsigned int>& getUpper() const { return m_Upper; }

    std::vector<Object*>& getObjects() { return m_Objects; }
    const std::vector<Object*>& getObjects() const { return m_Objects; }
    // Takes the piece off the square it stands on (this one included), appends it and
    // makes this its parent square.
    void pushObject(Object* object);
    // Removes the first occurrence and clears its parent square when it is this one;
    // false if not listed.
    bool popObject(Object* object);
    // Pieces are placed at draw time from their alignment; nothing to store here.
    void defineObjectPosition() {}

    void highlightMouseOver(bool on) { m_HighlightMouseOver = on; }
    void highlightSelected(bool on) { m_HighlightSelected = on; }
    void highlightAuthorized(bool on) { m_HighlightAuthorized = on; }
    bool isHighlightedMouseOver() const { return m_HighlightMouseOver; }
    bool isHighlightedSelected() const { return m_HighlightSelected; }
    bool isHighlightedAuthorized() const { return m_HighlightAuthorized; }

    // Sets the bounding-box flag of every piece on the square.
    void setDrawObjectsBounds(bool on);
    // Draws each piece at its alignment inside the square.
    void drawObjects() const;
    // Where drawObjects puts a piece of this alignment on this square, in board units
    // from the board's corner at grid point (0, 0): (x, 0, -y) for grid position (x, y).
    Vec3<double> getObjectPosition(const Object& object) const;
    // The same for the pieces whose Object::isOpaque() is `opaque` only.
    void drawObjects(bool opaque) const;
    // True when the square is drawn with alpha 1 everywhere, so that it hides what lies
    // behind it whatever the blending: textured, an opaque picture without highlight
    // showing (lit, under the material current then, which must be opaque too); otherwise
    // an opaque colour.
    bool isOpaque() const;

    std::string getClassName() const override { return getStaticClassName(); }
    static std::string getStaticClassName() { return "SQUARE"; }
    void draw() const override;
    // The quad with the square's picture under its tint: green when the pointer is over
    // it, else red when selected, else blue when an allowed destination (alpha 0.3, as
    // colour and material); the material is opaque white afterwards.
    void drawWithTexture() const override;
    // The quad in the square's colour and material; the highlight flags do not show.
    void drawWithColor() const override;
    // The quad through the corners, with normal (0, 1, 0) and texture coordinates (0, 0),
    // (0, 1), (1, 1), (1, 0) at the corners in order, replayed from one of the square's
    // display lists. Colour and material are the caller's.
    void drawQuad() const;

private:
    template <typename Filter>
    void drawObjectsWhere(Filter drawn) const;

    Coords m_Coords;
    Vec2<unsigned int> m_Size;
    Vec2<unsigned int> m_Lower;
    Vec2<unsigned int> m_Upper;
    std::vector<Object*> m_Objects;
    bool m_HighlightMouseOver;
    bool m_HighlightSelected;
    bool m_HighlightAuthorized;
    // The quad, and the same quad as two triangles for filled rendering: compiled at their
    // first draw and again after setCoords, never shared with a copy, deleted with the
    // square when their context is current.
    mutable Rendering::DisplayList m_Quad;
    mutable Rendering::DisplayList m_Triangles;
};

} // namespace Core
