#include "core/Drawable.h"

#include "core/PieceMover.h"
#include "rendering/Render.h"
#include "rendering/Texture.h"

namespace Core
{

unsigned int Drawable::m_NextPickingName = 0;

Drawable::Drawable() : m_Color(1.0, 1.0, 1.0, 1.0), m_PickingName(getNextPickingName())
{
    Rendering::Render::instance().pushDrawable(this);
}

Drawable::Drawable(const Drawable& other)
    : m_Color(other.m_Color), m_Texture(other.m_Texture), m_PickingName(getNextPickingName())
{
    Rendering::Render::instance().pushDrawable(this);
}

Drawable::~Drawable()
{
    PieceMover::forget(this);
    Rendering::Render::removeDrawable(this);
}

void Drawable::setTexture(const std::string& fileName)
{
    removeTexture();
    m_Texture = std::make_shared<Rendering::Texture>(fileName);
}

void Drawable::removeTexture()
{
    m_Texture.reset();
}

void Drawable::applyTexture() const
{
    m_Texture->apply();
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
