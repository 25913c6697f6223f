#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "TrainingSet.h"

using namespace Draughts;

namespace
{
std::string write(const std::string& bytes)
{
    const std::string path = ::testing::TempDir() + "positions" + std::to_string(getpid());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    return path;
}
} // namespace

TEST(TrainingSetTest, RecordsReadBackAndDamagedOnesAreRefused)
{
    std::vector<TrainingPosition> written(3);
    std::string error;
    ASSERT_TRUE(Position::fromFen("B:W31,K46,50:BK1,5,20", written[0].position, error));
    written[0] = {written[0].position, -1, -31999, 0};
    written[1] = {Position::initial(), 1, 75, 65535};
    written[2] = {Position(), 0, 0, 7};
    std::string bytes;
    for (const TrainingPosition& entry : written)
        TrainingSet::encode(entry, bytes);
    ASSERT_EQ(bytes.size(), 3 * TrainingSet::c_RecordBytes);

    std::vector<TrainingPosition> read;
    std::string path = write(bytes);
    ASSERT_TRUE(TrainingSet::read(path, read, error)) << error;
    ASSERT_EQ(read.size(), 3u);
    for (std::size_t i = 0; i < read.size(); ++i) {
        EXPECT_EQ(read[i].position, written[i].position) << i;
        EXPECT_EQ(read[i].position.hash(), written[i].position.hash()) << i;
        EXPECT_EQ(read[i].result, written[i].result) << i;
        EXPECT_EQ(read[i].score, written[i].score) << i;
        EXPECT_EQ(read[i].ply, written[i].ply) << i;
    }

    // A cut record, pieces on one square twice, a king without a piece, a piece on an
    // unused bit, a bad side or result: refused, naming the record.
    auto refused = [&](std::string damaged, const char* why) {
        path = write(damaged);
        std::vector<TrainingPosition> none;
        std::string reason;
        EXPECT_FALSE(TrainingSet::read(path, none, reason)) << why;
        EXPECT_NE(reason.find("record"), std::string::npos) << reason;
    };
    refused(bytes.substr(0, bytes.size() - 5), "cut");
    std::string twice = bytes;
    twice[32 + 8] = twice[32 + 0] = 1;
    refused(twice, "twice");
    std::string king = bytes;
    king[64 + 16] = 1;
    refused(king, "king alone");
    std::string unused = bytes;
    unused[7] = static_cast<char>(0x80);
    refused(unused, "unused bit");
    std::string side = bytes;
    side[24] = 2;
    refused(side, "side");
    std::string result = bytes;
    result[25] = 3;
    refused(result, "result");
    std::remove(path.c_str());
}
