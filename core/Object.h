#pragma once

#include <cstdint>
#include <string>

#include "core/Drawable.h"

namespace Core
{

class Square;

// A piece standing on a square, drawn as a sphere of radius 0.2 times its scale, lifted
// to rest on the board, at the place inside its square given by its alignment.
class Object final : public Drawable
{
public:
    // Where inside its square the piece stands.
    struct ObjectAlignment
    {
        enum Vertical : std::uint32_t
        {
            Top = 0,    // 5/6 of the square's y extent from its lower edge
            Bottom = 1, // 1/6
            VCenter = 2 // 1/2
        };
        enum Horizontal : std::uint32_t
        {
            Left = 0,   // 1/6 of the square's x extent from its left edge
            Right = 1,  // 5/6
            HCenter = 2 // 1/2
        };

        // Centre, centre.
        ObjectAlignment() : m_Vertical(VCenter), m_Horizontal(HCenter) {}
        ObjectAlignment(Vertical vertical, Horizontal horizontal) : m_Vertical(vertical), m_Horizontal(horizontal) {}

        Vertical m_Vertical;
        Horizontal m_Horizontal;
    };

    explicit Object(const ObjectAlignment& alignment = ObjectAlignment());
    // Copies the drawable part (fresh picking name, no metadata), parent square,
    // alignment, scale and bounding-box flag.
    Object(const Object& other);
    // Leaves the square it stands on.
    ~Object();

    void setScale(double scale) { m_Scale = scale; }
    double getScale() const { return m_Scale; }
    // Height by which the piece is lifted to rest on the board.
    double deltaTranslateY() const;
    const ObjectAlignment& getAlignment() const { return m_Alignment; }
    void setDrawBound(bool on) { m_DrawBound = on; }
    bool getDrawBound() const { return m_DrawBound; }
    // Set by the square's pushObject and popObject.
    void setParentSquare(Square* square) { m_ParentSquare = square; }
    Square* getParentSquare() const { return m_ParentSquare; }

    std::string getClassName() const override { return "OBJECT"; }
    void draw() const override;
    void drawWithColor() const override;

private:
    Square* m_ParentSquare;
    ObjectAlignment m_Alignment;
    double m_Scale;
    bool m_DrawBound;
};

} // namespace Core
