#pragma once

#include <array>
#include <string>
#include <vector>

#include "core/Drawable.h"
#include "math/Vec2.h"
#include "math/Vec3.h"
#include "math/Vec4.h"
#include "rendering/DisplayList.h"

namespace Core
{

class Object;
class Square;

// The playing board: a slab of size x by size y grid units and m_Depth thick, drawn
// centred on the origin with its top face at height 0, holding the squares (not owned),
// which hold the pieces. A square leaves the list when it is destroyed (to destroy them
// all, take the list over first). It keeps the mouse-over highlight and the orientation
// toward which the render loop turns the scene.
class Board final : public Drawable
{
public:
    // Thickness of the slab.
    static const double m_Depth;

    Board(const Vec2<unsigned int>& size, const std::vector<Square*>& squares);
    // Copies the drawable part (fresh picking name, no metadata) and every field; the
    // square pointers are shared.
    Board(const Board& other);

    const Vec2<unsigned int>& getSize() const { return m_Size; }
    std::vector<Square*>& getSquares() { return m_Squares; }
    const std::vector<Square*>& getSquares() const { return m_Squares; }

    // Degrees about the vertical axis.
    void setOrientation(float degrees) { m_Orientation = degrees; }
    float getOrientation() const { return m_Orientation; }
    const Vec4<double>& getLineColor() const { return m_LineColor; }

    void enableAutoHighlight(bool on) { m_AutoHighlight = on; }
    bool isAutoHighlightEnabled() const { return m_AutoHighlight; }
    // Moves the mouse-over highlight to `square`; null, or highlighting switched off,
    // clears it.
    void autoHighlight(Square* square);
    Square* getHighlightedSquare() const { return m_HighlightedSquare; }
    // Clears the selected and allowed-destination flags of every square.
    void clearHighlight();
    // Takes the square out of the list (every occurrence) and out of the highlight; a
    // square being destroyed is removed from every board this way.
    void removeSquare(Square* square);

    // Takes the piece off `from` and puts it on `to`; false (and nothing changed) when
    // the piece is not on `from`.
    static bool moveObject(Object* object, Square* from, Square* to);

    void setDrawObjectsBounds(bool on);

    std::string getClassName() const override { return getStaticClassName(); }
    static std::string getStaticClassName() { return "BOARD"; }
    // Slab, edge lines, every square, then every piece.
    void draw() const override;
    // The picture of draw() in an order that leaves less to shade: the opaque pieces
    // (Object::isOpaque), the opaque squares (Square::isOpaque), then the slab, whose
    // hidden parts fail the depth test, and its edges, all with blending off; last, with
    // blending as found, the other squares (the highlighted ones, and a textured one lit
    // by a translucent material left by the square before it) and pieces in draw()'s
    // order, over what lies behind them (a translucent piece in front of an opaque one
    // listed after it shows that one through, which draw() hides). Each square is lit as
    // draw() lights it. Drawn as
    // draw() when the order could show: the depth test off, not less (or less-or-equal)
    // or not written, a slab without opaque picture, or a piece with a texture (lit by
    // whatever was drawn before it). The frame draws the board this way; picking keeps
    // draw(). Blending is as found afterwards.
    void drawOpaqueFirst() const;
    // The slab alone with the board's picture stretched over each face, under an opaque
    // white material, with each face's normal.
    void drawWithTexture() const override;
    // The slab alone, in the board's colour, with no normal or material of its own.
    void drawWithColor() const override;
    // The slab's 24 face-corner vertices, four per face, without glBegin/glEnd.
    void drawPoints() const;
    // The slab's six faces (positions only), replayed from one of the board's display lists.
    void drawSlab() const;
    // The slab's six faces with their normals and texture coordinates (0, 0), (1, 0),
    // (1, 1), (0, 1) at each face's corners in order, replayed from a display list.
    void drawTexturedSlab() const;
    // The slab's edge lines (the 24 points taken pairwise), replayed from a display list.
    void drawEdges() const;

private:
    // Whether drawOpaqueFirst gives draw()'s picture in the current OpenGL state.
    bool canDrawOpaqueFirst() const;
    // The material that draw() leaves current before the square at `index` of the list:
    // null for opaque white, else the colour of the square before.
    const Vec4<double>* materialBefore(size_t index) const;
    void applyMaterialBefore(size_t index) const;
    // Whether the square at `index`, lit as draw() lights it, hides what lies behind it.
    bool squareIsOpaque(size_t index) const;
    // The 24 points of drawPoints, in order.
    std::array<Vec3<double>, 24> slabCorners() const;

    Vec2<unsigned int> m_Size;
    float m_Orientation;
    std::vector<Square*> m_Squares;
    Vec4<double> m_LineColor;
    bool m_AutoHighlight;
    Square* m_HighlightedSquare;
    // The slab as quads and as triangles for filled rendering, plain and textured, and
    // the edge lines: compiled at their first draw (the size never changes), never shared
    // with a copy, deleted with the board when their context is current.
    mutable Rendering::DisplayList m_Slab;
    mutable Rendering::DisplayList m_SlabTriangles;
    mutable Rendering::DisplayList m_TexturedSlab;
    mutable Rendering::DisplayList m_TexturedSlabTriangles;
    mutable Rendering::DisplayList m_Edges;
};

} // namespace Core
