// Processor time of the checkers demo's real scene (pictures, models, GLSL program) once it
// is up, in a process of its own: drawing continuously as the demo does, drawing on demand
// with nothing happening, and drawing on demand while the pointer moves over the window.
// Each is measured over the same span, in % of one core (all the process's threads: the
// software rasterizer runs threads of its own).
//
// Usage: idle_cpu [seconds]      (default 10; needs an X display: run under xvfb-run)
// The program starts from its own folder, where the demo's data lies at ../Data/.
#include <X11/Xlib.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "CheckersScene.h"
#include "ProgramFolder.h"
#include "rendering/HUD.h"
#include "rendering/Render.h"

namespace
{
constexpr double c_TargetIdlePercent = 5.0;
constexpr int c_StartTimeoutMs = 60000;
// The demo's window, as GLUT places it on a server without a window manager.
constexpr int c_WindowX = 100, c_WindowY = 100, c_WindowWidth = 1024, c_WindowHeight = 728;

// Says on standard output that the first frame is being drawn.
class Ready final : public Rendering::HUD
{
public:
    void draw() override
    {
        if (!m_Said)
            std::printf("ready\n"), std::fflush(stdout);
        m_Said = true;
    }

private:
    bool m_Said = false;
};

int child(bool onDemand)
{
    CheckersScene scene;
    Ready ready;
    Rendering::Render& render = Rendering::Render::instance();
    render.pushBackHUD(&ready);
    render.setDrawOnDemand(onDemand);
    return render.run() ? 0 : 1;
}

// Processor time of a process so far (user + system, all threads), in seconds.
double cpuSeconds(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    const std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // Fields after the command name (which may hold spaces) start after its ')'.
    const size_t close = text.rfind(')');
    if (close == std::string::npos)
        return -1.0;
    char* at = const_cast<char*>(text.c_str() + close + 2);
    unsigned long long utime = 0, stime = 0;
    for (int field = 3; field <= 15; ++field) {
        const unsigned long long value = std::strtoull(at, &at, 10);
        if (field == 14)
            utime = value;
        if (field == 15)
            stime = value;
        if (field == 3) // the state is a letter
            at = std::strchr(at, ' ');
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Moves the pointer to and fro across the window, 100 times a second, until `end`.
void movePointer(std::chrono::steady_clock::time_point end)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return;
    for (int step = 0; std::chrono::steady_clock::now() < end; ++step) {
        const int x = c_WindowX + 100 + (step * 7) % (c_WindowWidth - 200);
        const int y = c_WindowY + 100 + (step * 3) % (c_WindowHeight - 200);
        XWarpPointer(display, None, DefaultRootWindow(display), 0, 0, 0, 0, x, y);
        XFlush(display);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    XCloseDisplay(display);
}

// Starts this program as a demo drawing continuously or on demand, waits until it draws
// its first frame, and returns its processor use over `seconds`, in % of a core (negative
// when it did not start within a minute).
double measure(const char* self, bool onDemand, bool pointerMoving, double seconds)
{
    int out[2];
    if (pipe(out) != 0)
        return -1.0;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    char mode[] = "--child", flag[] = "on", continuous[] = "off";
    char* argv[] = {const_cast<char*>(self), mode, onDemand ? flag : continuous, nullptr};
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, self, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (spawned != 0)
        return -1.0;

    std::string text;
    char buffer[4096];
    pollfd ready = {out[0], POLLIN, 0};
    for (ssize_t n; text.find("ready\n") == std::string::npos && poll(&ready, 1, c_StartTimeoutMs) == 1 &&
                    (n = read(out[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<size_t>(n));
    double percent = -1.0;
    if (text.find("ready\n") != std::string::npos) {
        const auto start = std::chrono::steady_clock::now();
        const double before = cpuSeconds(pid);
        const auto end = start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                     std::chrono::duration<double>(seconds));
        if (pointerMoving)
            movePointer(end);
        std::this_thread::sleep_until(end);
        const double used = cpuSeconds(pid) - before;
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        percent = 100.0 * used / elapsed;
    }
    kill(pid, SIGTERM);
    close(out[0]);
    waitpid(pid, nullptr, 0);
    return percent;
}
} // namespace

int main(int argc, char** argv)
{
    ProgramFolder::enter("idle_cpu");
    if (argc > 2 && std::string(argv[1]) == "--child")
        return child(std::string(argv[2]) == "on");
    const double seconds = argc > 1 ? std::max(0.5, std::atof(argv[1])) : 10.0;

    const double continuous = measure("/proc/self/exe", false, false, seconds);
    const double idle = measure("/proc/self/exe", true, false, seconds);
    const double moving = measure("/proc/self/exe", true, true, seconds);
    if (continuous < 0 || idle < 0 || moving < 0) {
        std::fprintf(stderr, "idle_cpu: the demo did not start\n");
        return 1;
    }
    std::printf("idle_cpu: checkers scene, processor time over %.1f s once drawn, in %% of one core\n", seconds);
    std::printf("  drawing continuously (the demo)    %7.1f %%\n", continuous);
    std::printf("  drawing on demand, idle            %7.1f %%   target < %.0f: %s\n", idle, c_TargetIdlePercent,
                idle < c_TargetIdlePercent ? "met" : "NOT met");
    std::printf("  drawing on demand, pointer moving  %7.1f %%\n", moving);
    return 0;
}
