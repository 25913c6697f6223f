#include "Search.h"

#include <algorithm>
#include <system_error>

#include "Evaluation.h"

namespace Draughts
{
namespace
{
using Clock = std::chrono::steady_clock;

constexpr int c_MaxPly = 128;
constexpr int c_Infinity = 32000;
constexpr int c_NoMove = 255;
// Scores this close to a win are wins at a known distance.
constexpr int c_WinZone = Search::c_WinScore - 1000;
// Moves from this place in the order on, with at least this depth left after them, are
// searched shorter first.
constexpr std::size_t c_ReduceFrom = 3;
constexpr int c_ReduceDepth = 2;
// Nodes off the principal line with at least this depth left are first probed this much
// shallower, with a window this far beyond theirs.
constexpr int c_ProbeDepth = 5;
constexpr int c_ProbeReduction = 3;
constexpr int c_ProbeMargin = 40;
// Iterations from this depth on search first within this far of the previous score.
constexpr int c_AspirationDepth = 5;
constexpr int c_AspirationWindow = 25;

// Per level: the deepest iteration, the positions a move may visit (0: as many as the
// time allows), the amplitude of the deliberate misjudgements and the percentage of moves
// played at random. The upper levels are bounded by positions, not depth, so that each
// stays below the next in the endings too, where depth comes cheap, and whatever the
// time per move, on any machine; level 10 alone takes all the time it is given.
struct Level
{
    int depth;
    std::uint64_t nodes;
    int noise;
    int randomMoves;
};
constexpr Level c_Levels[10] = {{1, 0, 150, 40},
                                {1, 0, 100, 25},
                                {2, 0, 60, 15},
                                {2, 0, 40, 8},
                                {3, 0, 25, 4},
                                {4, 0, 12, 0},
                                {6, 0, 6, 0},
                                {c_MaxPly / 2, 60000, 0, 0},
                                {c_MaxPly / 2, 250000, 0, 0},
                                {c_MaxPly / 2, 0, 0, 0}};

// Win scores count from the root; the table keeps them counted from the position.
int toTable(int score, int ply)
{
    return score > c_WinZone ? score + ply : score < -c_WinZone ? score - ply : score;
}
int fromTable(int score, int ply)
{
    return score > c_WinZone ? score - ply : score < -c_WinZone ? score + ply : score;
}
} // namespace

Search::Search(std::size_t tableMegabytes) : Search(std::make_shared<TranspositionTable>(tableMegabytes))
{
    m_Evaluation = PatternEvaluation::installed();
    m_Endgames = EndgameTable::installed();
    m_IsHelper = false;
}

Search::Search(std::shared_ptr<TranspositionTable> table)
    : m_Table(std::move(table)), m_Plies(c_MaxPly + 1), m_Lines(c_MaxPly + 1), m_IsHelper(true)
{
    for (Ply& ply : m_Plies) {
        ply.moves.reserve(64);
        ply.keys.reserve(64);
    }
}

void Search::clear()
{
    m_Table->clear();
    m_MoveHistory.clear();
    for (auto& helper : m_Helpers)
        helper->clear();
}

SearchResult Search::run(const Game& game, const SearchLimits& limits)
{
    // Earlier positions that can come back: those since the last man move or capture.
    std::vector<std::uint64_t> history;
    for (std::size_t ply = game.moves().size(); ply-- > 0;) {
        const Move& move = game.moves()[ply];
        const Position& before = game.positionBefore(ply);
        if (move.isCapture() || !(before.kings() & Bits::maskOf(move.fromBit())))
            break;
        history.push_back(before.hash());
    }
    std::reverse(history.begin(), history.end());
    if (game.result() != Result::Ongoing)
        return SearchResult();
    return runFrom(game.position(), history, static_cast<int>(history.size()), limits);
}

SearchResult Search::run(const Position& position, const SearchLimits& limits)
{
    return runFrom(position, {}, 0, limits);
}

SearchResult Search::runFrom(const Position& position, const std::vector<std::uint64_t>& history, int reversible,
                             const SearchLimits& limits)
{
    const Clock::time_point start = Clock::now();
    const Level level = c_Levels[std::clamp(limits.level, 1, 10) - 1];
    // A tenth of the time stays in reserve for handing the move over.
    m_Deadline = start + std::chrono::microseconds(static_cast<long long>(std::max(0.0, limits.seconds) * 0.9e6));
    m_Stop = limits.stop;
    m_Infinite = limits.infinite;
    m_MaxNodes = limits.maxNodes;
    if (level.nodes != 0 && (m_MaxNodes == 0 || level.nodes < m_MaxNodes))
        m_MaxNodes = level.nodes;
    m_Aborted = false;
    m_Stopped = false;
    m_CheckTime = false;
    m_Nodes = 0;
    m_History = history;
    m_Noise = level.noise;
    m_Seed = (limits.seed + 1) * 0xD1B54A32D192ED03ULL;
    // What a search with mistakes in it learnt (scores, move order) must not outlive it.
    if (!m_IsHelper && (m_Noise > 0 || m_Noisy))
        clear();
    m_Noisy = m_Noise > 0;
    if (!m_IsHelper)
        m_Table->startSearch();
    m_MoveHistory.age();
    for (Ply& ply : m_Plies)
        ply.killers[0] = ply.killers[1] = Move();

    SearchResult result;
    Ply& root = m_Plies[0];
    root.hash = position.hash();
    root.reversible = reversible;
    MoveGenerator::generate(position, root.moves);
    if (!root.moves.empty()) {
        result.best = root.moves.front();
        result.principalVariation = {result.best};
    }
    // A forced move needs no thought; the lowest levels play some moves at random.
    bool think = root.moves.size() > 1;
    if (think && Evaluation::noise(position.hash(), m_Seed ^ 1, 50) + 50 < level.randomMoves) {
        const int pick = Evaluation::noise(position.hash(), m_Seed ^ 2, 1 << 20) + (1 << 20);
        result.best = root.moves[static_cast<std::size_t>(pick) % root.moves.size()];
        result.principalVariation = {result.best};
        think = false;
    }
    int depthLimit = level.depth;
    if (limits.maxDepth > 0)
        depthLimit = std::min(depthLimit, limits.maxDepth);
    // Helpers make the search's course depend on timing: only where time bounds it anyway.
    if (think && limits.threads > 1 && !m_IsHelper && level.nodes == 0 && level.noise == 0 && m_MaxNodes == 0 &&
        limits.maxDepth == 0)
        startHelpers(position, history, reversible, limits);
    for (int iteration = 1; think && iteration + m_DepthOffset <= std::min(depthLimit, c_MaxPly / 2); ++iteration) {
        const int depth = iteration + m_DepthOffset;
        if (m_Stop && m_Stop->load(std::memory_order_relaxed)) {
            m_Stopped = true;
            break;
        }
        // The first iteration always completes, unless stopped, so that a move is known.
        m_CheckTime = depth > 1;
        // From a few plies on, the search looks only near the previous iteration's score
        // first, and widens the window on the side the score falls outside it.
        int low = -c_Infinity;
        int high = c_Infinity;
        if (depth >= c_AspirationDepth && result.score > -c_WinZone && result.score < c_WinZone) {
            low = result.score - c_AspirationWindow;
            high = result.score + c_AspirationWindow;
        }
        int score = 0;
        std::vector<Move> failedHigh;
        for (int widen = c_AspirationWindow;; widen *= 4) {
            m_Lines[0].clear();
            score = search(position, depth, low, high, 0);
            if (m_Aborted)
                break;
            if (score <= low && low > -c_Infinity)
                low = std::max(-c_Infinity, low - widen);
            else if (score >= high && high < c_Infinity) {
                failedHigh = m_Lines[0];
                high = std::min(c_Infinity, high + widen);
            } else
                break;
        }
        if (m_Aborted) {
            // A move that beat the previous best over a full search of it stands.
            if (m_Lines[0].empty())
                m_Lines[0] = failedHigh;
            if (!m_Lines[0].empty()) {
                result.best = m_Lines[0].front();
                result.principalVariation = m_Lines[0];
            }
            break;
        }
        result.best = m_Lines[0].front();
        result.principalVariation = m_Lines[0];
        extendLine(position, result.principalVariation, depth);
        result.depth = depth;
        result.score = score;
        if (limits.progress) {
            result.nodes = m_Nodes + m_HelperNodes.load(std::memory_order_relaxed);
            result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
            limits.progress(result);
        }
        if (score > c_WinZone || score < -c_WinZone)
            break;
    }
    result.nodes = m_Nodes + stopHelpers();
    result.stopped = m_Stopped;
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return result;
}

void Search::extendLine(const Position& root, std::vector<Move>& line, int depth)
{
    // A line ends early where the table answered for the rest of it; the table's best moves
    // carry it on, as far as the depth searched, while each is legal and no position repeats.
    Position position = root;
    std::vector<std::uint64_t> seen = {position.hash()};
    for (const Move& move : line) {
        position = position.after(move);
        seen.push_back(position.hash());
    }
    MoveList& moves = m_Plies[c_MaxPly].moves;
    while (static_cast<int>(line.size()) < depth) {
        TranspositionTable::Entry entry;
        if (!m_Table->probe(position.hash(), entry))
            return;
        MoveGenerator::generate(position, moves);
        if (entry.move >= moves.size())
            return;
        const Move move = moves[entry.move];
        const Position next = position.after(move);
        if (std::find(seen.begin(), seen.end(), next.hash()) != seen.end())
            return;
        line.push_back(move);
        seen.push_back(next.hash());
        position = next;
    }
}

void Search::startHelpers(const Position& position, const std::vector<std::uint64_t>& history, int reversible,
                          const SearchLimits& limits)
{
    m_HelpersStop.store(false, std::memory_order_relaxed);
    m_HelperNodes.store(0, std::memory_order_relaxed);
    SearchLimits helping;
    helping.infinite = true;
    helping.level = 10;
    helping.maxDepth = limits.maxDepth;
    helping.stop = &m_HelpersStop;
    const std::size_t count = static_cast<std::size_t>(std::min(limits.threads, 64) - 1);
    while (m_Helpers.size() < count) {
        m_Helpers.push_back(std::unique_ptr<Search>(new Search(m_Table)));
        m_Helpers.back()->m_NodeSink = &m_HelperNodes;
        m_Helpers.back()->m_DepthOffset = static_cast<int>(m_Helpers.size()) % 2;
    }
    for (std::size_t i = 0; i < count; ++i) {
        Search* helper = m_Helpers[i].get();
        helper->m_Evaluation = m_Evaluation;
        helper->m_Endgames = m_Endgames;
        try {
            m_HelperThreads.emplace_back([helper, position, history, reversible, helping] {
                helper->runFrom(position, history, reversible, helping);
            });
        } catch (const std::system_error&) {
            // No thread to be had: the search goes on with those it has.
            break;
        }
    }
}

std::uint64_t Search::stopHelpers()
{
    m_HelpersStop.store(true, std::memory_order_relaxed);
    std::uint64_t nodes = 0;
    for (std::size_t i = 0; i < m_HelperThreads.size(); ++i) {
        m_HelperThreads[i].join();
        nodes += m_Helpers[i]->m_Nodes;
    }
    m_HelperThreads.clear();
    return nodes;
}

bool Search::timeUp()
{
    if ((m_Nodes & 255) != 0)
        return false;
    if (m_NodeSink)
        m_NodeSink->fetch_add(256, std::memory_order_relaxed);
    if (m_Stop && m_Stop->load(std::memory_order_relaxed)) {
        m_Stopped = true;
        return true;
    }
    if (!m_CheckTime)
        return false;
    if (m_MaxNodes != 0 && m_Nodes >= m_MaxNodes)
        return true;
    return !m_Infinite && Clock::now() >= m_Deadline;
}

int Search::evaluate(const Position& position) const
{
    const int score = m_Evaluation ? m_Evaluation->evaluate(position) : Evaluation::evaluate(position);
    return score + Evaluation::noise(position.hash(), m_Seed, m_Noise);
}

bool Search::probeEndgame(const Position& position, int& score) const
{
    // The levels that misjudge on purpose play the endings by their own lights too.
    EndgameTable::Value value;
    if (!m_Endgames || m_Noise > 0 || !m_Endgames->probe(position, value))
        return false;
    if (value.outcome == EndgameTable::Outcome::Draw) {
        score = 0;
        return true;
    }
    // The rules' move counts may turn such a win into a draw: the search judges those itself.
    if (EndgameTable::countedEnding(position))
        return false;
    // Every capture and promotion raises the stake, so that the winner makes progress: fewer
    // pieces count for more than any number of kings, each plies to the next conversion less.
    const int pieces = Bits::count(position.pieces(Color::White) | position.pieces(Color::Black));
    const int progress = 8 * (EndgameTable::c_MaxPieces - pieces) + Bits::count(position.kings());
    const int win = c_EndgameWin + 128 * progress - value.plies;
    score = value.outcome == EndgameTable::Outcome::Win ? win : -win;
    return true;
}

bool Search::repeated(int ply) const
{
    const Ply& node = m_Plies[ply];
    for (int back = 2; back <= node.reversible; back += 2) {
        const int at = ply - back;
        const std::uint64_t earlier =
            at >= 0 ? m_Plies[at].hash
                    : (static_cast<int>(m_History.size()) + at >= 0 ? m_History[m_History.size() + at] : 0);
        if (earlier == node.hash)
            return true;
    }
    return false;
}

void Search::order(const Position& position, Ply& node, int tableMove) const
{
    const std::size_t count = node.moves.size();
    node.keys.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const Move& move = node.moves[i];
        std::int64_t score = m_MoveHistory.score(move.fromBit(), move.toBit());
        if (static_cast<int>(i) == tableMove)
            score = 1 << 30;
        else if (move.isCapture())
            score += Bits::count(move.capturedSet() & position.kings()) << 20;
        else if (move == node.killers[0] || move == node.killers[1])
            score += 1 << 24;
        // The index below the score: equal scores keep their generation order.
        node.keys[i] = score * 65536 + static_cast<std::int64_t>(0xFFFF - i);
    }
    // The highest key first. Many nodes are settled by their first move, so the rest are
    // sorted only when the search goes on to them.
    std::size_t first = 0;
    for (std::size_t i = 1; i < count; ++i)
        if (node.keys[i] > node.keys[first])
            first = i;
    std::swap(node.keys[0], node.keys[first]);
    node.sorted = count <= 2;
}

void Search::sortRest(Ply& node)
{
    // Highest key first (an insertion sort: the lists are short, and nothing is allocated).
    const std::size_t count = node.keys.size();
    for (std::size_t i = 2; i < count; ++i) {
        const std::int64_t key = node.keys[i];
        std::size_t at = i;
        for (; at > 1 && node.keys[at - 1] < key; --at)
            node.keys[at] = node.keys[at - 1];
        node.keys[at] = key;
    }
    node.sorted = true;
}

int Search::moveAt(const Ply& node, std::size_t i)
{
    return static_cast<int>(0xFFFF - (node.keys[i] & 0xFFFF));
}

int Search::search(const Position& position, int depth, int alpha, int beta, int ply)
{
    if (depth <= 0 || ply >= c_MaxPly - 1)
        return quiesce(position, alpha, beta, ply);
    ++m_Nodes;
    if (timeUp()) {
        m_Aborted = true;
        return 0;
    }
    m_Lines[ply].clear();
    Ply& node = m_Plies[ply];
    if (ply > 0 && repeated(ply))
        return 0;
    int solved = 0;
    if (ply > 0 && probeEndgame(position, solved))
        return solved;

    const int alphaStart = alpha;
    int tableMove = c_NoMove;
    TranspositionTable::Entry entry;
    if (m_Table->probe(node.hash, entry)) {
        tableMove = entry.move;
        const int score = fromTable(entry.score, ply);
        if (ply > 0 && entry.depth >= depth &&
            (entry.bound == TranspositionTable::Bound::Exact ||
             (entry.bound == TranspositionTable::Bound::Lower && score >= beta) ||
             (entry.bound == TranspositionTable::Bound::Upper && score <= alpha)))
            return score;
    }
    // Away from the principal line, a much shallower search that ends well outside the window
    // settles the node: it would take more than the margin for the full search to disagree.
    if (ply > 0 && depth >= c_ProbeDepth && beta - alpha == 1 && beta < c_WinZone && beta > -c_WinZone) {
        const int high = beta + c_ProbeMargin;
        if (search(position, depth - c_ProbeReduction, high - 1, high, ply) >= high && !m_Aborted)
            return beta;
        if (m_Aborted)
            return 0;
        const int low = alpha - c_ProbeMargin;
        if (search(position, depth - c_ProbeReduction, low, low + 1, ply) <= low && !m_Aborted)
            return alpha;
        if (m_Aborted)
            return 0;
        m_Lines[ply].clear();
        if (tableMove == c_NoMove && m_Table->probe(node.hash, entry))
            tableMove = entry.move;
    }
    if (ply > 0)
        MoveGenerator::generate(position, node.moves);
    if (node.moves.empty())
        return -c_WinScore + ply;
    // A forced move costs no depth.
    const int nextDepth = node.moves.size() == 1 ? depth : depth - 1;
    order(position, node, tableMove);
    // The children a full-width search will look up in the table: their entries are loaded
    // together now, rather than one miss after another.
    if (nextDepth >= 1)
        for (const Move& move : node.moves)
            m_Table->prefetch(position.hashAfter(move));

    int best = -c_Infinity;
    int bestIndex = c_NoMove;
    Ply& child = m_Plies[ply + 1];
    for (std::size_t i = 0; i < node.keys.size(); ++i) {
        if (i == 1 && !node.sorted)
            sortRest(node);
        const int index = moveAt(node, i);
        const Move move = node.moves[static_cast<std::size_t>(index)];
        const Position next = position.after(move);
        const bool king = position.kings() & Bits::maskOf(move.fromBit());
        child.hash = next.hash();
        child.reversible = king && !move.isCapture() ? node.reversible + 1 : 0;
        int score = 0;
        if (i == 0) {
            score = -search(next, nextDepth, -beta, -alpha, ply + 1);
        } else {
            // Late quiet moves are first searched a ply shorter; one that still beats alpha
            // gets the full depth. Moves that offer the opponent a capture (exchanges,
            // sacrifices) or crown a man are never shortened.
            const int reduction = i >= c_ReduceFrom && nextDepth >= c_ReduceDepth && !move.isCapture() &&
                                          Bits::count(next.kings()) == Bits::count(position.kings()) &&
                                          !MoveGenerator::mustCapture(next)
                                      ? 1
                                      : 0;
            score = -search(next, nextDepth - reduction, -alpha - 1, -alpha, ply + 1);
            if (reduction > 0 && score > alpha && !m_Aborted)
                score = -search(next, nextDepth, -alpha - 1, -alpha, ply + 1);
            if (score > alpha && score < beta && !m_Aborted)
                score = -search(next, nextDepth, -beta, -alpha, ply + 1);
        }
        if (m_Aborted)
            return 0;
        if (score <= best)
            continue;
        best = score;
        bestIndex = index < c_NoMove ? index : c_NoMove;
        if (score <= alpha)
            continue;
        alpha = score;
        std::vector<Move>& line = m_Lines[ply];
        line.assign(1, move);
        line.insert(line.end(), m_Lines[ply + 1].begin(), m_Lines[ply + 1].end());
        if (score >= beta) {
            if (!move.isCapture()) {
                if (move != node.killers[0]) {
                    node.killers[1] = node.killers[0];
                    node.killers[0] = move;
                }
                m_MoveHistory.reward(move.fromBit(), move.toBit(), depth);
            }
            break;
        }
    }
    const TranspositionTable::Bound bound = best >= beta        ? TranspositionTable::Bound::Lower
                                            : best > alphaStart ? TranspositionTable::Bound::Exact
                                                                : TranspositionTable::Bound::Upper;
    m_Table->store(node.hash, toTable(best, ply), depth, bound, bestIndex);
    return best;
}

int Search::quiesce(const Position& position, int alpha, int beta, int ply)
{
    ++m_Nodes;
    if (timeUp()) {
        m_Aborted = true;
        return 0;
    }
    m_Lines[ply].clear();
    Ply& node = m_Plies[ply];
    int solved = 0;
    if (ply > 0 && probeEndgame(position, solved))
        return solved;
    if (!MoveGenerator::mustCapture(position)) {
        if (!MoveGenerator::canStep(position))
            return -c_WinScore + ply;
        return evaluate(position);
    }
    if (ply >= c_MaxPly - 1)
        return evaluate(position);
    // Captures are compulsory: no standing pat while one is pending.
    MoveGenerator::generate(position, node.moves);
    int best = -c_Infinity;
    for (std::size_t i = 0; i < node.moves.size(); ++i) {
        const Move move = node.moves[i];
        const int score = -quiesce(position.after(move), -beta, -alpha, ply + 1);
        if (m_Aborted)
            return 0;
        if (score <= best)
            continue;
        best = score;
        if (score <= alpha)
            continue;
        alpha = score;
        std::vector<Move>& line = m_Lines[ply];
        line.assign(1, move);
        line.insert(line.end(), m_Lines[ply + 1].begin(), m_Lines[ply + 1].end());
        if (score >= beta)
            break;
    }
    return best;
}

} // namespace Draughts
