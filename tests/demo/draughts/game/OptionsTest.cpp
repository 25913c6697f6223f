#include <gtest/gtest.h>

#include <tuple>

#include "Options.h"

using Draughts::Color;
using Draughts::Options;

TEST(OptionsTest, ReadsTheCommandLine)
{
    Options options;
    ASSERT_EQ(options.parse(std::vector<std::string>{}), Options::Outcome::Run);
    EXPECT_FALSE(options.whiteIsComputer());
    EXPECT_TRUE(options.blackIsComputer());
    ASSERT_EQ(options.parse({"--white", "computer", "--black=human", "--time", "2.5", "--level=10", "game.pdn"}),
              Options::Outcome::Run);
    EXPECT_TRUE(options.whiteIsComputer());
    EXPECT_FALSE(options.blackIsComputer());
    EXPECT_EQ(options.seconds(), 2.5);
    EXPECT_EQ(options.level(), 10);
    EXPECT_EQ(options.file(), "game.pdn");
    EXPECT_EQ(options.game(), 0);
    EXPECT_EQ(options.parse({"--game", "12", "games.pdn"}), Options::Outcome::Run);
    EXPECT_EQ(options.game(), 12);
    EXPECT_EQ(options.parse({"--time=.5"}), Options::Outcome::Run);
    EXPECT_EQ(options.seconds(), 0.5);
    EXPECT_EQ(options.parse({"--time", "3600."}), Options::Outcome::Run);
    EXPECT_EQ(options.seconds(), 3600.0);
    EXPECT_EQ(options.parse({"--", "-odd.pdn"}), Options::Outcome::Run);
    EXPECT_EQ(options.file(), "-odd.pdn");
    EXPECT_EQ(options.parse({"--level", "3", "--help"}), Options::Outcome::Help);
    EXPECT_NE(Options::usage().find("--level"), std::string::npos);
}

TEST(OptionsTest, RefusesBadOptionsInOneLine)
{
    // Seconds are plain decimals (no hexadecimal, exponent, sign, blank or second point);
    // what the user typed is quoted escaped.
    // clang-format off
    const std::vector<std::vector<std::string>> bad = {
        {"--colour", "white"}, {"--white"},        {"--white", "robot"}, {"--time", "0"},  {"--time", "abc"},
        {"--time", "nan"},     {"--time", "1e9"},  {"--level", "11"},    {"--level", "0"}, {"--level", "5x"},
        {"--level="},          {"a.pdn", "b.pdn"}, {"-x"},               {""},             {"--time", "0x10"},
        {"--time", "1e1"},     {"--time", "+2"},   {"--time", " 2"},     {"--time", "2 "}, {"--time", "1.2.3"},
        {"--time", "."},       {"--time", "inf"},  {"--white", "\x1b]0;owned\x07"},      {"\x1b[2J", "b.pdn"},
        {"--game", "0", "a.pdn"}, {"--game", "-2", "a.pdn"}, {"--game=+2", "a.pdn"},  {"--game", "3"}};
    // clang-format on
    for (const auto& arguments : bad) {
        Options options;
        EXPECT_EQ(options.parse(arguments), Options::Outcome::Error) << arguments.front();
        EXPECT_FALSE(options.error().empty());
        for (char c : options.error())
            EXPECT_TRUE(static_cast<unsigned char>(c) >= 0x20 && c != 0x7f) << options.error();
    }
}

TEST(OptionsTest, ReadsTheNetworkGame)
{
    Options options;
    // Listening, by default on the loopback address and the usual port; the person plays White.
    ASSERT_EQ(options.parse({"--dxp-listen"}), Options::Outcome::Run) << options.error();
    EXPECT_EQ(options.network(), Options::Network::Listen);
    EXPECT_EQ(options.dxpAddress(), "127.0.0.1");
    EXPECT_EQ(options.dxpPort(), 27531);
    EXPECT_FALSE(options.dxpInitiates());
    EXPECT_EQ(options.white(), Options::Side::Human);
    EXPECT_EQ(options.black(), Options::Side::Remote);
    EXPECT_EQ(options.localColor(), Color::White);
    // The port is optional: digits after the option are it, anything else is not.
    ASSERT_EQ(options.parse({"--dxp-listen", "0", "--dxp-bind", "::1", "--dxp-initiate", "--black", "computer"}),
              Options::Outcome::Run)
        << options.error();
    EXPECT_EQ(options.dxpPort(), 0);
    EXPECT_EQ(options.dxpAddress(), "::1");
    EXPECT_TRUE(options.dxpInitiates());
    EXPECT_EQ(options.white(), Options::Side::Remote);
    EXPECT_EQ(options.black(), Options::Side::Computer);
    EXPECT_EQ(options.localColor(), Color::Black);
    ASSERT_EQ(options.parse({"--dxp-listen", "--dxp-trace", "--glide=0"}), Options::Outcome::Run) << options.error();
    EXPECT_EQ(options.dxpPort(), 27531);
    EXPECT_TRUE(options.dxpTrace());
    EXPECT_EQ(options.glideSeconds(), 0.0);
    ASSERT_EQ(options.parse({"--dxp-listen=27000", "--white", "computer", "--engine", "eng"}), Options::Outcome::Run);
    EXPECT_EQ(options.dxpPort(), 27000);
    EXPECT_EQ(options.white(), Options::Side::Engine);

    // Connecting: HOST, HOST:PORT, [IPV6]:PORT, an IPv6 address alone.
    const std::vector<std::tuple<std::string, std::string, int>> hosts = {
        {"localhost", "localhost", 27531},
        {"127.0.0.1:4000", "127.0.0.1", 4000},
        {"[::1]:27000", "::1", 27000},
        {"[::1]", "::1", 27531},
        {"::1", "::1", 27531},
        {"board-3.example.org:65535", "board-3.example.org", 65535}};
    for (const auto& [text, host, port] : hosts) {
        ASSERT_EQ(options.parse({"--dxp-connect", text}), Options::Outcome::Run) << text << ": " << options.error();
        EXPECT_EQ(options.network(), Options::Network::Connect);
        EXPECT_EQ(options.dxpAddress(), host);
        EXPECT_EQ(options.dxpPort(), port);
        EXPECT_TRUE(options.dxpInitiates());
    }
    EXPECT_EQ(options.glideSeconds(), 0.4);

    // Wrong ports, hosts and addresses, and options that do not go together.
    // clang-format off
    const std::vector<std::vector<std::string>> bad = {
        {"--dxp-listen", "65536"}, {"--dxp-listen=x"}, {"--dxp-listen=-1"}, {"--dxp-connect"},
        {"--dxp-connect", ""}, {"--dxp-connect", "host:"}, {"--dxp-connect", "host:0"}, {"--dxp-connect", "host:99999"},
        {"--dxp-connect", "host:80x"}, {"--dxp-connect", "[::1"}, {"--dxp-connect", "[::1]x"}, {"--dxp-connect", "a b"},
        {"--dxp-connect", "h\x1b[2J"}, {"--dxp-listen", "--dxp-bind", "localhost"}, {"--dxp-listen", "--dxp-bind", "1.2.3"},
        {"--dxp-bind", "127.0.0.1"}, {"--dxp-initiate"}, {"--dxp-trace"}, {"--dxp-listen", "--dxp-connect", "h"},
        {"--dxp-connect", "h", "--dxp-listen"}, {"--dxp-connect", "h", "--dxp-initiate"},
        {"--dxp-listen", "--white", "human", "--black", "computer"}, {"--dxp-listen", "game.pdn"},
        {"--dxp-listen", "--white", "engine"}, {"--dxp-initiate=yes", "--dxp-listen"}, {"--glide", "11"},
        {"--glide", "-1"}};
    // clang-format on
    for (const auto& arguments : bad) {
        EXPECT_EQ(options.parse(arguments), Options::Outcome::Error) << arguments.back();
        EXPECT_FALSE(options.error().empty());
        for (char c : options.error())
            EXPECT_TRUE(static_cast<unsigned char>(c) >= 0x20 && c != 0x7f) << options.error();
    }
    EXPECT_NE(Options::usage().find("--dxp-listen"), std::string::npos);
}
