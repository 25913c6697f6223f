#include "Options.h"

#include <charconv>
#include <cerrno>
#include <cstdlib>

#include "core/Quotable.h"

namespace Draughts
{

namespace
{
// The highest game number --game takes (a file of 256 MiB holds fewer games).
constexpr long c_MaxGame = 100000000;

// A plain decimal number: digits with at most one point among or after them ("2", "0.5",
// ".5", "3."); no sign, exponent, blank, hexadecimal or word such as "inf".
bool readDecimal(const std::string& text, double& value)
{
    const std::size_t point = text.find('.');
    const bool digitsOnly = text.find_first_not_of("0123456789.") == std::string::npos;
    if (!digitsOnly || text.find_first_of("0123456789") == std::string::npos ||
        (point != std::string::npos && text.find('.', point + 1) != std::string::npos))
        return false;
    // from_chars reads the point whatever the locale.
    return std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed).ec == std::errc();
}

// A whole number in decimal digits alone, from low to high.
bool readWhole(const std::string& text, long low, long high, long& value)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text.c_str(), &end, 10);
    return *end == '\0' && errno == 0 && value >= low && value <= high;
}

bool readSide(const std::string& value, Options::Side& side)
{
    if (value == "human")
        side = Options::Side::Human;
    else if (value == "computer")
        side = Options::Side::Computer;
    else if (value == "engine")
        side = Options::Side::Engine;
    else
        return false;
    return true;
}
} // namespace

Options::Outcome Options::fail(const std::string& message)
{
    m_Error = message;
    return Outcome::Error;
}

Options::Outcome Options::parse(int argc, const char* const* argv)
{
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.emplace_back(argv[i]);
    return parse(arguments);
}

Options::Outcome Options::parse(const std::vector<std::string>& arguments)
{
    *this = Options();
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string name = arguments[i];
        if (optionsEnded || name.size() < 2 || name[0] != '-') {
            if (!m_File.empty())
                return fail("more than one file given: '" + Core::quotable(m_File) + "' and '" + Core::quotable(name) +
                            "'");
            if (name.empty())
                return fail("an empty file name");
            m_File = name;
            continue;
        }
        if (name == "--") {
            optionsEnded = true;
            continue;
        }
        if (name == "--help" || name == "-h")
            return Outcome::Help;
        std::string value;
        bool hasValue = false;
        const std::size_t equals = name.find('=');
        if (equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.erase(equals);
            hasValue = true;
        }
        if (name != "--white" && name != "--black" && name != "--time" && name != "--level" && name != "--engine" &&
            name != "--engine-time" && name != "--game")
            return fail("unknown option '" + Core::quotable(name) + "' (see --help)");
        if (!hasValue) {
            if (i + 1 >= arguments.size())
                return fail("option " + name + " needs a value");
            value = arguments[++i];
        }
        if (name == "--white" || name == "--black") {
            if (!readSide(value, name == "--white" ? m_White : m_Black))
                return fail("option " + name + " takes 'human', 'computer' or 'engine', not '" + Core::quotable(value) +
                            "'");
        } else if (name == "--time" || name == "--engine-time") {
            double seconds = 0.0;
            if (!readDecimal(value, seconds) || seconds < 0.05 || seconds > 3600.0)
                return fail("option " + name + " takes seconds from 0.05 to 3600, not '" + Core::quotable(value) + "'");
            (name == "--time" ? m_Seconds : m_EngineSeconds) = seconds;
        } else if (name == "--engine") {
            if (value.find_first_not_of(" \t") == std::string::npos)
                return fail("option --engine takes the engine's command, not nothing");
            m_Engine = value;
        } else if (name == "--game") {
            if (!readWhole(value, 1, c_MaxGame, m_Game))
                return fail("option --game takes a game's number from 1, not '" + Core::quotable(value) + "'");
        } else {
            long level = 0;
            if (!readWhole(value, 1, 10, level))
                return fail("option --level takes a whole number from 1 to 10, not '" + Core::quotable(value) + "'");
            m_Level = static_cast<int>(level);
        }
    }
    const bool engineSide = m_White == Side::Engine || m_Black == Side::Engine;
    if (engineSide && m_Engine.empty())
        return fail("a side played by 'engine' needs --engine \"COMMAND [ARGS]\"");
    if (!m_Engine.empty() && !engineSide) {
        if (m_White == Side::Computer)
            m_White = Side::Engine;
        if (m_Black == Side::Computer)
            m_Black = Side::Engine;
    }
    if (m_Game != 0 && m_File.empty())
        return fail("option --game needs a file");
    return Outcome::Run;
}

std::string Options::usage()
{
    return "Usage: draughts [--white human|computer|engine] [--black human|computer|engine]\n"
           "                [--time SECONDS] [--level 1..10] [--engine \"COMMAND [ARGS]\"]\n"
           "                [--engine-time SECONDS] [--game N] [FILE.pdn]\n"
           "International draughts on a 10 x 10 board, against the computer, a Hub engine\n"
           "program or another person.\n"
           "  --white, --black  who plays that side (default: White human, Black computer)\n"
           "  --time SECONDS    the computer's thinking time per move (default 1)\n"
           "  --level N         the computer's strength, 1 (beginner) to 10 (default 5)\n"
           "  --engine COMMAND  a Hub engine program (with its arguments, in one argument),\n"
           "                    started without a shell; it plays the sides given 'engine'\n"
           "                    (without one, the computer's sides)\n"
           "  --engine-time S   the engine's time per move (default: --time)\n"
           "  FILE.pdn          replays a game of the file: left and right arrows step\n"
           "                    through it, and play may go on from any move. With several\n"
           "                    games, their list is shown: arrows, page up/down, home/end\n"
           "                    choose one, Enter opens it, g comes back to the list. A game\n"
           "                    with an error is replayed up to it\n"
           "  --game N          opens game N of the file (from 1) at once\n"
           "  --help            this text\n"
           "In the window: click a piece, then a marked square. Keys: n new game, u undo,\n"
           "s save as PDN, h hint, arrows step through the game, g the list of games,\n"
           "Escape quits; when an engine fails, c hands its side to the computer and m to you.\n"
           "Exit status: 0 when the game ends with Escape, 1 when no window can be opened,\n"
           "2 for a wrong command line, a file that cannot be read or one without a game.\n";
}

} // namespace Draughts
