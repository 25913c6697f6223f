#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace Rendering
{

class Shader;

// One decoded picture: the pixels handed over by the PNG or JPEG reader (rows bottom-up,
// without row padding) and the OpenGL texture object they are uploaded to. Pictures are
// normally owned by Core::ImageManager, which shares one Image per file path.
// GL types are spelled as the unsigned int they are, so that this header does not pull in
// an OpenGL header ahead of GLEW's.
class Image
{
public:
    // An empty picture: not loaded, no texture object.
    Image();
    // Decodes the file (PNG for a path containing ".png"/".PNG", JPEG for ".jpg", ".jpeg",
    // ".JPG", ".JPEG") and prints one line on standard output saying whether it loaded.
    explicit Image(const std::string& path);
    // Decodes `size` bytes of a PNG or JPEG file held in memory (told apart by their first
    // bytes), and prints the same line as for a file, with `name` standing for the path.
    Image(const std::string& name, const unsigned char* data, std::size_t size);
    // Copies the pixels into a new buffer; the copy has no texture object and is not reduced.
    Image(const Image& other);
    Image& operator=(const Image&) = delete;
    // Frees the pixels; the texture object, if any, is left to the context.
    ~Image();

    // Chooses the reader by the path's extension; true when it decoded the picture.
    bool load(const std::string& path);
    // Decodes a PNG or JPEG file held in memory, told apart by its first bytes (anything
    // else prints "Unsupported format ... (supported format : PNG / JPG)"); `name` stands
    // for the source in messages. True when it decoded the picture.
    bool loadFromMemory(const unsigned char* data, std::size_t size, const std::string& name);
    // Stores the picture and takes ownership of `data` (new[]). A buffer held before is freed.
    void setData(int width, int height, int depth, int internalFormat, unsigned int format, unsigned int type,
                 unsigned char* data);
    // Called by the readers: as setData, for a buffer made by allocatePixels.
    void setPixels(int width, int height, int depth, int internalFormat, unsigned int format, unsigned int type,
                   unsigned char* data);
    // A pixel buffer of `bytes` bytes for setPixels, or null when there is no memory for it
    // even after the new-handler (the picture cache's memory policy) has run. A reduction
    // shrinks such a buffer where it lies, without needing a smaller one first.
    static unsigned char* allocatePixels(std::uint64_t bytes);
    // Frees a buffer from allocatePixels that was not handed to setPixels.
    static void freePixels(unsigned char* data);
    // Frees the pixels and clears every field but the texture name and the reduced flag.
    void unLoad();
    bool isLoaded() const { return m_Data != nullptr; }

    // Texture object name; 0 until initGL (or the first apply) has run.
    unsigned int getId() const { return m_Id; }
    // True when the picture is sampled with alpha 1 everywhere: its pixels have no alpha
    // channel (RGB, luminance, one colour), judged from the pixels held or, once they are
    // let go, from the last upload. A picture neither held nor uploaded binds texture 0
    // and counts as opaque.
    bool isOpaque() const;
    // Bytes of decoded pixels held: width x height x getBytesPerPixel().
    std::uint64_t getMemoryUsage() const;
    // Bytes per pixel of the buffer as the reader delivered it: 1 for GL_LUMINANCE and
    // GL_ALPHA, 2 for GL_LUMINANCE_ALPHA, 3 for GL_RGB, 4 for GL_RGBA and any other format,
    // twice that for 16-bit samples.
    unsigned int getBytesPerPixel() const;

    // Creates a texture object and uploads the pixels (needs a current context); an
    // unloaded picture gets none.
    void initGL();
    // Halves the picture once by keeping one pixel of every 2 x 2 block; a picture that
    // had a texture object is uploaded under a new one and the old one deleted (the others
    // are uploaded by initGL or their first apply). A second call prints
    // "Already Reduced ..." and changes nothing. A buffer from allocatePixels shrinks where
    // it lies; for another, a smaller buffer is allocated, and when it cannot be the
    // picture is left as it was.
    void reduceToLimit();
    // Binds the picture on the active texture unit; a loaded picture without texture
    // object (added after the start-up upload) is uploaded first. When the render has a
    // GLSL program (Render::hasShaderAvailable), unit 0 becomes active first and the
    // program's sampler "TextureID" is pointed at it.
    void apply();
    // Binds no texture on the active unit. With a GLSL program, binds none on unit 1 (the
    // normal map's) and unit 0 either, and leaves unit 0 active.
    static void unApply();

    // The render's GLSL program while it is in use (textures hand their units to it), else
    // null.
    static Shader* drawingShader();

    int getWidth() const { return m_Width; }
    int getHeight() const { return m_Height; }
    int getDepth() const { return m_ImageDepth; }
    int getInternalFormat() const { return m_InternalFormat; }
    unsigned int getFormat() const { return m_Format; }
    unsigned int getType() const { return m_Type; }
    const unsigned char* getData() const { return m_Data; }
    bool isReduced() const { return m_IsReduced; }

private:
    // Frees m_Data as it was allocated.
    void releaseData();

    bool m_IsReduced;
    int m_Width;
    int m_ImageDepth;
    int m_Height;
    int m_InternalFormat;
    unsigned int m_Id;     // GLuint
    unsigned int m_Format; // GLenum
    unsigned int m_Type;   // GLenum
    unsigned char* m_Data;
    // m_Data came from allocatePixels (malloc) rather than new[].
    bool m_FromMalloc;
    // The last upload had no alpha channel.
    bool m_UploadedOpaque;
};

} // namespace Rendering
