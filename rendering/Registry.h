#pragma once

#include <algorithm>
#include <vector>

namespace Rendering
{

// The elements of one kind registered with the render (overlay elements, picking and
// keyboard callbacks, animations), as plain pointers it does not own, in registration
// order. An event is delivered to the elements registered when it arrives: those that
// leave meanwhile (an element may remove or destroy itself or another while it is told)
// are skipped, and those that join wait for the next event.
template <typename T>
class Registry
{
public:
    // Appends an element; the same element may be listed more than once.
    void add(T* element) { m_Elements.push_back(element); }
    // Takes every occurrence of the element out.
    void remove(const T* element)
    {
        m_Elements.erase(std::remove(m_Elements.begin(), m_Elements.end(), element), m_Elements.end());
    }
    bool contains(const T* element) const
    {
        return std::find(m_Elements.begin(), m_Elements.end(), element) != m_Elements.end();
    }

    // The list itself.
    std::vector<T*>& elements() { return m_Elements; }
    const std::vector<T*>& elements() const { return m_Elements; }

    // Calls `tell(element)` for each non-null element registered now that is still
    // registered when its turn comes.
    template <typename Tell>
    void deliver(Tell tell) const
    {
        const std::vector<T*> registered = m_Elements;
        for (T* element : registered)
            if (element && contains(element))
                tell(element);
    }

private:
    std::vector<T*> m_Elements;
};

} // namespace Rendering
