#pragma once

#include <cstddef>
#include <string>

namespace Rendering
{
class Mesh;
} // namespace Rendering

namespace Reader
{

// Reads a Wavefront OBJ model and the material files it names (.mtl, beside it) into a
// Rendering::Mesh through the tinyobjloader library: positions, normals (smooth ones
// computed when a face has none), texture coordinates, faces (polygons cut into
// triangles as fans), and per material one primitive with the material's ambient,
// diffuse and specular colours, shininess and opacity as its Rendering::Material and its
// diffuse picture (map_Kd, PNG or JPEG) as its texture. A model with over 65,536
// vertices, normals or texture coordinates is split into several geometries. The model
// keeps its y axis up. Faces that name a vertex the file does not have are left out and
// counted in one line "[OBJReader]> "<path>" : N faces ...".
// The class is visible outside the library for its tests and fuzzer; the library it is
// built on is not.
class [[gnu::visibility("default")]] OBJReader
{
public:
    OBJReader() = default;
    OBJReader(const OBJReader&) = delete;
    OBJReader& operator=(const OBJReader&) = delete;

    // Reads the file at `path` into `mesh`. False, the mesh left as it was, when the file
    // cannot be read ("Couldn't find/load mesh : "<path>"") or memory runs out.
    bool load(const std::string& path, Rendering::Mesh* mesh);
    // Reads `size` bytes as if they were the content of the file at `path` (material files
    // and pictures are looked for beside that path).
    bool loadFromMemory(const char* data, std::size_t size, const std::string& path, Rendering::Mesh* mesh);
};

} // namespace Reader
