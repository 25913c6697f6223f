#include "support/GLWindow.h"

#include <GL/glew.h>
#include <GL/freeglut.h>
#include <GL/glx.h>
#include <X11/Xlib.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "rendering/Render.h"

namespace TestSupport
{

namespace
{
void noDisplay() {}
} // namespace

GLWindow& GLWindow::instance()
{
    static GLWindow window;
    return window;
}

GLWindow::GLWindow()
{
    const char* name = std::getenv("DISPLAY");
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        m_Reason = std::string("no X display to open (DISPLAY=\"") + (name ? name : "") + "\")";
        return;
    }
    XCloseDisplay(display);

    Rendering::Render& render = Rendering::Render::instance();
    if (!render.openWindow()) {
        m_Reason = "the engine could not open its window";
        return;
    }
    // GLUT insists on a display callback; the tests draw by calling the engine directly.
    glutDisplayFunc(noDisplay);
    render.initGL();
    m_Available = true;
    processEvents(10);
}

std::string GLWindow::title() const
{
    char* name = nullptr;
    std::string result;
    if (XFetchName(glXGetCurrentDisplay(), glXGetCurrentDrawable(), &name) && name) {
        result = name;
        XFree(name);
    }
    return result;
}

void GLWindow::processEvents(int rounds)
{
    for (int i = 0; i < rounds; ++i) {
        glutMainLoopEvent();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

} // namespace TestSupport
