#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "core/Board.h"
#include "core/Meta.h"
#include "core/Object.h"
#include "core/Square.h"
#include "rendering/HUDText.h"

#include "CheckersCBPicking.h"

// The checkers scene: a 12 x 12 granite board whose 10 x 10 wooden squares carry their
// "index", 15 turned pieces a side carrying their "player", the message overlay and the
// rules, registered with the render singleton. Everything it creates lives as long as the
// scene; its pictures and models stay in the caches while something holds them.
class CheckersScene
{
public:
    static constexpr int c_Rows = 10;
    static constexpr int c_Columns = 10;
    static constexpr int c_PieceCount = 30;
    static const char* const c_Title;

    // Where the pictures, models and shaders are, found by probing relative paths from
    // the working directory.
    struct DataRoots
    {
        std::string data;
        std::string shader;
    };
    // "../../../Project/Data/" if its Rock.png opens, else "../Data/" if its Rock.png
    // opens, else "../../project/Data/" without a check (and the matching "Shader/").
    static DataRoots findDataRoots();

    // Builds the scene and configures the render singleton (title, scale, board, camera
    // speed, overlay, rules). The pieces are made first, then the data is probed.
    CheckersScene();
    // Unregisters the overlay and rules and frees every square, piece and entry.
    ~CheckersScene();
    CheckersScene(const CheckersScene&) = delete;
    CheckersScene& operator=(const CheckersScene&) = delete;

    // The usage banner printed at start-up.
    static void printBanner(std::ostream& out);

    const DataRoots& getDataRoots() const { return m_Roots; }
    Core::Board& getBoard() { return *m_Board; }
    // The square with index row * 10 + column.
    Core::Square& getSquare(int index) { return *m_Board->getSquares().at(static_cast<size_t>(index)); }
    std::vector<Core::Object>& getPieces() { return m_Pieces; }
    Rendering::HUDText& getMessage() { return *m_Message; }
    CheckersCBPicking& getRules() { return *m_Rules; }

    // Files the scene names: the board's and the squares' pictures, the pieces' models.
    const std::string& getBoardTexture() const { return m_BoardTexture; }
    const std::string& getLightTexture() const { return m_LightTexture; }
    const std::string& getDarkTexture() const { return m_DarkTexture; }
    const std::string& getPlayer1Mesh() const { return m_Player1Mesh; }
    const std::string& getPlayer2Mesh() const { return m_Player2Mesh; }

private:
    void buildSquare(int row, int column);
    void tag(Core::Drawable& drawable, const std::string& key, const std::string& value);

    std::vector<Core::Object> m_Pieces;
    size_t m_PiecesPlaced = 0;
    DataRoots m_Roots;
    std::string m_BoardTexture, m_LightTexture, m_DarkTexture, m_Player1Mesh, m_Player2Mesh;
    std::unique_ptr<Core::Board> m_Board;
    std::vector<std::unique_ptr<Meta<std::string>>> m_Metadata;
    std::unique_ptr<Rendering::HUDText> m_Message;
    std::unique_ptr<CheckersCBPicking> m_Rules;
};
