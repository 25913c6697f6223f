#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "rendering/Material.h"

namespace Rendering
{
class Mesh;
class Texture;
} // namespace Rendering

namespace Reader
{

class ASEScanner;

// Reads a model in the ASCII scene export format (ASE) into a Rendering::Mesh: one
// geometry per geometric object, with its vertex positions, normals, texture coordinates
// and colours, one primitive per face size, and the diffuse bitmap of the object's
// material as the primitives' texture (the mesh owns those textures). The material's
// colours become the primitives' Rendering::Material; an object whose material has
// sub-materials gets one primitive per face size and sub-material used (picked per face
// by its material id). An object whose file gives no vertex normals gets normals computed
// from its faces and smoothing groups (Rendering::Geometry::computeNormals). Only a small part
// of the format is understood; every other word is skipped. A file that starts with a
// UTF-16 byte-order mark is decoded to 8-bit text first. Messages go to standard output.
class ASEReader
{
public:
    ASEReader();
    ASEReader(const ASEReader&) = delete;
    ASEReader& operator=(const ASEReader&) = delete;
    // Destroys no texture, geometry or mesh.
    ~ASEReader();

    // Each load and parse starts from a clean state: no material of an earlier text is seen.
    // When memory runs out, each prints "[ASEReader]> Not enough memory to read "<path>"."
    // and gives false; what was read stays in the mesh.
    // Reads the file at `path` into `mesh`. False only when the file cannot be read
    // ("Couldn't find/load mesh : "<path>"") or memory runs out; a file with structure
    // errors still gives true and keeps what was read ("[ASEReader]> Bad structure in ASE
    // file." for each).
    bool load(const std::string& path, Rendering::Mesh* mesh);
    // Reads `size` bytes of ASE text into `mesh` as if they were the content of the file
    // at `path` (bare bitmap names are taken from that file's folder). True unless memory
    // runs out.
    bool loadFromMemory(const char* data, std::size_t size, const std::string& path, Rendering::Mesh* mesh);
    // Reads ASE text into the mesh and path of the last load. True unless memory runs out;
    // with no mesh given yet it reads nothing.
    bool parse(const std::string& text);

    // Each reads one block from the stream, starting just after the block's keyword, into
    // the mesh of the last load, and leaves the stream just after what it read. True when
    // the block ended at its closing "}"; false after a structure error or without mesh.
    bool parseScene(std::stringstream& stream);
    bool parseMaterial(std::stringstream& stream);
    bool parseGeometry(std::stringstream& stream);

private:
    struct Object;
    // What the reader keeps of a material: colours, diffuse texture, sub-materials.
    struct MaterialEntry
    {
        Rendering::Material colors;
        Rendering::Texture* texture = nullptr;
        std::uint32_t subCount = 0; // "*NUMSUBMTLS"
        std::map<std::uint32_t, MaterialEntry> subs;
    };

    // Points the reader at a mesh and path with an empty material table.
    void start(Rendering::Mesh* mesh, const std::string& path);
    bool parseBytes(const char* data, std::size_t size);
    bool outOfMemory() const;
    bool parseText(const char* begin, const char* end);
    bool parseFromStream(std::stringstream& stream, bool (ASEReader::*block)(ASEScanner&));

    bool readScene(ASEScanner& in);
    bool readMaterialList(ASEScanner& in);
    bool readMaterial(ASEScanner& in, MaterialEntry* entry, int depth);
    bool readBitmap(ASEScanner& in, MaterialEntry* entry);
    bool readGeometry(ASEScanner& in);
    bool readObject(ASEScanner& in, Object& object);
    bool readNodeMatrix(ASEScanner& in, Object& object);
    bool readMesh(ASEScanner& in, Object& object);
    bool readMeshEntry(ASEScanner& in, Object& object);
    bool readVertexList(ASEScanner& in, Object& object);
    bool readFaceList(ASEScanner& in, Object& object);
    bool readFace(ASEScanner& in, Object& object);
    bool readSmoothing(ASEScanner& in, Object& object);
    bool readTexVertexList(ASEScanner& in, Object& object);
    bool readTexFaceList(ASEScanner& in, Object& object);
    bool readColorVertexList(ASEScanner& in, Object& object);
    bool readNormals(ASEScanner& in, Object& object);
    void finishObject(Object& object);
    void splitBySubMaterial(Object& object, const MaterialEntry& material);
    void dropOutOfRange(Object& object);
    void trimObject(Object& object);

    Rendering::Mesh* m_Mesh;
    // Material table by index. Only materials the file defines are stored, so a huge
    // material count costs nothing.
    std::map<std::uint32_t, MaterialEntry> m_Materials;
    std::string m_Path;
    // Size of the material table ("*MATERIAL_COUNT").
    std::uint32_t m_MaterialCount;
    // Geometric objects read so far, for messages.
    std::uint32_t m_ObjectCount;
};

} // namespace Reader
