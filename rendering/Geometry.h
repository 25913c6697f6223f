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

    // Compiles every primitive, in order (the context must be current).
    void initDisplayList();
    // Draws every primitive, in order.
    void draw();

private:
    std::vector<Primitive*> m_Primitives;
    std::vector<Vec3<double>> m_Vertices;
    std::vector<Vec3<double>> m_Normals;
    std::vector<Vec2<double>> m_TexCoords;
    std::vector<Vec3<double>> m_Colors;
};

} // namespace Rendering
