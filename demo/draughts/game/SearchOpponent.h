#pragma once

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "Opponent.h"
#include "Search.h"

namespace Draughts
{

// The built-in search as an opponent: start() hands a copy of the game to a worker thread,
// which searches at normal priority for the request's whole time and reports each
// completed depth (Progress) and then its move (Move). One request at a time; cancel() and
// the destructor stop the search at once and wait for the thread.
class SearchOpponent final : public Opponent
{
public:
    // With a transposition table of about the given size, allocated now.
    explicit SearchOpponent(int level = 10, std::size_t tableMegabytes = 16);
    ~SearchOpponent() override;
    SearchOpponent(const SearchOpponent&) = delete;
    SearchOpponent& operator=(const SearchOpponent&) = delete;

    // "Computer (level N)", N the level given at construction.
    std::string name() const override;
    // Never fails.
    bool start(const Game& game, const OpponentRequest& request, std::string& error) override;
    void cancel() override;
    bool isThinking() const override { return m_Thinking; }
    bool poll(OpponentEvent& event) override;
    // Forgets what earlier searches learnt.
    void newGame() override;

    // Blocks until the search running has finished (for tests and tools); its events are
    // then ready for poll().
    void wait();

private:
    void join();
    void push(OpponentEvent event);

    int m_Level;
    std::unique_ptr<Search> m_Search;
    std::thread m_Thread;
    std::atomic<bool> m_Stop{false};
    bool m_Thinking = false;
    // Filled by the worker, emptied by poll().
    std::mutex m_Mutex;
    std::deque<OpponentEvent> m_Events;
};

} // namespace Draughts
