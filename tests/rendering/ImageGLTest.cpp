#include "support/GLTest.h"

#include <numeric>

#include "core/ImageManager.h"
#include "rendering/Image.h"
#include "rendering/Render.h"
#include "support/PictureFiles.h"

using Rendering::Image;

namespace
{
using ImageGLTest = TestSupport::GLTest;

GLint level0(GLenum parameter)
{
    GLint value = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, parameter, &value);
    return value;
}

// The bound texture as RGBA bytes.
std::vector<std::uint8_t> readTexture(int width, int height)
{
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

unsigned char* countingBuffer(std::size_t size)
{
    unsigned char* data = new unsigned char[size];
    std::iota(data, data + size, 1);
    return data;
}
} // namespace

// Rows of 3 x 3 = 9 or 5 x 2 = 10 bytes are not 4-byte aligned: the upload must read
// them packed, and leave the application's unpack alignment as it was.
TEST_F(ImageGLTest, UploadReadsPackedRowsInEveryFormat)
{
    struct Case
    {
        GLenum format, type;
        int width, height;
    };
    for (const Case& c : {Case{GL_RGB, GL_UNSIGNED_BYTE, 3, 3}, Case{GL_LUMINANCE, GL_UNSIGNED_BYTE, 5, 3},
                          Case{GL_LUMINANCE_ALPHA, GL_UNSIGNED_BYTE, 5, 2}, Case{GL_RGBA, GL_UNSIGNED_SHORT, 3, 1}}) {
        SCOPED_TRACE(c.format);
        Image image;
        image.setData(c.width, c.height, 1, 0, c.format, c.type, nullptr);
        const std::size_t size = image.getMemoryUsage();
        const unsigned char* data = countingBuffer(size);
        image.setData(c.width, c.height, 1, 0, c.format, c.type, const_cast<unsigned char*>(data));
        glPixelStorei(GL_UNPACK_ALIGNMENT, 2);
        glBindTexture(GL_TEXTURE_2D, 0);
        image.initGL();
        EXPECT_EQ(TestSupport::current(GL_UNPACK_ALIGNMENT), 2);
        ASSERT_NE(image.getId(), 0u);
        // Drawings that follow without a picture must not be tinted by this one.
        EXPECT_EQ(TestSupport::current(GL_TEXTURE_BINDING_2D), 0) << "the upload leaves the binding as it found it";
        glBindTexture(GL_TEXTURE_2D, image.getId());
        EXPECT_EQ(level0(GL_TEXTURE_WIDTH) * 10 + level0(GL_TEXTURE_HEIGHT), c.width * 10 + c.height);
        EXPECT_GE(level0(GL_TEXTURE_ALPHA_SIZE), 8);

        // Each texel against the most significant byte of each sample (16-bit samples are
        // little-endian); luminance spreads over red, green and blue.
        const std::vector<std::uint8_t> texels = readTexture(c.width, c.height);
        const int channels = c.format == GL_RGB ? 3 : c.format == GL_LUMINANCE ? 1 : c.format == GL_RGBA ? 4 : 2;
        const int sampleBytes = c.type == GL_UNSIGNED_SHORT ? 2 : 1;
        for (int p = 0; p < c.width * c.height; ++p)
            for (int k = 0; k < 4; ++k) {
                const int sample = channels >= 3 ? k : k < 3 ? 0 : 1;
                const int want = sample < channels ? data[(p * channels + sample + 1) * sampleBytes - 1] : 255;
                EXPECT_NEAR(texels[p * 4 + k], want, 1) << "pixel " << p << " component " << k;
            }
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glBindTexture(GL_TEXTURE_2D, 0);
}

TEST_F(ImageGLTest, ApplyBindsAndUploadsALatePicture)
{
    TestSupport::TempDir dir;
    TestSupport::writeBlankRGBA(dir.path("late.png"), 6, 2);
    Core::ImageManager& cache = Core::ImageManager::instance();
    Image* image = nullptr;
    {
        TestSupport::CapturedOutput quiet;
        cache.addImage(dir.path("late.png"), image);
    }
    ASSERT_NE(image, nullptr);
    // Added after the start-up upload: no texture object yet.
    EXPECT_EQ(image->getId(), 0u);
    image->apply();
    ASSERT_NE(image->getId(), 0u);
    EXPECT_EQ(TestSupport::current(GL_TEXTURE_BINDING_2D), static_cast<GLint>(image->getId()));
    EXPECT_EQ(level0(GL_TEXTURE_WIDTH), 6);
    const GLuint id = image->getId();
    Image::unApply();
    EXPECT_EQ(TestSupport::current(GL_TEXTURE_BINDING_2D), 0);
    image->apply();
    EXPECT_EQ(image->getId(), id);

    // The render start-up uploads every cached picture.
    {
        TestSupport::CapturedOutput quiet;
        Rendering::Render::instance().initGL();
    }
    const GLuint uploaded = image->getId();
    EXPECT_TRUE(uploaded != id && glIsTexture(uploaded));
    cache.removeImage(image);
    EXPECT_FALSE(glIsTexture(uploaded));
}

TEST_F(ImageGLTest, ReductionReplacesAndReleasesTheTextureObject)
{
    Image image;
    image.setData(4, 2, 1, GL_RGB, GL_RGB, GL_UNSIGNED_BYTE, countingBuffer(24));
    image.initGL();
    const GLuint old = image.getId();
    image.reduceToLimit();
    EXPECT_FALSE(glIsTexture(old));
    ASSERT_TRUE(glIsTexture(image.getId()));
    glBindTexture(GL_TEXTURE_2D, image.getId());
    EXPECT_EQ(level0(GL_TEXTURE_WIDTH) * 10 + level0(GL_TEXTURE_HEIGHT), 21);
    const std::vector<std::uint8_t> texels = readTexture(2, 1);
    EXPECT_EQ(std::vector<std::uint8_t>(texels.begin(), texels.begin() + 3), (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_EQ(std::vector<std::uint8_t>(texels.begin() + 4, texels.begin() + 7), (std::vector<std::uint8_t>{7, 8, 9}));
    glBindTexture(GL_TEXTURE_2D, 0);
    GLuint id = image.getId();
    glDeleteTextures(1, &id);
}
