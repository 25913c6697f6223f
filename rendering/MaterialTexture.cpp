#include "rendering/MaterialTexture.h"

#include <GL/gl.h>

namespace Rendering
{

namespace
{
// Pictures do not reach meshes yet: no material bitmap becomes a texture.
Texture* loadTexture(const std::string&)
{
    return nullptr;
}

void releaseTexture(Texture*) {}

void applyTexture(Texture*) {}

MaterialTexture::Hooks& hooks()
{
    static MaterialTexture::Hooks current = MaterialTexture::defaultHooks();
    return current;
}
} // namespace

Texture* MaterialTexture::load(const std::string& path)
{
    return hooks().load(path);
}

void MaterialTexture::release(Texture* texture)
{
    if (texture)
        hooks().release(texture);
}

void MaterialTexture::apply(Texture* texture)
{
    if (texture)
        hooks().apply(texture);
}

void MaterialTexture::unApply()
{
    glBindTexture(GL_TEXTURE_2D, 0);
}

MaterialTexture::Hooks MaterialTexture::setHooks(const Hooks& replacement)
{
    const Hooks previous = hooks();
    hooks() = replacement;
    return previous;
}

MaterialTexture::Hooks MaterialTexture::defaultHooks()
{
    return Hooks{loadTexture, releaseTexture, applyTexture};
}

} // namespace Rendering
