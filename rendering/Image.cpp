#include "rendering/Image.h"

#include "core/MessageText.h"
#include "core/Messages.h"

#include <GL/glew.h>

#include <cstdlib>
#include <cstring>
#include <istream>
#include <new>
#include <streambuf>

#include "core/Quotable.h"
#include "reader/JPEGReader.h"
#include "reader/PNGReader.h"
#include "rendering/Render.h"
#include "rendering/Shader.h"

namespace Rendering
{

namespace
{
constexpr const char* c_Loaded = "Image File : \"";
constexpr const char* c_LoadedEnd = "\" loaded.";
constexpr const char* c_LoadFailed = "Couldn't load Image file : \"";
constexpr const char* c_Unsupported = "Unsupported format ... (supported format : PNG / JPG)";
constexpr const char* c_AlreadyReduced = "Already Reduced ...";

bool contains(const std::string& path, const char* text)
{
    return path.find(text) != std::string::npos;
}

// Negative sizes handed to setData count as empty.
std::uint64_t dimension(int value)
{
    return value > 0 ? static_cast<std::uint64_t>(value) : 0;
}

// Reader buffers come from malloc, so that a reduction can shrink them where they lie with
// realloc; the new-handler runs between attempts as operator new runs it.
unsigned char* allocateWithHandler(std::uint64_t bytes)
{
    for (;;) {
        if (void* block = std::malloc(bytes ? bytes : 1))
            return static_cast<unsigned char*>(block);
        const std::new_handler handler = std::get_new_handler();
        if (!handler)
            return nullptr;
        try {
            handler();
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
    }
}
// A read-only, seekable stream over bytes in memory, for the readers' stream interface.
class MemoryBuffer : public std::streambuf
{
public:
    MemoryBuffer(const unsigned char* data, std::size_t size)
    {
        char* begin = const_cast<char*>(reinterpret_cast<const char*>(data));
        setg(begin, begin, begin + size);
    }

private:
    pos_type seekoff(off_type offset, std::ios_base::seekdir from, std::ios_base::openmode) override
    {
        const off_type base = from == std::ios_base::beg   ? 0
                              : from == std::ios_base::cur ? gptr() - eback()
                                                           : egptr() - eback();
        if (offset < -base || offset > (egptr() - eback()) - base)
            return pos_type(off_type(-1));
        setg(eback(), eback() + base + offset, egptr());
        return pos_type(base + offset);
    }
    pos_type seekpos(pos_type position, std::ios_base::openmode mode) override
    {
        return seekoff(off_type(position), std::ios_base::beg, mode);
    }
};
} // namespace

Image::Image()
    : m_IsReduced(false), m_Width(0), m_ImageDepth(0), m_Height(0), m_InternalFormat(0), m_Id(0), m_Format(0),
      m_Type(0), m_Data(nullptr), m_FromMalloc(false), m_UploadedOpaque(false)
{
}

Image::Image(const std::string& path) : Image()
{
    if (load(path))
        Core::Messages::send(Core::MessageLevel::Info, Core::messageText(c_Loaded, Core::quotable(path), c_LoadedEnd));
    else
        Core::Messages::send(Core::MessageLevel::Warning, Core::messageText(c_LoadFailed, Core::quotable(path), "\""));
}

Image::Image(const std::string& name, const unsigned char* data, std::size_t size) : Image()
{
    if (loadFromMemory(data, size, name))
        Core::Messages::send(Core::MessageLevel::Info, Core::messageText(c_Loaded, Core::quotable(name), c_LoadedEnd));
    else
        Core::Messages::send(Core::MessageLevel::Warning, Core::messageText(c_LoadFailed, Core::quotable(name), "\""));
}

Image::Image(const Image& other)
    : m_IsReduced(false), m_Width(other.m_Width), m_ImageDepth(other.m_ImageDepth), m_Height(other.m_Height),
      m_InternalFormat(other.m_InternalFormat), m_Id(0), m_Format(other.m_Format), m_Type(other.m_Type),
      m_Data(nullptr), m_FromMalloc(false), m_UploadedOpaque(false)
{
    if (!other.m_Data)
        return;
    const std::uint64_t size = getMemoryUsage();
    m_Data = new unsigned char[size];
    std::memcpy(m_Data, other.m_Data, size);
}

Image::~Image()
{
    unLoad();
}

bool Image::load(const std::string& path)
{
    if (contains(path, ".png") || contains(path, ".PNG"))
        return Reader::readPNGFile(path, this);
    if (contains(path, ".jpg") || contains(path, ".jpeg") || contains(path, ".JPG") || contains(path, ".JPEG"))
        return Reader::readJPEGFile(path, this);
    Core::Messages::send(Core::MessageLevel::Warning, Core::messageText(c_Unsupported));
    return false;
}

bool Image::loadFromMemory(const unsigned char* data, std::size_t size, const std::string& name)
{
    static const unsigned char png[] = {0x89, 'P', 'N', 'G'};
    static const unsigned char jpeg[] = {0xFF, 0xD8};
    const auto startsWith = [&](const unsigned char* signature, std::size_t length) {
        return size >= length && std::memcmp(data, signature, length) == 0;
    };
    MemoryBuffer buffer(data, size);
    std::istream stream(&buffer);
    if (startsWith(png, sizeof png))
        return Reader::readPNGStream(stream, this, name);
    if (startsWith(jpeg, sizeof jpeg))
        return Reader::readJPEGStream(stream, this, name);
    Core::Messages::send(Core::MessageLevel::Warning, Core::messageText(c_Unsupported));
    return false;
}

void Image::setData(int width, int height, int depth, int internalFormat, unsigned int format, unsigned int type,
                    unsigned char* data)
{
    if (m_Data != data)
        releaseData();
    m_Width = width;
    m_Height = height;
    m_ImageDepth = depth;
    m_InternalFormat = internalFormat;
    m_Format = format;
    m_Type = type;
    m_Data = data;
}

void Image::setPixels(int width, int height, int depth, int internalFormat, unsigned int format, unsigned int type,
                      unsigned char* data)
{
    setData(width, height, depth, internalFormat, format, type, data);
    m_FromMalloc = data != nullptr;
}

unsigned char* Image::allocatePixels(std::uint64_t bytes)
{
    return allocateWithHandler(bytes);
}

void Image::freePixels(unsigned char* data)
{
    std::free(data);
}

void Image::releaseData()
{
    if (m_FromMalloc)
        std::free(m_Data);
    else
        delete[] m_Data;
    m_Data = nullptr;
    m_FromMalloc = false;
}

void Image::unLoad()
{
    m_Width = m_ImageDepth = m_Height = m_InternalFormat = 0;
    m_Format = m_Type = 0;
    releaseData();
}

unsigned int Image::getBytesPerPixel() const
{
    unsigned int channels = 4;
    switch (m_Format) {
    case GL_LUMINANCE:
    case GL_ALPHA:
    case GL_RED:
    case GL_GREEN:
    case GL_BLUE:
    case GL_INTENSITY:
        channels = 1;
        break;
    case GL_LUMINANCE_ALPHA:
        channels = 2;
        break;
    case GL_RGB:
    case GL_BGR:
        channels = 3;
        break;
    default:
        break;
    }
    return m_Type == GL_UNSIGNED_SHORT || m_Type == GL_SHORT ? channels * 2 : channels;
}

std::uint64_t Image::getMemoryUsage() const
{
    return dimension(m_Width) * dimension(m_Height) * getBytesPerPixel();
}

bool Image::isOpaque() const
{
    if (!m_Data)
        return m_Id == 0 || m_UploadedOpaque;
    switch (m_Format) {
    case GL_RGB:
    case GL_BGR:
    case GL_LUMINANCE:
    case GL_RED:
    case GL_GREEN:
    case GL_BLUE:
        return true;
    default:
        return false;
    }
}

void Image::initGL()
{
    if (!m_Data)
        return;
    m_UploadedOpaque = isOpaque();
    // The upload happens at start-up or at a first draw: whatever was bound stays bound, so
    // that drawings which follow without a picture are not tinted by this one.
    GLint previous = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
    glGenTextures(1, &m_Id);
    glBindTexture(GL_TEXTURE_2D, m_Id);
    // Rows are packed without padding; OpenGL's default would expect 4-byte aligned rows.
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, 4, m_Width, m_Height, 0, m_Format, m_Type, m_Data);
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous));
}

void Image::reduceToLimit()
{
    if (m_IsReduced) {
        Core::Messages::send(Core::MessageLevel::Warning, Core::messageText(c_AlreadyReduced));
        return;
    }
    if (!m_Data)
        return;
    const std::uint64_t b = getBytesPerPixel();
    const std::uint64_t total = getMemoryUsage();
    const std::uint64_t row = dimension(m_Width) * b;
    const std::uint64_t quarter = total / 4;
    // A reader's buffer is reduced where it lies (the kept bytes never overtake the ones
    // still to be read) and then shrunk, which needs no new memory.
    unsigned char* reduced = m_FromMalloc ? m_Data : new (std::nothrow) unsigned char[quarter];
    if (!reduced)
        return;
    // The allocation may have run the memory policy, which halves this picture too.
    if (m_IsReduced) {
        if (reduced != m_Data)
            delete[] reduced;
        return;
    }

    std::uint64_t d = 0;
    for (std::uint64_t s = 0; s < total; s += 2 * b) {
        if ((s / row) % 2 == 1)
            s += row;
        for (std::uint64_t i = s; i < s + b && i < total && d < quarter; ++i)
            reduced[d++] = m_Data[i];
    }
    if (m_FromMalloc) {
        if (void* smaller = std::realloc(m_Data, quarter ? quarter : 1))
            m_Data = static_cast<unsigned char*>(smaller);
    } else {
        delete[] m_Data;
        m_Data = reduced;
    }
    m_Width /= 2;
    m_Height /= 2;

    // Only a picture already on the graphics side is uploaded again; the start-up upload
    // or the first apply() takes care of the others.
    if (m_Id != 0) {
        const GLuint replaced = m_Id;
        initGL();
        glDeleteTextures(1, &replaced);
    }
    m_IsReduced = true;
}

Shader* Image::drawingShader()
{
    const Render* render = Render::existing();
    if (!render || !render->hasShaderAvailable())
        return nullptr;
    // The pick pass and the overlay draw with the fixed pipeline: the program's samplers
    // cannot be set while it is not in use.
    GLint current = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    Shader* shader = render->getShader();
    return static_cast<GLuint>(current) == shader->getProgram() ? shader : nullptr;
}

void Image::apply()
{
    // The program's unit first, so that a late upload lands on unit 0 as well.
    if (Shader* shader = drawingShader())
        shader->setTexture2DParameter("TextureID", m_Id, 0);
    if (m_Id == 0 && m_Data)
        initGL();
    glBindTexture(GL_TEXTURE_2D, m_Id);
}

void Image::unApply()
{
    // Under a program a normal map may be bound on unit 1: left there, it would shade the
    // next drawing in plain colour.
    if (drawingShader()) {
        glActiveTexture(GL_TEXTURE1);
        glBindTexture(GL_TEXTURE_2D, 0);
        glActiveTexture(GL_TEXTURE0);
    }
    glBindTexture(GL_TEXTURE_2D, 0);
}

} // namespace Rendering
