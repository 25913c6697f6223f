#pragma once

#include <cstddef>
#include <string>

namespace Rendering
{

class Texture;

// The one place where meshes reach Rendering::Texture: making the texture of a material
// bitmap, applying it around a primitive's display list, and freeing it with its mesh.
// The operations can be replaced, so that tests and the reader's fuzzer can watch
// materials without reading the pictures their files name.
class MaterialTexture
{
public:
    struct Hooks
    {
        Texture* (*load)(const std::string& path);
        void (*release)(Texture* texture);
        void (*apply)(Texture* texture);
        Texture* (*loadEncoded)(const std::string& name, const unsigned char* data, std::size_t size);
    };

    // A new texture of the picture at `path` (with its normal map, as any texture), or
    // null when the picture does not load (its messages are printed).
    static Texture* load(const std::string& path);
    // A new texture of a PNG or JPEG file held in memory (a picture inside a model file),
    // cached under `name`, or null when it does not decode (its messages are printed).
    static Texture* loadEncoded(const std::string& name, const unsigned char* data, std::size_t size);
    // Frees a texture made by load(); the pictures stay cached.
    static void release(Texture* texture);
    // Binds a texture for the following drawing; null binds nothing.
    static void apply(Texture* texture);
    // Rendering::Texture::unApply().
    static void unApply();

    // Replaces the operations; returns the ones in place before.
    static Hooks setHooks(const Hooks& hooks);
    // The operations in place at start-up.
    static Hooks defaultHooks();
};

} // namespace Rendering
