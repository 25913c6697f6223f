// The Hub protocol's lines, positions and moves, read and written.
#include <gtest/gtest.h>

#include "HubLine.h"
#include "HubNotation.h"
#include "LineReader.h"
#include "Notation.h"

using namespace Draughts;

TEST(HubLineTest, ReadsCommandsFlagsAndQuotedValues)
{
    HubLine line;
    std::string error;
    ASSERT_TRUE(HubLine::parse("info depth=21  score=-0.01 pv=\"32-28 17-22\" flag nps=8.0\r", line, error)) << error;
    EXPECT_EQ(line.command(), "info");
    std::string value;
    EXPECT_TRUE(line.value("pv", value));
    EXPECT_EQ(value, "32-28 17-22");
    EXPECT_TRUE(line.value("nps", value));
    EXPECT_EQ(value, "8.0");
    EXPECT_TRUE(line.has("flag"));
    EXPECT_FALSE(line.value("flag", value)) << "a flag has no value";
    EXPECT_FALSE(line.has("mean-depth"));
    ASSERT_TRUE(HubLine::parse("go think", line, error));
    EXPECT_EQ(line.firstName(), "think");
    ASSERT_TRUE(HubLine::parse("error message=\"\"", line, error));
    EXPECT_TRUE(line.value("message", value));
    EXPECT_EQ(value, "");

    for (const char* bad : {"", "   ", "pos pos=\"Wbbb", "go =think", "set-param na\"me=1", "info pv=\"a\"b",
                            "info a=b\"c", "ping\x01", "\"hub\""}) {
        EXPECT_FALSE(HubLine::parse(bad, line, error)) << bad;
        EXPECT_FALSE(error.empty());
    }
}

// What is written reads back the same; values that would break the line are made safe.
TEST(HubLineTest, WritesWhatReadsBack)
{
    HubLine line("id");
    line.add("name", "Tessellon draughts").add("version", "1.0").add("empty", "").add("eq", "a=b").flag("bare");
    EXPECT_EQ(line.format(), "id name=\"Tessellon draughts\" version=1.0 empty=\"\" eq=\"a=b\" bare");
    HubLine back;
    std::string error, value;
    ASSERT_TRUE(HubLine::parse(line.format(), back, error)) << error;
    ASSERT_EQ(back.arguments().size(), line.arguments().size());
    EXPECT_TRUE(back.value("eq", value));
    EXPECT_EQ(value, "a=b");

    HubLine hostile("error");
    hostile.add("message", "two\nlines and a \"quote\"");
    EXPECT_EQ(hostile.format(), "error message=\"two lines and a 'quote'\"");
    ASSERT_TRUE(HubLine::parse(hostile.format(), back, error)) << error;
}

TEST(HubLineTest, PositionsAndMoves)
{
    const std::string initial = "W" + std::string(20, 'b') + std::string(10, 'e') + std::string(20, 'w');
    EXPECT_EQ(HubNotation::writePosition(Position::initial()), initial);
    Position position;
    std::string error;
    ASSERT_TRUE(HubNotation::readPosition(initial, position, error)) << error;
    EXPECT_EQ(position, Position::initial());
    std::string kings = "B" + std::string(50, 'e');
    kings[1] = 'W';
    kings[50] = 'B';
    ASSERT_TRUE(HubNotation::readPosition(kings, position, error)) << error;
    EXPECT_EQ(position.at(1), Piece::WhiteKing);
    EXPECT_EQ(position.at(50), Piece::BlackKing);
    EXPECT_EQ(position.sideToMove(), Color::Black);
    EXPECT_EQ(HubNotation::writePosition(position), kings);
    for (const std::string& bad : {initial.substr(1), initial + "e", "X" + initial.substr(1), "W" + std::string(49, 'e') + "k"})
        EXPECT_FALSE(HubNotation::readPosition(bad, position, error)) << bad;

    // 32 takes 28, 29, 30, 20 by 23 or 38, 39, 30, 20 by 43, ending on 14 both times.
    ASSERT_TRUE(Position::fromFen("W:W26,32,40:B20,28,29,30,38,39", position, error)) << error;
    Move move;
    ASSERT_TRUE(HubNotation::readMove(position, "32x14x30x28x20x29", move, error)) << error;
    EXPECT_EQ(move.toLongString(), "32x23x34x25x14");
    EXPECT_EQ(HubNotation::writeMove(move), "32x14x20x28x29x30");
    ASSERT_TRUE(HubNotation::readMove(position, "32x14x20x30x38x39", move, error)) << error;
    EXPECT_EQ(HubNotation::writeMove(move), "32x14x20x30x38x39");
    EXPECT_FALSE(HubNotation::readMove(position, "32x14", move, error));
    EXPECT_NE(error.find("ambiguous"), std::string::npos) << error;
    for (const char* bad : {"32x14x20", "32-27", "32x14x20x28x29x31", "32-14", "32", "32x", "x14", "32x14-20",
                            "32x14x20x28x29x30x", "0-5", "51-46", "1234-5"}) {
        EXPECT_FALSE(HubNotation::readMove(position, bad, move, error)) << bad;
        EXPECT_FALSE(error.empty());
    }
    ASSERT_TRUE(HubNotation::readMove(Position::initial(), "32-28", move, error)) << error;
    EXPECT_EQ(HubNotation::writeMove(move), "32-28");
}

TEST(HubLineTest, LinesOfBoundedLength)
{
    LineReader reader(8);
    const std::string input = "short\r\nmuch too long a line\n\nlast";
    reader.feed(input.data(), 3);
    std::string line;
    bool tooLong = false;
    EXPECT_FALSE(reader.next(line, tooLong));
    reader.feed(input.data() + 3, input.size() - 3);
    ASSERT_TRUE(reader.next(line, tooLong));
    EXPECT_EQ(line, "short");
    EXPECT_FALSE(tooLong);
    ASSERT_TRUE(reader.next(line, tooLong));
    EXPECT_EQ(line, "much too");
    EXPECT_TRUE(tooLong);
    ASSERT_TRUE(reader.next(line, tooLong));
    EXPECT_EQ(line, "");
    EXPECT_FALSE(reader.next(line, tooLong));
    ASSERT_TRUE(reader.rest(line, tooLong));
    EXPECT_EQ(line, "last");
    EXPECT_FALSE(reader.rest(line, tooLong));
}
