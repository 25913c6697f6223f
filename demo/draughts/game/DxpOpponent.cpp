#include "DxpOpponent.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>

#include "core/Quotable.h"

namespace Draughts
{

namespace
{
using Clock = std::chrono::steady_clock;

// Messages handled per poll at most (a flood cannot hold the caller).
constexpr int c_MessagesPerPoll = 16;
// Most characters of a faulty message quoted to the player.
constexpr std::size_t c_Quoted = 40;

std::string moveText(const DxpMessage& move)
{
    if (move.captured.empty())
        return std::to_string(move.from) + "-" + std::to_string(move.to);
    std::string text = std::to_string(move.from) + "x" + std::to_string(move.to) + " taking";
    for (std::size_t i = 0; i < move.captured.size(); ++i)
        text += (i == 0 ? " " : ", ") + std::to_string(move.captured[i]);
    return text;
}

// The reason of an E message for a result seen by the side playing `color`.
int endReason(Result result, Color color)
{
    switch (result) {
    case Result::Draw:
        return 2;
    case Result::WhiteWins:
        return color == Color::White ? 3 : 1;
    case Result::BlackWins:
        return color == Color::Black ? 3 : 1;
    case Result::Ongoing:
        break;
    }
    return 0;
}
} // namespace

DxpOpponent::DxpOpponent(const Settings& settings) : m_Settings(settings)
{
    m_RemoteColor = opponent(settings.localColor);
    m_Minutes = settings.minutes;
    m_Moves = settings.moves;
    std::string error;
    if (settings.listen) {
        if (m_Connection.listen(settings.address, settings.port, error)) {
            m_Phase = Phase::Listening;
            if (m_Settings.trace)
                std::cerr << "DXP listening on " << where() << std::endl;
        } else {
            failed("DXP: cannot listen on " + where() + ": " + error + ".");
        }
    } else if (m_Connection.connect(settings.address, settings.port, settings.connectSeconds, error)) {
        m_Phase = Phase::Connecting;
    } else {
        failed("DXP: cannot connect to " + where() + ": " + error + ".");
    }
}

DxpOpponent::~DxpOpponent()
{
    close();
}

std::string DxpOpponent::where() const
{
    const std::string& host = m_Settings.address;
    const int port = m_Settings.listen && m_Connection.port() != 0 ? m_Connection.port() : m_Settings.port;
    const bool v6 = host.find(':') != std::string::npos;
    return (v6 ? "[" + Core::quotable(host, 64) + "]" : Core::quotable(host, 64)) + ":" + std::to_string(port);
}

std::string DxpOpponent::name() const
{
    return m_RemoteName.empty() ? std::string("remote player") : m_RemoteName;
}

double DxpOpponent::silenceLimit() const
{
    return 60.0 * std::max(m_Minutes, 0) + m_Settings.graceSeconds;
}

std::string DxpOpponent::waiting() const
{
    switch (m_Phase) {
    case Phase::Listening:
        return "Waiting for a DXP connection on " + where() + "...";
    case Phase::Connecting:
        return "Connecting to " + where() + "...";
    case Phase::Requesting:
        return "Connected: waiting for the other side to accept the game.";
    case Phase::AwaitingRequest:
        return "Connected: waiting for " + (m_RemoteName.empty() ? std::string("the other side") : m_RemoteName) +
               " to ask for a game.";
    case Phase::Playing:
    case Phase::Ended:
    case Phase::Closed:
        break;
    }
    return std::string();
}

void DxpOpponent::send(const DxpMessage& message)
{
    const std::string text = message.encode();
    if (m_Settings.trace)
        std::cerr << "DXP > " << Core::quotable(text) << std::endl;
    m_Connection.send(text);
}

void DxpOpponent::push(OpponentEvent event)
{
    m_Events.push_back(std::move(event));
}

void DxpOpponent::failed(const std::string& line)
{
    m_Connection.close();
    m_Phase = Phase::Closed;
    m_Thinking = false;
    m_Holding = false;
    m_Failure = line;
    OpponentEvent event;
    event.kind = OpponentEvent::Kind::Error;
    event.text = line;
    push(event);
}

void DxpOpponent::protocolFault(const std::string& what)
{
    if (m_Phase == Phase::Playing || m_Phase == Phase::Requesting || m_Phase == Phase::AwaitingRequest)
        send(DxpMessage::end(0, 1));
    failed("DXP: " + name() + " sent " + what + ": the game is ended with result unknown and the connection closed.");
}

bool DxpOpponent::start(const Game& game, const OpponentRequest& /*request*/, std::string& error)
{
    if (m_Phase == Phase::Closed) {
        error = m_Failure.empty() ? std::string("DXP: the connection is closed.") : m_Failure;
        m_Events.clear();
        return false;
    }
    m_Thinking = true;
    m_Ply = game.moves().size();
    return true;
}

void DxpOpponent::cancel()
{
    m_Thinking = false;
    std::deque<OpponentEvent> kept;
    for (OpponentEvent& event : m_Events)
        if (event.kind != OpponentEvent::Kind::Move)
            kept.push_back(std::move(event));
    m_Events.swap(kept);
}

void DxpOpponent::connected()
{
    m_TurnStart = Clock::now();
    if (m_Settings.initiate) {
        sendRequest();
    } else {
        m_Phase = Phase::AwaitingRequest;
    }
}

void DxpOpponent::sendRequest()
{
    m_Minutes = m_Settings.minutes;
    m_Moves = m_Settings.moves;
    send(DxpMessage::request(m_Settings.name, opponent(m_Settings.localColor), m_Minutes, m_Moves));
    m_Phase = Phase::Requesting;
    m_TurnStart = Clock::now();
}

void DxpOpponent::beginGame(Color remote, const Position& start)
{
    m_RemoteColor = remote;
    m_Game = Game(start);
    m_Phase = Phase::Playing;
    m_EndSent = false;
    m_Thinking = false;
    m_TurnStart = Clock::now();
    OpponentEvent event;
    event.kind = OpponentEvent::Kind::GameStart;
    event.color = remote;
    event.start = start;
    push(event);
}

bool DxpOpponent::poll(OpponentEvent& out)
{
    if (m_Events.empty() && m_Phase != Phase::Closed) {
        m_Connection.poll();
        if ((m_Phase == Phase::Listening || m_Phase == Phase::Connecting) &&
            m_Connection.state() == DxpConnection::State::Connected)
            connected();
        for (int handled = 0; handled < c_MessagesPerPoll && m_Events.empty() && m_Phase != Phase::Closed; ++handled) {
            std::string text;
            if (m_Holding) {
                text = m_Held;
            } else if (!m_Connection.receive(text)) {
                break;
            }
            if (m_Settings.trace && !m_Holding)
                std::cerr << "DXP < " << Core::quotable(text) << std::endl;
            m_Holding = false;
            if (!handle(text)) {
                m_Held = text;
                m_Holding = true;
                break;
            }
        }
        const bool open = m_Connection.state() != DxpConnection::State::Closed;
        if (m_Events.empty() && !m_Holding && m_Phase != Phase::Closed && !open) {
            std::string rest;
            if (m_Connection.receive(rest)) {
                // Messages are still to be handled first: the next poll does.
                m_Held = rest;
                m_Holding = true;
                if (m_Settings.trace)
                    std::cerr << "DXP < " << Core::quotable(rest) << std::endl;
            } else if (m_Connection.failure().rfind("a message longer", 0) == 0) {
                protocolFault("a message longer than " + std::to_string(DxpMessage::c_MaxLength) + " bytes");
            } else if (m_Phase == Phase::Connecting) {
                failed("DXP: cannot connect to " + where() + ": " + m_Connection.failure() + ".");
            } else if (m_Phase == Phase::Ended) {
                m_Phase = Phase::Closed;
                m_Failure = "DXP: " + name() + " closed the connection.";
                OpponentEvent notice;
                notice.kind = OpponentEvent::Kind::Notice;
                notice.text = m_Failure;
                push(notice);
            } else {
                failed("DXP: the connection to " + name() + " was lost (" + m_Connection.failure() + ").");
            }
        }
        const bool theirMove = m_Phase == Phase::Playing && m_Game.result() == Result::Ongoing &&
                               m_Game.position().sideToMove() == m_RemoteColor;
        // (Connecting has the connection's own time-out.)
        if (m_Events.empty() && open && (theirMove || m_Phase == Phase::Requesting)) {
            const double limit = m_Phase == Phase::Requesting ? m_Settings.graceSeconds : silenceLimit();
            if (m_Connection.silence() > limit) {
                char seconds[32];
                std::snprintf(seconds, sizeof seconds, limit < 10.0 ? "%.1f" : "%.0f", limit);
                if (m_Phase == Phase::Playing)
                    send(DxpMessage::end(0, 1));
                failed("DXP: " + name() + " sent nothing for " + seconds + " s" +
                       (m_Phase == Phase::Playing ? " on its move (the time control and a grace)"
                                                  : " after the game request") +
                       ": the connection is closed.");
            }
        }
    }
    if (m_Events.empty())
        return false;
    out = std::move(m_Events.front());
    m_Events.pop_front();
    return true;
}

bool DxpOpponent::handle(const std::string& text)
{
    DxpMessage message;
    std::string error;
    if (!DxpMessage::decode(text, message, error)) {
        protocolFault(error + " ('" + Core::quotable(text, c_Quoted) + "')");
        return true;
    }
    switch (message.type) {
    case DxpMessage::Type::GameRequest:
        if (m_Phase != Phase::AwaitingRequest && m_Phase != Phase::Ended) {
            // A game is on or asked for: declined.
            send(DxpMessage::accept(m_Settings.name, 2));
            return true;
        }
        m_RemoteName = message.name;
        m_Minutes = message.minutes;
        m_Moves = message.moves;
        send(DxpMessage::accept(m_Settings.name, 0));
        beginGame(opponent(message.color), message.hasPosition ? message.position : Position::initial());
        return true;
    case DxpMessage::Type::GameAccept:
        if (m_Phase != Phase::Requesting)
            return true;
        m_RemoteName = message.name;
        if (message.code != 0) {
            failed("DXP: " + name() + " declined the game (code " + std::to_string(message.code) + ").");
            return true;
        }
        beginGame(opponent(m_Settings.localColor), Position::initial());
        return true;
    case DxpMessage::Type::Move: {
        if (m_Phase != Phase::Playing || m_Game.result() != Result::Ongoing) {
            protocolFault("the move " + moveText(message) + " outside a game");
            return true;
        }
        if (m_Game.position().sideToMove() != m_RemoteColor) {
            protocolFault("the move " + moveText(message) + " when it was not its turn");
            return true;
        }
        // Held until the session asks for it (it may not have seen the game begin yet).
        if (!m_Thinking || m_Ply != m_Game.moves().size())
            return false;
        std::vector<int> captured = message.captured;
        std::sort(captured.begin(), captured.end());
        const MoveList legal = m_Game.legalMoves();
        int matches = 0;
        Move found;
        for (const Move& move : legal) {
            std::vector<int> taken = move.captured();
            std::sort(taken.begin(), taken.end());
            if (move.from() == message.from && move.to() == message.to && taken == captured) {
                ++matches;
                found = move;
            }
        }
        if (matches != 1) {
            protocolFault("the move " + moveText(message) + ", which is not legal here");
            return true;
        }
        OpponentEvent event;
        event.kind = OpponentEvent::Kind::Move;
        event.ply = m_Ply;
        event.move = found;
        m_Thinking = false;
        push(event);
        return true;
    }
    case DxpMessage::Type::GameEnd:
        endReceived(message);
        return true;
    case DxpMessage::Type::Chat: {
        OpponentEvent event;
        event.kind = OpponentEvent::Kind::Chat;
        event.text = Core::quotable(message.text, 200);
        push(event);
        return true;
    }
    case DxpMessage::Type::BackRequest: {
        send(DxpMessage::backAccept(1));
        OpponentEvent event;
        event.kind = OpponentEvent::Kind::Notice;
        event.text = "DXP: " + name() + " asked to take moves back: answered that it is not supported.";
        push(event);
        return true;
    }
    case DxpMessage::Type::BackAccept:
        // Never asked for: nothing to do.
        return true;
    }
    return true;
}

void DxpOpponent::endReceived(const DxpMessage& message)
{
    if (m_EndSent) {
        // The confirmation of ours.
        m_EndSent = false;
        if (m_Phase == Phase::Playing)
            m_Phase = Phase::Ended;
        return;
    }
    if (m_Phase != Phase::Playing)
        return;
    m_Thinking = false;
    const Color local = opponent(m_RemoteColor);
    Result result = Result::Ongoing;
    const char* why = "result unknown";
    switch (message.code) {
    case 1:
        result = local == Color::White ? Result::WhiteWins : Result::BlackWins;
        why = "it loses";
        break;
    case 2:
        result = Result::Draw;
        why = "a draw";
        break;
    case 3:
        result = m_RemoteColor == Color::White ? Result::WhiteWins : Result::BlackWins;
        why = "it wins";
        break;
    default:
        break;
    }
    // Our view of the end: the same result from this side.
    const int reply = message.code == 1 ? 3 : message.code == 3 ? 1 : message.code;
    send(DxpMessage::end(reply, message.stop));
    m_Phase = Phase::Ended;
    OpponentEvent event;
    event.kind = OpponentEvent::Kind::GameEnd;
    event.result = result;
    event.text = why;
    push(event);
}

void DxpOpponent::moved(const Game& game)
{
    if (m_Phase != Phase::Playing || game.moves().empty()) {
        m_Game = game;
        return;
    }
    const std::size_t last = game.moves().size() - 1;
    const Color mover = game.positionBefore(last).sideToMove();
    const Clock::time_point now = Clock::now();
    if (mover != m_RemoteColor) {
        const double seconds = std::chrono::duration<double>(now - m_TurnStart).count();
        send(DxpMessage::move(static_cast<int>(std::lround(seconds)), game.moves().back()));
    }
    m_TurnStart = now;
    m_Game = game;
    if (game.result() != Result::Ongoing && !m_EndSent) {
        send(DxpMessage::end(endReason(game.result(), opponent(m_RemoteColor)), 0));
        m_EndSent = true;
    }
}

void DxpOpponent::newGame()
{
    cancel();
    if (m_Phase == Phase::Playing) {
        send(DxpMessage::end(0, 0));
        m_EndSent = true;
        m_Phase = Phase::Ended;
    }
    if (m_Phase != Phase::Ended)
        return;
    if (m_Settings.initiate)
        sendRequest();
    else
        m_Phase = Phase::AwaitingRequest;
}

void DxpOpponent::close()
{
    m_Thinking = false;
    if (m_Phase == Phase::Closed)
        return;
    if (m_Phase == Phase::Playing)
        send(DxpMessage::end(0, 1));
    m_Connection.close();
    m_Phase = Phase::Closed;
    m_Failure = "DXP: the connection is closed.";
}

} // namespace Draughts
