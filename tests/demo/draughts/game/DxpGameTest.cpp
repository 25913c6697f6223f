// A remote player over DXP, against a peer scripted here on the loopback address: the game
// request both ways, moves checked against the rules, chat, take-back requests, the game's
// end both ways; and each fault of the peer (malformed, oversized, illegal or untimely
// messages, a declined request, a dropped or silent connection), which shows one line, ends
// the game with result unknown, closes the connection and keeps the game.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>

#include "DxpConnection.h"
#include "DxpOpponent.h"
#include "Session.h"

using namespace Draughts;

namespace
{
using Clock = std::chrono::steady_clock;

const std::string c_PeerName = "Peer                            ";

// The other end, scripted: a plain socket on 127.0.0.1 read without blocking.
class Peer
{
public:
    ~Peer() { close(); }
    bool connect(int port)
    {
        m_Socket = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(m_Socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            return false;
        return fcntl(m_Socket, F_SETFL, O_NONBLOCK) == 0;
    }
    // Listens on a free loopback port; accept() takes the connection.
    int listen()
    {
        m_Listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(m_Listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(m_Listener, 1) != 0 ||
            getsockname(m_Listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return 0;
        fcntl(m_Listener, F_SETFL, O_NONBLOCK);
        return ntohs(address.sin_port);
    }
    bool accept()
    {
        if (m_Socket >= 0)
            return true;
        m_Socket = ::accept(m_Listener, nullptr, nullptr);
        return m_Socket >= 0 && fcntl(m_Socket, F_SETFL, O_NONBLOCK) == 0;
    }
    void sendRaw(const std::string& bytes) { ::send(m_Socket, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
    void send(const std::string& message) { sendRaw(message + std::string(1, '\0')); }
    // The next message, "" when none came yet; `closed` once the other end closed.
    std::string next()
    {
        char buffer[512];
        ssize_t got;
        while ((got = recv(m_Socket, buffer, sizeof buffer, 0)) > 0)
            m_In.append(buffer, static_cast<std::size_t>(got));
        if (got == 0)
            closed = true;
        const std::size_t end = m_In.find('\0');
        if (end == std::string::npos)
            return "";
        const std::string message = m_In.substr(0, end);
        m_In.erase(0, end + 1);
        return message;
    }
    void close()
    {
        if (m_Socket >= 0)
            ::close(m_Socket);
        if (m_Listener >= 0)
            ::close(m_Listener);
        m_Socket = m_Listener = -1;
    }
    bool closed = false;

private:
    int m_Socket = -1;
    int m_Listener = -1;
    std::string m_In;
};

class DxpGameTest : public ::testing::Test
{
protected:
    // A session whose Black (or White) is a DXP opponent made with `settings`; the person
    // plays the other side.
    void start(DxpOpponent::Settings settings, Color remote = Color::Black)
    {
        Options options;
        ASSERT_EQ(options.parse(std::vector<std::string>{"--white", "human", "--black", "human"}),
                  Options::Outcome::Run);
        session = std::make_unique<Session>(options);
        session->setOnError([this](const std::string& line) { errors.push_back(line); });
        dxp = std::make_shared<DxpOpponent>(settings);
        session->setPlayer(remote, dxp);
    }
    // Listening on a free port, the peer connected.
    void startListening(Color remote = Color::Black, double grace = 30.0)
    {
        DxpOpponent::Settings settings;
        settings.listen = true;
        settings.port = 0;
        settings.graceSeconds = grace;
        start(settings, remote);
        ASSERT_NE(dxp->port(), 0);
        ASSERT_TRUE(peer.connect(dxp->port()));
    }
    // Polls the session until `done` or the deadline.
    bool pollUntil(const std::function<bool()>& done, double seconds = 10.0)
    {
        const Clock::time_point deadline =
            Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
        while (!done() && Clock::now() < deadline)
            if (!session->poll())
                usleep(1000);
        return done();
    }
    // The peer's next message, the session polled meanwhile ("" for none in time).
    std::string expect(double seconds = 10.0)
    {
        std::string message;
        pollUntil(
            [&] {
                if (message.empty())
                    message = peer.next();
                return !message.empty();
            },
            seconds);
        return message;
    }
    // The peer asks for a game in which we play `follower` ('W' or 'Z') and it is accepted.
    void request(char follower, const std::string& minutes = "001")
    {
        peer.send("R01" + c_PeerName + follower + minutes + "050A");
        ASSERT_EQ(expect(), "ATessellon draughts              0");
        ASSERT_TRUE(
            pollUntil([&] { return dxp->isPlaying() && session->message().find("begins") != std::string::npos; }));
    }
    void play(int from, int to)
    {
        session->click(from);
        session->click(to);
    }

    Peer peer;
    std::unique_ptr<Session> session;
    std::shared_ptr<DxpOpponent> dxp;
    std::vector<std::string> errors;
};
} // namespace

TEST_F(DxpGameTest, PlaysAGameThePeerAsksForToItsEnd)
{
    startListening();
    // Nothing can be played before the game begins.
    ASSERT_TRUE(pollUntil([&] {
        return session->statusText().find("waiting for the other side") != std::string::npos;
    })) << session->statusText();
    session->click(32);
    EXPECT_EQ(session->game().moves().size(), 0u);
    EXPECT_EQ(session->selected(), 0);

    // The peer plays Black and gives us White.
    request('W');
    EXPECT_EQ(session->message(), "A game against Peer begins: you play White.");
    EXPECT_EQ(dxp->remoteColor(), Color::Black);
    play(32, 28);
    EXPECT_EQ(expect(), "M0000322800");
    EXPECT_TRUE(session->isThinking());
    EXPECT_NE(session->statusText().find("Black (Peer) is thinking"), std::string::npos) << session->statusText();
    // Its reply and a chat in one write.
    peer.sendRaw(std::string("M0003192300\0Cgood luck\0", 23));
    ASSERT_TRUE(pollUntil([&] { return session->message() == "Peer: good luck"; }));
    ASSERT_EQ(session->game().moves().size(), 2u);
    // Its captures: the set of captured squares names the move, in any order.
    play(28, 19);
    EXPECT_EQ(expect(), "M0000281901"
                        "23");
    peer.send("M0001141400"); // no such move: from and to alike but nothing taken
    ASSERT_TRUE(pollUntil([&] { return !errors.empty(); }));
    EXPECT_EQ(errors.front(), "DXP: Peer sent the move 14-14, which is not legal here: the game is ended with result "
                              "unknown and the connection closed.");
    EXPECT_EQ(expect(), "E01");
    EXPECT_EQ(session->game().moves().size(), 3u);
}

TEST_F(DxpGameTest, EndsTheGameBothWaysAndAnswersTakeBacks)
{
    // The peer ends the game (it resigns): our view of it goes back, the result is shown.
    startListening(Color::White);
    request('Z');
    EXPECT_EQ(session->message(), "A game against Peer begins: you play Black.");
    peer.send("M0000322800");
    ASSERT_TRUE(pollUntil([&] { return session->game().moves().size() == 1; }));
    peer.send("B001W");
    EXPECT_EQ(expect(), "K1");
    EXPECT_EQ(session->message(), "DXP: Peer asked to take moves back: answered that it is not supported.");
    session->undo();
    EXPECT_EQ(session->message(), "Moves cannot be taken back in this game.");
    peer.send("E10");
    EXPECT_EQ(expect(), "E30");
    ASSERT_TRUE(pollUntil([&] { return session->game().result() == Result::BlackWins; }));
    EXPECT_NE(session->statusText().find("Peer ended the game: it loses."), std::string::npos);

    // A new game: the peer asks again and the colours follow its request.
    peer.send("R01" + c_PeerName + "W002050A");
    EXPECT_EQ(expect(), "ATessellon draughts              0");
    ASSERT_TRUE(
        pollUntil([&] { return session->game().moves().empty() && session->game().result() == Result::Ongoing; }));
    EXPECT_TRUE(session->isHuman(Color::White));
    EXPECT_EQ(session->opponent(Color::Black), dxp.get());
    EXPECT_EQ(dxp->silenceLimit(), 150.0);

    // From a position the peer sends, the rules end the game on our move (the last black
    // man taken): we say so, and the peer confirms.
    peer.send("E00");
    EXPECT_EQ(expect(), "E00");
    std::string squares(50, 'e');
    squares[28 - 1] = 'z';
    squares[32 - 1] = 'w';
    peer.send("R01" + c_PeerName + "W001050BW" + squares);
    EXPECT_EQ(expect(), "ATessellon draughts              0");
    ASSERT_TRUE(pollUntil([&] { return session->game().position().count(Color::Black) == 1; }));
    play(32, 23);
    EXPECT_EQ(expect(), "M000032230128");
    EXPECT_EQ(expect(), "E30");
    EXPECT_EQ(session->game().result(), Result::WhiteWins);
    peer.send("E10");
    ASSERT_TRUE(pollUntil([&] { return !dxp->isPlaying(); }));
    EXPECT_TRUE(errors.empty()) << errors.front();
}

TEST_F(DxpGameTest, RefusesASecondConnectionWhilePlaying)
{
    startListening();
    request('W');
    Peer second;
    ASSERT_TRUE(second.connect(dxp->port()));
    ASSERT_TRUE(pollUntil([&] {
        second.next();
        return second.closed;
    }));
    play(32, 28);
    EXPECT_EQ(expect(), "M0000322800");
    EXPECT_FALSE(peer.closed);
}

TEST_F(DxpGameTest, EachFaultShowsOneLineEndsTheGameAndKeepsIt)
{
    struct Fault
    {
        std::string bytes;
        std::string line;
        // Whether our end of the game (result unknown) can still reach the peer.
        bool endSent;
    };
    const std::string end = "the game is ended with result unknown and the connection closed.";
    const std::vector<Fault> faults = {
        {std::string("M00a0192300\0", 12), "DXP: Peer sent a malformed M message ('M00a0192300'): " + end, true},
        {std::string("Q\0", 2), "DXP: Peer sent an unknown message type ('Q'): " + end, true},
        {std::string(300, 'C'), "DXP: Peer sent a message longer than 255 bytes: " + end, false},
        {std::string("M0000192400\0", 12), "DXP: Peer sent the move 19-24, which is not legal here: " + end, true},
        {std::string("M0000171100\0", 12), "DXP: Peer sent the move 17-11, which is not legal here: " + end, true},
        {std::string("M0000313600\0", 12), "DXP: Peer sent the move 31-36 when it was not its turn: " + end, true},
        {std::string(), "DXP: the connection to Peer was lost (the connection was closed by the other side).", false},
    };
    for (std::size_t i = 0; i < faults.size(); ++i) {
        SCOPED_TRACE(i);
        errors.clear();
        peer.close();
        peer = Peer();
        startListening();
        request('W');
        play(32, 28);
        ASSERT_EQ(expect(), "M0000322800");
        peer.send("M0000192300");
        ASSERT_TRUE(pollUntil([&] { return session->game().moves().size() == 2; }));
        if (i == 5) {
            // Out of turn: it is our move.
        } else {
            play(28, 19);
            ASSERT_EQ(expect(), "M000028190123");
        }
        const std::size_t played = session->game().moves().size();
        if (faults[i].bytes.empty())
            peer.close();
        else
            peer.sendRaw(faults[i].bytes);
        ASSERT_TRUE(pollUntil([&] { return !errors.empty(); }));
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_EQ(errors.front(), faults[i].line);
        if (!faults[i].bytes.empty()) {
            if (faults[i].endSent) {
                EXPECT_EQ(expect(), "E01");
            }
            ASSERT_TRUE(pollUntil([&] {
                peer.next();
                return peer.closed;
            }));
        }
        // The game stays, and the side waits to be handed over.
        EXPECT_EQ(session->game().moves().size(), played);
        Color waiting;
        EXPECT_TRUE(session->stalled(waiting));
        EXPECT_NE(session->message().find(faults[i].line + " Press c"), std::string::npos) << session->message();
    }
    // Handed to the person, the game goes on here and can be saved.
    session->handOver(Color::Black, false);
    play(14, 23);
    EXPECT_EQ(session->game().moves().size(), 4u);
    char directory[] = "/tmp/draughts_dxpXXXXXX";
    ASSERT_NE(mkdtemp(directory), nullptr);
    EXPECT_TRUE(session->save(directory)) << session->message();
    std::system(("rm -rf " + std::string(directory)).c_str());
}

TEST_F(DxpGameTest, GivesUpASilentPeerAndAnUnreachableOne)
{
    // Silent on its move beyond the time control (none here) and the grace.
    startListening(Color::Black, 0.3);
    request('W', "000");
    play(32, 28);
    EXPECT_EQ(expect(), "M0000322800");
    ASSERT_TRUE(pollUntil([&] { return !errors.empty(); }));
    EXPECT_EQ(errors.front(), "DXP: Peer sent nothing for 0.3 s on its move (the time control and a grace): the "
                              "connection is closed.");
    EXPECT_EQ(expect(), "E01");
    EXPECT_EQ(session->game().moves().size(), 1u);

    // Nobody listens on the port: said at once (a port just freed is refused).
    errors.clear();
    Peer probe;
    const int port = probe.listen();
    ASSERT_NE(port, 0);
    probe.close();
    DxpOpponent::Settings settings;
    settings.port = port;
    settings.initiate = true;
    start(settings);
    ASSERT_TRUE(pollUntil([&] { return !errors.empty(); }));
    EXPECT_EQ(errors.front(), "DXP: cannot connect to 127.0.0.1:" + std::to_string(port) + ": connection refused.");

    // A port another program listens on.
    errors.clear();
    Peer other;
    const int taken = other.listen();
    ASSERT_NE(taken, 0);
    settings = DxpOpponent::Settings();
    settings.listen = true;
    settings.port = taken;
    start(settings);
    ASSERT_TRUE(pollUntil([&] { return !errors.empty(); }));
    EXPECT_EQ(errors.front(), "DXP: cannot listen on 127.0.0.1:" + std::to_string(taken) + ": address already in use.");
    EXPECT_EQ(session->statusText().find("Waiting for"), std::string::npos) << session->statusText();
}

TEST_F(DxpGameTest, ConnectsAsksForTheGameAndTakesARefusal)
{
    // We connect and ask; the peer's acceptance and first move come in one write.
    const int port = peer.listen();
    ASSERT_NE(port, 0);
    DxpOpponent::Settings settings;
    settings.address = "localhost";
    settings.port = port;
    settings.initiate = true;
    settings.localColor = Color::Black;
    settings.minutes = 3;
    start(settings, Color::White);
    ASSERT_TRUE(pollUntil([&] { return peer.accept(); }));
    EXPECT_EQ(expect(), "R01Tessellon draughts              W003050A");
    peer.sendRaw("A" + c_PeerName + "0" + std::string(1, '\0') + "M0002322800" + std::string(1, '\0'));
    ASSERT_TRUE(pollUntil([&] { return session->game().moves().size() == 1; }));
    EXPECT_EQ(session->game().moves().back().toString(), "32-28");
    EXPECT_NE(session->statusText().find("Black to move (you, against Peer)."), std::string::npos) << session->statusText();
    EXPECT_TRUE(errors.empty());

    // Another game asked for and refused.
    session->newGame();
    EXPECT_EQ(expect(), "E00");
    EXPECT_EQ(expect(), "R01Tessellon draughts              W003050A");
    peer.send("E20");
    peer.send("A" + c_PeerName + "2");
    ASSERT_TRUE(pollUntil([&] { return !errors.empty(); }));
    EXPECT_EQ(errors.front(), "DXP: Peer declined the game (code 2).");
}
