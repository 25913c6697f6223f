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
    EXPECT_EQ(options.parse({"--", "-odd.pdn"}), Options::Outcome::Run);
    EXPECT_EQ(options.file(), "-odd.pdn");
    EXPECT_EQ(options.parse({"--level", "3", "--help"}), Options::Outcome::Help);
    EXPECT_NE(Options::usage().find("--level"), std::string::npos);
}

TEST(OptionsTest, RefusesBadOptionsInOneLine)
{
    const std::vector<std::vector<std::string>> bad = {
        {"--colour", "white"}, {"--white"},           {"--white", "robot"},  {"--time", "0"},
        {"--time", "abc"},     {"--time", "nan"},      {"--time", "1e9"},     {"--level", "11"},
        {"--level", "0"},      {"--level", "5x"},      {"--level="},          {"a.pdn", "b.pdn"},
        {"-x"},                {""}};
    for (const auto& arguments : bad) {
        Options options;
        EXPECT_EQ(options.parse(arguments), Options::Outcome::Error) << arguments.front();
        EXPECT_FALSE(options.error().empty());
        EXPECT_EQ(options.error().find('\n'), std::string::npos) << options.error();
    }
}
