#include "support/GLTest.h"

#include <GL/glu.h>

#include <cmath>

#include "rendering/Camera.h"
#include "rendering/Render.h"

using Rendering::Camera;

namespace
{
constexpr double c_EnginePi = 3.14159;

class CameraGLTest : public TestSupport::GLTest
{
protected:
    static void expectNear(const Matrix<double>& a, const Matrix<double>& b, double eps)
    {
        for (int i = 0; i < 16; ++i)
            EXPECT_NEAR(a[i], b[i], eps) << "element " << i;
    }
    static void expectNear(const Vec3<double>& a, const Vec3<double>& b, double eps)
    {
        EXPECT_NEAR((a - b).length(), 0.0, eps);
    }
    // What gluLookAt loads for an eye looking at the origin.
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

TEST_F(CameraGLTest, ProjectionIsGluPerspectiveWithTheEnginesPi)
{
    Camera camera;
    camera.setFOV(45.0);
    camera.setAspectRatio(1.0);
    camera.setPlanes(1.0, 1000.0);
    camera.glUpdateProjectionMatrix();
    const Matrix<double> p = camera.getProjectionMatrix();
    const double cot = 1.0 / std::tan(c_EnginePi * 45.0 / 360.0);
    for (const auto& [i, value] : {std::pair{0, cot}, {5, cot}, {10, -1001.0 / 999.0}, {14, -2000.0 / 999.0}})
        EXPECT_NEAR(p[i], value, 1e-12) << "element " << i;
    expectLoaded(readProjection(), p);

    // The window's own aspect ratio, against GLU: pi = 3.14159 moves the cotangent by ~2e-6.
    camera.setAspectRatio(1024.0 / 728.0);
    camera.glUpdateProjectionMatrix();
    const Matrix<double> ours = readProjection();
    glLoadIdentity();
    gluPerspective(45.0, 1024.0 / 728.0, 1.0, 1000.0);
    expectNear(ours, readProjection(), 5e-6);
    EXPECT_GT(std::fabs(ours[5] - readProjection()[5]), 1e-7);
    glMatrixMode(GL_MODELVIEW);
}

TEST_F(CameraGLTest, StartUpAndOrbitViewsLookAtTheOrigin)
{
    // What initGL loaded: the eye at (0, 10, 10), pitched down by pi/4.
    expectLoaded(readModelView(), Rendering::Render::instance().getCamera()->getTransformationMatrix());
    expectNear(readModelView(), lookAtOrigin(Vec3<double>(0, 10, 10)), 1e-5);

    Camera camera;
    camera.setIsFree(false);
    camera.setDistanceToOrigin(10.0);
    expectNear(camera.getPosition(), Vec3<double>(0, 0, 10), 1e-12);
    camera.rotateY(c_EnginePi / 2);
    expectNear(camera.getPosition(), Vec3<double>(10, 0, 0), 1e-4);

    camera.resetRotation();
    camera.rotateX(-c_EnginePi / 4);
    camera.rotateY(c_EnginePi / 2);
    camera.glPut();
    EXPECT_NEAR(camera.getPosition().length(), 10.0, 1e-9);
    expectNear(readModelView(), lookAtOrigin(camera.getPosition()), 1e-6);

    // In free mode the radius changes alone.
    camera.setIsFree(true);
    const Vec3<double> eye = camera.getPosition();
    camera.setDistanceToOrigin(42.0);
    EXPECT_EQ(camera.getPosition(), eye);
}

TEST_F(CameraGLTest, EyeBelowTheGroundIsLiftedAndKept)
{
    Camera camera;
    camera.setPosition(Vec3<double>(1, -3, 2));
    camera.glPut();
    EXPECT_EQ(camera.getPosition(), Vec3<double>(1, 0, 2));
    expectLoaded(readModelView(), Matrix<double>::translation(-1, 0, -2));
}

TEST_F(CameraGLTest, LinearGoToInterpolatesAndLoadsTheView)
{
    Camera camera;
    const Vec3<double> from(0, 2, 10), to(4, 2, 2);
    const Quat<double> fromOrient, toOrient(c_EnginePi / 2, Vec3<double>(0, 1, 0));
    camera.linearGoTo(from, fromOrient, to, toOrient, 0.0f);
    expectLoaded(readModelView(), Matrix<double>::translation(0, -2, -10));

    camera.linearGoTo(from, fromOrient, to, toOrient, 0.5f);
    EXPECT_EQ(camera.getPosition(), Vec3<double>(2, 2, 6));
    Quat<double> mid = camera.getOrientation(); // halfway between two yaws, once normalised
    mid.normalize();
    EXPECT_NEAR(mid.y(), std::sin(c_EnginePi / 8), 1e-9);
    expectLoaded(readModelView(), camera.getTransformationMatrix());
}
