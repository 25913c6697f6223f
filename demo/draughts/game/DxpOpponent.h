#pragma once

#include <chrono>
#include <deque>
#include <string>

#include "DxpConnection.h"
#include "DxpMessage.h"
#include "Opponent.h"

namespace Draughts
{

// A remote player over DXP as the opponent of one side. It listens for or connects to the
// peer; then the initiator sends the game request (the colour it gives the follower, the
// time control) and the follower accepts it, which begins the game (a GameStart event: the
// session puts the peer on its colour). The peer's moves are checked against the rules
// (from, to and the set of captured squares must name exactly one legal move) and come as
// Move events once the session asks for them; the local side's moves go out from moved().
// The game's end goes both ways: seen here (a move ending it) it is sent, and the peer's
// confirmation awaited; sent by the peer it is answered and reported as GameEnd. Chat comes
// as Chat events; a request to take moves back is answered "not supported".
//
// A malformed message, an illegal or untimely move, or a game request declined: one Error
// line, the game ended with result unknown and the connection closed. A lost connection,
// or a peer silent on its move beyond the time control and a grace: one Error line too. The
// session's game stays as it was either way. Everything runs on the main thread from
// poll(), which never blocks and handles a bounded number of messages per call.
class DxpOpponent final : public Opponent
{
public:
    struct Settings
    {
        // Listen on `address` (numeric), or connect to `address` (a name or an address).
        bool listen = false;
        std::string address = "127.0.0.1";
        // 0 when listening: a port the system chooses (see port()).
        int port = 27531;
        // Whether this side sends the game request (once connected).
        bool initiate = false;
        // The colour played here when initiating; the follower gets the other.
        Color localColor = Color::White;
        // The time control sent in the request: `minutes` for `moves` moves.
        int minutes = 1;
        int moves = 50;
        // The name sent to the peer.
        std::string name = "Tessellon draughts";
        // Time to connect, and the grace over the time control before a silent peer (or an
        // unanswered request) is given up.
        double connectSeconds = 10.0;
        double graceSeconds = 30.0;
        // Each message sent (">") and received ("<") written on standard error.
        bool trace = false;
    };

    explicit DxpOpponent(const Settings& settings);
    ~DxpOpponent() override;
    DxpOpponent(const DxpOpponent&) = delete;
    DxpOpponent& operator=(const DxpOpponent&) = delete;

    // The peer's name ("remote player" until it has said it).
    std::string name() const override;
    // Waits for the peer's move in the game's position; false once the connection failed.
    bool start(const Game& game, const OpponentRequest& request, std::string& error) override;
    void cancel() override;
    bool isThinking() const override { return m_Thinking; }
    bool poll(OpponentEvent& event) override;
    // Sends the local side's moves, and the game's end when a move ended it.
    void moved(const Game& game) override;
    // Ends the game in progress (result unknown); the initiator then asks for another.
    void newGame() override;
    // Ends the game in progress (result unknown, no further game) and closes.
    void close() override;
    bool canAnalyze() const override { return false; }
    bool allowsTakeBack() const override { return false; }
    std::string waiting() const override;

    // The port listened on; the colour the peer plays; whether a game is being played.
    int port() const { return m_Connection.port(); }
    Color remoteColor() const { return m_RemoteColor; }
    bool isPlaying() const { return m_Phase == Phase::Playing; }
    // Seconds the peer may stay silent on its move.
    double silenceLimit() const;

private:
    enum class Phase
    {
        Listening,
        Connecting,
        // Connected: the request sent, its answer awaited.
        Requesting,
        // Connected: a request awaited.
        AwaitingRequest,
        Playing,
        // A game ended; the connection may carry another.
        Ended,
        Closed
    };

    void send(const DxpMessage& message);
    void connected();
    void sendRequest();
    // Handles a message; false when it must wait (a move before the session asks for it).
    bool handle(const std::string& text);
    void beginGame(Color remote, const Position& start);
    void endReceived(const DxpMessage& message);
    // The peer broke the rules: result unknown sent, connection closed, one Error line.
    void protocolFault(const std::string& what);
    void failed(const std::string& line);
    void push(OpponentEvent event);
    std::string where() const;

    Settings m_Settings;
    DxpConnection m_Connection;
    Phase m_Phase = Phase::Closed;
    std::string m_RemoteName;
    Color m_RemoteColor = Color::Black;
    int m_Minutes = 0;
    int m_Moves = 0;
    // The game as played so far (kept up to date by moved()).
    Game m_Game;
    bool m_EndSent = false;
    bool m_Thinking = false;
    std::size_t m_Ply = 0;
    // A message that waits for the session (a move not yet asked for), taken before others.
    std::string m_Held;
    bool m_Holding = false;
    std::string m_Failure;
    std::chrono::steady_clock::time_point m_TurnStart;
    std::deque<OpponentEvent> m_Events;
};

} // namespace Draughts
