#include "support/PictureFiles.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "reader/JPEGReader.h"
#include "reader/PNGReader.h"

namespace TestSupport
{

std::string conformanceDir()
{
    std::error_code ignored;
    return std::filesystem::is_directory(TESSELLON_CONFORMANCE_DIR, ignored) ? TESSELLON_CONFORMANCE_DIR : "";
}

TempDir::TempDir()
{
    char pattern[] = "/tmp/tessellon-pictures-XXXXXX";
    if (!mkdtemp(pattern))
        throw std::runtime_error("mkdtemp failed");
    m_Root = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_Root, ignored);
}

std::string pngBytes(const PNGPicture& picture)
{
    std::ostringstream out;
    png_structp png = png_create_write_struct(
        PNG_LIBPNG_VER_STRING, nullptr, [](png_structp p, png_const_charp) { png_longjmp(p, 1); }, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("PNG writer failed");
    }
    png_set_write_fn(png, &out, Reader::png_write_ostream, Reader::png_flush_ostream);
    png_set_compression_level(png, 1);
    png_set_IHDR(png, info, picture.width, picture.height, picture.bitDepth, picture.colorType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    if (picture.bitDepth == 16)
        png_set_swap(png); // the rows hold samples in this processor's (little-endian) order
    const std::size_t rowBytes = picture.rows.size() / picture.height;
    for (std::uint32_t y = 0; y < picture.height; ++y)
        png_write_row(png, picture.rows.data() + y * rowBytes);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out.str();
}

std::string pngHeaderOnly(std::uint32_t width, std::uint32_t height, int bitDepth, int colorType)
{
    std::string chunk = "IHDR";
    for (std::uint32_t v : {width, height})
        for (int shift = 24; shift >= 0; shift -= 8)
            chunk += static_cast<char>(v >> shift & 0xFF);
    chunk += {static_cast<char>(bitDepth), static_cast<char>(colorType), 0, 0, 0};
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(chunk.data()), static_cast<uInt>(chunk.size()));
    std::string bytes("\x89PNG\r\n\x1a\n\0\0\0\x0d", 12);
    bytes += chunk;
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes += static_cast<char>(crc >> shift & 0xFF);
    return bytes;
}

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeBlankRGBA(const std::string& path, std::uint32_t width, std::uint32_t height)
{
    writeFile(path, pngBytes({width, height, 8, PNG_COLOR_TYPE_RGB_ALPHA,
                              std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * 4)}));
}

std::string jpegBytes(int width, int height, int components, const std::vector<std::uint8_t>& pixels, int quality,
                      bool progressive, std::ostream* sink)
{
    std::ostringstream out;
    Reader::my_error_mgr jerr;
    jpeg_compress_struct cinfo;
    cinfo.err = jpeg_std_error(&jerr.pub);
    jerr.pub.error_exit = Reader::my_error_exit;
    if (setjmp(jerr.setjmp_buffer)) {
        jpeg_destroy_compress(&cinfo);
        throw std::runtime_error("JPEG writer failed: " + std::to_string(jerr.pub.msg_code));
    }
    jpeg_create_compress(&cinfo);
    Reader::jpeg_stream_dest(&cinfo, sink ? sink : &out);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = components;
    cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 4 ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    if (progressive)
        jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels.data() + cinfo.next_scanline * width * components);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return out.str();
}

ChildResult runInChild(const std::function<void()>& body)
{
    ChildResult result;
    int fds[2];
    if (pipe(fds) != 0)
        return result;
    std::cout.flush();
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        dup2(fds[1], STDOUT_FILENO);
        body();
        std::cout.flush();
        _exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    close(fds[1]);
    char buffer[4096];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof(buffer))) > 0)
        result.output.append(buffer, static_cast<std::size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status))
        result.status = WEXITSTATUS(status);
    return result;
}

} // namespace TestSupport
