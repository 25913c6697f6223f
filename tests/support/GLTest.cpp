#include "support/GLTest.h"

#include <GL/glu.h>

#include <cstdlib>

#include "core/Board.h"
#include "rendering/Camera.h"
#include "rendering/Input.h"
#include "rendering/Render.h"
#include "support/GLWindow.h"

namespace TestSupport
{

void GLTest::SetUp()
{
    GLWindow& window = GLWindow::instance();
    if (!window.available()) {
        if (std::getenv("CI"))
            FAIL() << "GL tests need a display under CI: " << window.reason();
        GTEST_SKIP() << "no OpenGL window: " << window.reason();
    }
    Rendering::Render& render = Rendering::Render::instance();
    render.setDrawOnDemand(false);
    GLWindow::resetCallbacks();
    render.setParams("", Vec3<double>(1.0, 1.0, 1.0), nullptr);
    render.setSize(1024, 728);
    render.setCameraSpeed(1.0f);
    render.getCallBacksKeyboard().clear();
    for (int key = 0; key < 256; ++key)
        render.claimKey(static_cast<unsigned char>(key), false);
    render.setQuitHandler(nullptr);
    render.setClearHighlightOffBoard(false);
    render.setPollInterval(15.0);
    // No GLSL program unless the test names one.
    render.removeShader();
    glViewport(0, 0, 1024, 728);
    startUp();
    rot = 0.0f;
    Rendering::mouseX = Rendering::mouseY = 0;
    Rendering::oldX = Rendering::oldY = 0;
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
}

void GLTest::TearDown()
{
    if (!GLWindow::instance().available())
        return;
    Rendering::Render::instance().setParams("", Vec3<double>(1.0, 1.0, 1.0), nullptr);
    EXPECT_NO_GL_ERROR() << "the test left an OpenGL error";
}

std::string GLTest::startUp()
{
    Rendering::Camera* camera = Rendering::Render::instance().getCamera();
    camera->setIsFree(true);
    camera->resetRotation();
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    Rendering::Render::instance().initGL();
    const std::string out = testing::internal::GetCapturedStdout();
    return out + testing::internal::GetCapturedStderr();
}

Matrix<double> GLTest::readModelView()
{
    Matrix<double> m;
    glGetDoublev(GL_MODELVIEW_MATRIX, m.getPtr());
    return m;
}

void GLTest::expectLoaded(const Matrix<double>& readBack, const Matrix<double>& loaded)
{
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(readBack[i], static_cast<double>(static_cast<float>(loaded[i]))) << "element " << i;
}

Matrix<double> GLTest::readProjection()
{
    Matrix<double> m;
    glGetDoublev(GL_PROJECTION_MATRIX, m.getPtr());
    return m;
}

std::vector<std::uint8_t> GLTest::readPixels(int x, int y, int w, int h)
{
    std::vector<std::uint8_t> pixels(static_cast<size_t>(w) * h * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(x, y, w, h, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

Vec3<double> GLTest::project(const Vec3<double>& point)
{
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    double wx = 0, wy = 0, wz = 0;
    gluProject(point.x(), point.y(), point.z(), readModelView().getPtr(), readProjection().getPtr(), viewport, &wx, &wy,
               &wz);
    return Vec3<double>(wx, viewport[3] - wy, wz);
}

Vec3<double> GLTest::onScreen(double gridX, double gridY, double height)
{
    // Where the frame draws the board point: camera view, scene scale, board turn and
    // centring, all read back from OpenGL or taken from the engine.
    const Rendering::Render& render = Rendering::Render::instance();
    const Core::Board* board = render.getBoard();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glScaled(render.getScale().x(), render.getScale().y(), render.getScale().z());
    glRotated(rot, 0.0, 1.0, 0.0);
    glTranslated(board->getSize().x() / -2.0, 0.0, board->getSize().y() / 2.0);
    const Vec3<double> w = project(Vec3<double>(gridX, height, -gridY));
    glPopMatrix();
    return w;
}

void GLTest::pointAt(double gridX, double gridY, double height)
{
    const Vec3<double> w = onScreen(gridX, gridY, height);
    Rendering::passiveMotionEvent(static_cast<int>(w.x()), static_cast<int>(w.y()));
    Rendering::Render::instance().loop();
}

} // namespace TestSupport
