#include "support/GLTest.h"

#include <GL/freeglut.h>

#include <cmath>
#include <cstdio>
#include <functional>

#include "core/CallBackKeyboard.h"
#include "rendering/Camera.h"
#include "rendering/Input.h"
#include "rendering/Render.h"

using Rendering::Camera;
using Rendering::Render;

namespace
{
constexpr double c_Step = 0.39269875; // pi / 8 with pi = 3.14159
constexpr double c_Root2 = 0.70710678118654752;

class KeyRecorder final : public Core::CallBackKeyboard
{
public:
    void update() override
    {
        keys.push_back(m_Key);
        lastX = m_X;
        if (action)
            action();
    }
    void specialKey(int key, int x, int /*y*/) override
    {
        special.push_back(key);
        lastX = x;
        if (action)
            action();
    }
    std::vector<unsigned char> keys;
    std::vector<int> special;
    int lastX = 0;
    std::function<void()> action;
};

class InputGLTest : public TestSupport::GLTest
{
protected:
    Camera& camera() { return *Render::instance().getCamera(); }

    // A fresh camera in the start-up view, to replay the expected operations on.
    static Camera startView()
    {
        Camera c;
        c.setPosition(Vec3<double>(0, 10, 10));
        c.rotateX(-0.7853975);
        return c;
    }

    void press(const char* keys)
    {
        for (const char* k = keys; *k; ++k)
            Rendering::keyboardEvent(static_cast<unsigned char>(*k), 0, 0);
    }

    // Every key also puts the camera's view into OpenGL.
    void expectEye(const Vec3<double>& expected, double eps)
    {
        EXPECT_NEAR((camera().getPosition() - expected).length(), 0.0, eps);
        expectLoaded(readModelView(), camera().getTransformationMatrix());
    }
};
} // namespace

TEST_F(InputGLTest, FreeCameraKeysMoveAlongTheCameraAxes)
{
    // Pitched down 45 degrees: the camera's Z axis is (0, r, r) and its Y axis (0, r, -r).
    const double h = 0.5 * c_Root2;
    press("z");
    expectEye(Vec3<double>(0, 10 - h, 10 - h), 1e-5);
    press("sd");
    expectEye(Vec3<double>(0.5, 10, 10), 1e-5);
    press("qe");
    expectEye(Vec3<double>(0, 10 + h, 10 - h), 1e-5);
    press("a");
    expectEye(Vec3<double>(0, 10, 10), 1e-5);
}

TEST_F(InputGLTest, OrbitCameraKeysTurnAroundTheOrigin)
{
    press("+");
    EXPECT_FALSE(camera().isFree());
    const double r = 10 * c_Root2;
    press("q");
    expectEye(Vec3<double>(r * std::sin(c_Step), r, r * std::cos(c_Step)), 1e-4);
    press("dz");
    EXPECT_LT(camera().getPosition().y(), r - 1.0); // pitched up: the eye sinks
    EXPECT_NEAR(camera().getPosition().length(), 10.0, 1e-9);
    press("sa");
    expectEye(Vec3<double>(0, r, r) * 1.05, 1e-4);
    press("ee");
    EXPECT_EQ(camera().getDistanceToOrigin(), 9.5);

    // Back to the free camera, '-' restores the start-up view but not the distance.
    press("+-");
    EXPECT_TRUE(camera().isFree());
    Camera reference = startView();
    reference.buildTransformationMatrix();
    expectLoaded(readModelView(), reference.getTransformationMatrix());
    EXPECT_EQ(camera().getDistanceToOrigin(), 9.5);
}

TEST_F(InputGLTest, DisplayKeysAndForwardedKeys)
{
    GLint mode[2] = {0, 0};
    press("l");
    glGetIntegerv(GL_POLYGON_MODE, mode);
    EXPECT_EQ(mode[0], GL_LINE);
    press("p*/");
    glGetIntegerv(GL_POLYGON_MODE, mode);
    EXPECT_EQ(mode[1], GL_FILL);

    // A callback that unregisters itself does not take the key from the next one.
    KeyRecorder first, second, third;
    first.action = [&] { Render::instance().removeCallBackKeyboard(&first); };
    Render::instance().getCallBacksKeyboard() = {&first, &second, &third};
    const Vec3<double> before = camera().getPosition();
    Rendering::keyboardEvent('Z', 120, 45); // upper case is not a camera key
    Rendering::keyboardEvent('x', 7, 2);
    EXPECT_EQ(camera().getPosition(), before);
    EXPECT_EQ(first.keys, std::vector<unsigned char>{'Z'});
    EXPECT_EQ(second.keys, (std::vector<unsigned char>{'Z', 'x'}));
    EXPECT_EQ(third.keys, second.keys);
    EXPECT_EQ(third.lastX, 7);
}

TEST_F(InputGLTest, RightDragTurnsTheCameraByThePointerMovementLeftDragDoesNot)
{
    Rendering::passiveMotionEvent(400, 300);
    Rendering::mouseEvent(GLUT_LEFT_BUTTON, GLUT_DOWN, 400, 300);
    const Matrix<double> view = readModelView();
    Rendering::motionEvent(450, 320);
    Rendering::motionEvent(500, 340);
    expectLoaded(readModelView(), view);
    EXPECT_EQ(Rendering::mouseX * 1000 + Rendering::mouseY, 400300) << "the pick position stays";
    Rendering::mouseEvent(GLUT_LEFT_BUTTON, GLUT_UP, 400, 300);

    Rendering::mouseEvent(GLUT_RIGHT_BUTTON, GLUT_DOWN, 300, 200);
    Camera reference = startView();
    auto step = [&](int x, int y, double pitch, double yaw) {
        Rendering::motionEvent(x, y);
        reference.rotateX(pitch);
        reference.rotateY(yaw);
        reference.buildTransformationMatrix();
        expectLoaded(readModelView(), reference.getTransformationMatrix());
    };
    step(300, 200, 0.0, 0.0); // the first motion only records the position
    step(310, 190, 6.28318 / 728 * 10, 6.28318 / 1024 * -10);
    step(0, 200, 6.28318 / 728 * -10, 6.28318 / 1024 * 310);
    step(-20, 200, 0.0, 0.0); // a stored 0 counts as no reference on that axis

    // Releasing the right button leaves a drag without reference; other buttons end it.
    Rendering::mouseEvent(GLUT_RIGHT_BUTTON, GLUT_UP, 0, 0);
    EXPECT_EQ(Rendering::oldX, 0);
    Rendering::mouseEvent(GLUT_MIDDLE_BUTTON, GLUT_DOWN, 0, 0);
    EXPECT_EQ(Rendering::oldY, -1);
}

TEST_F(InputGLTest, EscapeEndsTheProcessWithStatusZeroAfterTheQuitHandler)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    Render::instance().setQuitHandler([] { std::fputs("worker stopped\n", stderr); });
    EXPECT_EXIT(Rendering::keyboardEvent(27, 0, 0), ::testing::ExitedWithCode(0), "worker stopped");
}

TEST_F(InputGLTest, ClaimedKeysAndSpecialKeysGoToTheCallbacks)
{
    KeyRecorder first, second;
    Render::instance().getCallBacksKeyboard() = {&first, &second};
    Render::instance().claimKey('s');
    Render::instance().claimKey(27);
    EXPECT_TRUE(Render::instance().isKeyClaimed('s'));
    EXPECT_FALSE(Render::instance().isKeyClaimed('z'));
    const Vec3<double> before = camera().getPosition();
    press("s\x1b");
    EXPECT_EQ(camera().getPosition(), before) << "a claimed key does not move the camera";
    EXPECT_EQ(second.keys, (std::vector<unsigned char>{'s', 27}));
    Render::instance().claimKey('s', false);
    press("s");
    EXPECT_NE(camera().getPosition(), before);
    EXPECT_EQ(second.keys.size(), 2u);

    // Special keys, with the same delivery: a callback removed by an earlier one during a
    // key does not get it.
    first.action = [&] { Render::instance().removeCallBackKeyboard(&second); };
    Rendering::specialKeyEvent(GLUT_KEY_LEFT, 9, 4);
    EXPECT_EQ(first.special, std::vector<int>{GLUT_KEY_LEFT});
    EXPECT_EQ(first.lastX, 9);
    EXPECT_TRUE(second.special.empty());
    first.action = nullptr;
    Render::instance().getCallBacksKeyboard().push_back(&second);
    Rendering::specialKeyEvent(GLUT_KEY_PAGE_DOWN, 0, 0);
    EXPECT_EQ(second.special, std::vector<int>{GLUT_KEY_PAGE_DOWN});
    EXPECT_EQ(first.keys.size(), 2u) << "special keys do not reach update()";
}
