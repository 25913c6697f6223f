#include <GL/glew.h>
#include <GL/freeglut.h>

#include <cmath>

#include "core/CallBackKeyboard.h"
#include "rendering/Camera.h"
#include "rendering/Input.h"
#include "rendering/Render.h"
#include "support/GLTest.h"

using Rendering::Camera;
using Rendering::Render;

namespace
{
constexpr double c_Step = 0.39269875;  // pi / 8 with pi = 3.14159
constexpr double c_Pitch = -0.7853975; // -pi / 4
constexpr double c_Root2 = 0.70710678118654752;

class KeyRecorder final : public Core::CallBackKeyboard
{
public:
    void update() override
    {
        keys.push_back(m_Key);
        lastX = m_X;
        lastY = m_Y;
    }
    std::vector<unsigned char> keys;
    int lastX = 0, lastY = 0;
};

class InputGLTest : public TestSupport::GLTest
{
protected:
    Camera& camera() { return *Render::instance().getCamera(); }

    // The camera after the same operations on a fresh camera in the start-up view.
    static Camera startView()
    {
        Camera c;
        c.setPosition(Vec3<double>(0, 10, 10));
        c.rotateX(c_Pitch);
        c.setDistanceToOrigin(10.0);
        return c;
    }

    void expectPosition(const Vec3<double>& expected, double eps = 1e-9)
    {
        EXPECT_NEAR(camera().getPosition().x(), expected.x(), eps);
        EXPECT_NEAR(camera().getPosition().y(), expected.y(), eps);
        EXPECT_NEAR(camera().getPosition().z(), expected.z(), eps);
    }

    void expectViewLoaded()
    {
        camera().buildTransformationMatrix();
        expectLoaded(readModelView(), camera().getTransformationMatrix());
    }
};
} // namespace

TEST_F(InputGLTest, FreeCameraKeysMoveAlongTheCameraAxes)
{
    // Pitched down by 45 degrees: the camera's Z axis is (0, r, r), its Y axis (0, r, -r).
    Rendering::keyboardEvent('z', 0, 0);
    expectPosition(Vec3<double>(0, 10 - 0.5 * c_Root2, 10 - 0.5 * c_Root2), 1e-5);
    expectViewLoaded();
    Rendering::keyboardEvent('s', 0, 0);
    expectPosition(Vec3<double>(0, 10, 10), 1e-9);
    Rendering::keyboardEvent('d', 0, 0);
    expectPosition(Vec3<double>(0.5, 10, 10));
    Rendering::keyboardEvent('q', 0, 0);
    Rendering::keyboardEvent('e', 0, 0);
    expectPosition(Vec3<double>(0, 10 + 0.5 * c_Root2, 10 - 0.5 * c_Root2), 1e-5);
    Rendering::keyboardEvent('a', 0, 0);
    expectPosition(Vec3<double>(0, 10, 10), 1e-9);
    expectViewLoaded();
}

TEST_F(InputGLTest, OrbitCameraKeysTurnAroundTheOrigin)
{
    Rendering::keyboardEvent('+', 0, 0);
    EXPECT_FALSE(camera().isFree());
    expectPosition(Vec3<double>(0, 10, 10)); // switching does not move the eye

    Rendering::keyboardEvent('q', 0, 0);
    const double r = 10 * c_Root2;
    expectPosition(Vec3<double>(r * std::sin(c_Step), r, r * std::cos(c_Step)), 1e-4);
    Rendering::keyboardEvent('d', 0, 0);
    expectPosition(Vec3<double>(0, r, r), 1e-4);

    Rendering::keyboardEvent('z', 0, 0); // pitch up: the eye sinks toward the ground
    EXPECT_LT(camera().getPosition().y(), r - 1.0);
    EXPECT_NEAR(camera().getPosition().length(), 10.0, 1e-9);
    Rendering::keyboardEvent('s', 0, 0);
    expectPosition(Vec3<double>(0, r, r), 1e-4);

    Rendering::keyboardEvent('a', 0, 0);
    EXPECT_EQ(camera().getDistanceToOrigin(), 10.5);
    EXPECT_NEAR(camera().getPosition().length(), 10.5, 1e-9);
    Rendering::keyboardEvent('e', 0, 0);
    Rendering::keyboardEvent('e', 0, 0);
    EXPECT_EQ(camera().getDistanceToOrigin(), 9.5);
    expectViewLoaded();

    Rendering::keyboardEvent('+', 0, 0);
    EXPECT_TRUE(camera().isFree());
}

TEST_F(InputGLTest, MinusResetsTheStartUpViewWithoutTheDistance)
{
    Rendering::keyboardEvent('+', 0, 0);
    Rendering::keyboardEvent('q', 0, 0);
    Rendering::keyboardEvent('a', 0, 0);
    Rendering::keyboardEvent('+', 0, 0);
    Rendering::keyboardEvent('-', 0, 0);
    expectPosition(Vec3<double>(0, 10, 10), 0.0);
    EXPECT_EQ(camera().getDistanceToOrigin(), 10.5);
    Camera reference = startView();
    reference.buildTransformationMatrix();
    expectLoaded(readModelView(), reference.getTransformationMatrix());
}

TEST_F(InputGLTest, PolygonModeKeys)
{
    GLint mode[2] = {0, 0};
    Rendering::keyboardEvent('l', 0, 0);
    glGetIntegerv(GL_POLYGON_MODE, mode);
    EXPECT_EQ(mode[0], GL_LINE);
    EXPECT_EQ(mode[1], GL_LINE);
    Rendering::keyboardEvent('p', 0, 0);
    glGetIntegerv(GL_POLYGON_MODE, mode);
    EXPECT_EQ(mode[0], GL_FILL);
    EXPECT_EQ(mode[1], GL_FILL);
    Rendering::keyboardEvent('*', 0, 0);
    Rendering::keyboardEvent('/', 0, 0);
    EXPECT_NO_GL_ERROR();
}

TEST_F(InputGLTest, OtherKeysGoToTheKeyboardCallbacks)
{
    KeyRecorder first, second;
    Render::instance().getCallBacksKeyboard().push_back(&first);
    Render::instance().getCallBacksKeyboard().push_back(&second);
    const Vec3<double> before = camera().getPosition();

    Rendering::keyboardEvent('Z', 120, 45); // upper case is not a camera key
    Rendering::keyboardEvent('x', 1, 2);
    Rendering::keyboardEvent('z', 3, 4);
    EXPECT_EQ(first.keys, (std::vector<unsigned char>{'Z', 'x'}));
    EXPECT_EQ(second.keys, first.keys);
    EXPECT_EQ(first.lastX, 1);
    EXPECT_EQ(first.lastY, 2);
    EXPECT_NE(camera().getPosition(), before);
    Render::instance().getCallBacksKeyboard().clear();

    // Without callbacks an unknown key only puts the view back.
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    Rendering::keyboardEvent('x', 0, 0);
    expectViewLoaded();
}

TEST_F(InputGLTest, RightDragTurnsTheCameraByThePointerMovement)
{
    Rendering::mouseEvent(GLUT_RIGHT_BUTTON, GLUT_DOWN, 300, 200);
    EXPECT_EQ(Rendering::oldX, 0);
    EXPECT_EQ(Rendering::oldY, 0);
    Camera reference = startView();

    Rendering::motionEvent(300, 200); // records the reference only: no turn
    reference.rotateX(0.0);
    reference.rotateY(0.0);
    reference.buildTransformationMatrix();
    expectLoaded(readModelView(), reference.getTransformationMatrix());

    Rendering::motionEvent(310, 190);
    reference.rotateX(6.28318 / 728 * 10);
    reference.rotateY(6.28318 / 1024 * -10);
    reference.buildTransformationMatrix();
    expectLoaded(readModelView(), reference.getTransformationMatrix());
    EXPECT_EQ(Rendering::oldX, 310);
    EXPECT_EQ(Rendering::oldY, 190);

    // A stored 0 counts as no reference: crossing x = 0 gives no turn on that axis.
    Rendering::motionEvent(0, 200);
    reference.rotateX(6.28318 / 728 * -10);
    reference.rotateY(6.28318 / 1024 * 310);
    Rendering::motionEvent(-20, 200);
    reference.rotateX(0.0);
    reference.rotateY(0.0);
    reference.buildTransformationMatrix();
    expectLoaded(readModelView(), reference.getTransformationMatrix());

    // Releasing the right button leaves a drag without reference; any other button ends it.
    Rendering::mouseEvent(GLUT_RIGHT_BUTTON, GLUT_UP, 0, 0);
    EXPECT_EQ(Rendering::oldX, 0);
    Rendering::mouseEvent(GLUT_MIDDLE_BUTTON, GLUT_DOWN, 0, 0);
    EXPECT_EQ(Rendering::oldX, -1);
    EXPECT_EQ(Rendering::oldY, -1);
}

TEST_F(InputGLTest, LeftDragDoesNotTurnTheCameraNorMoveThePickPosition)
{
    Rendering::passiveMotionEvent(400, 300);
    Rendering::mouseEvent(GLUT_LEFT_BUTTON, GLUT_DOWN, 400, 300);
    const Vec3<double> before = camera().getPosition();
    glMatrixMode(GL_MODELVIEW);
    const Matrix<double> view = readModelView();
    Rendering::motionEvent(450, 320);
    Rendering::motionEvent(500, 340);
    EXPECT_EQ(camera().getPosition(), before);
    expectLoaded(readModelView(), view);
    EXPECT_EQ(Rendering::mouseX, 400);
    EXPECT_EQ(Rendering::mouseY, 300);
    Rendering::mouseEvent(GLUT_LEFT_BUTTON, GLUT_UP, 500, 340);
    EXPECT_EQ(Rendering::oldX, -1);
}

TEST_F(InputGLTest, EscapeEndsTheProcessWithStatusZero)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(Rendering::keyboardEvent(27, 0, 0), ::testing::ExitedWithCode(0), "");
}
