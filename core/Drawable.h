#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/Meta.h"
#include "math/Vec4.h"

namespace Rendering
{
class Texture;
}

namespace Core
{

// Base of every scene element that is drawn and can be picked: a colour, an optional
// texture, a process-wide unique picking name, and string metadata owned by whoever
// appends it. Every drawable is registered with the render singleton from construction
// until destruction.
class Drawable
{
public:
    Drawable();
    // Copies colour and texture: the copy gets a fresh picking name and no metadata. The
    // two share the texture object, which lives until the last of them lets it go.
    Drawable(const Drawable& other);
    Drawable& operator=(const Drawable&) = delete;

    // "BOARD", "SQUARE" or "OBJECT".
    virtual std::string getClassName() const = 0;
    // Draws for display and for picking, with the picking name on the name stack.
    virtual void draw() const = 0;
    // Draws with the element's texture; draw() calls it when there is one.
    virtual void drawWithTexture() const = 0;
    // Draws in the element's own colour; draw() calls it when there is no texture.
    virtual void drawWithColor() const = 0;

    void setColor(const Vec4<double>& color) { m_Color = color; }
    const Vec4<double>& getColor() const { return m_Color; }

    // Replaces the texture by one made from the picture file (decoded into the picture
    // cache now). The texture is kept even when the picture does not load, and then binds
    // no picture.
    void setTexture(const std::string& fileName);
    // Lets the texture go (it is freed unless a copy still holds it); nothing without one.
    void removeTexture();
    bool hasTexture() const { return m_Texture != nullptr; }
    // The texture, or null.
    Rendering::Texture* getTexture() const { return m_Texture.get(); }

    unsigned int getPickingName() const { return m_PickingName; }

    // The entry list itself, for the application to append to.
    std::vector<Meta<std::string>*>& getMetadata() { return m_Metadata; }
    // Value of the first entry named key, or "" when there is none.
    std::string getMeta(const std::string& key) const;

    // Hands out the next picking name (0, 1, 2, ... in construction order).
    static unsigned int getNextPickingName();

protected:
    // Binds the texture for the following drawing (the caller checks hasTexture()).
    void applyTexture() const;

    // Unregisters from the render singleton and drops the piece moves that still need it
    // (Core::PieceMover); metadata entries are not deleted. Drawables
    // are destroyed through their own type, never through this base.
    ~Drawable();

private:
    Vec4<double> m_Color;
    std::shared_ptr<Rendering::Texture> m_Texture;
    unsigned int m_PickingName;
    std::vector<Meta<std::string>*> m_Metadata;

    static unsigned int m_NextPickingName;
};

} // namespace Core
