#include "Position.h"

#include <array>
#include <cctype>

#include "core/Quotable.h"

namespace Draughts
{
namespace
{
// A FEN in a message: longer than any of a real position.
constexpr std::size_t c_FenShown = 200;

constexpr std::uint64_t mix(std::uint64_t value)
{
    value += 0x9E3779B97F4A7C15ULL;
    value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ULL;
    value = (value ^ (value >> 27)) * 0x94D049BB133111EBULL;
    return value ^ (value >> 31);
}

// One random key per piece kind (white man, white king, black man, black king) and bit.
struct Keys
{
    std::uint64_t piece[4][64] = {};
    std::uint64_t blackToMove = 0;
};
constexpr Keys makeKeys()
{
    Keys keys;
    for (int kind = 0; kind < 4; ++kind)
        for (int bit = 0; bit < 64; ++bit)
            keys.piece[kind][bit] = mix(static_cast<std::uint64_t>(kind * 64 + bit + 1));
    keys.blackToMove = mix(1000);
    return keys;
}
constexpr Keys c_Keys = makeKeys();

int kindOf(Color color, bool king)
{
    return (color == Color::White ? 0 : 2) + (king ? 1 : 0);
}

std::uint64_t keysOf(Bitboard set, int kind)
{
    std::uint64_t hash = 0;
    for (; set; set &= set - 1)
        hash ^= c_Keys.piece[kind][Bits::lowest(set)];
    return hash;
}

// Reads a square number at text[at...]; advances at. -1 when there are no digits.
int readNumber(const std::string& text, std::size_t& at)
{
    int value = -1;
    while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) {
        value = (value < 0 ? 0 : value * 10) + (text[at++] - '0');
        if (value > 1000)
            value = 1000;
    }
    return value;
}

void skipSpaces(const std::string& text, std::size_t& at)
{
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])))
        ++at;
}

// Reads one colour's list "31,32,K46,35-40" up to the next ':' into the position.
bool readPieces(const std::string& text, std::size_t& at, Color color, Position& position, std::string& error)
{
    while (true) {
        skipSpaces(text, at);
        if (at >= text.size() || text[at] == ':' || text[at] == '.')
            return true;
        const bool king = text[at] == 'K' || text[at] == 'k';
        if (king)
            ++at;
        const int first = readNumber(text, at);
        int last = first;
        skipSpaces(text, at);
        if (first >= 0 && at < text.size() && text[at] == '-') {
            ++at;
            skipSpaces(text, at);
            last = readNumber(text, at);
        }
        if (first < 0 || last < 0) {
            error = "a square number is missing";
            return false;
        }
        for (int square : {first, last}) {
            if (square < 1 || square > Bits::c_Squares) {
                error = "square " + std::to_string(square) + " is not between 1 and 50";
                return false;
            }
        }
        if (last < first) {
            error = "range " + std::to_string(first) + "-" + std::to_string(last) + " runs backwards";
            return false;
        }
        for (int square = first; square <= last; ++square) {
            if (position.at(square) != Piece::None) {
                error = "square " + std::to_string(square) + " is given twice";
                return false;
            }
            const Bitboard crown = color == Color::White ? Bits::c_WhiteCrown : Bits::c_BlackCrown;
            if (!king && (crown & Bits::maskOf(Bits::bitOf(square)))) {
                error = std::string("a ") + (color == Color::White ? "white" : "black") + " man on square " +
                        std::to_string(square) + " would be a king";
                return false;
            }
            position.set(square, color == Color::White ? (king ? Piece::WhiteKing : Piece::WhiteMan)
                                                       : (king ? Piece::BlackKing : Piece::BlackMan));
        }
        skipSpaces(text, at);
        if (at < text.size() && text[at] == ',')
            ++at;
        else if (at < text.size() && text[at] != ':' && text[at] != '.') {
            error = "unexpected '" + Core::quotable(text.substr(at, 1)) + "'";
            return false;
        }
    }
}
} // namespace

const char* colorName(Color color)
{
    return color == Color::White ? "White" : "Black";
}

Position Position::initial()
{
    // Built once: every new game starts from it.
    static const Position c_Initial = []() {
        Position position;
        for (int square = 1; square <= 20; ++square)
            position.set(square, Piece::BlackMan);
        for (int square = 31; square <= 50; ++square)
            position.set(square, Piece::WhiteMan);
        return position;
    }();
    return c_Initial;
}

bool Position::fromFen(const std::string& text, Position& position, std::string& error)
{
    Position read;
    std::size_t at = 0;
    skipSpaces(text, at);
    std::string problem;
    if (at >= text.size() || (text[at] != 'W' && text[at] != 'B')) {
        problem = "it does not start with the side to move (W or B)";
    } else {
        read.setSideToMove(text[at] == 'W' ? Color::White : Color::Black);
        ++at;
        bool seen[2] = {false, false};
        skipSpaces(text, at);
        while (problem.empty() && at < text.size() && text[at] == ':') {
            ++at;
            skipSpaces(text, at);
            if (at >= text.size() || (text[at] != 'W' && text[at] != 'B')) {
                problem = "a list of pieces does not start with W or B";
                break;
            }
            const Color color = text[at] == 'W' ? Color::White : Color::Black;
            if (seen[static_cast<int>(color)]) {
                problem = std::string(colorName(color)) + "'s pieces are listed twice";
                break;
            }
            seen[static_cast<int>(color)] = true;
            ++at;
            readPieces(text, at, color, read, problem);
        }
        skipSpaces(text, at);
        if (problem.empty() && at < text.size() && text[at] == '.')
            skipSpaces(text, ++at);
        if (problem.empty() && at < text.size())
            problem = "unexpected '" + Core::quotable(text.substr(at, 1)) + "'";
    }
    if (!problem.empty()) {
        error = "Bad FEN \"" + Core::quotable(text, c_FenShown) + "\": " + problem + ".";
        return false;
    }
    position = read;
    return true;
}

std::string Position::toFen() const
{
    std::string text = m_SideToMove == Color::White ? "W" : "B";
    for (Color color : {Color::White, Color::Black}) {
        text += color == Color::White ? ":W" : ":B";
        bool first = true;
        for (Bitboard set = pieces(color); set; set &= set - 1) {
            const int bit = Bits::lowest(set);
            if (!first)
                text += ',';
            first = false;
            if (m_Kings & Bits::maskOf(bit))
                text += 'K';
            text += std::to_string(Bits::squareOf(bit));
        }
    }
    return text;
}

Piece Position::at(int square) const
{
    if (square < 1 || square > Bits::c_Squares)
        return Piece::None;
    const Bitboard mask = Bits::maskOf(Bits::bitOf(square));
    const bool king = m_Kings & mask;
    if (m_White & mask)
        return king ? Piece::WhiteKing : Piece::WhiteMan;
    if (m_Black & mask)
        return king ? Piece::BlackKing : Piece::BlackMan;
    return Piece::None;
}

void Position::set(int square, Piece piece)
{
    if (square < 1 || square > Bits::c_Squares)
        return;
    const int bit = Bits::bitOf(square);
    const Bitboard mask = Bits::maskOf(bit);
    const Piece old = at(square);
    if (old != Piece::None)
        m_Hash ^= c_Keys.piece[static_cast<int>(old) - 1][bit];
    m_White &= ~mask;
    m_Black &= ~mask;
    m_Kings &= ~mask;
    if (piece == Piece::None)
        return;
    m_Hash ^= c_Keys.piece[static_cast<int>(piece) - 1][bit];
    if (piece == Piece::WhiteMan || piece == Piece::WhiteKing)
        m_White |= mask;
    else
        m_Black |= mask;
    if (piece == Piece::WhiteKing || piece == Piece::BlackKing)
        m_Kings |= mask;
}

void Position::setSideToMove(Color color)
{
    if (color != m_SideToMove)
        m_Hash ^= c_Keys.blackToMove;
    m_SideToMove = color;
}

Position Position::after(const Move& move) const
{
    Position next = *this;
    const Color mover = m_SideToMove;
    const Bitboard from = Bits::maskOf(move.fromBit());
    const Bitboard to = Bits::maskOf(move.toBit());
    const Bitboard taken = move.capturedSet();
    const bool king = m_Kings & from;
    const Bitboard crown = mover == Color::White ? Bits::c_WhiteCrown : Bits::c_BlackCrown;
    const bool promoted = !king && (to & crown);

    Bitboard& own = mover == Color::White ? next.m_White : next.m_Black;
    Bitboard& other = mover == Color::White ? next.m_Black : next.m_White;
    // The start may also be the end, after a capture that comes full circle.
    own = (own & ~from) | to;
    next.m_Hash = hashAfter(move);
    if (taken) {
        other &= ~taken;
        next.m_Kings &= ~taken;
    }
    if (king)
        next.m_Kings = (next.m_Kings & ~from) | to;
    else if (promoted)
        next.m_Kings |= to;
    next.m_SideToMove = opponent(mover);
    return next;
}

std::uint64_t Position::hashAfter(const Move& move) const
{
    const Color mover = m_SideToMove;
    const Bitboard taken = move.capturedSet();
    const bool king = m_Kings & Bits::maskOf(move.fromBit());
    const Bitboard crown = mover == Color::White ? Bits::c_WhiteCrown : Bits::c_BlackCrown;
    const bool promoted = !king && (Bits::maskOf(move.toBit()) & crown);
    std::uint64_t hash = m_Hash ^ c_Keys.blackToMove ^ c_Keys.piece[kindOf(mover, king)][move.fromBit()] ^
                         c_Keys.piece[kindOf(mover, king || promoted)][move.toBit()];
    if (taken) {
        const Color victim = opponent(mover);
        hash ^= keysOf(taken & m_Kings, kindOf(victim, true)) ^ keysOf(taken & ~m_Kings, kindOf(victim, false));
    }
    return hash;
}

} // namespace Draughts
