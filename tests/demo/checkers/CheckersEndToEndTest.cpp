// Plays the real `checkers` program from outside, as a person would: on the X display it
// finds the window by its title, moves the pointer and clicks with xdotool, and looks at
// screenshots taken with ImageMagick's import.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
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

struct Screenshot
{
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
    std::array<int, 3> at(int x, int y) const
    {
        const size_t i = (static_cast<size_t>(y) * width + x) * 3;
        return {rgb[i], rgb[i + 1], rgb[i + 2]};
    }
};

// What stands on a square, judged from the pixel at its centre: the dark squares are
// drawn with no blue at all, player 1's pieces are grey, player 2's bluish.
enum class Content
{
    Empty,
    Player1,
    Player2
};

Content classify(const std::array<int, 3>& p)
{
    if (p[2] <= 1)
        return Content::Empty;
    return p[2] > p[0] ? Content::Player2 : Content::Player1;
}

const char* name(Content c)
{
    return c == Content::Empty ? "empty" : c == Content::Player1 ? "player 1" : "player 2";
}

class CheckersEndToEndTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const char* display = std::getenv("DISPLAY");
        if (!display || !*display) {
            if (std::getenv("CI"))
                FAIL() << "the end-to-end game needs a display under CI";
            GTEST_SKIP() << "no X display";
        }
        startProgram();
    }

    void TearDown() override
    {
        if (m_Pid > 0) {
            kill(m_Pid, SIGKILL);
            waitpid(m_Pid, nullptr, 0);
        }
        std::remove(m_OutputFile.c_str());
    }

    void startProgram()
    {
        char pattern[] = "/tmp/checkers-out-XXXXXX";
        const int fd = mkstemp(pattern);
        ASSERT_GE(fd, 0);
        m_OutputFile = pattern;
        const std::string binary = CHECKERS_BINARY;
        const std::string directory = binary.substr(0, binary.rfind('/'));
        m_Pid = fork();
        ASSERT_GE(m_Pid, 0);
        if (m_Pid == 0) {
            dup2(fd, STDOUT_FILENO);
            dup2(fd, STDERR_FILENO);
            if (chdir(directory.c_str()) != 0)
                _exit(126);
            // The GL driver's allocations kept until exit are not the program's leaks.
            setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
            execl(binary.c_str(), binary.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fd);
    }

    std::string output() const
    {
        std::ifstream in(m_OutputFile);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    // Polls until `check` holds or the time runs out.
    template <typename Check>
    bool waitFor(Check check, double seconds)
    {
        const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
        while (Clock::now() < deadline) {
            if (check())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return check();
    }

    std::string title()
    {
        std::string out;
        runCommand("xdotool getwindowname " + m_Window, &out);
        while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
            out.pop_back();
        return out;
    }

    bool findWindow()
    {
        std::string out;
        if (!runCommand("xdotool search --name '^Tessellon - Checkers Demo'", &out) || out.empty())
            return false;
        m_Window = out.substr(0, out.find('\n'));
        return true;
    }

    Screenshot screenshot()
    {
        Screenshot shot;
        std::string ppm;
        if (!runCommand("import -window " + m_Window + " -depth 8 ppm:-", &ppm))
            return shot;
        std::istringstream in(ppm);
        std::string magic;
        int maxValue = 0;
        in >> magic >> shot.width >> shot.height >> maxValue;
        in.get();
        if (magic != "P6" || maxValue != 255)
            return Screenshot();
        shot.rgb.resize(static_cast<size_t>(shot.width) * shot.height * 3);
        in.read(reinterpret_cast<char*>(shot.rgb.data()), static_cast<std::streamsize>(shot.rgb.size()));
        return shot;
    }

    // Window pixel (y downward) of the centre of square `index` with the board shown turned
    // by `angle` degrees: the start-up camera and projection as the engine builds them, the
    // scene scale 0.85f, the turn, and the board's centring.
    static std::pair<int, int> squareCentre(int index, double angle)
    {
        Rendering::Camera camera;
        camera.setFOV(45.0);
        camera.setAspectRatio(1024.0 / 728.0);
        camera.setPlanes(1.0, 1000.0);
        camera.setPosition(Vec3<double>(0, 10, 10));
        camera.rotateX(-0.7853975);
        camera.setDistanceToOrigin(10.0);
        camera.buildTransformationMatrix();
        camera.buildProjectionMatrix();

        const double gx = index % 10 + 1.5, gy = index / 10 + 1.5;
        const double x = gx - 6.0, y = 0.001, z = -gy + 6.0;
        const double a = angle * M_PI / 180.0, scale = 0.85f;
        const double p[4] = {scale * (x * std::cos(a) + z * std::sin(a)), scale * y,
                             scale * (-x * std::sin(a) + z * std::cos(a)), 1.0};
        auto apply = [](const Matrix<double>& m, const double* v, double* out) {
            for (int r = 0; r < 4; ++r)
                out[r] = m[r] * v[0] + m[4 + r] * v[1] + m[8 + r] * v[2] + m[12 + r] * v[3];
        };
        double eye[4], clip[4];
        apply(camera.getTransformationMatrix(), p, eye);
        apply(camera.getProjectionMatrix(), eye, clip);
        const double nx = clip[0] / clip[3], ny = clip[1] / clip[3];
        return {static_cast<int>((nx + 1.0) / 2.0 * 1024.0), static_cast<int>((1.0 - ny) / 2.0 * 728.0)};
    }

    void click(int index, double angle)
    {
        const auto [x, y] = squareCentre(index, angle);
        ASSERT_TRUE(
            runCommand("xdotool mousemove --window " + m_Window + " " + std::to_string(x) + " " + std::to_string(y)));
        // Let a few frames pick at the new pointer position before the button goes down.
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        ASSERT_TRUE(runCommand("xdotool click 1"));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }

    // Waits until the screen, with the board turned by `angle`, shows what is expected.
    void expectBoard(const std::vector<std::pair<int, Content>>& expected, double angle)
    {
        std::string last;
        const bool ok = waitFor(
            [&] {
                const Screenshot shot = screenshot();
                if (shot.width != 1024 || shot.height != 728) {
                    last = "no screenshot of the window";
                    return false;
                }
                last.clear();
                for (const auto& [index, content] : expected) {
                    const auto [x, y] = squareCentre(index, angle);
                    const std::array<int, 3> p = shot.at(x, y);
                    if (classify(p) != content)
                        last += "square " + std::to_string(index) + " shows " + name(classify(p)) + " (" +
                                std::to_string(p[0]) + ", " + std::to_string(p[1]) + ", " + std::to_string(p[2]) +
                                "), expected " + name(content) + "; ";
                }
                return last.empty();
            },
            20.0);
        EXPECT_TRUE(ok) << last;
    }

    // Pixels of the message colour (1, 0.5, 0.5) in the window's top left corner.
    int messagePixels()
    {
        const Screenshot shot = screenshot();
        int count = 0;
        for (int y = 0; y < 40 && y < shot.height; ++y)
            for (int x = 0; x < 420 && x < shot.width; ++x) {
                const auto p = shot.at(x, y);
                count += p[0] > 240 && p[1] > 110 && p[1] < 145 && p[2] > 110 && p[2] < 145;
            }
        return count;
    }

    pid_t m_Pid = -1;
    std::string m_OutputFile;
    std::string m_Window;
};
} // namespace

TEST_F(CheckersEndToEndTest, PlaysAGameAndEndsWithEscape)
{
    ASSERT_TRUE(waitFor([&] { return findWindow(); }, 30.0)) << "no window titled \"Tessellon - Checkers Demo\"";
    ASSERT_TRUE(waitFor([&] { return title().find(" FPS") != std::string::npos; }, 30.0)) << title();
    ASSERT_TRUE(runCommand("xdotool windowraise " + m_Window));
    const std::string fpsTitle = title();
    EXPECT_EQ(fpsTitle.rfind("Tessellon - Checkers Demo - ", 0), 0u) << fpsTitle;
    RecordProperty("frame_title", fpsTitle);
    std::printf("window title: %s\n", fpsTitle.c_str());

    std::ostringstream banner;
    CheckersScene::printBanner(banner);
    EXPECT_EQ(output(), banner.str() + "Initializing OpenGL :  OK\nInitializing GLEW & Shader :  OK\n");

    const Content P1 = Content::Player1, P2 = Content::Player2, E = Content::Empty;
    expectBoard({{22, P1}, {33, E}, {77, P2}, {44, E}}, 0.0);

    // A first click on an empty square is refused with a message in the top left corner.
    EXPECT_EQ(messagePixels(), 0);
    click(45, 0.0);
    EXPECT_TRUE(waitFor([&] { return messagePixels() > 100; }, 10.0)) << "no refusal message on screen";

    // Player 1: 22 to 33. The board then turns to face player 2.
    click(22, 0.0);
    click(33, 0.0);
    expectBoard({{22, E}, {33, P1}}, 180.0);
    EXPECT_EQ(messagePixels(), 0) << "a completed move clears the message";

    // Player 2: 77 to 66, seen on the turned board; then back to player 1.
    click(77, 180.0);
    click(66, 180.0);
    expectBoard({{77, E}, {66, P2}, {33, P1}}, 0.0);

    click(33, 0.0);
    click(44, 0.0);
    expectBoard({{33, E}, {44, P1}}, 180.0);
    click(66, 180.0);
    click(55, 180.0);
    expectBoard({{66, E}, {55, P2}, {44, P1}}, 0.0);

    // Player 1 jumps from 44 over 55 to 66 and takes the piece.
    click(44, 0.0);
    click(66, 0.0);
    expectBoard({{44, E}, {55, E}, {66, P1}}, 180.0);

    ASSERT_TRUE(runCommand("xdotool key Escape"));
    int status = -1;
    const bool ended = waitFor([&] { return waitpid(m_Pid, &status, WNOHANG) == m_Pid; }, 20.0);
    ASSERT_TRUE(ended) << "the program did not end on Escape";
    m_Pid = -1;
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(CheckersEndToEndTest, ExplainsAMissingDisplay)
{
    // The program started by SetUp is not needed here.
    kill(m_Pid, SIGKILL);
    waitpid(m_Pid, nullptr, 0);
    m_Pid = -1;
    std::string out;
    const std::string binary = CHECKERS_BINARY;
    const int status =
        std::system(("cd " + binary.substr(0, binary.rfind('/')) +
                     " && env -u DISPLAY ASAN_OPTIONS=detect_leaks=0 ./checkers > " + m_OutputFile + " 2>&1")
                        .c_str());
    EXPECT_NE(status, 0);
    EXPECT_NE(output().find("Cannot open the X display \"\": a window needs a graphical session (set DISPLAY)."),
              std::string::npos)
        << output();
}
