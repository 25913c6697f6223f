#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "Game.h"
#include "PdnError.h"

namespace Draughts
{

// Reads the games of a PDN 3.0 text of international draughts (GameType 20) one at a time,
// as real files write them: tags (unknown ones kept, a value's own quotes tolerated), [FEN]
// set-ups, move numbers with or without spaces ("1.", "1...", "12. ...", "12 ..."), moves
// "32-28", "28x19", "28x19x8", also with squares padded by spaces ("1- 6", "47x 9", " 4x 1"),
// results 2-0 1-1 0-2 and 1-0 1/2-1/2 0-1 (0-0 and * give none); comments {...} (clock and
// evaluation commands in them), [%...] commands, lines from % or ;, variations (...), NAGs
// $n and move strengths ! ? are skipped.
//
// Every move is replayed through the rules. An error (a move the rules refuse, a malformed
// tag, a stray word) keeps the game up to it and the rest of its moves is read without being
// played. A record that goes on after a draw rule ended the game is played on, and a result
// that contradicts the rules' ending or the Result tag is kept: both with a warning.
//
// The parser works on the bytes as they are: the structure is ASCII, and tag values are
// converted to UTF-8 from the text's encoding when asked for (tagValue()).
class PdnParser
{
public:
    // Tags of a game past this many are ignored, with a warning.
    static constexpr int c_MaxTags = 1000;
    // Moves of a game past this many are not played (an error).
    static constexpr std::size_t c_MaxMoves = 10000;

    // Told each tag of a game in the order read: its name and its value as written (escapes
    // kept, see tagValue()).
    using TagHandler = std::function<void(std::string_view name, std::string_view value)>;

    // What reading a game gives besides its moves and tags.
    struct Outcome
    {
        // Where the game ends in the text.
        std::size_t end = 0;
        // The record's result: the one ending its moves, else its Result tag; Ongoing when
        // neither gives one.
        Result recorded = Result::Ongoing;
        // Its error (at most one) and warnings, in the order found.
        std::vector<PdnError> problems;
    };

    // A parser of a text that must outlive it; latin1 when its bytes are Latin-1, else UTF-8.
    PdnParser(std::string_view text, bool latin1);

    // Where the next game starts at or after `at`, past spaces, comments and % lines; the
    // text's size when no game is left.
    std::size_t nextGame(std::size_t at);
    // Reads the game starting at `at` (as nextGame() gave it), the number-th of the text:
    // its start position and moves into `game` (made anew), each tag to onTag.
    Outcome readGame(std::size_t at, int number, Game& game, const TagHandler& onTag);

    // A tag value as written, unescaped (\" and \\) and in UTF-8.
    static std::string tagValue(std::string_view value, bool latin1);
    // Whether a text is valid UTF-8 (else it is to be read as Latin-1).
    static bool isUtf8(std::string_view text);

private:
    char peek() const { return m_At < m_Text.size() ? m_Text[m_At] : '\0'; }
    bool atEnd() const { return m_At >= m_Text.size(); }
    void skipBlanks();
    void skipSpaces();
    void skipLine();
    bool skipComment();
    void skipCommand();
    void skipBetweenGames();
    void skipVariation();

    void readTags(const TagHandler& onTag);
    bool readTag(std::string_view& name, std::string_view& value);
    void setUp(std::string_view fen);
    void readMoves();
    // A move number, a move or a result at a digit; true when it ends the game.
    bool readToken();
    bool readDrawSign();
    void playMove(const std::string& token);
    void finish();

    // An error at the current place (only the game's first is kept); with the move about to
    // be played when one is given.
    void fail(const std::string& message, const std::string& move = "");
    void warn(const std::string& message, const std::string& move = "");
    void report(const std::string& message, const std::string& move, bool warning);
    // Text of the file for a message: the word at `at` (up to a space) between quotes.
    std::string wordAt(std::size_t at) const;
    // Text of the file as a message may quote it (Core::quotable, after Latin-1 is
    // converted), at most `limit` bytes of it.
    std::string quotable(std::string_view text, std::size_t limit) const;

    std::string_view m_Text;
    bool m_Latin1;
    std::size_t m_At = 0;

    // The game being read.
    int m_Number = 0;
    Game* m_Game = nullptr;
    Outcome* m_Outcome = nullptr;
    bool m_Failed = false;
    bool m_SetUp = false;
    bool m_Numbered = false;
    bool m_PlayedOn = false;
    bool m_HasTagResult = false;
    Result m_TagResult = Result::Ongoing;
    std::string m_TagResultText;
    bool m_HasEndResult = false;
    Result m_EndResult = Result::Ongoing;
    std::string m_EndResultText;
};

} // namespace Draughts
