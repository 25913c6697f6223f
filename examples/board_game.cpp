// The smallest game: a 4 x 4 board and one piece. Clicking a square prints its index and
// moves the piece there; right-drag turns the camera; Escape quits.
// TESSELLON_FRAMES=N ends the program after N frames (the tests use it).
#include <cstdlib>
#include <iostream>
#include <string>

#include "core/Board.h"
#include "core/CallBackPicking.h"
#include "core/Meta.h"
#include "core/Object.h"
#include "core/Square.h"
#include "rendering/HUD.h"
#include "rendering/Render.h"

// The rules: the engine calls update() when the player clicks a square.
class Rules : public Core::CallBackPicking
{
public:
    Rules(Core::Board* board, Core::Object* piece) : CallBackPicking(board), m_Piece(piece) {}

    void update() override
    {
        std::cout << "square " << m_PickedSquare->getMeta("index") << std::endl;
        Core::Board::moveObject(m_Piece, m_Piece->getParentSquare(), m_PickedSquare);
    }

private:
    Core::Object* m_Piece;
};

// Ends the program after a number of frames (overlay elements are drawn once a frame).
class FrameLimit : public Rendering::HUD
{
public:
    explicit FrameLimit(long frames) : m_Left(frames) {}
    void draw() override
    {
        if (--m_Left <= 0)
            std::exit(0);
    }

private:
    long m_Left;
};

int main()
{
    // n x n squares on a board of n + 2 grid points a side: one point of border all round.
    const unsigned int n = 4;
    Core::Board board(Vec2<unsigned int>(n + 2, n + 2), {});
    board.setColor(Vec4<double>(0.35, 0.25, 0.1, 1.0));
    board.enableAutoHighlight(true); // lights up the square under the pointer
    for (unsigned int row = 0; row < n; ++row) {
        for (unsigned int column = 0; column < n; ++column) {
            // Squares, pieces and metadata are made with new and kept for the whole run.
            auto* square = new Core::Square(Core::Square::Coords({column + 1, row + 1}, {column + 1, row + 2},
                                                                 {column + 2, row + 2}, {column + 2, row + 1}),
                                            {});
            const bool dark = (row + column) % 2 == 0;
            square->setColor(dark ? Vec4<double>(0.2, 0.1, 0.0, 1.0) : Vec4<double>(0.65, 0.55, 0.3, 1.0));
            square->getMetadata().push_back(new Meta<std::string>("index", std::to_string(row * n + column)));
            board.getSquares().push_back(square);
        }
    }
    auto* piece = new Core::Object(); // drawn as a sphere: it has no model
    piece->setColor(Vec4<double>(0.8, 0.1, 0.1, 1.0));
    board.getSquares().front()->pushObject(piece); // the square deletes it with itself

    Rules rules(&board, piece);
    Rendering::Render& render = Rendering::Render::instance();
    render.addCallBackPicking(&rules);
    render.setParams("Tessellon - Board game", Vec3<double>(1.5, 1.5, 1.5), &board);
    if (const char* frames = std::getenv("TESSELLON_FRAMES"))
        render.pushBackHUD(new FrameLimit(std::atol(frames)));
    // run() does not return, unless no window can be opened (it says why).
    return render.run() ? 0 : 1;
}
