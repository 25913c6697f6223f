#include "rendering/DrawableRegistry.h"

#include "core/Board.h"
#include "core/Object.h"
#include "core/Square.h"

namespace Rendering
{

void DrawableRegistry::add(Core::Drawable* drawable)
{
    m_Drawables.insert(std::make_pair(drawable->getPickingName(), drawable));
}

void DrawableRegistry::remove(const Core::Drawable* drawable)
{
    auto it = m_Drawables.find(drawable->getPickingName());
    if (it != m_Drawables.end() && it->second == drawable)
        m_Drawables.erase(it);
}

Core::Drawable* DrawableRegistry::find(unsigned int pickingName) const
{
    auto it = m_Drawables.find(pickingName);
    return it == m_Drawables.end() ? nullptr : it->second;
}

void DrawableRegistry::forgetSquare(Core::Square* square) const
{
    for (const auto& entry : m_Drawables) {
        if (auto* board = dynamic_cast<Core::Board*>(entry.second))
            board->removeSquare(square);
        else if (auto* piece = dynamic_cast<Core::Object*>(entry.second); piece && piece->getParentSquare() == square)
            piece->setParentSquare(nullptr);
    }
}

} // namespace Rendering
