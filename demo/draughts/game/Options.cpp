#include "Options.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>
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

bool isNumericAddress(const std::string& text)
{
    unsigned char address[16];
    return inet_pton(AF_INET, text.c_str(), address) == 1 || inet_pton(AF_INET6, text.c_str(), address) == 1;
}

// HOST, HOST:PORT, [IPV6] or [IPV6]:PORT; an IPv6 address alone (more than one colon) is a
// host without a port.
bool readHostPort(const std::string& text, std::string& host, int& port)
{
    std::string portText;
    if (!text.empty() && text[0] == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string::npos || (close + 1 < text.size() && text[close + 1] != ':'))
            return false;
        host = text.substr(1, close - 1);
        if (close + 1 < text.size())
            portText = text.substr(close + 2);
        else
            portText = "27531";
    } else if (std::count(text.begin(), text.end(), ':') == 1) {
        const std::size_t colon = text.find(':');
        host = text.substr(0, colon);
        portText = text.substr(colon + 1);
    } else {
        host = text;
        portText = "27531";
    }
    const bool plainHost = !host.empty() && std::all_of(host.begin(), host.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == ':' || c == '%' || c == '_';
    });
    long value = 0;
    if (!plainHost || !readWhole(portText, 1, 65535, value))
        return false;
    port = static_cast<int>(value);
    return true;
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
        if (name == "--dxp-initiate" || name == "--dxp-trace") {
            if (hasValue)
                return fail("option " + name + " takes no value");
            (name == "--dxp-initiate" ? m_DxpInitiate : m_DxpTrace) = true;
            continue;
        }
        if (name == "--dxp-listen") {
            if (m_Network == Network::Connect)
                return fail("give --dxp-listen or --dxp-connect, not both");
            m_Network = Network::Listen;
            // The port is optional: a next argument of digits alone is it.
            if (!hasValue && i + 1 < arguments.size() && !arguments[i + 1].empty() &&
                arguments[i + 1].find_first_not_of("0123456789") == std::string::npos) {
                value = arguments[++i];
                hasValue = true;
            }
            long port = m_DxpPort;
            if (hasValue && !readWhole(value, 0, 65535, port))
                return fail("option --dxp-listen takes a port from 0 to 65535 (0: any free one), not '" +
                            Core::quotable(value) + "'");
            m_DxpPort = static_cast<int>(port);
            continue;
        }
        if (name != "--white" && name != "--black" && name != "--time" && name != "--level" && name != "--engine" &&
            name != "--engine-time" && name != "--game" && name != "--glide" && name != "--dxp-connect" &&
            name != "--dxp-bind")
            return fail("unknown option '" + Core::quotable(name) + "' (see --help)");
        if (!hasValue) {
            if (i + 1 >= arguments.size())
                return fail("option " + name + " needs a value");
            value = arguments[++i];
        }
        if (name == "--dxp-connect") {
            if (m_Network == Network::Listen)
                return fail("give --dxp-listen or --dxp-connect, not both");
            m_Network = Network::Connect;
            if (!readHostPort(value, m_DxpAddress, m_DxpPort))
                return fail("option --dxp-connect takes HOST or HOST:PORT (PORT from 1 to 65535; an IPv6 address as "
                            "[ADDRESS]:PORT), not '" +
                            Core::quotable(value) + "'");
        } else if (name == "--dxp-bind") {
            if (!isNumericAddress(value))
                return fail("option --dxp-bind takes a numeric IPv4 or IPv6 address, not '" + Core::quotable(value) +
                            "'");
            m_DxpAddress = value;
            m_DxpBind = true;
        } else if (name == "--glide") {
            if (!readDecimal(value, m_Glide) || m_Glide > 10.0)
                return fail("option --glide takes seconds from 0 to 10, not '" + Core::quotable(value) + "'");
        } else if (name == "--white" || name == "--black") {
            (name == "--white" ? m_WhiteGiven : m_BlackGiven) = true;
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
    if (m_Network != Network::None) {
        const Outcome network = readNetwork();
        if (network != Outcome::Run)
            return network;
    } else if (m_DxpBind || m_DxpInitiate || m_DxpTrace) {
        return fail(std::string("option ") +
                    (m_DxpBind       ? "--dxp-bind"
                     : m_DxpInitiate ? "--dxp-initiate"
                                     : "--dxp-trace") +
                    " needs --dxp-listen" + (m_DxpBind || m_DxpInitiate ? "" : " or --dxp-connect"));
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

Options::Outcome Options::readNetwork()
{
    if (m_Network == Network::Connect && (m_DxpBind || m_DxpInitiate))
        return fail(std::string("option ") + (m_DxpBind ? "--dxp-bind" : "--dxp-initiate") +
                    " goes with --dxp-listen (the connecting side asks for the game anyway)");
    if (m_WhiteGiven && m_BlackGiven)
        return fail("over DXP, name one side (--white or --black) at most: the remote player plays the other");
    if (!m_File.empty())
        return fail("a DXP game starts from the beginning: no file may be given with --dxp-listen or --dxp-connect");
    // The side played here: the one named, else White by the person.
    const Side local = m_WhiteGiven ? m_White : m_BlackGiven ? m_Black : Side::Human;
    const bool localWhite = !m_BlackGiven;
    m_White = localWhite ? local : Side::Remote;
    m_Black = localWhite ? Side::Remote : local;
    if (!m_Engine.empty() && local == Side::Computer)
        (localWhite ? m_White : m_Black) = Side::Engine;
    return Outcome::Run;
}

std::string Options::usage()
{
    return "Usage: draughts [--white human|computer|engine] [--black human|computer|engine]\n"
           "                [--time SECONDS] [--level 1..10] [--engine \"COMMAND [ARGS]\"]\n"
           "                [--engine-time SECONDS] [--game N] [--glide SECONDS] [FILE.pdn]\n"
           "       draughts --dxp-listen [PORT] [--dxp-bind ADDR] [--dxp-initiate] [OPTIONS]\n"
           "       draughts --dxp-connect HOST[:PORT] [OPTIONS]\n"
           "International draughts on a 10 x 10 board, against the computer, a Hub engine\n"
           "program or another person, here or over the network (DXP).\n"
           "  --white, --black  who plays that side (default: White human, Black computer)\n"
           "  --time SECONDS    the computer's thinking time per move (default 1)\n"
           "  --level N         the computer's strength, 1 (beginner) to 10 (default 5)\n"
           "  --engine COMMAND  a Hub engine program (with its arguments, in one argument),\n"
           "                    started without a shell; it plays the sides given 'engine'\n"
           "                    (without one, the computer's sides)\n"
           "  --engine-time S   the engine's time per move (default: --time)\n"
           "  --glide SECONDS   how long a piece takes per square it lands on (default 0.4;\n"
           "                    0 shows moves at once)\n"
           "  FILE.pdn          replays a game of the file: left and right arrows step\n"
           "                    through it, and play may go on from any move. With several\n"
           "                    games, their list is shown: arrows, page up/down, home/end\n"
           "                    choose one, Enter opens it, g comes back to the list. A game\n"
           "                    with an error is replayed up to it\n"
           "  --game N          opens game N of the file (from 1) at once\n"
           "  --dxp-listen [PORT]  waits for one DXP player to connect (port 27531 by\n"
           "                    default, 0 for any free one), on the loopback address only\n"
           "                    unless --dxp-bind gives another (0.0.0.0: every address)\n"
           "  --dxp-connect HOST[:PORT]  connects to a DXP player (an IPv6 address as\n"
           "                    [ADDRESS]:PORT)\n"
           "  --dxp-initiate    the listening side asks for the game once connected (by\n"
           "                    default the connecting side does)\n"
           "  --dxp-trace       writes each DXP message sent (>) and received (<) on\n"
           "                    standard error\n"
           "  --help            this text\n"
           "Over DXP one side is played here: the one --white or --black names (human,\n"
           "computer or engine), else White by you; the remote player plays the other.\n"
           "The side that asks for the game chooses the colours so; the other plays the\n"
           "colour it is given. The request gives 50 moves in the time --time allows them.\n"
           "In the window: click a piece, then a marked square. Keys: n new game, u undo,\n"
           "s save as PDN, h hint, arrows step through the game, g the list of games,\n"
           "Escape quits; when an engine or the remote player fails, c hands its side to\n"
           "the computer and m to you.\n"
           "Exit status: 0 when the game ends with Escape, 1 when no window can be opened,\n"
           "2 for a wrong command line, a file that cannot be read or one without a game.\n";
}

} // namespace Draughts
