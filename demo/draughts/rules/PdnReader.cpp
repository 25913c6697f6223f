#include "PdnReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "core/Quotable.h"

namespace Draughts
{
namespace
{
constexpr long long c_MaxFileBytes = 256LL << 20;
// Bytes of a word, and of a move, that a message quotes.
constexpr std::size_t c_WordShown = 20;
constexpr std::size_t c_MoveShown = 80;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}
bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}
bool isMoveChar(char c)
{
    return isDigit(c) || c == '-' || c == 'x' || c == 'X' || c == '/';
}

bool resultOf(const std::string& token, Result& result)
{
    static const struct
    {
        const char* text;
        Result result;
    } c_Results[] = {{"2-0", Result::WhiteWins}, {"1-0", Result::WhiteWins}, {"0-2", Result::BlackWins},
                     {"0-1", Result::BlackWins}, {"1-1", Result::Draw},      {"1/2-1/2", Result::Draw},
                     {"*", Result::Ongoing}};
    for (const auto& entry : c_Results)
        if (token == entry.text) {
            result = entry.result;
            return true;
        }
    return false;
}

// Length of the valid UTF-8 sequence at text[at], 0 when it is not one.
std::size_t utf8Length(const std::string& text, std::size_t at)
{
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    std::size_t length = lead < 0x80                   ? 1
                         : lead >= 0xC2 && lead < 0xE0 ? 2
                         : lead >= 0xE0 && lead < 0xF0 ? 3
                         : lead >= 0xF0 && lead < 0xF5 ? 4
                                                       : 0;
    if (length == 0 || at + length > text.size())
        return 0;
    for (std::size_t i = 1; i < length; ++i)
        if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80)
            return 0;
    return length;
}

// Reads the games of a UTF-8 text one after the other.
class Parser
{
public:
    Parser(const std::string& text, PdnContents& contents) : m_Text(text), m_Contents(contents) {}

    void run()
    {
        while (true) {
            skipBetweenGames();
            if (m_At >= m_Text.size())
                return;
            readGame();
        }
    }

private:
    char peek() const { return m_At < m_Text.size() ? m_Text[m_At] : '\0'; }
    bool atEnd() const { return m_At >= m_Text.size(); }

    void skipSpaces()
    {
        while (!atEnd() && isSpace(m_Text[m_At]))
            ++m_At;
    }
    void skipLine()
    {
        while (!atEnd() && m_Text[m_At] != '\n')
            ++m_At;
    }
    // Skips a {comment}; false (at the end of the text) when it is not closed.
    bool skipComment()
    {
        const std::size_t close = m_Text.find('}', m_At);
        m_At = close == std::string::npos ? m_Text.size() : close + 1;
        return close != std::string::npos;
    }

    // Whitespace and comments before a game; stops at anything else.
    void skipBetweenGames()
    {
        while (true) {
            skipSpaces();
            const char c = peek();
            if (c == '%' || c == ';')
                skipLine();
            else if (c == '{' && m_Text.find('}', m_At) != std::string::npos)
                skipComment();
            else
                return;
        }
    }

    void fail(const std::string& message, const std::string& move = "")
    {
        if (m_Failed)
            return;
        m_Failed = true;
        PdnError error;
        error.game = m_GameNumber;
        error.message = message;
        if (!move.empty()) {
            error.move = move;
            error.moveNumber = m_Game.moveNumber(m_Game.moves().size());
            error.blackMove = m_Game.position().sideToMove() == Color::Black;
        }
        m_Contents.errors.push_back(error);
    }

    // The word of the text at `at`, for a message.
    std::string wordAt(std::size_t at) const
    {
        std::size_t end = at;
        while (end < m_Text.size() && !isSpace(m_Text[end]))
            ++end;
        return Core::quotable(std::string_view(m_Text).substr(at, end - at), c_WordShown);
    }

    void readGame()
    {
        ++m_GameNumber;
        m_Game = Game();
        m_Failed = false;
        m_SetUp = false;
        m_Numbered = false;
        readTags();
        readMoves();
        m_Contents.games.push_back(m_Game);
    }

    void readTags()
    {
        std::vector<std::pair<std::string, std::string>> tags;
        while (true) {
            skipBetweenGames();
            if (peek() != '[')
                break;
            std::string name;
            std::string value;
            if (!readTag(name, value)) {
                if (!m_Failed)
                    fail("unreadable tag \"" + wordAt(m_At) + "\"");
                skipLine();
                continue;
            }
            tags.emplace_back(name, value);
        }
        for (const auto& tag : tags) {
            if (tag.first == "FEN")
                setUp(tag.second);
            else if (tag.first == "GameType" && tag.second.substr(0, tag.second.find(',')) != "20")
                fail("game type " + Core::quotable(tag.second, c_WordShown) + " is not international draughts (20)");
        }
        for (const auto& tag : tags)
            m_Game.setTag(tag.first, tag.second);
    }

    // [Name "value"] at m_At; false (m_At unchanged) when malformed.
    bool readTag(std::string& name, std::string& value)
    {
        std::size_t at = m_At + 1;
        while (at < m_Text.size() && isSpace(m_Text[at]))
            ++at;
        while (at < m_Text.size() && (std::isalnum(static_cast<unsigned char>(m_Text[at])) || m_Text[at] == '_'))
            name += m_Text[at++];
        while (at < m_Text.size() && isSpace(m_Text[at]))
            ++at;
        if (name.empty() || at >= m_Text.size() || m_Text[at] != '"')
            return false;
        for (++at; at < m_Text.size() && m_Text[at] != '"' && m_Text[at] != '\n'; ++at) {
            if (m_Text[at] == '\\' && at + 1 < m_Text.size() && (m_Text[at + 1] == '"' || m_Text[at + 1] == '\\'))
                ++at;
            value += m_Text[at];
        }
        if (at >= m_Text.size() || m_Text[at] != '"')
            return false;
        for (++at; at < m_Text.size() && isSpace(m_Text[at]);)
            ++at;
        if (at >= m_Text.size() || m_Text[at] != ']')
            return false;
        m_At = at + 1;
        return true;
    }

    void setUp(const std::string& fen)
    {
        Position start;
        std::string error;
        if (!Position::fromFen(fen, start, error)) {
            fail(error.substr(0, error.size() - 1));
            return;
        }
        m_Game = Game(start);
        m_SetUp = true;
    }

    // Movetext up to the result, the next game's tags or the end. After a fault the rest of
    // the game is read without playing.
    void readMoves()
    {
        while (true) {
            skipSpaces();
            const char c = peek();
            if (atEnd() || c == '[')
                return;
            if (c == '{') {
                if (!skipComment())
                    fail("unterminated comment");
            } else if (c == '%' || c == ';') {
                skipLine();
            } else if (c == '(') {
                skipVariation();
            } else if (c == '$') {
                for (++m_At; isDigit(peek());)
                    ++m_At;
            } else if (c == '!' || c == '?' || c == '.') {
                while (peek() == '!' || peek() == '?' || peek() == '.')
                    ++m_At;
            } else if (c == '*') {
                ++m_At;
                finish(Result::Ongoing, "*");
                return;
            } else if (isDigit(c)) {
                if (readToken())
                    return;
            } else {
                // After a fault the rest is passed a byte at a time: no word is looked at.
                if (!m_Failed)
                    fail("unexpected \"" + wordAt(m_At) + "\"");
                ++m_At;
            }
        }
    }

    // Skips a (variation), nested ones and comments inside; one left open ends at the next
    // game's tags.
    void skipVariation()
    {
        int depth = 0;
        while (!atEnd()) {
            const char c = m_Text[m_At];
            if (c == '[')
                break;
            if (c == '{') {
                if (!skipComment())
                    break;
                continue;
            }
            ++m_At;
            if (c == '(')
                ++depth;
            else if (c == ')' && --depth == 0)
                return;
        }
        fail("unterminated variation");
    }

    // A move number, a move or a result; true when it ends the game.
    bool readToken()
    {
        const std::size_t start = m_At;
        while (isMoveChar(peek()))
            ++m_At;
        const std::string token = m_Text.substr(start, m_At - start);
        if (peek() == '.' && token.find_first_not_of("0123456789") == std::string::npos) {
            while (peek() == '.')
                ++m_At;
            if (m_SetUp && !m_Numbered && m_Game.moves().empty())
                m_Game.setFirstMoveNumber(token.size() > 6 ? 1 : std::stoi(token));
            m_Numbered = true;
            return false;
        }
        Result result = Result::Ongoing;
        if (resultOf(token, result)) {
            finish(result, token);
            return true;
        }
        m_Numbered = true;
        if (m_Failed)
            return false;
        std::string error;
        if (!m_Game.play(token, error))
            fail(error, token);
        else
            ++m_Contents.movesReplayed;
        return false;
    }

    void finish(Result result, const std::string& token)
    {
        if (m_Failed)
            return;
        const Result ruled = m_Game.result();
        if (ruled == Result::Ongoing)
            m_Game.declareResult(result);
        else if (result != Result::Ongoing && result != ruled)
            fail("result " + token + " does not match the end of the game (" + m_Game.resultDescription() + ")");
    }

    const std::string& m_Text;
    PdnContents& m_Contents;
    std::size_t m_At = 0;
    int m_GameNumber = 0;
    Game m_Game;
    bool m_Failed = false;
    bool m_SetUp = false;
    bool m_Numbered = false;
};
} // namespace

std::string PdnError::toString() const
{
    std::string text = "game " + std::to_string(game);
    if (!move.empty())
        text +=
            ", move " + std::to_string(moveNumber) + (blackMove ? "... " : ". ") + Core::quotable(move, c_MoveShown);
    return text + ": " + message;
}

std::string PdnReader::toUtf8(const std::string& text)
{
    bool valid = true;
    for (std::size_t at = 0; at < text.size() && valid;) {
        const std::size_t length = utf8Length(text, at);
        valid = length != 0;
        at += length;
    }
    if (valid)
        return text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? text.substr(3) : text;
    std::string converted;
    converted.reserve(text.size() + text.size() / 8);
    for (char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            converted += c;
        } else {
            converted += static_cast<char>(0xC0 | (byte >> 6));
            converted += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return converted;
}

PdnContents PdnReader::read(const std::string& text)
{
    PdnContents contents;
    const std::string utf8 = toUtf8(text);
    Parser(utf8, contents).run();
    return contents;
}

bool PdnReader::readFile(const std::string& path, PdnContents& contents, std::string& error)
{
    const std::string prefix = "Cannot read \"" + Core::quotable(path) + "\": ";
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = prefix + std::strerror(errno) + ".";
        return false;
    }
    struct stat info;
    std::string text;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        error = prefix + "not a regular file.";
    } else if (info.st_size > c_MaxFileBytes) {
        error = prefix + "larger than 256 MiB.";
    } else {
        char buffer[65536];
        ssize_t got = 0;
        while ((got = ::read(fd, buffer, sizeof buffer)) > 0 && static_cast<long long>(text.size()) <= c_MaxFileBytes)
            text.append(buffer, static_cast<std::size_t>(got));
        if (got < 0)
            error = prefix + std::strerror(errno) + ".";
        else if (static_cast<long long>(text.size()) > c_MaxFileBytes)
            error = prefix + "larger than 256 MiB.";
    }
    ::close(fd);
    if (!error.empty())
        return false;
    contents = read(text);
    return true;
}

} // namespace Draughts
