#include <gtest/gtest.h>

#include <GL/gl.h>
#include <jerror.h>
#include <stb_image.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "reader/JPEGReader.h"
#include "rendering/Image.h"
#include "support/PictureFiles.h"

using TestSupport::CapturedOutput;

namespace
{
std::string jpegPath(const std::string& name)
{
    return TestSupport::conformanceDir() + "/jpeg/" + name;
}

bool decode(const std::string& bytes, Rendering::Image& image, std::string* output = nullptr)
{
    std::istringstream stream(bytes);
    CapturedOutput captured;
    const bool ok = Reader::readJPEGStream(stream, &image, "memory.jpg");
    if (output)
        *output = captured.text();
    return ok;
}

// The tables of an 8 x 8 file with its frame made width x height, then `scans` copies of
// its first scan header without any data: a few kilobytes that make the decoder walk the
// whole picture once a scan.
std::string bomb(int components, int width, int height, int scans)
{
    const std::string small = TestSupport::jpegBytes(8, 8, components, std::vector<std::uint8_t>(64 * components), 95, true);
    const std::size_t sof = small.find("\xFF\xC2"), first = small.find("\xFF\xDA");
    const std::size_t second = small.find("\xFF\xDA", first + 2);
    std::string bytes = small.substr(0, first);
    const char size[] = {char(height >> 8), char(height & 0xff), char(width >> 8), char(width & 0xff)};
    bytes.replace(sof + 5, 4, size, 4);
    for (int i = 0; i < scans; ++i)
        bytes += small.substr(first, second - first);
    return bytes + "\xFF\xD9";
}

// Offset just after the start-of-scan header: the file with no compressed data at all.
std::size_t endOfScanHeader(const std::string& bytes)
{
    const std::size_t sos = bytes.find("\xFF\xDA");
    const std::size_t length =
        static_cast<unsigned char>(bytes[sos + 2]) << 8 | static_cast<unsigned char>(bytes[sos + 3]);
    return sos + 2 + length;
}
} // namespace

// Baseline and progressive colour files decode like stb_image within the rounding of two
// different inverse transforms; arithmetic coding decodes; 12-bit samples are refused.
TEST(JPEGReader, ConformanceFiles)
{
    REQUIRE_CONFORMANCE_DIR();
    for (const char* name : {"testorig.jpg", "testimgint.jpg", "testimgari.jpg"}) {
        SCOPED_TRACE(name);
        Rendering::Image image;
        CapturedOutput captured;
        ASSERT_TRUE(Reader::readJPEGFile(jpegPath(name), &image));
        EXPECT_EQ(captured.text(), "");
        EXPECT_EQ(image.getWidth() * 1000 + image.getHeight(), 227149);
        EXPECT_EQ(image.getFormat(), static_cast<GLenum>(GL_RGB));
        if (std::strcmp(name, "testimgari.jpg") == 0)
            continue; // stb_image has no arithmetic decoding
        int w = 0, h = 0, n = 0;
        stbi_set_flip_vertically_on_load(1);
        stbi_uc* theirs = stbi_load(jpegPath(name).c_str(), &w, &h, &n, 3);
        ASSERT_NE(theirs, nullptr);
        const std::size_t size = static_cast<std::size_t>(w) * h * 3;
        ASSERT_EQ(image.getMemoryUsage(), size);
        double sum = 0;
        for (std::size_t i = 0; i < size; ++i) {
            const int d = std::abs(int(image.getData()[i]) - int(theirs[i]));
            sum += d;
            ASSERT_LE(d, 4) << "sample " << i;
        }
        EXPECT_LT(sum / size, 0.5);
        stbi_image_free(theirs);
    }

    Rendering::Image image;
    EXPECT_FALSE(Reader::readJPEGFile(jpegPath("monkey12.jpg"), &image));
    EXPECT_EQ(Reader::jpegerror, 3);
    EXPECT_FALSE(image.isLoaded());
}

// Written through the stream destination manager (several 4096-byte blocks) and read
// back through the stream source manager.
TEST(JPEGReader, StreamManagersRoundTrip)
{
    std::vector<std::uint8_t> pixels(160 * 120 * 3);
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<std::uint8_t>(i * 7 % 251);
    const std::string bytes = TestSupport::jpegBytes(160, 120, 3, pixels);
    ASSERT_GT(bytes.size(), 3 * 4096u);
    EXPECT_EQ(Reader::simage_jpeg_identify(nullptr, reinterpret_cast<const unsigned char*>(bytes.data()), 10), 1);
    EXPECT_EQ(Reader::simage_jpeg_identify(nullptr, reinterpret_cast<const unsigned char*>(bytes.data()), 9), 0);
    std::istringstream in(bytes);
    int w = 0, h = 0, c = 0;
    unsigned char* data = Reader::simage_jpeg_load(in, &w, &h, &c);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(Reader::jpegerror, 0);
    EXPECT_EQ(w * 1000 + h * 10 + c, 160 * 1000 + 120 * 10 + 3);
    delete[] data;
    // Grey rows are stored bottom-up.
    Rendering::Image grey;
    ASSERT_TRUE(decode(TestSupport::jpegBytes(4, 2, 1, {0, 0, 0, 0, 250, 250, 250, 250}, 100), grey));
    EXPECT_EQ(grey.getFormat(), static_cast<GLenum>(GL_LUMINANCE));
    ASSERT_EQ(grey.getMemoryUsage(), 8u);
    for (int i = 0; i < 8; ++i)
        EXPECT_NEAR(grey.getData()[i], i < 4 ? 250 : 0, 8) << i;

    // A stream that refuses writing is libjpeg's write error, raised through its error manager.
    std::ostringstream refusing;
    refusing.setstate(std::ios::badbit);
    try {
        TestSupport::jpegBytes(8, 8, 1, pixels, 95, false, &refusing);
        ADD_FAILURE() << "written to a stream that refuses writing";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "JPEG writer failed: " + std::to_string(JERR_FILE_WRITE));
    }
}

TEST(JPEGReader, BrokenAndShortFiles)
{
    const std::string good = TestSupport::jpegBytes(64, 48, 3, std::vector<std::uint8_t>(64 * 48 * 3, 200));
    Rendering::Image image;
    std::string output;
    // Empty: illegal data, nothing printed.
    EXPECT_FALSE(decode("", image, &output));
    EXPECT_EQ(Reader::jpegerror, 3);
    EXPECT_EQ(output, "");
    // Cut after its header: the missing data end as libjpeg makes of them, and it loads.
    EXPECT_TRUE(decode(good.substr(0, endOfScanHeader(good)), image));
    EXPECT_EQ(image.getWidth() * 100 + image.getHeight(), 64 * 100 + 48);
    // An error after the pixel buffer exists (a second frame header where the end marker
    // belongs): the buffer is released (the sanitizer build checks) and the image kept.
    EXPECT_FALSE(decode(good.substr(0, good.size() - 2) + good.substr(2, endOfScanHeader(good) - 2), image));
    EXPECT_EQ(Reader::jpegerror, 3);
    EXPECT_EQ(image.getWidth(), 64);
    // CMYK has no conversion to RGB in libjpeg: refused as illegal data.
    EXPECT_FALSE(decode(TestSupport::jpegBytes(8, 8, 4, std::vector<std::uint8_t>(256, 7)), image));
    EXPECT_EQ(Reader::jpegerror, 3);
    // A header claiming more than 16384 pixels a side, and one beyond what libjpeg reads.
    std::string huge = good;
    const std::size_t sof = huge.find("\xFF\xC0");
    huge[sof + 5] = huge[sof + 6] = '\x50'; // height 0x5050
    EXPECT_FALSE(decode(huge, image, &output));
    EXPECT_EQ(output, "Picture too large : \"memory.jpg\" is 64 x 20560 pixels (at most 16384 x 16384).\n");
    huge[sof + 7] = huge[sof + 8] = '\xff'; // width 0xffff
    EXPECT_FALSE(decode(huge, image, &output));
    EXPECT_EQ(output, "Picture too large : \"memory.jpg\" is 65535 x 20560 pixels (at most 16384 x 16384).\n");
    EXPECT_EQ(Reader::jpegerror, 2);

    CapturedOutput captured;
    EXPECT_FALSE(Reader::readJPEGFile("/nonexistent/picture.jpg", &image));
    EXPECT_EQ(captured.text(), "Couldn't find/load texture : \"/nonexistent/picture.jpg\n");
}

// A decompression bomb is refused, with its reason, before it costs more memory or work
// than its bytes can describe: 16384 x 16384 pixels in 7 KB would take 1.5 GiB and
// seconds; 4096 x 4096 grey pixels fit in memory, but 499 scans of them are too much work.
TEST(JPEGReader, BombsAreRefusedForWhatTheyWouldCost)
{
    const std::string large = bomb(3, 16384, 16384, 499), busy = bomb(1, 4096, 4096, 499);
    Rendering::Image image;
    std::string output;
    EXPECT_FALSE(decode(large, image, &output));
    EXPECT_EQ(Reader::jpegerror, 2);
    EXPECT_EQ(output, "Picture refused : \"memory.jpg\" is 16384 x 16384 pixels in " + std::to_string(large.size()) +
                          " bytes: decoding it would take 1536 MiB, more than that much data can describe.\n");
    EXPECT_FALSE(decode(busy, image, &output));
    EXPECT_EQ(output.rfind("Picture refused : \"memory.jpg\" takes more decoding work than its " +
                               std::to_string(busy.size()) + " bytes can call for (scan ",
                           0),
              0u)
        << output;
    // The same picture with ten scans is an ordinary file.
    EXPECT_TRUE(decode(bomb(1, 4096, 4096, 10), image));
}

// Every scan walks the whole picture: a small file of a great many scans is refused
// instead of keeping the decoder busy.
TEST(JPEGReader, AFileOfTooManyScansIsRefused)
{
    const std::string bytes = TestSupport::jpegBytes(8, 8, 1, std::vector<std::uint8_t>(64, 90), 95, true);
    const std::size_t first = bytes.find("\xFF\xDA"), second = bytes.find("\xFF\xDA", first + 2);
    const std::string scan = bytes.substr(first, second - first);
    for (int copies : {400, 600}) {
        std::string many = bytes.substr(0, second);
        for (int i = 0; i < copies; ++i)
            many += scan;
        many += bytes.substr(second);
        Rendering::Image image;
        std::string output;
        EXPECT_EQ(decode(many, image, &output), copies < 500) << copies;
        EXPECT_EQ(output, copies < 500 ? "" : "Picture refused : \"memory.jpg\" has more than 500 scans.\n");
    }
}
