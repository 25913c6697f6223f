#include "DxpMessage.h"

#include <algorithm>

#include "Bitboard.h"

namespace Draughts
{

namespace
{
constexpr std::size_t c_NameWidth = 32;

std::string number(int value, int width)
{
    int most = 1;
    for (int i = 0; i < width; ++i)
        most *= 10;
    std::string text = std::to_string(std::clamp(value, 0, most - 1));
    return std::string(static_cast<std::size_t>(width) - text.size(), '0') + text;
}

std::string paddedName(const std::string& name)
{
    std::string text = name.substr(0, c_NameWidth);
    for (char& c : text)
        if (c < 0x20 || c > 0x7e)
            c = '?';
    return text + std::string(c_NameWidth - text.size(), ' ');
}

char colorLetter(Color color)
{
    return color == Color::White ? 'W' : 'Z';
}

// Reads the fields of a message in order, each of a fixed width.
class Fields
{
public:
    explicit Fields(const std::string& text) : m_Text(text) {}

    bool number(int width, int& value)
    {
        if (m_At + static_cast<std::size_t>(width) > m_Text.size())
            return false;
        value = 0;
        for (int i = 0; i < width; ++i) {
            const char c = m_Text[m_At++];
            if (c < '0' || c > '9')
                return false;
            value = value * 10 + (c - '0');
        }
        return true;
    }
    bool text(std::size_t width, std::string& value)
    {
        if (m_At + width > m_Text.size())
            return false;
        value = m_Text.substr(m_At, width);
        m_At += width;
        return true;
    }
    bool letter(char& value)
    {
        if (m_At >= m_Text.size())
            return false;
        value = m_Text[m_At++];
        return true;
    }
    bool color(Color& value)
    {
        char c = 0;
        if (!letter(c) || (c != 'W' && c != 'Z'))
            return false;
        value = c == 'W' ? Color::White : Color::Black;
        return true;
    }
    bool atEnd() const { return m_At == m_Text.size(); }

private:
    const std::string& m_Text;
    std::size_t m_At = 1;
};

bool printable(const std::string& text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c <= 0x7e; });
}

bool decodePosition(Fields& fields, Position& position)
{
    Color toMove = Color::White;
    if (!fields.color(toMove))
        return false;
    position = Position();
    for (int square = 1; square <= 50; ++square) {
        char c = 0;
        if (!fields.letter(c))
            return false;
        switch (c) {
        case 'e':
            break;
        case 'w':
            position.set(square, Piece::WhiteMan);
            break;
        case 'W':
            position.set(square, Piece::WhiteKing);
            break;
        case 'z':
            position.set(square, Piece::BlackMan);
            break;
        case 'Z':
            position.set(square, Piece::BlackKing);
            break;
        default:
            return false;
        }
    }
    position.setSideToMove(toMove);
    return true;
}
} // namespace

DxpMessage DxpMessage::request(const std::string& name, Color follower, int minutes, int moves)
{
    DxpMessage message;
    message.type = Type::GameRequest;
    message.name = name;
    message.color = follower;
    message.minutes = minutes;
    message.moves = moves;
    return message;
}

DxpMessage DxpMessage::accept(const std::string& name, int code)
{
    DxpMessage message;
    message.type = Type::GameAccept;
    message.name = name;
    message.code = code;
    return message;
}

DxpMessage DxpMessage::move(int seconds, const Draughts::Move& move)
{
    DxpMessage message;
    message.type = Type::Move;
    message.seconds = seconds;
    message.from = move.from();
    message.to = move.to();
    message.captured = move.captured();
    return message;
}

DxpMessage DxpMessage::end(int reason, int stop)
{
    DxpMessage message;
    message.type = Type::GameEnd;
    message.code = reason;
    message.stop = stop;
    return message;
}

DxpMessage DxpMessage::chat(const std::string& text)
{
    DxpMessage message;
    message.type = Type::Chat;
    message.text = text;
    return message;
}

DxpMessage DxpMessage::backAccept(int code)
{
    DxpMessage message;
    message.type = Type::BackAccept;
    message.code = code;
    return message;
}

std::string DxpMessage::encode() const
{
    switch (type) {
    case Type::GameRequest: {
        std::string text = "R01" + paddedName(name) + colorLetter(color) + number(minutes, 3) + number(moves, 3);
        if (!hasPosition)
            return text + "A";
        text += "B";
        text += colorLetter(position.sideToMove());
        for (int square = 1; square <= 50; ++square) {
            switch (position.at(square)) {
            case Piece::None:
                text += 'e';
                break;
            case Piece::WhiteMan:
                text += 'w';
                break;
            case Piece::WhiteKing:
                text += 'W';
                break;
            case Piece::BlackMan:
                text += 'z';
                break;
            case Piece::BlackKing:
                text += 'Z';
                break;
            }
        }
        return text;
    }
    case Type::GameAccept:
        return "A" + paddedName(name) + number(code, 1);
    case Type::Move: {
        std::string text =
            "M" + number(seconds, 4) + number(from, 2) + number(to, 2) + number(static_cast<int>(captured.size()), 2);
        for (int square : captured)
            text += number(square, 2);
        return text;
    }
    case Type::GameEnd:
        return "E" + number(code, 1) + number(stop, 1);
    case Type::Chat: {
        std::string line = "C" + text.substr(0, c_MaxLength - 1);
        for (char& c : line)
            if (c == '\0')
                c = '?';
        return line;
    }
    case Type::BackRequest:
        return "B" + number(code, 3) + colorLetter(color);
    case Type::BackAccept:
        return "K" + number(code, 1);
    }
    return "";
}

bool DxpMessage::decode(const std::string& text, DxpMessage& message, std::string& error)
{
    message = DxpMessage();
    if (text.empty()) {
        error = "an empty message";
        return false;
    }
    if (text.size() > c_MaxLength) {
        error = "a message longer than " + std::to_string(c_MaxLength) + " characters";
        return false;
    }
    const char kind = text[0];
    if (kind == 'C') {
        message.type = Type::Chat;
        message.text = text.substr(1);
        return true;
    }
    if (!printable(text)) {
        error = "a message with unprintable characters";
        return false;
    }
    Fields fields(text);
    bool ok = false;
    switch (kind) {
    case 'R': {
        message.type = Type::GameRequest;
        int version = 0;
        char start = 0;
        ok = fields.number(2, version) && fields.text(c_NameWidth, message.name) && fields.color(message.color) &&
             fields.number(3, message.minutes) && fields.number(3, message.moves) && fields.letter(start) &&
             (start == 'A' || start == 'B');
        if (ok && start == 'B') {
            message.hasPosition = true;
            ok = decodePosition(fields, message.position);
        }
        break;
    }
    case 'A':
        message.type = Type::GameAccept;
        ok = fields.text(c_NameWidth, message.name) && fields.number(1, message.code);
        break;
    case 'M': {
        message.type = Type::Move;
        int count = 0;
        ok = fields.number(4, message.seconds) && fields.number(2, message.from) && fields.number(2, message.to) &&
             fields.number(2, count) && text.size() == 11 + 2 * static_cast<std::size_t>(count);
        Bitboard seen = 0;
        for (int i = 0; ok && i < count; ++i) {
            int square = 0;
            ok = fields.number(2, square) && square >= 1 && square <= 50 && !(seen & Bits::maskOf(Bits::bitOf(square)));
            if (ok) {
                seen |= Bits::maskOf(Bits::bitOf(square));
                message.captured.push_back(square);
            }
        }
        ok = ok && message.from >= 1 && message.from <= 50 && message.to >= 1 && message.to <= 50;
        break;
    }
    case 'E':
        message.type = Type::GameEnd;
        ok = fields.number(1, message.code) && fields.number(1, message.stop) && message.code <= 3 && message.stop <= 1;
        break;
    case 'B':
        message.type = Type::BackRequest;
        ok = fields.number(3, message.code) && fields.color(message.color);
        break;
    case 'K':
        message.type = Type::BackAccept;
        ok = fields.number(1, message.code);
        break;
    default:
        error = "an unknown message type";
        return false;
    }
    if (!ok || !fields.atEnd()) {
        error = std::string("a malformed ") + kind + " message";
        return false;
    }
    while (!message.name.empty() && message.name.back() == ' ')
        message.name.pop_back();
    return true;
}

} // namespace Draughts
