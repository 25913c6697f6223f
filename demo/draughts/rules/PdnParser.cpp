#include "PdnParser.h"

#include "Notation.h"
#include "core/Quotable.h"

namespace Draughts
{
namespace
{
// Bytes of a word, and of a move, that a message quotes.
constexpr std::size_t c_WordShown = 20;
constexpr std::size_t c_MoveShown = 80;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}
// Spaces, and the end-of-file mark some old programs leave.
bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v' || c == '\x1A';
}
// Spaces that may pad a square within a move.
bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}
bool isNameChar(char c)
{
    return isDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool isSeparator(char c)
{
    return c == '-' || c == 'x' || c == 'X';
}
bool isMoveChar(char c)
{
    return isDigit(c) || isSeparator(c) || c == '/';
}

// The result a text gives: true for a result token (Ongoing for * and 0-0).
bool resultOf(std::string_view token, Result& result)
{
    if (token.size() != 1 && token.size() != 3 && token.size() != 7)
        return false;
    static const struct
    {
        std::string_view text;
        Result result;
    } c_Results[] = {{"2-0", Result::WhiteWins}, {"1-0", Result::WhiteWins}, {"0-2", Result::BlackWins},
                     {"0-1", Result::BlackWins}, {"1-1", Result::Draw},      {"1/2-1/2", Result::Draw},
                     {"0-0", Result::Ongoing},   {"*", Result::Ongoing}};
    for (const auto& entry : c_Results)
        if (token == entry.text) {
            result = entry.result;
            return true;
        }
    return false;
}

// Length of the valid UTF-8 sequence at text[at], 0 when it is not one.
std::size_t utf8Length(std::string_view text, std::size_t at)
{
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80)
        return 1;
    const std::size_t length = lead >= 0xC2 && lead < 0xE0 ? 2 : lead >= 0xE0 && lead < 0xF0 ? 3
                                                         : lead >= 0xF0 && lead < 0xF5     ? 4
                                                                                           : 0;
    if (length == 0 || at + length > text.size())
        return 0;
    for (std::size_t i = 1; i < length; ++i)
        if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80)
            return 0;
    return length;
}

void appendUtf8(std::string& out, char c, bool latin1)
{
    const unsigned char byte = static_cast<unsigned char>(c);
    if (!latin1 || byte < 0x80) {
        out += c;
        return;
    }
    out += static_cast<char>(0xC0 | (byte >> 6));
    out += static_cast<char>(0x80 | (byte & 0x3F));
}
} // namespace

PdnParser::PdnParser(std::string_view text, bool latin1) : m_Text(text), m_Latin1(latin1) {}

bool PdnParser::isUtf8(std::string_view text)
{
    for (std::size_t at = 0; at < text.size();) {
        // Runs of ASCII, most of any PDN text, eight bytes at a time.
        while (at + 8 <= text.size()) {
            std::uint64_t word = 0;
            for (int i = 0; i < 8; ++i)
                word |= static_cast<std::uint64_t>(static_cast<unsigned char>(text[at + i])) << (8 * i);
            if (word & 0x8080808080808080ULL)
                break;
            at += 8;
        }
        if (at >= text.size())
            break;
        const std::size_t length = utf8Length(text, at);
        if (length == 0)
            return false;
        at += length;
    }
    return true;
}

std::string PdnParser::tagValue(std::string_view value, bool latin1)
{
    std::string text;
    text.reserve(value.size());
    for (std::size_t at = 0; at < value.size(); ++at) {
        if (value[at] == '\\' && at + 1 < value.size() && (value[at + 1] == '"' || value[at + 1] == '\\'))
            ++at;
        appendUtf8(text, value[at], latin1);
    }
    return text;
}

std::string PdnParser::quotable(std::string_view text, std::size_t limit) const
{
    if (!m_Latin1)
        return Core::quotable(text, limit);
    std::string utf8;
    for (std::size_t at = 0; at < text.size() && at <= limit; ++at)
        appendUtf8(utf8, text[at], true);
    std::string shown = Core::quotable(utf8, limit);
    // Cut in UTF-8: the mark counts the bytes of the file.
    const std::size_t mark = shown.find("...[");
    if (mark != std::string::npos || text.size() > limit)
        shown = shown.substr(0, mark) + "...[" + std::to_string(text.size()) + " bytes]";
    return shown;
}

std::string PdnParser::wordAt(std::size_t at) const
{
    std::size_t end = at;
    while (end < m_Text.size() && !isSpace(m_Text[end]))
        ++end;
    return "\"" + quotable(m_Text.substr(at, end - at), c_WordShown) + "\"";
}

void PdnParser::skipBlanks()
{
    while (!atEnd() && isBlank(m_Text[m_At]))
        ++m_At;
}

void PdnParser::skipSpaces()
{
    while (!atEnd() && isSpace(m_Text[m_At]))
        ++m_At;
}

void PdnParser::skipLine()
{
    const std::size_t end = m_Text.find('\n', m_At);
    m_At = end == std::string_view::npos ? m_Text.size() : end;
}

// Skips a {comment}; false (at the end of the text) when it is not closed.
bool PdnParser::skipComment()
{
    const std::size_t close = m_Text.find('}', m_At);
    m_At = close == std::string_view::npos ? m_Text.size() : close + 1;
    return close != std::string_view::npos;
}

// Skips a [%command ...] up to its ']', or to the end of its line when it has none.
void PdnParser::skipCommand()
{
    while (!atEnd() && m_Text[m_At] != ']' && m_Text[m_At] != '\n')
        ++m_At;
    if (peek() == ']')
        ++m_At;
}

void PdnParser::skipBetweenGames()
{
    while (true) {
        skipSpaces();
        const char c = peek();
        if (c == '%' || c == ';')
            skipLine();
        else if (c == '{' && m_Text.find('}', m_At) != std::string_view::npos)
            skipComment();
        else
            return;
    }
}

// Skips a (variation), nested ones and comments inside; one left open ends at the next
// game's tags.
void PdnParser::skipVariation()
{
    int depth = 0;
    while (!atEnd()) {
        const char c = m_Text[m_At];
        if (c == '[' && (m_At + 1 >= m_Text.size() || m_Text[m_At + 1] != '%'))
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

std::size_t PdnParser::nextGame(std::size_t at)
{
    m_At = at;
    skipBetweenGames();
    return m_At;
}

PdnParser::Outcome PdnParser::readGame(std::size_t at, int number, Game& game, const TagHandler& onTag)
{
    Outcome outcome;
    m_At = at;
    m_Number = number;
    game = Game();
    m_Game = &game;
    m_Outcome = &outcome;
    m_Failed = m_SetUp = m_Numbered = m_PlayedOn = m_HasTagResult = m_HasEndResult = false;
    m_TagResult = m_EndResult = Result::Ongoing;
    m_TagResultText.clear();
    m_EndResultText.clear();
    readTags(onTag);
    readMoves();
    finish();
    outcome.end = m_At;
    m_Game = nullptr;
    m_Outcome = nullptr;
    return outcome;
}

void PdnParser::report(const std::string& message, const std::string& move, bool warning)
{
    PdnError problem;
    problem.game = m_Number;
    problem.message = message;
    problem.warning = warning;
    if (!move.empty()) {
        problem.move = move;
        problem.moveNumber = m_Game->moveNumber(m_Game->moves().size());
        problem.blackMove = m_Game->position().sideToMove() == Color::Black;
    }
    m_Outcome->problems.push_back(problem);
}

void PdnParser::fail(const std::string& message, const std::string& move)
{
    if (m_Failed)
        return;
    m_Failed = true;
    report(message, move, false);
}

void PdnParser::warn(const std::string& message, const std::string& move)
{
    if (!m_Failed)
        report(message, move, true);
}

void PdnParser::readTags(const TagHandler& onTag)
{
    int count = 0;
    bool hasFen = false;
    std::string_view fen;
    while (true) {
        skipBetweenGames();
        if (peek() != '[')
            break;
        if (m_At + 1 < m_Text.size() && m_Text[m_At + 1] == '%') {
            skipCommand();
            continue;
        }
        std::string_view name;
        std::string_view value;
        if (!readTag(name, value)) {
            if (!m_Failed)
                fail("unreadable tag " + wordAt(m_At));
            skipLine();
            continue;
        }
        if (++count > c_MaxTags) {
            if (count == c_MaxTags + 1)
                warn("more than " + std::to_string(c_MaxTags) + " tags: the rest are ignored");
            continue;
        }
        if (name == "FEN") {
            fen = value;
            hasFen = true;
        } else if (name == "GameType" && value.substr(0, value.find(',')) != "20") {
            fail("game type " + quotable(value, c_WordShown) + " is not international draughts (20)");
        } else if (name == "Result") {
            Result result = Result::Ongoing;
            m_TagResult = resultOf(value, result) ? result : Result::Ongoing;
            m_HasTagResult = m_TagResult != Result::Ongoing;
            m_TagResultText = m_HasTagResult ? std::string(value) : "";
        }
        onTag(name, value);
    }
    if (hasFen)
        setUp(fen);
}

// [Name "value"] at m_At; false (m_At unchanged) when malformed. A quote inside the value
// that is not escaped is kept when the tag's closing quote and bracket come later on its line.
bool PdnParser::readTag(std::string_view& name, std::string_view& value)
{
    std::size_t at = m_At + 1;
    while (at < m_Text.size() && isBlank(m_Text[at]))
        ++at;
    const std::size_t nameStart = at;
    while (at < m_Text.size() && isNameChar(m_Text[at]))
        ++at;
    name = m_Text.substr(nameStart, at - nameStart);
    while (at < m_Text.size() && isBlank(m_Text[at]))
        ++at;
    if (name.empty() || at >= m_Text.size() || m_Text[at] != '"')
        return false;
    const std::size_t valueStart = at + 1;
    for (++at; at < m_Text.size() && m_Text[at] != '\n'; ++at) {
        if (m_Text[at] == '\\' && at + 1 < m_Text.size() && (m_Text[at + 1] == '"' || m_Text[at + 1] == '\\')) {
            ++at;
            continue;
        }
        if (m_Text[at] != '"')
            continue;
        std::size_t close = at + 1;
        while (close < m_Text.size() && isBlank(m_Text[close]))
            ++close;
        if (close < m_Text.size() && m_Text[close] == ']') {
            value = m_Text.substr(valueStart, at - valueStart);
            m_At = close + 1;
            return true;
        }
    }
    return false;
}

void PdnParser::setUp(std::string_view fen)
{
    Position start;
    std::string error;
    if (!Position::fromFen(tagValue(fen, m_Latin1), start, error)) {
        fail(error.substr(0, error.size() - 1));
        return;
    }
    *m_Game = Game(start);
    m_SetUp = true;
}

// Movetext up to the result, the next game's tags or the end. After an error the rest of
// the game is read without playing.
void PdnParser::readMoves()
{
    while (true) {
        skipSpaces();
        const char c = peek();
        if (atEnd())
            return;
        if (c == '[') {
            if (m_At + 1 < m_Text.size() && m_Text[m_At + 1] == '%') {
                skipCommand();
                continue;
            }
            return;
        }
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
            m_HasEndResult = true;
            m_EndResult = Result::Ongoing;
            m_EndResultText = "*";
            return;
        } else if (isDigit(c)) {
            if (readToken())
                return;
        } else if (readDrawSign()) {
            return;
        } else {
            // After an error the rest is passed a byte at a time: no word is looked at.
            if (!m_Failed)
                fail("unexpected " + wordAt(m_At));
            ++m_At;
        }
    }
}

// A draw written with the one-half sign, in UTF-8 or Latin-1.
bool PdnParser::readDrawSign()
{
    for (std::string_view sign : {std::string_view("\xC2\xBD-\xC2\xBD"), std::string_view("\xBD-\xBD")})
        if (m_Text.substr(m_At, sign.size()) == sign) {
            m_At += sign.size();
            m_HasEndResult = true;
            m_EndResult = Result::Draw;
            m_EndResultText = "1/2-1/2";
            return true;
        }
    return false;
}

bool PdnParser::readToken()
{
    std::string token;
    auto readRun = [&]() {
        const std::size_t start = m_At;
        while (isMoveChar(peek()))
            ++m_At;
        token.append(m_Text.data() + start, m_At - start);
    };
    readRun();
    // A square padded with spaces after or before its separator: "1- 6", "47x 9", "47 x9".
    std::size_t before = m_At;
    while (true) {
        before = m_At;
        skipBlanks();
        if (isSeparator(token.back())) {
            if (!isDigit(peek()))
                break;
            readRun();
            continue;
        }
        if (!isSeparator(peek()) || m_At + 1 >= m_Text.size() ||
            !(isDigit(m_Text[m_At + 1]) || isBlank(m_Text[m_At + 1])))
            break;
        token += m_Text[m_At++];
    }
    bool number = true;
    for (char c : token)
        number = number && isDigit(c);
    // A move number may stand apart from its dots: "12 ...".
    if (!(number && peek() == '.'))
        m_At = before;
    if (number && peek() == '.') {
        while (peek() == '.')
            ++m_At;
        if (m_SetUp && !m_Numbered && m_Game->moves().empty())
            m_Game->setFirstMoveNumber(token.size() > 6 ? 1 : std::stoi(token));
        m_Numbered = true;
        return false;
    }
    Result result = Result::Ongoing;
    if (resultOf(token, result)) {
        m_HasEndResult = true;
        m_EndResult = result;
        m_EndResultText = token;
        return true;
    }
    m_Numbered = true;
    playMove(token);
    return false;
}

void PdnParser::playMove(const std::string& token)
{
    if (m_Failed)
        return;
    const std::string written = quotable(token, c_MoveShown);
    if (m_Game->moves().size() >= c_MaxMoves) {
        fail("more than " + std::to_string(c_MaxMoves) + " moves: the rest of the game is not read", written);
        return;
    }
    std::string error;
    if (m_Game->play(token, error))
        return;
    Move move;
    std::string ignored;
    // A record that goes on after a draw rule ended the game: what was played, if legal.
    if (m_Game->drawRule() != DrawRule::None && Notation::read(m_Game->position(), token, move, ignored)) {
        if (!m_PlayedOn)
            warn("the record goes on after the rules ended the game (" + m_Game->resultDescription() + ")", written);
        m_PlayedOn = true;
        m_Game->playOn(move);
        return;
    }
    fail(error, written);
}

void PdnParser::finish()
{
    const Result declared = m_HasEndResult && m_EndResult != Result::Ongoing ? m_EndResult : m_TagResult;
    // A Result tag counts only when it holds a result: its text is then short and plain.
    const std::string declaredText =
        m_HasEndResult && m_EndResult != Result::Ongoing ? m_EndResultText : "\"" + m_TagResultText + "\"";
    m_Outcome->recorded = declared;
    if (m_Failed)
        return;
    if (m_HasTagResult && m_HasEndResult && m_EndResult != Result::Ongoing && m_EndResult != m_TagResult)
        warn("the Result tag says \"" + m_TagResultText + "\", the moves end with " + m_EndResultText);
    const Result ruled = m_Game->result();
    if (ruled == Result::Ongoing)
        m_Game->declareResult(declared);
    else if (declared != Result::Ongoing && declared != ruled)
        warn("result " + declaredText + " does not match the end of the game (" + m_Game->resultDescription() +
             ")");
}

} // namespace Draughts
