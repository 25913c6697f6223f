#include "PatternEvaluation.h"

#include <algorithm>
#include <mutex>

#include "DataFile.h"
#include "Evaluation.h"
#include "core/Quotable.h"

namespace Draughts
{
namespace
{
constexpr char c_Magic[8] = {'T', 'S', 'D', 'R', 'E', 'V', 'A', '1'};
constexpr std::size_t c_RegionWeights =
    static_cast<std::size_t>(PatternFeatures::c_Regions) * PatternFeatures::c_Configurations * 2;
constexpr std::size_t c_TermWeights = PatternFeatures::c_Terms * 2;
// Magic, three counts, the weights, the checksum.
constexpr std::size_t c_FileBytes = 8 + 3 * 4 + 2 * (c_RegionWeights + c_TermWeights) + 4;

std::uint32_t checksum(const unsigned char* bytes, std::size_t size)
{
    std::uint32_t hash = 2166136261u;
    for (std::size_t i = 0; i < size; ++i)
        hash = (hash ^ bytes[i]) * 16777619u;
    return hash;
}
void put(std::uint32_t value, int bytes, std::string& out)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}
std::uint32_t get(const unsigned char* in, int bytes)
{
    std::uint32_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value |= static_cast<std::uint32_t>(in[i]) << (8 * i);
    return value;
}

// The empty squares a side's kings can fly to, together.
int kingReach(Bitboard kings, Bitboard empty)
{
    Bitboard reach = 0;
    for (int direction = 0; direction < Bits::c_Directions; ++direction)
        for (Bitboard ray = Bits::shift(kings, direction) & empty; ray; ray = Bits::shift(ray, direction) & empty)
            reach |= ray;
    return Bits::count(reach);
}

} // namespace

const char* const PatternEvaluation::c_InstalledPath = DRAUGHTS_WEIGHTS_PATH;

PatternEvaluation::PatternEvaluation() : m_Regions(c_RegionWeights), m_Terms(c_TermWeights) {}

int PatternEvaluation::whiteScore(const PatternFeatures& features) const
{
    int middle = 0;
    int ending = 0;
    for (int i = 0; i < PatternFeatures::c_Regions; ++i) {
        const std::int16_t* own =
            &m_Regions[(static_cast<std::size_t>(i) * PatternFeatures::c_Configurations + features.white[i]) * 2];
        const std::int16_t* other =
            &m_Regions[(static_cast<std::size_t>(i) * PatternFeatures::c_Configurations + features.black[i]) * 2];
        middle += own[0] - other[0];
        ending += own[1] - other[1];
    }
    for (int t = 0; t < PatternFeatures::c_Terms; ++t) {
        middle += m_Terms[t * 2] * features.terms[t];
        ending += m_Terms[t * 2 + 1] * features.terms[t];
    }
    return (middle * features.phase + ending * (PatternFeatures::c_FullBoard - features.phase)) /
           PatternFeatures::c_FullBoard;
}

int PatternEvaluation::evaluate(const Position& position) const
{
    const PatternFeatures features = PatternFeatures::of(position);
    int score = whiteScore(features);
    if (Evaluation::drawishEnding(position))
        score /= 8;
    score += features.base;
    // A king that commands long diagonals is worth more than a hemmed-in one.
    const Bitboard kings = position.kings();
    if (kings && m_KingReach != 0) {
        const Bitboard empty = position.empty();
        score += m_KingReach * (kingReach(position.pieces(Color::White) & kings, empty) -
                                kingReach(position.pieces(Color::Black) & kings, empty));
    }
    return position.sideToMove() == Color::White ? score : -score;
}

bool PatternEvaluation::load(const std::string& path, std::string& error)
{
    std::vector<unsigned char> bytes;
    if (!DataFile::read(path, c_FileBytes, bytes, error,
                        Core::quotable(path) + " is not a weights file of this version (wrong size)"))
        return false;

    const unsigned char* data = bytes.data();
    if (!std::equal(std::begin(c_Magic), std::end(c_Magic), bytes.begin()) ||
        get(data + 8, 4) != PatternFeatures::c_Regions || get(data + 12, 4) != PatternFeatures::c_Configurations ||
        get(data + 16, 4) != PatternFeatures::c_Terms) {
        error = Core::quotable(path) + " is not a weights file of this version";
        return false;
    }
    if (get(data + c_FileBytes - 4, 4) != checksum(data, c_FileBytes - 4)) {
        error = Core::quotable(path) + " is damaged (checksum)";
        return false;
    }
    const unsigned char* at = data + 20;
    for (std::int16_t& weight : m_Regions)
        weight = static_cast<std::int16_t>(get(at, 2)), at += 2;
    for (std::int16_t& weight : m_Terms)
        weight = static_cast<std::int16_t>(get(at, 2)), at += 2;
    return true;
}

bool PatternEvaluation::save(const std::string& path, std::string& error) const
{
    std::string bytes(c_Magic, sizeof c_Magic);
    put(PatternFeatures::c_Regions, 4, bytes);
    put(PatternFeatures::c_Configurations, 4, bytes);
    put(PatternFeatures::c_Terms, 4, bytes);
    for (std::int16_t weight : m_Regions)
        put(static_cast<std::uint16_t>(weight), 2, bytes);
    for (std::int16_t weight : m_Terms)
        put(static_cast<std::uint16_t>(weight), 2, bytes);
    put(checksum(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()), 4, bytes);

    return DataFile::write(path, bytes.data(), bytes.size(), error);
}

std::shared_ptr<const PatternEvaluation> PatternEvaluation::installed(std::string* why)
{
    static std::once_flag once;
    static std::shared_ptr<const PatternEvaluation> weights;
    static std::string reason;
    std::call_once(once, [] {
        const std::string path = DataFile::programFolder() + "/" + c_InstalledPath;
        auto loaded = std::make_shared<PatternEvaluation>();
        if (loaded->load(path, reason))
            weights = loaded;
    });
    if (!weights && why)
        *why = reason;
    return weights;
}

} // namespace Draughts
