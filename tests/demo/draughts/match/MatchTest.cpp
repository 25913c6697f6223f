#include <gtest/gtest.h>

#include "../RunCommand.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>

#include "MatchEngine.h"
#include "MatchStatistics.h"

using namespace Draughts;

TEST(MatchStatisticsTest, EloMarginsAndTheSequentialTest)
{
    MatchStatistics even;
    EXPECT_EQ(even.score(), 0.5);
    EXPECT_EQ(even.elo(), 0);
    for (int i = 0; i < 10; ++i) {
        even.add(1);
        even.add(0);
        even.add(0.5);
    }
    EXPECT_EQ(even.wins(), 10);
    EXPECT_EQ(even.draws(), 10);
    EXPECT_EQ(even.losses(), 10);
    EXPECT_NEAR(even.elo(), 0, 1e-9);
    EXPECT_EQ(even.sprt(0, 10), MatchStatistics::Verdict::Open);

    // 75 % is 190.8 Elo; the margin narrows as games add up at the same score.
    MatchStatistics few, many;
    for (int i = 0; i < 20; ++i)
        few.add(i % 4 == 0 ? 0 : 1);
    for (int i = 0; i < 2000; ++i)
        many.add(i % 4 == 0 ? 0 : 1);
    EXPECT_NEAR(few.elo(), 190.85, 0.1);
    EXPECT_NEAR(many.elo(), 190.85, 0.1);
    EXPECT_GT(few.margin(), 3 * many.margin());
    EXPECT_GT(many.margin(), 5);
    EXPECT_NEAR(MatchStatistics::eloOf(MatchStatistics::expectedScore(37)), 37, 1e-9);
    // All won or all lost stays finite.
    MatchStatistics sweep;
    sweep.add(1);
    EXPECT_EQ(sweep.elo(), 1000);

    // A clear winner passes the test, a clear loser fails it, an equal match fails it in the end.
    EXPECT_EQ(many.sprt(0, 10), MatchStatistics::Verdict::Better);
    MatchStatistics losing;
    for (int i = 0; i < 400; ++i)
        losing.add(i % 3 == 0 ? 1 : 0);
    EXPECT_EQ(losing.sprt(0, 10), MatchStatistics::Verdict::NotBetter);
    MatchStatistics equal;
    for (int i = 0; i < 6000; ++i)
        equal.add(i % 3 == 0 ? 1 : i % 3 == 1 ? 0 : 0.5);
    EXPECT_EQ(equal.sprt(0, 10), MatchStatistics::Verdict::NotBetter);
}

TEST(MatchEngineTest, PlaysLegalMovesAndRefusesAnEngineThatDoesNot)
{
    MatchEngine engine;
    std::string error;
    ASSERT_TRUE(engine.start(DRAUGHTS_ENGINE, {{"hash", "1"}, {"weights", "none"}}, error)) << error;
    EXPECT_EQ(engine.name(), "Tessellon draughts");
    // A parameter the engine cannot take stops the start: the match would measure another engine.
    MatchEngine refusing;
    EXPECT_FALSE(refusing.start(DRAUGHTS_ENGINE, {{"weights", "/no/such/weights"}}, error));
    EXPECT_NE(error.find("refused its parameters: weights: cannot open"), std::string::npos) << error;
    // A few moves each way, by nodes and by time, with king moves in the position sent.
    Game game;
    for (int ply = 0; ply < 6 && game.result() == Result::Ongoing; ++ply) {
        ASSERT_TRUE(engine.newGame(error)) << error;
        MatchEngine::Limit limit;
        limit.nodes = ply % 2 == 0 ? 2000 : 0;
        limit.seconds = 0.02;
        Move move;
        ASSERT_TRUE(engine.play(game, limit, move, error)) << error;
        ASSERT_TRUE(game.play(move)) << move.toString();
    }

    // An engine that answers a move of the wrong side, one that never answers, one that ends.
    const std::string script = "while read line; do case $line in hub) echo wait;; init) echo ready;; "
                               "ping) echo pong;; go*) echo done move=%s;; esac; done";
    for (const char* answer : {"19-23", "", "quit"}) {
        MatchEngine fake;
        char body[512];
        std::snprintf(body, sizeof body, script.c_str(), answer);
        std::string command = std::string("/bin/sh -c '") + body + "'";
        if (std::string(answer).empty())
            command = "/bin/sh -c 'while read line; do case $line in hub) echo wait;; init) echo ready;; esac; done'";
        if (std::string(answer) == "quit")
            command = "/bin/sh -c 'read a; echo wait; read b; echo ready; read c; read d; read e; exit 3'";
        ASSERT_TRUE(fake.start(command, {}, error)) << error;
        Move move;
        MatchEngine::Limit limit;
        limit.nodes = 0;
        limit.seconds = 0.01;
        error.clear();
        EXPECT_FALSE(fake.play(Game(), limit, move, error)) << answer;
        EXPECT_FALSE(error.empty());
    }
}

TEST(MatchProgramTest, PlaysEachOpeningWithBothColoursAndReportsTheScore)
{
    char pattern[] = "/tmp/draughts-match-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    std::ofstream(dir + "/two.txt") << "# two openings\n32-28 19-23 28x19 14x23\n\n33-29 17-21\n";
    std::ofstream(dir + "/bad.txt") << "32-28 19-23\n32-28 19-23 28-22\n";
    const std::string engine = std::string("'") + DRAUGHTS_ENGINE + " '";
    const std::string match = std::string(DRAUGHTS_MATCH) + " --engine " + engine + " --engine " + engine +
                              " --set-a hash=1 --set-b hash=1 --nodes 300 ";

    // Four games, each opening twice, cut short by the ply limit: each adjudicated a draw.
    auto [output, status] = runCommand(match + "--games 4 --max-plies 24 --openings " + dir + "/two.txt");
    EXPECT_EQ(status, 0) << output;
    for (const char* text : {"game 1 (opening 1, Tessellon draughts White): drawn, adjudicated a draw past 24 plies",
                             "game 2 (opening 1,", "game 3 (opening 2,", "game 4 (opening 2,",
                             "300 positions a move, 2 openings: 4 games, +0 =4 -0 (4 adjudicated), score 50.0 %"})
        EXPECT_NE(output.find(text), std::string::npos) << text << " in\n" << output;
    EXPECT_EQ(output.find("game 5"), std::string::npos) << output;

    // Played out, games end by the rules; the sequential test reports its verdict.
    std::tie(output, status) = runCommand(match + "--games 2 --quiet --sprt 0,10 --openings " + dir + "/two.txt");
    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(output.find(": 2 games, +"), std::string::npos) << output;
    EXPECT_NE(output.find("(0 adjudicated)"), std::string::npos) << output;
    EXPECT_NE(output.find("SPRT [0, 10]: undecided"), std::string::npos) << output;

    std::tie(output, status) = runCommand(match + "--openings " + dir + "/bad.txt");
    EXPECT_EQ(status, 1);
    EXPECT_NE(output.find("bad.txt:2: "), std::string::npos) << output;
    std::tie(output, status) = runCommand(match + "--openings " + dir + "/none.txt");
    EXPECT_EQ(status, 1);
    std::tie(output, status) = runCommand(std::string(DRAUGHTS_MATCH) + " --engine " + engine + " --games x");
    EXPECT_EQ(status, 2);
    EXPECT_EQ(output.rfind("Usage: draughts_match", 0), 0u) << output;
    std::tie(output, status) = runCommand(std::string(DRAUGHTS_MATCH) + " --engine /no/such/engine --engine " + engine +
                                          " --openings " + dir + "/two.txt");
    EXPECT_EQ(status, 1);
    EXPECT_NE(output.find("draughts_match: "), std::string::npos) << output;
    std::remove((dir + "/two.txt").c_str());
    std::remove((dir + "/bad.txt").c_str());
    rmdir(dir.c_str());
}
