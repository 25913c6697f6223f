#pragma once

#include <cstdint>
#include <string>

#include "Bitboard.h"
#include "Move.h"

namespace Draughts
{

enum class Color
{
    White,
    Black
};
enum class Piece
{
    None,
    WhiteMan,
    WhiteKing,
    BlackMan,
    BlackKing
};

inline Color opponent(Color color)
{
    return color == Color::White ? Color::Black : Color::White;
}
// "White" or "Black".
const char* colorName(Color color);

// A position of international draughts: the pieces on squares 1-50 and the side to move,
// with a 64-bit hash kept up to date by every change. Square 1 is at the top left seen from
// White; Black starts on 1-20, White on 31-50. Plain value type: copy to keep one.
class Position
{
public:
    // An empty board, White to move.
    Position() = default;
    // Twenty men each, White to move.
    static Position initial();
    // Reads a FEN such as "W:W31-50:B1-20" or "B:W18,K24:BK3,12" (side to move, then each
    // colour's squares; K marks a king; ranges a-b allowed; a final '.' ignored). False with a
    // one-line message in error when the text is not one (the position is then untouched).
    static bool fromFen(const std::string& text, Position& position, std::string& error);
    // The FEN of this position, squares in increasing order, kings marked: "W:W31,...:B1,...".
    std::string toFen() const;

    // The piece on a square, None when empty or outside 1-50.
    Piece at(int square) const;
    // Puts a piece (or None) on a square; squares outside 1-50 are ignored.
    void set(int square, Piece piece);
    Color sideToMove() const { return m_SideToMove; }
    void setSideToMove(Color color);

    // The position after a move of the side to move; the move must be one of its legal moves.
    Position after(const Move& move) const;
    // The hash of the position after such a move, without making it.
    std::uint64_t hashAfter(const Move& move) const;

    Bitboard pieces(Color color) const { return color == Color::White ? m_White : m_Black; }
    Bitboard kings() const { return m_Kings; }
    Bitboard empty() const { return Bits::c_Board & ~(m_White | m_Black); }
    int count(Color color) const { return Bits::count(pieces(color)); }
    int kingCount(Color color) const { return Bits::count(pieces(color) & m_Kings); }
    std::uint64_t hash() const { return m_Hash; }

    bool operator==(const Position& other) const
    {
        return m_White == other.m_White && m_Black == other.m_Black && m_Kings == other.m_Kings &&
               m_SideToMove == other.m_SideToMove;
    }
    bool operator!=(const Position& other) const { return !(*this == other); }

private:
    Bitboard m_White = 0;
    Bitboard m_Black = 0;
    Bitboard m_Kings = 0;
    Color m_SideToMove = Color::White;
    std::uint64_t m_Hash = 0;
};

} // namespace Draughts
