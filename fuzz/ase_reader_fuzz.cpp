// libFuzzer harness of the ASE reader: parses the input from memory into a mesh, then
// checks that every index the reader stored lies inside its array. Material textures
// are stood in for by heap blocks, so that a texture the mesh fails to free, or frees
// twice, is caught by AddressSanitizer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <vector>

#include "reader/ASEReader.h"
#include "rendering/Geometry.h"
#include "rendering/MaterialTexture.h"
#include "rendering/Mesh.h"
#include "rendering/Primitive.h"

namespace
{
Rendering::Texture* loadTexture(const std::string& path)
{
    // Every other name "loads", so both outcomes are reached.
    return path.size() % 2 ? reinterpret_cast<Rendering::Texture*>(new char[path.size()]) : nullptr;
}

void releaseTexture(Rendering::Texture* texture)
{
    delete[] reinterpret_cast<char*>(texture);
}

void applyTexture(Rendering::Texture*) {}

Rendering::Texture* loadEncodedTexture(const std::string& name, const unsigned char*, std::size_t)
{
    return loadTexture(name);
}

template <typename T>
void checkInside(std::vector<unsigned short>& indices, const std::vector<T>& array)
{
    for (unsigned short i : indices)
        if (i >= array.size())
            std::abort();
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The reader's messages would only slow the run down.
    std::cout.setstate(std::ios::badbit);
    Rendering::MaterialTexture::setHooks({loadTexture, releaseTexture, applyTexture, loadEncodedTexture});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Rendering::Mesh mesh;
    Reader::ASEReader reader;
    reader.loadFromMemory(reinterpret_cast<const char*>(data), size, "models/piece.ase", &mesh);
    for (Rendering::Geometry* geometry : mesh.getGeometries())
        for (Rendering::Primitive* primitive : geometry->getPrimitives()) {
            checkInside(primitive->getVertexIndicesArray(), geometry->getVertexArray());
            checkInside(primitive->getTexturesIndicesArray(), geometry->getTexCoordArray());
            checkInside(primitive->getNormalIndicesArray(), geometry->getNormalArray());
        }
    return 0;
}
