#include <GL/glew.h>
#include <GL/glu.h>

#include <cmath>

#include "rendering/Camera.h"
#include "rendering/Render.h"
#include "support/GLTest.h"

using Rendering::Camera;

namespace
{
constexpr double c_EnginePi = 3.14159;

class CameraGLTest : public TestSupport::GLTest
{
protected:
    static void expectMatrixNear(const Matrix<double>& a, const Matrix<double>& b, double eps)
    {
        for (int i = 0; i < 16; ++i)
            EXPECT_NEAR(a[i], b[i], eps) << "element " << i;
    }
    static void expectVecNear(const Vec3<double>& a, const Vec3<double>& b, double eps = 1e-9)
    {
        EXPECT_NEAR(a.x(), b.x(), eps);
        EXPECT_NEAR(a.y(), b.y(), eps);
        EXPECT_NEAR(a.z(), b.z(), eps);
    }
    // The matrix gluLookAt loads for an eye looking at the origin.
    static Matrix<double> lookAtOrigin(const Vec3<double>& eye)
    {
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
        gluLookAt(eye.x(), eye.y(), eye.z(), 0, 0, 0, 0, 1, 0);
        const Matrix<double> m = readModelView();
        glPopMatrix();
        return m;
    }
};
} // namespace

TEST_F(CameraGLTest, NewCameraLoadsTheIdentity)
{
    Camera camera;
    camera.glPut();
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    expectLoaded(readModelView(), Matrix<double>::identity());
    EXPECT_NO_GL_ERROR();
}

TEST_F(CameraGLTest, StartUpViewLooksAtTheOriginFromAbove)
{
    // The view that initGL loaded: eye at (0, 10, 10), pitched down by pi/4.
    expectMatrixNear(readModelView(), lookAtOrigin(Vec3<double>(0, 10, 10)), 1e-5);
    expectLoaded(readModelView(), Rendering::Render::instance().getCamera()->getTransformationMatrix());
}

TEST_F(CameraGLTest, ProjectionMatchesGluPerspectiveWithinTheEnginesPi)
{
    Camera camera;
    camera.setFOV(45.0);
    camera.setAspectRatio(1024.0 / 728.0);
    camera.setPlanes(1.0, 1000.0);
    camera.glUpdateProjectionMatrix();
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_PROJECTION);
    const Matrix<double> ours = readProjection();

    glLoadIdentity();
    gluPerspective(45.0, 1024.0 / 728.0, 1.0, 1000.0);
    const Matrix<double> glu = readProjection();
    // pi = 3.14159 shifts the cotangent by about 2.3e-6.
    expectMatrixNear(ours, glu, 5e-6);
    EXPECT_GT(std::fabs(ours[5] - glu[5]), 1e-7);
    EXPECT_EQ(ours[15], 0.0);
    EXPECT_EQ(ours[11], -1.0);
    glMatrixMode(GL_MODELVIEW);
}

TEST_F(CameraGLTest, ProjectionElementsForASquareWindow)
{
    Camera camera;
    camera.setFOV(45.0);
    camera.setAspectRatio(1.0);
    camera.setPlanes(1.0, 1000.0);
    camera.glUpdateProjectionMatrix();
    const Matrix<double> p = camera.getProjectionMatrix();
    const double cot = 1.0 / std::tan(c_EnginePi * 45.0 / 360.0);
    EXPECT_NEAR(p[0], cot, 1e-12);
    EXPECT_NEAR(p[5], cot, 1e-12);
    EXPECT_NEAR(p[10], -1001.0 / 999.0, 1e-12);
    EXPECT_NEAR(p[14], -2000.0 / 999.0, 1e-12);
    EXPECT_EQ(p[11], -1.0);
    expectLoaded(readProjection(), p);
    glMatrixMode(GL_MODELVIEW);
}

TEST_F(CameraGLTest, OrbitPositionsFollowRotations)
{
    Camera camera;
    camera.setIsFree(false);
    camera.setDistanceToOrigin(10.0);
    expectVecNear(camera.getPosition(), Vec3<double>(0, 0, 10));
    camera.rotateY(c_EnginePi / 2);
    expectVecNear(camera.getPosition(), Vec3<double>(10, 0, 0), 1e-4);

    // A downward pitch lifts the eye on the sphere; the view still aims at the origin.
    camera.resetRotation();
    camera.rotateX(-c_EnginePi / 4);
    camera.rotateY(c_EnginePi / 2);
    camera.glPut();
    const Vec3<double> eye = camera.getPosition();
    EXPECT_NEAR(eye.length(), 10.0, 1e-9);
    expectMatrixNear(readModelView(), lookAtOrigin(eye), 1e-6);
}

TEST_F(CameraGLTest, FreeModeRotatesInPlaceAndIgnoresTheRadius)
{
    Camera camera;
    camera.setPosition(Vec3<double>(1, 2, 3));
    camera.rotateY(0.5);
    camera.rotateX(0.25);
    camera.setDistanceToOrigin(42.0);
    expectVecNear(camera.getPosition(), Vec3<double>(1, 2, 3), 0.0);
    EXPECT_EQ(camera.getDistanceToOrigin(), 42.0);
}

TEST_F(CameraGLTest, TranslationsFollowTheCameraAxes)
{
    Camera camera;
    camera.setPosition(Vec3<double>(0, 10, 10));
    camera.translateZ(0.5);
    expectVecNear(camera.getPosition(), Vec3<double>(0, 10, 10.5), 0.0);

    // After a quarter yaw the camera's X axis is the world's -Z.
    camera.rotateY(c_EnginePi / 2);
    camera.translateX(2.0);
    expectVecNear(camera.getPosition(), Vec3<double>(0, 10, 8.5), 1e-4);
    camera.translateY(1.0);
    expectVecNear(camera.getPosition(), Vec3<double>(0, 11, 8.5), 1e-4);
}

TEST_F(CameraGLTest, EyeBelowTheGroundIsLiftedAndKept)
{
    Camera camera;
    camera.setPosition(Vec3<double>(1, -3, 2));
    camera.glPut();
    expectVecNear(camera.getPosition(), Vec3<double>(1, 0, 2), 0.0);
    expectLoaded(readModelView(), Matrix<double>::translation(-1, 0, -2));

    // A negative radius puts the orbiting eye on the other side, then the clamp applies.
    camera.setIsFree(false);
    camera.rotateX(-c_EnginePi / 4);
    camera.setDistanceToOrigin(-10.0);
    EXPECT_LT(camera.getPosition().y(), 0.0);
    camera.glPut();
    EXPECT_EQ(camera.getPosition().y(), 0.0);
    EXPECT_NEAR(camera.getPosition().z(), -10.0 * std::cos(c_EnginePi / 4), 1e-9);
}

TEST_F(CameraGLTest, ViewMatrixIsTheInversePlacement)
{
    Camera camera;
    camera.setPosition(Vec3<double>(3, 4, 5));
    camera.rotate(0.7, Vec3<double>(1, 2, 2)); // axis normalised by rotate
    camera.glPut();
    expectLoaded(readModelView(), camera.getTransformationMatrix());
    // The eye maps to the origin, and the camera's own -Z axis to the view direction.
    const Matrix<double> m = camera.getTransformationMatrix();
    const Vec3<double> p = camera.getPosition();
    for (int r = 0; r < 3; ++r)
        EXPECT_NEAR(m[r] * p.x() + m[4 + r] * p.y() + m[8 + r] * p.z() + m[12 + r], 0.0, 1e-12);
    const Vec3<double> forward = camera.getOrientation() * Vec3<double>(0, 0, -1);
    for (int r = 0; r < 3; ++r)
        EXPECT_NEAR(m[r] * forward.x() + m[4 + r] * forward.y() + m[8 + r] * forward.z(), r == 2 ? -1.0 : 0.0, 1e-12);
}

TEST_F(CameraGLTest, LinearGoToInterpolatesAndLoadsTheView)
{
    Camera camera;
    const Vec3<double> from(0, 2, 10), to(4, 2, 2);
    const Quat<double> fromOrient, toOrient(c_EnginePi / 2, Vec3<double>(0, 1, 0));
    camera.linearGoTo(from, fromOrient, to, toOrient, 0.0f);
    expectLoaded(readModelView(), Matrix<double>::translation(0, -2, -10));

    camera.linearGoTo(from, fromOrient, to, toOrient, 0.5f);
    expectVecNear(camera.getPosition(), Vec3<double>(2, 2, 6), 0.0);
    // Halfway between two yaws: a yaw of pi/4 once normalised.
    Quat<double> mid = camera.getOrientation();
    mid.normalize();
    EXPECT_NEAR(mid.y(), std::sin(c_EnginePi / 8), 1e-9);

    camera.linearGoTo(from, fromOrient, to, toOrient, 1.0f);
    Camera reference;
    reference.setPosition(to);
    reference.getOrientation() = toOrient;
    reference.buildTransformationMatrix();
    expectLoaded(readModelView(), reference.getTransformationMatrix());
}
