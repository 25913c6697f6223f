#pragma once

#include <atomic>
#include <memory>
#include <thread>

#include "Game.h"
#include "Search.h"

namespace Draughts
{

// The computer opponent on a worker thread: start() hands it a copy of the game and
// returns at once; the search runs on its own thread until its time is up, and the main
// thread collects the move with takeResult() (polled, for instance once a frame). cancel()
// stops a search at once and forgets it. One search at a time; the destructor cancels.
class ComputerPlayer
{
public:
    // What a search was started for, handed back with its result.
    enum class Purpose
    {
        Play,
        Hint
    };

    struct Result
    {
        Purpose purpose = Purpose::Play;
        // The number of moves the game had when the search started.
        std::size_t ply = 0;
        SearchResult search;
    };

    ComputerPlayer();
    ~ComputerPlayer();
    ComputerPlayer(const ComputerPlayer&) = delete;
    ComputerPlayer& operator=(const ComputerPlayer&) = delete;

    // Starts searching the game's position (a search still running is cancelled first).
    void start(const Game& game, const SearchLimits& limits, Purpose purpose);
    // True from start() until the result is taken or the search cancelled.
    bool isBusy() const { return m_Busy; }
    // What the last search was started for.
    Purpose purpose() const { return m_Purpose; }
    // When the search has finished: its result, and the player is free again. False while
    // it searches or when nothing was started.
    bool takeResult(Result& result);
    // Blocks until the search running has finished (for tests and tools); its result is
    // then ready for takeResult().
    void wait();
    // Stops the search running, if any, waits for its thread and forgets its result.
    void cancel();
    // Forgets what earlier searches learnt (a new game).
    void clear();

private:
    void join();

    std::unique_ptr<Search> m_Search;
    std::thread m_Thread;
    std::atomic<bool> m_Stop{false};
    std::atomic<bool> m_Done{false};
    bool m_Busy = false;
    Purpose m_Purpose = Purpose::Play;
    // Written by the worker before m_Done is set, read by the main thread after.
    Result m_Result;
};

} // namespace Draughts
