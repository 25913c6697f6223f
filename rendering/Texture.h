#pragma once

#include <cstddef>
#include <string>

namespace Core
{
class ImageManager;
}

namespace Rendering
{

class Image;

// What a drawable or a mesh primitive is drawn with: the diffuse picture of a file and,
// when a file of the same name with "_normal" before the extension exists, a normal map.
// Both pictures come from Core::ImageManager and are shared with every other texture made
// from the same files; the texture does not own them.
class Texture
{
public:
    // Decodes (or finds in the cache) the picture and its normal map, if that file exists.
    explicit Texture(const std::string& fileName);
    // The picture of a PNG or JPEG file held in memory (inside a model file), cached under
    // `name` (Core::ImageManager); such a texture has no normal map.
    Texture(const std::string& name, const unsigned char* data, std::size_t size);
    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;
    // Leaves the pictures in the cache.
    ~Texture();

    // True when the diffuse picture is decoded and still cached.
    bool isLoaded() const;
    // True when what apply() binds on unit 0 samples alpha 1 everywhere: no picture
    // (texture 0) or an opaque one (Image::isOpaque).
    bool isOpaque() const;
    // Binds the diffuse picture on the active texture unit; a texture without picture
    // binds texture 0. With the render's GLSL program, the normal map (or texture 0) goes
    // to unit 1 and sampler "NormalsID", the picture to unit 0 and sampler "TextureID",
    // and unit 0 is left active; a program without both samplers ends the process.
    void apply();
    // Binds no texture on the active unit; with a GLSL program, none on units 1 and 0.
    static void unApply();

    Image* getImage() const { return m_Image; }
    // The normal map, or null when there is none.
    Image* getNormalImage() const { return m_NormalImage; }
    const std::string& getFileName() const { return m_FileName; }

    // The normal-map path of a picture path: "_normal" inserted before the last ".".
    static std::string normalMapPath(const std::string& fileName);

private:
    friend class Core::ImageManager;
    // Called by the cache when it deletes a picture, or all of them at exit.
    void forgetImage(const Image* image);
    void forgetImages();

    Image* m_Image;
    Image* m_NormalImage;
    std::string m_FileName;
};

} // namespace Rendering
