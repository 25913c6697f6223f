#include "rendering/Mesh.h"

#include <iostream>

#include "reader/ASEReader.h"
#include "rendering/Geometry.h"
#include "rendering/MaterialTexture.h"

namespace Rendering
{

Mesh::Mesh(const std::string& path)
{
    if (load(path))
        std::cout << "Mesh File : \"" << path << "\" loaded." << std::endl;
    else
        std::cout << "Couldn't load Mesh file : \"" << path << "\"" << std::endl;
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
    std::cout << "Unsupported format ... (supported format : ASE)" << std::endl;
    return false;
}

void Mesh::initList()
{
    for (Geometry* geometry : m_Geometries)
        geometry->initDisplayList();
}

void Mesh::draw()
{
    for (Geometry* geometry : m_Geometries)
        geometry->draw();
}

void Mesh::addGeometry(Geometry* geometry)
{
    m_Geometries.push_back(geometry);
}

void Mesh::addTexture(Texture* texture)
{
    m_Textures.push_back(texture);
}

} // namespace Rendering
