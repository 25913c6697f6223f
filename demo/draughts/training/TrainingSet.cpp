#include "TrainingSet.h"

#include <cstdio>
#include <memory>

#include "core/Quotable.h"

namespace Draughts
{
namespace
{
void putWord(std::uint64_t value, int bytes, std::string& out)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}
std::uint64_t getWord(const unsigned char* in, int bytes)
{
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value |= static_cast<std::uint64_t>(in[i]) << (8 * i);
    return value;
}
struct FileCloser
{
    void operator()(std::FILE* file) const { std::fclose(file); }
};
} // namespace

void TrainingSet::encode(const TrainingPosition& entry, std::string& bytes)
{
    const Position& position = entry.position;
    putWord(position.pieces(Color::White), 8, bytes);
    putWord(position.pieces(Color::Black), 8, bytes);
    putWord(position.kings(), 8, bytes);
    bytes.push_back(position.sideToMove() == Color::White ? 0 : 1);
    bytes.push_back(static_cast<char>(entry.result + 1));
    putWord(static_cast<std::uint64_t>(std::max(0, std::min(entry.ply, 0xFFFF))), 2, bytes);
    putWord(static_cast<std::uint16_t>(static_cast<std::int16_t>(std::max(-32000, std::min(entry.score, 32000)))), 2,
            bytes);
    putWord(0, 2, bytes);
}

bool TrainingSet::decode(const unsigned char* record, TrainingPosition& entry)
{
    const Bitboard white = getWord(record, 8);
    const Bitboard black = getWord(record + 8, 8);
    const Bitboard kings = getWord(record + 16, 8);
    const int side = record[24];
    const int result = record[25];
    if ((white & black) || ((white | black) & ~Bits::c_Board) || (kings & ~(white | black)) || side > 1 || result > 2)
        return false;
    Position position;
    for (int square = 1; square <= Bits::c_Squares; ++square) {
        const Bitboard mask = Bits::maskOf(Bits::bitOf(square));
        const bool king = kings & mask;
        if (white & mask)
            position.set(square, king ? Piece::WhiteKing : Piece::WhiteMan);
        else if (black & mask)
            position.set(square, king ? Piece::BlackKing : Piece::BlackMan);
    }
    position.setSideToMove(side == 0 ? Color::White : Color::Black);
    entry.position = position;
    entry.result = result - 1;
    entry.ply = static_cast<int>(getWord(record + 26, 2));
    entry.score = static_cast<std::int16_t>(getWord(record + 28, 2));
    return true;
}

bool TrainingSet::read(const std::string& path, std::vector<TrainingPosition>& positions, std::string& error)
{
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        error = "cannot open " + Core::quotable(path);
        return false;
    }
    unsigned char record[c_RecordBytes];
    for (std::size_t index = 0;; ++index) {
        const std::size_t got = std::fread(record, 1, c_RecordBytes, file.get());
        if (got == 0)
            break;
        TrainingPosition entry;
        if (got != c_RecordBytes || !decode(record, entry)) {
            error = Core::quotable(path) + ": record " + std::to_string(index + 1) + " is not a training position";
            return false;
        }
        positions.push_back(entry);
    }
    if (std::ferror(file.get())) {
        error = "cannot read " + Core::quotable(path);
        return false;
    }
    return true;
}

} // namespace Draughts
