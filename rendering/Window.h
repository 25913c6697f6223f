#pragma once

#include <string>

#include "math/Vec2.h"

namespace Rendering
{

// The one GLUT window of the process: opening it on the X display, its size and title,
// showing a drawn frame, and when frames are drawn (continuously from GLUT's idle
// callback, or on request).
class Window
{
public:
    // 1024 x 728 until opened or resized.
    Window();

    // Opens the window (RGBA, double buffer, depth, stencil) with this title and size at
    // (100, 100), full screen when asked; the context is current afterwards. One window
    // per process: false, with a one-line reason on standard error, when there is no X
    // display to open it on, the server has no OpenGL, or a window is already open.
    bool open(const std::string& title, bool fullScreen);
    bool isOpen() const;

    Vec2<unsigned int> getSize() const { return Vec2<unsigned int>(m_Width, m_Height); }
    void setSize(unsigned int width, unsigned int height);

    // Installs the GLUT callbacks of the engine's input handling and `drawFrame` for
    // display; with `continuous`, `drawFrame` runs from the idle callback too.
    void installCallbacks(void (*drawFrame)(), bool continuous);
    // Switches between frames drawn continuously and frames drawn on request; takes effect
    // at once when the callbacks are installed.
    void setContinuous(bool continuous);
    // Asks GLUT for a frame as soon as it has handled the pending events; several requests
    // before that frame make one frame. Nothing before the window is open.
    void requestFrame();
    // Calls `action` from GLUT's main loop in `delayMs` milliseconds (once). False, and
    // nothing done, before the window is open.
    bool callIn(double delayMs, void (*action)());

    void setTitle(const std::string& title);
    // Shows the frame drawn in the back buffer.
    void swapBuffers();
    // Hands control to GLUT's main loop, which does not return.
    void mainLoop();

private:
    unsigned int m_Width;
    unsigned int m_Height;
    void (*m_DrawFrame)();
    bool m_CallbacksInstalled;
};

} // namespace Rendering
