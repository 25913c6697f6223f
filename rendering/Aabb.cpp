#include "rendering/Aabb.h"

#include <GL/gl.h>

#include "rendering/Geometry.h"
#include "rendering/Mesh.h"

namespace Rendering
{

namespace
{
// The largest single-precision value, the start of every search.
const double c_Far = static_cast<double>(3.4e38f);
} // namespace

Aabb::Aabb(Mesh* mesh) : m_Mesh(mesh), m_Min(0.0, 0.0, 0.0), m_Max(0.0, 0.0, 0.0)
{
    compute();
}

Aabb::Aabb(const Aabb& other) : m_Mesh(other.m_Mesh), m_Min(other.m_Min), m_Max(other.m_Max) {}

Aabb& Aabb::operator=(const Aabb& other)
{
    m_Mesh = other.m_Mesh;
    m_Min = other.m_Min;
    m_Max = other.m_Max;
    m_Lines.invalidate();
    return *this;
}

void Aabb::setMesh(Mesh* mesh)
{
    m_Mesh = mesh;
    compute();
}

void Aabb::compute()
{
    if (!m_Mesh) {
        reset();
        return;
    }
    m_Lines.invalidate();
    m_Min = Vec3<double>(c_Far, c_Far, c_Far);
    m_Max = Vec3<double>(-c_Far, -c_Far, -c_Far);
    for (const Geometry* geometry : m_Mesh->getGeometries())
        for (const Vec3<double>& v : geometry->getVertexArray())
            for (int axis = 0; axis < 3; ++axis) {
                const double value = v.ptr()[axis];
                if (m_Min.ptr()[axis] > value)
                    m_Min.ptr()[axis] = value;
                if (value > m_Max.ptr()[axis])
                    m_Max.ptr()[axis] = value;
            }
}

void Aabb::reset()
{
    m_Mesh = nullptr;
    m_Max = Vec3<double>(0.0, 0.0, 0.0);
    m_Min = m_Max;
    m_Lines.invalidate();
}

Vec3<double> Aabb::getSize() const
{
    return m_Max - m_Min;
}

void Aabb::draw() const
{
    glPushMatrix();
    glColor3d(0.0, 1.0, 0.0);
    m_Lines.draw([this] {
        const Vec3<double>& n = m_Min;
        const Vec3<double>& x = m_Max;
        const double loops[4][4][3] = {
            {{n.x(), n.y(), n.z()}, {x.x(), n.y(), n.z()}, {x.x(), x.y(), n.z()}, {n.x(), x.y(), n.z()}},
            {{n.x(), n.y(), x.z()}, {x.x(), n.y(), x.z()}, {x.x(), x.y(), x.z()}, {n.x(), x.y(), x.z()}},
            {{n.x(), n.y(), n.z()}, {n.x(), n.y(), x.z()}, {n.x(), x.y(), x.z()}, {n.x(), x.y(), n.z()}},
            {{x.x(), n.y(), n.z()}, {x.x(), n.y(), x.z()}, {x.x(), x.y(), x.z()}, {x.x(), x.y(), n.z()}},
        };
        // Each loop as its four segments: Mesa 22.3 crashes replaying a list of line
        // loops in feedback mode.
        glBegin(GL_LINES);
        for (const auto& loop : loops)
            for (int i = 0; i < 4; ++i) {
                glVertex3dv(loop[i]);
                glVertex3dv(loop[(i + 1) % 4]);
            }
        glEnd();
    });
    glColor3d(1.0, 1.0, 1.0);
    glPopMatrix();
}

} // namespace Rendering
