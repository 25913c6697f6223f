#include "rendering/Mesh.h"

#include <GL/gl.h>

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
}

void Mesh::addTexture(Texture* texture)
{
    m_Textures.push_back(texture);
}

} // namespace Rendering
