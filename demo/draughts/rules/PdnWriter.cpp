#include "PdnWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/Quotable.h"

namespace Draughts
{
namespace
{
constexpr std::size_t c_LineWidth = 80;
// Names a new file may take: stem.pdn, then stem-2.pdn up to this number.
constexpr int c_NamesTried = 999;

std::string quoted(const std::string& value)
{
    std::string text = "\"";
    for (char c : value) {
        if (c == '"' || c == '\\')
            text += '\\';
        text += c == '\n' || c == '\r' ? ' ' : c;
    }
    return text + "\"";
}

// Creates the file at `path` holding `text`; 0, or the errno of the failure. A file or a
// symbolic link (even to nothing) already there gives EEXIST and is left alone; a file that
// could not be written completely is removed.
int createFile(const std::string& path, const std::string& text)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno;
    int problem = 0;
    for (std::size_t done = 0; done < text.size() && problem == 0;) {
        const ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
        if (wrote > 0)
            done += static_cast<std::size_t>(wrote);
        else if (wrote == 0 || errno != EINTR)
            problem = wrote == 0 ? EIO : errno;
    }
    // A file system that reserves space late reports a full disk here.
    if (problem == 0 && ::fsync(fd) != 0)
        problem = errno;
    if (::close(fd) != 0 && problem == 0)
        problem = errno;
    if (problem != 0)
        ::unlink(path.c_str());
    return problem;
}

// Adds a word to the movetext, starting a new line when the line would grow too long.
void append(std::string& text, std::size_t& lineStart, const std::string& word)
{
    if (text.size() > lineStart && text.size() - lineStart + 1 + word.size() > c_LineWidth) {
        text += '\n';
        lineStart = text.size();
    } else if (text.size() > lineStart) {
        text += ' ';
    }
    text += word;
}
} // namespace

std::string PdnWriter::write(const Game& game)
{
    // The set-up is written from the game's start, whatever tag it was read from.
    std::vector<std::pair<std::string, std::string>> tags;
    for (const auto& tag : game.tags())
        if (tag.first != "FEN")
            tags.push_back(tag);
    auto put = [&tags](const std::string& name, const std::string& value) {
        for (auto& tag : tags)
            if (tag.first == name) {
                tag.second = value;
                return;
            }
        tags.emplace_back(name, value);
    };
    const char* result = Game::resultText(game.result());
    put("Result", result);
    put("GameType", "20");
    if (game.start() != Position::initial())
        put("FEN", game.start().toFen());

    std::string text;
    for (const auto& tag : tags)
        text += "[" + tag.first + " " + quoted(tag.second) + "]\n";
    text += '\n';

    std::size_t lineStart = text.size();
    for (std::size_t ply = 0; ply < game.moves().size(); ++ply) {
        const bool black = game.positionBefore(ply).sideToMove() == Color::Black;
        if (!black || ply == 0)
            append(text, lineStart, std::to_string(game.moveNumber(ply)) + (black ? "..." : "."));
        append(text, lineStart, game.moveText(ply));
    }
    append(text, lineStart, result);
    return text + "\n";
}

std::string PdnWriter::write(const std::vector<Game>& games)
{
    std::string text;
    for (const Game& game : games)
        text += (text.empty() ? "" : "\n") + write(game);
    return text;
}

bool PdnWriter::writeFile(const std::string& path, const std::vector<Game>& games, std::string& error)
{
    const int problem = createFile(path, write(games));
    if (problem != 0)
        error = "Cannot write \"" + Core::quotable(path) + "\": " + std::strerror(problem) + ".";
    return problem == 0;
}

std::string PdnWriter::writeNewFile(const std::string& stem, const std::vector<Game>& games, std::string& error)
{
    const std::string text = write(games);
    for (int n = 1; n <= c_NamesTried; ++n) {
        const std::string path = stem + (n == 1 ? "" : "-" + std::to_string(n)) + ".pdn";
        const int problem = createFile(path, text);
        if (problem == 0)
            return path;
        if (problem != EEXIST && problem != ELOOP) {
            error = "Cannot write \"" + Core::quotable(path) + "\": " + std::strerror(problem) + ".";
            return "";
        }
    }
    error = "Cannot write \"" + Core::quotable(stem) + ".pdn\": that name and -2 to -" + std::to_string(c_NamesTried) +
            " are all taken.";
    return "";
}

} // namespace Draughts
