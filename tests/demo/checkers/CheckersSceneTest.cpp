#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "CheckersScene.h"
#include "rendering/Render.h"

namespace fs = std::filesystem;

namespace
{
// Runs a body with the working directory inside a fresh temporary tree.
class ScratchDirectory
{
public:
    ScratchDirectory() : m_Previous(fs::current_path())
    {
        char pattern[] = "/tmp/checkers-probe-XXXXXX";
        m_Root = mkdtemp(pattern);
    }
    ~ScratchDirectory()
    {
        fs::current_path(m_Previous);
        fs::remove_all(m_Root);
    }
    // Creates an empty file (and its folders) relative to the root.
    void touch(const std::string& relative)
    {
        const fs::path path = m_Root / relative;
        fs::create_directories(path.parent_path());
        std::ofstream(path).put('x');
    }
    void enter(const std::string& relative)
    {
        fs::create_directories(m_Root / relative);
        fs::current_path(m_Root / relative);
    }

private:
    fs::path m_Previous;
    fs::path m_Root;
};
} // namespace

TEST(CheckersScene, ProbesTheDataDirectoriesInOrder)
{
    {
        ScratchDirectory dir;
        dir.touch("Data/Textures/checkers/Rock.png");
        dir.enter("bin");
        CheckersScene scene;
        EXPECT_EQ(scene.getDataRoots().shader, "../Shader/");
        EXPECT_EQ(scene.getDarkTexture(), "../Data/Textures/checkers/square_dark.png");
        EXPECT_EQ(scene.getPlayer2Mesh(), "../Data/3D/checkers/pion_noir.ASE");
    }
    {
        ScratchDirectory dir;
        dir.touch("Project/Data/Textures/checkers/Rock.png");
        dir.touch("a/Data/Textures/checkers/Rock.png");
        dir.enter("a/b/c");
        EXPECT_EQ(CheckersScene::findDataRoots().data, "../../../Project/Data/");
    }
    {
        ScratchDirectory dir;
        dir.enter("x/y");
        const CheckersScene::DataRoots roots = CheckersScene::findDataRoots();
        EXPECT_EQ(roots.data, "../../project/Data/");
        EXPECT_EQ(roots.shader, "../../project/Shader/");
    }
}

TEST(CheckersScene, FifteenPiecesASideOnTheDarkSquaresOfTheBackRows)
{
    CheckersScene scene;
    ASSERT_EQ(scene.getBoard().getSquares().size(), 100u);
    EXPECT_EQ(Rendering::Render::instance().getBoard(), &scene.getBoard());
    int perPlayer[3] = {0, 0, 0};
    for (int n = 0; n < 100; ++n) {
        Core::Square& square = scene.getSquare(n);
        const int row = n / 10, column = n % 10;
        EXPECT_EQ(square.getMeta("index"), std::to_string(n));
        EXPECT_EQ(square.getLower(), Vec2<unsigned int>(column + 1, row + 1));
        const bool dark = (row + column) % 2 == 0;
        EXPECT_EQ(square.getColor(), dark ? Vec4<double>(0.2, 0.1, 0.0, 1.0) : Vec4<double>(0.65, 0.55, 0.3, 1.0));
        const bool expected = (row <= 2 || row >= 7) && dark;
        ASSERT_EQ(square.getObjects().size(), expected ? 1u : 0u) << "square " << n;
        if (!expected)
            continue;
        Core::Object* piece = square.getObjects().front();
        EXPECT_EQ(piece->getMeta("player"), row <= 2 ? "1" : "2");
        EXPECT_EQ(piece->getParentSquare(), &square);
        ++perPlayer[row <= 2 ? 1 : 2];
    }
    EXPECT_EQ(perPlayer[1], 15);
    EXPECT_EQ(perPlayer[2], 15);
}

TEST(CheckersScene, BannerIsPrintedByteForByte)
{
    std::ostringstream out;
    CheckersScene::printBanner(out);
    const std::string banner = out.str();
    EXPECT_EQ(banner.substr(0, 47), "\n********* TESSELLON - CHECKERS DEMO *********\n");
    EXPECT_NE(banner.find("\n*      - Touche '+' : Camera centree              *\n"), std::string::npos);
    EXPECT_EQ(banner.substr(banner.size() - 53), "***************************************************\n\n");
    // An empty line, 15 lines, an empty line; lines 2 to 15 are 51 characters wide.
    std::istringstream lines(banner);
    std::string line;
    int count = 0;
    for (; std::getline(lines, line); ++count)
        if (count >= 2 && count <= 15) {
            EXPECT_EQ(line.size(), 51u) << line;
        }
    EXPECT_EQ(count, 17);
}

TEST(CheckersRules, AtoiOfDigitStrings)
{
    EXPECT_EQ(CheckersCBPicking::atoi("0"), 0);
    EXPECT_EQ(CheckersCBPicking::atoi("7"), 7);
    EXPECT_EQ(CheckersCBPicking::atoi("99"), 99);
    EXPECT_EQ(CheckersCBPicking::atoi("1234"), 1234);
    EXPECT_EQ(CheckersCBPicking::atoi(""), 0);
}
