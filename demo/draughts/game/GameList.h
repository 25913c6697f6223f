#pragma once

#include <cstddef>
#include <string>

#include "PdnDatabase.h"

namespace Draughts
{

// The games of a PDN database as a list to choose from: one game is the chosen one, and a
// page of lines around it is shown, one per game: its number, White and Black, the event,
// the date, the result, the moves and, for a game with an error, the error (else its first
// warning). Only the index is read to show it; no game is built.
class GameList
{
public:
    enum class Step
    {
        Up,
        Down,
        PageUp,
        PageDown,
        Home,
        End
    };
    // Games on a page.
    static constexpr std::size_t c_PageLines = 12;

    GameList() = default;
    explicit GameList(PdnDatabase database) : m_Database(std::move(database)) {}

    const PdnDatabase& database() const { return m_Database; }
    std::size_t size() const { return m_Database.size(); }
    // The chosen game, from 0.
    std::size_t chosen() const { return m_Chosen; }
    // Moves the choice, staying within the list.
    void step(Step step);
    // Chooses game i (the last when i is beyond it).
    void choose(std::size_t i);

    // Game i's line (without the mark of the chosen one).
    std::string line(std::size_t i) const;
    // A heading, then the lines of the page holding the chosen game, that one marked ">".
    std::string page() const;

private:
    PdnDatabase m_Database;
    std::size_t m_Chosen = 0;
};

} // namespace Draughts
