#include "Options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace Draughts
{

namespace
{
bool readSide(const std::string& value, bool& computer)
{
    if (value == "human")
        computer = false;
    else if (value == "computer")
        computer = true;
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
                return fail("more than one file given: '" + m_File + "' and '" + name + "'");
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
        if (name != "--white" && name != "--black" && name != "--time" && name != "--level")
            return fail("unknown option '" + name + "' (see --help)");
        if (!hasValue) {
            if (i + 1 >= arguments.size())
                return fail("option " + name + " needs a value");
            value = arguments[++i];
        }
        if (name == "--white" || name == "--black") {
            if (!readSide(value, name == "--white" ? m_WhiteComputer : m_BlackComputer))
                return fail("option " + name + " takes 'human' or 'computer', not '" + value + "'");
        } else if (name == "--time") {
            char* end = nullptr;
            errno = 0;
            const double seconds = std::strtod(value.c_str(), &end);
            if (value.empty() || *end != '\0' || errno != 0 || !std::isfinite(seconds) || seconds < 0.05 ||
                seconds > 3600.0)
                return fail("option --time takes seconds from 0.05 to 3600, not '" + value + "'");
            m_Seconds = seconds;
        } else {
            char* end = nullptr;
            errno = 0;
            const long level = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || errno != 0 || level < 1 || level > 10)
                return fail("option --level takes a whole number from 1 to 10, not '" + value + "'");
            m_Level = static_cast<int>(level);
        }
    }
    return Outcome::Run;
}

std::string Options::usage()
{
    return "Usage: draughts [--white human|computer] [--black human|computer] [--time SECONDS]\n"
           "                [--level 1..10] [FILE.pdn]\n"
           "International draughts on a 10 x 10 board, against the computer or another person.\n"
           "  --white, --black  who plays that side (default: White human, Black computer)\n"
           "  --time SECONDS    the computer's thinking time per move (default 1)\n"
           "  --level N         the computer's strength, 1 (beginner) to 10 (default 5)\n"
           "  FILE.pdn          replays the file's first game: left and right arrows step\n"
           "                    through it, and play may go on from any move\n"
           "  --help            this text\n"
           "In the window: click a piece, then a marked square. Keys: n new game, u undo,\n"
           "s save as PDN, h hint, arrows step through the game, Escape quits.\n";
}

} // namespace Draughts
