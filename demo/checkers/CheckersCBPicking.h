#pragma once

#include <string>

#include "core/CallBackPicking.h"

namespace Core
{
class Board;
class Square;
} // namespace Core

namespace Rendering
{
class HUDText;
}

// The checkers rules, as a picking callback. The first click selects one of the current
// player's pieces and marks the squares it may move to; the second moves it there
// (capturing the piece jumped over), deselects it, or is refused with a message. Squares
// are known by their "index" metadata (row * 10 + column, also their position in the
// board's list) and pieces by their "player" metadata (1 or 2).
class CheckersCBPicking final : public Core::CallBackPicking
{
public:
    static const char* const c_RefusedMessage;
    static const char* const c_EmptySquareMessage;
    static const char* const c_NotYoursMessage;

    // `message` shows refusals; neither it nor the board is owned.
    CheckersCBPicking(Core::Board* board, Rendering::HUDText* message);

    // One click on m_PickedSquare.
    void update() override;

    // Marks the diagonal neighbour of `index` (dx columns, dy rows) as an allowed
    // destination when it is empty, or the square beyond it when it holds an opponent's
    // piece and that square is empty and in the next row.
    void authorizeSquare(int index, int dx, int dy);
    // Takes the first piece off the square at `index`, if any (the piece is not deleted).
    void removeObjectFromSquare(int index);

    int getCurrentPlayer() const { return m_CurrentPlayer; }
    Core::Square* getSelectedSquare() const { return m_SelectedSquare; }

    // Decimal digits to a number: ((a + digit) * 10 for each character) / 10. No sign,
    // no check for non-digits; wraps rather than overflowing.
    static int atoi(const std::string& text);

private:
    // The square at this position of the board's list, or null outside the list.
    Core::Square* squareAt(int index) const;
    // "player" of the square's first piece, or 0 when the square is empty.
    static int ownerOf(const Core::Square* square);
    static int indexOf(const Core::Square* square);
    // Squares per row: the board width less its one-unit border on each side.
    int columns() const;
    int rows() const;
    void showMessage(const char* text);
    void select(Core::Square* square);
    void moveTo(Core::Square* destination);

    Core::Square* m_SelectedSquare;
    int m_CurrentPlayer;
    Rendering::HUDText* m_Message;
};
