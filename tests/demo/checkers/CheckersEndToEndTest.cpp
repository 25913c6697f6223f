// Plays the real `checkers` program from outside, as a person would: on the X display it
// finds the window by its title, moves the pointer and clicks with xdotool, and looks at
// screenshots taken with ImageMagick's import.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "CheckersScene.h"
#include "rendering/Camera.h"

namespace
{
using Clock = std::chrono::steady_clock;

// Runs a shell command and returns its standard output; retried a few times, since a busy
// X server now and then refuses a client's connection before anything happens.
bool runCommand(const std::string& command, std::string* output = nullptr)
{
    for (int attempt = 0; attempt < 5; ++attempt) {
        FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
        if (!pipe)
            return false;
        std::string out;
        char buffer[65536];
        size_t n = 0;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
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

// Polls until `check` holds or the time runs out.
template <typename Check>
bool waitFor(Check check, double seconds)
{
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    while (Clock::now() < deadline) {
        if (check())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return check();
}

// What stands on a square, judged from the pixel at its centre: '.' nothing (the dark
// wood is plainly brown: more red than green), '1' player 1's grey piece, '2' player 2's
// bluish one.
char content(const unsigned char* p)
{
    return p[2] > p[0] ? '2' : p[0] >= p[1] + 6 ? '.' : '1';
}

using Colour = std::array<double, 3>;
using Tint = int; // the colour channel a tint shows in
constexpr Tint Red = 0, Green = 1, Blue = 2;

// Mesa's switch that hides the vertex and fragment shader extensions from the program
// (the others cannot be hidden; without these two there is no GLSL to speak of).
const std::string c_WithoutGLSL = "MESA_EXTENSION_OVERRIDE='-GL_ARB_vertex_shader -GL_ARB_fragment_shader'";

// Played twice: with the GLSL program, and with a driver that offers no GLSL (the frame
// falls back to the fixed pipeline, pictures and tints included).
class CheckersEndToEndTest : public ::testing::TestWithParam<bool>
{
protected:
    // Starts the program from its own folder. The shell prints its process number, which
    // the program takes over, then the program's output follows on the same pipe.
    void SetUp() override
    {
        const char* display = std::getenv("DISPLAY");
        if (!display || !*display || !(m_Display = XOpenDisplay(nullptr))) {
            if (std::getenv("CI"))
                FAIL() << "the end-to-end game needs a display under CI";
            GTEST_SKIP() << "no X display";
        }
        const std::string binary = CHECKERS_BINARY;
        // The GL driver's allocations kept until exit are not the program's leaks.
        m_Program = popen(("cd " + binary.substr(0, binary.rfind('/')) + " && echo $$ && ASAN_OPTIONS=detect_leaks=0 " +
                           (GetParam() ? "" : c_WithoutGLSL) + " exec ./checkers 2>&1")
                              .c_str(),
                          "r");
        ASSERT_TRUE(m_Program && std::fscanf(m_Program, "%d", &m_Pid) == 1 && std::fgetc(m_Program) == '\n');
    }

    void TearDown() override
    {
        if (m_Program) {
            kill(m_Pid, SIGKILL);
            pclose(m_Program);
        }
        if (m_Display)
            XCloseDisplay(m_Display);
    }

    // Waits for the program to end; then its exit status and everything it wrote.
    bool finish(int* status, std::string* out)
    {
        if (!waitFor([&] { return waitpid(m_Pid, status, WNOHANG) == m_Pid; }, 60.0))
            return false;
        char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, m_Program)) > 0;)
            out->append(buffer, n);
        pclose(m_Program);
        m_Program = nullptr;
        return true;
    }

    bool findWindow()
    {
        std::string out;
        if (!runCommand("xdotool search --name '^Tessellon - Checkers Demo'", &out) || out.empty())
            return false;
        XSelectInput(m_Display, m_Window = std::stoul(out), PropertyChangeMask);
        return true;
    }

    std::string title()
    {
        char* name = nullptr;
        std::string result;
        if (XFetchName(m_Display, m_Window, &name) && name) {
            result = name;
            XFree(name);
        }
        return result;
    }

    // The program rewrites its title once a second from inside a frame. After two
    // rewrites, everything sent to it before this call has been handled and frames were
    // drawn since: the pick pass has seen where the pointer now is.
    bool framesDrawn()
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

    // Window pixel (y downward) of the board point (gridX, gridY) with the board shown
    // turned by `angle` degrees: the start-up camera and projection as the engine builds
    // them, the scene scale 0.85f, the turn, and the board's centring.
    static std::pair<int, int> boardPoint(double gridX, double gridY, double angle)
    {
        Rendering::Camera camera;
        camera.setFOV(45.0);
        camera.setAspectRatio(1024.0 / 728.0);
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
        return {int((v[0] / v[3] + 1.0) / 2.0 * 1024.0), int((1.0 - v[1] / v[3]) / 2.0 * 728.0)};
    }

    static std::pair<int, int> squareCentre(int index, double angle)
    {
        return boardPoint(index % 10 + 1.5, index / 10 + 1.5, angle);
    }

    // The window as RGB bytes, rows top-down; empty when it could not be taken.
    std::string screenshot()
    {
        std::string shot;
        if (!runCommand("import -window " + std::to_string(m_Window) + " -depth 8 rgb:-", &shot) ||
            shot.size() != 1024u * 728u * 3u)
            shot.clear();
        return shot;
    }

    // Rests the pointer on a window pixel and waits until frames have been drawn since.
    void pointAt(std::pair<int, int> pixel)
    {
        ASSERT_TRUE(runCommand("xdotool mousemove --window " + std::to_string(m_Window) + " " +
                               std::to_string(pixel.first) + " " + std::to_string(pixel.second)));
        ASSERT_TRUE(framesDrawn()) << "no frame drawn after the pointer moved";
    }

    // Mean colour of 10 x 10 points spread over square `index` (board not turned).
    static Colour squareMean(const std::string& shot, int index)
    {
        Colour sum{};
        for (int i = 0; i < 10; ++i)
            for (int j = 0; j < 10; ++j) {
                const auto [x, y] = boardPoint(index % 10 + 1.05 + 0.1 * i, index / 10 + 1.05 + 0.1 * j, 0.0);
                for (int c = 0; c < 3; ++c)
                    sum[c] += static_cast<unsigned char>(shot[(y * 1024u + x) * 3 + c]) / 100.0;
            }
        return sum;
    }

    // A square's tint in two screenshots of the same view: the picture, the slab seen
    // through the tint and the pieces are the same in both, so the difference is the
    // tints' alone, in their own channels (the other stays put). That is what tells the
    // tints apart: over dark wood they are faint.
    static void expectTints(const std::string& first, Tint firstTint, const std::string& second, Tint secondTint,
                            int index)
    {
        const Colour a = squareMean(first, index), b = squareMean(second, index);
        for (int c = 0; c < 3; ++c) {
            const double change = a[c] - b[c];
            EXPECT_TRUE(c == firstTint    ? change > 0.25
                        : c == secondTint ? change < -0.25
                                          : std::fabs(change) < 0.1)
                << "square " << index << ", channel " << c << " changes by " << change;
        }
    }

    void click(int index, double angle)
    {
        pointAt(squareCentre(index, angle));
        ASSERT_TRUE(runCommand("xdotool click 1"));
    }

    // Waits until the screen, with the board turned by `angle`, shows on the squares
    // `indices` the contents `expected`.
    void expectBoard(const std::vector<int>& indices, const std::string& expected, double angle)
    {
        std::string seen;
        EXPECT_TRUE(waitFor(
            [&] {
                const std::string shot = screenshot();
                seen.clear();
                for (std::size_t i = 0; i < indices.size() && !shot.empty(); ++i) {
                    const auto [x, y] = squareCentre(indices[i], angle);
                    seen += content(reinterpret_cast<const unsigned char*>(&shot[(y * 1024u + x) * 3]));
                }
                return seen == expected;
            },
            30.0))
            << "squares show \"" << seen << "\"";
    }

    Display* m_Display = nullptr;
    FILE* m_Program = nullptr;
    int m_Pid = 0;
    Window m_Window = 0;
};
} // namespace

TEST_P(CheckersEndToEndTest, PlaysAndEndsWithEscape)
{
    ASSERT_TRUE(waitFor([&] { return findWindow(); }, 60.0)) << "no window titled \"Tessellon - Checkers Demo\"";
    ASSERT_TRUE(waitFor([&] { return title().find(" FPS") != std::string::npos; }, 60.0)) << title();
    EXPECT_EQ(title().rfind("Tessellon - Checkers Demo - ", 0), 0u) << title();
    ASSERT_TRUE(runCommand("xdotool windowraise " + std::to_string(m_Window)));

    expectBoard({22, 33, 77, 44}, "1.2.", 0.0);
    // Player 1 selects 22. With the pointer on the slab's margin (which takes the
    // highlight off every square), 22 is red and its destinations 31 and 33 blue; with the
    // pointer on one of them, that one is green.
    click(22, 0.0);
    pointAt(boardPoint(0.5, 6.0, 0.0));
    const std::string away = screenshot();
    ASSERT_FALSE(away.empty());
    for (const auto& [index, tint] : {std::make_pair(22, Red), std::make_pair(31, Blue), std::make_pair(33, Blue)}) {
        pointAt(squareCentre(index, 0.0));
        const std::string over = screenshot();
        ASSERT_FALSE(over.empty());
        expectTints(away, tint, over, Green, index);
    }
    // 22 to 33; the board turns to face player 2, who moves 77 to 66.
    click(33, 0.0);
    expectBoard({22, 33}, ".1", 180.0);
    click(77, 180.0);
    click(66, 180.0);
    expectBoard({77, 66, 33}, ".21", 0.0);

    ASSERT_TRUE(runCommand("xdotool key Escape"));
    int status = -1;
    std::string output;
    ASSERT_TRUE(finish(&status, &output)) << "the program did not end on Escape";
    std::ostringstream banner;
    CheckersScene::printBanner(banner);
    // Pictures and models are read while the scene is built, before the banner.
    std::string loads;
    for (const char* file : {"Textures/checkers/Rock.png", "Textures/checkers/Rock_normal.png",
                             "Textures/checkers/square_dark.png", "Textures/checkers/square_dark_normal.png",
                             "3D/checkers/pion_rouge.ASE", "Textures/checkers/square_light.png",
                             "Textures/checkers/square_light_normal.png", "3D/checkers/pion_noir.ASE"})
        loads += std::string(file[0] == '3' ? "Mesh" : "Image") + " File : \"../Data/" + file + "\" loaded.\n";
    const std::string program = "Shader file \"../Shader/per_pixel_true_phong.vert\" loaded.\n"
                                "Shader file \"../Shader/per_pixel_true_phong.frag\" loaded.\n";
    EXPECT_EQ(output, loads + banner.str() + "Initializing OpenGL :  OK\nInitializing GLEW & Shader :  OK\n" +
                          (GetParam() ? program : ""));
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

INSTANTIATE_TEST_SUITE_P(Glsl, CheckersEndToEndTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "On" : "Off"; });
