#pragma once

#include <string>

namespace Rendering
{

class Texture;

// The one place where meshes reach Rendering::Texture: making the texture of a material
// bitmap, applying it around a primitive's display list, and freeing it with its mesh.
// The operations can be replaced, so that tests can watch materials without pictures.
class MaterialTexture
{
public:
    struct Hooks
    {
        Texture* (*load)(const std::string& path);
        void (*release)(Texture* texture);
        void (*apply)(Texture* texture);
    };

    // The texture of the picture at `path`, or null when the picture does not load.
    static Texture* load(const std::string& path);
    // Frees a texture made by load().
    static void release(Texture* texture);
    // Binds a texture for the following drawing.
    static void apply(Texture* texture);
    // Binds texture 0 again.
    static void unApply();

    // Replaces the operations; returns the ones in place before.
    static Hooks setHooks(const Hooks& hooks);
    // The operations in place at start-up.
    static Hooks defaultHooks();
};

} // namespace Rendering
