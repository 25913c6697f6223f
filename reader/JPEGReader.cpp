#include "reader/JPEGReader.h"

#include "core/MessageText.h"
#include "core/Messages.h"

#include <jerror.h>

#include <GL/gl.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>

#include "core/Quotable.h"
#include "reader/PictureSize.h"
#include "reader/InputFile.h"
#include "rendering/Image.h"

namespace Reader
{

int jpegerror = 0;

namespace
{
constexpr const char* c_OpenFailed = "Couldn't find/load texture : \"";
constexpr const char* c_ErrorOpening = "JPEG loader: Error opening file";
constexpr const char* c_OutOfMemory = "JPEG loader: Out of memory error";
constexpr const char* c_IllegalFile = "JPEG loader: Illegal jpeg file";
constexpr const char* c_JFIF = "JFIF";
constexpr std::size_t c_BufferSize = 4096;
constexpr const char* c_StreamName = "<stream>";
// Real progressive files have about ten scans. Each scan walks the whole picture, so a
// small hostile file made of thousands of empty scans would keep the decoder busy for
// minutes; libjpeg-turbo's own fuzzing stops at the same count.
constexpr int c_MaxScans = 500;
constexpr std::uint64_t c_Unknown = UINT64_MAX;

// What a file may make the decoder spend, from the bytes it holds. Huffman coding spends at
// least one bit on every 8 x 8 block in a picture's first scan, so even a blank picture
// takes a byte for every 8 blocks, and a photograph takes a byte for every 10 to 30 bytes
// of decoded samples. Each budget is a floor, which every small picture stays under, or a
// multiple of the file's size far above what a photograph needs; a few kilobytes that
// claim 16384 x 16384 pixels are refused before the gigabytes they would need are asked
// for, and no file of 64 KB costs more than 128 MiB or about a second.
// Memory: the decoded picture, and the coefficients of every block for a file of several
// scans (kept whole until the last scan has been read).
constexpr std::uint64_t c_MemoryFloor = 64u << 20;
constexpr std::uint64_t c_MemoryPerByte = 2048;
// Work: blocks visited while the scans are read, over all of them (a few nanoseconds each):
// 32 Mi blocks, or 1,024 a byte, which is 128 scans of a blank picture's blocks.
constexpr std::uint64_t c_WorkFloor = 32u << 20;
constexpr std::uint64_t c_WorkPerByte = 1024;

enum Reason
{
    c_NoError = 0,
    c_OpenError = 1,
    c_MemoryError = 2,
    c_DataError = 3
};

// Everything that must outlive a jump out of libjpeg lives here, in the caller of the
// function that sets the jump buffer, and is released there on every path.
struct Decoding
{
    my_error_mgr jerr;
    jpeg_progress_mgr progress;
    jpeg_decompress_struct cinfo;
    std::string name;
    // Bytes of the file from where decoding starts, or c_Unknown for a stream that cannot
    // tell (no budget then).
    std::uint64_t fileBytes = c_Unknown;
    // Blocks visited so far while jpeg_start_decompress reads the scans.
    std::uint64_t work = 0;
    bool readingScans = false;
    bool created = false;
    // Pixels for a Rendering::Image come from its allocator; for simage_jpeg_load, new[].
    bool forImage = false;
    unsigned char* pixels = nullptr;
    int components = 0;
    Reason failure = c_DataError;
};

std::uint64_t budget(std::uint64_t floor, std::uint64_t perByte, std::uint64_t bytes)
{
    if (bytes == c_Unknown || bytes > c_Unknown / perByte)
        return c_Unknown;
    return std::max(floor, perByte * bytes);
}

// Bytes from the stream's position to its end, or c_Unknown; the position is kept.
std::uint64_t bytesLeft(std::istream& stream)
{
    const std::istream::pos_type here = stream.tellg();
    if (here == std::istream::pos_type(-1))
        return c_Unknown;
    stream.seekg(0, std::ios::end);
    const std::istream::pos_type end = stream.tellg();
    stream.clear();
    stream.seekg(here);
    if (end == std::istream::pos_type(-1) || end < here)
        return c_Unknown;
    return static_cast<std::uint64_t>(end - here);
}

// Blocks that one step of reading the current scan goes through: one row of its MCUs.
std::uint64_t blocksPerStep(j_decompress_ptr cinfo)
{
    if (cinfo->comps_in_scan == 1 && cinfo->cur_comp_info[0]) {
        const jpeg_component_info& component = *cinfo->cur_comp_info[0];
        return std::uint64_t(component.width_in_blocks) * static_cast<std::uint64_t>(component.v_samp_factor);
    }
    return std::uint64_t(cinfo->MCUs_per_row) * static_cast<std::uint64_t>(cinfo->blocks_in_MCU);
}

// Progress monitor: libjpeg calls it before each step of reading the scans (and for each
// row handed out); too many scans, or more work than the file's bytes can call for, end
// the decoding.
void watchWork(j_common_ptr common)
{
    const auto cinfo = reinterpret_cast<j_decompress_ptr>(common);
    Decoding& d = *static_cast<Decoding*>(cinfo->client_data);
    if (cinfo->input_scan_number > c_MaxScans) {
        refusePicture(d.name, "has more than " + std::to_string(c_MaxScans) + " scans");
        ERREXIT(common, JERR_BAD_PROGRESSION);
    }
    if (!d.readingScans)
        return;
    d.work += blocksPerStep(cinfo);
    if (d.work > budget(c_WorkFloor, c_WorkPerByte, d.fileBytes)) {
        refusePicture(d.name, "takes more decoding work than its " + std::to_string(d.fileBytes) +
                                  " bytes can call for (scan " + std::to_string(cinfo->input_scan_number) + ")");
        ERREXIT(common, JERR_BAD_PROGRESSION);
    }
}

// False, with the refusal line, when the decoded picture and the coefficient buffer of a
// file of several scans would take more memory than the file's bytes can describe.
bool acceptMemory(Decoding& d)
{
    jpeg_calc_output_dimensions(&d.cinfo);
    std::uint64_t bytes =
        std::uint64_t(d.cinfo.output_width) * d.cinfo.output_height * static_cast<std::uint64_t>(d.components);
    if (jpeg_has_multiple_scans(&d.cinfo)) {
        for (int i = 0; i < d.cinfo.num_components; ++i) {
            const jpeg_component_info& c = d.cinfo.comp_info[i];
            const std::uint64_t h = static_cast<std::uint64_t>(c.h_samp_factor);
            const std::uint64_t v = static_cast<std::uint64_t>(c.v_samp_factor);
            bytes +=
                (c.width_in_blocks + h - 1) / h * h * ((c.height_in_blocks + v - 1) / v * v) * DCTSIZE2 * sizeof(JCOEF);
        }
    }
    if (bytes <= budget(c_MemoryFloor, c_MemoryPerByte, d.fileBytes))
        return true;
    refusePicture(d.name, "is " + std::to_string(d.cinfo.image_width) + " x " + std::to_string(d.cinfo.image_height) +
                              " pixels in " + std::to_string(d.fileBytes) + " bytes: decoding it would take " +
                              std::to_string(bytes >> 20) + " MiB, more than that much data can describe");
    return false;
}

// Runs libjpeg from the header to the end marker; a libjpeg error jumps back here and
// the function returns false.
bool decode(Decoding& d, std::istream& stream)
{
    if (setjmp(d.jerr.setjmp_buffer)) {
        // libjpeg refuses sides over 65500 itself, once it has read them from the frame.
        if (d.created && d.cinfo.err->msg_code == JERR_IMAGE_TOO_BIG &&
            !acceptPictureSize(d.name, d.cinfo.image_width, d.cinfo.image_height))
            d.failure = c_MemoryError;
        return false;
    }

    jpeg_create_decompress(&d.cinfo);
    d.created = true;
    d.cinfo.client_data = &d;
    d.progress.progress_monitor = watchWork;
    d.cinfo.progress = &d.progress;
    jpeg_istream_src(&d.cinfo, &stream);
    jpeg_read_header(&d.cinfo, TRUE);
    if (!acceptPictureSize(d.name, d.cinfo.image_width, d.cinfo.image_height)) {
        d.failure = c_MemoryError;
        return false;
    }
    if (d.cinfo.jpeg_color_space == JCS_GRAYSCALE) {
        d.cinfo.out_color_space = JCS_GRAYSCALE;
        d.components = 1;
    } else {
        d.cinfo.out_color_space = JCS_RGB;
        d.components = 3;
    }
    if (!acceptMemory(d)) {
        d.failure = c_MemoryError;
        return false;
    }
    // A file of several scans is read whole here, scan after scan.
    d.readingScans = true;
    jpeg_start_decompress(&d.cinfo);
    d.readingScans = false;

    const std::size_t stride = static_cast<std::size_t>(d.cinfo.output_width) * d.cinfo.output_components;
    const std::size_t height = d.cinfo.output_height;
    JSAMPARRAY row = (*d.cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&d.cinfo), JPOOL_IMAGE,
                                                  static_cast<JDIMENSION>(stride), 1);
    const std::uint64_t bytes = std::uint64_t(stride) * height;
    d.pixels = d.forImage ? Rendering::Image::allocatePixels(bytes) : new (std::nothrow) unsigned char[bytes];
    if (!d.pixels) {
        d.failure = c_MemoryError;
        return false;
    }
    // The first decoded row is the top of the picture: it goes to the last buffer row.
    while (d.cinfo.output_scanline < height) {
        const std::size_t line = d.cinfo.output_scanline;
        if (jpeg_read_scanlines(&d.cinfo, row, 1) != 1)
            ERREXIT(&d.cinfo, JERR_INPUT_EOF);
        copyScanline(d.pixels + stride * (height - 1 - line), row[0], static_cast<int>(stride));
    }
    jpeg_finish_decompress(&d.cinfo);
    return true;
}

void freePixels(const Decoding& d)
{
    if (d.forImage && d.pixels)
        Rendering::Image::freePixels(d.pixels);
    else
        delete[] d.pixels;
}

// libjpeg's own words (a warning, such as damaged data it read past) as a message, on
// standard error without a sink, as libjpeg would print them.
void say(j_common_ptr cinfo)
{
    char text[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, text);
    try {
        Core::Messages::send(Core::MessageLevel::Warning, text, true);
    } catch (...) {
        // Nothing may leave through libjpeg's C frames.
    }
}

unsigned char* load(std::istream& stream, int* width, int* height, int* components, const std::string& name,
                    bool forImage)
{
    jpegerror = c_NoError;
    Decoding d;
    d.forImage = forImage;
    d.name = name;
    d.fileBytes = bytesLeft(stream);
    d.cinfo.err = jpeg_std_error(&d.jerr.pub);
    d.jerr.pub.error_exit = my_error_exit;
    d.jerr.pub.output_message = say;
    const bool decoded = decode(d, stream);
    if (d.created)
        jpeg_destroy_decompress(&d.cinfo);
    if (!decoded) {
        freePixels(d);
        jpegerror = d.failure;
        return nullptr;
    }
    *width = static_cast<int>(d.cinfo.output_width);
    *height = static_cast<int>(d.cinfo.output_height);
    *components = d.components;
    return d.pixels;
}

GLenum formatOf(int components)
{
    switch (components) {
    case 1:
        return GL_LUMINANCE;
    case 2:
        return GL_LUMINANCE_ALPHA;
    case 3:
        return GL_RGB;
    case 4:
        return GL_RGBA;
    default:
        return 0;
    }
}
} // namespace

bool readJPEGFile(const std::string& path, Rendering::Image* image)
{
    InputFile file(path);
    if (!file.isOpen()) {
        Core::Messages::send(Core::MessageLevel::Warning, Core::messageText(c_OpenFailed, Core::quotable(path)));
        return false;
    }
    return readJPEGStream(file.stream(), image, path);
}

bool readJPEGStream(std::istream& stream, Rendering::Image* image, const std::string& name)
{
    int width = 0, height = 0, components = 0;
    unsigned char* pixels = load(stream, &width, &height, &components, name, true);
    if (!pixels)
        return false;
    const GLenum format = formatOf(components);
    if (format == 0) {
        Rendering::Image::freePixels(pixels);
        return false;
    }
    image->setPixels(width, height, 1, static_cast<int>(format), format, GL_UNSIGNED_BYTE, pixels);
    return true;
}

unsigned char* simage_jpeg_load(std::istream& stream, int* width, int* height, int* components)
{
    return load(stream, width, height, components, c_StreamName, false);
}

int simage_jpeg_identify(const char*, const unsigned char* header, int headerlen)
{
    return headerlen >= 10 && std::memcmp(header + 6, c_JFIF, 4) == 0 ? 1 : 0;
}

int simage_jpeg_error(char* buffer, int bufferlen)
{
    const char* text = nullptr;
    switch (jpegerror) {
    case c_OpenError:
        text = c_ErrorOpening;
        break;
    case c_MemoryError:
        text = c_OutOfMemory;
        break;
    case c_DataError:
        text = c_IllegalFile;
        break;
    default:
        break;
    }
    if (text && buffer && bufferlen > 0)
        std::strncpy(buffer, text, static_cast<std::size_t>(bufferlen));
    return jpegerror;
}

void my_error_exit(j_common_ptr cinfo)
{
    // libjpeg is C: it is left through the jump buffer, never by an exception.
    my_error_mgr* err = reinterpret_cast<my_error_mgr*>(cinfo->err);
    std::longjmp(err->setjmp_buffer, 1);
}

unsigned char* copyScanline(unsigned char* dst, unsigned char* src, int len)
{
    std::memcpy(dst, src, static_cast<std::size_t>(len));
    // Computed as an address: before the first row it points outside the buffer.
    return reinterpret_cast<unsigned char*>(reinterpret_cast<std::uintptr_t>(dst) - static_cast<std::uintptr_t>(len));
}

void jpeg_istream_src(j_decompress_ptr cinfo, std::istream* stream)
{
    if (!cinfo->src) {
        auto* record = static_cast<istream_source_mgr*>((*cinfo->mem->alloc_small)(
            reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(istream_source_mgr)));
        record->buffer = static_cast<JOCTET*>(
            (*cinfo->mem->alloc_small)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, c_BufferSize));
        cinfo->src = &record->pub;
    } else if (cinfo->src->init_source != init_source) {
        // Another kind of source record is installed: it has no room for ours.
        ERREXIT(cinfo, JERR_BUFFER_SIZE);
    }
    auto* src = reinterpret_cast<istream_source_mgr*>(cinfo->src);
    src->pub.init_source = init_source;
    src->pub.fill_input_buffer = fill_input_buffer;
    src->pub.skip_input_data = skip_input_data;
    src->pub.resync_to_restart = jpeg_resync_to_restart;
    src->pub.term_source = term_source;
    src->stream = stream;
    src->pub.bytes_in_buffer = 0;
    src->pub.next_input_byte = nullptr;
}

void init_source(j_decompress_ptr cinfo)
{
    reinterpret_cast<istream_source_mgr*>(cinfo->src)->start_of_file = TRUE;
}

boolean fill_input_buffer(j_decompress_ptr cinfo)
{
    auto* src = reinterpret_cast<istream_source_mgr*>(cinfo->src);
    src->stream->read(reinterpret_cast<char*>(src->buffer), static_cast<std::streamsize>(c_BufferSize));
    std::size_t n = static_cast<std::size_t>(src->stream->gcount());
    if (n == 0) {
        if (src->start_of_file)
            ERREXIT(cinfo, JERR_INPUT_EMPTY);
        WARNMS(cinfo, JWRN_JPEG_EOF);
        // A fake end-of-image marker lets a truncated picture finish cleanly.
        src->buffer[0] = static_cast<JOCTET>(0xFF);
        src->buffer[1] = static_cast<JOCTET>(JPEG_EOI);
        n = 2;
    }
    src->pub.next_input_byte = src->buffer;
    src->pub.bytes_in_buffer = n;
    src->start_of_file = FALSE;
    return TRUE;
}

void skip_input_data(j_decompress_ptr cinfo, long num_bytes)
{
    if (num_bytes <= 0)
        return;
    jpeg_source_mgr* src = cinfo->src;
    std::size_t count = static_cast<std::size_t>(num_bytes);
    while (count > src->bytes_in_buffer) {
        count -= src->bytes_in_buffer;
        fill_input_buffer(cinfo);
    }
    src->next_input_byte += count;
    src->bytes_in_buffer -= count;
}

void term_source(j_decompress_ptr) {}

void jpeg_stream_dest(j_compress_ptr cinfo, std::ostream* stream)
{
    if (!cinfo->dest) {
        cinfo->dest = static_cast<jpeg_destination_mgr*>((*cinfo->mem->alloc_small)(
            reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(ostream_destination_mgr)));
    } else if (cinfo->dest->init_destination != init_destination) {
        ERREXIT(cinfo, JERR_BUFFER_SIZE);
    }
    auto* dest = reinterpret_cast<ostream_destination_mgr*>(cinfo->dest);
    dest->pub.init_destination = init_destination;
    dest->pub.empty_output_buffer = empty_output_buffer;
    dest->pub.term_destination = term_destination;
    dest->stream = stream;
}

void init_destination(j_compress_ptr cinfo)
{
    auto* dest = reinterpret_cast<ostream_destination_mgr*>(cinfo->dest);
    dest->buffer = static_cast<JOCTET*>(
        (*cinfo->mem->alloc_small)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE, c_BufferSize));
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = c_BufferSize;
}

boolean empty_output_buffer(j_compress_ptr cinfo)
{
    auto* dest = reinterpret_cast<ostream_destination_mgr*>(cinfo->dest);
    if (!dest->stream->write(reinterpret_cast<const char*>(dest->buffer), static_cast<std::streamsize>(c_BufferSize)))
        ERREXIT(cinfo, JERR_FILE_WRITE);
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = c_BufferSize;
    return TRUE;
}

void term_destination(j_compress_ptr cinfo)
{
    auto* dest = reinterpret_cast<ostream_destination_mgr*>(cinfo->dest);
    const std::size_t count = c_BufferSize - dest->pub.free_in_buffer;
    if (count > 0 &&
        !dest->stream->write(reinterpret_cast<const char*>(dest->buffer), static_cast<std::streamsize>(count)))
        ERREXIT(cinfo, JERR_FILE_WRITE);
    dest->stream->flush();
    if (!*dest->stream)
        ERREXIT(cinfo, JERR_FILE_WRITE);
}

} // namespace Reader
