#pragma once

#include <cstdint>
#include <string>

#include "core/Drawable.h"
#include "math/Vec3.h"
#include "rendering/Aabb.h"

namespace Rendering
{
class Mesh;
}

namespace Core
{

class Square;

// A piece standing on a square: a model shared through Core::MeshManager or, without
// one, a sphere of radius 0.2, drawn at the place inside its square given by its
// alignment, lifted to rest on the board and uniformly scaled. Each piece holds its model
// in the cache (a copy takes a hold of its own) and gives it back when it lets it go.
// Two drawing options, both off by default: a displacement from its place (a piece on its
// way to another square, see Core::PieceMover) and a stack of copies of its model (a
// crowned piece drawn as two), which stays one piece for picking.
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

    // A piece at `alignment` with the model of `meshFileName` ("" for none, a sphere).
    explicit Object(const ObjectAlignment& alignment = ObjectAlignment(), const std::string& meshFileName = "");
    // Copies the drawable part (fresh picking name, no metadata), parent square,
    // alignment, model with its bounding box (holding it in the cache too), scale,
    // displacement, stack and bounding-box and material-colour flags.
    Object(const Object& other);
    Object& operator=(const Object&) = delete;
    // Leaves the square it stands on and gives its model back to the cache.
    ~Object();

    // Replaces the model by the cached one of the file (loaded on its first request) and
    // measures its bounding box; "" leaves the piece without model. A file that does not
    // load gives an empty model, drawn as nothing.
    void setMesh(const std::string& meshFileName);
    // Gives the model back to the cache and empties the bounding box; nothing without one.
    void removeMesh();
    bool hasMesh() const { return m_Mesh != nullptr; }
    Rendering::Mesh* getMesh() const { return m_Mesh; }
    const Rendering::Aabb& getAabb() const { return m_Aabb; }

    void setScale(double scale) { m_Scale = scale; }
    double getScale() const { return m_Scale; }
    // Height by which the piece is lifted to rest on the board: half the model's scaled
    // height plus 0.02, or 0.076 without a model.
    double deltaTranslateY() const;
    const ObjectAlignment& getAlignment() const { return m_Alignment; }

    // Offset at which the piece is drawn from its place in its square, in board units
    // (x along the board's x, y upward, z along the board's -y), applied before the lift
    // and the scale. The piece is still picked as standing on its square. Zero by default.
    void setDisplacement(const Vec3<double>& offset) { m_Displacement = offset; }
    const Vec3<double>& getDisplacement() const { return m_Displacement; }
    // Most copies a stack holds.
    static constexpr unsigned int c_MaxStack = 64;
    // Number of copies of the model drawn one on top of the other (a draughts king is 2),
    // the lowest where a single one stands, each next one higher by the height of one
    // copy (getCopyHeight). All copies carry the piece's one picking name; the bounding box,
    // when shown, encloses the whole stack. 0 is taken as 1; 1 by default. A count above
    // c_MaxStack (-1 passed by mistake would be 4294967295 copies a frame) is refused: the
    // stack stays as it was, a line on standard output says so, and the result is false.
    bool setStack(unsigned int count);
    unsigned int getStack() const { return m_Stack; }
    // Height of one copy in board units: the model's scaled height, or the sphere's
    // scaled diameter without a model.
    double getCopyHeight() const;
    // Height of the whole stack in board units: getStack() * getCopyHeight().
    double getHeight() const { return m_Stack * getCopyHeight(); }
    void setDrawBound(bool on) { m_DrawBound = on; }
    bool getDrawBound() const { return m_DrawBound; }
    // With `on`, the model is drawn in the colours of its own materials (under the
    // piece's texture, if any), each part that has none in the piece's colour; off, as
    // every piece, in the piece's colour alone. Off by default.
    void setUseMaterialColors(bool on) { m_UseMaterialColors = on; }
    bool getUseMaterialColors() const { return m_UseMaterialColors; }
    // Set by the square's pushObject and popObject.
    void setParentSquare(Square* square) { m_ParentSquare = square; }
    Square* getParentSquare() const { return m_ParentSquare; }

    // True when the piece is drawn with alpha 1 everywhere, so that it hides what lies
    // behind it whatever the blending: in its own colour with alpha 1, or under an opaque
    // picture (Rendering::Texture::isOpaque), not in its model's material colours, and
    // with a model that brings no pictures of its own.
    bool isOpaque() const;

    std::string getClassName() const override { return "OBJECT"; }
    void draw() const override;
    // The model (and its bounding box when asked) or the sphere, lifted and scaled, in
    // white with the piece's texture.
    void drawWithTexture() const override;
    // The same in the piece's colour and material (the material is left set).
    void drawWithColor() const override;

private:
    // Displacement, lift and scale on the current transform, then every copy of the stack.
    void drawStack() const;
    // The model, or the sphere, in the current transform; a closed model's back faces
    // culled where they cannot show.
    void drawShape() const;
    // True when the model's back faces cannot show: a closed model (Mesh::isClosed) drawn
    // opaque, filled, for display, under the depth test, with counter-clockwise front
    // faces and a transform that does not mirror, culling not set up by someone else.
    bool backFacesHidden() const;

    Square* m_ParentSquare;
    ObjectAlignment m_Alignment;
    Rendering::Mesh* m_Mesh;
    Rendering::Aabb m_Aabb;
    double m_Scale;
    Vec3<double> m_Displacement;
    unsigned int m_Stack;
    bool m_DrawBound;
    bool m_UseMaterialColors;
};

} // namespace Core
