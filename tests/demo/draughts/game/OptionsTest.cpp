#include <gtest/gtest.h>

#include "Options.h"

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
