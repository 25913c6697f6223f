#include "reader/PNGReader.h"

#include "core/MessageText.h"
#include "core/Messages.h"

#include <GL/gl.h>

#include <cstdint>
#include <cstring>
#include <new>

#include "core/Quotable.h"
#include "reader/InputFile.h"
#include "rendering/Image.h"

namespace Reader
{

namespace
{
constexpr const char* c_OpenFailed = "Couldn't open/find file : \"";
constexpr const char* c_HeaderError = "Error in header.";
constexpr const char* c_LibMessage = "PNG lib warning : ";
constexpr const char* c_FormatError = "Pixel Format error ...";
constexpr const char* c_ReadError = "Read Error";
constexpr const char* c_WriteError = "Write Error";
constexpr const char* c_OutOfMemory = "Out of memory";
constexpr std::size_t c_SignatureSize = 8;
constexpr png_byte c_IgnoredChunks[] = "tEXt\0zTXt\0iTXt\0iCCP\0sPLT\0pCAL\0sCAL\0eXIf\0hIST\0tIME\0pHYs\0oFFs";
constexpr int c_IgnoredChunkCount = sizeof(c_IgnoredChunks) / 5;
constexpr double c_ScreenGamma = 2.2;
constexpr double c_DefaultFileGamma = 0.45454545454545453;

// Everything that must outlive a jump out of libpng: it lives in the caller of the
// function that sets the jump buffer, so none of it is a register copy that the jump
// could leave stale, and the caller releases it on every path.
struct Decoding
{
    png_structp png = nullptr;
    png_infop info = nullptr;
    png_infop endInfo = nullptr;
    unsigned char* pixels = nullptr;
    std::uint64_t pixelBytes = 0;
    png_bytep* rows = nullptr;
    char message[256] = {};
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bitDepth = 0;
    int colorType = 0;
    png_byte channels = 0;
};

bool hasSignature(std::istream& stream)
{
    png_byte signature[c_SignatureSize];
    stream.read(reinterpret_cast<char*>(signature), c_SignatureSize);
    return static_cast<std::size_t>(stream.gcount()) == c_SignatureSize &&
           png_sig_cmp(signature, 0, c_SignatureSize) == 0;
}

// png_read_info goes on to the first pixel data before it tells the size: a file that
// claims a huge picture and then ends would fail for its missing data instead. The size
// is therefore taken from the header chunk first; the stream is put back where it was.
bool acceptHeaderSize(std::istream& stream, const std::string& name)
{
    const std::istream::pos_type start = stream.tellg();
    if (start == std::istream::pos_type(-1))
        return true; // not seekable: the check after png_read_info still applies
    unsigned char chunk[16];
    stream.read(reinterpret_cast<char*>(chunk), sizeof(chunk));
    const bool complete = static_cast<std::size_t>(stream.gcount()) == sizeof(chunk);
    stream.clear();
    if (!stream.seekg(start))
        return false;
    if (!complete || std::memcmp(chunk + 4, "IHDR", 4) != 0)
        return true; // libpng reports what is wrong with it
    return acceptPictureSize(name, png_get_uint_32(chunk + 8), png_get_uint_32(chunk + 12));
}

void requestTransformations(png_structp png, png_infop info, int bitDepth, int colorType)
{
    if (bitDepth > 8 && getCpuByteOrder() == 1)
        png_set_swap(png);
    if (colorType == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(png);
    if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8)
        png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS))
        png_set_tRNS_to_alpha(png);
    if (bitDepth < 8)
        png_set_packing(png);

    double fileGamma = 0.0;
    if (png_get_gAMA(png, info, &fileGamma))
        png_set_gamma(png, c_ScreenGamma, fileGamma);
    else
        png_set_gamma(png, c_ScreenGamma, c_DefaultFileGamma);
    // png_read_image expands interlaced pictures itself, but libpng 1.6 warns unless asked.
    png_set_interlace_handling(png);
}

// Runs libpng from the header to the end chunk. A libpng error jumps back here and the
// function returns false; what it allocated is in `d` for the caller to release.
bool decode(Decoding& d, std::istream& stream, const std::string& name)
{
    if (setjmp(png_jmpbuf(d.png)))
        return false;

    // The size limit below is ours and comes with its own message.
    png_set_user_limits(d.png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
    // Only pixels are wanted. libpng reads these chunks whole into a buffer of the length
    // the file claims (up to 2 GiB, zero-filled), so they are skipped unread instead.
    png_set_keep_unknown_chunks(d.png, PNG_HANDLE_CHUNK_NEVER, c_IgnoredChunks, c_IgnoredChunkCount);
    png_set_read_fn(d.png, &stream, png_read_istream);
    png_set_sig_bytes(d.png, static_cast<int>(c_SignatureSize));
    png_read_info(d.png, d.info);
    png_get_IHDR(d.png, d.info, &d.width, &d.height, &d.bitDepth, &d.colorType, nullptr, nullptr, nullptr);
    if (!acceptPictureSize(name, d.width, d.height))
        return false;

    requestTransformations(d.png, d.info, d.bitDepth, d.colorType);
    png_read_update_info(d.png, d.info);
    const std::uint64_t rowBytes = png_get_rowbytes(d.png, d.info);
    d.channels = png_get_channels(d.png, d.info);

    d.pixelBytes = rowBytes * d.height;
    d.pixels = Rendering::Image::allocatePixels(d.pixelBytes);
    d.rows = new (std::nothrow) png_bytep[d.height];
    if (!d.pixels || !d.rows)
        png_error(d.png, c_OutOfMemory);
    for (std::uint64_t i = 0; i < d.height; ++i)
        d.rows[d.height - 1 - i] = d.pixels + i * rowBytes;
    png_read_image(d.png, d.rows);
    delete[] d.rows;
    d.rows = nullptr;
    png_read_end(d.png, d.endInfo);
    return true;
}

// The OpenGL format of the transformed samples, or 0 when the colour type has none.
GLenum formatOf(int colorType, png_byte channels)
{
    switch (colorType) {
    case PNG_COLOR_TYPE_GRAY:
        return channels == 2 ? GL_LUMINANCE_ALPHA : GL_LUMINANCE;
    case PNG_COLOR_TYPE_RGB:
    case PNG_COLOR_TYPE_PALETTE:
        return channels == 4 ? GL_RGBA : GL_RGB;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        return GL_LUMINANCE_ALPHA;
    case PNG_COLOR_TYPE_RGB_ALPHA:
        return GL_RGBA;
    default:
        return 0;
    }
}
} // namespace

std::ostream& operator<<(std::ostream& stream, const PNGError& error)
{
    return stream << Core::quotable(error.getMessage());
}

bool readPNGFile(const std::string& path, Rendering::Image* image)
{
    InputFile file(path);
    if (!file.isOpen()) {
        Core::Messages::send(Core::MessageLevel::Warning, Core::messageText(c_OpenFailed, Core::quotable(path), "\""));
        return false;
    }
    return readPNGStream(file.stream(), image, path);
}

bool readPNGStream(std::istream& stream, Rendering::Image* image, const std::string& name)
{
    if (!hasSignature(stream)) {
        Core::Messages::send(Core::MessageLevel::Warning, Core::messageText(c_HeaderError));
        return false;
    }

    if (!acceptHeaderSize(stream, name))
        return false;

    Decoding d;
    d.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (d.png) {
        png_set_error_fn(d.png, d.message, user_error_fn, user_warning_fn);
        d.info = png_create_info_struct(d.png);
        d.endInfo = png_create_info_struct(d.png);
    }
    bool decoded = false;
    if (!d.png || !d.info || !d.endInfo)
        Core::Messages::send(Core::MessageLevel::Warning, Core::messageText(PNGError(c_OutOfMemory)));
    else if (!(decoded = decode(d, stream, name)) && d.message[0] != '\0')
        Core::Messages::send(Core::MessageLevel::Warning, Core::messageText(PNGError(d.message)));
    png_destroy_read_struct(&d.png, &d.info, &d.endInfo);
    delete[] d.rows;

    const GLenum format = decoded ? formatOf(d.colorType, d.channels) : 0;
    if (decoded && format == 0)
        Core::Messages::send(Core::MessageLevel::Warning, Core::messageText(c_FormatError));
    if (format == 0) {
        if (d.pixels)
            Rendering::Image::freePixels(d.pixels);
        return false;
    }
    const GLenum type = d.bitDepth <= 8 ? GL_UNSIGNED_BYTE : GL_UNSIGNED_SHORT;
    image->setPixels(static_cast<int>(d.width), static_cast<int>(d.height), 1, static_cast<int>(format), format, type,
                     d.pixels);
    return true;
}

void png_read_istream(png_structp png, png_bytep data, png_size_t length)
{
    auto* stream = static_cast<std::istream*>(png_get_io_ptr(png));
    if (!stream || !stream->read(reinterpret_cast<char*>(data), static_cast<std::streamsize>(length)))
        png_error(png, c_ReadError);
}

void png_write_ostream(png_structp png, png_bytep data, png_size_t length)
{
    auto* stream = static_cast<std::ostream*>(png_get_io_ptr(png));
    if (!stream || !stream->write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(length)))
        png_error(png, c_WriteError);
}

void png_flush_ostream(png_structp png)
{
    if (auto* stream = static_cast<std::ostream*>(png_get_io_ptr(png)))
        stream->flush();
}

void user_error_fn(png_structp png, png_const_charp message)
{
    if (!message)
        message = "";
    Core::Messages::send(Core::MessageLevel::Warning, Core::messageText(c_LibMessage, Core::quotable(message)));
    // The error pointer, when set, is readPNGStream's buffer for the error it reports.
    if (char* text = static_cast<char*>(png_get_error_ptr(png))) {
        std::strncpy(text, message, sizeof(Decoding::message) - 1);
        text[sizeof(Decoding::message) - 1] = '\0';
    }
    // libpng is C: it is left through its jump buffer, never by an exception.
    png_longjmp(png, 1);
}

void user_warning_fn(png_structp, png_const_charp message)
{
    Core::Messages::send(Core::MessageLevel::Warning,
                         Core::messageText(c_LibMessage, Core::quotable(message ? message : "")));
}

int getCpuByteOrder()
{
    const unsigned char bytes[2] = {0, 1};
    std::uint16_t value = 0;
    std::memcpy(&value, bytes, sizeof(value));
    return value == 1 ? 0 : 1;
}

} // namespace Reader
