// libFuzzer harness of the glTF and OBJ readers and the library they are built on: an
// input starting with "glTF" or "{" is read as glTF (binary or JSON), any other as OBJ,
// whose text after a line "#MTL" is written as the material file "m.mtl" beside it first.
// The model's folder also holds "b.bin" (64 bytes, for buffers naming it) and a FIFO "f"
// (which must be refused, not waited on). Then every index stored must lie inside its
// array. Material textures are stood in for by heap blocks, so that a texture the mesh
// fails to free, or frees twice, is caught by AddressSanitizer.
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "reader/GLTFReader.h"
#include "reader/OBJReader.h"
#include "rendering/Geometry.h"
#include "rendering/MaterialTexture.h"
#include "rendering/Mesh.h"
#include "rendering/Primitive.h"

namespace
{
std::string g_Folder;

Rendering::Texture* loadTexture(const std::string& path)
{
    // Every other name "loads", so both outcomes are reached.
    return path.size() % 2 ? reinterpret_cast<Rendering::Texture*>(new char[path.size()]) : nullptr;
}

Rendering::Texture* loadEncodedTexture(const std::string& name, const unsigned char* data, std::size_t size)
{
    // The bytes must be readable: AddressSanitizer checks the first and the last.
    if (size > 0) {
        volatile unsigned char sink = data[0];
        sink = data[size - 1];
        (void)sink;
    }
    return loadTexture(name);
}

void releaseTexture(Rendering::Texture* texture)
{
    delete[] reinterpret_cast<char*>(texture);
}

void applyTexture(Rendering::Texture*) {}

template <typename T>
void checkInside(const std::vector<unsigned short>& indices, const std::vector<T>& array)
{
    for (unsigned short i : indices)
        if (i >= array.size())
            std::abort();
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzSupport::silenceStandardOutput();
    Rendering::MaterialTexture::setHooks({loadTexture, releaseTexture, applyTexture, loadEncodedTexture});
    char folder[] = "/tmp/tessellon-model-fuzz-XXXXXX";
    if (!mkdtemp(folder))
        std::abort();
    g_Folder = std::string(folder) + "/";
    std::ofstream(g_Folder + "b.bin", std::ios::binary) << std::string(64, '\x01');
    mkfifo((g_Folder + "f").c_str(), 0600);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Rendering::Mesh mesh;
    const bool gltf = (size >= 4 && std::memcmp(data, "glTF", 4) == 0) || (size > 0 && data[0] == '{');
    if (gltf) {
        Reader::GLTFReader reader;
        reader.loadFromMemory(data, size, g_Folder + "m.gltf", &mesh);
    } else {
        const std::string text(reinterpret_cast<const char*>(data), size);
        const std::size_t split = text.find("\n#MTL\n");
        std::ofstream(g_Folder + "m.mtl", std::ios::binary | std::ios::trunc)
            << (split == std::string::npos ? std::string() : text.substr(split + 6));
        Reader::OBJReader reader;
        reader.loadFromMemory(text.data(), split == std::string::npos ? size : split, g_Folder + "m.obj", &mesh);
    }
    for (Rendering::Geometry* geometry : mesh.getGeometries())
        for (Rendering::Primitive* primitive : geometry->getPrimitives()) {
            checkInside(primitive->getVertexIndicesArray(), geometry->getVertexArray());
            checkInside(primitive->getTexturesIndicesArray(), geometry->getTexCoordArray());
            checkInside(primitive->getNormalIndicesArray(), geometry->getNormalArray());
        }
    return 0;
}
