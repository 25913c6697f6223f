#pragma once

#include <string>

namespace TestSupport
{

// The one GLUT window that every GL test of a process draws into, opened on first use
// through the engine's own window set-up (1024 x 728, RGBA, double buffer, depth,
// stencil) and kept current until the process ends.
class GLWindow
{
public:
    static GLWindow& instance();

    // True once the window is open and its context current.
    bool available() const { return m_Available; }
    // Why the window could not be opened.
    const std::string& reason() const { return m_Reason; }

    // The window's title as the window manager reads it.
    std::string title() const;
    // GLUT's callbacks as the tests want them: a display callback that draws nothing (the
    // tests draw by calling the engine), no idle, input or reshape callback.
    static void resetCallbacks();

private:
    GLWindow();
    // Lets GLUT handle window-system events until the window is mapped (pixels read
    // back before that are undefined).
    void waitUntilShown();

    bool m_Available = false;
    std::string m_Reason;
};

} // namespace TestSupport
