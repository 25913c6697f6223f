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
        EXPECT_EQ(scene.getBoardTexture(), "../Data/Textures/checkers/Rock.png");
        EXPECT_EQ(scene.getLightTexture(), "../Data/Textures/checkers/square_light.png");
        EXPECT_EQ(scene.getDarkTexture(), "../Data/Textures/checkers/square_dark.png");
        EXPECT_EQ(scene.getPlayer1Mesh(), "../Data/3D/checkers/pion_rouge.ASE");
        EXPECT_EQ(scene.getPlayer2Mesh(), "../Data/3D/checkers/pion_noir.ASE");
    }
    {
        ScratchDirectory dir;
        dir.touch("Project/Data/Textures/checkers/Rock.png");
        dir.touch("a/Data/Textures/checkers/Rock.png");
        dir.enter("a/b/c");
        dir.touch("a/b/Data/Textures/checkers/Rock.png");
        const CheckersScene::DataRoots roots = CheckersScene::findDataRoots();
        EXPECT_EQ(roots.data, "../../../Project/Data/");
        EXPECT_EQ(roots.shader, "../../../Project/Shader/");
    }
    {
        ScratchDirectory dir;
        dir.enter("x/y");
        const CheckersScene::DataRoots roots = CheckersScene::findDataRoots();
        EXPECT_EQ(roots.data, "../../project/Data/");
        EXPECT_EQ(roots.shader, "../../project/Shader/");
    }
}

TEST(CheckersScene, BoardSquaresAndIndices)
{
    CheckersScene scene;
    Core::Board& board = scene.getBoard();
    EXPECT_EQ(board.getSize(), Vec2<unsigned int>(12, 12));
    EXPECT_EQ(board.getColor(), Vec4<double>(0.35, 0.25, 0.1, 1.0));
    EXPECT_TRUE(board.isAutoHighlightEnabled());
    ASSERT_EQ(board.getSquares().size(), 100u);
    for (int n = 0; n < 100; ++n) {
        const Core::Square& square = *board.getSquares()[n];
        EXPECT_EQ(square.getMeta("index"), std::to_string(n));
        const unsigned int row = n / 10, column = n % 10;
        EXPECT_EQ(square.getLower(), Vec2<unsigned int>(column + 1, row + 1));
        EXPECT_EQ(square.getUpper(), Vec2<unsigned int>(column + 2, row + 2));
        EXPECT_EQ(square.getCoords().m_Points[1], Vec2<unsigned int>(column + 1, row + 2));
        const bool dark = (row + column) % 2 == 0;
        EXPECT_EQ(square.getColor(), dark ? Vec4<double>(0.2, 0.1, 0.0, 1.0) : Vec4<double>(0.65, 0.55, 0.3, 1.0));
    }
}

TEST(CheckersScene, FifteenPiecesASideOnTheDarkBackRows)
{
    CheckersScene scene;
    int perPlayer[3] = {0, 0, 0};
    for (int n = 0; n < 100; ++n) {
        Core::Square& square = scene.getSquare(n);
        const int row = n / 10, column = n % 10;
        const bool expected = (row <= 2 || row >= 7) && (row + column) % 2 == 0;
        ASSERT_EQ(square.getObjects().size(), expected ? 1u : 0u) << "square " << n;
        if (!expected)
            continue;
        Core::Object* piece = square.getObjects().front();
        const std::string player = row <= 2 ? "1" : "2";
        EXPECT_EQ(piece->getMeta("player"), player);
        EXPECT_EQ(piece->getParentSquare(), &square);
        EXPECT_EQ(piece->getColor(), row <= 2 ? Vec4<double>(0.6, 0.6, 0.5, 1.0) : Vec4<double>(0.2, 0.2, 0.25, 1.0));
        ++perPlayer[row <= 2 ? 1 : 2];
    }
    EXPECT_EQ(perPlayer[1], 15);
    EXPECT_EQ(perPlayer[2], 15);
    // Handed out in array order: the first piece stands on square 0, the last on 99.
    EXPECT_EQ(scene.getPieces().front().getParentSquare(), &scene.getSquare(0));
    EXPECT_EQ(scene.getPieces().back().getParentSquare(), &scene.getSquare(99));
    EXPECT_EQ(scene.getSquare(35).getMeta("index"), "35");
    EXPECT_TRUE(scene.getSquare(35).getObjects().empty());
    EXPECT_TRUE(scene.getSquare(90).getObjects().empty());
}

TEST(CheckersScene, ConfiguresTheRenderer)
{
    CheckersScene scene;
    Rendering::Render& render = Rendering::Render::instance();
    EXPECT_EQ(render.getTitle(), "Tessellon - Checkers Demo");
    EXPECT_EQ(render.getBoard(), &scene.getBoard());
    EXPECT_EQ(render.getScale().x(), 0.8500000238418579);
    EXPECT_EQ(render.getScale().z(), 0.8500000238418579);
    EXPECT_EQ(render.getCameraSpeed(), 3.5f);
    ASSERT_FALSE(render.getCallBacksPicking().empty());
    EXPECT_EQ(render.getCallBacksPicking().back(), &scene.getRules());
    EXPECT_EQ(scene.getMessage().getText(), "");
    EXPECT_EQ(scene.getRules().getCurrentPlayer(), 1);
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
    while (std::getline(lines, line)) {
        if (count >= 2 && count <= 15) {
            EXPECT_EQ(line.size(), 51u) << line;
        }
        ++count;
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
    // Far too many digits wrap instead of overflowing.
    CheckersCBPicking::atoi(std::string(40, '9'));
}
