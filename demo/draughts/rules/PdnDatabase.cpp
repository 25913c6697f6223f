#include "PdnDatabase.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "PdnParser.h"
#include "core/Quotable.h"

namespace Draughts
{
namespace
{
constexpr long long c_MaxBytes = 256LL << 20;
const char* const c_TooLarge = "larger than 256 MiB.";

constexpr std::uint8_t c_HasError = 1;
constexpr std::uint8_t c_HasWarning = 2;
constexpr std::uint8_t c_BlackFirst = 4;

constexpr std::uint8_t c_Warning = 1;
constexpr std::uint8_t c_BlackMove = 2;

constexpr std::size_t c_TagCount = 4;
const char* const c_TagNames[c_TagCount] = {"Event", "Date", "White", "Black"};

// Reads a whole regular file into text; false with the reason (ending with a full stop).
bool readWhole(const std::string& path, std::string& text, std::string& reason)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        reason = std::string(std::strerror(errno)) + ".";
        return false;
    }
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        reason = "not a regular file.";
    } else if (info.st_size > c_MaxBytes) {
        reason = c_TooLarge;
    } else {
        // Sized once from the file, so that reading it takes its size and no more.
        text.reserve(static_cast<std::size_t>(info.st_size) + 1);
        char buffer[65536];
        ssize_t got = 0;
        while ((got = ::read(fd, buffer, sizeof buffer)) > 0 && static_cast<long long>(text.size()) <= c_MaxBytes)
            text.append(buffer, static_cast<std::size_t>(got));
        if (got < 0)
            reason = std::string(std::strerror(errno)) + ".";
        else if (static_cast<long long>(text.size()) > c_MaxBytes)
            reason = c_TooLarge;
    }
    ::close(fd);
    return reason.empty();
}
} // namespace

void PdnDatabase::clear()
{
    std::string().swap(m_Text);
    std::vector<Entry>().swap(m_Games);
    std::vector<StoredProblem>().swap(m_Problems);
    std::string().swap(m_ProblemText);
    m_Start = 0;
    m_Latin1 = false;
    m_ErrorCount = m_WarningCount = 0;
    m_MovesReplayed = 0;
}

bool PdnDatabase::openFile(const std::string& path, std::string& error)
{
    clear();
    std::string text;
    std::string reason;
    if (!readWhole(path, text, reason)) {
        error = "Cannot read \"" + Core::quotable(path) + "\": " + reason;
        return false;
    }
    m_Text = std::move(text);
    index();
    return true;
}

bool PdnDatabase::setText(std::string text, std::string& error)
{
    clear();
    if (static_cast<long long>(text.size()) > c_MaxBytes) {
        error = std::string("The text is ") + c_TooLarge;
        return false;
    }
    m_Text = std::move(text);
    index();
    return true;
}

void PdnDatabase::index()
{
    m_Latin1 = !PdnParser::isUtf8(m_Text);
    m_Start = !m_Latin1 && m_Text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    PdnParser parser(m_Text, m_Latin1);
    Game game;
    for (std::size_t at = parser.nextGame(m_Start); at < m_Text.size();) {
        Entry entry;
        entry.offset = static_cast<std::uint32_t>(at);
        const char* const start = m_Text.data() + at;
        const PdnParser::Outcome outcome = parser.readGame(
            at, static_cast<int>(m_Games.size() + 1), game, [&entry, start](std::string_view name, std::string_view value) {
                for (std::size_t i = 0; i < c_TagCount; ++i)
                    if (name == c_TagNames[i])
                        entry.tags[i] = {static_cast<std::uint32_t>(value.data() - start),
                                         static_cast<std::uint32_t>(value.size())};
            });
        // Every game takes at least one byte; the guard keeps the loop finite regardless.
        const std::size_t end = outcome.end > at ? outcome.end : at + 1;
        entry.length = static_cast<std::uint32_t>(end - at);
        entry.moves = static_cast<std::uint32_t>(game.moves().size());
        entry.firstProblem = static_cast<std::uint32_t>(m_Problems.size());
        if (game.start().sideToMove() == Color::Black)
            entry.flags |= c_BlackFirst;
        for (const PdnError& problem : outcome.problems)
            store(problem, entry);
        entry.result = entry.flags & c_HasError ? outcome.recorded : game.result();
        m_MovesReplayed += static_cast<long>(entry.moves);
        m_Games.push_back(entry);
        at = parser.nextGame(end);
    }
}

void PdnDatabase::store(const PdnError& problem, Entry& entry)
{
    StoredProblem stored;
    stored.text = static_cast<std::uint32_t>(m_ProblemText.size());
    stored.messageLength = static_cast<std::uint32_t>(problem.message.size());
    stored.moveNumber = problem.moveNumber;
    stored.moveLength = static_cast<std::uint16_t>(problem.move.size());
    stored.flags = static_cast<std::uint8_t>((problem.warning ? c_Warning : 0) | (problem.blackMove ? c_BlackMove : 0));
    m_ProblemText += problem.move;
    m_ProblemText += problem.message;
    m_Problems.push_back(stored);
    ++entry.problemCount;
    entry.flags |= problem.warning ? c_HasWarning : c_HasError;
    ++(problem.warning ? m_WarningCount : m_ErrorCount);
}

std::string PdnDatabase::tag(std::size_t i, Tag tag) const
{
    if (i >= m_Games.size())
        return "";
    const Entry& entry = m_Games[i];
    const Span span = entry.tags[static_cast<std::size_t>(tag)];
    return PdnParser::tagValue(std::string_view(m_Text).substr(entry.offset + span.at, span.length), m_Latin1);
}

Result PdnDatabase::result(std::size_t i) const
{
    return i < m_Games.size() ? m_Games[i].result : Result::Ongoing;
}

std::size_t PdnDatabase::moveCount(std::size_t i) const
{
    return i < m_Games.size() ? m_Games[i].moves : 0;
}

std::size_t PdnDatabase::numberedMoves(std::size_t i) const
{
    if (i >= m_Games.size())
        return 0;
    const Entry& entry = m_Games[i];
    const std::size_t blackFirst = entry.flags & c_BlackFirst ? 1 : 0;
    return entry.moves == 0 ? 0 : (entry.moves + blackFirst + 1) / 2;
}

bool PdnDatabase::hasError(std::size_t i) const
{
    return i < m_Games.size() && (m_Games[i].flags & c_HasError);
}

bool PdnDatabase::hasWarning(std::size_t i) const
{
    return i < m_Games.size() && (m_Games[i].flags & c_HasWarning);
}

std::vector<PdnError> PdnDatabase::problems(std::size_t i) const
{
    std::vector<PdnError> problems;
    if (i >= m_Games.size())
        return problems;
    const Entry& entry = m_Games[i];
    for (std::size_t k = entry.firstProblem; k < entry.firstProblem + entry.problemCount; ++k) {
        const StoredProblem& stored = m_Problems[k];
        PdnError problem;
        problem.game = static_cast<int>(i + 1);
        problem.moveNumber = stored.moveNumber;
        problem.blackMove = stored.flags & c_BlackMove;
        problem.warning = stored.flags & c_Warning;
        problem.move = m_ProblemText.substr(stored.text, stored.moveLength);
        problem.message = m_ProblemText.substr(stored.text + stored.moveLength, stored.messageLength);
        problems.push_back(problem);
    }
    return problems;
}

Game PdnDatabase::game(std::size_t i) const
{
    Game game;
    if (i >= m_Games.size())
        return game;
    std::vector<std::pair<std::string, std::string>> tags;
    PdnParser parser(m_Text, m_Latin1);
    parser.readGame(m_Games[i].offset, static_cast<int>(i + 1), game,
                    [this, &tags](std::string_view name, std::string_view value) {
                        tags.emplace_back(std::string(name), PdnParser::tagValue(value, m_Latin1));
                    });
    for (const auto& [name, value] : tags)
        game.setTag(name, value);
    return game;
}

} // namespace Draughts
