#include "HubNotation.h"

#include <algorithm>

#include "MoveGenerator.h"
#include "core/Quotable.h"

namespace Draughts
{

namespace
{
constexpr std::size_t c_PositionLength = 51;
// Longer than any move written: a start, an end and at most 20 pieces taken.
constexpr std::size_t c_LongestMove = 80;
} // namespace

std::string HubNotation::writePosition(const Position& position)
{
    std::string text(1, position.sideToMove() == Color::White ? 'W' : 'B');
    for (int square = 1; square <= 50; ++square) {
        switch (position.at(square)) {
        case Piece::WhiteMan:
            text += 'w';
            break;
        case Piece::WhiteKing:
            text += 'W';
            break;
        case Piece::BlackMan:
            text += 'b';
            break;
        case Piece::BlackKing:
            text += 'B';
            break;
        case Piece::None:
            text += 'e';
            break;
        }
    }
    return text;
}

bool HubNotation::readPosition(const std::string& text, Position& position, std::string& error)
{
    if (text.size() != c_PositionLength) {
        error = "a position has 51 characters, not " + std::to_string(text.size());
        return false;
    }
    if (text[0] != 'W' && text[0] != 'B') {
        error = "a position starts with W or B for the side to move";
        return false;
    }
    Position read;
    for (int square = 1; square <= 50; ++square) {
        Piece piece = Piece::None;
        switch (text[static_cast<std::size_t>(square)]) {
        case 'w':
            piece = Piece::WhiteMan;
            break;
        case 'W':
            piece = Piece::WhiteKing;
            break;
        case 'b':
            piece = Piece::BlackMan;
            break;
        case 'B':
            piece = Piece::BlackKing;
            break;
        case 'e':
            break;
        default:
            error = "square " + std::to_string(square) + " of the position is neither w, W, b, B nor e";
            return false;
        }
        read.set(square, piece);
    }
    read.setSideToMove(text[0] == 'W' ? Color::White : Color::Black);
    position = read;
    return true;
}

std::string HubNotation::writeMove(const Move& move)
{
    if (!move.isCapture())
        return std::to_string(move.from()) + "-" + std::to_string(move.to());
    std::vector<int> taken = move.captured();
    std::sort(taken.begin(), taken.end());
    std::string text = std::to_string(move.from()) + "x" + std::to_string(move.to());
    for (int square : taken)
        text += "x" + std::to_string(square);
    return text;
}

bool HubNotation::readMove(const Position& position, const std::string& text, Move& move, std::string& error)
{
    if (text.empty() || text.size() > c_LongestMove) {
        error = "not a move: '" + Core::quotable(text, c_LongestMove) + "'";
        return false;
    }
    std::vector<int> squares;
    char separator = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        int square = 0;
        std::size_t digits = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < 3) {
            square = square * 10 + (text[at++] - '0');
            ++digits;
        }
        if (digits == 0 || square < 1 || square > 50) {
            error = "not a move: '" + Core::quotable(text) + "'";
            return false;
        }
        squares.push_back(square);
        if (at == text.size())
            break;
        const char next = text[at++];
        if ((next != '-' && next != 'x') || (separator != 0 && next != separator) || at == text.size()) {
            error = "not a move: '" + Core::quotable(text) + "'";
            return false;
        }
        separator = next;
    }
    if (squares.size() < 2 || (separator == '-' && squares.size() != 2)) {
        error = "not a move: '" + Core::quotable(text) + "'";
        return false;
    }
    std::vector<int> taken(squares.begin() + 2, squares.end());
    std::sort(taken.begin(), taken.end());
    MoveList legal;
    MoveGenerator::generate(position, legal);
    const Move* found = nullptr;
    int matches = 0;
    for (const Move& candidate : legal) {
        if (candidate.from() != squares[0] || candidate.to() != squares[1] || candidate.isCapture() != (separator == 'x'))
            continue;
        std::vector<int> captured = candidate.captured();
        std::sort(captured.begin(), captured.end());
        if (!taken.empty() && captured != taken)
            continue;
        if (!found || !candidate.sameAs(*found))
            ++matches;
        found = &candidate;
    }
    if (matches == 0) {
        error = "illegal move: '" + Core::quotable(text) + "'";
        return false;
    }
    if (matches > 1) {
        error = "ambiguous move: '" + Core::quotable(text) + "' (list the pieces taken)";
        return false;
    }
    move = *found;
    return true;
}

} // namespace Draughts
