#include "ComputerPlayer.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace Draughts
{

namespace
{
// Scheduling priority of the search thread (Linux threads have their own): well below the
// window's, which keeps 0.
constexpr int c_Niceness = 10;
} // namespace

ComputerPlayer::ComputerPlayer() : m_Search(std::make_unique<Search>())
{
}

ComputerPlayer::~ComputerPlayer()
{
    cancel();
}

void ComputerPlayer::join()
{
    if (m_Thread.joinable())
        m_Thread.join();
}

void ComputerPlayer::start(const Game& game, const SearchLimits& limits, Purpose purpose)
{
    cancel();
    m_Stop = false;
    m_Done = false;
    m_Busy = true;
    m_Purpose = purpose;
    m_Result = Result();
    m_Result.purpose = purpose;
    m_Result.ply = game.moves().size();
    SearchLimits own = limits;
    own.stop = &m_Stop;
    // The thread gets its own copy of the game; it touches nothing else but the search,
    // which no one else uses while it runs.
    m_Thread = std::thread([this, game, own]() {
        // The window's thread goes first when both want the processor: frames stay quick.
        setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), c_Niceness);
        SearchResult found = m_Search->run(game, own);
        m_Result.search = std::move(found);
        m_Done.store(true, std::memory_order_release);
    });
}

bool ComputerPlayer::takeResult(Result& result)
{
    if (!m_Busy || !m_Done.load(std::memory_order_acquire))
        return false;
    join();
    result = std::move(m_Result);
    m_Busy = false;
    return true;
}

void ComputerPlayer::wait()
{
    join();
}

void ComputerPlayer::cancel()
{
    m_Stop = true;
    join();
    m_Busy = false;
}

void ComputerPlayer::clear()
{
    cancel();
    m_Search->clear();
}

} // namespace Draughts
