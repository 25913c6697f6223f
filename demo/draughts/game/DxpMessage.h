#pragma once

#include <string>
#include <vector>

#include "Move.h"
#include "Position.h"

namespace Draughts
{

// One message of DXP, the DamExchange protocol (two draughts programs, or two people,
// playing over TCP), and its text: printable ASCII, the type's letter first, numbers in
// decimal padded with '0' to their width, names padded with spaces to 32 characters. The
// ending NUL is the stream's business (DxpStream), not part of the text here.
//
//   R  game request  version (2) name (32) follower's colour (W|Z) minutes (3) moves (3)
//                    start (A: the initial position | B: colour to move and 50 squares)
//   A  game accept   name (32) code (1: 0 accepted, any other digit declined)
//   M  move          seconds (4) from (2) to (2) number captured (2) captured squares (2 each)
//   E  game end      reason (1: 0 unknown, 1 the sender loses, 2 draw, 3 the sender wins)
//                    stop code (1: 0 another game may follow, 1 none)
//   C  chat          free text
//   B  back request  move number (3) colour to move (W|Z)
//   K  back accept   code (1: 0 accepted, 1 not supported, 2 declined)
//
// decode() takes only what encode() could have written (exact lengths, digits where
// numbers go, known letters, squares 1-50, no square captured twice), except that a chat
// may hold any byte but NUL: its text is kept as it came, for the reader to quote.
class DxpMessage
{
public:
    enum class Type
    {
        GameRequest,
        GameAccept,
        Move,
        GameEnd,
        Chat,
        BackRequest,
        BackAccept
    };

    Type type = Type::Chat;
    // R: the initiator's name; A: the follower's (trailing spaces removed).
    std::string name;
    // R: the colour the follower plays; B: the colour to move at the move asked for.
    Color color = Color::White;
    // R: the time control, `minutes` for `moves` moves.
    int minutes = 0;
    int moves = 0;
    // R: true with a start position (`position`, its side to move included).
    bool hasPosition = false;
    Position position;
    // A: acceptance code; K: back accept code; E: the reason; B: the move number.
    int code = 0;
    // E: the stop code.
    int stop = 0;
    // M: seconds used, from, to and captured squares (1-50, in the order sent).
    int seconds = 0;
    int from = 0;
    int to = 0;
    std::vector<int> captured;
    // C: the text.
    std::string text;

    // The longest text taken (a game request with a position has 94 characters, a move at
    // most 51): a chat is cut to it, and a stream refuses anything longer.
    static constexpr std::size_t c_MaxLength = 255;

    static DxpMessage request(const std::string& name, Color follower, int minutes, int moves);
    static DxpMessage accept(const std::string& name, int code);
    static DxpMessage move(int seconds, const Draughts::Move& move);
    static DxpMessage end(int reason, int stop);
    static DxpMessage chat(const std::string& text);
    static DxpMessage backAccept(int code);

    // The message's text without the ending NUL; numbers beyond their width are clamped,
    // names cut to 32 characters and anything unprintable in them written as '?'.
    std::string encode() const;
    // Reads a message's text (without the NUL). False, with the reason in `error`, for
    // anything encode() could not have written.
    static bool decode(const std::string& text, DxpMessage& message, std::string& error);
};

} // namespace Draughts
