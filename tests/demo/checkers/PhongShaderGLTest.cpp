// The demo's GLSL program drawing a square of the board through real OpenGL, against the
// fixed pipeline drawing the same square.

#include <cmath>
#include <functional>
#include <memory>

#include "rendering/Light.h"
#include "rendering/Render.h"
#include "rendering/Shader.h"
#include "support/GLTest.h"

using Rendering::Shader;

namespace
{
const std::string c_Shaders = CHECKERS_SHADER_DIR;
using Pixel = std::array<double, 3>;
using Colour = std::array<float, 4>;

double brightness(const Pixel& p)
{
    return p[0] + p[1] + p[2];
}

class PhongShaderGLTest : public TestSupport::GLTest
{
protected:
    void SetUp() override
    {
        GLTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        m_Shader =
            std::make_unique<Shader>(c_Shaders + "per_pixel_true_phong.vert", c_Shaders + "per_pixel_true_phong.frag");
        testing::internal::CaptureStdout();
        const bool linked = m_Shader->init();
        testing::internal::GetCapturedStdout();
        ASSERT_TRUE(linked);
    }

    void TearDown() override
    {
        Shader::unApply();
        if (!m_Textures.empty())
            glDeleteTextures(static_cast<GLsizei>(m_Textures.size()), m_Textures.data());
        glClearColor(0.1f, 0.1f, 0.1f, 0.0f);
        GLTest::TearDown();
    }

    // A w x h picture of RGB texels, sampled without filtering.
    GLuint picture(int w, int h, const std::vector<unsigned char>& rgb)
    {
        GLuint id = 0;
        glGenTextures(1, &id);
        glBindTexture(GL_TEXTURE_2D, id);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, w, h, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glBindTexture(GL_TEXTURE_2D, 0);
        m_Textures.push_back(id);
        return id;
    }
    // A normal map of one texel holding the tangent-space normal (x, y, z).
    GLuint normalMap(double x, double y, double z)
    {
        auto byte = [](double v) { return static_cast<unsigned char>(std::lround((v * 0.5 + 0.5) * 255.0)); };
        return picture(1, 1, {byte(x), byte(y), byte(z)});
    }

    // Draws a 2 x 2 square on the board plane as a square draws itself (normal up,
    // texture s along x and t along -z) under the frame's scene scale and lights, and
    // returns the colour at texture coordinates (s, 0.5). Through the program when
    // `shaded`, else with the fixed pipeline.
    Pixel draw(bool shaded, Colour material, GLuint diffuse = 0, GLuint normals = 0, double s = 0.5,
               const std::function<void()>& lights = nullptr)
    {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        // Lights, material, active unit and bindings go back as they were.
        glPushAttrib(GL_LIGHTING_BIT | GL_TEXTURE_BIT);
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glScaled(0.85, 0.85, 0.85);
        if (lights)
            lights();
        else
            for (Rendering::Light* light : Rendering::Render::instance().getLights())
                light->apply();
        if (shaded) {
            m_Shader->apply();
            m_Shader->setTexture2DParameter("NormalsID", normals, 1);
            m_Shader->setTexture2DParameter("TextureID", diffuse, 0);
        } else {
            glBindTexture(GL_TEXTURE_2D, diffuse);
        }
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, material.data());
        glNormal3d(0, 1, 0);
        glBegin(GL_QUADS);
        for (const auto& [u, v] : {std::pair{0, 0}, {0, 1}, {1, 1}, {1, 0}}) {
            glTexCoord2d(u, v);
            glVertex3d(2.0 * u - 1, 0.001, 1 - 2.0 * v);
        }
        glEnd();
        const Vec3<double> at = project(Vec3<double>(-1.0 + 2.0 * s, 0.001, 0.0));
        Shader::unApply();
        glPopMatrix();
        glPopAttrib();
        EXPECT_NO_GL_ERROR();
        const std::vector<std::uint8_t> rgba =
            readPixels(static_cast<int>(at.x()), 728 - static_cast<int>(at.y()), 1, 1);
        return {double(rgba[0]), double(rgba[1]), double(rgba[2])};
    }

    // Light 0 alone, directional from (x, y, z) of the scene, white diffuse, over a faint
    // ambient: the brightness then follows the angle between normal and light.
    static std::function<void()> lightFrom(float x, float y, float z)
    {
        return [=] {
            const float position[4] = {x, y, z, 0}, diffuse[4] = {0.8f, 0.8f, 0.8f, 1}, none[4] = {0, 0, 0, 1},
                        ambient[4] = {0.1f, 0.1f, 0.1f, 1};
            glLightfv(GL_LIGHT0, GL_POSITION, position);
            glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
            glLightfv(GL_LIGHT0, GL_SPECULAR, none);
            glLightfv(GL_LIGHT0, GL_AMBIENT, none);
            glLightf(GL_LIGHT0, GL_SPOT_CUTOFF, 180.0f);
            glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
        };
    }

private:
    std::unique_ptr<Shader> m_Shader;
    std::vector<GLuint> m_Textures;
};
} // namespace

// Colours, pictures and translucent tints are lit like the fixed pipeline lights them,
// only brighter.
TEST_F(PhongShaderGLTest, ColoursPicturesAndTintsAreLitLikeTheFixedPipelineOnlyBrighter)
{
    // The two piece colours of the demo, drawn with nothing bound on either unit: texture
    // 0, which the engine's start-up makes white (left incomplete it samples black).
    for (Colour colour : {Colour{0.6f, 0.6f, 0.5f, 1}, Colour{0.2f, 0.2f, 0.25f, 1}}) {
        const Pixel fixed = draw(false, colour), shaded = draw(true, colour);
        for (int c = 0; c < 3; ++c) {
            EXPECT_GT(shaded[c], fixed[c] + 10) << "channel " << c;
            // Same hue: the channels keep the material's proportions.
            EXPECT_NEAR(shaded[c] / brightness(shaded), colour[c] / (colour[0] + colour[1] + colour[2]), 0.03);
        }
        // Global ambient 0.2 plus the light's brighter colour (0.7), facing the light.
        EXPECT_NEAR(shaded[0], colour[0] * 0.9 * 255, 0.08 * 255);
    }

    const GLuint redBlue = picture(2, 1, {230, 20, 20, 20, 20, 230});
    const Colour white{1, 1, 1, 1};
    const Pixel left = draw(true, white, redBlue, 0, 0.25), right = draw(true, white, redBlue, 0, 0.75);
    const Pixel fixedLeft = draw(false, white, redBlue, 0, 0.25);
    EXPECT_TRUE(left[0] > 150 && left[2] < 50 && right[2] > 150 && right[0] < 50);
    EXPECT_GT(left[0], fixedLeft[0] + 50);

    // A highlighted square: material (r, g, b, 0.3) over a picture, here over blue.
    glClearColor(0, 0, 1, 0);
    const GLuint wood = picture(1, 1, {200, 160, 110});
    for (const Colour& tint : {Colour{0, 1, 0, 0.3f}, Colour{1, 0, 0, 0.3f}}) {
        const Pixel fixed = draw(false, tint, wood), shaded = draw(true, tint, wood);
        EXPECT_NEAR(shaded[2], 0.7 * 255, 8) << "70 % of the blue behind shows";
        EXPECT_NEAR(shaded[2], fixed[2], 8);
        const int lit = tint[0] > 0 ? 0 : 1;
        EXPECT_GT(shaded[lit], fixed[lit]) << "the tint itself is lit more brightly";
    }
}

TEST_F(PhongShaderGLTest, NormalMapTiltsTheSurfaceAlongTheTextureAxes)
{
    const Colour white{1, 1, 1, 1};
    const GLuint flat = normalMap(0, 0, 1);
    // Texture s runs along +x; the light comes from +x, 45 degrees up.
    auto fromS = lightFrom(1, 1, 0);
    const double none = brightness(draw(true, white, 0, 0, 0.5, fromS));
    const double level = brightness(draw(true, white, 0, flat, 0.5, fromS));
    const double towardS = brightness(draw(true, white, 0, normalMap(0.6, 0, 0.8), 0.5, fromS));
    const double awayS = brightness(draw(true, white, 0, normalMap(-0.6, 0, 0.8), 0.5, fromS));
    EXPECT_NEAR(level, none, 6) << "a flat map is the surface's own normal";
    EXPECT_GT(towardS, level + 60);
    EXPECT_LT(awayS, level - 150);
    EXPECT_GT(none, 300) << "a missing map falls back on the surface normal";

    // Texture t runs along -z, as on the board's squares; the light comes from there.
    auto fromT = lightFrom(0, 1, -1);
    const double levelT = brightness(draw(true, white, 0, flat, 0.5, fromT));
    EXPECT_GT(brightness(draw(true, white, 0, normalMap(0, 0.6, 0.8), 0.5, fromT)), levelT + 60);
    EXPECT_LT(brightness(draw(true, white, 0, normalMap(0, -0.6, 0.8), 0.5, fromT)), levelT - 150);
}
