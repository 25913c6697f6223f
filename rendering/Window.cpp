#include "rendering/Window.h"

#include "core/MessageText.h"
#include "core/Messages.h"

#include <GL/freeglut.h>
#include <GL/glx.h>
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <csetjmp>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "core/Quotable.h"
#include "rendering/Input.h"

namespace Rendering
{

namespace
{
// Runs at exit before GLUT's own clean-up (registered after glutInit): releases the
// context first, since tearing the display down under a current software-rendered
// context can crash the process on its way out.
void releaseContext()
{
    if (glXGetCurrentContext())
        glXMakeCurrent(glXGetCurrentDisplay(), None, nullptr);
}

// A busy X server now and then refuses a connection (reset or would-block on connect)
// that it accepts a moment later. Connection attempts are therefore repeated.
constexpr int c_ConnectAttempts = 20;
constexpr auto c_ConnectPause = std::chrono::milliseconds(100);

// During glutInit only, GLUT's fatal errors come back here instead of ending the process:
// a refused connection is tried again, any other failure is reported by open(). Outside
// glutInit a GLUT error is a message that ends the process, as GLUT's own handler does
// (GLUT's code does not expect its error handler to return); GLUT's warnings are messages
// too. Both read as GLUT prints them. glutInit opens the one X connection of the window
// and checks the server's OpenGL itself: a second connection made beforehand to check the
// display would cost its closing and reopening.
std::jmp_buf g_GlutInitFailed;
char g_GlutMessage[256];

void glutInitError(const char* format, va_list args)
{
    std::vsnprintf(g_GlutMessage, sizeof g_GlutMessage, format, args);
    std::longjmp(g_GlutInitFailed, 1);
}

// GLUT's words as GLUT prints them ("main" is the program name glutInit is given).
std::string glutWords(const char* format, va_list args)
{
    va_list measured;
    va_copy(measured, args);
    const int length = std::vsnprintf(nullptr, 0, format, measured);
    va_end(measured);
    std::string text(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
    std::vsnprintf(&text[0], text.size() + 1, format, args);
    return "freeglut (main): " + text;
}

void glutWarning(const char* format, va_list args)
{
    try {
        Core::Messages::send(Core::MessageLevel::Warning, glutWords(format, args), true);
    } catch (...) {
        // Nothing may leave through GLUT's C frames.
    }
}

void glutFailure(const char* format, va_list args)
{
    try {
        Core::Messages::send(Core::MessageLevel::Fatal, glutWords(format, args), true);
    } catch (...) {
    }
    std::exit(1);
}

bool startsWith(const char* text, const char* prefix)
{
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

const char* displayName()
{
    const char* name = std::getenv("DISPLAY");
    return name ? name : "";
}

// The software OpenGL driver allocates and frees blocks of up to several hundred KiB for
// every draw (vertices being transformed, bins of the rasterizer). With glibc's defaults
// each free at the top of the heap hands the pages back to the system (trim threshold
// 128 KiB, raised only as far as the last mapped block freed) and the next draw faults
// them in again, a page at a time: on the demo's frame that was two thirds of the time.
// Keeping up to 64 MiB of free heap, and serving blocks of up to 32 MiB (the most glibc
// allows) from the heap rather than from mappings of their own, makes those blocks reused
// from frame to frame. The cost is memory kept by the process after a peak, not memory in
// use.
constexpr int c_TrimThreshold = 64 * 1024 * 1024;
constexpr int c_MmapThreshold = 32 * 1024 * 1024;

void keepFreedMemoryForTheDriver()
{
#if defined(__GLIBC__)
    mallopt(M_TRIM_THRESHOLD, c_TrimThreshold);
    mallopt(M_MMAP_THRESHOLD, c_MmapThreshold);
#endif
}

// GLUT's timers carry an int: the action to call is kept here meanwhile.
std::vector<void (*)()> g_Actions;

void callAction(int index)
{
    void (*action)() = g_Actions[static_cast<size_t>(index)];
    g_Actions[static_cast<size_t>(index)] = nullptr;
    action();
}
} // namespace

Window::Window() : m_Width(1024), m_Height(728), m_DrawFrame(nullptr), m_CallbacksInstalled(false) {}

void Window::setSize(unsigned int width, unsigned int height)
{
    m_Width = width;
    m_Height = height;
}

bool Window::isOpen() const
{
    return glutGet(GLUT_INIT_STATE) && glutGetWindow() != 0;
}

bool Window::open(const std::string& title, bool fullScreen)
{
    if (glutGet(GLUT_INIT_STATE)) {
        Core::Messages::send(Core::MessageLevel::Error,
                             Core::messageText("The window is already open: one window per process."), true);
        return false;
    }
    // glutInit ends the process with a terse message when there is no display; say why.
    if (!*displayName()) {
        Core::Messages::send(
            Core::MessageLevel::Error,
            Core::messageText("Cannot open the X display \"\": a window needs a graphical session (set DISPLAY)."),
            true);
        return false;
    }
    keepFreedMemoryForTheDriver();

    static char arg0[] = "main";
    static char* argv[] = {arg0, nullptr};
    int argc = 1;
    volatile int attempt = 0;
    if (setjmp(g_GlutInitFailed) != 0) {
        glutInitErrorFunc(glutFailure);
        if (startsWith(g_GlutMessage, "OpenGL GLX extension not supported")) {
            Core::Messages::send(Core::MessageLevel::Error,
                                 Core::messageText("Cannot open a window on the X display \"",
                                                   Core::quotable(displayName()),
                                                   "\": the server has no OpenGL (GLX) extension."),
                                 true);
            return false;
        }
        if (!startsWith(g_GlutMessage, "failed to open display")) {
            Core::Messages::send(Core::MessageLevel::Error,
                                 Core::messageText("Cannot open a window: ", Core::quotable(g_GlutMessage)), true);
            return false;
        }
        if (++attempt >= c_ConnectAttempts) {
            Core::Messages::send(Core::MessageLevel::Error,
                                 Core::messageText("Cannot open the X display \"", Core::quotable(displayName()),
                                                   "\": a window needs a graphical session (set DISPLAY)."),
                                 true);
            return false;
        }
        std::this_thread::sleep_for(c_ConnectPause);
        argc = 1;
    }
    glutInitWarningFunc(glutWarning);
    glutInitErrorFunc(glutInitError);
    glutInit(&argc, argv);
    glutInitErrorFunc(glutFailure);
    std::atexit(releaseContext);
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_DEPTH | GLUT_STENCIL);
    glutInitWindowSize(static_cast<int>(m_Width), static_cast<int>(m_Height));
    glutInitWindowPosition(100, 100);
    glutCreateWindow(title.c_str());
    if (fullScreen)
        glutFullScreen();
    return true;
}

void Window::installCallbacks(void (*drawFrame)(), bool continuous)
{
    m_DrawFrame = drawFrame;
    m_CallbacksInstalled = true;
    glutDisplayFunc(drawFrame);
    glutMouseFunc(mouseEvent);
    glutMotionFunc(motionEvent);
    glutReshapeFunc(reShape);
    glutPassiveMotionFunc(passiveMotionEvent);
    glutKeyboardFunc(keyboardEvent);
    glutSpecialFunc(specialKeyEvent);
    setContinuous(continuous);
}

void Window::setContinuous(bool continuous)
{
    if (m_CallbacksInstalled)
        glutIdleFunc(continuous ? m_DrawFrame : nullptr);
}

void Window::requestFrame()
{
    if (isOpen())
        glutPostRedisplay();
}

bool Window::callIn(double delayMs, void (*action)())
{
    if (!isOpen())
        return false;
    // A slot whose timer has fired is used again.
    auto slot = std::find(g_Actions.begin(), g_Actions.end(), nullptr);
    if (slot == g_Actions.end())
        slot = g_Actions.insert(slot, nullptr);
    *slot = action;
    const unsigned int delay = delayMs > 0.0 ? static_cast<unsigned int>(delayMs + 0.5) : 0u;
    glutTimerFunc(delay, callAction, static_cast<int>(slot - g_Actions.begin()));
    return true;
}

void Window::setTitle(const std::string& title)
{
    glutSetWindowTitle(title.c_str());
}

void Window::swapBuffers()
{
    glutSwapBuffers();
}

void Window::mainLoop()
{
    glutMainLoop();
}

} // namespace Rendering
