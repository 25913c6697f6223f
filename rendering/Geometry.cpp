#include "rendering/Geometry.h"

#include <algorithm>
#include <iostream>

#include "rendering/Primitive.h"

namespace Rendering
{

Geometry::Geometry() = default;

Geometry::~Geometry()
{
    for (Primitive* primitive : m_Primitives)
        delete primitive;
}

void Geometry::addPrimitive(Primitive* primitive)
{
    m_Primitives.push_back(primitive);
}

void Geometry::removePrimitive(Primitive* primitive)
{
    const auto found = std::find(m_Primitives.begin(), m_Primitives.end(), primitive);
    if (found == m_Primitives.end()) {
        std::cout << "Unkown primitive to remove." << std::endl;
        return;
    }
    m_Primitives.erase(found);
}

void Geometry::initDisplayList()
{
    for (Primitive* primitive : m_Primitives)
        primitive->initDisplayList();
}

void Geometry::draw()
{
    for (Primitive* primitive : m_Primitives)
        primitive->draw();
}

} // namespace Rendering
