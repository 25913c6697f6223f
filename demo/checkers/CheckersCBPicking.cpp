#include "CheckersCBPicking.h"

#include "core/Board.h"
#include "core/Object.h"
#include "core/Square.h"
#include "rendering/HUDText.h"

const char* const CheckersCBPicking::c_RefusedMessage =
    "Mouvement non autorise.\nLes mouvements possibles sont en bleu.";
const char* const CheckersCBPicking::c_EmptySquareMessage =
    "Aucun pion sur cette case.\nVous devez selectionner un pion de votre camp.";
const char* const CheckersCBPicking::c_NotYoursMessage =
    "Ce pion n'est pas a vous.\nVous devez selectionner un pion de votre camp.";

CheckersCBPicking::CheckersCBPicking(Core::Board* board, Rendering::HUDText* message)
    : CallBackPicking(board), m_SelectedSquare(nullptr), m_CurrentPlayer(1), m_Message(message)
{
}

int CheckersCBPicking::atoi(const std::string& text)
{
    unsigned int value = 0;
    for (const char c : text)
        value = (value + static_cast<unsigned int>(c - '0')) * 10u;
    return static_cast<int>(value / 10u);
}

int CheckersCBPicking::columns() const
{
    return static_cast<int>(m_Board->getSize().x()) - 2;
}

int CheckersCBPicking::rows() const
{
    return static_cast<int>(m_Board->getSize().y()) - 2;
}

Core::Square* CheckersCBPicking::squareAt(int index) const
{
    const std::vector<Core::Square*>& squares = m_Board->getSquares();
    if (index < 0 || static_cast<size_t>(index) >= squares.size())
        return nullptr;
    return squares[static_cast<size_t>(index)];
}

int CheckersCBPicking::ownerOf(const Core::Square* square)
{
    const std::vector<Core::Object*>& pieces = square->getObjects();
    return pieces.empty() ? 0 : atoi(pieces.front()->getMeta("player"));
}

int CheckersCBPicking::indexOf(const Core::Square* square)
{
    return atoi(square->getMeta("index"));
}

void CheckersCBPicking::showMessage(const char* text)
{
    if (m_Message)
        m_Message->setText(text);
}

void CheckersCBPicking::update()
{
    Core::Square* picked = m_PickedSquare;
    if (!m_SelectedSquare) {
        if (picked)
            select(picked);
        return;
    }
    if (!picked || picked == m_SelectedSquare) {
        m_Board->clearHighlight();
        m_SelectedSquare = nullptr;
        showMessage("");
        return;
    }
    if (!picked->isHighlightedAuthorized()) {
        showMessage(c_RefusedMessage);
        return;
    }
    moveTo(picked);
}

void CheckersCBPicking::select(Core::Square* square)
{
    if (square->getObjects().empty()) {
        showMessage(c_EmptySquareMessage);
        return;
    }
    if (ownerOf(square) != m_CurrentPlayer) {
        showMessage(c_NotYoursMessage);
        return;
    }
    m_SelectedSquare = square;
    m_PickedSquare = nullptr;
    square->highlightSelected(true);

    const int s = indexOf(square);
    const int cols = columns();
    if (m_CurrentPlayer == 1) {
        if (s <= cols * (rows() - 1) - 1) {
            if (s % cols != 0)
                authorizeSquare(s, -1, +1);
            if (s % cols != cols - 1)
                authorizeSquare(s, +1, +1);
        }
    } else if (s > cols) {
        if (s % cols != 0)
            authorizeSquare(s, -1, -1);
        if (s % cols != cols - 1)
            authorizeSquare(s, +1, -1);
    }
    showMessage("");
}

void CheckersCBPicking::moveTo(Core::Square* destination)
{
    if (!m_SelectedSquare->getObjects().empty())
        Core::Board::moveObject(m_SelectedSquare->getObjects().front(), m_SelectedSquare, destination);

    const int from = indexOf(m_SelectedSquare);
    const int to = indexOf(destination);
    const int cols = columns();
    // A jump covers two rows: the captured piece sits halfway, one diagonal step away.
    if (m_CurrentPlayer == 1) {
        const int d = to - from;
        if (d == 2 * cols - 2)
            removeObjectFromSquare(from + cols - 1);
        else if (d == 2 * cols + 2)
            removeObjectFromSquare(from + cols + 1);
    } else {
        const int d = from - to;
        if (d == 2 * cols - 2)
            removeObjectFromSquare(from - cols + 1);
        else if (d == 2 * cols + 2)
            removeObjectFromSquare(from - cols - 1);
    }

    m_Board->clearHighlight();
    m_SelectedSquare = nullptr;
    m_CurrentPlayer = m_CurrentPlayer == 1 ? 2 : m_CurrentPlayer - 1;
    m_Board->setOrientation(m_CurrentPlayer == 1 ? 0.0f : 180.0f);
    showMessage("");
}

void CheckersCBPicking::authorizeSquare(int index, int dx, int dy)
{
    const int cols = columns();
    const int t = index + dy * cols + dx;
    Core::Square* target = squareAt(t);
    if (!target)
        return;
    if (target->getObjects().empty()) {
        target->highlightAuthorized(true);
        return;
    }
    if (ownerOf(target) == m_CurrentPlayer)
        return;

    const bool rowBeyond = m_CurrentPlayer == 1 ? t <= cols * (rows() - 1) - 1 : t > cols;
    if (!rowBeyond)
        return;
    const int j = t + dy * cols + dx;
    const int expectedRowStep = m_CurrentPlayer == 1 ? +1 : -1;
    if (j / cols - t / cols != expectedRowStep)
        return;
    Core::Square* landing = squareAt(j);
    if (landing && landing->getObjects().empty())
        landing->highlightAuthorized(true);
}

void CheckersCBPicking::removeObjectFromSquare(int index)
{
    Core::Square* square = squareAt(index);
    if (square && !square->getObjects().empty())
        square->popObject(square->getObjects().front());
}
