#pragma once

#include <map>

namespace Core
{
class Drawable;
class Square;
} // namespace Core

namespace Rendering
{

// Every drawable alive, filed under its picking name, so that a name read from the
// selection buffer leads back to its drawable. Pointers only: drawables register and
// unregister themselves.
class DrawableRegistry
{
public:
    // Files a drawable under its picking name; an entry already there is kept.
    void add(Core::Drawable* drawable);
    // Takes the drawable out (when it is the one filed under its name).
    void remove(const Core::Drawable* drawable);
    // The drawable with this picking name, or null.
    Core::Drawable* find(unsigned int pickingName) const;
    // Every board drops the square from its list and highlight, every piece standing on it
    // from its parent square.
    void forgetSquare(Core::Square* square) const;

private:
    std::map<unsigned int, Core::Drawable*> m_Drawables;
};

} // namespace Rendering
