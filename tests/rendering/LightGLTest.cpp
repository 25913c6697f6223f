#include "rendering/Light.h"
#include "rendering/Render.h"
#include "support/GLTest.h"

using Rendering::Light;

namespace
{
class LightGLTest : public TestSupport::GLTest
{
protected:
    static Vec4<float> read(GLenum light, GLenum what)
    {
        Vec4<float> v(-9, -9, -9, -9);
        glGetLightfv(light, what, v.ptr());
        return v;
    }
};
} // namespace

TEST_F(LightGLTest, SpotValuesOutsideOpenGLsRangesAreNotPassed)
{
    Light light;
    Vec4<float> diffuse(0.2f, 0.3f, 0.4f, 0.5f), position(1, 2, 3, 1);
    light.setDiffuseColor(diffuse);
    light.setId(2); // after the colour: its alpha becomes 1
    light.setPosition(position);
    light.setSpotCutOff(30.0f);
    light.setSpotExponent(12.0f);
    light.apply();
    EXPECT_TRUE(glIsEnabled(GL_LIGHT2));
    EXPECT_EQ(read(GL_LIGHT2, GL_DIFFUSE), Vec4<float>(0.2f, 0.3f, 0.4f, 1.0f));

    light.setSpotCutOff(120.0f);
    light.setSpotExponent(1024.0f);
    light.apply();
    EXPECT_NO_GL_ERROR();
    EXPECT_EQ(read(GL_LIGHT2, GL_SPOT_CUTOFF).x(), 30.0f);
    EXPECT_EQ(read(GL_LIGHT2, GL_SPOT_EXPONENT).x(), 12.0f);
    light.setSpotCutOff(180.0f);
    light.setSpotExponent(128.0f);
    light.apply();
    EXPECT_EQ(read(GL_LIGHT2, GL_SPOT_CUTOFF).x(), 180.0f);
    EXPECT_EQ(read(GL_LIGHT2, GL_SPOT_EXPONENT).x(), 128.0f);
    glDisable(GL_LIGHT2);
}

TEST_F(LightGLTest, TheFrameAppliesTheDefaultLightInSceneCoordinates)
{
    Rendering::Render::instance().loop();
    // Its exponent of 1024 is out of range: OpenGL's initial 0 stays.
    EXPECT_EQ(read(GL_LIGHT0, GL_SPOT_EXPONENT).x(), 0.0f);
    // Applied under the start-up view (eye at (0, 10, 10) pitched down 45 degrees), the
    // world point (0, 10, 0) is at (0, 7.07, -7.07) in eye coordinates.
    const Vec4<float> position = read(GL_LIGHT0, GL_POSITION);
    EXPECT_NEAR(
        (Vec3<double>(position.x(), position.y(), position.z()) - Vec3<double>(0, 7.0710678, -7.0710678)).length(), 0.0,
        1e-3);
    EXPECT_EQ(position.w(), 1.0f);
}
