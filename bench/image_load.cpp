// Picture loading speed: Reader::readPNGFile on RGB and RGBA pictures and
// Reader::readJPEGFile on a colour picture, each against a bare decode of the same file
// with the library alone (libpng's png_read_image from a FILE*, libjpeg's stdio source),
// measured in the same run. Both sides decode into a freshly allocated buffer each time,
// as loading a new picture does. The files are generated in a temporary folder.
// Usage: image_load [repetitions] [side in pixels]      (defaults: 9, 2048)
#include <png.h>

#include "reader/JPEGReader.h"

#include <algorithm>
#include <chrono>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "reader/PNGReader.h"
#include "rendering/Image.h"

namespace
{
using Clock = std::chrono::steady_clock;

// Smooth gradients with a little noise: compresses like a photograph or a painted texture.
std::vector<unsigned char> makePixels(int side, int channels)
{
    std::vector<unsigned char> pixels(static_cast<std::size_t>(side) * side * channels);
    unsigned int noise = 12345;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            for (int c = 0; c < channels; ++c) {
                noise = noise * 1103515245u + 12345u;
                const int value = (x * (c + 1) + y * (3 - c)) / 16 + static_cast<int>(noise >> 29);
                pixels[(static_cast<std::size_t>(y) * side + x) * channels + c] = static_cast<unsigned char>(value);
            }
    return pixels;
}

void writePNG(const std::string& path, int side, int channels)
{
    const std::vector<unsigned char> pixels = makePixels(side, channels);
    FILE* file = std::fopen(path.c_str(), "wb");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::exit(1);
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, side, side, 8, channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < side; ++y)
        png_write_row(png, pixels.data() + static_cast<std::size_t>(y) * side * channels);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
}

void writeJPEG(const std::string& path, int side)
{
    const std::vector<unsigned char> pixels = makePixels(side, 3);
    FILE* file = std::fopen(path.c_str(), "wb");
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = cinfo.image_height = static_cast<JDIMENSION>(side);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels.data() + static_cast<std::size_t>(cinfo.next_scanline) * side * 3);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::fclose(file);
}

bool barePNG(const std::string& path)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::unique_ptr<unsigned char[]> pixels;
    std::vector<png_bytep> rows;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_read_info(png, info);
    png_read_update_info(png, info);
    const std::size_t rowBytes = png_get_rowbytes(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    pixels.reset(new unsigned char[rowBytes * height]);
    rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y)
        rows[y] = pixels.get() + y * rowBytes;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return true;
}

bool bareJPEG(const std::string& path)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, file);
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    const std::size_t stride = static_cast<std::size_t>(cinfo.output_width) * cinfo.output_components;
    std::unique_ptr<unsigned char[]> pixels(new unsigned char[stride * cinfo.output_height]);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = pixels.get() + stride * cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    std::fclose(file);
    return true;
}

double seconds(const std::function<bool()>& decode)
{
    const auto start = Clock::now();
    if (!decode()) {
        std::fprintf(stderr, "decode failed\n");
        std::exit(1);
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Alternates the two decodes so that both see the same machine load; one warm-up each.
void compare(const char* label, int repetitions, const std::function<bool()>& ours, const std::function<bool()>& bare)
{
    seconds(ours);
    seconds(bare);
    std::vector<double> oursTimes, bareTimes;
    for (int i = 0; i < repetitions; ++i) {
        oursTimes.push_back(seconds(ours));
        bareTimes.push_back(seconds(bare));
    }
    const double o = median(oursTimes), b = median(bareTimes);
    std::printf("%-10s ours %8.2f ms   bare %8.2f ms   ratio %.3f\n", label, o * 1e3, b * 1e3, o / b);
}
} // namespace

int main(int argc, char** argv)
{
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    const int side = argc > 2 ? std::max(8, std::atoi(argv[2])) : 2048;
    char pattern[] = "/tmp/tessellon-image-load-XXXXXX";
    if (!mkdtemp(pattern))
        return 1;
    const std::string dir = pattern;
    const std::string rgb = dir + "/rgb.png", rgba = dir + "/rgba.png", jpeg = dir + "/colour.jpg";
    writePNG(rgb, side, 3);
    writePNG(rgba, side, 4);
    writeJPEG(jpeg, side);

    std::printf("%d x %d pictures, median of %d decodes (ratio = ours / bare; target <= 1.05)\n", side, side,
                repetitions);
    // Both sides free each picture before the next decode, so both may reuse that memory.
    const auto ourPNG = [](const std::string& path) {
        Rendering::Image image;
        return Reader::readPNGFile(path, &image);
    };
    const auto ourJPEG = [](const std::string& path) {
        Rendering::Image image;
        return Reader::readJPEGFile(path, &image);
    };
    compare(
        "PNG RGB", repetitions, [&] { return ourPNG(rgb); }, [&] { return barePNG(rgb); });
    compare(
        "PNG RGBA", repetitions, [&] { return ourPNG(rgba); }, [&] { return barePNG(rgba); });
    compare(
        "JPEG RGB", repetitions, [&] { return ourJPEG(jpeg); }, [&] { return bareJPEG(jpeg); });
    std::filesystem::remove_all(dir);
    return 0;
}
