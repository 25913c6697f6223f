#include "support/GLTest.h"

#include <memory>

#include "core/ImageManager.h"
#include "rendering/Image.h"
#include "rendering/Texture.h"
#include "support/PictureFiles.h"

using Rendering::Texture;
using TestSupport::CapturedOutput;

namespace
{
using TextureGLTest = TestSupport::GLTest;

GLint boundTexture()
{
    GLint id = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &id);
    return id;
}
} // namespace

TEST(Texture, NormalMapPathInsertsBeforeTheLastDot)
{
    EXPECT_EQ(Texture::normalMapPath("textures/wood.png"), "textures/wood_normal.png");
    EXPECT_EQ(Texture::normalMapPath("a.b/c.jpeg"), "a.b/c_normal.jpeg");
    EXPECT_EQ(Texture::normalMapPath("noextension"), "noextension_normal");
}

TEST_F(TextureGLTest, TexturesShareCachedPicturesAndFindTheirNormalMap)
{
    TestSupport::TempDir dir;
    TestSupport::writeBlankRGBA(dir.path("wood.png"), 4, 4);
    TestSupport::writeBlankRGBA(dir.path("wood_normal.png"), 4, 4);
    TestSupport::writeBlankRGBA(dir.path("plain.png"), 2, 2);
    CapturedOutput captured;
    auto first = std::make_unique<Texture>(dir.path("wood.png"));
    Texture second(dir.path("wood.png"));
    Texture plain(dir.path("plain.png"));
    // Each file is decoded once; the missing plain_normal.png is not even reported.
    EXPECT_EQ(captured.text(), "Image File : \"" + dir.path("wood.png") + "\" loaded.\nImage File : \"" +
                                   dir.path("wood_normal.png") + "\" loaded.\nImage File : \"" + dir.path("plain.png") +
                                   "\" loaded.\n");
    EXPECT_EQ(first->getImage(), second.getImage());
    ASSERT_NE(second.getNormalImage(), nullptr);
    EXPECT_NE(second.getNormalImage(), second.getImage());
    EXPECT_EQ(plain.getNormalImage(), nullptr);
    EXPECT_TRUE(plain.isLoaded());

    first.reset();
    second.apply();
    EXPECT_EQ(boundTexture(), static_cast<GLint>(second.getImage()->getId()));
    EXPECT_NE(boundTexture(), 0);
    Texture::unApply();
    EXPECT_EQ(boundTexture(), 0);

    // A picture taken out of the cache is no longer shown by the textures that used it.
    Core::ImageManager& cache = Core::ImageManager::instance();
    cache.removeImage(second.getNormalImage());
    EXPECT_EQ(second.getNormalImage(), nullptr);
    cache.removeImage(second.getImage());
    EXPECT_FALSE(second.isLoaded());
    second.apply();
    EXPECT_EQ(boundTexture(), 0);
    cache.removeImage(plain.getImage());
    EXPECT_NO_GL_ERROR();
}

TEST_F(TextureGLTest, AMissingPictureBindsNothingAndProbesNoNormalMap)
{
    TestSupport::TempDir dir;
    TestSupport::writeBlankRGBA(dir.path("gone_normal.png"), 2, 2);
    CapturedOutput captured;
    Texture texture(dir.path("gone.png"));
    EXPECT_EQ(captured.text(), "Couldn't open/find file : \"" + dir.path("gone.png") +
                                   "\"\nCouldn't load Image file : \"" + dir.path("gone.png") + "\"\n");
    EXPECT_FALSE(texture.isLoaded());
    EXPECT_EQ(texture.getNormalImage(), nullptr);
    glBindTexture(GL_TEXTURE_2D, 0);
    GLuint other = 0;
    glGenTextures(1, &other);
    glBindTexture(GL_TEXTURE_2D, other);
    texture.apply();
    EXPECT_EQ(boundTexture(), 0);
    glDeleteTextures(1, &other);
    EXPECT_NO_GL_ERROR();
}
