#pragma once

#include <string>
#include <vector>

#include "core/Meta.h"
#include "math/Vec4.h"

namespace Core
{

// Base of every scene element that is drawn and can be picked: a colour, a process-wide
// unique picking name, and string metadata owned by whoever appends it. Every drawable is
// registered with the render singleton from construction until destruction.
class Drawable
{
public:
    Drawable();
    // Copies colour only: the copy gets a fresh picking name and no metadata.
    Drawable(const Drawable& other);
    Drawable& operator=(const Drawable&) = delete;

    // "BOARD", "SQUARE" or "OBJECT".
    virtual std::string getClassName() const = 0;
    // Draws for display and for picking, with the picking name on the name stack.
    virtual void draw() const = 0;
    // Draws in the element's own colour.
    virtual void drawWithColor() const = 0;

    void setColor(const Vec4<double>& color) { m_Color = color; }
    const Vec4<double>& getColor() const { return m_Color; }

    unsigned int getPickingName() const { return m_PickingName; }

    // The entry list itself, for the application to append to.
    std::vector<Meta<std::string>*>& getMetadata() { return m_Metadata; }
    // Value of the first entry named key, or "" when there is none.
    std::string getMeta(const std::string& key) const;

    // Hands out the next picking name (0, 1, 2, ... in construction order).
    static unsigned int getNextPickingName();

protected:
    // Unregisters from the render singleton; metadata entries are not deleted. Drawables
    // are destroyed through their own type, never through this base.
    ~Drawable();

private:
    Vec4<double> m_Color;
    unsigned int m_PickingName;
    std::vector<Meta<std::string>*> m_Metadata;

    static unsigned int m_NextPickingName;
};

} // namespace Core
