#pragma once

#include <deque>
#include <string>

#include "HubClient.h"
#include "Opponent.h"

namespace Draughts
{

// An engine program speaking the Hub protocol as an opponent: started (without a shell)
// when the opponent is made, it plays with "level move-time" and "go think", and gives
// hints with "go analyze", stopped at the hint's time. Its info lines come as Progress,
// its checked move as Move; a missing, dying, hanging or confused engine comes as one
// Error and is stopped for good (the session then hands its side over).
class HubOpponent final : public Opponent
{
public:
    // `command` names the program and its arguments; `seconds` is its time per move (0:
    // the time each request gives).
    HubOpponent(const std::string& command, double seconds);
    ~HubOpponent() override = default;
    HubOpponent(const HubOpponent&) = delete;
    HubOpponent& operator=(const HubOpponent&) = delete;

    // The name the engine gave itself ("engine" followed by its program's name until then).
    std::string name() const override;
    // Asks it (at once, or once its start-up or a cancelled search is over). False, with
    // the reason, once it has failed.
    bool start(const Game& game, const OpponentRequest& request, std::string& error) override;
    // Stops its search; the answer still to come is dropped.
    void cancel() override;
    bool isThinking() const override { return m_Thinking; }
    bool poll(OpponentEvent& event) override;
    void newGame() override;
    // Sends quit, and ends and reaps the process.
    void close() override;

    // The client, for tests.
    const HubClient& client() const { return m_Client; }

private:
    // Hands the waiting request to the engine when it can take it.
    void launchPending();
    void failed(const std::string& why);

    HubClient m_Client;
    double m_Seconds;
    std::string m_Failure;
    bool m_Thinking = false;
    // A request waiting for the start-up or for a cancelled search's answer.
    bool m_Pending = false;
    Game m_PendingGame;
    OpponentRequest m_PendingRequest;
    // The answer of a cancelled search is still to come, and dropped.
    bool m_Discarding = false;
    std::size_t m_Ply = 0;
    std::deque<OpponentEvent> m_Events;
};

} // namespace Draughts
