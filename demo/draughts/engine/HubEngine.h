#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "Game.h"
#include "HubLine.h"
#include "PatternEvaluation.h"
#include "Search.h"

namespace Draughts
{

// The built-in search behind the Hub protocol (version 2), as the engine side: it reads
// the GUI's lines one by one (handle) and answers through a function that sends one line.
// Searches run on a worker thread, so that ping, stop and ponder-hit are answered while
// one runs; every search ends with exactly one "done". Unknown commands and arguments are
// ignored; a line it cannot accept is answered "error message=...". Parameters: level
// (1-10, the built-in strength), hash (megabytes of the transposition table) and weights
// (the learnt evaluation's file: empty for the installed one, "none" for the hand-set
// evaluation).
//
// Lines are sent from the thread calling handle() and from the search's thread, one at a
// time. Destroyed, it stops a search and waits for its thread (no "done" then).
class HubEngine
{
public:
    static constexpr int c_MaxHashMegabytes = 1024;
    static constexpr int c_MaxThreads = 64;
    // The threads a search uses until the GUI sets them: two where the machine runs two at
    // once (the second searches beside the first, on the shared table, while the opponent's
    // engine waits for the move), else one.
    static int defaultThreads();

    // `send` gets each line to write, without its line end.
    explicit HubEngine(std::function<void(const std::string&)> send);
    ~HubEngine();
    HubEngine(const HubEngine&) = delete;
    HubEngine& operator=(const HubEngine&) = delete;

    // Acts on one line from the GUI (`tooLong`: it was cut at the reader's bound). False
    // once the GUI said quit: the caller ends.
    bool handle(const std::string& text, bool tooLong = false);
    // The GUI's end of input: stops a search at once and waits for its thread.
    void finish();
    // True while a search runs (until its "done" is sent).
    bool isSearching() const { return m_Searching; }
    // Blocks until the search running has sent its "done" (for tests).
    void waitForSearch();

private:
    // What the last "level" asked for.
    struct TimeControl
    {
        enum class Kind
        {
            MoveTime,
            Depth,
            Nodes,
            Clock,
            Infinite
        };
        Kind kind = Kind::MoveTime;
        double seconds = 1.0;
        int depth = 0;
        std::uint64_t nodes = 0;
        int moves = 0;
        double increment = 0.0;
    };

    void send(const HubLine& line);
    void error(const std::string& message);
    void hub();
    void setParam(const HubLine& line);
    void init();
    void position(const HubLine& line);
    void level(const HubLine& line);
    void go(const HubLine& line);
    // The move to ponder on after a search's move, empty for none.
    static Move replyToPonder(const Game& game, const SearchResult& found);
    void ponderHit();
    void stopSearch();
    void joinSearch();
    // The time a search with the clock as the last level said may take, in seconds.
    double allotted() const;
    Search& search();
    void startTimer(double seconds);
    void stopTimer();

    std::function<void(const std::string&)> m_Send;
    std::mutex m_SendMutex;
    int m_Level = 10;
    int m_HashMegabytes = 16;
    int m_Threads = defaultThreads();
    std::shared_ptr<const PatternEvaluation> m_Weights = PatternEvaluation::installed();
    std::shared_ptr<const EndgameTable> m_Endgames = EndgameTable::installed();
    std::unique_ptr<Search> m_Search;
    Game m_Game;
    TimeControl m_Control;
    std::thread m_Thread;
    std::atomic<bool> m_Stop{false};
    std::atomic<bool> m_Searching{false};
    bool m_Pondering = false;
    // Stops a ponder search once its time after ponder-hit is up.
    std::thread m_Timer;
    std::mutex m_TimerMutex;
    std::condition_variable m_TimerWake;
    bool m_TimerCancelled = false;
};

} // namespace Draughts
