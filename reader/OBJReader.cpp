#include "reader/OBJReader.h"

#include "core/MessageText.h"
#include "core/Messages.h"

// The standard headers first, so that the library below, compiled into this file with
// hidden visibility, does not export its symbols (nor clash with another copy of it in the
// program).
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <new>
#include <set>
#include <sstream>
#include <streambuf>
#include <string>
#include <utility>
#include <vector>

#include <GL/gl.h>

#define TINYOBJLOADER_IMPLEMENTATION
#define TINYOBJLOADER_USE_DOUBLE
#include <tiny_obj_loader.h>

#include "core/Quotable.h"
#include "reader/InputFile.h"
#include "reader/MeshBuilder.h"
#include "rendering/Material.h"
#include "rendering/MaterialTexture.h"
#include "rendering/Mesh.h"

namespace Reader
{

namespace
{
constexpr const char* c_CannotOpen = "Couldn't find/load mesh : \"";
constexpr const char* c_OutOfMemory = "[OBJReader]> Not enough memory to read \"";
constexpr const char* c_Note = "[OBJReader]> \"";
constexpr const char* c_Bad = "[OBJReader]> Bad OBJ file \"";

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// A read-only stream over bytes in memory.
class MemoryBuffer : public std::streambuf
{
public:
    MemoryBuffer(const char* data, std::size_t size)
    {
        char* begin = const_cast<char*>(data);
        setg(begin, begin, begin + size);
    }
};

// Material files beside the model, read through the engine's opener, each file once.
class MaterialFiles : public tinyobj::MaterialReader
{
public:
    explicit MaterialFiles(std::string folder) : m_Folder(std::move(folder)) {}

    bool operator()(const std::string& name, std::vector<tinyobj::material_t>* materials,
                    std::map<std::string, int>* names, std::string* warn, std::string* err) override
    {
        const std::string path = m_Folder + name;
        InputFile file(path);
        struct stat status;
        if (!file.isOpen() || stat(path.c_str(), &status) != 0 || file.size() > std::numeric_limits<int>::max()) {
            *warn += "material file " + name + " cannot be read\n";
            return false;
        }
        if (!m_Read.insert({status.st_dev, status.st_ino}).second)
            return false;
        std::string text(static_cast<std::size_t>(file.size()), '\0');
        std::size_t filled = 0;
        file.read(text.data(), text.size(), filled);
        text.resize(filled);
        std::istringstream stream(text);
        tinyobj::LoadMtl(names, materials, &stream, warn, err);
        // The library hands the first material on: a file without any counts as not read.
        return !materials->empty();
    }

private:
    std::string m_Folder;
    std::set<std::pair<dev_t, ino_t>> m_Read;
};

// What the callbacks collect: the arrays, and the faces per material in order of first use.
struct Collected
{
    std::vector<Vec3<double>> positions;
    std::vector<Vec3<double>> normals;
    std::vector<Vec2<double>> texCoords;
    std::vector<tinyobj::material_t> materials;
    std::vector<MeshBuilder::Batch> batches;
    std::vector<int> batchMaterials;
    std::size_t current = 0; // batch of the faces read now
    std::size_t dropped = 0;
    std::vector<MeshBuilder::Corner> face;

    // Index of an OBJ reference (1-based, or negative from the end) into an array of
    // `count`, or c_None.
    static std::uint32_t resolve(int reference, std::size_t count)
    {
        if (reference > 0 && static_cast<std::size_t>(reference) <= count)
            return static_cast<std::uint32_t>(reference - 1);
        if (reference < 0 && static_cast<std::size_t>(-static_cast<long long>(reference)) <= count)
            return static_cast<std::uint32_t>(count - static_cast<std::size_t>(-static_cast<long long>(reference)));
        return MeshBuilder::c_None;
    }

    void use(int material)
    {
        const auto known = std::find(batchMaterials.begin(), batchMaterials.end(), material);
        current = static_cast<std::size_t>(known - batchMaterials.begin());
        if (known != batchMaterials.end())
            return;
        batchMaterials.push_back(material);
        batches.emplace_back();
        batches.back().mode = GL_TRIANGLES;
    }
};

void onVertex(void* user, tinyobj::real_t x, tinyobj::real_t y, tinyobj::real_t z, tinyobj::real_t)
{
    static_cast<Collected*>(user)->positions.emplace_back(x, y, z);
}

void onNormal(void* user, tinyobj::real_t x, tinyobj::real_t y, tinyobj::real_t z)
{
    static_cast<Collected*>(user)->normals.emplace_back(x, y, z);
}

void onTexCoord(void* user, tinyobj::real_t u, tinyobj::real_t v, tinyobj::real_t)
{
    static_cast<Collected*>(user)->texCoords.emplace_back(u, v);
}

// A face: a polygon cut into a fan of triangles. A face naming a missing vertex is left out.
void onFace(void* user, tinyobj::index_t* indices, int count)
{
    auto& c = *static_cast<Collected*>(user);
    if (count < 3)
        return;
    c.face.clear();
    for (int k = 0; k < count; ++k) {
        const MeshBuilder::Corner corner{Collected::resolve(indices[k].vertex_index, c.positions.size()),
                                         Collected::resolve(indices[k].normal_index, c.normals.size()),
                                         Collected::resolve(indices[k].texcoord_index, c.texCoords.size())};
        if (corner.position == MeshBuilder::c_None) {
            ++c.dropped;
            return;
        }
        c.face.push_back(corner);
    }
    if (c.batches.empty())
        c.use(-1);
    std::vector<MeshBuilder::Corner>& corners = c.batches[c.current].corners;
    for (std::size_t k = 1; k + 1 < c.face.size(); ++k)
        corners.insert(corners.end(), {c.face[0], c.face[k], c.face[k + 1]});
}

void onMaterial(void* user, const char*, int material)
{
    static_cast<Collected*>(user)->use(material);
}

void onMaterials(void* user, const tinyobj::material_t* materials, int count)
{
    static_cast<Collected*>(user)->materials.assign(materials, materials + count);
}

Rendering::Material materialOf(const tinyobj::material_t& m)
{
    Rendering::Material colors;
    const double alpha = std::clamp(static_cast<double>(m.dissolve), 0.0, 1.0);
    colors.m_Ambient = Vec4<double>(m.ambient[0], m.ambient[1], m.ambient[2], alpha);
    colors.m_Diffuse = Vec4<double>(m.diffuse[0], m.diffuse[1], m.diffuse[2], alpha);
    colors.m_Specular = Vec4<double>(m.specular[0], m.specular[1], m.specular[2], alpha);
    colors.m_Shininess = std::clamp(static_cast<double>(m.shininess), 0.0, 128.0);
    return colors;
}
} // namespace

bool OBJReader::load(const std::string& path, Rendering::Mesh* mesh)
{
    InputFile file(path);
    std::unique_ptr<char[]> data;
    std::size_t filled = 0;
    if (file.isOpen() && file.size() < std::numeric_limits<std::size_t>::max())
        data.reset(new (std::nothrow) char[static_cast<std::size_t>(file.size()) + 1]);
    if (!data || !file.read(data.get(), static_cast<std::size_t>(file.size()), filled)) {
        Core::Messages::send(Core::MessageLevel::Warning, Core::messageText(c_CannotOpen, Core::quotable(path), "\""));
        return false;
    }
    return loadFromMemory(data.get(), filled, path, mesh);
}

bool OBJReader::loadFromMemory(const char* data, std::size_t size, const std::string& path, Rendering::Mesh* mesh)
{
    try {
        Collected collected;
        tinyobj::callback_t callbacks;
        callbacks.vertex_cb = onVertex;
        callbacks.normal_cb = onNormal;
        callbacks.texcoord_cb = onTexCoord;
        callbacks.index_cb = onFace;
        callbacks.usemtl_cb = onMaterial;
        callbacks.mtllib_cb = onMaterials;
        MemoryBuffer buffer(data, size);
        std::istream stream(&buffer);
        const std::string folder = folderOf(path);
        MaterialFiles materialFiles(folder);
        std::string warn, err;
        tinyobj::LoadObjWithCallback(stream, callbacks, &collected, &materialFiles, &warn, &err);

        std::map<std::string, Rendering::Texture*> textures;
        Rendering::Mesh built;
        for (std::size_t b = 0; b < collected.batches.size(); ++b) {
            const int material = collected.batchMaterials[b];
            if (material < 0 || static_cast<std::size_t>(material) >= collected.materials.size())
                continue;
            const tinyobj::material_t& m = collected.materials[static_cast<std::size_t>(material)];
            MeshBuilder::Batch& batch = collected.batches[b];
            batch.look.hasMaterial = true;
            batch.look.material = materialOf(m);
            if (!m.diffuse_texname.empty()) {
                auto known = textures.find(m.diffuse_texname);
                if (known == textures.end()) {
                    Rendering::Texture* texture = Rendering::MaterialTexture::load(folder + m.diffuse_texname);
                    if (texture)
                        built.addTexture(texture);
                    known = textures.emplace(m.diffuse_texname, texture).first;
                }
                batch.look.texture = known->second;
            }
        }
        MeshBuilder builder(collected.positions, collected.normals, collected.texCoords);
        builder.build(collected.batches, MeshBuilder::Missing::Smooth, built);
        const std::size_t dropped = collected.dropped + builder.droppedFaces();
        if (dropped)
            Core::Messages::send(Core::MessageLevel::Warning,
                                 Core::messageText(c_Note, Core::quotable(path), "\" : ", dropped,
                                                   " faces naming a vertex the file does not have were left out."));
        mesh->setLoadedUpAxis(Rendering::Mesh::UpAxis::Y);
        mesh->adopt(built);
        return true;
    } catch (const std::bad_alloc&) {
        Core::Messages::send(Core::MessageLevel::Warning,
                             Core::messageText(c_OutOfMemory, Core::quotable(path), "\"."));
        return false;
    } catch (const std::exception& e) {
        Core::Messages::send(Core::MessageLevel::Warning,
                             Core::messageText(c_Bad, Core::quotable(path), "\" : ", Core::quotable(e.what())));
        return false;
    }
}

} // namespace Reader
