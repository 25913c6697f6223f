#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Position.h"
#include "core/Board.h"
#include "core/Meta.h"
#include "core/Object.h"
#include "core/Square.h"
#include "rendering/HUDText.h"

namespace Draughts
{

// The draughts board in the engine: a 12 x 12 slab with 10 x 10 squares, the pieces of a
// position on the 50 dark ones, and two overlay texts (the game's status and a help
// line), registered with the render singleton while the view lives. Square n (1-50) is
// where the rules number it: 1 at the far left seen from White, whose men start on 31-50
// nearest the camera when the board faces White. Every square carries its "index" (row *
// 10 + column from the near left corner); dark ones also their "square" number.
//
// The squares own the pieces standing on them (they are created with new and deleted by
// the square or when the view takes them off); the view destroys every square it made.
class BoardView
{
public:
    static const char* const c_Title;

    // Where the pictures, models and shaders are.
    struct DataRoots
    {
        std::string data;
        std::string shader;
    };
    // Found from where the running program lies: "../Data/" beside it (the build tree),
    // else the installed data directory relative to it (`installedData`, "" for none),
    // else the working directory's "../Data/".
    static DataRoots findDataRoots(const std::string& installedData);

    explicit BoardView(const DataRoots& roots);
    ~BoardView();
    BoardView(const BoardView&) = delete;
    BoardView& operator=(const BoardView&) = delete;

    Core::Board& getBoard() { return *m_Board; }
    // The dark square numbered n (1-50), null for other numbers.
    Core::Square* square(int number) const;
    // The number (1-50) of a dark square of this board, 0 for any other square or null.
    int numberOf(const Core::Square* square) const;
    // The piece on square n, null when it is empty.
    Core::Object* pieceOn(int number) const;
    // Whether the piece on square n is shown as a king (two men stacked).
    bool showsKing(int number) const;
    // Whether the piece on square n is shown as White's (false for an empty square).
    bool showsWhite(int number) const;

    // Makes the pieces on the board those of the position: pieces that stay are kept,
    // others are deleted or created.
    void show(const Position& position);
    // Clears every mark; then marks one square as selected or as a destination.
    void clearMarks();
    void markSelected(int number);
    void markDestination(int number);
    // Turns the board toward a side's player (White near the camera at 0 degrees).
    void face(Color color);

    // The status lines (turn, last moves, messages) and the help line below them.
    Rendering::HUDText& getStatus() { return *m_Status; }
    Rendering::HUDText& getHelp() { return *m_Help; }
    // Sets the status text, and the help text placed on the lines after it.
    void setTexts(const std::string& status, const std::string& help);

private:
    void buildSquare(int row, int column);
    void tag(Core::Drawable& drawable, const std::string& key, const std::string& value);
    // Shows a piece as a man or a king of its colour.
    void dress(Core::Object& piece, bool white, bool king);

    DataRoots m_Roots;
    std::unique_ptr<Core::Board> m_Board;
    // The dark squares by number (index 0 unused).
    std::vector<Core::Square*> m_Numbered;
    std::vector<std::unique_ptr<Meta<std::string>>> m_Metadata;
    // Models for new pieces: never on a square, they keep the models in the cache.
    std::unique_ptr<Core::Object> m_WhiteModel;
    std::unique_ptr<Core::Object> m_BlackModel;
    std::unique_ptr<Rendering::HUDText> m_Status;
    std::unique_ptr<Rendering::HUDText> m_Help;
};

} // namespace Draughts
