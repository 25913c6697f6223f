#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "EndgameTable.h"
#include "Game.h"
#include "MoveHistory.h"
#include "PatternEvaluation.h"
#include "TranspositionTable.h"

namespace Draughts
{

struct SearchResult;

// How long and how well to search.
struct SearchLimits
{
    // Time for the move. The search stops at 90 % of it, keeping the rest for handing the
    // move over (a thread waking up on a busy machine), so that the answer comes within it,
    // except that the first, shallowest iteration always completes.
    double seconds = 1.0;
    // No time limit: the search goes on until the stop flag, the node limit or the depth
    // limit ends it (or a win or loss is proven).
    bool infinite = false;
    // Positions to visit at most, 0 for no limit (checked as the time is: the first
    // iteration always completes).
    std::uint64_t maxNodes = 0;
    // 1 (a beginner can win) to 10 (the full time, no mistakes on purpose).
    int level = 10;
    // Deepest iteration, 0 for the level's own limit.
    int maxDepth = 0;
    // When set (from any thread), the search returns at once with what it has. The caller owns
    // the flag and clears it before starting the next search.
    const std::atomic<bool>* stop = nullptr;
    // Threads to search with at level 10 when only time (or the stop flag) bounds the search
    // (a depth or a number of positions keeps a search the same on every run): the others
    // search the same position sharing the table, so that the first finds more there.
    int threads = 1;
    // Varies the lower levels' deliberate mistakes from one game to the next.
    std::uint64_t seed = 0;
    // Called on the searching thread after each iteration completes, with what is known
    // so far (move, line, depth, score, nodes, time); empty for none.
    std::function<void(const SearchResult&)> progress;
};

// What a search found.
struct SearchResult
{
    // One of the position's legal moves; empty only when there is none.
    Move best;
    // The expected line of play from the best move on (at least the best move).
    std::vector<Move> principalVariation;
    // The last depth searched completely (0 when the move was forced or nothing completed).
    int depth = 0;
    // From the side to move's point of view, in hundredths of a man; beyond c_WinScore - 1000
    // it is a win in (c_WinScore - score) plies.
    int score = 0;
    // Positions visited (by all threads).
    std::uint64_t nodes = 0;
    double seconds = 0.0;
    // True when the stop flag ended the search.
    bool stopped = false;
};

// The computer opponent: alpha-beta search with iterative deepening (each iteration first
// within a narrow window around the previous score), a transposition table,
// move ordering (table move, killer moves, history), late quiet moves searched shorter first,
// nodes off the principal line settled by a much shallower probe when it ends well outside
// their window, and a quiescence search of captures, over the learnt evaluation
// (PatternEvaluation) or the hand-set one (Evaluation), with the positions of few pieces
// looked up in the solved endings (EndgameTable) when they are installed. Meant to run on
// a worker thread: run() returns within the time given or at once when the stop flag is set,
// and never touches anything but the object and its arguments.
// One search at a time per object; the object may be reused (it keeps its table). With
// more than one thread (SearchLimits::threads), run() starts the helpers and has them all
// stopped and joined before it returns.
class Search
{
public:
    static constexpr int c_WinScore = 30000;

    // Solved endings score beyond any evaluation and below the wins the search proves itself:
    // a win the table holds is worth this, plus more for each capture or promotion made on
    // the way, less the plies to the next one.
    static constexpr int c_EndgameWin = 20000;

    // A search with a transposition table of about the given size, allocated now, judging
    // positions by the installed learnt evaluation, or the hand-set one when it is missing,
    // and looking up the installed solved endings when they are there.
    explicit Search(std::size_t tableMegabytes = 16);

    // Judges positions by these learnt weights from the next search on; null for the
    // hand-set evaluation.
    void setEvaluation(std::shared_ptr<const PatternEvaluation> evaluation) { m_Evaluation = std::move(evaluation); }
    bool isLearnt() const { return m_Evaluation != nullptr; }
    // Looks up positions of few pieces in these solved endings from the next search on; null
    // for none (the search then judges them as any other).
    void setEndgames(std::shared_ptr<const EndgameTable> endgames) { m_Endgames = std::move(endgames); }
    bool hasEndgames() const { return m_Endgames != nullptr; }

    // Searches the game's current position. Repetitions of the game's earlier positions count
    // as draws. Pass a game no other thread changes meanwhile (a copy). With no legal move
    // (the game is over) the result's move is empty.
    SearchResult run(const Game& game, const SearchLimits& limits);
    // The same from a position without history.
    SearchResult run(const Position& position, const SearchLimits& limits);
    // Forgets what earlier searches learnt (a new game).
    void clear();

private:
    struct Ply
    {
        MoveList moves;
        // Ordering keys: each move's score, then its index in moves below it; the first is
        // the highest, the rest are in order once sorted is set.
        std::vector<std::int64_t> keys;
        bool sorted = false;
        Move killers[2];
        std::uint64_t hash = 0;
        // Plies in a row without a man move or capture up to this one.
        int reversible = 0;
    };

    // A helper searching beside another search, on its table.
    explicit Search(std::shared_ptr<TranspositionTable> table);

    SearchResult runFrom(const Position& position, const std::vector<std::uint64_t>& history, int reversible,
                         const SearchLimits& limits);
    int search(const Position& position, int depth, int alpha, int beta, int ply);
    int quiesce(const Position& position, int alpha, int beta, int ply);
    int evaluate(const Position& position) const;
    bool probeEndgame(const Position& position, int& score) const;
    bool repeated(int ply) const;
    void extendLine(const Position& root, std::vector<Move>& line, int depth);
    void order(const Position& position, Ply& node, int tableMove) const;
    static void sortRest(Ply& node);
    static int moveAt(const Ply& node, std::size_t i);
    bool timeUp();

    void startHelpers(const Position& position, const std::vector<std::uint64_t>& history, int reversible,
                      const SearchLimits& limits);
    std::uint64_t stopHelpers();

    std::shared_ptr<TranspositionTable> m_Table;
    std::shared_ptr<const PatternEvaluation> m_Evaluation;
    std::shared_ptr<const EndgameTable> m_Endgames;
    std::vector<Ply> m_Plies;
    std::vector<std::vector<Move>> m_Lines;
    std::vector<std::uint64_t> m_History;
    MoveHistory m_MoveHistory;
    std::uint64_t m_Nodes = 0;
    std::uint64_t m_Seed = 0;
    int m_Noise = 0;
    // The last search played deliberate mistakes.
    bool m_Noisy = false;
    bool m_Aborted = false;
    bool m_Stopped = false;
    bool m_CheckTime = false;
    bool m_Infinite = false;
    std::uint64_t m_MaxNodes = 0;
    const std::atomic<bool>* m_Stop = nullptr;
    std::chrono::steady_clock::time_point m_Deadline;

    // Helpers: their searches, threads and stop flag, and the positions they report as
    // they go (every 256) for the main search's progress. A helper's own: the iterations
    // it searches are one deeper than their number (odd helpers), it leaves the table's
    // age alone, and it adds to the main search's count.
    std::vector<std::unique_ptr<Search>> m_Helpers;
    std::vector<std::thread> m_HelperThreads;
    std::atomic<bool> m_HelpersStop{false};
    std::atomic<std::uint64_t> m_HelperNodes{0};
    std::atomic<std::uint64_t>* m_NodeSink = nullptr;
    int m_DepthOffset = 0;
    bool m_IsHelper = false;
};

} // namespace Draughts
