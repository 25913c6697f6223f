#include "Notation.h"

#include <vector>

#include "MoveGenerator.h"

namespace Draughts
{
namespace
{
// Squares and separator of a move text; false when it is not of the form a-b or axbx...
bool split(const std::string& text, std::vector<int>& squares, bool& capture)
{
    std::size_t at = 0;
    char separator = 0;
    while (true) {
        int value = 0;
        const std::size_t start = at;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - start < 3)
            value = value * 10 + (text[at++] - '0');
        if (at == start || value < 1 || value > Bits::c_Squares)
            return false;
        squares.push_back(value);
        if (at == text.size())
            break;
        const char next = text[at] == 'X' ? 'x' : text[at];
        ++at;
        if ((next != '-' && next != 'x') || (separator != 0 && next != separator))
            return false;
        separator = next;
    }
    capture = separator == 'x';
    return squares.size() >= 2 && (capture || squares.size() == 2);
}

// True when the wanted squares appear in the move's landings (before the last), in order.
bool followsRoute(const Move& move, const std::vector<int>& squares)
{
    std::size_t next = 1;
    for (int i = 0; i + 1 < move.landingCount() && next + 1 < squares.size(); ++i)
        if (Bits::squareOf(move.landingBit(i)) == squares[next])
            ++next;
    return next + 1 == squares.size();
}
} // namespace

std::string Notation::write(const Position& position, const Move& move)
{
    if (!move.isCapture())
        return move.toString();
    MoveList moves;
    MoveGenerator::generate(position, moves);
    for (const Move& other : moves)
        if (!other.sameAs(move) && other.from() == move.from() && other.to() == move.to())
            return move.toLongString();
    return move.toString();
}

bool Notation::read(const Position& position, const std::string& text, Move& move, std::string& error)
{
    thread_local std::vector<int> squares;
    squares.clear();
    bool capture = false;
    if (!split(text, squares, capture)) {
        error = "not a move";
        return false;
    }
    const Color side = position.sideToMove();
    const Piece piece = position.at(squares.front());
    const bool own = side == Color::White ? piece == Piece::WhiteMan || piece == Piece::WhiteKing
                                          : piece == Piece::BlackMan || piece == Piece::BlackKing;
    if (!own) {
        error = std::string("illegal move: no ") + (side == Color::White ? "white" : "black") + " piece on " +
                std::to_string(squares.front());
        return false;
    }
    // Most moves of a game are steps, found without listing every move.
    if (!capture && MoveGenerator::findStep(position, squares.front(), squares.back(), move))
        return true;
    // Kept from call to call: a game read from a file calls this for every move.
    thread_local MoveList moves;
    MoveGenerator::generateAllRoutes(position, moves);
    if (!moves.empty() && moves.front().isCapture() && !capture) {
        error = "illegal move: " + std::string(colorName(side)) + " must capture " +
                std::to_string(moves.front().captureCount()) +
                (moves.front().captureCount() == 1 ? " piece" : " pieces");
        return false;
    }
    thread_local std::vector<Move> found;
    found.clear();
    for (const Move& candidate : moves) {
        if (candidate.from() != squares.front() || candidate.to() != squares.back() ||
            candidate.isCapture() != capture || !followsRoute(candidate, squares))
            continue;
        bool known = false;
        for (const Move& other : found)
            known = known || other.sameAs(candidate);
        if (!known)
            found.push_back(candidate);
    }
    if (found.empty()) {
        error = "illegal move";
        if (!moves.empty() && moves.front().isCapture())
            error += " (" + std::string(colorName(side)) + "'s captures take " +
                     std::to_string(moves.front().captureCount()) + ")";
        return false;
    }
    if (found.size() > 1) {
        error = "ambiguous move: " + std::to_string(found.size()) + " captures from " +
                std::to_string(squares.front()) + " to " + std::to_string(squares.back()) +
                ", give the squares in between";
        return false;
    }
    move = found.front();
    return true;
}

} // namespace Draughts
