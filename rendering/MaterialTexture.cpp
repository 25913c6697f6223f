#include "rendering/MaterialTexture.h"

#include "rendering/Texture.h"

namespace Rendering
{

namespace
{
// A material whose picture does not load keeps no texture.
Texture* loadTexture(const std::string& path)
{
    auto* texture = new Texture(path);
    if (texture->isLoaded())
        return texture;
    delete texture;
    return nullptr;
}

Texture* loadEncodedTexture(const std::string& name, const unsigned char* data, std::size_t size)
{
    auto* texture = new Texture(name, data, size);
    if (texture->isLoaded())
        return texture;
    delete texture;
    return nullptr;
}

void releaseTexture(Texture* texture)
{
    delete texture;
}

void applyTexture(Texture* texture)
{
    texture->apply();
}

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

Texture* MaterialTexture::loadEncoded(const std::string& name, const unsigned char* data, std::size_t size)
{
    return hooks().loadEncoded(name, data, size);
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
    Texture::unApply();
}

MaterialTexture::Hooks MaterialTexture::setHooks(const Hooks& replacement)
{
    const Hooks previous = hooks();
    hooks() = replacement;
    return previous;
}

MaterialTexture::Hooks MaterialTexture::defaultHooks()
{
    return Hooks{loadTexture, releaseTexture, applyTexture, loadEncodedTexture};
}

} // namespace Rendering
