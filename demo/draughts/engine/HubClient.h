#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "ChildProcess.h"
#include "Game.h"
#include "HubLine.h"

namespace Draughts
{

// The GUI side of the Hub protocol (version 2): starts an engine program without a shell,
// takes it through its start-up (hub, parameters, init), hands it searches and reports
// what it says as data. Nothing blocks longer than poll() is told to wait, so a window
// can drive it from its main loop and a command-line tool by waiting in poll().
//
// Everything from the engine is untrusted: lines are bounded, its start-up must end within
// the start-up time, a search must end within its time plus two seconds, its moves are
// checked against the rules, and a process that dies or does not read is noticed. Any of
// these ends the client in the failed state with a one-line reason (an Error event); the
// process is then stopped. Destroying the client sends quit, and kills and reaps the
// process if it does not end by itself at once.
class HubClient
{
public:
    struct Event
    {
        enum class Kind
        {
            // The start-up is over: searches may be asked for.
            Ready,
            // What the engine reports during a search (fields it left out are 0 or empty).
            Info,
            // The search's answer: `move` (legal in the searched position), `ponder` when
            // given and legal after it.
            Done,
            // The engine failed: `text` says how, in one line. The client is finished.
            Error
        };
        Kind kind = Kind::Info;
        int depth = 0;
        double score = 0.0;
        bool hasScore = false;
        std::uint64_t nodes = 0;
        double seconds = 0.0;
        // The expected line from the searched position, as far as its moves are legal.
        std::vector<Move> line;
        Move move;
        Move ponder;
        std::string text;
    };

    enum class Mode
    {
        Think,
        Analyze
    };

    // Seconds a search may overrun its time before the engine counts as hanging.
    static constexpr double c_Grace = 2.0;

    HubClient() = default;
    ~HubClient();
    HubClient(const HubClient&) = delete;
    HubClient& operator=(const HubClient&) = delete;

    // Parameters sent with set-param during the start-up (those the engine does not offer
    // are left out).
    void setParameter(const std::string& name, const std::string& value) { m_Parameters.emplace_back(name, value); }
    // Seconds the start-up may take (10 by default).
    void setStartUpTime(double seconds) { m_StartUpSeconds = seconds; }
    // Starts the program the command names (split like a shell's words, run without one)
    // and sends hub; the start-up goes on in poll(). False, with a one-line reason, when
    // the command is empty or malformed or the program cannot be started.
    bool start(const std::string& command, std::string& error);
    // The name the engine gave (its program's name until it has).
    const std::string& name() const { return m_Name; }
    bool isReady() const { return m_State == State::Idle || m_State == State::Searching; }
    bool isSearching() const { return m_State == State::Searching; }
    bool hasFailed() const { return m_State == State::Failed; }
    // The reason it failed, "" otherwise.
    const std::string& failure() const { return m_Failure; }

    // Asks for a search of the game's position (sent as the position after the last
    // capture or man move, and the moves since) for `seconds`: "level move-time"; analysis
    // is stopped when the time is up. False, with a one-line reason, when the client is not
    // ready, a search runs, the game is over, or the engine does not read.
    bool go(const Game& game, Mode mode, double seconds, std::string& error);
    // Asks the search running to end now; its Done still comes (within the grace time).
    void stop();
    // Tells the engine a new game begins (between searches).
    void newGame();
    // Takes the next event: lines that have arrived, or that arrive within `waitMs`, the
    // time-outs and the process's end. False when there is nothing to report.
    bool poll(Event& event, int waitMs = 0);
    // Ends the engine: quit, then stop and reap the process. The client is finished.
    void close();

private:
    enum class State
    {
        NotStarted,
        Starting,
        Initialising,
        Idle,
        Searching,
        Failed,
        Closed
    };
    using Clock = std::chrono::steady_clock;

    bool send(const HubLine& line);
    bool fail(const std::string& why, Event& event);
    // Acts on one line; true when it made an event.
    bool handle(const std::string& text, Event& event);
    void readInfo(const HubLine& line, Event& event) const;
    // Whether a time limit has passed (failing the engine, or stopping an analysis).
    bool checkTime(Event& event);
    std::vector<Move> readLine(const std::string& text) const;

    ChildProcess m_Process;
    State m_State = State::NotStarted;
    std::string m_Name;
    std::string m_Failure;
    double m_StartUpSeconds = 10.0;
    std::vector<std::pair<std::string, std::string>> m_Parameters;
    std::vector<std::string> m_Offered;
    Clock::time_point m_Deadline;
    // An analysis is stopped at this time; the search's deadline then moves to the grace.
    Clock::time_point m_StopAt;
    bool m_StopSent = false;
    Mode m_Mode = Mode::Think;
    Position m_Searched;
};

} // namespace Draughts
