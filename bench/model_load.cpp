// Time of loading glTF and OBJ models into a ready Rendering::Mesh, against the libraries'
// own import measured in the same run: tinygltf's LoadASCIIFromFile / LoadBinaryFromFile
// into its model, tinyobjloader's ObjReader::ParseFromFile into its shapes (both the
// Debian shared libraries, as a program using them gets them). The models are generated:
// a sphere of 255 x 255 quads (65,536 vertices with normals and texture coordinates,
// 130,050 triangles) as .gltf with its .bin, as .glb, and as .obj with its .mtl.
// tinygltf's import leaves the accessors undecoded (for binary buffers it is little more
// than reading the file), so for glTF the run also times that import followed by the
// least any reader must then do: the accessors copied into the engine's arrays by a plain
// loop, without a check. Targets: ours at most 1.10 times tinyobjloader's import, and at
// most 1.10 times tinygltf's import with that plain copy.
// Usage: model_load [--smoke]   (--smoke: a small sphere and one round, figures not meaningful)
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include <tiny_gltf.h>
#include <tiny_obj_loader.h>

#include <GL/gl.h>

#include "rendering/Geometry.h"
#include "rendering/Mesh.h"
#include "rendering/Primitive.h"

namespace
{
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Sphere
{
    std::vector<float> positions, normals, texCoords;
    std::vector<std::uint32_t> indices;
};

Sphere sphere(int n)
{
    Sphere s;
    for (int i = 0; i <= n; ++i)
        for (int j = 0; j <= n; ++j) {
            const double theta = M_PI * i / n, phi = 2 * M_PI * j / n;
            const float x = float(std::sin(theta) * std::cos(phi)), y = float(std::cos(theta)),
                        z = float(std::sin(theta) * std::sin(phi));
            s.positions.insert(s.positions.end(), {x, y, z});
            s.normals.insert(s.normals.end(), {x, y, z});
            s.texCoords.insert(s.texCoords.end(), {float(j) / n, float(i) / n});
        }
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            const std::uint32_t a = i * (n + 1) + j, b = a + n + 1;
            s.indices.insert(s.indices.end(), {a, b, a + 1, a + 1, b, b + 1});
        }
    return s;
}

template <typename T>
void append(std::string& bytes, const std::vector<T>& values)
{
    bytes.append(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(T));
}

// The JSON of the sphere with its buffer at `uri` ("" for the binary chunk).
std::string gltfJson(const Sphere& s, const std::string& uri, std::size_t bytes)
{
    const std::size_t p = s.positions.size() * 4, n = s.normals.size() * 4, t = s.texCoords.size() * 4,
                      i = s.indices.size() * 4, count = s.positions.size() / 3;
    std::ostringstream o;
    o << "{\"asset\":{\"version\":\"2.0\"},\"scene\":0,\"scenes\":[{\"nodes\":[0]}],\"nodes\":[{\"mesh\":0}],"
      << "\"meshes\":[{\"primitives\":[{\"attributes\":{\"POSITION\":0,\"NORMAL\":1,\"TEXCOORD_0\":2},"
      << "\"indices\":3,\"material\":0}]}],\"materials\":[{\"pbrMetallicRoughness\":{\"baseColorFactor\":[0.8,0.5,0.2,"
         "1]}}],"
      << "\"buffers\":[{" << (uri.empty() ? "" : "\"uri\":\"" + uri + "\",") << "\"byteLength\":" << bytes << "}],"
      << "\"bufferViews\":[{\"buffer\":0,\"byteOffset\":0,\"byteLength\":" << p
      << "},{\"buffer\":0,\"byteOffset\":" << p << ",\"byteLength\":" << n << "},{\"buffer\":0,\"byteOffset\":" << p + n
      << ",\"byteLength\":" << t << "},{\"buffer\":0,\"byteOffset\":" << p + n + t << ",\"byteLength\":" << i << "}],"
      << "\"accessors\":[{\"bufferView\":0,\"componentType\":5126,\"count\":" << count
      << ",\"type\":\"VEC3\",\"min\":[-1,-1,-1],\"max\":[1,1,1]},{\"bufferView\":1,\"componentType\":5126,\"count\":"
      << count << ",\"type\":\"VEC3\"},{\"bufferView\":2,\"componentType\":5126,\"count\":" << count
      << ",\"type\":\"VEC2\"},{\"bufferView\":3,\"componentType\":5125,\"count\":" << s.indices.size()
      << ",\"type\":\"SCALAR\"}]}";
    return o.str();
}

void writeModels(const Sphere& s, const fs::path& dir)
{
    std::string bin;
    append(bin, s.positions);
    append(bin, s.normals);
    append(bin, s.texCoords);
    append(bin, s.indices);
    std::ofstream(dir / "sphere.bin", std::ios::binary) << bin;
    std::ofstream(dir / "sphere.gltf", std::ios::binary) << gltfJson(s, "sphere.bin", bin.size());
    std::string json = gltfJson(s, "", bin.size());
    while (json.size() % 4)
        json += ' ';
    std::ofstream glb(dir / "sphere.glb", std::ios::binary);
    auto word = [&glb](std::uint32_t v) { glb.write(reinterpret_cast<const char*>(&v), 4); };
    glb << "glTF";
    word(2);
    word(static_cast<std::uint32_t>(12 + 8 + json.size() + 8 + bin.size()));
    word(static_cast<std::uint32_t>(json.size()));
    glb << "JSON" << json;
    word(static_cast<std::uint32_t>(bin.size()));
    glb.write("BIN\0", 4);
    glb << bin;

    std::ofstream(dir / "sphere.mtl") << "newmtl clay\nKa 0.8 0.5 0.2\nKd 0.8 0.5 0.2\nKs 0 0 0\nNs 10\n";
    std::ofstream obj(dir / "sphere.obj");
    obj << "mtllib sphere.mtl\no sphere\n";
    char line[128];
    for (std::size_t k = 0; k < s.positions.size(); k += 3) {
        std::snprintf(line, sizeof line, "v %.6f %.6f %.6f\n", s.positions[k], s.positions[k + 1], s.positions[k + 2]);
        obj << line;
    }
    for (std::size_t k = 0; k < s.texCoords.size(); k += 2) {
        std::snprintf(line, sizeof line, "vt %.6f %.6f\n", s.texCoords[k], s.texCoords[k + 1]);
        obj << line;
    }
    for (std::size_t k = 0; k < s.normals.size(); k += 3) {
        std::snprintf(line, sizeof line, "vn %.6f %.6f %.6f\n", s.normals[k], s.normals[k + 1], s.normals[k + 2]);
        obj << line;
    }
    obj << "usemtl clay\n";
    for (std::size_t k = 0; k < s.indices.size(); k += 3) {
        const std::uint32_t a = s.indices[k] + 1, b = s.indices[k + 1] + 1, c = s.indices[k + 2] + 1;
        std::snprintf(line, sizeof line, "f %u/%u/%u %u/%u/%u %u/%u/%u\n", a, a, a, b, b, b, c, c, c);
        obj << line;
    }
}

std::size_t loadOurs(const std::string& path)
{
    std::ostringstream discard;
    std::streambuf* saved = std::cout.rdbuf(discard.rdbuf());
    std::size_t vertices = 0;
    {
        Rendering::Mesh mesh(path);
        for (const Rendering::Geometry* g : mesh.getGeometries())
            vertices += g->getVertexArray().size();
    }
    std::cout.rdbuf(saved);
    return vertices;
}

std::size_t loadTinyGLTF(const std::string& path, bool binary)
{
    tinygltf::TinyGLTF loader;
    tinygltf::Model model;
    std::string err, warn;
    const bool ok = binary ? loader.LoadBinaryFromFile(&model, &err, &warn, path)
                           : loader.LoadASCIIFromFile(&model, &err, &warn, path);
    return ok ? model.accessors.size() : 0;
}

// tinygltf's import, then every primitive's accessors copied as they are into a mesh.
std::size_t loadTinyGLTFAndCopy(const std::string& path, bool binary)
{
    tinygltf::TinyGLTF loader;
    tinygltf::Model model;
    std::string err, warn;
    if (!(binary ? loader.LoadBinaryFromFile(&model, &err, &warn, path)
                 : loader.LoadASCIIFromFile(&model, &err, &warn, path)))
        return 0;
    Rendering::Mesh mesh;
    auto floats = [&model](int accessor) {
        const tinygltf::Accessor& a = model.accessors[static_cast<std::size_t>(accessor)];
        const tinygltf::BufferView& v = model.bufferViews[static_cast<std::size_t>(a.bufferView)];
        return reinterpret_cast<const float*>(model.buffers[static_cast<std::size_t>(v.buffer)].data.data() +
                                              v.byteOffset + a.byteOffset);
    };
    for (const tinygltf::Mesh& m : model.meshes)
        for (const tinygltf::Primitive& p : m.primitives) {
            auto* geometry = new Rendering::Geometry;
            mesh.addGeometry(geometry);
            const std::size_t count = model.accessors[static_cast<std::size_t>(p.attributes.at("POSITION"))].count;
            const float* position = floats(p.attributes.at("POSITION"));
            const float* normal = floats(p.attributes.at("NORMAL"));
            const float* uv = floats(p.attributes.at("TEXCOORD_0"));
            geometry->getVertexArray().resize(count);
            geometry->getNormalArray().resize(count);
            geometry->getTexCoordArray().resize(count);
            for (std::size_t i = 0; i < count; ++i) {
                geometry->getVertexArray()[i] = Vec3<double>(position[3 * i], position[3 * i + 1], position[3 * i + 2]);
                geometry->getNormalArray()[i] = Vec3<double>(normal[3 * i], normal[3 * i + 2], -normal[3 * i + 1]);
                geometry->getTexCoordArray()[i] = Vec2<double>(uv[2 * i], 1.0 - uv[2 * i + 1]);
            }
            auto* primitive = new Rendering::Primitive;
            primitive->setAssociateGeometry(geometry);
            primitive->setPrimitiveType(GL_TRIANGLES);
            geometry->addPrimitive(primitive);
            const tinygltf::Accessor& a = model.accessors[static_cast<std::size_t>(p.indices)];
            const tinygltf::BufferView& v = model.bufferViews[static_cast<std::size_t>(a.bufferView)];
            const auto* index = reinterpret_cast<const std::uint32_t*>(
                model.buffers[static_cast<std::size_t>(v.buffer)].data.data() + v.byteOffset + a.byteOffset);
            std::vector<unsigned short>& indices = primitive->getVertexIndicesArray();
            indices.resize(a.count);
            for (std::size_t i = 0; i < a.count; ++i)
                indices[i] = static_cast<unsigned short>(index[i]);
            primitive->getNormalIndicesArray() = indices;
            primitive->getTexturesIndicesArray() = indices;
        }
    return mesh.getGeometries().size();
}

std::size_t loadTinyObj(const std::string& path)
{
    tinyobj::ObjReader reader;
    return reader.ParseFromFile(path) ? reader.GetAttrib().vertices.size() : 0;
}

double medianMs(int rounds, const std::function<std::size_t()>& load)
{
    std::vector<double> times;
    for (int r = 0; r < rounds; ++r) {
        const auto start = Clock::now();
        if (load() == 0)
            std::printf("  ** a load failed **\n");
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}
} // namespace

int main(int argc, char** argv)
{
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    const fs::path dir = fs::temp_directory_path() / ("tessellon_model_load_" + std::to_string(getpid()));
    fs::create_directories(dir);
    const int n = smoke ? 16 : 255;
    writeModels(sphere(n), dir);
    const int rounds = smoke ? 1 : 15;
    std::printf("Sphere of %d x %d quads (%d vertices, %d triangles), median of %d loads:\n", n, n, (n + 1) * (n + 1),
                2 * n * n, rounds);
    struct Format
    {
        const char* file;
        const char* library;
        std::function<std::size_t(const std::string&)> theirs;
        std::function<std::size_t(const std::string&)> theirsCopied; // null when the import is the target
    };
    const Format formats[] = {
        {"sphere.gltf", "tinygltf", [](const std::string& p) { return loadTinyGLTF(p, false); },
         [](const std::string& p) { return loadTinyGLTFAndCopy(p, false); }},
        {"sphere.glb", "tinygltf", [](const std::string& p) { return loadTinyGLTF(p, true); },
         [](const std::string& p) { return loadTinyGLTFAndCopy(p, true); }},
        {"sphere.obj", "tinyobjloader", loadTinyObj, nullptr},
    };
    auto median = [](std::vector<double>& times) {
        std::sort(times.begin(), times.end());
        return times[times.size() / 2];
    };
    for (const Format& format : formats) {
        const std::string path = (dir / format.file).string();
        // Interleaved, so that all see the same state of the machine.
        std::vector<double> ours, theirs, copied;
        for (int r = 0; r < rounds; ++r) {
            ours.push_back(medianMs(1, [&] { return loadOurs(path); }));
            theirs.push_back(medianMs(1, [&] { return format.theirs(path); }));
            if (format.theirsCopied)
                copied.push_back(medianMs(1, [&] { return format.theirsCopied(path); }));
        }
        const double mine = median(ours), other = median(theirs);
        std::printf("  %-12s ours %7.2f ms  %-13s import %7.2f ms (ours / import %.2f)", format.file, mine,
                    format.library, other, mine / other);
        const double target = format.theirsCopied ? median(copied) : other;
        if (format.theirsCopied)
            std::printf("  import + plain copy %7.2f ms", target);
        std::printf("  ours / %s %.2f (target <= 1.10)%s\n", format.theirsCopied ? "(import + copy)" : "import",
                    mine / target, mine / target <= 1.10 ? "" : "  ** above target **");
    }
    fs::remove_all(dir);
    return 0;
}
