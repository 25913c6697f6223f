#include "reader/MeshBuilder.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstring>
#include <utility>

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

Rendering::Primitive* newPrimitive(Rendering::Geometry* geometry, unsigned int mode, const MeshBuilder::Look& look)
{
    auto* primitive = new Rendering::Primitive;
    primitive->setAssociateGeometry(geometry);
    primitive->setPrimitiveType(mode);
    primitive->setTexture(look.texture);
    if (look.hasMaterial)
        primitive->setMaterial(look.material);
    geometry->addPrimitive(primitive);
    return primitive;
}

// Gives the primitive's other index lists the vertex indices, or computes the normals.
void finishShared(Rendering::Geometry* geometry, Rendering::Primitive* primitive, bool normals, bool texCoords,
                  MeshBuilder::Missing missing)
{
    const std::vector<unsigned short>& indices = primitive->getVertexIndicesArray();
    if (texCoords)
        primitive->getTexturesIndicesArray() = indices;
    if (normals) {
        primitive->getNormalIndicesArray() = indices;
        return;
    }
    if (missing == MeshBuilder::Missing::Smooth && primitive->getFaceSize() == 3)
        primitive->getSmoothingGroupsArray().assign(indices.size() / 3, 1u);
    geometry->computeNormals();
}
// Numbers of type T, `stride` bytes apart, cut to 16 bits; returns the highest.
template <typename T, std::size_t Stride>
std::uint32_t copyNumbers(const unsigned char* __restrict base, std::size_t stride, std::size_t n,
                          unsigned short* __restrict out)
{
    const std::size_t step = Stride ? Stride : stride;
    std::uint32_t highest = 0;
    std::size_t i = 0;
    // Blocks of a fixed length, which the compiler makes wide when the stride is known.
    constexpr std::size_t c_Block = 16;
    for (; i + c_Block <= n; i += c_Block) {
        std::uint32_t blockHighest = 0;
        for (std::size_t k = 0; k < c_Block; ++k) {
            T v;
            std::memcpy(&v, base + (i + k) * step, sizeof v);
            blockHighest = std::max<std::uint32_t>(blockHighest, v);
            out[i + k] = static_cast<unsigned short>(v);
        }
        highest = std::max(highest, blockHighest);
    }
    for (; i < n; ++i) {
        T v;
        std::memcpy(&v, base + i * step, sizeof v);
        highest = std::max<std::uint32_t>(highest, v);
        out[i] = static_cast<unsigned short>(v);
    }
    return highest;
}

// The same, in a loop the compiler makes wide when the numbers lie side by side.
template <typename T>
std::uint32_t copyNumbers(const unsigned char* __restrict base, std::size_t stride, std::size_t n,
                          unsigned short* __restrict out)
{
    return stride == sizeof(T) ? copyNumbers<T, sizeof(T)>(base, stride, n, out)
                               : copyNumbers<T, 0>(base, stride, n, out);
}
} // namespace

std::uint32_t MeshBuilder::Indices::operator[](std::size_t i) const
{
    if (turned)
        i = i % 3 == 1 ? i + 1 : i % 3 == 2 ? i - 1 : i;
    const unsigned char* at = base + i * stride;
    if (width == 1)
        return *at;
    if (width == 2) {
        std::uint16_t v;
        std::memcpy(&v, at, sizeof v);
        return v;
    }
    std::uint32_t v;
    std::memcpy(&v, at, sizeof v);
    return v;
}

std::uint32_t MeshBuilder::Indices::copyTo(unsigned short* out, std::size_t n) const
{
    const std::uint32_t highest = width == 1   ? copyNumbers<std::uint8_t>(base, stride, n, out)
                                  : width == 2 ? copyNumbers<std::uint16_t>(base, stride, n, out)
                                               : copyNumbers<std::uint32_t>(base, stride, n, out);
    if (turned)
        for (std::size_t i = 0; i + 2 < n; i += 3)
            std::swap(out[i + 1], out[i + 2]);
    return highest;
}

std::size_t MeshBuilder::buildShared(unsigned int mode, const Indices& corners,
                                     std::vector<Vec3<double>>&& positions, std::vector<Vec3<double>>&& normals,
                                     std::vector<Vec2<double>>&& texCoords, const Look& look, Missing missing,
                                     Rendering::Mesh& mesh)
{
    const std::size_t count = positions.size();
    const bool hasNormals = normals.size() == count;
    const bool hasTexCoords = texCoords.size() == count;
    const std::size_t size = faceSize(mode);
    std::size_t dropped = 0;
    auto inside = [&](std::size_t first) {
        for (std::size_t k = 0; k < size; ++k)
            if (corners[first + k] >= count)
                return false;
        return true;
    };

    if (count <= c_MaxEntries) {
        // One geometry takes the arrays as they are.
        auto* geometry = new Rendering::Geometry;
        mesh.addGeometry(geometry);
        geometry->getVertexArray() = std::move(positions);
        if (hasNormals)
            geometry->getNormalArray() = std::move(normals);
        if (hasTexCoords)
            geometry->getTexCoordArray() = std::move(texCoords);
        Rendering::Primitive* primitive = newPrimitive(geometry, mode, look);
        std::vector<unsigned short>& indices = primitive->getVertexIndicesArray();
        const std::size_t used = corners.count - corners.count % size;
        indices.resize(used);
        // The indices as they are, unless a face lies outside.
        if (corners.copyTo(indices.data(), used) >= count) {
            std::size_t filled = 0;
            for (std::size_t first = 0; first + size <= used; first += size) {
                if (!inside(first)) {
                    ++dropped;
                    continue;
                }
                for (std::size_t k = 0; k < size; ++k)
                    indices[filled++] = static_cast<unsigned short>(corners[first + k]);
            }
            indices.resize(filled);
        }
        finishShared(geometry, primitive, hasNormals, hasTexCoords, missing);
        return dropped;
    }

    // Split: each geometry holds the vertices its faces use, numbered as they come.
    std::vector<Slot> slots(count);
    std::uint32_t stamp = 0;
    Rendering::Geometry* geometry = nullptr;
    Rendering::Primitive* primitive = nullptr;
    std::size_t faces = 0;
    for (std::size_t first = 0; first + size <= corners.count; first += size) {
        if (!inside(first)) {
            ++dropped;
            continue;
        }
        std::size_t fresh = 0;
        for (std::size_t k = 0; k < size; ++k)
            fresh += slots[corners[first + k]].stamp != stamp;
        if (!geometry || geometry->getVertexArray().size() + fresh > c_MaxEntries ||
            (!hasNormals && faces == c_MaxEntries)) {
            if (geometry)
                finishShared(geometry, primitive, hasNormals, hasTexCoords, missing);
            geometry = new Rendering::Geometry;
            mesh.addGeometry(geometry);
            geometry->getVertexArray().reserve(c_MaxEntries);
            geometry->getNormalArray().reserve(hasNormals ? c_MaxEntries : 0);
            geometry->getTexCoordArray().reserve(hasTexCoords ? c_MaxEntries : 0);
            primitive = newPrimitive(geometry, mode, look);
            ++stamp;
            faces = 0;
        }
        for (std::size_t k = 0; k < size; ++k) {
            const std::uint32_t v = corners[first + k];
            Slot& slot = slots[v];
            if (slot.stamp != stamp) {
                slot.stamp = stamp;
                slot.local = static_cast<std::uint16_t>(geometry->getVertexArray().size());
                geometry->getVertexArray().push_back(positions[v]);
                if (hasNormals)
                    geometry->getNormalArray().push_back(normals[v]);
                if (hasTexCoords)
                    geometry->getTexCoordArray().push_back(texCoords[v]);
            }
            primitive->getVertexIndicesArray().push_back(slot.local);
        }
        ++faces;
    }
    if (geometry)
        finishShared(geometry, primitive, hasNormals, hasTexCoords, missing);
    return dropped;
}

MeshBuilder::MeshBuilder(const std::vector<Vec3<double>>& positions, const std::vector<Vec3<double>>& normals,
                         const std::vector<Vec2<double>>& texCoords)
    : m_Positions(positions), m_Normals(normals), m_TexCoords(texCoords), m_PositionSlots(positions.size()),
      m_NormalSlots(normals.size()), m_TexCoordSlots(texCoords.size())
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
                (!compute && geometry->getNormalArray().size() + fresh(m_NormalSlots, corners, size, &Corner::normal) >
                                 c_MaxEntries) ||
                (textured[b] &&
                 geometry->getTexCoordArray().size() + fresh(m_TexCoordSlots, corners, size, &Corner::texCoord) >
                     c_MaxEntries) ||
                (compute && faces == c_MaxEntries))
                start();
            Rendering::Primitive*& primitive = primitives[b];
            if (!primitive)
                primitive = newPrimitive(geometry, batch.mode, batch.look);
            for (std::size_t k = 0; k < size; ++k) {
                primitive->getVertexIndicesArray().push_back(local(m_PositionSlots, corners[k].position,
                                                                   geometry->getVertexArray(),
                                                                   m_Positions[corners[k].position]));
                if (!compute) {
                    primitive->getNormalIndicesArray().push_back(local(m_NormalSlots, corners[k].normal,
                                                                       geometry->getNormalArray(),
                                                                       stored(m_Normals[corners[k].normal])));
                }
                if (textured[b])
                    primitive->getTexturesIndicesArray().push_back(local(m_TexCoordSlots, corners[k].texCoord,
                                                                         geometry->getTexCoordArray(),
                                                                         m_TexCoords[corners[k].texCoord]));
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
