#include "rendering/Input.h"

#include <GL/glew.h>
#include <GL/glxew.h>
#include <GL/freeglut.h>


#include "rendering/Camera.h"
#include "rendering/Render.h"

namespace Rendering
{

namespace
{
// Camera steps: pi / 8 and pi / 4 with the engine's pi = 3.14159, half a scene unit.
constexpr double c_TurnStep = 0.39269875;
constexpr double c_StartPitch = -0.7853975;
constexpr double c_MoveStep = 0.5;
constexpr double c_FullTurn = 6.28318;
constexpr unsigned char c_Escape = 27;

bool g_SwapIntervalFailed = false;

int noteSwapIntervalError(Display*, XErrorEvent*)
{
    g_SwapIntervalFailed = true;
    return 0;
}

// Some servers advertise the extension but answer the request with an X error, which
// Xlib's default handler turns into the end of the process: trap it for this call.
void setSwapInterval(int interval)
{
    if (!GLXEW_SGI_swap_control || !glXSwapIntervalSGI)
        return;
    Display* display = glXGetCurrentDisplay();
    if (!display)
        return;
    XSync(display, False);
    g_SwapIntervalFailed = false;
    XErrorHandler previous = XSetErrorHandler(noteSwapIntervalError);
    glXSwapIntervalSGI(interval);
    XSync(display, False);
    XSetErrorHandler(previous);
}

} // namespace

void display()
{
    Render::instance().loop();
}

void mouseEvent(int button, int state, int /*x*/, int /*y*/)
{
    Render::instance().requestRedraw();
    if (button == GLUT_RIGHT_BUTTON) {
        oldX = 0;
        oldY = 0;
        return;
    }
    oldX = -1;
    oldY = -1;
    if (button == GLUT_LEFT_BUTTON && state == GLUT_UP)
        Render::instance().updatePicking();
}

void motionEvent(int x, int y)
{
    Render::instance().requestRedraw();
    if (oldX == -1 || oldY == -1)
        return;
    const Vec2<unsigned int> size = Render::instance().getSize();
    const double sx = c_FullTurn / (size.x() == 0 ? 1 : size.x());
    const double sy = c_FullTurn / (size.y() == 0 ? 1 : size.y());
    const double dx = oldX != 0 ? static_cast<double>(oldX - x) : 0.0;
    const double dy = oldY != 0 ? static_cast<double>(oldY - y) : 0.0;
    oldX = x;
    oldY = y;

    Camera* camera = Render::instance().getCamera();
    camera->rotateX(sy * dy);
    camera->rotateY(sx * dx);
    camera->glPut();
}

void passiveMotionEvent(int x, int y)
{
    mouseX = x;
    mouseY = y;
    Render::instance().requestRedraw();
}

void reShape(int width, int height)
{
    glViewport(0, 0, width, height);
    const unsigned int w = width > 0 ? static_cast<unsigned int>(width) : 0;
    const unsigned int h = height > 0 ? static_cast<unsigned int>(height) : 0;
    Render::instance().setSize(w, h);
    Render::instance().requestRedraw();
    Camera* camera = Render::instance().getCamera();
    camera->setAspectRatio(Camera::windowAspectRatio(w, h));
    camera->glUpdateProjectionMatrix();
}

void keyboardEvent(unsigned char key, int x, int y)
{
    Render::instance().requestRedraw();
    if (Render::instance().isKeyClaimed(key)) {
        Render::instance().forwardKey(key, x, y);
        return;
    }
    Camera* camera = Render::instance().getCamera();
    const bool orbit = !camera->isFree();
    switch (key) {
    case 'z':
        orbit ? camera->rotateX(c_TurnStep) : camera->translateZ(-c_MoveStep);
        break;
    case 's':
        orbit ? camera->rotateX(-c_TurnStep) : camera->translateZ(c_MoveStep);
        break;
    case 'q':
        orbit ? camera->rotateY(c_TurnStep) : camera->translateX(-c_MoveStep);
        break;
    case 'd':
        orbit ? camera->rotateY(-c_TurnStep) : camera->translateX(c_MoveStep);
        break;
    case 'a':
        orbit ? camera->setDistanceToOrigin(camera->getDistanceToOrigin() + c_MoveStep)
              : camera->translateY(-c_MoveStep);
        break;
    case 'e':
        orbit ? camera->setDistanceToOrigin(camera->getDistanceToOrigin() - c_MoveStep)
              : camera->translateY(c_MoveStep);
        break;
    case '+':
        camera->setIsFree(!camera->isFree());
        break;
    case '-':
        camera->resetRotation();
        camera->setPosition(Vec3<double>(0.0, 10.0, 10.0));
        camera->rotateX(c_StartPitch);
        break;
    case '*':
        disableVSync();
        break;
    case '/':
        enableVSync();
        break;
    case 'l':
        glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
        break;
    case 'p':
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        break;
    case c_Escape:
        Render::instance().quit();
    default:
        Render::instance().forwardKey(key, x, y);
        break;
    }
    camera->glPut();
}

void specialKeyEvent(int key, int x, int y)
{
    Render::instance().requestRedraw();
    Render::instance().forwardSpecialKey(key, x, y);
}

void enableVSync()
{
    setSwapInterval(1);
}

void disableVSync()
{
    setSwapInterval(0);
}

} // namespace Rendering
