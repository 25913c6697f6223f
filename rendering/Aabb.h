#pragma once

#include "math/Vec3.h"
#include "rendering/DisplayList.h"

namespace Rendering
{

class Mesh;

// Axis-aligned bounding box of a mesh's vertex positions, in the mesh's own units. It is
// measured when the mesh is set and does not follow later changes of the mesh.
class Aabb
{
public:
    // Measures `mesh`; null gives the empty box at the origin.
    explicit Aabb(Mesh* mesh = nullptr);
    // Copies the mesh pointer and both corners; the copy compiles its lines of its own.
    Aabb(const Aabb& other);
    Aabb& operator=(const Aabb& other);

    // Stores the mesh (null allowed) and measures it.
    void setMesh(Mesh* mesh);
    // Measures the stored mesh. A mesh without vertices leaves the corners at
    // +/-3.4e38 (single precision), so its size is -6.8e38 on every axis.
    void compute();
    // No mesh; both corners at the origin.
    void reset();

    // Max - min, per axis.
    Vec3<double> getSize() const;
    const Vec3<double>& getMin() const { return m_Min; }
    const Vec3<double>& getMax() const { return m_Max; }
    Mesh* getMesh() const { return m_Mesh; }

    // Draws the twelve edges as green lines in the current transform, then leaves the
    // current colour white. The lines are replayed from a display list, compiled again
    // after the box changes.
    void draw() const;

private:
    Mesh* m_Mesh;
    Vec3<double> m_Min;
    Vec3<double> m_Max;
    // The box is drawn in the pick pass when bounds are shown, which takes its geometry
    // from lists only (see DisplayList).
    mutable DisplayList m_Lines;
};

} // namespace Rendering
