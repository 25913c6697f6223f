#include "GameList.h"

#include <algorithm>

namespace Draughts
{
namespace
{
// A field of a line: control characters become spaces, and it is cut to `width` bytes
// (before a whole UTF-8 character), "..." marking the cut.
std::string field(const std::string& text, std::size_t width)
{
    std::string shown;
    for (char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        // Cut only before a character's first byte.
        if (shown.size() >= width && (byte & 0xC0) != 0x80)
            return shown + "...";
        shown += byte < 0x20 || byte == 0x7F ? ' ' : c;
    }
    return shown;
}
} // namespace

void GameList::step(Step step)
{
    const std::size_t last = size() == 0 ? 0 : size() - 1;
    switch (step) {
    case Step::Up:
        m_Chosen = m_Chosen > 0 ? m_Chosen - 1 : 0;
        break;
    case Step::Down:
        m_Chosen = m_Chosen < last ? m_Chosen + 1 : last;
        break;
    case Step::PageUp:
        m_Chosen = m_Chosen > c_PageLines ? m_Chosen - c_PageLines : 0;
        break;
    case Step::PageDown:
        m_Chosen = last - m_Chosen > c_PageLines ? m_Chosen + c_PageLines : last;
        break;
    case Step::Home:
        m_Chosen = 0;
        break;
    case Step::End:
        m_Chosen = last;
        break;
    }
}

void GameList::choose(std::size_t i)
{
    m_Chosen = size() == 0 ? 0 : std::min(i, size() - 1);
}

std::string GameList::line(std::size_t i) const
{
    using Tag = PdnDatabase::Tag;
    const std::string white = m_Database.tag(i, Tag::White), black = m_Database.tag(i, Tag::Black);
    std::string text = std::to_string(i + 1) + ". " + field(white.empty() ? "?" : white, 24) + " - " +
                       field(black.empty() ? "?" : black, 24);
    for (Tag tag : {Tag::Event, Tag::Date}) {
        const std::string value = m_Database.tag(i, tag);
        if (!value.empty())
            text += ", " + field(value, 32);
    }
    const std::size_t moves = m_Database.numberedMoves(i);
    text += "  " + std::string(Game::resultText(m_Database.result(i))) + "  " + std::to_string(moves) +
            (moves == 1 ? " move" : " moves");
    if (m_Database.hasError(i) || m_Database.hasWarning(i))
        for (const PdnError& problem : m_Database.problems(i))
            if (!problem.warning || !m_Database.hasError(i))
                return text + "  " + (problem.warning ? "" : "ERROR ") + field(problem.toString(false), 100);
    return text;
}

std::string GameList::page() const
{
    std::string text = "Game " + std::to_string(m_Chosen + 1) + " of " + std::to_string(size()) +
                       ": up and down, page up and down, home and end choose; Enter opens it.";
    const std::size_t first = m_Chosen / c_PageLines * c_PageLines;
    for (std::size_t i = first; i < size() && i < first + c_PageLines; ++i)
        text += (i == m_Chosen ? "\n> " : "\n   ") + line(i);
    return text;
}

} // namespace Draughts
