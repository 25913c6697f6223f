#include "DxpConnection.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include "DxpMessage.h"

namespace Draughts
{

namespace
{
using Clock = std::chrono::steady_clock;

// Bytes read at once, and reads per poll at most.
constexpr std::size_t c_ReadSize = 4096;
constexpr int c_ReadsPerPoll = 8;

bool makeNonBlocking(int socket)
{
    const int flags = fcntl(socket, F_GETFL, 0);
    return flags >= 0 && fcntl(socket, F_SETFL, flags | O_NONBLOCK) == 0 && fcntl(socket, F_SETFD, FD_CLOEXEC) == 0;
}

std::string systemError(int error)
{
    std::string text = std::strerror(error);
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z')
        text[0] = static_cast<char>(text[0] - 'A' + 'a');
    return text;
}
} // namespace

DxpConnection::DxpConnection() : m_In(DxpMessage::c_MaxLength) {}

DxpConnection::~DxpConnection()
{
    close();
}

bool DxpConnection::listen(const std::string& address, int port, std::string& error)
{
    close();
    m_State = State::Idle;
    m_Failure.clear();
    sockaddr_storage storage{};
    socklen_t length = 0;
    auto* v4 = reinterpret_cast<sockaddr_in*>(&storage);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&storage);
    if (inet_pton(AF_INET, address.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(static_cast<std::uint16_t>(port));
        length = sizeof(sockaddr_in);
    } else if (inet_pton(AF_INET6, address.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(static_cast<std::uint16_t>(port));
        length = sizeof(sockaddr_in6);
    } else {
        error = "not a numeric address";
        return false;
    }
    m_Listener = socket(storage.ss_family, SOCK_STREAM, 0);
    if (m_Listener < 0) {
        error = systemError(errno);
        return false;
    }
    const int yes = 1;
    setsockopt(m_Listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    if (!makeNonBlocking(m_Listener) || bind(m_Listener, reinterpret_cast<sockaddr*>(&storage), length) != 0 ||
        ::listen(m_Listener, 4) != 0) {
        error = systemError(errno);
        ::close(m_Listener);
        m_Listener = -1;
        return false;
    }
    sockaddr_storage bound{};
    socklen_t boundLength = sizeof bound;
    getsockname(m_Listener, reinterpret_cast<sockaddr*>(&bound), &boundLength);
    m_Port = ntohs(bound.ss_family == AF_INET ? reinterpret_cast<sockaddr_in*>(&bound)->sin_port
                                              : reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port);
    m_State = State::Listening;
    return true;
}

bool DxpConnection::connect(const std::string& host, int port, double timeoutSeconds, std::string& error)
{
    close();
    m_State = State::Idle;
    m_Failure.clear();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int status = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (status != 0 || !found) {
        error = status == EAI_SYSTEM ? systemError(errno) : gai_strerror(status);
        if (!error.empty() && error[0] >= 'A' && error[0] <= 'Z')
            error[0] = static_cast<char>(error[0] - 'A' + 'a');
        return false;
    }
    // One address: the name's first IPv4 one, else its first (a program listening on the
    // loopback address is reached as "localhost" whichever the system lists first).
    const addrinfo* chosen = found;
    for (const addrinfo* address = found; address; address = address->ai_next)
        if (address->ai_family == AF_INET) {
            chosen = address;
            break;
        }
    m_Socket = socket(chosen->ai_family, chosen->ai_socktype, chosen->ai_protocol);
    int result = -1;
    int saved = 0;
    if (m_Socket >= 0 && makeNonBlocking(m_Socket)) {
        result = ::connect(m_Socket, chosen->ai_addr, chosen->ai_addrlen);
        saved = errno;
    } else {
        saved = errno;
    }
    freeaddrinfo(found);
    if (m_Socket < 0 || (result != 0 && saved != EINPROGRESS)) {
        error = systemError(saved);
        if (m_Socket >= 0)
            ::close(m_Socket);
        m_Socket = -1;
        return false;
    }
    m_Port = port;
    m_Deadline =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(timeoutSeconds));
    m_State = State::Connecting;
    if (result == 0) {
        m_State = State::Connected;
        m_LastHeard = Clock::now();
    }
    return true;
}

void DxpConnection::poll()
{
    switch (m_State) {
    case State::Listening:
        acceptWaiting();
        break;
    case State::Connecting:
        finishConnecting();
        break;
    case State::Connected:
        acceptWaiting();
        writePending();
        readAvailable();
        break;
    case State::Idle:
    case State::Closed:
        break;
    }
}

void DxpConnection::acceptWaiting()
{
    if (m_Listener < 0)
        return;
    // A bounded number per poll: the first is the peer, the others are refused.
    for (int i = 0; i < 8; ++i) {
        const int accepted = accept(m_Listener, nullptr, nullptr);
        if (accepted < 0)
            return;
        if (m_State != State::Listening) {
            ::close(accepted);
            ++m_Refused;
            continue;
        }
        if (!makeNonBlocking(accepted)) {
            ::close(accepted);
            continue;
        }
        const int yes = 1;
        setsockopt(accepted, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        m_Socket = accepted;
        m_State = State::Connected;
        m_LastHeard = Clock::now();
    }
}

void DxpConnection::finishConnecting()
{
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(m_Socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        error = errno;
    if (error != 0) {
        fail(systemError(error));
        return;
    }
    sockaddr_storage peer{};
    socklen_t peerLength = sizeof peer;
    if (getpeername(m_Socket, reinterpret_cast<sockaddr*>(&peer), &peerLength) == 0) {
        const int yes = 1;
        setsockopt(m_Socket, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        m_State = State::Connected;
        m_LastHeard = Clock::now();
        writePending();
        return;
    }
    if (Clock::now() >= m_Deadline)
        fail("no answer in time");
}

void DxpConnection::readAvailable()
{
    char buffer[c_ReadSize];
    for (int i = 0; i < c_ReadsPerPoll && m_State == State::Connected && m_In.pending() < c_MaxPending; ++i) {
        const ssize_t got = recv(m_Socket, buffer, sizeof buffer, 0);
        if (got > 0) {
            m_LastHeard = Clock::now();
            if (!m_In.feed(buffer, static_cast<std::size_t>(got))) {
                fail("a message longer than " + std::to_string(DxpMessage::c_MaxLength) + " bytes came");
                return;
            }
            continue;
        }
        if (got == 0) {
            fail("the connection was closed by the other side");
            return;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            fail(systemError(errno));
        return;
    }
}

void DxpConnection::writePending()
{
    while (m_State == State::Connected && !m_Out.empty()) {
        const ssize_t sent = ::send(m_Socket, m_Out.data(), m_Out.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            m_Out.erase(0, static_cast<std::size_t>(sent));
            continue;
        }
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        fail(sent < 0 ? systemError(errno) : std::string("nothing could be written"));
        return;
    }
}

bool DxpConnection::receive(std::string& message)
{
    return m_In.next(message);
}

void DxpConnection::send(const std::string& message)
{
    if (m_State != State::Connected && m_State != State::Connecting)
        return;
    m_Out += message;
    m_Out += '\0';
    if (m_State == State::Connected)
        writePending();
}

double DxpConnection::silence() const
{
    if (m_State != State::Connected)
        return 0.0;
    return std::chrono::duration<double>(Clock::now() - m_LastHeard).count();
}

void DxpConnection::fail(const std::string& why)
{
    if (m_State == State::Closed)
        return;
    close(why);
}

void DxpConnection::close(const std::string& why)
{
    if (m_Socket >= 0) {
        // What is still queued goes out if the socket takes it now.
        if (m_State == State::Connected && !m_Out.empty())
            ::send(m_Socket, m_Out.data(), m_Out.size(), MSG_NOSIGNAL);
        ::close(m_Socket);
    }
    if (m_Listener >= 0)
        ::close(m_Listener);
    m_Socket = m_Listener = -1;
    m_Out.clear();
    if (m_State != State::Idle && m_State != State::Closed) {
        m_State = State::Closed;
        m_Failure = why;
    }
}

} // namespace Draughts
