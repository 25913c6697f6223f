#include "support/DesktopSession.h"

#include "rendering/Camera.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace TestSupport
{

bool DesktopSession::runCommand(const std::string& command, std::string* output)
{
    for (int attempt = 0; attempt < 5; ++attempt) {
        FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
        if (!pipe)
            return false;
        std::string out;
        char buffer[65536];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            out.append(buffer, n);
        if (pclose(pipe) == 0) {
            if (output)
                *output = out;
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return false;
}

std::pair<int, int> DesktopSession::boardPoint(double gridX, double gridY, double angle)
{
    Rendering::Camera camera;
    camera.setFOV(45.0);
    camera.setAspectRatio(double(Width) / Height);
    camera.setPlanes(1.0, 1000.0);
    camera.setPosition(Vec3<double>(0, 10, 10));
    camera.rotateX(-0.7853975);
    camera.buildTransformationMatrix();
    camera.buildProjectionMatrix();
    const double x = gridX - 6.0, z = -gridY + 6.0, a = angle * M_PI / 180.0, scale = 0.85f;
    double v[4] = {scale * (x * std::cos(a) + z * std::sin(a)), scale * 0.001,
                   scale * (-x * std::sin(a) + z * std::cos(a)), 1.0};
    for (const Matrix<double>* m : {&camera.getTransformationMatrix(), &camera.getProjectionMatrix()}) {
        double out[4];
        for (int r = 0; r < 4; ++r)
            out[r] = (*m)[r] * v[0] + (*m)[4 + r] * v[1] + (*m)[8 + r] * v[2] + (*m)[12 + r] * v[3];
        std::copy(out, out + 4, v);
    }
    return {int((v[0] / v[3] + 1.0) / 2.0 * Width), int((1.0 - v[1] / v[3]) / 2.0 * Height)};
}

bool DesktopSession::openDisplay()
{
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display)
        return false;
    // A busy X server now and then refuses a client's connection, as it does a command's: a
    // few tries.
    waitFor([&] { return (m_Display = XOpenDisplay(nullptr)) != nullptr; }, 2.0);
    return m_Display != nullptr;
}

bool DesktopSession::start(const std::string& directory, const std::string& command)
{
    m_Program =
        popen(("cd " + directory + " && echo $$ && ASAN_OPTIONS=detect_leaks=0 " + command + " 2>&1").c_str(), "r");
    return m_Program && std::fscanf(m_Program, "%d", &m_Pid) == 1 && std::fgetc(m_Program) == '\n';
}

bool DesktopSession::finish(int* status, std::string* output)
{
    if (!waitFor([&] { return waitpid(m_Pid, status, WNOHANG) == m_Pid; }, 60.0))
        return false;
    char buffer[4096];
    if (output)
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, m_Program)) > 0;)
            output->append(buffer, n);
    pclose(m_Program);
    m_Program = nullptr;
    return true;
}

void DesktopSession::close()
{
    if (m_Program) {
        kill(m_Pid, SIGKILL);
        pclose(m_Program);
        m_Program = nullptr;
    }
    if (m_Display) {
        XCloseDisplay(m_Display);
        m_Display = nullptr;
    }
}

bool DesktopSession::findWindow(const std::string& titlePattern)
{
    std::string out;
    if (!runCommand("xdotool search --name '" + titlePattern + "'", &out) || out.empty())
        return false;
    XSelectInput(m_Display, m_Window = std::stoul(out), PropertyChangeMask);
    return true;
}

std::string DesktopSession::title() const
{
    char* name = nullptr;
    std::string result;
    if (XFetchName(m_Display, m_Window, &name) && name) {
        result = name;
        XFree(name);
    }
    return result;
}

bool DesktopSession::framesDrawn()
{
    XSync(m_Display, True);
    int rewrites = 0;
    return waitFor(
        [&] {
            while (XPending(m_Display)) {
                XEvent event;
                XNextEvent(m_Display, &event);
                rewrites += event.type == PropertyNotify && event.xproperty.atom == XA_WM_NAME;
            }
            return rewrites >= 2;
        },
        60.0);
}

bool DesktopSession::movePointer(int x, int y) const
{
    return runCommand("xdotool mousemove --window " + std::to_string(m_Window) + " " + std::to_string(x) + " " +
                      std::to_string(y));
}

std::string DesktopSession::screenshot() const
{
    std::string shot;
    if (!runCommand("import -window " + std::to_string(m_Window) + " -depth 8 rgb:-", &shot) ||
        shot.size() != std::size_t(Width) * Height * 3)
        shot.clear();
    return shot;
}

} // namespace TestSupport
