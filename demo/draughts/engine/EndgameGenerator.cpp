#include "EndgameGenerator.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>

#include "MoveGenerator.h"

namespace Draughts
{
namespace
{
using Signature = EndgameTable::Signature;
using Outcome = EndgameTable::Outcome;

// A value while solving: 0 unsettled, else (plies + 1) * 2, plus 1 for a win.
std::uint32_t settledValue(Outcome outcome, int plies)
{
    return static_cast<std::uint32_t>(plies + 1) * 2 + (outcome == Outcome::Win ? 1 : 0);
}
Outcome outcomeOf(std::uint32_t value)
{
    return (value & 1) ? Outcome::Win : Outcome::Loss;
}
int pliesOf(std::uint32_t value)
{
    return static_cast<int>(value / 2) - 1;
}

std::string name(const Signature& signature)
{
    auto side = [](int men, int kings) {
        std::string text;
        if (kings > 0)
            text += std::to_string(kings) + "K";
        if (men > 0)
            text += (text.empty() ? "" : "+") + std::to_string(men) + "M";
        return text;
    };
    return side(signature.ownMen, signature.ownKings) + " v " + side(signature.otherMen, signature.otherKings);
}

// One signature and its colours swapped (one table when they are the same), solved together:
// a quiet move leads from one to the other.
class Solver
{
public:
    Solver(EndgameTable& table, const Signature& signature) : m_Table(table)
    {
        m_Members[0] = signature;
        m_Members[1] = signature.swapped();
        m_Count = m_Members[1] == signature ? 1 : 2;
        for (int g = 0; g < m_Count; ++g) {
            m_Work[g].assign(EndgameTable::size(m_Members[g]), 0);
            m_Dirty[g].assign(m_Work[g].size(), 1);
        }
        m_Moves.reserve(64);
    }

    // Solves and writes the values into the table; the passes it took.
    int solve()
    {
        int passes = 0;
        std::vector<std::pair<int, std::size_t>> settled;
        Position position;
        for (;;) {
            ++passes;
            settled.clear();
            for (int g = 0; g < m_Count; ++g)
                for (std::size_t i = 0; i < m_Work[g].size(); ++i) {
                    if (!m_Dirty[g][i] || m_Work[g][i] != 0)
                        continue;
                    m_Dirty[g][i] = 0;
                    if (!EndgameTable::positionAt(m_Members[g], i, position))
                        continue;
                    const std::uint32_t value = settle(position);
                    if (value != 0) {
                        m_Work[g][i] = value;
                        settled.emplace_back(g, i);
                    }
                }
            if (settled.empty())
                break;
            for (const auto& [g, i] : settled) {
                EndgameTable::positionAt(m_Members[g], i, position);
                markPredecessors(position);
            }
        }
        for (int g = 0; g < m_Count; ++g) {
            std::uint8_t* values = m_Table.values(m_Members[g]);
            for (std::size_t i = 0; i < m_Work[g].size(); ++i) {
                const std::uint32_t value = m_Work[g][i];
                if (value == 0)
                    continue;
                const int plies = std::min(pliesOf(value), 127);
                values[i] = static_cast<std::uint8_t>(outcomeOf(value) == Outcome::Win ? std::max(plies, 1)
                                                                                       : 128 + plies);
            }
        }
        return passes;
    }

    int members() const { return m_Count; }
    const Signature& member(int g) const { return m_Members[g]; }

private:
    int memberOf(const Signature& signature) const
    {
        for (int g = 0; g < m_Count; ++g)
            if (m_Members[g] == signature)
                return g;
        return -1;
    }

    // The value of a position (White to move) from those settled so far; 0 when still open.
    // A win takes the quickest settled loss among the replies, a loss the slowest win.
    std::uint32_t settle(const Position& position)
    {
        MoveGenerator::generate(position, m_Moves);
        if (m_Moves.empty())
            return settledValue(Outcome::Loss, 0);
        int quickest = INT_MAX;
        int slowest = 0;
        bool allWins = true;
        for (const Move& move : m_Moves) {
            const Position next = position.after(move);
            if (next.count(next.sideToMove()) == 0) {
                quickest = 0;
                break;
            }
            Signature signature;
            std::size_t index = 0;
            if (!EndgameTable::locate(next, signature, index)) {
                allWins = false;
                continue;
            }
            Outcome outcome = Outcome::Draw;
            int plies = 0;
            const int g = memberOf(signature);
            if (g >= 0) {
                const std::uint32_t value = m_Work[g][index];
                if (value == 0) {
                    allWins = false;
                    continue;
                }
                outcome = outcomeOf(value);
                plies = pliesOf(value);
            } else {
                // A capture or a promotion: a signature solved before, where the count starts anew.
                const std::uint8_t* values = m_Table.values(signature);
                const std::uint8_t byte = values ? values[index] : 0;
                outcome = byte == 0 ? Outcome::Draw : byte < 128 ? Outcome::Win : Outcome::Loss;
            }
            if (outcome == Outcome::Loss)
                quickest = std::min(quickest, plies);
            else if (outcome == Outcome::Draw)
                allWins = false;
            else
                slowest = std::max(slowest, plies);
        }
        if (quickest != INT_MAX)
            return settledValue(Outcome::Win, quickest + 1);
        if (allWins)
            return settledValue(Outcome::Loss, slowest + 1);
        return 0;
    }

    void mark(const Position& before)
    {
        Signature signature;
        std::size_t index = 0;
        if (!EndgameTable::locate(before, signature, index))
            return;
        const int g = memberOf(signature);
        if (g >= 0 && m_Work[g][index] == 0)
            m_Dirty[g][index] = 1;
    }

    // Marks every position a quiet move of Black (who has just moved) may have come from, for
    // the next pass. Some may not be legal (Black had a capture); they are only looked at.
    void markPredecessors(const Position& position)
    {
        const Bitboard empty = position.empty();
        for (Bitboard set = position.pieces(Color::Black); set != 0; set &= set - 1) {
            const int bit = Bits::lowest(set);
            const int square = Bits::squareOf(bit);
            const bool king = position.kings() & Bits::maskOf(bit);
            const Piece piece = king ? Piece::BlackKing : Piece::BlackMan;
            // A black man came down a step from the north-west or north-east; a king along any
            // diagonal across empty squares.
            for (int direction = 0; direction < (king ? Bits::c_Directions : 2); ++direction) {
                for (int from = Bits::neighbour(bit, direction); from >= 0 && (empty & Bits::maskOf(from));
                     from = king ? Bits::neighbour(from, direction) : -1) {
                    Position before = position;
                    before.set(square, Piece::None);
                    before.set(Bits::squareOf(from), piece);
                    before.setSideToMove(Color::Black);
                    mark(before);
                }
            }
        }
    }

    EndgameTable& m_Table;
    Signature m_Members[2];
    int m_Count = 1;
    std::vector<std::uint32_t> m_Work[2];
    std::vector<std::uint8_t> m_Dirty[2];
    MoveList m_Moves;
};
} // namespace

void EndgameGenerator::generate(EndgameTable& table, int pieces, const std::function<void(const std::string&)>& report)
{
    table.reset(pieces);
    std::vector<Signature> order = EndgameTable::signatures(table.pieces());
    // Captures lead to fewer pieces, promotions to fewer men: those come first.
    std::stable_sort(order.begin(), order.end(), [](const Signature& a, const Signature& b) {
        const int menA = a.ownMen + a.otherMen;
        const int menB = b.ownMen + b.otherMen;
        return a.pieces() != b.pieces() ? a.pieces() < b.pieces() : menA < menB;
    });
    std::vector<Signature> done;
    for (const Signature& signature : order) {
        if (std::find(done.begin(), done.end(), signature) != done.end())
            continue;
        const auto start = std::chrono::steady_clock::now();
        Solver solver(table, signature);
        const int passes = solver.solve();
        for (int g = 0; g < solver.members(); ++g)
            done.push_back(solver.member(g));
        if (!report)
            continue;
        for (int g = 0; g < solver.members(); ++g) {
            const Signature& member = solver.member(g);
            const std::uint8_t* values = table.values(member);
            std::size_t counts[3] = {0, 0, 0};
            Position position;
            for (std::size_t i = 0; i < EndgameTable::size(member); ++i)
                if (EndgameTable::positionAt(member, i, position))
                    ++counts[values[i] == 0 ? 1 : values[i] < 128 ? 0 : 2];
            char line[160];
            std::snprintf(line, sizeof line, "%-12s %9zu positions: %9zu wins, %9zu draws, %9zu losses (%d passes, %.1f s)",
                          name(member).c_str(), counts[0] + counts[1] + counts[2], counts[0], counts[1], counts[2],
                          passes, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
            report(line);
        }
    }
}

} // namespace Draughts
