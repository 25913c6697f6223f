#include <gtest/gtest.h>

#include "../RunCommand.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <utility>

#include "EndgameTable.h"
#include "PatternEvaluation.h"
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

std::string contents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
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

TEST(TrainingSetTest, SelfPlayPlaysWithAWeightsFileAndRefusesABadOne)
{
    const std::string base = ::testing::TempDir() + "selfplay" + std::to_string(getpid());
    const std::string weightsPath = base + ".weights";
    PatternEvaluation weights;
    std::mt19937 random(5);
    for (int region = 0; region < PatternFeatures::c_Regions; ++region)
        for (int configuration = 0; configuration < PatternFeatures::c_Configurations; ++configuration)
            for (int phase = 0; phase < 2; ++phase)
                weights.region(region, configuration, phase) = static_cast<std::int16_t>(random() % 201) - 100;
    std::string error;
    ASSERT_TRUE(weights.save(weightsPath, error)) << error;

    const std::string games = std::string(DRAUGHTS_SELFPLAY) + " --games 3 --seed 4 --nodes 300-600";
    auto play = [&](const std::string& options, const std::string& out) {
        std::remove(out.c_str());
        const auto [output, status] = runCommand(games + options + " --out " + out);
        EXPECT_EQ(status, 0) << output;
        EXPECT_EQ(output.find("3 games"), 0u) << output;
        std::vector<TrainingPosition> positions;
        std::string why;
        EXPECT_TRUE(TrainingSet::read(out, positions, why)) << why;
        EXPECT_FALSE(positions.empty());
        return contents(out);
    };
    // The learnt weights play other games than the hand-set evaluation, and the same ones
    // again from the same seed.
    const std::string handSet = play("", base + ".a");
    const std::string learnt = play(" --weights " + weightsPath, base + ".b");
    EXPECT_TRUE(learnt != handSet) << "the weights file changed no game";
    EXPECT_TRUE(play(" --weights " + weightsPath, base + ".c") == learnt) << "not reproduced";

    // A missing, cut or foreign file: one line naming it, status 1, no positions written.
    const std::string out = base + ".d";
    std::remove(out.c_str());
    const std::string cut = base + ".cut";
    std::ofstream(cut, std::ios::binary) << contents(weightsPath).substr(0, 4096);
    for (const std::string& bad : {base + ".none", cut, base + ".a"}) {
        const auto [output, status] = runCommand(games + " --weights " + bad + " --out " + out);
        EXPECT_EQ(status, 1) << output;
        EXPECT_EQ(output.find("draughts_selfplay: "), 0u) << output;
        EXPECT_NE(output.find(bad), std::string::npos) << output;
        EXPECT_EQ(output.find('\n'), output.size() - 1) << output;
        EXPECT_FALSE(std::ifstream(out).good()) << bad;
    }
    // --weights needs a file.
    EXPECT_EQ(runCommand(games + " --out " + out + " --weights").second, 2);
    EXPECT_EQ(runCommand(games + " --out " + out + " --weights ''").second, 2);

    for (const char* suffix : {".weights", ".a", ".b", ".c", ".cut"})
        std::remove((base + suffix).c_str());
}

TEST(TrainingSetTest, TrainerFitsTheSameWeightsFromTheSameGamesAndTakesItsSettingsOnlyWhenAsked)
{
    const std::string base = ::testing::TempDir() + "train" + std::to_string(getpid());
    const std::string games = base + ".games";
    std::remove(games.c_str());
    const auto [played, playStatus] =
        runCommand(std::string(DRAUGHTS_SELFPLAY) + " --games 6 --seed 2 --nodes 300-600 --out " + games);
    ASSERT_EQ(playStatus, 0) << played;

    const std::string train = std::string(DRAUGHTS_TRAIN) + " --epochs 2 " + games + " --out ";
    auto fit = [&](const std::string& options, const std::string& out) {
        std::remove(out.c_str());
        const auto [output, status] = runCommand(train + out + options);
        EXPECT_EQ(status, 0) << output;
        PatternEvaluation weights;
        std::string error;
        EXPECT_TRUE(weights.load(out, error)) << error;
        return contents(out);
    };
    const std::string results = fit("", base + ".a");
    EXPECT_TRUE(fit(" --blend 1", base + ".b") == results) << "--blend 1 is not the plain fit";
    EXPECT_TRUE(fit("", base + ".c") == results) << "not reproduced";
    const std::string blended = fit(" --blend 0.5", base + ".d");
    EXPECT_TRUE(blended != results) << "the search's scores changed nothing";
    // A fixed scale for the scores changes a blended fit, reproducibly, and leaves a fit to
    // the results alone as it was.
    const std::string fixed = fit(" --blend 0.5 --fixed-scale", base + ".f");
    EXPECT_TRUE(fixed != blended) << "--fixed-scale changed nothing";
    EXPECT_TRUE(fit(" --fixed-scale --blend 0.5", base + ".f") == fixed) << "not reproduced";
    EXPECT_TRUE(fit(" --fixed-scale", base + ".f") == results) << "--fixed-scale changed a fit to the results";
    EXPECT_TRUE(fit(" --step 0.05", base + ".f") != results) << "--step changed nothing";

    // A setting out of its range or not a number: status 2, a line naming it, no file.
    const std::pair<const char*, const char*> bads[] = {
        {"--blend", "1.5"}, {"--blend", "-0.1"}, {"--blend", "x"},  {"--blend", "0.5x"}, {"--blend", "nan"},
        {"--step", "0"},    {"--step", "-1"},    {"--step", "nan"}, {"--penalty", "-1"}, {"--penalty", "2x"}};
    for (const auto& [option, bad] : bads) {
        const std::string out = base + ".e";
        std::remove(out.c_str());
        const auto [output, status] = runCommand(train + out + " " + option + " " + bad);
        EXPECT_EQ(status, 2) << option << " " << bad;
        EXPECT_NE(output.find(std::string(option) + " takes"), std::string::npos) << output;
        EXPECT_NE(output.find(std::string("'") + bad + "'"), std::string::npos) << output;
        EXPECT_FALSE(std::ifstream(out).good()) << option << " " << bad;
    }
    for (const char* suffix : {".games", ".a", ".b", ".c", ".d", ".f"})
        std::remove((base + suffix).c_str());
}

TEST(TrainingSetTest, EndgamesProgramWritesATableTheEngineLoads)
{
    const std::string path = ::testing::TempDir() + "endgames" + std::to_string(getpid());
    std::remove(path.c_str());
    const auto [output, status] = runCommand(std::string(DRAUGHTS_ENDGAMES) + " --pieces 2 " + path);
    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(output.find("1K v 1K"), std::string::npos) << output;
    EXPECT_NE(output.find("Wrote"), std::string::npos) << output;
    EndgameTable table;
    std::string error;
    ASSERT_TRUE(table.load(path, error)) << error;
    EXPECT_EQ(table.pieces(), 2);
    // A bad piece count or a missing file name: the usage, status 2, nothing written.
    for (const char* arguments : {" --pieces 5 ", " --pieces x ", " --pieces 3", ""}) {
        const std::string other = path + ".other";
        const std::string command = std::string(DRAUGHTS_ENDGAMES) + arguments +
                                    (std::string(arguments).find('x') != std::string::npos ||
                                             std::string(arguments).find('5') != std::string::npos
                                         ? other
                                         : "");
        EXPECT_EQ(runCommand(command).second, 2) << command;
        EXPECT_FALSE(std::ifstream(other).good()) << command;
    }
    // A folder it cannot write into: one line, status 1.
    const auto [refused, failed] = runCommand(std::string(DRAUGHTS_ENDGAMES) + " --pieces 2 /no/such/folder/table");
    EXPECT_EQ(failed, 1) << refused;
    EXPECT_EQ(refused.find("draughts_endgames: "), 0u) << refused;
    std::remove(path.c_str());
}
