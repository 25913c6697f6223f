#include "support/GLWindow.h"

#include <GL/glew.h>
#include <GL/freeglut.h>
#include <GL/glx.h>
#include <X11/Xlib.h>

#include <dlfcn.h>

#include <chrono>
#include <cstdlib>

#include "rendering/Render.h"

namespace TestSupport
{

namespace
{
void noDisplay() {}

// Mesa unloads its software driver when GLUT closes the display at exit, before the leak
// checker runs; the driver's own lasting allocations would then be reported from an
// unknown module. Keeping the driver loaded lets the checker name it (and its
// suppressions apply).
void keepDriverLoaded()
{
    for (const char* path : {"/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", "swrast_dri.so"})
        if (dlopen(path, RTLD_NOW | RTLD_NODELETE | RTLD_GLOBAL))
            return;
}
} // namespace

// The sanitizers' leak check at exit can crash ("Tracer caught signal 11") walking a
// dynamic TLS block that their interception of __tls_get_addr recorded with a bogus range
// for a module of the software driver (seen with GCC 12's runtime on glibc 2.36, depending
// on the order in which the driver's modules first touch their TLS). Those blocks are heap
// blocks reached from each thread's static TLS anyway, so the check loses nothing.
extern "C" const char* __asan_default_options()
{
    return "intercept_tls_get_addr=0";
}

GLWindow& GLWindow::instance()
{
    static GLWindow window;
    return window;
}

GLWindow::GLWindow()
{
    keepDriverLoaded();
    Rendering::Render& render = Rendering::Render::instance();
    if (!render.openWindow()) {
        const char* name = std::getenv("DISPLAY");
        m_Reason = std::string("no X display to open a window on (DISPLAY=\"") + (name ? name : "") + "\")";
        return;
    }
    resetCallbacks();
    render.initGL();
    m_Available = true;
    waitUntilShown();
}

void GLWindow::resetCallbacks()
{
    // GLUT insists on a display callback.
    glutDisplayFunc(noDisplay);
    glutIdleFunc(nullptr);
    glutMouseFunc(nullptr);
    glutMotionFunc(nullptr);
    glutPassiveMotionFunc(nullptr);
    glutReshapeFunc(nullptr);
    glutKeyboardFunc(nullptr);
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

void GLWindow::waitUntilShown()
{
    Display* display = glXGetCurrentDisplay();
    const Window window = glXGetCurrentDrawable();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    XWindowAttributes attributes{};
    do {
        glutMainLoopEvent();
        XSync(display, False);
    } while (XGetWindowAttributes(display, window, &attributes) && attributes.map_state != IsViewable &&
             std::chrono::steady_clock::now() < deadline);
    glutMainLoopEvent();
}

} // namespace TestSupport
