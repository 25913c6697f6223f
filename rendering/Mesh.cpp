#include "rendering/Mesh.h"

#include "core/MessageText.h"
#include "core/Messages.h"

#include <GL/gl.h>

#include <cctype>
#include <map>
#include <tuple>
#include <utility>

#include "core/Quotable.h"
#include "reader/ASEReader.h"
#include "reader/GLTFReader.h"
#include "reader/OBJReader.h"
#include "rendering/Geometry.h"
#include "rendering/MaterialTexture.h"
#include "rendering/Primitive.h"

namespace Rendering
{

namespace
{
constexpr const char* c_Unsupported = "Unsupported format ... (supported format : ASE / GLTF / GLB / OBJ)";

// The file name's extension in lower case, "" without one.
std::string extensionOf(const std::string& path)
{
    const std::size_t dot = path.find_last_of("./");
    if (dot == std::string::npos || path[dot] != '.')
        return std::string();
    std::string extension = path.substr(dot + 1);
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}
} // namespace

Mesh::Mesh(const std::string& path)
{
    if (load(path))
        Core::Messages::send(Core::MessageLevel::Info,
                             Core::messageText("Mesh File : \"", Core::quotable(path), "\" loaded."));
    else
        Core::Messages::send(Core::MessageLevel::Warning,
                             Core::messageText("Couldn't load Mesh file : \"", Core::quotable(path), "\""));
}

Mesh::Mesh() = default;

Mesh::~Mesh()
{
    for (Geometry* geometry : m_Geometries)
        delete geometry;
    for (Texture* texture : m_Textures)
        MaterialTexture::release(texture);
}

bool Mesh::load(const std::string& path)
{
    if (path.find(".ase") != std::string::npos || path.find(".ASE") != std::string::npos) {
        Reader::ASEReader reader;
        return reader.load(path, this);
    }
    const std::string extension = extensionOf(path);
    if (extension == "gltf" || extension == "glb") {
        Reader::GLTFReader reader;
        return reader.load(path, this);
    }
    if (extension == "obj") {
        Reader::OBJReader reader;
        return reader.load(path, this);
    }
    Core::Messages::send(Core::MessageLevel::Warning, Core::messageText(c_Unsupported));
    return false;
}

void Mesh::initList()
{
    m_Closure = Closure::Unknown;
    for (Geometry* geometry : m_Geometries)
        geometry->initDisplayList();
}

void Mesh::draw()
{
    for (Geometry* geometry : m_Geometries)
        geometry->draw();
}

void Mesh::drawWithMaterials()
{
    glPushAttrib(GL_CURRENT_BIT | GL_LIGHTING_BIT);
    for (Geometry* geometry : m_Geometries)
        geometry->drawWithMaterials();
    glPopAttrib();
}

void Mesh::setUpAxis(UpAxis axis)
{
    if (axis == m_UpAxis)
        return;
    m_UpAxis = axis;
    m_Closure = Closure::Unknown;
    // Positions and stored normals turn alike: a quarter turn about x, one way or back.
    const bool toY = axis == UpAxis::Y;
    auto turn = [toY](std::vector<Vec3<double>>& points) {
        for (Vec3<double>& p : points)
            p = toY ? Vec3<double>(p.x(), -p.z(), p.y()) : Vec3<double>(p.x(), p.z(), -p.y());
    };
    for (Geometry* geometry : m_Geometries) {
        turn(geometry->getVertexArray());
        turn(geometry->getNormalArray());
        geometry->invalidate();
    }
}

void Mesh::addGeometry(Geometry* geometry)
{
    m_Geometries.push_back(geometry);
    m_Closure = Closure::Unknown;
}

bool Mesh::isClosed() const
{
    if (m_Closure != Closure::Unknown)
        return m_Closure == Closure::Closed;
    // Corners numbered by position, directed edges counted, the volume summed over the
    // faces' fans (six times the volume: only its sign matters).
    std::map<std::tuple<double, double, double>, unsigned int> corners;
    std::map<std::pair<unsigned int, unsigned int>, unsigned int> edges;
    double volume = 0.0;
    bool closed = true;
    for (const Geometry* geometry : m_Geometries) {
        const std::vector<Vec3<double>>& positions = geometry->getVertexArray();
        for (const Primitive* primitive : geometry->getPrimitives()) {
            const unsigned int type = primitive->getPrimitiveType();
            if (type == GL_POINTS || type == GL_LINES)
                continue;
            const std::vector<unsigned short>& indices = primitive->getVertexIndicesArray();
            const std::size_t size = type == GL_POLYGON ? indices.size() : primitive->getFaceSize();
            // A face the list leaves out (short, or an index past the positions) is a hole.
            if (size < 3 || indices.size() % size != 0)
                closed = false;
            for (std::size_t face = 0; closed && face + size <= indices.size(); face += size) {
                std::vector<unsigned int> ids;
                for (std::size_t k = 0; k < size && closed; ++k) {
                    if (indices[face + k] >= positions.size()) {
                        closed = false;
                        break;
                    }
                    const Vec3<double>& p = positions[indices[face + k]];
                    const auto key = std::make_tuple(p.x(), p.y(), p.z());
                    ids.push_back(corners.emplace(key, static_cast<unsigned int>(corners.size())).first->second);
                }
                for (std::size_t k = 0; closed && k < size; ++k)
                    if (ids[k] != ids[(k + 1) % size])
                        ++edges[{ids[k], ids[(k + 1) % size]}];
                const Vec3<double>& a = positions[indices[face]];
                for (std::size_t k = 1; closed && k + 1 < size; ++k) {
                    const Vec3<double>& b = positions[indices[face + k]];
                    const Vec3<double>& c = positions[indices[face + k + 1]];
                    volume += a.x() * (b.y() * c.z() - b.z() * c.y()) - a.y() * (b.x() * c.z() - b.z() * c.x()) +
                              a.z() * (b.x() * c.y() - b.y() * c.x());
                }
            }
        }
    }
    if (edges.empty())
        closed = false;
    for (auto it = edges.begin(); closed && it != edges.end(); ++it) {
        const auto back = edges.find({it->first.second, it->first.first});
        closed = it->second == 1 && back != edges.end() && back->second == 1;
    }
    m_Closure = closed && volume > 0.0 ? Closure::Closed : Closure::Open;
    return m_Closure == Closure::Closed;
}

void Mesh::adopt(Mesh& other)
{
    if (&other == this)
        return;
    m_Geometries.insert(m_Geometries.end(), other.m_Geometries.begin(), other.m_Geometries.end());
    m_Textures.insert(m_Textures.end(), other.m_Textures.begin(), other.m_Textures.end());
    other.m_Geometries.clear();
    other.m_Textures.clear();
    m_Closure = Closure::Unknown;
    other.m_Closure = Closure::Unknown;
}

void Mesh::addTexture(Texture* texture)
{
    m_Textures.push_back(texture);
}

} // namespace Rendering
