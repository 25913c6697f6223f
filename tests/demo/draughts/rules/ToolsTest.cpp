#include <gtest/gtest.h>

#include "../RunCommand.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <vector>

TEST(DraughtsTools, PerftPrintsEveryDepthAndEachFirstMove)
{
    auto [output, status] = runCommand(DRAUGHTS_PERFT " 3");
    EXPECT_EQ(status, 0);
    for (const char* line : {"perft 1: 9  (", "perft 2: 81  (", "perft 3: 658  (", "divide 3:\n31-26        ",
                             "\n35-30        ", "moves 9, total 658\n"})
        EXPECT_NE(output.find(line), std::string::npos) << line << " in\n" << output;

    std::tie(output, status) = runCommand(DRAUGHTS_PERFT " 1 'W:WK45:B11,22,28,29,31,32'");
    EXPECT_EQ(status, 0);
    EXPECT_NE(output.find("divide 1:\n45x18x27x38  1\n45x18x27x43  1\n45x18x27x49  1\n45x36        1\n"),
              std::string::npos)
        << output;

    EXPECT_EQ(runCommand(DRAUGHTS_PERFT " 0"),
              std::make_pair(std::string("Usage: draughts_perft [depth 1-30] [FEN]\n"), 2));
    EXPECT_EQ(
        runCommand(DRAUGHTS_PERFT " 2 W:W51"),
        std::make_pair(std::string("draughts_perft: Bad FEN \"W:W51\": square 51 is not between 1 and 50.\n"), 2));
}

// check: each problem, then per file games, moves, errors and warnings apart; a warning
// alone does not fail. list: a line per game from the index. Unreadable files and a wrong
// command line get their statuses.
TEST(DraughtsTools, PdnCheckAndListReportEachFileAndGame)
{
    char pattern[] = "/tmp/draughts-tools-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    std::ofstream(dir + "/good.pdn") << "[Event \"a\"][White \"Ann\tA.\"][Black \"Bob\"][Date \"2024.05.01\"]\n"
                                     << "1. 32-28 19-23 2. 28x19 14x23 *\n\n1. 33-29 [Result \"1-1\"] 1. 33-29 2-0\n";
    std::ofstream(dir + "/bad.pdn") << "1. 32-28 19-23 2. 28x19 14x23 3. 28-22 *\n1. 32-28 17-21 0-2\n";

    auto [output, status] = runCommand(DRAUGHTS_PDN " check " + dir + "/good.pdn");
    EXPECT_EQ(output, dir + "/good.pdn: game 3: warning: the Result tag says \"1-1\", the moves end with 2-0\n" + dir +
                          "/good.pdn: 3 games read, 6 moves replayed, 0 errors, 1 warning\n");
    EXPECT_EQ(status, 0);

    std::tie(output, status) = runCommand(DRAUGHTS_PDN " check " + dir + "/bad.pdn " + dir + "/none.pdn " + dir);
    EXPECT_EQ(output, dir + "/bad.pdn: game 1, move 3. 28-22: illegal move: no white piece on 28\n" + dir +
                          "/bad.pdn: 2 games read, 6 moves replayed, 1 error, 0 warnings\n" + "Cannot read \"" + dir +
                          "/none.pdn\": No such file or directory.\n" + "Cannot read \"" + dir +
                          "\": not a regular file.\n");
    EXPECT_EQ(status, 1);

    std::tie(output, status) = runCommand(DRAUGHTS_PDN " list " + dir + "/good.pdn " + dir + "/bad.pdn");
    EXPECT_EQ(output,
              "file\tgame\tWhite\tBlack\tevent\tdate\tresult\tmoves\tproblem\n" + dir +
                  "/good.pdn\t1\tAnn A.\tBob\ta\t2024.05.01\t*\t2\t\n" + dir + "/good.pdn\t2\t\t\t\t\t*\t1\t\n" + dir +
                  "/good.pdn\t3\t\t\t\t\t2-0\t1\twarning: the Result tag says \"1-1\", the moves end with 2-0\n" + dir +
                  "/bad.pdn\t1\t\t\t\t\t*\t2\terror: move 3. 28-22: illegal move: no white piece on 28\n" + dir +
                  "/bad.pdn\t2\t\t\t\t\t0-2\t1\t\n");
    EXPECT_EQ(status, 0);
    std::tie(output, status) = runCommand(DRAUGHTS_PDN " list " + dir + "/none.pdn");
    EXPECT_EQ(status, 1);

    std::tie(output, status) = runCommand(DRAUGHTS_PDN " --help");
    EXPECT_EQ(status, 0);
    EXPECT_NE(output.find("Exit status: 0"), std::string::npos) << output;
    EXPECT_EQ(runCommand(DRAUGHTS_PDN " verify x.pdn"),
              std::make_pair(std::string("Usage: draughts_pdn check|list FILE...   (--help tells more)\n"), 2));
    std::remove((dir + "/good.pdn").c_str());
    std::remove((dir + "/bad.pdn").c_str());
    rmdir(dir.c_str());
}

// Whatever a file holds, each fault is a bounded line of plain text: no escape sequence, bell
// or line end of the file reaches the terminal, and a huge tag or move is cut.
TEST(DraughtsTools, PdnCheckQuotesTheFilesTextEscapedAndCut)
{
    char pattern[] = "/tmp/draughts-tools-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    const std::string file = dir + "/hostile.pdn";
    std::ofstream(file) << "[FEN \"W:W31\x1b]0;owned\x07\"] *\n"
                        << "[FEN \"W:W" << std::string(1u << 20, '7') << "\"] *\n"
                        << "[GameType \"\x1b[2J21\"] *\n"
                        << "1. " << std::string(8u << 20, '1') << " *\n"
                        << "1. 32-28 \x1b"
                           "c\x07 *\n";
    auto [output, status] = runCommand(DRAUGHTS_PDN " check " + file);
    EXPECT_EQ(status, 1);
    std::size_t lines = 0;
    for (std::size_t at = 0, end; (end = output.find('\n', at)) != std::string::npos; at = end + 1, ++lines) {
        const std::string line = output.substr(at, end - at);
        EXPECT_LT(line.size(), 400u) << line.substr(0, 100);
        for (char c : line)
            ASSERT_TRUE(static_cast<unsigned char>(c) >= 0x20 && c != 0x7f) << line.substr(0, 100);
    }
    EXPECT_EQ(lines, 6u) << output.substr(0, 1000);
    for (const std::string& expected : std::vector<std::string>{
             file + ": game 1: Bad FEN \"W:W31\\x1B]0;owned\\x07\": unexpected '\\x1B'\n",
             file + ": game 2: Bad FEN \"W:W7777", "77...[1048579 bytes]\": square 1000 is not between 1 and 50\n",
             file + ": game 3: game type \\x1B[2J21 is not international draughts (20)\n",
             file + ": game 4, move 1. 1111", "11...[8388608 bytes]: not a move\n",
             file + ": game 5: unexpected \"\\x1Bc\\x07\"\n"})
        EXPECT_NE(output.find(expected), std::string::npos) << expected << " in\n" << output.substr(0, 2000);
    std::remove(file.c_str());
    rmdir(dir.c_str());
}
