#include "MatchEngine.h"

#include <chrono>
#include <cstdio>

#include "HubLine.h"
#include "HubNotation.h"

namespace Draughts
{
namespace
{
constexpr int c_StartUpMs = 10000;
// A fixed-node search may take this long on a loaded machine; a timed one its time plus this.
constexpr int c_NodesSearchMs = 60000;
constexpr int c_GraceMs = 5000;
} // namespace

MatchEngine::~MatchEngine()
{
    if (m_Process.isStarted()) {
        m_Process.writeLine("quit", 100);
        m_Process.stop(1000);
    }
}

bool MatchEngine::send(const std::string& line, std::string& error)
{
    if (m_Process.writeLine(line))
        return true;
    error = m_Name + " does not read its input";
    return false;
}

bool MatchEngine::await(const std::string& command, int timeoutMs, std::string& found, std::string& error)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string text;
    bool tooLong = false;
    while (true) {
        const int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
        if (left <= 0) {
            error = m_Name + " did not answer " + command + " in time";
            return false;
        }
        const ChildProcess::Read read = m_Process.readLine(text, tooLong, left);
        if (read == ChildProcess::Read::Closed) {
            m_Process.hasEnded();
            error = m_Name + " ended (" + m_Process.exitDescription() + ")";
            return false;
        }
        if (read == ChildProcess::Read::Nothing || tooLong)
            continue;
        HubLine line;
        std::string ignored;
        if (!HubLine::parse(text, line, ignored))
            continue;
        if (line.command() == "id")
            line.value("name", m_Name);
        if (line.command() == "error") {
            std::string message;
            line.value("message", message);
            std::fprintf(stderr, "draughts_match: %s says: %s\n", m_Name.c_str(), message.c_str());
            m_Complaint = message;
        }
        if (line.command() == command) {
            found = text;
            return true;
        }
    }
}

bool MatchEngine::start(const std::string& command,
                        const std::vector<std::pair<std::string, std::string>>& parameters, std::string& error)
{
    std::vector<std::string> words;
    if (!ChildProcess::split(command, words, error) || !m_Process.start(words, error))
        return false;
    m_Name = words.front();
    std::string line;
    if (!send("hub", error) || !await("wait", c_StartUpMs, line, error))
        return false;
    for (const auto& parameter : parameters)
        if (!send(HubLine("set-param").add("name", parameter.first).add("value", parameter.second).format(), error))
            return false;
    // An engine answers a parameter it cannot take with an error, before ready: a match with
    // the engine set otherwise than asked would measure something else.
    m_Complaint.clear();
    if (!send("init", error) || !await("ready", c_StartUpMs, line, error))
        return false;
    if (!m_Complaint.empty()) {
        error = m_Name + " refused its parameters: " + m_Complaint;
        return false;
    }
    return true;
}

bool MatchEngine::newGame(std::string& error)
{
    // A ping answered shows the engine has taken the new game in.
    std::string line;
    return send("new-game", error) && send("ping", error) && await("pong", c_StartUpMs, line, error);
}

bool MatchEngine::play(const Game& game, const Limit& limit, Move& move, std::string& error)
{
    // The position after the last man move or capture, and the king moves since, so that the
    // engine sees repetitions.
    std::size_t from = game.moves().size();
    while (from > 0) {
        const Move& earlier = game.moves()[from - 1];
        if (earlier.isCapture() || !(game.positionBefore(from - 1).kings() & Bits::maskOf(earlier.fromBit())))
            break;
        --from;
    }
    HubLine position("pos");
    position.add("pos", HubNotation::writePosition(game.positionBefore(from)));
    if (from < game.moves().size()) {
        std::string moves;
        for (std::size_t ply = from; ply < game.moves().size(); ++ply)
            moves += (moves.empty() ? "" : " ") + HubNotation::writeMove(game.moves()[ply]);
        position.add("moves", moves);
    }
    char level[64];
    if (limit.nodes > 0)
        std::snprintf(level, sizeof level, "level nodes=%llu", static_cast<unsigned long long>(limit.nodes));
    else
        std::snprintf(level, sizeof level, "level move-time=%.3f", limit.seconds);
    const int timeoutMs = limit.nodes > 0 ? c_NodesSearchMs : static_cast<int>(limit.seconds * 1000) + c_GraceMs;
    std::string text;
    if (!send(position.format(), error) || !send(level, error) || !send("go think", error) ||
        !await("done", timeoutMs, text, error))
        return false;
    HubLine done;
    std::string written;
    if (!HubLine::parse(text, done, error) || !done.value("move", written)) {
        error = m_Name + " answered without a move";
        return false;
    }
    if (!HubNotation::readMove(game.position(), written, move, error)) {
        error = m_Name + " played " + written + ": " + error;
        return false;
    }
    return true;
}

} // namespace Draughts
