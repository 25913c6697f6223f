#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Game.h"
#include "PdnError.h"

namespace Draughts
{

// The games of a PDN file, indexed in one pass: where each game lies, the tags a game list
// shows, its result, its number of moves and its errors and warnings (every move is replayed
// through the rules on the way; see PdnParser for what is read). A game is parsed again and
// built only when asked for, so that a database takes little more memory than its text
// (about 60 bytes a game, more for a game with problems) and opening one game takes the
// time of that game alone. Games are counted from 0 here, from 1 in messages.
class PdnDatabase
{
public:
    // The tags kept in the index for each game.
    enum class Tag
    {
        Event,
        Date,
        White,
        Black
    };

    // Reads a file and indexes its games. False with a one-line message when the file
    // cannot be read: missing, not a regular file (a FIFO or device is refused, not waited
    // on), or larger than 256 MiB; the database is then empty.
    bool openFile(const std::string& path, std::string& error);
    // Indexes a text (UTF-8, or Latin-1 when it is not valid UTF-8; a byte-order mark is
    // skipped). False, and empty, when it is larger than 256 MiB.
    bool setText(std::string text, std::string& error);

    // The number of games.
    std::size_t size() const { return m_Games.size(); }
    // A tag of game i in UTF-8, "" when the game has none (or i is out of range).
    std::string tag(std::size_t i, Tag tag) const;
    // The record's result: the rules' ending when they ended the game, else the result the
    // record gives (after its moves, else in its Result tag); Ongoing when none.
    Result result(std::size_t i) const;
    // The moves read (each side's move counts one, as in Game::moves()), up to an error.
    std::size_t moveCount(std::size_t i) const;
    // The moves as the record numbers them (a move of White and Black's answer count once).
    std::size_t numberedMoves(std::size_t i) const;
    bool hasError(std::size_t i) const;
    bool hasWarning(std::size_t i) const;
    // Game i's error (at most one) and warnings, in the order found.
    std::vector<PdnError> problems(std::size_t i) const;
    // Game i as read: its start, its moves up to its error, its tags, and its result when
    // the record gives one and it has no error (a new game when i is out of range).
    Game game(std::size_t i) const;

    // Totals over every game.
    std::size_t errorCount() const { return m_ErrorCount; }
    std::size_t warningCount() const { return m_WarningCount; }
    long movesReplayed() const { return m_MovesReplayed; }

private:
    // Bytes of the text, relative to its game's start for a tag.
    struct Span
    {
        std::uint32_t at = 0;
        std::uint32_t length = 0;
    };
    struct Entry
    {
        std::uint32_t offset = 0;
        std::uint32_t length = 0;
        std::uint32_t moves = 0;
        std::uint32_t firstProblem = 0;
        Span tags[4];
        std::uint8_t problemCount = 0;
        std::uint8_t flags = 0;
        Result result = Result::Ongoing;
    };
    // A problem kept compactly: its move and message in m_ProblemText.
    struct StoredProblem
    {
        std::size_t text = 0;
        std::uint32_t messageLength = 0;
        std::int32_t moveNumber = 0;
        std::uint16_t moveLength = 0;
        std::uint8_t flags = 0;
    };

    void clear();
    void index();
    void store(const PdnError& problem, Entry& entry);

    std::string m_Text;
    std::size_t m_Start = 0;
    bool m_Latin1 = false;
    std::vector<Entry> m_Games;
    std::vector<StoredProblem> m_Problems;
    std::string m_ProblemText;
    std::size_t m_ErrorCount = 0;
    std::size_t m_WarningCount = 0;
    long m_MovesReplayed = 0;
};

} // namespace Draughts
