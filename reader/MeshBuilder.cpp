#include "reader/MeshBuilder.h"

#include <GL/gl.h>

#include <algorithm>

#include "rendering/Geometry.h"
#include "rendering/Mesh.h"
#include "rendering/Primitive.h"

namespace Reader
{

namespace
{
// Entries of each array that 16-bit indices reach.
constexpr std::size_t c_MaxEntries = 65536;

std::size_t faceSize(unsigned int mode)
{
    return mode == GL_TRIANGLES ? 3 : mode == GL_LINES ? 2 : 1;
}
} // namespace

MeshBuilder::MeshBuilder(const std::vector<Vec3<double>>& positions, const std::vector<Vec3<double>>& normals,
                         const std::vector<Vec2<double>>& texCoords)
    : m_Positions(positions),
      m_Normals(normals),
      m_TexCoords(texCoords),
      m_PositionSlots(positions.size()),
      m_NormalSlots(normals.size()),
      m_TexCoordSlots(texCoords.size())
{
}

void MeshBuilder::build(const std::vector<Batch>& batches, Missing missing, Rendering::Mesh& mesh)
{
    bool compute = false;
    std::vector<bool> textured(batches.size(), true);
    for (std::size_t b = 0; b < batches.size(); ++b)
        for (const Corner& corner : batches[b].corners) {
            compute = compute || corner.normal == c_None;
            textured[b] = textured[b] && corner.texCoord != c_None;
        }

    Rendering::Geometry* geometry = nullptr;
    std::vector<Rendering::Primitive*> primitives(batches.size(), nullptr);
    std::size_t faces = 0;
    auto start = [&] {
        if (geometry && compute)
            geometry->computeNormals();
        geometry = new Rendering::Geometry;
        mesh.addGeometry(geometry);
        std::fill(primitives.begin(), primitives.end(), nullptr);
        faces = 0;
        if (++m_Stamp == 0) {
            for (std::vector<Slot>* slots : {&m_PositionSlots, &m_NormalSlots, &m_TexCoordSlots})
                std::fill(slots->begin(), slots->end(), Slot());
            m_Stamp = 1;
        }
    };
    // The geometry's local index of a source entry, appending the entry on first use.
    auto local = [this](std::vector<Slot>& slots, std::uint32_t index, auto& array, const auto& value) {
        Slot& slot = slots[index];
        if (slot.stamp != m_Stamp) {
            slot.stamp = m_Stamp;
            slot.local = static_cast<std::uint16_t>(array.size());
            array.push_back(value);
        }
        return slot.local;
    };
    // Entries a face would add to an array of the current geometry (corners repeated within
    // the face are counted each time: the bound only has to hold).
    auto fresh = [this](const std::vector<Slot>& slots, const Corner* corners, std::size_t size,
                        std::uint32_t Corner::*field) {
        std::size_t count = 0;
        for (std::size_t k = 0; k < size; ++k)
            count += slots[corners[k].*field].stamp != m_Stamp;
        return count;
    };

    for (std::size_t b = 0; b < batches.size(); ++b) {
        const Batch& batch = batches[b];
        const std::size_t size = faceSize(batch.mode);
        for (std::size_t first = 0; first + size <= batch.corners.size(); first += size) {
            const Corner* corners = &batch.corners[first];
            bool inside = true;
            for (std::size_t k = 0; k < size; ++k)
                inside = inside && corners[k].position < m_Positions.size() &&
                         (compute || corners[k].normal < m_Normals.size()) &&
                         (!textured[b] || corners[k].texCoord < m_TexCoords.size());
            if (!inside) {
                ++m_Dropped;
                continue;
            }
            if (!geometry ||
                geometry->getVertexArray().size() + fresh(m_PositionSlots, corners, size, &Corner::position) >
                    c_MaxEntries ||
                (!compute &&
                 geometry->getNormalArray().size() + fresh(m_NormalSlots, corners, size, &Corner::normal) >
                     c_MaxEntries) ||
                (textured[b] &&
                 geometry->getTexCoordArray().size() + fresh(m_TexCoordSlots, corners, size, &Corner::texCoord) >
                     c_MaxEntries) ||
                (compute && faces == c_MaxEntries))
                start();
            Rendering::Primitive*& primitive = primitives[b];
            if (!primitive) {
                primitive = new Rendering::Primitive;
                primitive->setAssociateGeometry(geometry);
                primitive->setPrimitiveType(batch.mode);
                primitive->setTexture(batch.texture);
                if (batch.hasMaterial)
                    primitive->setMaterial(batch.material);
                geometry->addPrimitive(primitive);
            }
            for (std::size_t k = 0; k < size; ++k) {
                primitive->getVertexIndicesArray().push_back(
                    local(m_PositionSlots, corners[k].position, geometry->getVertexArray(),
                          m_Positions[corners[k].position]));
                if (!compute) {
                    // Stored as the primitive emits it: s goes to OpenGL as (s.x, -s.z, s.y).
                    const Vec3<double>& n = m_Normals[corners[k].normal];
                    primitive->getNormalIndicesArray().push_back(local(
                        m_NormalSlots, corners[k].normal, geometry->getNormalArray(), Vec3<double>(n.x(), n.z(), -n.y())));
                }
                if (textured[b])
                    primitive->getTexturesIndicesArray().push_back(local(
                        m_TexCoordSlots, corners[k].texCoord, geometry->getTexCoordArray(), m_TexCoords[corners[k].texCoord]));
            }
            if (compute && missing == Missing::Smooth && size == 3)
                primitive->getSmoothingGroupsArray().push_back(1u);
            ++faces;
        }
    }
    if (geometry && compute)
        geometry->computeNormals();
}

} // namespace Reader
