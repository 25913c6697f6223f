// PDN as real files write it: the notation's forms, games kept up to their error, warnings
// for records that go on past the rules or contradict their result, the limits of a game,
// and databases indexed in one pass with games built when opened.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "PdnDatabase.h"
#include "PdnParser.h"
#include "PdnReader.h"
#include "PdnWriter.h"

using namespace Draughts;

namespace
{
std::vector<std::string> problemsOf(const PdnDatabase& database)
{
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < database.size(); ++i)
        for (const PdnError& problem : database.problems(i))
            lines.push_back(problem.toString());
    return lines;
}

PdnDatabase databaseOf(const std::string& text)
{
    PdnDatabase database;
    std::string error;
    EXPECT_TRUE(database.setText(text, error)) << error;
    return database;
}
} // namespace

TEST(PdnReading, ReadsTheFormsRealFilesWrite)
{
    // Black's king takes 14 landing on 5, White steps 43-38, Black 1-6: written every way.
    const struct
    {
        const char* text;
        const char* fen;
        Result result;
    } games[] = {
        {"[FEN \"B:W14,43:BK46,1\"] 1... 46x5 2. 43-38 1-6 2-0", "W:W38:BK5,6", Result::WhiteWins},
        // Squares padded to two characters, as in columns, and spaces on either side.
        {"[FEN \"B:W14,43:BK46,1\"]\n 1...  46x 5\n 2.  43-38   1- 6 1-0", "W:W38:BK5,6", Result::WhiteWins},
        {"[FEN \"B:W14,43:BK46,1\"] 1... 46 x 5 2.43-38 1 -6 0-2", "W:W38:BK5,6", Result::BlackWins},
        // Move numbers apart from their dots, with dots for White, or none after a comment.
        {"[FEN \"B:W14,43:BK46,1\"] 17. ... 46X 5 18 . 43-38 {eh} 1-6 0-1", "W:W38:BK5,6", Result::BlackWins},
        {"[FEN \"B:W14,43:BK46,1\"] 17 ... 46x5 18.43-38 18...1-6 1-1", "W:W38:BK5,6", Result::Draw},
        // Comments with clock and evaluation commands, commands alone, variations, NAGs.
        {"[FEN \"B:W14,43:BK46,1\"] 1... 46x5 {[%clock w0:59:30 b0:59:12]} [%eval -0.35,12] "
         "2. 43-38! (2. 43-39 {or} (2. 43-49?) 1-7) $14 1-6?! $2 1/2-1/2",
         "W:W38:BK5,6", Result::Draw},
        {"[FEN \"B:W14,43:BK46,1\"] 1... 46x5 2. 43-38 1-6 \xC2\xBD-\xC2\xBD", "W:W38:BK5,6", Result::Draw},
        {"[Black \"Dani\xEBl\"][FEN \"B:W14,43:BK46,1\"] 1... 46x5 2. 43-38 1-6 \xBD-\xBD", "W:W38:BK5,6",
         Result::Draw},
        {"[FEN \"B:W14,43:BK46,1\"] 1... 46x5 2. 43-38 1-6 0-0", "W:W38:BK5,6", Result::Ongoing},
        {"1.32-28 19-23 2.28x19 14x23 *", nullptr, Result::Ongoing},
    };
    for (const auto& entry : games) {
        const PdnDatabase database = databaseOf(entry.text);
        ASSERT_EQ(database.size(), 1u) << entry.text;
        EXPECT_TRUE(problemsOf(database).empty()) << entry.text << "\n" << problemsOf(database).front();
        const Game game = database.game(0);
        if (entry.fen)
            EXPECT_EQ(game.position().toFen(), entry.fen) << entry.text;
        else
            EXPECT_EQ(game.moves().size(), 4u) << entry.text;
        EXPECT_EQ(game.result(), entry.result) << entry.text;
        EXPECT_EQ(database.result(0), entry.result) << entry.text;
    }

    // Tags: unknown ones kept in their order, quotes inside a value, escapes, Latin-1.
    const PdnDatabase tagged = databaseOf("[Event \"Club \"De Dam\" night\"]\n[Clock \"40/2h\"] [Round \"3\"]\n"
                                          "[White \"F. \\\"Frits\\\" \\\\ B.\"]\n[Black \"Dani\xEBl\"] 1. 32-28 *");
    const Game game = tagged.game(0);
    ASSERT_EQ(game.tags().size(), 5u);
    EXPECT_EQ(game.tags()[1], std::make_pair(std::string("Clock"), std::string("40/2h")));
    EXPECT_EQ(game.tag("Event"), "Club \"De Dam\" night");
    EXPECT_EQ(game.tag("White"), "F. \"Frits\" \\ B.");
    EXPECT_EQ(game.tag("Black"), "Dani\xC3\xABl");
    EXPECT_EQ(tagged.tag(0, PdnDatabase::Tag::Event), "Club \"De Dam\" night");
    EXPECT_EQ(tagged.tag(0, PdnDatabase::Tag::White), "F. \"Frits\" \\ B.");
    EXPECT_EQ(tagged.tag(0, PdnDatabase::Tag::Black), "Dani\xC3\xABl");
    EXPECT_EQ(tagged.tag(0, PdnDatabase::Tag::Date), "");
}

// A recording error keeps the game up to it, names game, move and reason, and lets the
// others and the rest of the file be read.
TEST(PdnReading, KeepsAGameUpToItsError)
{
    const std::string text = "[White \"A\"][Result \"2-0\"]\n"
                             "1. 32-28 19-23 2. 28x19 14x23 3. 37-32 23-28? 4. 32x23 18x29 5. 33-28 12-18 *\n"
                             "[White \"B\"]\n1. 32-28 19-23 2. 28x19 { a capture written as a step } 2... 13-18 1-1\n"
                             "[White \"C\"]\n1. 32-28 19-23 2. 28x19 14x23 2-0\n";
    const PdnDatabase database = databaseOf(text);
    ASSERT_EQ(database.size(), 3u);
    EXPECT_EQ(problemsOf(database),
              (std::vector<std::string>{"game 1, move 5. 33-28: illegal move: White must capture 1 piece",
                                        "game 2, move 2... 13-18: illegal move: Black must capture 1 piece"}));
    EXPECT_TRUE(database.hasError(0) && database.hasError(1) && !database.hasError(2));
    EXPECT_EQ(database.moveCount(0), 8u);
    EXPECT_EQ(database.numberedMoves(0), 4u);
    // The index gives the record's result, the game opens without it, ready to play on.
    EXPECT_EQ(database.result(0), Result::WhiteWins);
    EXPECT_EQ(database.result(1), Result::Draw);
    Game first = database.game(0);
    EXPECT_EQ(first.moves().size(), 8u);
    EXPECT_EQ(first.result(), Result::Ongoing);
    ASSERT_FALSE(first.legalMoves().empty());
    EXPECT_TRUE(first.play(first.legalMoves().front()));
    EXPECT_EQ(database.game(1).moves().size(), 3u);
    EXPECT_EQ(database.game(2).result(), Result::WhiteWins);
    EXPECT_EQ(database.errorCount(), 2u);
    EXPECT_EQ(database.movesReplayed(), 8 + 3 + 4);

    // The same through PdnReader, which builds every game.
    const PdnContents contents = PdnReader::read(text);
    ASSERT_EQ(contents.games.size(), 3u);
    ASSERT_EQ(contents.errors.size(), 2u);
    EXPECT_EQ(contents.errors[1].toString(false), "move 2... 13-18: illegal move: Black must capture 1 piece");
    EXPECT_TRUE(contents.warnings.empty());
    EXPECT_EQ(contents.games[0].tag("White"), "A");
}

// A record is what was played: one going on past a draw rule, or whose result the rules or
// its Result tag contradict, is read whole with a warning.
TEST(PdnReading, WarnsOfRecordsPastADrawOrAgainstTheirResult)
{
    const std::string shuffle = "1. 49-43 1-7 2. 43-49 7-1 3. 49-43 1-7 4. 43-49 7-1 ";
    const std::string text = "[Result \"2-0\"][FEN \"W:WK49,K50:BK1,K2\"] " + shuffle + "5. 49-43 1-7 2-0\n" +
                             "[Result \"1-1\"][FEN \"W:WK49,K50:BK1,K2\"] 1. 49-43 1-7 2. 43-49 7-1 2-0\n" +
                             "[FEN \"W:W28:B23\"] 1. 28x19 1-1\n" + "[FEN \"W:WK49,K50:BK1,K2\"] " + shuffle +
                             "5. 49-44 *\n";
    const PdnDatabase database = databaseOf(text);
    ASSERT_EQ(database.size(), 4u);
    EXPECT_EQ(problemsOf(database),
              (std::vector<std::string>{
                  "game 1, move 5. 49-43: warning: the record goes on after the rules ended the game (Draw: the "
                  "same position for the third time.)",
                  "game 1: warning: result 2-0 does not match the end of the game (Draw: the same position for the "
                  "third time.)",
                  "game 2: warning: the Result tag says \"1-1\", the moves end with 2-0",
                  "game 3: warning: result 1-1 does not match the end of the game (White wins: Black has no pieces "
                  "left.)",
                  "game 4, move 5. 49-44: warning: the record goes on after the rules ended the game (Draw: the "
                  "same position for the third time.)"}));
    EXPECT_EQ(database.warningCount(), 5u);
    EXPECT_EQ(database.errorCount(), 0u);
    EXPECT_FALSE(database.hasError(0));
    EXPECT_TRUE(database.hasWarning(0));
    // Every move is kept; the rules' ending wins over a result they contradict.
    EXPECT_EQ(database.game(0).moves().size(), 10u);
    EXPECT_EQ(database.result(0), Result::Draw);
    EXPECT_EQ(database.result(1), Result::WhiteWins);
    EXPECT_EQ(database.result(2), Result::WhiteWins);
    const Game past = database.game(3);
    EXPECT_EQ(past.moves().size(), 9u);
    EXPECT_EQ(past.result(), Result::Ongoing);
}

// What one game may hold is bounded: tags past 1000 are dropped, moves past 10000 are not
// played; both said, and reading stays linear in the text.
TEST(PdnReading, BoundsTheTagsAndMovesOfAGame)
{
    std::string tags;
    for (int i = 0; i < 100000; ++i)
        tags += "[T" + std::to_string(i % 1500) + " \"" + std::to_string(i) + "\"]";
    const PdnDatabase tagged = databaseOf(tags + "[White \"late\"] 1. 32-28 *");
    const Game game = tagged.game(0);
    EXPECT_EQ(game.tags().size(), 1000u);
    EXPECT_EQ(game.tag("T0"), "0");
    EXPECT_EQ(game.tag("T999"), "999");
    EXPECT_EQ(tagged.tag(0, PdnDatabase::Tag::White), "");
    EXPECT_EQ(game.moves().size(), 1u);
    EXPECT_EQ(problemsOf(tagged), std::vector<std::string>{"game 1: warning: more than 1000 tags: the rest are ignored"});

    // Two kings each shuffling: drawn by repetition after 8 moves, then by the king-move rule.
    std::string moves;
    for (int i = 0; i < 2600; ++i)
        moves += std::to_string(2 * i + 1) + ". 49-43 1-7 " + std::to_string(2 * i + 2) + ". 43-49 7-1 ";
    const PdnDatabase shuffled = databaseOf("[FEN \"W:WK49,K50:BK1,K2\"] " + moves + "1-1");
    EXPECT_EQ(shuffled.moveCount(0), PdnParser::c_MaxMoves);
    EXPECT_EQ(shuffled.game(0).drawRule(), DrawRule::KingMoves);
    const std::vector<std::string> problems = problemsOf(shuffled);
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_EQ(problems[1], "game 1, move 5001. 49-43: more than 10000 moves: the rest of the game is not read");
}

// A database written here, with set-ups, declared results and a faulty game in it: the index
// agrees with every game built, whatever order the games are opened in.
TEST(PdnDatabase, IndexesADatabaseAndOpensAnyGame)
{
    std::mt19937 random(24);
    std::vector<Game> games;
    for (int i = 0; i < 120; ++i) {
        Position start = Position::initial();
        std::string error;
        if (i % 5 == 4) {
            EXPECT_TRUE(Position::fromFen("B:W27,28,32,K44:B12,13,K40", start, error)) << error;
        }
        Game game(start);
        game.setTag("Event", "Generated " + std::to_string(i / 10));
        game.setTag("White", "W\xC3\xA9 " + std::to_string(i));
        game.setTag("Black", "B " + std::to_string(random() % 100));
        game.setTag("Date", "2024.01." + std::to_string(1 + i % 28));
        const std::size_t length = i == 60 ? 40 : random() % 90;
        while (game.result() == Result::Ongoing && game.moves().size() < length) {
            const MoveList moves = game.legalMoves();
            game.play(moves[random() % moves.size()]);
        }
        if (game.result() == Result::Ongoing && i % 3 == 0)
            game.declareResult(i % 2 ? Result::Draw : Result::BlackWins);
        games.push_back(game);
    }
    std::string text = PdnWriter::write(games);
    // Game 61 loses its third move: Black's answer becomes White's.
    const std::size_t at = text.find("[Event \"Generated 6\"]");
    const std::size_t moveThree = text.find(" 2. ", at) + 1;
    text.replace(moveThree, text.find(' ', moveThree + 3) - moveThree + 1, "");

    const PdnDatabase database = databaseOf(text);
    ASSERT_EQ(database.size(), games.size());
    std::vector<std::size_t> order(games.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::shuffle(order.begin(), order.end(), random);
    for (std::size_t i : order) {
        const Game& written = games[i];
        const Game read = database.game(i);
        ASSERT_EQ(read.start(), written.start()) << i;
        EXPECT_EQ(read.tag("White"), written.tag("White"));
        EXPECT_EQ(database.tag(i, PdnDatabase::Tag::White), written.tag("White"));
        EXPECT_EQ(database.tag(i, PdnDatabase::Tag::Black), written.tag("Black"));
        EXPECT_EQ(database.tag(i, PdnDatabase::Tag::Event), written.tag("Event"));
        EXPECT_EQ(database.tag(i, PdnDatabase::Tag::Date), written.tag("Date"));
        EXPECT_EQ(database.moveCount(i), read.moves().size());
        if (i == 60) {
            EXPECT_TRUE(database.hasError(i));
            EXPECT_EQ(read.moves().size(), 2u);
            continue;
        }
        EXPECT_FALSE(database.hasError(i) || database.hasWarning(i)) << i;
        EXPECT_EQ(read.moves(), written.moves()) << i;
        EXPECT_EQ(read.result(), written.result()) << i;
        EXPECT_EQ(database.result(i), written.result()) << i;
    }
    EXPECT_EQ(database.errorCount(), 1u);
    EXPECT_EQ(database.game(games.size()).moves().size(), 0u);
    EXPECT_EQ(database.tag(games.size(), PdnDatabase::Tag::White), "");
}
