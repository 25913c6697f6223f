#pragma once

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <utility>

struct _XDisplay;

namespace TestSupport
{

// A demo program run from outside, as a person would on the X display: started through
// the shell, its window found by its title, the pointer moved and clicked with xdotool,
// the window read with ImageMagick's import. The window is the engine's 1024 x 728 one.
class DesktopSession
{
public:
    static constexpr int Width = 1024, Height = 728;

    DesktopSession() = default;
    DesktopSession(const DesktopSession&) = delete;
    DesktopSession& operator=(const DesktopSession&) = delete;
    // Kills the program if it still runs and closes the display.
    ~DesktopSession() { close(); }

    // Runs a shell command and returns its standard output; retried a few times, since a
    // busy X server now and then refuses a client's connection before anything happens.
    static bool runCommand(const std::string& command, std::string* output = nullptr);

    // Polls until `check` holds or the time runs out.
    template <typename Check>
    static bool waitFor(Check check, double seconds)
    {
        using Clock = std::chrono::steady_clock;
        const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
        while (Clock::now() < deadline) {
            if (check())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return check();
    }

    // Window pixel (y downward) of the board point (gridX, gridY) with the board shown
    // turned by `angle` degrees: the start-up camera and projection as the engine builds
    // them, the scene scale 0.85f, the turn, and the board's centring.
    static std::pair<int, int> boardPoint(double gridX, double gridY, double angle = 0.0);

    // The RGB bytes of window pixel (x, y) in a screenshot().
    static const unsigned char* pixel(const std::string& shot, int x, int y)
    {
        return reinterpret_cast<const unsigned char*>(&shot[(y * unsigned(Width) + x) * 3]);
    }

    // Opens the display named by DISPLAY; false when there is none.
    bool openDisplay();

    // Starts `command` through the shell in `directory`, its standard output and error on
    // a pipe, without the leak report of the sanitizers (the GL driver's allocations kept
    // until exit are not the program's leaks). The shell prints its process number, which
    // `exec` in the command hands over to the program.
    bool start(const std::string& directory, const std::string& command);
    // Waits for the program to end; then its exit status and, if asked, all it wrote.
    bool finish(int* status, std::string* output = nullptr);
    // Kills the program if it still runs and closes the display.
    void close();

    // Looks for the window whose title matches `titlePattern` (a regular expression) and
    // follows the rewrites of its title.
    bool findWindow(const std::string& titlePattern);
    unsigned long window() const { return m_Window; }
    std::string title() const;

    // The program rewrites its title once a second from inside a frame. After two
    // rewrites, everything sent to it before this call has been handled and frames were
    // drawn since.
    bool framesDrawn();

    // Moves the pointer to window pixel (x, y).
    bool movePointer(int x, int y) const;
    // The window as RGB bytes, rows top-down; empty when it could not be taken.
    std::string screenshot() const;

private:
    _XDisplay* m_Display = nullptr;
    std::FILE* m_Program = nullptr;
    int m_Pid = 0;
    unsigned long m_Window = 0;
};

} // namespace TestSupport
