// DXP's messages as text: each type written and read back, the protocol's own examples,
// everything a valid message cannot be refused, and the stream cut at NUL whatever the reads.
#include <gtest/gtest.h>

#include "DxpMessage.h"
#include "DxpStream.h"
#include "Game.h"

using namespace Draughts;

namespace
{
DxpMessage decoded(const std::string& text)
{
    DxpMessage message;
    std::string error;
    EXPECT_TRUE(DxpMessage::decode(text, message, error)) << text << ": " << error;
    return message;
}
} // namespace

TEST(DxpMessageTest, WritesAndReadsEachType)
{
    // The protocol's examples: a 12-second step, and a capture of 23 in 5 seconds.
    EXPECT_EQ(DxpMessage::move(12, Move::step(32, 28)).encode(), "M0012322800");
    Game game;
    for (const char* move : {"32-28", "19-23"}) {
        std::string error;
        ASSERT_TRUE(game.play(move, error)) << error;
    }
    const Move capture = game.legalMoves().front();
    EXPECT_EQ(DxpMessage::move(5, capture).encode(), "M000528190123");
    DxpMessage move = decoded("M000528190123");
    EXPECT_EQ(move.type, DxpMessage::Type::Move);
    EXPECT_EQ(move.seconds, 5);
    EXPECT_EQ(move.from, 28);
    EXPECT_EQ(move.to, 19);
    EXPECT_EQ(move.captured, std::vector<int>{23});

    const std::string request = DxpMessage::request("Tessellon", Color::Black, 2, 50).encode();
    EXPECT_EQ(request, "R01Tessellon                       Z002050A");
    DxpMessage read = decoded(request);
    EXPECT_EQ(read.type, DxpMessage::Type::GameRequest);
    EXPECT_EQ(read.name, "Tessellon");
    EXPECT_EQ(read.color, Color::Black);
    EXPECT_EQ(read.minutes, 2);
    EXPECT_EQ(read.moves, 50);
    EXPECT_FALSE(read.hasPosition);

    // A request with a position: a white king on 3, a black man on 28, Black to move.
    read = decoded("R01Peer" + std::string(28, ' ') + "W010025BZ" + "eeWe" + std::string(23, 'e') + "z" +
                   std::string(22, 'e'));
    ASSERT_TRUE(read.hasPosition);
    EXPECT_EQ(read.color, Color::White);
    EXPECT_EQ(read.position.sideToMove(), Color::Black);
    EXPECT_EQ(read.position.at(3), Piece::WhiteKing);
    EXPECT_EQ(read.position.at(28), Piece::BlackMan);
    EXPECT_EQ(read.position.count(Color::White) + read.position.count(Color::Black), 2);
    DxpMessage again = read;
    again.name = "Peer";
    EXPECT_EQ(decoded(again.encode()).position, read.position);

    EXPECT_EQ(DxpMessage::accept("Remote", 0).encode(), "ARemote                          0");
    EXPECT_EQ(decoded("ARemote                          1").code, 1);
    EXPECT_EQ(DxpMessage::end(3, 1).encode(), "E31");
    read = decoded("E20");
    EXPECT_EQ(read.type, DxpMessage::Type::GameEnd);
    EXPECT_EQ(read.code, 2);
    EXPECT_EQ(read.stop, 0);
    EXPECT_EQ(DxpMessage::chat("good luck").encode(), "Cgood luck");
    EXPECT_EQ(decoded("C").text, "");
    read = decoded("B012Z");
    EXPECT_EQ(read.type, DxpMessage::Type::BackRequest);
    EXPECT_EQ(read.code, 12);
    EXPECT_EQ(read.color, Color::Black);
    EXPECT_EQ(DxpMessage::backAccept(1).encode(), "K1");

    // Writing clamps what would not fit: long names cut, numbers at their widths' limits,
    // unprintable name bytes replaced, a long chat cut to the most a reader takes.
    EXPECT_EQ(DxpMessage::request(std::string(40, 'x') + "\n", Color::White, 5000, -1).encode(),
              "R01" + std::string(32, 'x') + "W999000A");
    EXPECT_EQ(DxpMessage::accept("a\tb", 0).encode().substr(0, 4), "Aa?b");
    EXPECT_EQ(DxpMessage::move(12345, Move::step(32, 28)).encode(), "M9999322800");
    EXPECT_EQ(DxpMessage::chat(std::string(1000, 'c')).encode().size(), DxpMessage::c_MaxLength);
}

TEST(DxpMessageTest, RefusesWhatNoValidMessageIs)
{
    const std::string name(32, ' ');
    // clang-format off
    const std::vector<std::string> bad = {
        "", "X", "Q123", "M001232280", "M00123228000", "M0012322801", "M00123228022323", "M0012322802232323", "E40",
        "M00a2322800", "M0012002800", "M0012325100", "M001232280100", "M00123228012323", "M-012322800",
        "E", "E4", "E21x", "E2", "E02 ", "K", "K12", "B01W", "B012X", "B012WW",
        "A" + name, "A" + name + "00", "A" + name + "x", "R01" + name + "W001050", "R01" + name + "Q001050A",
        "R01" + name + "W001050C", "R01" + name + "W0010a0A", "R01" + name + "W001050AZ",
        "R01" + name + "W001050BW" + std::string(49, 'e'), "R01" + name + "W001050BW" + std::string(50, 'x'),
        "R01" + name + "W001050BX" + std::string(50, 'e'), "R01" + name + "W001050BW" + std::string(51, 'e'),
        "M0012322800\x01", "E2\x7f", "A" + std::string(31, ' ') + "\xc3" + "0", std::string(256, 'C')};
    // clang-format on
    for (const std::string& text : bad) {
        DxpMessage message;
        std::string error;
        EXPECT_FALSE(DxpMessage::decode(text, message, error)) << text;
        EXPECT_FALSE(error.empty());
    }
    // A chat is free text (the reader quotes it before showing it).
    DxpMessage chat;
    std::string error;
    EXPECT_TRUE(DxpMessage::decode("C\x1b[2Jhi\xff", chat, error));
    EXPECT_EQ(chat.text, "\x1b[2Jhi\xff");
}

TEST(DxpMessageTest, StreamCutsAtEachNulWhateverTheReads)
{
    const std::string bytes = std::string("E20\0K1\0Chello\0M0012322800\0", 26);
    // Every way of splitting the bytes into two reads gives the same messages.
    for (std::size_t cut = 0; cut <= bytes.size(); ++cut) {
        DxpStream stream(DxpMessage::c_MaxLength);
        ASSERT_TRUE(stream.feed(bytes.data(), cut));
        ASSERT_TRUE(stream.feed(bytes.data() + cut, bytes.size() - cut));
        std::vector<std::string> messages;
        std::string message;
        while (stream.next(message))
            messages.push_back(message);
        EXPECT_EQ(messages, (std::vector<std::string>{"E20", "K1", "Chello", "M0012322800"})) << cut;
        EXPECT_EQ(stream.partial(), 0u);
    }
    // Byte by byte, and an unfinished message kept for the next read.
    DxpStream stream(8);
    for (char c : std::string("K1\0E2", 5))
        ASSERT_TRUE(stream.feed(&c, 1));
    EXPECT_EQ(stream.pending(), 1u);
    EXPECT_EQ(stream.partial(), 2u);
}

TEST(DxpMessageTest, StreamRefusesAMessageOverTheCapWithoutKeepingIt)
{
    // A message of exactly the cap is taken; one byte more breaks the stream at once,
    // whether it comes in one read or many, and nothing more is kept or taken.
    DxpStream exact(8);
    EXPECT_TRUE(exact.feed("12345678\0", 9));
    EXPECT_EQ(exact.pending(), 1u);

    DxpStream stream(8);
    ASSERT_TRUE(stream.feed("K1\0", 3));
    for (int i = 0; i < 8; ++i)
        ASSERT_TRUE(stream.feed("x", 1));
    EXPECT_FALSE(stream.feed("x", 1));
    EXPECT_TRUE(stream.isBroken());
    EXPECT_EQ(stream.partial(), 0u);
    const std::string flood(1 << 20, 'y');
    EXPECT_FALSE(stream.feed(flood.data(), flood.size()));
    EXPECT_FALSE(stream.feed("E20\0", 4));
    EXPECT_EQ(stream.partial(), 0u);
    // What was complete before the fault is still there.
    std::string message;
    ASSERT_TRUE(stream.next(message));
    EXPECT_EQ(message, "K1");
    EXPECT_FALSE(stream.next(message));

    DxpStream big(8);
    EXPECT_FALSE(big.feed(flood.data(), flood.size()));
    EXPECT_EQ(big.partial(), 0u);
}
