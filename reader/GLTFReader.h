#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace Rendering
{
class Mesh;
} // namespace Rendering

namespace Reader
{

// Reads a glTF 2.0 model, as JSON text (.gltf, its buffers in files beside it or inside
// as data URIs) or binary (.glb), into a Rendering::Mesh through the tinygltf library:
// the meshes of the default scene's nodes with their transforms applied, one geometry per
// mesh primitive (more when it has over 65,536 vertices), with positions, normals (flat
// ones computed when the file has none), the texture coordinates of the base colour
// texture, the material's base colour factor as the primitive's Rendering::Material and
// its base colour texture (PNG or JPEG, beside the file or inside it) as its texture,
// decoded by the engine's own readers. The model keeps its y axis up.
// A file that is not glTF, breaks its own structure or needs an extension that is not
// supported leaves the mesh empty, with one line "[GLTFReader]> Bad glTF file "<path>" :
// <why>". Nothing the file declares is trusted: every index and every span of a buffer
// is checked against what the bytes hold, and a mesh used by many nodes is repeated only
// while the vertices and indices made stay within four times those in the file (plus
// 262,144), the rest said in one line.
// The class is visible outside the library for its tests and fuzzer; the library it is
// built on is not.
class [[gnu::visibility("default")]] GLTFReader
{
public:
    GLTFReader() = default;
    GLTFReader(const GLTFReader&) = delete;
    GLTFReader& operator=(const GLTFReader&) = delete;

    // Reads the file at `path` into `mesh`. False, the mesh left as it was, when the file
    // cannot be read ("Couldn't find/load mesh : "<path>"") or is refused (above).
    bool load(const std::string& path, Rendering::Mesh* mesh);
    // Reads `size` bytes as if they were the content of the file at `path` (its buffers and
    // pictures are looked for beside that path). The same results as load.
    bool loadFromMemory(const unsigned char* data, std::size_t size, const std::string& path, Rendering::Mesh* mesh);

private:
    // Both of the above; `parsed` is called once the library has read the bytes, which are
    // not used after that.
    static bool read(const unsigned char* data, std::size_t size, const std::string& path, Rendering::Mesh* mesh,
                     const std::function<void()>& parsed);
};

} // namespace Reader
