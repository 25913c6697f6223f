#include "HubOpponent.h"

namespace Draughts
{

namespace
{
// A reason of the client's as a sentence of its own.
std::string sentence(std::string text)
{
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z')
        text[0] = static_cast<char>(text[0] - 'a' + 'A');
    return text + ".";
}
} // namespace

HubOpponent::HubOpponent(const std::string& command, double seconds) : m_Seconds(seconds)
{
    std::string error;
    if (!m_Client.start(command, error)) {
        // Reported at once, not when it is first asked.
        m_Failure = "No engine: " + error + ".";
        failed(m_Failure);
    }
}

std::string HubOpponent::name() const
{
    return m_Client.name().empty() ? std::string("engine") : "engine " + m_Client.name();
}

void HubOpponent::failed(const std::string& why)
{
    m_Thinking = false;
    m_Pending = false;
    m_Discarding = false;
    OpponentEvent event;
    event.kind = OpponentEvent::Kind::Error;
    event.text = why;
    m_Events.push_back(event);
}

bool HubOpponent::start(const Game& game, const OpponentRequest& request, std::string& error)
{
    if (!m_Failure.empty() || m_Client.hasFailed()) {
        error = !m_Failure.empty() ? m_Failure : sentence(m_Client.failure());
        // Told now: the failure's event, not yet taken, would only say it again.
        m_Events.clear();
        return false;
    }
    cancel();
    m_Thinking = true;
    m_Pending = true;
    m_PendingGame = game;
    m_PendingRequest = request;
    m_Ply = game.moves().size();
    launchPending();
    return true;
}

void HubOpponent::launchPending()
{
    if (!m_Pending || m_Discarding || !m_Client.isReady() || m_Client.isSearching())
        return;
    m_Pending = false;
    const bool play = m_PendingRequest.purpose == OpponentRequest::Purpose::Play;
    const double seconds = play && m_Seconds > 0.0 ? m_Seconds : m_PendingRequest.seconds;
    std::string error;
    if (!m_Client.go(m_PendingGame, play ? HubClient::Mode::Think : HubClient::Mode::Analyze, seconds, error))
        failed(sentence(error));
}

void HubOpponent::cancel()
{
    if (m_Thinking && !m_Pending && m_Client.isSearching()) {
        m_Client.stop();
        m_Discarding = true;
    }
    m_Thinking = false;
    m_Pending = false;
    // Reports of the cancelled request that were taken in already go too.
    std::deque<OpponentEvent> kept;
    for (OpponentEvent& event : m_Events)
        if (event.kind == OpponentEvent::Kind::Error)
            kept.push_back(std::move(event));
    m_Events.swap(kept);
}

void HubOpponent::close()
{
    cancel();
    m_Client.close();
}

void HubOpponent::newGame()
{
    cancel();
    m_Client.newGame();
}

bool HubOpponent::poll(OpponentEvent& out)
{
    HubClient::Event event;
    // The client's events until one is for the session (a bounded number per call).
    for (int taken = 0; taken < 64 && m_Events.empty() && m_Client.poll(event, 0); ++taken) {
        switch (event.kind) {
        case HubClient::Event::Kind::Ready:
            launchPending();
            break;
        case HubClient::Event::Kind::Info:
            if (!m_Thinking || m_Pending || m_Discarding)
                break;
            {
                OpponentEvent progress;
                progress.kind = OpponentEvent::Kind::Progress;
                progress.ply = m_Ply;
                progress.depth = event.depth;
                progress.score = event.score;
                progress.hasScore = event.hasScore;
                progress.nodes = event.nodes;
                progress.seconds = event.seconds;
                progress.line = event.line;
                progress.move = event.move;
                m_Events.push_back(progress);
            }
            break;
        case HubClient::Event::Kind::Done:
            if (m_Discarding) {
                m_Discarding = false;
                launchPending();
                break;
            }
            if (!m_Thinking)
                break;
            {
                OpponentEvent answer;
                answer.kind = OpponentEvent::Kind::Move;
                answer.ply = m_Ply;
                answer.move = event.move;
                m_Thinking = false;
                m_Events.push_back(answer);
            }
            break;
        case HubClient::Event::Kind::Error:
            failed(sentence(event.text));
            break;
        }
    }
    if (m_Events.empty())
        return false;
    out = std::move(m_Events.front());
    m_Events.pop_front();
    return true;
}

} // namespace Draughts
