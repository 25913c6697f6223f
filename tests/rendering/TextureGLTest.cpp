#include "support/GLTest.h"

#include <memory>

#include "core/ImageManager.h"
#include "rendering/Image.h"
#include "rendering/Render.h"
#include "rendering/Shader.h"
#include "rendering/Texture.h"
#include "support/PictureFiles.h"

using Rendering::Render;
using Rendering::Texture;
using TestSupport::CapturedOutput;
using TestSupport::current;

namespace
{
using TextureGLTest = TestSupport::GLTest;

const char* const c_Vertex =
    "#version 120\nvoid main() { gl_TexCoord[0] = gl_MultiTexCoord0; gl_Position = ftransform(); }";
const char* const c_BothSamplers = "#version 120\nuniform sampler2D TextureID;\nuniform sampler2D NormalsID;\n"
                                   "void main() { vec2 t = gl_TexCoord[0].st;\n"
                                   "gl_FragColor = texture2D(TextureID, t) * texture2D(NormalsID, t); }";

// The 2D texture bound on a unit; the active unit is left as it was.
GLint boundOn(GLenum unit)
{
    const GLint active = current(GL_ACTIVE_TEXTURE);
    glActiveTexture(unit);
    const GLint id = current(GL_TEXTURE_BINDING_2D);
    glActiveTexture(static_cast<GLenum>(active));
    return id;
}

GLint sampler(const char* name)
{
    Rendering::Shader* shader = Render::instance().getShader();
    GLint unit = -1;
    glGetUniformiv(shader->getProgram(), shader->getParameterHandle(name), &unit);
    return unit;
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
    TestSupport::writeBlankRGBA(dir.path("gone_normal.png"), 2, 2);
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

    // A missing picture binds nothing and probes no normal map.
    Texture gone(dir.path("gone.png"));
    EXPECT_FALSE(gone.isLoaded());
    EXPECT_EQ(gone.getNormalImage(), nullptr);
    second.apply();
    gone.apply();
    EXPECT_EQ(current(GL_TEXTURE_BINDING_2D), 0);
    first.reset();
    second.apply();
    EXPECT_EQ(current(GL_TEXTURE_BINDING_2D), static_cast<GLint>(second.getImage()->getId()));
    Texture::unApply();
    EXPECT_EQ(current(GL_TEXTURE_BINDING_2D), 0);

    // A picture taken out of the cache is no longer shown by the textures that used it.
    Core::ImageManager& cache = Core::ImageManager::instance();
    cache.removeImage(second.getNormalImage());
    EXPECT_EQ(second.getNormalImage(), nullptr);
    cache.removeImage(second.getImage());
    EXPECT_FALSE(second.isLoaded());
    second.apply();
    EXPECT_EQ(current(GL_TEXTURE_BINDING_2D), 0);
    cache.removeImage(plain.getImage());
}

TEST_F(TextureGLTest, UnderTheRendersProgramPicturesGoToUnitsZeroAndOneAndUnbindingClearsBoth)
{
    TestSupport::TempDir dir;
    TestSupport::writeBlankRGBA(dir.path("wood.png"), 4, 4);
    TestSupport::writeBlankRGBA(dir.path("wood_normal.png"), 4, 4);
    TestSupport::writeBlankRGBA(dir.path("plain.png"), 2, 2);
    CapturedOutput quiet;
    Texture wood(dir.path("wood.png")), plain(dir.path("plain.png"));
    TestSupport::writeFile(dir.path("t.vert"), c_Vertex);
    TestSupport::writeFile(dir.path("t.frag"), c_BothSamplers);
    Render::instance().setShaderFiles(dir.path("t.vert"), dir.path("t.frag"));
    startUp();
    Render& render = Render::instance();
    ASSERT_TRUE(render.hasShaderAvailable());
    render.getShader()->apply();
    // The samplers start elsewhere, so that apply has to point them.
    glUniform1i(render.getShader()->getParameterHandle("TextureID"), 5);
    glUniform1i(render.getShader()->getParameterHandle("NormalsID"), 5);

    wood.apply();
    EXPECT_EQ(current(GL_ACTIVE_TEXTURE), GL_TEXTURE0);
    EXPECT_EQ(boundOn(GL_TEXTURE0), static_cast<GLint>(wood.getImage()->getId()));
    EXPECT_EQ(boundOn(GL_TEXTURE1), static_cast<GLint>(wood.getNormalImage()->getId()));
    EXPECT_EQ(sampler("TextureID"), 0);
    EXPECT_EQ(sampler("NormalsID"), 1);
    plain.apply();
    EXPECT_EQ(boundOn(GL_TEXTURE1), 0) << "no normal map: the stale one goes";
    EXPECT_EQ(boundOn(GL_TEXTURE0), static_cast<GLint>(plain.getImage()->getId()));

    // Drawing in colour after a normal-mapped picture samples neither picture.
    wood.apply();
    glActiveTexture(GL_TEXTURE1);
    Texture::unApply();
    EXPECT_EQ(current(GL_ACTIVE_TEXTURE), GL_TEXTURE0);
    EXPECT_EQ(boundOn(GL_TEXTURE0), 0);
    EXPECT_EQ(boundOn(GL_TEXTURE1), 0);
    glActiveTexture(GL_TEXTURE1);
    wood.getImage()->apply();
    EXPECT_EQ(current(GL_ACTIVE_TEXTURE), GL_TEXTURE0);
    EXPECT_EQ(current(GL_TEXTURE_BINDING_2D), static_cast<GLint>(wood.getImage()->getId()));
    Rendering::Image::unApply();
    EXPECT_EQ(boundOn(GL_TEXTURE1), 0);

    // A program that failed to build leaves textures on the active unit alone with the
    // fixed pipeline: nothing asks for a sampler.
    TestSupport::writeFile(dir.path("t.frag"), "#version 120\nvoid main() { gl_FragColor = nothing; }");
    startUp();
    EXPECT_FALSE(render.hasShaderAvailable());
    glActiveTexture(GL_TEXTURE1);
    wood.apply();
    EXPECT_EQ(current(GL_ACTIVE_TEXTURE), GL_TEXTURE1);
    EXPECT_EQ(boundOn(GL_TEXTURE0), 0);
    glActiveTexture(GL_TEXTURE0);
    Texture::unApply();

    render.removeShader();
    Core::ImageManager& cache = Core::ImageManager::instance();
    for (Rendering::Image* image : {wood.getNormalImage(), wood.getImage(), plain.getImage()})
        cache.removeImage(image);
}
