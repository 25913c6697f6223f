#include "EndgameTable.h"

#include <algorithm>
#include <mutex>

#include "DataFile.h"
#include "core/Quotable.h"

namespace Draughts
{
namespace
{
constexpr unsigned char c_Magic[8] = {'T', 'S', 'D', 'R', 'E', 'N', 'D', '1'};
// Magic, the pieces, the values' size; then the values and the checksum of all before it.
constexpr std::size_t c_Header = 8 + 4 + 8;
constexpr int c_Slots = 5 * 5 * 5 * 5;
// Squares a man may stand on (not its crowning row), squares a king may.
constexpr int c_ManSquares = 45;
constexpr int c_KingSquares = 50;

struct Binomials
{
    std::uint64_t value[c_KingSquares + 1][EndgameTable::c_MaxPieces + 1] = {};
};
constexpr Binomials makeBinomials()
{
    Binomials table;
    for (int n = 0; n <= c_KingSquares; ++n) {
        table.value[n][0] = 1;
        for (int k = 1; k <= EndgameTable::c_MaxPieces; ++k)
            table.value[n][k] = n == 0 ? 0 : table.value[n - 1][k - 1] + table.value[n - 1][k];
    }
    return table;
}
constexpr Binomials c_Binomials = makeBinomials();

std::uint64_t binomial(int n, int k)
{
    return c_Binomials.value[n][k];
}

void put(std::uint64_t value, int bytes, unsigned char* out)
{
    for (int i = 0; i < bytes; ++i)
        out[i] = static_cast<unsigned char>((value >> (8 * i)) & 0xFF);
}
std::uint64_t get(const unsigned char* in, int bytes)
{
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value |= static_cast<std::uint64_t>(in[i]) << (8 * i);
    return value;
}

// A group of pieces: their places (0 to range - 1), in increasing order, as one number in
// 0 to C(range, count) - 1.
struct Group
{
    int places[EndgameTable::c_MaxPieces];
    int count = 0;

    // False when a place falls outside the range (a man on its crowning row).
    bool add(int place, int range)
    {
        if (place < 0 || place >= range)
            return false;
        int at = count++;
        for (; at > 0 && places[at - 1] > place; --at)
            places[at] = places[at - 1];
        places[at] = place;
        return true;
    }
    std::uint64_t index() const
    {
        std::uint64_t index = 0;
        for (int i = 0; i < count; ++i)
            index += binomial(places[i], i + 1);
        return index;
    }
    // The inverse of index() for `pieces` places.
    void decode(std::uint64_t index, int pieces)
    {
        count = pieces;
        int place = c_KingSquares;
        for (int i = pieces; i >= 1; --i) {
            while (binomial(place, i) > index)
                --place;
            places[i - 1] = place;
            index -= binomial(place, i);
        }
    }
};

// The board seen from the other side: square s becomes 51 - s.
int turned(int square)
{
    return Bits::c_Squares + 1 - square;
}
} // namespace

const char* const EndgameTable::c_InstalledPath = DRAUGHTS_ENDGAMES_PATH;

std::vector<EndgameTable::Signature> EndgameTable::signatures(int pieces)
{
    std::vector<Signature> list;
    for (int total = 2; total <= std::min(pieces, c_MaxPieces); ++total)
        for (int own = 1; own < total; ++own)
            for (int ownKings = 0; ownKings <= own; ++ownKings)
                for (int otherKings = 0; otherKings <= total - own; ++otherKings)
                    list.push_back({own - ownKings, ownKings, total - own - otherKings, otherKings});
    return list;
}

std::size_t EndgameTable::size(const Signature& signature)
{
    return binomial(c_ManSquares, signature.ownMen) * binomial(c_KingSquares, signature.ownKings) *
           binomial(c_ManSquares, signature.otherMen) * binomial(c_KingSquares, signature.otherKings);
}

int EndgameTable::slot(const Signature& signature)
{
    return ((signature.ownMen * 5 + signature.ownKings) * 5 + signature.otherMen) * 5 + signature.otherKings;
}

bool EndgameTable::locate(const Position& position, Signature& signature, std::size_t& index)
{
    const Color own = position.sideToMove();
    const Bitboard mine = position.pieces(own);
    const Bitboard theirs = position.pieces(opponent(own));
    if (mine == 0 || theirs == 0 || Bits::count(mine | theirs) > c_MaxPieces)
        return false;
    // Seen from the side to move, which moves up the board as White does: its men stand on
    // 6-50, the other side's on 1-45.
    const bool turn = own == Color::Black;
    Group groups[4];
    for (Bitboard set = mine | theirs; set != 0; set &= set - 1) {
        const int bit = Bits::lowest(set);
        const int square = turn ? turned(Bits::squareOf(bit)) : Bits::squareOf(bit);
        const bool king = position.kings() & Bits::maskOf(bit);
        const bool ours = mine & Bits::maskOf(bit);
        Group& group = groups[(ours ? 0 : 2) + (king ? 1 : 0)];
        const bool fits = king ? group.add(square - 1, c_KingSquares)
                               : group.add(ours ? square - 6 : square - 1, c_ManSquares);
        if (!fits)
            return false;
    }
    signature = {groups[0].count, groups[1].count, groups[2].count, groups[3].count};
    index = ((groups[0].index() * binomial(c_KingSquares, signature.ownKings) + groups[1].index()) *
                 binomial(c_ManSquares, signature.otherMen) +
             groups[2].index()) *
                binomial(c_KingSquares, signature.otherKings) +
            groups[3].index();
    return true;
}

bool EndgameTable::positionAt(const Signature& signature, std::size_t index, Position& position)
{
    const int counts[4] = {signature.ownMen, signature.ownKings, signature.otherMen, signature.otherKings};
    const int ranges[4] = {c_ManSquares, c_KingSquares, c_ManSquares, c_KingSquares};
    const int firstSquare[4] = {6, 1, 1, 1};
    const Piece pieces[4] = {Piece::WhiteMan, Piece::WhiteKing, Piece::BlackMan, Piece::BlackKing};
    position = Position();
    std::uint64_t rest = index;
    Bitboard used = 0;
    for (int g = 3; g >= 0; --g) {
        const std::uint64_t span = binomial(ranges[g], counts[g]);
        Group group;
        group.decode(rest % span, counts[g]);
        rest /= span;
        for (int i = 0; i < group.count; ++i) {
            const int square = group.places[i] + firstSquare[g];
            const Bitboard mask = Bits::maskOf(Bits::bitOf(square));
            if (used & mask)
                return false;
            used |= mask;
            position.set(square, pieces[g]);
        }
    }
    return rest == 0;
}

std::size_t EndgameTable::layOut(int pieces)
{
    m_Pieces = std::clamp(pieces, 0, c_MaxPieces);
    m_Offsets.assign(c_Slots, -1);
    std::size_t total = 0;
    for (const Signature& signature : signatures(m_Pieces)) {
        m_Offsets[static_cast<std::size_t>(slot(signature))] = static_cast<std::int64_t>(c_Header + total);
        total += size(signature);
    }
    return c_Header + total + 8;
}

void EndgameTable::reset(int pieces)
{
    m_Values.assign(layOut(pieces), 0);
}

std::uint8_t* EndgameTable::values(const Signature& signature)
{
    return const_cast<std::uint8_t*>(static_cast<const EndgameTable*>(this)->values(signature));
}

const std::uint8_t* EndgameTable::values(const Signature& signature) const
{
    if (m_Offsets.empty() || signature.ownMen < 0 || signature.ownKings < 0 || signature.otherMen < 0 ||
        signature.otherKings < 0 || signature.pieces() > m_Pieces)
        return nullptr;
    const std::int64_t offset = m_Offsets[static_cast<std::size_t>(slot(signature))];
    return offset < 0 ? nullptr : m_Values.data() + offset;
}

bool EndgameTable::probe(const Position& position, Value& value) const
{
    Signature signature;
    std::size_t index = 0;
    if (Bits::count(position.pieces(Color::White) | position.pieces(Color::Black)) > m_Pieces ||
        !locate(position, signature, index))
        return false;
    const std::uint8_t* stored = values(signature);
    if (!stored)
        return false;
    const std::uint8_t byte = stored[index];
    if (byte == 0)
        value = {Outcome::Draw, 0};
    else if (byte < 128)
        value = {Outcome::Win, byte};
    else
        value = {Outcome::Loss, byte - 128};
    return true;
}

bool EndgameTable::countedEnding(const Position& position)
{
    for (Color lone : {Color::White, Color::Black}) {
        const Color other = opponent(lone);
        if (position.count(lone) == 1 && position.kingCount(lone) == 1 && position.count(other) <= 3 &&
            position.kingCount(other) >= 1)
            return true;
    }
    return false;
}

bool EndgameTable::load(const std::string& path, std::string& error)
{
    // The size comes from the pieces the file claims; every size of this version is tried.
    const std::string wrong = Core::quotable(path) + " is not an endgame table of this version (wrong size)";
    std::vector<unsigned char> bytes;
    EndgameTable table;
    std::string reason = wrong;
    bool ok = false;
    for (int pieces = c_MaxPieces; pieces >= 2 && !ok; --pieces) {
        ok = DataFile::read(path, table.layOut(pieces), bytes, reason, wrong);
        if (!ok && reason != wrong)
            break;
    }
    if (!ok) {
        error = reason;
        return false;
    }
    const std::size_t end = bytes.size() - 8;
    if (!std::equal(std::begin(c_Magic), std::end(c_Magic), bytes.begin()) ||
        get(bytes.data() + 8, 4) != static_cast<std::uint64_t>(table.m_Pieces) ||
        get(bytes.data() + 12, 8) != end - c_Header) {
        error = Core::quotable(path) + " is not an endgame table of this version";
        return false;
    }
    if (get(bytes.data() + end, 8) != DataFile::checksum(bytes.data(), end)) {
        error = Core::quotable(path) + " is damaged (checksum)";
        return false;
    }
    table.m_Values = std::move(bytes);
    *this = std::move(table);
    return true;
}

bool EndgameTable::save(const std::string& path, std::string& error) const
{
    if (m_Values.size() < c_Header + 8) {
        error = "no endgame table to write to " + Core::quotable(path);
        return false;
    }
    std::vector<std::uint8_t> bytes = m_Values;
    std::copy(std::begin(c_Magic), std::end(c_Magic), bytes.begin());
    const std::size_t end = bytes.size() - 8;
    put(static_cast<std::uint64_t>(m_Pieces), 4, bytes.data() + 8);
    put(end - c_Header, 8, bytes.data() + 12);
    put(DataFile::checksum(bytes.data(), end), 8, bytes.data() + end);
    return DataFile::write(path, bytes.data(), bytes.size(), error);
}

std::shared_ptr<const EndgameTable> EndgameTable::installed(std::string* why)
{
    static std::once_flag once;
    static std::shared_ptr<const EndgameTable> table;
    static std::string reason;
    std::call_once(once, [] {
        const std::string path = DataFile::programFolder() + "/" + c_InstalledPath;
        auto loaded = std::make_shared<EndgameTable>();
        if (loaded->load(path, reason))
            table = loaded;
    });
    if (!table && why)
        *why = reason;
    return table;
}

} // namespace Draughts
