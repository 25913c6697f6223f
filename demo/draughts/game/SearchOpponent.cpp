#include "SearchOpponent.h"

namespace Draughts
{

namespace
{
OpponentEvent progressOf(const SearchResult& found, std::size_t ply)
{
    OpponentEvent event;
    event.kind = OpponentEvent::Kind::Progress;
    event.ply = ply;
    event.move = found.best;
    event.depth = found.depth;
    event.score = found.score / 100.0;
    event.hasScore = true;
    event.nodes = found.nodes;
    event.seconds = found.seconds;
    event.line = found.principalVariation;
    return event;
}
} // namespace

SearchOpponent::SearchOpponent(int level, std::size_t tableMegabytes)
    : m_Level(level), m_Search(std::make_unique<Search>(tableMegabytes))
{
}

SearchOpponent::~SearchOpponent()
{
    cancel();
}

std::string SearchOpponent::name() const
{
    return "Computer (level " + std::to_string(m_Level) + ")";
}

void SearchOpponent::join()
{
    if (m_Thread.joinable())
        m_Thread.join();
}

void SearchOpponent::push(OpponentEvent event)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Events.push_back(std::move(event));
}

bool SearchOpponent::start(const Game& game, const OpponentRequest& request, std::string& /*error*/)
{
    cancel();
    m_Stop = false;
    m_Thinking = true;
    const std::size_t ply = game.moves().size();
    SearchLimits limits;
    limits.seconds = request.seconds;
    limits.level = request.level;
    limits.seed = request.seed;
    limits.stop = &m_Stop;
    limits.progress = [this, ply](const SearchResult& found) { push(progressOf(found, ply)); };
    // The thread gets its own copy of the game; it touches nothing else but the search,
    // which no one else uses while it runs, and the event queue under its lock.
    m_Thread = std::thread([this, game, limits, ply]() {
        const SearchResult found = m_Search->run(game, limits);
        OpponentEvent event = progressOf(found, ply);
        event.kind = OpponentEvent::Kind::Move;
        if (found.best.isEmpty()) {
            event.kind = OpponentEvent::Kind::Error;
            event.text = "The computer found no move: the game is over.";
        }
        push(std::move(event));
    });
    return true;
}

bool SearchOpponent::poll(OpponentEvent& event)
{
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        if (m_Events.empty())
            return false;
        event = std::move(m_Events.front());
        m_Events.pop_front();
    }
    if (event.kind != OpponentEvent::Kind::Progress) {
        join();
        m_Thinking = false;
    }
    return true;
}

void SearchOpponent::wait()
{
    join();
}

void SearchOpponent::cancel()
{
    m_Stop = true;
    join();
    m_Thinking = false;
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Events.clear();
}

void SearchOpponent::newGame()
{
    cancel();
    m_Search->clear();
}

} // namespace Draughts
