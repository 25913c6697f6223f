#include <gtest/gtest.h>

#include <GL/gl.h>
#include <png.h>
#include <stb_image.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "reader/PNGReader.h"
#include "rendering/Image.h"
#include "support/PictureFiles.h"

using TestSupport::CapturedOutput;
using TestSupport::PNGPicture;

namespace
{
std::uint32_t bigEndian32(const std::string& b, std::size_t at)
{
    std::uint32_t v = 0;
    for (int k = 0; k < 4; ++k)
        v = v << 8 | static_cast<unsigned char>(b[at + k]);
    return v;
}

// What the file's own chunks say, read without libpng.
struct Header
{
    std::uint32_t width = 0, height = 0;
    int bitDepth = 0, colorType = 0;
    bool tRNS = false;
    double gamma = 0.0; // 0 without gAMA chunk
};

Header scanChunks(const std::string& bytes)
{
    Header h;
    for (std::size_t at = 8; at + 8 <= bytes.size(); at += 12 + static_cast<std::size_t>(bigEndian32(bytes, at))) {
        const std::string type = bytes.substr(at + 4, 4);
        if (type == "IHDR") {
            h.width = bigEndian32(bytes, at + 8);
            h.height = bigEndian32(bytes, at + 12);
            h.bitDepth = static_cast<unsigned char>(bytes[at + 16]);
            h.colorType = static_cast<unsigned char>(bytes[at + 17]);
        }
        h.tRNS |= type == "tRNS";
        if (type == "gAMA")
            h.gamma = bigEndian32(bytes, at + 8) / 100000.0;
    }
    return h;
}

GLenum expectedFormat(const Header& h)
{
    if (h.colorType == 0)
        return h.tRNS ? GL_LUMINANCE_ALPHA : GL_LUMINANCE;
    if (h.colorType == 2 || h.colorType == 3)
        return h.tRNS ? GL_RGBA : GL_RGB;
    return h.colorType == 4 ? GL_LUMINANCE_ALPHA : GL_RGBA;
}

// Samples of the picture as decoded by stb_image (bottom row first), widened to 16 bits.
std::vector<std::uint32_t> stbSamples(const std::string& path, bool sixteen, int& channels)
{
    int w = 0, h = 0;
    stbi_set_flip_vertically_on_load(1);
    void* data = sixteen ? static_cast<void*>(stbi_load_16(path.c_str(), &w, &h, &channels, 0))
                         : static_cast<void*>(stbi_load(path.c_str(), &w, &h, &channels, 0));
    const std::size_t n = static_cast<std::size_t>(w) * h * channels;
    std::vector<std::uint32_t> samples(n);
    for (std::size_t i = 0; i < n; ++i)
        samples[i] = sixteen ? static_cast<stbi_us*>(data)[i] : static_cast<stbi_uc*>(data)[i];
    stbi_image_free(data);
    return samples;
}

std::vector<std::uint32_t> ourSamples(const Rendering::Image& image, bool sixteen)
{
    std::vector<std::uint32_t> samples;
    for (std::size_t i = 0; i < image.getMemoryUsage(); i += sixteen ? 2 : 1) {
        std::uint16_t v = image.getData()[i];
        if (sixteen)
            std::memcpy(&v, image.getData() + i, 2);
        samples.push_back(v);
    }
    return samples;
}

std::vector<std::string> conformancePNGs()
{
    std::vector<std::string> paths;
    for (const char* dir : {"/png/pngsuite", "/png/pngsuite/interlaced", "/png/testpngs"})
        for (const auto& entry : std::filesystem::directory_iterator(TestSupport::conformanceDir() + dir))
            if (entry.path().extension() == ".png")
                paths.push_back(entry.path().string());
    std::sort(paths.begin(), paths.end());
    return paths;
}

bool decode(const std::string& bytes, Rendering::Image& image, std::string* output = nullptr)
{
    std::istringstream stream(bytes);
    CapturedOutput captured;
    const bool ok = Reader::readPNGStream(stream, &image, "memory.png");
    if (output)
        *output = captured.text();
    return ok;
}
} // namespace

// Every conformance file decodes to the size, format and type its header calls for, with
// the samples stb_image finds, bottom row first, 16-bit samples in the processor's order
// (gamma-corrected by the screen gamma 2.2 when a gAMA chunk asks for it); the
// deliberately broken "x" files, when there are any, fail with libpng's message.
TEST(PNGReader, ConformanceFilesDecodeLikeAnIndependentDecoder)
{
    REQUIRE_CONFORMANCE_DIR();
    int compared = 0;
    for (const std::string& path : conformancePNGs()) {
        SCOPED_TRACE(path);
        const std::string name = std::filesystem::path(path).filename().string();
        Rendering::Image image;
        CapturedOutput captured;
        const bool ok = Reader::readPNGFile(path, &image);
        if (name[0] == 'x') {
            EXPECT_FALSE(ok);
            EXPECT_FALSE(image.isLoaded());
            EXPECT_TRUE(captured.text().rfind("PNG lib warning : ", 0) == 0 || captured.text() == "Error in header.\n");
            continue;
        }
        ASSERT_TRUE(ok) << captured.text();
        EXPECT_EQ(captured.text(), "");
        const Header h = scanChunks(TestSupport::readFile(path));
        const bool sixteen = h.bitDepth == 16;
        EXPECT_EQ(image.getWidth(), static_cast<int>(h.width));
        EXPECT_EQ(image.getHeight(), static_cast<int>(h.height));
        EXPECT_EQ(image.getFormat(), expectedFormat(h));
        EXPECT_EQ(image.getInternalFormat(), static_cast<int>(expectedFormat(h)));
        EXPECT_EQ(image.getType(), static_cast<GLenum>(sixteen ? GL_UNSIGNED_SHORT : GL_UNSIGNED_BYTE));

        int channels = 0;
        const std::vector<std::uint32_t> theirs = stbSamples(path, sixteen, channels);
        const std::vector<std::uint32_t> ours = ourSamples(image, sixteen);
        ASSERT_EQ(ours.size(), theirs.size());
        ASSERT_EQ(static_cast<unsigned int>(channels) * (sixteen ? 2 : 1), image.getBytesPerPixel());
        const double product = h.gamma * 2.2;
        if (h.gamma == 0.0 || std::fabs(product - 1.0) <= 0.05) {
            EXPECT_TRUE(ours == theirs);
        } else {
            const double top = sixteen ? 65535.0 : 255.0;
            const bool alpha = channels == 2 || channels == 4;
            for (std::size_t i = 0; i < ours.size(); ++i) {
                const bool isAlpha = alpha && i % channels == static_cast<std::size_t>(channels - 1);
                const double want =
                    isAlpha ? theirs[i] : std::floor(top * std::pow(theirs[i] / top, 1.0 / product) + 0.5);
                ASSERT_NEAR(ours[i], want, sixteen ? 2.0 : 1.0) << "sample " << i;
            }
        }
        ++compared;
    }
    EXPECT_GT(compared, 150);
}

TEST(PNGReader, BadFilesPrintTheirMessageAndLeaveTheImageAlone)
{
    const std::string good =
        TestSupport::pngBytes(PNGPicture{4, 4, 8, PNG_COLOR_TYPE_RGB, std::vector<std::uint8_t>(48, 9)});
    std::string badCrc = good;
    badCrc[29] ^= 1; // the IHDR checksum
    for (const auto& [bytes, message] :
         {std::pair<std::string, std::string>{"not a picture", "Error in header.\n"},
          {good.substr(0, 7), "Error in header.\n"},
          {badCrc, "PNG lib warning : IHDR: CRC error\nIHDR: CRC error\n"},
          {good.substr(0, good.size() - 20), "PNG lib warning : Read Error\nRead Error\n"}}) {
        Rendering::Image image;
        std::string output;
        EXPECT_FALSE(decode(bytes, image, &output));
        EXPECT_EQ(output, message);
        EXPECT_FALSE(image.isLoaded());
    }
}

// A header may claim any size up to 2^31 - 1: beyond 16384 pixels a side the file is
// refused before any pixel memory is reserved.
TEST(PNGReader, HostileSizesAreRefusedBeforeAllocation)
{
    // At the limit the size is accepted; the file then ends before its pixels.
    for (const auto& [w, h] : {std::pair{16385u, 1u}, {1u, 16385u}, {0x7fffffffu, 1u}, {16384u, 1u}}) {
        Rendering::Image image;
        std::string output;
        EXPECT_FALSE(decode(TestSupport::pngHeaderOnly(w, h, 16, PNG_COLOR_TYPE_RGB_ALPHA), image, &output));
        EXPECT_EQ(output, w == 16384u ? "PNG lib warning : Read Error\nRead Error\n"
                                      : "Picture too large : \"memory.png\" is " + std::to_string(w) + " x " +
                                            std::to_string(h) + " pixels (at most 16384 x 16384).\n");
    }
}
