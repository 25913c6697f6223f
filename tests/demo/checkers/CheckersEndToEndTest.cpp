// Plays the real `checkers` program from outside, as a person would: on the X display it
// finds the window by its title, moves the pointer and clicks with xdotool, and looks at
// screenshots taken with ImageMagick's import.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "CheckersScene.h"
#include "support/DesktopSession.h"

using TestSupport::DesktopSession;

namespace
{
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
    // Starts the program from its own folder.
    void SetUp() override
    {
        if (!m_Desktop.openDisplay()) {
            if (std::getenv("CI"))
                FAIL() << "the end-to-end game needs a display under CI";
            GTEST_SKIP() << "no X display";
        }
        const std::string binary = CHECKERS_BINARY;
        ASSERT_TRUE(m_Desktop.start(binary.substr(0, binary.rfind('/')),
                                    (GetParam() ? "" : c_WithoutGLSL) + " exec ./checkers"));
    }

    static std::pair<int, int> squareCentre(int index, double angle)
    {
        return DesktopSession::boardPoint(index % 10 + 1.5, index / 10 + 1.5, angle);
    }

    // Rests the pointer on a window pixel and waits until frames have been drawn since.
    void pointAt(std::pair<int, int> pixel)
    {
        ASSERT_TRUE(m_Desktop.movePointer(pixel.first, pixel.second));
        ASSERT_TRUE(m_Desktop.framesDrawn()) << "no frame drawn after the pointer moved";
    }

    // Mean colour of 10 x 10 points spread over square `index` (board not turned).
    static Colour squareMean(const std::string& shot, int index)
    {
        Colour sum{};
        for (int i = 0; i < 10; ++i)
            for (int j = 0; j < 10; ++j) {
                const auto [x, y] =
                    DesktopSession::boardPoint(index % 10 + 1.05 + 0.1 * i, index / 10 + 1.05 + 0.1 * j, 0.0);
                for (int c = 0; c < 3; ++c)
                    sum[c] += DesktopSession::pixel(shot, x, y)[c] / 100.0;
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
        ASSERT_TRUE(DesktopSession::runCommand("xdotool click 1"));
    }

    // Waits until the screen, with the board turned by `angle`, shows on the squares
    // `indices` the contents `expected`.
    void expectBoard(const std::vector<int>& indices, const std::string& expected, double angle)
    {
        std::string seen;
        EXPECT_TRUE(DesktopSession::waitFor(
            [&] {
                const std::string shot = m_Desktop.screenshot();
                seen.clear();
                for (std::size_t i = 0; i < indices.size() && !shot.empty(); ++i) {
                    const auto [x, y] = squareCentre(indices[i], angle);
                    seen += content(DesktopSession::pixel(shot, x, y));
                }
                return seen == expected;
            },
            30.0))
            << "squares show \"" << seen << "\"";
    }

    DesktopSession m_Desktop;
};
} // namespace

TEST_P(CheckersEndToEndTest, PlaysAndEndsWithEscape)
{
    ASSERT_TRUE(DesktopSession::waitFor([&] { return m_Desktop.findWindow("^Tessellon - Checkers Demo"); }, 60.0))
        << "no window titled \"Tessellon - Checkers Demo\"";
    ASSERT_TRUE(DesktopSession::waitFor([&] { return m_Desktop.title().find(" FPS") != std::string::npos; }, 60.0))
        << m_Desktop.title();
    EXPECT_EQ(m_Desktop.title().rfind("Tessellon - Checkers Demo - ", 0), 0u) << m_Desktop.title();
    ASSERT_TRUE(DesktopSession::runCommand("xdotool windowraise " + std::to_string(m_Desktop.window())));

    expectBoard({22, 33, 77, 44}, "1.2.", 0.0);
    // Player 1 selects 22. With the pointer on the slab's margin (which takes the
    // highlight off every square), 22 is red and its destinations 31 and 33 blue; with the
    // pointer on one of them, that one is green.
    click(22, 0.0);
    pointAt(DesktopSession::boardPoint(0.5, 6.0, 0.0));
    const std::string away = m_Desktop.screenshot();
    ASSERT_FALSE(away.empty());
    for (const auto& [index, tint] : {std::make_pair(22, Red), std::make_pair(31, Blue), std::make_pair(33, Blue)}) {
        pointAt(squareCentre(index, 0.0));
        const std::string over = m_Desktop.screenshot();
        ASSERT_FALSE(over.empty());
        expectTints(away, tint, over, Green, index);
    }
    // 22 to 33; the board turns to face player 2, who moves 77 to 66.
    click(33, 0.0);
    expectBoard({22, 33}, ".1", 180.0);
    click(77, 180.0);
    click(66, 180.0);
    expectBoard({77, 66, 33}, ".21", 0.0);

    ASSERT_TRUE(DesktopSession::runCommand("xdotool key Escape"));
    int status = -1;
    std::string output;
    ASSERT_TRUE(m_Desktop.finish(&status, &output)) << "the program did not end on Escape";
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
