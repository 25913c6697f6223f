#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "../FenPosition.h"
#include "Notation.h"
#include "PdnDatabase.h"
#include "PdnReader.h"
#include "PdnWriter.h"

using namespace Draughts;
using namespace std::string_literals;

namespace
{
std::vector<std::string> errorsOf(const std::string& text)
{
    std::vector<std::string> lines;
    for (const PdnError& error : PdnReader::read(text).errors)
        lines.push_back(error.toString());
    return lines;
}

// Random legal games, some from set-up positions, some ended by the rules.
std::vector<Game> randomGames(int count)
{
    std::mt19937 random(77);
    std::vector<Game> games;
    for (int i = 0; i < count; ++i) {
        Game game = i % 3 == 2 ? Game(fen("B:W27,28,32,K44:B12,13,K40")) : Game();
        game.setTag("Event", "Round trip " + std::to_string(i));
        while (game.result() == Result::Ongoing && game.moves().size() < 160u + 40u * (i % 2)) {
            const MoveList moves = game.legalMoves();
            game.play(moves[random() % moves.size()]);
        }
        games.push_back(game);
    }
    return games;
}
} // namespace

TEST(Notation, FenReadsRangesAndRefusesNonsense)
{
    EXPECT_EQ(fen("W:W31-50:B1-20"), Position::initial());
    EXPECT_EQ(fen(" B : WK24, 18 :BK3,12. ").toFen(), "B:W18,K24:BK3,12");
    EXPECT_EQ(Position::initial().toFen().substr(0, 14), "W:W31,32,33,34");
    const struct
    {
        const char* text;
        const char* problem;
    } bad[] = {{"X:W1", "it does not start with the side to move (W or B)"},
               {"W:W51", "square 51 is not between 1 and 50"},
               {"W:W10:B10", "square 10 is given twice"},
               {"W:W3", "a white man on square 3 would be a king"},
               {"B:B47", "a black man on square 47 would be a king"},
               {"W:W20-10", "range 20-10 runs backwards"},
               {"W:W31:W32", "White's pieces are listed twice"},
               {"W:W31,:Bx", "a square number is missing"},
               {"W:W31 B1", "unexpected 'B'"}};
    for (const auto& entry : bad) {
        Position position = Position::initial();
        std::string error;
        EXPECT_FALSE(Position::fromFen(entry.text, position, error)) << entry.text;
        EXPECT_EQ(error, std::string("Bad FEN \"") + entry.text + "\": " + entry.problem + ".");
        EXPECT_EQ(position, Position::initial());
    }
    // The text is quoted escaped: it cannot drive the terminal that shows the message.
    Position position;
    std::string error;
    EXPECT_FALSE(Position::fromFen("W:W31\x1b[2J", position, error));
    EXPECT_EQ(error, "Bad FEN \"W:W31\\x1B[2J\": unexpected '\\x1B'.");
}

TEST(Notation, IntermediateSquaresOnlyWhenTwoCapturesShareStartAndEnd)
{
    // From 45 to 38 the king takes 11, 29, 32 (by 7 and 16) or 22, 29, 32 (by 18 and 27).
    const Position position = fen("W:WK45:B11,22,28,29,31,32");
    Move move;
    std::string error;
    EXPECT_FALSE(Notation::read(position, "45x38", move, error));
    EXPECT_EQ(error, "ambiguous move: 2 captures from 45 to 38, give the squares in between");
    ASSERT_TRUE(Notation::read(position, "45x16x38", move, error)) << error;
    EXPECT_EQ(move.captured(), (std::vector<int>{29, 11, 32}));
    EXPECT_EQ(Notation::write(position, move), "45x7x16x38");
    ASSERT_TRUE(Notation::read(position, "45X18x27X38", move, error)) << error;
    EXPECT_EQ(Notation::write(position, move), "45x18x27x38");
    ASSERT_TRUE(Notation::read(position, "45x36", move, error));
    EXPECT_EQ(Notation::write(position, move), "45x36");

    // A route named by some of its landings is kept as given.
    const Position loop = fen("W:W33:B16,18,19,27,28,29,35,37,38");
    ASSERT_TRUE(Notation::read(loop, "33x42x31x22x13x24x33x22", move, error)) << error;
    EXPECT_EQ(move.landings(), (std::vector<int>{42, 31, 22, 13, 24, 33, 22}));
    EXPECT_EQ(Notation::write(loop, move), "33x22");

    const struct
    {
        const char* text;
        const char* error;
    } bad[] = {{"28-23", "illegal move: no white piece on 28"},
               {"33-28", "illegal move: White must capture 7 pieces"},
               {"33x24", "illegal move (White's captures take 7)"},
               {"33x22x", "not a move"},
               {"33-22x13", "not a move"},
               {"33x51", "not a move"}};
    for (const auto& entry : bad) {
        EXPECT_FALSE(Notation::read(loop, entry.text, move, error));
        EXPECT_EQ(error, entry.error);
    }
}

TEST(Notation, PdnSkipsCommentsVariationsAndAnnotations)
{
    const std::string text = "% a database header line\n"
                             "[Event \"Club \\\"Dam\\\" night\"]\n[White \"Bärbel\"]\n{ before the moves ( ) [ }\n"
                             "1. 32-28 19-23 2. 28x19 {taken (back} 14x23 3. 33-28! ; a remark\n"
                             "23x32 $1 (3... 10-14? (3... 9-14 {x)}) 4. 28x19) 4. 37x28!? 2-0\n"
                             "1.32-28 19-23 2.28x19 14x23 1/2-1/2\n"
                             "[GameType \"20,W,10,10,N2,0\"][FEN \"B:W27,28:B19,24,30\"]\n"
                             "12... 19-23 13. 28x19 24x13 *";
    const PdnContents contents = PdnReader::read(text);
    EXPECT_TRUE(contents.errors.empty()) << contents.errors.front().toString();
    ASSERT_EQ(contents.games.size(), 3u);
    EXPECT_EQ(contents.movesReplayed, 7 + 4 + 3);
    EXPECT_EQ(contents.games[0].tag("Event"), "Club \"Dam\" night");
    EXPECT_EQ(contents.games[0].tag("White"), "B\xc3\xa4rbel");
    EXPECT_EQ(contents.games[0].result(), Result::WhiteWins);
    EXPECT_EQ(contents.games[1].result(), Result::Draw);
    EXPECT_EQ(contents.games[1].tags().size(), 0u);
    const Game& setUp = contents.games[2];
    EXPECT_EQ(setUp.start().toFen(), "B:W27,28:B19,24,30");
    EXPECT_EQ(setUp.moveNumber(0), 12);
    EXPECT_EQ(setUp.moveText(2), "24x13");
    EXPECT_EQ(setUp.result(), Result::Ongoing);

    // Latin-1 and UTF-8 with a byte-order mark read the same name.
    EXPECT_EQ(PdnReader::read("[White \"B\xe4rbel\"] *").games.at(0).tag("White"), "B\xc3\xa4rbel");
    EXPECT_EQ(PdnReader::read("\xef\xbb\xbf[White \"B\xc3\xa4rbel\"] *").games.at(0).tag("White"), "B\xc3\xa4rbel");
}

TEST(Notation, PdnFaultsNameTheGameAndTheMove)
{
    const std::string text = "1. 32-28 19-23 2. 28x19 14x23 *\n"
                             "1. 32-28 19-23 2. 28-22 *\n"
                             "[FEN \"W:WK45:B11,22,28,29,31,32\"] 1. 45x38 *\n"
                             "[GameType \"21\"] 1. 32-28 *\n"
                             "[FEN \"W:W51\"] 1. 32-28 *\n"
                             "[FEN \"B:W28:B23\"] 1... 23x32 2-0\n"
                             "1. 32-28 19-23 2. 28x19 14x23 3. 33-28 23x32 4. 37x28 10-14 5. 28-23 xx *\n"
                             "[Event \"unclosed\n1. 32-28 *\n"
                             "1. 32-28 (1. 31-26 *\n"
                             "[FEN \"B:W28:B23\"] 1... 23x32 2. 32-37 *\n"
                             "1. 32-28 \x07\0 *\n"
                             "1. 32-28 {never closed"s;
    const PdnContents contents = PdnReader::read(text);
    EXPECT_EQ(contents.games.size(), 12u);
    EXPECT_EQ(errorsOf(text),
              (std::vector<std::string>{
                  "game 2, move 2. 28-22: illegal move: White must capture 1 piece",
                  "game 3, move 1. 45x38: ambiguous move: 2 captures from 45 to 38, give the squares in between",
                  "game 4: game type 21 is not international draughts (20)",
                  "game 5: Bad FEN \"W:W51\": square 51 is not between 1 and 50",
                  "game 7: unexpected \"xx\"",
                  "game 8: unreadable tag \"[Event\"",
                  "game 9: unterminated variation",
                  "game 10, move 2. 32-37: the game is over (Black wins: White has no pieces left.)",
                  "game 11: unexpected \"\\x07\\x00\"",
                  "game 12: unterminated comment",
              }));
    // A result against the rules' ending is a warning: the record is what was played.
    ASSERT_EQ(contents.warnings.size(), 1u);
    EXPECT_EQ(contents.warnings[0].toString(),
              "game 6: warning: result 2-0 does not match the end of the game (Black wins: White has no pieces left.)");
    // Moves before a fault stand; a faulty game's later moves are not replayed.
    EXPECT_EQ(contents.games[1].moves().size(), 2u);
    EXPECT_EQ(contents.games[6].moves().size(), 9u);
}

TEST(Notation, WrittenGamesReadBackTheSame)
{
    std::vector<Game> games = randomGames(12);
    // A capture that needs its route, a declared result, a name with quotes and accents.
    Game route(fen("W:WK45:B11,22,28,29,31,32"));
    std::string error;
    ASSERT_TRUE(route.play("45x18x38", error)) << error;
    route.declareResult(Result::WhiteWins);
    route.setTag("White", "Ren\xc3\xa9 \"the king\" \\ D.");
    games.push_back(route);

    const std::string text = PdnWriter::write(games);
    EXPECT_NE(text.find("1. 45x18x27x38 2-0"), std::string::npos);
    EXPECT_NE(text.find("[FEN \"B:W27,28,32,K44:B12,13,K40\"]"), std::string::npos);
    EXPECT_NE(text.find("\n1... "), std::string::npos);
    const PdnContents back = PdnReader::read(text);
    ASSERT_TRUE(back.errors.empty()) << back.errors.front().toString();
    ASSERT_EQ(back.games.size(), games.size());
    int ended = 0;
    for (std::size_t i = 0; i < games.size(); ++i) {
        const Game& a = games[i];
        const Game& b = back.games[i];
        EXPECT_EQ(a.start(), b.start());
        ASSERT_EQ(a.moves().size(), b.moves().size());
        for (std::size_t ply = 0; ply < a.moves().size(); ++ply)
            EXPECT_TRUE(a.moves()[ply] == b.moves()[ply]) << "game " << i << " ply " << ply;
        EXPECT_EQ(a.result(), b.result());
        EXPECT_EQ(a.drawRule(), b.drawRule());
        for (const auto& tag : a.tags())
            EXPECT_EQ(b.tag(tag.first), tag.second);
        ended += a.result() != Result::Ongoing;
    }
    EXPECT_GT(ended, 3);
    EXPECT_EQ(PdnWriter::write(back.games), text);
    for (std::size_t at = 0, next; at < text.size(); at = next + 1) {
        next = text.find('\n', at);
        EXPECT_LE(next - at, 80u);
    }
}

TEST(Notation, PdnFilesAreReadOnlyWhenRegular)
{
    char pattern[] = "/tmp/draughts-pdn-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    PdnDatabase database;
    std::string error;
    ASSERT_TRUE(PdnWriter::writeFile(dir + "/games.pdn", randomGames(2), error)) << error;
    ASSERT_TRUE(database.openFile(dir + "/games.pdn", error)) << error;
    EXPECT_EQ(database.size(), 2u);
    ASSERT_EQ(mkfifo((dir + "/fifo").c_str(), 0600), 0);
    EXPECT_FALSE(database.openFile(dir + "/fifo", error));
    EXPECT_EQ(database.size(), 0u);
    EXPECT_EQ(error, "Cannot read \"" + dir + "/fifo\": not a regular file.");
    EXPECT_FALSE(database.openFile(dir + "/missing.pdn", error));
    EXPECT_EQ(error, "Cannot read \"" + dir + "/missing.pdn\": No such file or directory.");
    EXPECT_FALSE(PdnWriter::writeFile(dir + "/no/such/folder.pdn", {}, error));
    EXPECT_EQ(error, "Cannot write \"" + dir + "/no/such/folder.pdn\": No such file or directory.");
    unlink((dir + "/fifo").c_str());
    unlink((dir + "/games.pdn").c_str());
    rmdir(dir.c_str());
}

// A save never replaces a file nor follows a link, takes the next free name, says when every
// name is taken, and leaves nothing behind when the disk fills up.
TEST(Notation, PdnFilesAreWrittenNewWithoutTouchingWhatExists)
{
    char pattern[] = "/tmp/draughts-pdn-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    const std::vector<Game> games = randomGames(1);
    auto contentOf = [](const std::string& path) {
        std::ifstream in(path);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    std::string error;
    const std::string stem = dir + "/game";
    // A link to nothing has the first name: it is skipped, not followed out of the folder.
    ASSERT_EQ(symlink((dir + "-outside.pdn").c_str(), (stem + ".pdn").c_str()), 0);
    EXPECT_EQ(PdnWriter::writeNewFile(stem, games, error), stem + "-2.pdn") << error;
    EXPECT_EQ(access((dir + "-outside.pdn").c_str(), F_OK), -1);
    EXPECT_EQ(contentOf(stem + "-2.pdn"), PdnWriter::write(games));
    EXPECT_FALSE(PdnWriter::writeFile(stem + ".pdn", games, error));
    EXPECT_EQ(error, "Cannot write \"" + stem + ".pdn\": File exists.");
    EXPECT_EQ(access((dir + "-outside.pdn").c_str(), F_OK), -1);

    // Every name taken: the last one is kept as it was.
    for (int n = 2; n <= 999; ++n)
        if (access((stem + "-" + std::to_string(n) + ".pdn").c_str(), F_OK) != 0)
            std::ofstream(stem + "-" + std::to_string(n) + ".pdn") << "kept " << n;
    EXPECT_EQ(PdnWriter::writeNewFile(stem, games, error), "");
    EXPECT_EQ(error, "Cannot write \"" + stem + ".pdn\": that name and -2 to -999 are all taken.");
    EXPECT_EQ(contentOf(stem + "-999.pdn"), "kept 999");

    // A full disk, as a file size limit: the message, and no partial file.
    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string written = PdnWriter::writeNewFile(dir + "/full", games, error);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(written, "");
    EXPECT_EQ(error, "Cannot write \"" + dir + "/full.pdn\": File too large.");
    EXPECT_EQ(access((dir + "/full.pdn").c_str(), F_OK), -1);

    std::filesystem::remove_all(dir);
}
