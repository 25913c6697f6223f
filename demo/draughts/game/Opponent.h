#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Game.h"

namespace Draughts
{

// What an opponent is asked for: a move to play, or (for a hint) its opinion of the
// position without playing.
struct OpponentRequest
{
    enum class Purpose
    {
        Play,
        Analyze
    };
    Purpose purpose = Purpose::Play;
    // Time for the answer, in seconds.
    double seconds = 1.0;
    // Strength 1-10 of the built-in search (others have their own settings).
    int level = 10;
    // Varies the built-in search's deliberate mistakes from one move to the next.
    std::uint64_t seed = 0;
};

// One thing an opponent reports, as data, taken on the main thread by Opponent::poll.
struct OpponentEvent
{
    enum class Kind
    {
        // While thinking: what it knows so far (depth, score, line, nodes, seconds).
        Progress,
        // The answer to the request: exactly one per request, unless it was cancelled or
        // an Error came instead.
        Move,
        // The opponent failed (a dead or hanging process, a malformed or illegal answer, a
        // lost connection): `text` says what in one line. A request running is over.
        Error,
        // A message from a remote player, shown as it is (`text`).
        Chat,
        // The remote side ended the game: `result` (Ongoing when unknown), `text` why.
        GameEnd,
        // A remote peer begins a game (its request, or its acceptance of ours): it plays
        // `color`, from `start`; the game so far is over.
        GameStart,
        // Something to show the player as it is (`text`), nothing else to do.
        Notice
    };
    Kind kind = Kind::Progress;
    // The number of moves the game had when the request was made (Progress and Move).
    std::size_t ply = 0;
    // The move (Move); for Progress the best move so far.
    Draughts::Move move;
    // Progress: the last depth searched, the score in men from the side to move's view
    // (as the opponent reports it), positions visited, seconds spent, the expected line
    // from the move on. Zero or empty when the opponent did not say.
    int depth = 0;
    double score = 0.0;
    bool hasScore = false;
    std::uint64_t nodes = 0;
    double seconds = 0.0;
    std::vector<Draughts::Move> line;
    std::string text;
    Result result = Result::Ongoing;
    // GameStart: the colour the remote peer plays and the start position.
    Color color = Color::White;
    Position start = Position::initial();
};

// A player of one side that is not the person at the window: the built-in search on a
// worker thread, an engine program in a child process, or a remote peer. It is asked for
// a move with start() and answers through events that the session takes with poll() on
// the main thread, so that nothing waits for it. A peer that speaks on its own (chat, the
// end of the game, a dropped connection) reports that through poll() too, whether it was
// asked something or not: the session polls every opponent all the time.
//
// All calls come from the main thread. Destroying an opponent stops what it does (threads
// joined, processes ended and reaped, connections closed) before it returns.
class Opponent
{
public:
    virtual ~Opponent() = default;

    // A short name for the status line and the saved game ("Computer (level 5)", an
    // engine's name, a remote player's name).
    virtual std::string name() const = 0;
    // Starts answering `request` in the game's current position (the game is copied or
    // sent; it need not outlive the call) and returns at once. A request still running is
    // cancelled first. False, with a one-line reason in `error`, when the opponent cannot
    // answer (it has failed before, or cannot be reached).
    virtual bool start(const Game& game, const OpponentRequest& request, std::string& error) = 0;
    // Drops the request running, if any: no event of it comes after this returns (a peer
    // may still report chat, the game's end or a lost connection).
    virtual void cancel() = 0;
    // True from start() until the request's Move or Error has been taken by poll(), or it
    // was cancelled.
    virtual bool isThinking() const = 0;
    // Takes the next event, oldest first; false when there is none. Never blocks.
    virtual bool poll(OpponentEvent& event) = 0;

    // A move was played in the game (by either side; it is game.moves().back()). A remote
    // peer sends the local side's moves on from here; the others ignore it.
    virtual void moved(const Game& /*game*/) {}
    // A new game begins: what earlier searches learnt is of no use.
    virtual void newGame() {}
    // The program is ending: end processes and close connections now (nothing but the
    // destructor is called after this).
    virtual void close() {}
    // Whether it can give its opinion of a position for the other side (a hint).
    virtual bool canAnalyze() const { return true; }
    // Whether moves may be taken back or the game stepped through while it plays.
    virtual bool allowsTakeBack() const { return true; }
    // Why no move can be played yet (a remote peer still connecting, or a game request not
    // yet answered), as a line to show; "" when play may go on.
    virtual std::string waiting() const { return std::string(); }
};

} // namespace Draughts
