#include "core/Drawable.h"

#include "rendering/Render.h"

namespace Core
{

unsigned int Drawable::m_NextPickingName = 0;

Drawable::Drawable() : m_Color(1.0, 1.0, 1.0, 1.0), m_PickingName(getNextPickingName())
{
    Rendering::Render::instance().pushDrawable(this);
}

Drawable::Drawable(const Drawable& other) : m_Color(other.m_Color), m_PickingName(getNextPickingName())
{
    Rendering::Render::instance().pushDrawable(this);
}

Drawable::~Drawable()
{
    Rendering::Render::removeDrawable(this);
}

std::string Drawable::getMeta(const std::string& key) const
{
    for (const Meta<std::string>* entry : m_Metadata)
        if (entry && entry->getName() == key)
            return entry->getValue();
    return std::string();
}

unsigned int Drawable::getNextPickingName()
{
    return m_NextPickingName++;
}

} // namespace Core
