#pragma once

#include <vector>

#include "math/Vec2.h"
#include "math/Vec3.h"

namespace Rendering
{

class Primitive;

// One object of a model: vertex positions, normals, texture coordinates and colours, and
// the primitives that index them. It owns its primitives.
class Geometry
{
public:
    Geometry();
    Geometry(const Geometry&) = delete;
    Geometry& operator=(const Geometry&) = delete;
    // Destroys every primitive.
    ~Geometry();

    // The geometry's own arrays, to fill and to read.
    std::vector<Vec3<double>>& getVertexArray() { return m_Vertices; }
    std::vector<Vec3<double>>& getNormalArray() { return m_Normals; }
    std::vector<Vec2<double>>& getTexCoordArray() { return m_TexCoords; }
    std::vector<Vec3<double>>& getColorArray() { return m_Colors; }
    const std::vector<Vec3<double>>& getVertexArray() const { return m_Vertices; }
    const std::vector<Vec3<double>>& getNormalArray() const { return m_Normals; }
    const std::vector<Vec2<double>>& getTexCoordArray() const { return m_TexCoords; }
    const std::vector<Vec3<double>>& getColorArray() const { return m_Colors; }

    // Appends a primitive; the geometry takes ownership.
    void addPrimitive(Primitive* primitive);
    // Takes a primitive back out of the list without destroying it; prints "Unkown
    // primitive to remove." and changes nothing when it is not in the list.
    void removePrimitive(Primitive* primitive);
    const std::vector<Primitive*>& getPrimitives() const { return m_Primitives; }

    // Replaces the normals by ones computed from the faces of the triangle and quad
    // primitives, as lighting needs them where a file gives none: each face corner gets
    // the face's normal, smoothed (weighted by the angle at the corner) with the faces
    // around the same vertex that share one of its smoothing groups. Faces with no group
    // stay flat. Normals point to the side from which the face's corners run
    // counter-clockwise. Other primitives get no normals. Should the 16-bit normal
    // indices not suffice, every vertex gets one normal smoothed over all its faces.
    void computeNormals();

    // Compiles every primitive, in order (the context must be current).
    void initDisplayList();
    // Draws every primitive, in order.
    void draw();
    // Draws every primitive in its own material (Primitive::drawWithMaterial).
    void drawWithMaterials();
    // Marks every primitive's list as changed, after the arrays were changed in place.
    void invalidate();

private:
    struct Face;
    // Normals for the faces' corners; false when they would need more than 16-bit indices.
    bool smoothFaces(const std::vector<Face>& faces, bool acrossAllGroups);

    std::vector<Primitive*> m_Primitives;
    std::vector<Vec3<double>> m_Vertices;
    std::vector<Vec3<double>> m_Normals;
    std::vector<Vec2<double>> m_TexCoords;
    std::vector<Vec3<double>> m_Colors;
};

} // namespace Rendering
