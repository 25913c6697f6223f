#include <gtest/gtest.h>

#include <GL/gl.h>
#include <png.h>

#include <cstring>
#include <numeric>

#include "rendering/Image.h"
#include "support/PictureFiles.h"

using Rendering::Image;
using TestSupport::CapturedOutput;

namespace
{
// A width x height picture whose byte i holds i (mod 256), in a buffer of exactly the
// size the format calls for.
void fill(Image& image, int width, int height, GLenum format, GLenum type)
{
    image.setData(width, height, 1, static_cast<int>(format), format, type, nullptr);
    const std::size_t size = image.getMemoryUsage();
    unsigned char* data = new unsigned char[size];
    std::iota(data, data + size, 0);
    image.setData(width, height, 1, static_cast<int>(format), format, type, data);
}
} // namespace

TEST(Image, LoadChoosesTheReaderByTheNameAndSaysSo)
{
    TestSupport::TempDir dir;
    const std::string png = TestSupport::pngBytes({2, 1, 8, PNG_COLOR_TYPE_RGB, {1, 2, 3, 4, 5, 6}});
    // The PNG test searches the whole path and comes first.
    TestSupport::writeFile(dir.path("both.png.jpg"), png);
    {
        CapturedOutput captured;
        Image image(dir.path("both.png.jpg"));
        EXPECT_TRUE(image.isLoaded());
        EXPECT_EQ(captured.text(), "Image File : \"" + dir.path("both.png.jpg") + "\" loaded.\n");
    }
    TestSupport::writeFile(dir.path("picture.Png"), png);
    CapturedOutput captured;
    Image image(dir.path("picture.Png"));
    EXPECT_FALSE(image.isLoaded());
    EXPECT_EQ(captured.text(), "Unsupported format ... (supported format : PNG / JPG)\nCouldn't load Image file : \"" +
                                   dir.path("picture.Png") + "\"\n");
}

TEST(Image, ReductionKeepsOnePixelOfEveryBlockOnce)
{
    Image image;
    fill(image, 4, 4, GL_RGBA, GL_UNSIGNED_BYTE);
    image.reduceToLimit();
    ASSERT_EQ(image.getWidth() * 10 + image.getHeight(), 22);
    const std::uint32_t kept[] = {0, 2, 8, 10}; // pixels (0,0), (2,0), (0,2), (2,2)
    for (int i = 0; i < 4; ++i)
        for (int b = 0; b < 4; ++b)
            EXPECT_EQ(image.getData()[i * 4 + b], kept[i] * 4 + b);
    EXPECT_TRUE(image.isReduced());

    CapturedOutput captured;
    image.reduceToLimit();
    EXPECT_EQ(captured.text(), "Already Reduced ...\n");
    EXPECT_EQ(image.getWidth(), 2);

    // Every format and odd size stays inside both buffers (the sanitizer build checks).
    for (GLenum format : {GL_LUMINANCE, GL_LUMINANCE_ALPHA, GL_RGB, GL_RGBA})
        for (GLenum type : {GL_UNSIGNED_BYTE, GL_UNSIGNED_SHORT})
            for (int size : {1, 3, 5, 7}) {
                Image odd;
                fill(odd, size, size == 5 ? 1 : size + 2, format, type);
                const std::uint64_t before = odd.getMemoryUsage();
                odd.reduceToLimit();
                EXPECT_LE(odd.getMemoryUsage() * 4, before);
                EXPECT_EQ(odd.getWidth(), size / 2);
            }
}

// A reader's buffer is reduced where it lies (AddressSanitizer's realloc always moves) and
// keeps the same pixels as a copy.
TEST(Image, ReductionInPlaceKeepsWhatACopyKeeps)
{
    for (GLenum format : {GL_RGB, GL_LUMINANCE_ALPHA}) {
        Image copied, inPlace;
        fill(copied, 513, 301, format, GL_UNSIGNED_SHORT);
        const std::uint64_t bytes = copied.getMemoryUsage();
        unsigned char* pixels = Image::allocatePixels(bytes);
        ASSERT_NE(pixels, nullptr);
        std::memcpy(pixels, copied.getData(), bytes);
        inPlace.setPixels(513, 301, 1, 0, format, GL_UNSIGNED_SHORT, pixels);
        copied.reduceToLimit();
        inPlace.reduceToLimit();
#ifndef __SANITIZE_ADDRESS__
        EXPECT_EQ(inPlace.getData(), pixels);
#endif
        ASSERT_EQ(inPlace.getMemoryUsage(), copied.getMemoryUsage());
        EXPECT_EQ(std::memcmp(inPlace.getData(), copied.getData(), copied.getMemoryUsage()), 0);
    }
}

TEST(Image, CopyHasItsOwnPixelsAndNoTextureObject)
{
    Image image;
    fill(image, 3, 3, GL_RGB, GL_UNSIGNED_BYTE);
    image.reduceToLimit();
    Image copy(image);
    EXPECT_FALSE(copy.isReduced());
    EXPECT_EQ(copy.getId(), 0u);
    ASSERT_NE(copy.getData(), image.getData());
    EXPECT_EQ(std::memcmp(copy.getData(), image.getData(), image.getMemoryUsage()), 0);
    image.unLoad();
    EXPECT_FALSE(image.isLoaded());
    EXPECT_EQ(image.getMemoryUsage(), 0u);
    EXPECT_TRUE(copy.isLoaded());

    // Sizes whose byte count passes 2^32.
    Image big;
    big.setData(40000, 40000, 1, 0, GL_RGBA, GL_UNSIGNED_SHORT, nullptr);
    EXPECT_EQ(big.getMemoryUsage(), 40000ull * 40000ull * 8ull);
}

// The frame draws a picture without blending only when its alpha is 1 everywhere.
TEST(Image, OpaqueWhenItsPixelsHaveNoAlphaChannel)
{
    Image empty;
    EXPECT_TRUE(empty.isOpaque()) << "binds texture 0, one white texel";
    for (const GLenum format : {GL_RGB, GL_LUMINANCE}) {
        Image image;
        fill(image, 2, 2, format, GL_UNSIGNED_BYTE);
        EXPECT_TRUE(image.isOpaque()) << format;
    }
    for (const GLenum format : {GL_RGBA, GL_LUMINANCE_ALPHA, GL_ALPHA}) {
        Image image;
        fill(image, 2, 2, format, GL_UNSIGNED_BYTE);
        EXPECT_FALSE(image.isOpaque()) << format;
    }
}
