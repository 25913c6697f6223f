#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Position.h"

namespace Draughts
{

// A quiet position from a self-play game (the side to move has no capture) with how that
// game ended and what the search said of it.
struct TrainingPosition
{
    Position position;
    // The game's result from White's side: 1 won, 0 drawn, -1 lost.
    int result = 0;
    // The search's score, hundredths of a man from the side to move (clamped to 16 bits).
    int score = 0;
    // Plies played before the position in its game.
    int ply = 0;
};

// Training positions on disk: fixed records of 32 bytes, little-endian (White's, Black's and
// the kings' bit sets, then side to move, result, ply and score), so that generators can
// append to a file and a reader can check every record on its own.
class TrainingSet
{
public:
    static constexpr std::size_t c_RecordBytes = 32;

    // Appends a position's record to the bytes.
    static void encode(const TrainingPosition& position, std::string& bytes);
    // Reads every record of a file into `positions` (appended). False with a one-line reason
    // when the file cannot be read, its size is not a whole number of records, or a record is
    // not a position (pieces off the board or on one square twice, a bad side or result).
    static bool read(const std::string& path, std::vector<TrainingPosition>& positions, std::string& error);
    // Decodes one record; false when it is not a position.
    static bool decode(const unsigned char* record, TrainingPosition& position);
};

} // namespace Draughts
