#pragma once

#include "rendering/Render.h"

namespace Core
{

class Board;
class Square;

// An application's reaction to the user choosing a square. The engine hands over the
// square under the pointer after each pick pass (setPickedSquare) and, on a left click,
// the highlighted square followed by update(). Registered with
// Rendering::Render::addCallBackPicking; never deleted by the engine.
class CallBackPicking
{
public:
    explicit CallBackPicking(Board* board) : m_Board(board), m_PickedSquare(nullptr) {}

    void setPickedSquare(Square* square) { m_PickedSquare = square; }
    Square* getPickedSquare() const { return m_PickedSquare; }
    // Called on a click; m_PickedSquare is then the chosen square, never null.
    virtual void update() = 0;

protected:
    // Unregisters itself: no event or frame reaches a destroyed callback.
    ~CallBackPicking()
    {
        if (Rendering::Render* render = Rendering::Render::existing())
            render->removeCallBackPicking(this);
    }

    Board* m_Board;
    Square* m_PickedSquare;
};

} // namespace Core
