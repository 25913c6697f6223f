#pragma once

#include <chrono>
#include <string>

#include "DxpStream.h"

namespace Draughts
{

// One TCP connection carrying DXP messages, over non-blocking sockets polled from the main
// thread: nothing here ever waits. It either listens (for one peer: later connections are
// accepted and closed at once) or connects (with a time-out), then sends and receives
// messages ending with NUL. Reading stops while unread messages pile up, so a peer that
// floods is held back by TCP rather than stored; a message over the cap ends the connection.
// Writing never raises SIGPIPE.
class DxpConnection
{
public:
    enum class State
    {
        Idle,
        Listening,
        Connecting,
        Connected,
        // Failed or lost: failure() says why (messages received before can still be taken).
        Closed
    };

    DxpConnection();
    ~DxpConnection();
    DxpConnection(const DxpConnection&) = delete;
    DxpConnection& operator=(const DxpConnection&) = delete;

    // Listens on `address` (a numeric IPv4 or IPv6 address) and `port` (0: one the system
    // chooses, see port()). False, with the reason, when it cannot.
    bool listen(const std::string& address, int port, std::string& error);
    // Starts connecting to `host` (a name or an address; for a name, its first IPv4
    // address, else its first) and `port`; poll() completes it, or fails it after
    // `timeoutSeconds`. False, with the reason, when the host is unknown.
    bool connect(const std::string& host, int port, double timeoutSeconds, std::string& error);
    // Accepts, completes the connecting, writes what waits and reads what came, without
    // blocking. Call it often.
    void poll();
    // Takes the oldest message received (without its NUL).
    bool receive(std::string& message);
    // Queues a message (its NUL added) and writes what it can at once.
    void send(const std::string& message);
    // Closes the connection and the listening socket; state() becomes Closed with `why`.
    void close(const std::string& why = "closed");

    State state() const { return m_State; }
    const std::string& failure() const { return m_Failure; }
    // The port listened on (the one chosen for 0).
    int port() const { return m_Port; }
    // Connections refused because one was already open.
    int refused() const { return m_Refused; }
    // Seconds since the last byte was received (or since connected).
    double silence() const;

    // Unread messages at which reading pauses.
    static constexpr std::size_t c_MaxPending = 64;

private:
    void fail(const std::string& why);
    void acceptWaiting();
    void finishConnecting();
    void readAvailable();
    void writePending();

    State m_State = State::Idle;
    int m_Listener = -1;
    int m_Socket = -1;
    int m_Port = 0;
    int m_Refused = 0;
    std::string m_Failure;
    std::string m_Out;
    DxpStream m_In;
    std::chrono::steady_clock::time_point m_Deadline;
    std::chrono::steady_clock::time_point m_LastHeard;
};

} // namespace Draughts
