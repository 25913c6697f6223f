#include "MoveGenerator.h"

#include <array>

namespace Draughts
{
namespace
{
using Bits::maskOf;

constexpr std::array<std::array<std::int8_t, Bits::c_Directions>, 64> makeNeighbours()
{
    std::array<std::array<std::int8_t, Bits::c_Directions>, 64> table{};
    for (int bit = 0; bit < 64; ++bit)
        for (int direction = 0; direction < Bits::c_Directions; ++direction)
            table[bit][direction] =
                static_cast<std::int8_t>((Bits::c_Board & maskOf(bit)) ? Bits::neighbour(bit, direction) : -1);
    return table;
}
constexpr auto c_Next = makeNeighbours();

// Forward directions: north for White, south for Black.
constexpr int c_Forward[2][2] = {{0, 1}, {2, 3}};

// Depth-first search of the capture sequences of one side, keeping the longest.
class Captures
{
public:
    Captures(const Position& position, MoveList& moves, bool allRoutes)
        : m_Opponent(position.pieces(opponent(position.sideToMove()))), m_Moves(moves), m_AllRoutes(allRoutes)
    {
        const Bitboard own = position.pieces(position.sideToMove());
        m_BaseEmpty = position.empty();
        // Men start a capture only where one can take a neighbour; kings are all tried.
        const Bitboard men = own & ~position.kings();
        Bitboard starts = own & position.kings();
        for (int direction = 0; direction < Bits::c_Directions; ++direction) {
            const int back = Bits::c_Opposite[direction];
            starts |= Bits::shift(Bits::shift(m_BaseEmpty, back) & m_Opponent, back) & men;
        }
        for (Bitboard set = starts; set; set &= set - 1) {
            m_From = Bits::lowest(set);
            // The capturing piece leaves its square: it may pass over it or end on it.
            m_Empty = m_BaseEmpty | maskOf(m_From);
            if (position.kings() & maskOf(m_From))
                king(m_From, 0, 0, -1);
            else
                man(m_From, 0, 0);
        }
    }

private:
    void man(int at, Bitboard taken, int depth)
    {
        bool extended = false;
        for (int direction = 0; direction < Bits::c_Directions; ++direction) {
            const int over = c_Next[at][direction];
            if (over < 0 || !(m_Opponent & ~taken & maskOf(over)))
                continue;
            const int land = c_Next[over][direction];
            if (land < 0 || !(m_Empty & maskOf(land)))
                continue;
            extended = true;
            m_Path[depth] = static_cast<std::uint8_t>(land);
            man(land, taken | maskOf(over), depth + 1);
        }
        if (!extended && depth > 0)
            record(taken, depth);
    }

    void king(int at, Bitboard taken, int depth, int cameAlong)
    {
        bool extended = false;
        for (int direction = 0; direction < Bits::c_Directions; ++direction) {
            // Back along the last line lies the piece just taken, which blocks.
            if (cameAlong >= 0 && direction == Bits::c_Opposite[cameAlong])
                continue;
            int over = c_Next[at][direction];
            while (over >= 0 && (m_Empty & maskOf(over)))
                over = c_Next[over][direction];
            if (over < 0 || !(m_Opponent & ~taken & maskOf(over)))
                continue;
            for (int land = c_Next[over][direction]; land >= 0 && (m_Empty & maskOf(land));
                 land = c_Next[land][direction]) {
                extended = true;
                m_Path[depth] = static_cast<std::uint8_t>(land);
                king(land, taken | maskOf(over), depth + 1, direction);
            }
        }
        if (!extended && depth > 0)
            record(taken, depth);
    }

    void record(Bitboard taken, int depth)
    {
        if (depth < m_Best)
            return;
        if (depth > m_Best) {
            m_Moves.clear();
            m_Best = depth;
        }
        Move& move = m_Moves.emplace_back();
        move.fill(m_From, m_Path, depth, taken);
        if (!m_AllRoutes)
            for (std::size_t i = 0; i + 1 < m_Moves.size(); ++i)
                if (m_Moves[i].sameAs(move)) {
                    m_Moves.pop_back();
                    return;
                }
    }

    Bitboard m_Opponent;
    Bitboard m_BaseEmpty = 0;
    Bitboard m_Empty = 0;
    MoveList& m_Moves;
    bool m_AllRoutes;
    int m_Best = 1;
    int m_From = 0;
    std::uint8_t m_Path[Move::c_MaxLandings] = {};
};

bool kingCanCapture(int from, Bitboard opponent, Bitboard empty)
{
    for (int direction = 0; direction < Bits::c_Directions; ++direction) {
        int over = c_Next[from][direction];
        while (over >= 0 && (empty & maskOf(over)))
            over = c_Next[over][direction];
        if (over < 0 || !(opponent & maskOf(over)))
            continue;
        const int land = c_Next[over][direction];
        if (land >= 0 && (empty & maskOf(land)))
            return true;
    }
    return false;
}

void generateSteps(const Position& position, MoveList& moves)
{
    const Color side = position.sideToMove();
    const Bitboard own = position.pieces(side);
    const Bitboard empty = position.empty();
    const Bitboard men = own & ~position.kings();
    for (int direction : c_Forward[static_cast<int>(side)]) {
        for (Bitboard targets = Bits::shift(men, direction) & empty; targets; targets &= targets - 1) {
            const std::uint8_t to = static_cast<std::uint8_t>(Bits::lowest(targets));
            moves.emplace_back().fill(to - Bits::c_Step[direction], &to, 1, 0);
        }
    }
    for (Bitboard kings = own & position.kings(); kings; kings &= kings - 1) {
        const int from = Bits::lowest(kings);
        for (int direction = 0; direction < Bits::c_Directions; ++direction)
            for (int to = c_Next[from][direction]; to >= 0 && (empty & maskOf(to)); to = c_Next[to][direction]) {
                const std::uint8_t landing = static_cast<std::uint8_t>(to);
                moves.emplace_back().fill(from, &landing, 1, 0);
            }
    }
}

int countSteps(const Position& position)
{
    const Color side = position.sideToMove();
    const Bitboard own = position.pieces(side);
    const Bitboard empty = position.empty();
    const Bitboard men = own & ~position.kings();
    int total = 0;
    for (int direction : c_Forward[static_cast<int>(side)])
        total += Bits::count(Bits::shift(men, direction) & empty);
    for (Bitboard kings = own & position.kings(); kings; kings &= kings - 1) {
        const int from = Bits::lowest(kings);
        for (int direction = 0; direction < Bits::c_Directions; ++direction)
            for (int to = c_Next[from][direction]; to >= 0 && (empty & maskOf(to)); to = c_Next[to][direction])
                ++total;
    }
    return total;
}

void generateMoves(const Position& position, MoveList& moves, bool allRoutes)
{
    moves.clear();
    if (MoveGenerator::mustCapture(position)) {
        Captures(position, moves, allRoutes);
        return;
    }
    generateSteps(position, moves);
}
} // namespace

bool MoveGenerator::mustCapture(const Position& position)
{
    const Color side = position.sideToMove();
    const Bitboard own = position.pieces(side);
    const Bitboard opponent = position.pieces(Draughts::opponent(side));
    const Bitboard empty = position.empty();
    const Bitboard men = own & ~position.kings();
    for (int direction = 0; direction < Bits::c_Directions; ++direction)
        if (Bits::shift(Bits::shift(men, direction) & opponent, direction) & empty)
            return true;
    for (Bitboard kings = own & position.kings(); kings; kings &= kings - 1)
        if (kingCanCapture(Bits::lowest(kings), opponent, empty))
            return true;
    return false;
}

void MoveGenerator::generate(const Position& position, MoveList& moves)
{
    generateMoves(position, moves, false);
}

void MoveGenerator::generateAllRoutes(const Position& position, MoveList& moves)
{
    generateMoves(position, moves, true);
}

bool MoveGenerator::canMove(const Position& position)
{
    return mustCapture(position) || canStep(position);
}

bool MoveGenerator::canStep(const Position& position)
{
    const Color side = position.sideToMove();
    const Bitboard own = position.pieces(side);
    const Bitboard empty = position.empty();
    const Bitboard men = own & ~position.kings();
    for (int direction : c_Forward[static_cast<int>(side)])
        if (Bits::shift(men, direction) & empty)
            return true;
    // A king that cannot step to a neighbouring square cannot fly any further either.
    for (Bitboard kings = own & position.kings(); kings; kings &= kings - 1)
        for (int direction = 0; direction < Bits::c_Directions; ++direction) {
            const int to = c_Next[Bits::lowest(kings)][direction];
            if (to >= 0 && (empty & maskOf(to)))
                return true;
        }
    return false;
}

bool MoveGenerator::findStep(const Position& position, int from, int to, Move& step)
{
    if (from < 1 || from > Bits::c_Squares || to < 1 || to > Bits::c_Squares)
        return false;
    const int fromBit = Bits::bitOf(from);
    const int toBit = Bits::bitOf(to);
    const Bitboard empty = position.empty();
    if (!(position.pieces(position.sideToMove()) & maskOf(fromBit)) || !(empty & maskOf(toBit)) ||
        mustCapture(position))
        return false;
    bool found = false;
    if (position.kings() & maskOf(fromBit)) {
        for (int direction = 0; direction < Bits::c_Directions && !found; ++direction)
            for (int at = c_Next[fromBit][direction]; at >= 0 && (empty & maskOf(at)) && !found;
                 at = c_Next[at][direction])
                found = at == toBit;
    } else {
        for (int direction : c_Forward[static_cast<int>(position.sideToMove())])
            found = found || c_Next[fromBit][direction] == toBit;
    }
    if (found)
        step = Move::step(from, to);
    return found;
}

int MoveGenerator::count(const Position& position, MoveList& scratch)
{
    if (!mustCapture(position))
        return countSteps(position);
    generate(position, scratch);
    return static_cast<int>(scratch.size());
}

} // namespace Draughts
