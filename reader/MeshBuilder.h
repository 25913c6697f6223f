#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "math/Vec2.h"
#include "math/Vec3.h"
#include "rendering/Material.h"

namespace Rendering
{
class Mesh;
class Texture;
} // namespace Rendering

namespace Reader
{

// Turns faces that index arrays of any length with 32-bit indices into the geometries of
// a mesh, whose primitives hold 16-bit indices: a new geometry starts whenever one more
// face would take an array past 65,536 entries, and each geometry holds only the entries
// its faces use. The glTF and OBJ readers hand their faces here.
class MeshBuilder
{
public:
    static constexpr std::uint32_t c_None = 0xFFFFFFFFu;

    // One corner of a face: indices into the positions, normals and texture coordinates;
    // c_None where the corner has none.
    struct Corner
    {
        std::uint32_t position;
        std::uint32_t normal;
        std::uint32_t texCoord;
    };

    // How a primitive is drawn: its material, if any, and its texture (null for none).
    struct Look
    {
        bool hasMaterial = false;
        Rendering::Material material;
        Rendering::Texture* texture = nullptr;
    };

    // Faces of one begin mode (GL_POINTS, GL_LINES or GL_TRIANGLES) drawn in one look:
    // corners, face after face.
    struct Batch
    {
        unsigned int mode;
        std::vector<Corner> corners;
        Look look;
    };

    // Vertex numbers read where they lie: `count` unsigned integers of `width` bytes (1, 2
    // or 4, in the machine's byte order) `stride` bytes apart from `base`. With `turned`,
    // each triangle's second and third corners are swapped (its face seen from the other
    // side); only for GL_TRIANGLES.
    struct Indices
    {
        const unsigned char* base = nullptr;
        std::size_t count = 0;
        std::size_t stride = 4;
        unsigned width = 4;
        bool turned = false;

        static Indices of(const std::vector<std::uint32_t>& values)
        {
            return {reinterpret_cast<const unsigned char*>(values.data()), values.size(), 4, 4, false};
        }
        std::uint32_t operator[](std::size_t i) const;
        // The first n numbers (n <= count) as 16-bit indices, each number cut to its low 16
        // bits; returns the highest number (0 for none).
        std::uint32_t copyTo(unsigned short* out, std::size_t n) const;
    };

    // How the normals of triangles are made when not every corner has one: each face flat,
    // or smoothed with the faces around each vertex (Rendering::Geometry::computeNormals).
    enum class Missing
    {
        Flat,
        Smooth
    };

    // The engine's stored form of a normal meant to reach OpenGL as `n`: a primitive emits
    // a stored normal s as (s.x, -s.z, s.y).
    static Vec3<double> stored(const Vec3<double>& n) { return Vec3<double>(n.x(), n.z(), -n.y()); }

    // The arrays the corners index. Normals are as OpenGL should receive them; they are
    // stored in the geometries in the engine's form.
    MeshBuilder(const std::vector<Vec3<double>>& positions, const std::vector<Vec3<double>>& normals,
                const std::vector<Vec2<double>>& texCoords);

    // Appends the batches' faces to `mesh` as new geometries (one primitive per batch and
    // geometry). A face with an index outside its array is left out and counted. When a
    // batch has a corner without normal, the normals of all its geometries are computed.
    void build(const std::vector<Batch>& batches, Missing missing, Rendering::Mesh& mesh);
    // Faces left out so far for an index outside its array.
    std::size_t droppedFaces() const { return m_Dropped; }

    // The same for faces whose corners index positions, normals and texture coordinates
    // alike (`normals` and `texCoords` are used when they are as long as `positions`, and
    // are then moved into the mesh with them when they fit one geometry). Here the normals
    // are already in the engine's form (stored()). Returns the number of faces left out.
    static std::size_t buildShared(unsigned int mode, const Indices& corners,
                                   std::vector<Vec3<double>>&& positions, std::vector<Vec3<double>>&& normals,
                                   std::vector<Vec2<double>>&& texCoords, const Look& look, Missing missing,
                                   Rendering::Mesh& mesh);

private:
    // Local index of a source entry in the geometry being filled, by source index; an entry
    // belongs to the current geometry when its stamp is the geometry's number.
    struct Slot
    {
        std::uint32_t stamp = 0;
        std::uint16_t local = 0;
    };

    const std::vector<Vec3<double>>& m_Positions;
    const std::vector<Vec3<double>>& m_Normals;
    const std::vector<Vec2<double>>& m_TexCoords;
    std::vector<Slot> m_PositionSlots;
    std::vector<Slot> m_NormalSlots;
    std::vector<Slot> m_TexCoordSlots;
    std::uint32_t m_Stamp = 0;
    std::size_t m_Dropped = 0;
};

} // namespace Reader
