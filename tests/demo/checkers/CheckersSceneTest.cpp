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

TEST(CheckersScene, BannerIsPrintedByteForByte)
{
    std::ostringstream out;
    CheckersScene::printBanner(out);
    const std::string banner = out.str();
    EXPECT_EQ(banner.substr(0, 47), "\n********* TESSELLON - CHECKERS DEMO *********\n");
    EXPECT_NE(banner.find("\n*      - Touche '+' : Camera centree              *\n"), std::string::npos);
    // An empty line, 15 lines, an empty line; lines 2 to 15 are 51 characters wide.
    std::istringstream lines(banner);
    int count = 0;
    for (std::string line; std::getline(lines, line); ++count)
        EXPECT_TRUE(count < 2 || count > 15 || line.size() == 51u) << line;
    EXPECT_EQ(count, 17);
}
