#include "rendering/Geometry.h"

#include "core/MessageText.h"
#include "core/Messages.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

#include "rendering/Primitive.h"

namespace Rendering
{

namespace
{
// More different group sets than this at one vertex are not smoothed (each such corner
// keeps its face's normal), so that no file makes the work grow with the square of the
// faces around a vertex.
constexpr std::size_t c_GroupSetsPerVertex = 64;
constexpr std::size_t c_MaxNormals = 65536;

Vec3<double> cross(const Vec3<double>& a, const Vec3<double>& b)
{
    return Vec3<double>(a.y() * b.z() - a.z() * b.y(), a.z() * b.x() - a.x() * b.z(), a.x() * b.y() - a.y() * b.x());
}

double dot(const Vec3<double>& a, const Vec3<double>& b)
{
    return a.x() * b.x() + a.y() * b.y() + a.z() * b.z();
}

// Newell's normal of the face's polygon, unit length (zero without area).
Vec3<double> faceNormal(const std::vector<Vec3<double>>& vertices, const std::vector<unsigned short>& indices,
                        std::size_t first, std::size_t size)
{
    Vec3<double> n(0.0, 0.0, 0.0);
    for (std::size_t i = 0; i < size; ++i)
        n = n + cross(vertices[indices[first + i]], vertices[indices[first + (i + 1) % size]]);
    n.normalize();
    return n;
}

// The stored form of a normal meant to reach OpenGL as `n`: a primitive emits a stored
// normal s as (s.x, -s.z, s.y).
Vec3<double> stored(const Vec3<double>& n)
{
    return Vec3<double>(n.x(), n.z(), -n.y());
}
} // namespace

// What lighting needs of one face for its corners' normals.
struct Geometry::Face
{
    Primitive* primitive;
    std::size_t first; // position of its first corner in the primitive's index lists
    std::size_t size;  // corners
    std::uint32_t groups;
    Vec3<double> normal; // unit, or zero for a face without area

    // The angle of the face at its corner k.
    double cornerAngle(const std::vector<Vec3<double>>& vertices, std::size_t k) const
    {
        const std::vector<unsigned short>& indices = primitive->getVertexIndicesArray();
        const Vec3<double>& p = vertices[indices[first + k]];
        Vec3<double> a = vertices[indices[first + (k + 1) % size]] - p;
        Vec3<double> b = vertices[indices[first + (k + size - 1) % size]] - p;
        a.normalize();
        b.normalize();
        return std::acos(std::max(-1.0, std::min(1.0, dot(a, b))));
    }
};

void Geometry::computeNormals()
{
    m_Normals.clear();
    std::vector<Face> faces;
    for (Primitive* primitive : m_Primitives) {
        std::vector<unsigned short>& normalIndices = primitive->getNormalIndicesArray();
        normalIndices.clear();
        const std::size_t size = primitive->getFaceSize();
        if (size < 3)
            continue;
        const std::vector<unsigned short>& indices = primitive->getVertexIndicesArray();
        const std::vector<std::uint32_t>& groups = primitive->getSmoothingGroupsArray();
        normalIndices.assign(indices.size(), 0);
        for (std::size_t first = 0; first + size <= indices.size(); first += size) {
            const auto end = indices.begin() + static_cast<std::ptrdiff_t>(first + size);
            // A face with a vertex outside the array is not drawn; its corners keep index 0.
            if (std::any_of(indices.begin() + static_cast<std::ptrdiff_t>(first), end,
                            [&](unsigned short i) { return i >= m_Vertices.size(); }))
                continue;
            const std::size_t number = first / size;
            faces.push_back({primitive, first, size, number < groups.size() ? groups[number] : 0u,
                             faceNormal(m_Vertices, indices, first, size)});
        }
    }
    if (!smoothFaces(faces, false))
        smoothFaces(faces, true);
    if (m_Normals.empty())
        for (Primitive* primitive : m_Primitives)
            primitive->getNormalIndicesArray().clear();
    invalidate();
}

bool Geometry::smoothFaces(const std::vector<Face>& faces, bool acrossAllGroups)
{
    m_Normals.clear();
    const Vec3<double> up(0.0, 1.0, 0.0);
    auto smooth = [&](const Face& face) { return acrossAllGroups || face.groups != 0; };
    // Flat faces: one normal for all their corners.
    for (const Face& face : faces) {
        if (smooth(face))
            continue;
        if (m_Normals.size() == c_MaxNormals)
            return false;
        const auto index = static_cast<unsigned short>(m_Normals.size());
        m_Normals.push_back(stored(face.normal.length2() > 0.0 ? face.normal : up));
        std::fill_n(face.primitive->getNormalIndicesArray().begin() + static_cast<std::ptrdiff_t>(face.first),
                    face.size, index);
    }
    // The corners of smoothed faces, by vertex.
    std::vector<std::size_t> start(m_Vertices.size() + 1, 0);
    for (const Face& face : faces)
        if (smooth(face))
            for (std::size_t k = 0; k < face.size; ++k)
                ++start[face.primitive->getVertexIndicesArray()[face.first + k] + 1];
    for (std::size_t v = 0; v < m_Vertices.size(); ++v)
        start[v + 1] += start[v];
    std::vector<std::pair<const Face*, std::size_t>> corners(start.back());
    std::vector<std::size_t> fill(start.begin(), start.end() - 1);
    for (const Face& face : faces)
        if (smooth(face))
            for (std::size_t k = 0; k < face.size; ++k)
                corners[fill[face.primitive->getVertexIndicesArray()[face.first + k]]++] = {&face, k};

    std::vector<std::pair<std::uint32_t, unsigned short>> sets;
    for (std::size_t v = 0; v < m_Vertices.size(); ++v) {
        sets.clear();
        for (std::size_t c = start[v]; c < start[v + 1]; ++c) {
            const Face& face = *corners[c].first;
            const std::uint32_t groups = acrossAllGroups ? ~0u : face.groups;
            auto known = std::find_if(sets.begin(), sets.end(), [&](const auto& set) { return set.first == groups; });
            unsigned short index;
            if (known != sets.end()) {
                index = known->second;
            } else {
                if (m_Normals.size() == c_MaxNormals)
                    return false;
                Vec3<double> sum(0.0, 0.0, 0.0);
                if (sets.size() < c_GroupSetsPerVertex)
                    for (std::size_t o = start[v]; o < start[v + 1]; ++o) {
                        const Face& other = *corners[o].first;
                        if (acrossAllGroups || (other.groups & groups) != 0)
                            sum = sum + other.normal * other.cornerAngle(m_Vertices, corners[o].second);
                    }
                sum.normalize();
                if (sum.length2() == 0.0)
                    sum = face.normal.length2() > 0.0 ? face.normal : up;
                // Group sets that take in the same faces give the same normal.
                const Vec3<double> normal = stored(sum);
                const auto same = std::find_if(sets.begin(), sets.end(),
                                               [&](const auto& set) { return m_Normals[set.second] == normal; });
                if (same != sets.end()) {
                    index = same->second;
                } else {
                    index = static_cast<unsigned short>(m_Normals.size());
                    m_Normals.push_back(normal);
                }
                if (sets.size() < c_GroupSetsPerVertex)
                    sets.emplace_back(groups, index);
            }
            face.primitive->getNormalIndicesArray()[face.first + corners[c].second] = index;
        }
    }
    return true;
}

void Geometry::drawWithMaterials()
{
    for (Primitive* primitive : m_Primitives)
        primitive->drawWithMaterial();
}

void Geometry::invalidate()
{
    for (Primitive* primitive : m_Primitives)
        primitive->invalidate();
}

Geometry::Geometry() = default;

Geometry::~Geometry()
{
    for (Primitive* primitive : m_Primitives)
        delete primitive;
}

void Geometry::addPrimitive(Primitive* primitive)
{
    m_Primitives.push_back(primitive);
}

void Geometry::removePrimitive(Primitive* primitive)
{
    const auto found = std::find(m_Primitives.begin(), m_Primitives.end(), primitive);
    if (found == m_Primitives.end()) {
        Core::Messages::send(Core::MessageLevel::Warning, Core::messageText("Unkown primitive to remove."));
        return;
    }
    m_Primitives.erase(found);
}

void Geometry::initDisplayList()
{
    for (Primitive* primitive : m_Primitives)
        primitive->initDisplayList();
}

void Geometry::draw()
{
    for (Primitive* primitive : m_Primitives)
        primitive->draw();
}

} // namespace Rendering
