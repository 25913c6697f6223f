#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "ChildProcess.h"
#include "Game.h"

namespace Draughts
{

// A Hub engine program as one player of a match: started without a shell, taken through
// the start-up, asked for one move at a time and waited for (a match has nothing else to
// do meanwhile). Whatever the engine says is checked: a start-up or a search that does not
// end in time, a move that is not legal, a process that ends: each makes the call fail with
// a one-line reason. Destroying it sends quit and reaps the process.
class MatchEngine
{
public:
    // How long a move may take: a fixed number of positions or a fixed time.
    struct Limit
    {
        std::uint64_t nodes = 0;
        double seconds = 0.1;
    };

    MatchEngine() = default;
    ~MatchEngine();
    MatchEngine(const MatchEngine&) = delete;
    MatchEngine& operator=(const MatchEngine&) = delete;

    // Starts the command (words split as a shell would, no shell run), sends the parameters
    // (name, value) and waits for ready. False with a one-line reason on failure.
    bool start(const std::string& command, const std::vector<std::pair<std::string, std::string>>& parameters,
               std::string& error);
    // The name it gave in its id line (the command until then).
    const std::string& name() const { return m_Name; }
    // Tells it a new game begins.
    bool newGame(std::string& error);
    // Its move in the game's position (which must have legal moves). False with a reason
    // when it fails to answer in time or answers with anything but a legal move.
    bool play(const Game& game, const Limit& limit, Move& move, std::string& error);

private:
    // Reads lines until one with the command arrives or the time is up.
    bool await(const std::string& command, int timeoutMs, std::string& line, std::string& error);
    bool send(const std::string& line, std::string& error);

    ChildProcess m_Process;
    std::string m_Name;
    // The last error the engine reported.
    std::string m_Complaint;
};

} // namespace Draughts
