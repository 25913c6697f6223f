#include "PdnWriter.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace Draughts
{
namespace
{
constexpr std::size_t c_LineWidth = 80;

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
    const std::string text = write(games);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error = "Cannot write \"" + path + "\": " + std::strerror(errno) + ".";
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const int savedErrno = errno;
    if (std::fclose(file) != 0 || !written) {
        error = "Cannot write \"" + path + "\": " + std::strerror(written ? errno : savedErrno) + ".";
        return false;
    }
    return true;
}

} // namespace Draughts
