#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "math/Vec3.h"
#include "rendering/Animation.h"

namespace Core
{

class Drawable;
class Object;
class Square;

// Plays moves of pieces as animations driven by wall-clock time (the frames' time, see
// Rendering::Animation). A move glides a piece from the square it stands on through each
// square of its path in turn, eased on each leg, optionally hopping in an arc over each
// leg; at its end the piece stands on the last square of the path, the captured pieces
// are deleted (which takes them off their squares) and the move's onDone runs. Moves
// wait in a queue and play one after the other.
//
// While a move plays, the piece still stands on its square (it is picked there) and is
// drawn displaced toward where it is (Object::setDisplacement); picking and callbacks go
// on as usual. The mover registers with the render while it has work, so that frames keep
// coming also when the render draws on demand, and unregisters once idle.
//
// Lifetimes: a move whose piece or one of whose path squares is destroyed (a square
// deletes the pieces on it) is dropped, queued or playing: nothing of it is touched any
// more, the piece (if still there) is left on its square undisplaced and its onDone is not
// called. A captured piece destroyed meanwhile is simply no longer deleted by the move.
// The mover destroyed with moves pending drops them the same way and leaves no
// registration behind. onDone may call play, finish or cancel, and may destroy the mover.
class PieceMover final : public Rendering::Animation
{
public:
    PieceMover();
    PieceMover(const PieceMover&) = delete;
    PieceMover& operator=(const PieceMover&) = delete;
    ~PieceMover();

    // Queues a move of `piece` along `path` (for a capture, each landing square; the last
    // is the destination) taking `durationMs` in all, each leg a share in proportion to
    // its length. With `hop`, the piece rises on each leg in an arc of getHopHeight().
    // Null squares and captured pieces are skipped, as is `piece` among the captured; a
    // null piece, an empty path or a duration of 0 or less make a move that ends at the
    // first frame it plays (its captures and onDone included).
    void play(Object* piece, const std::vector<Square*>& path, const std::vector<Object*>& captured,
              double durationMs, bool hop, std::function<void()> onDone = {});
    // True while a move is playing or queued.
    bool isBusy() const { return !m_Moves.empty(); }
    // Completes every queued move at once, in order, with the same end state as playing
    // them (moves queued by their onDone included).
    void finish();
    // Drops the queued moves that have not started (their onDone is not called); the move
    // playing, if any, completes at once.
    void cancel();
    // Moves the pieces to `nowMs`. A move starts at the first frame after it is queued, or
    // when the move before it ends; moves that end by `nowMs` are completed in order.
    // Returns true while moves remain.
    bool animate(double nowMs) override;

    // Height of the arc of a hopping leg, in board units above the board; 0.4 by default.
    void setHopHeight(double height) { m_HopHeight = height; }
    double getHopHeight() const { return m_HopHeight; }

    // Called for every drawable being destroyed (by Core::Drawable): drops the moves of
    // every mover that would still touch it.
    static void forget(const Drawable* drawable);

private:
    struct Move
    {
        Object* piece;
        std::vector<Square*> path;
        std::vector<Object*> captured;
        double durationMs;
        bool hop;
        std::function<void()> onDone;
        bool started;
        double startMs;
        // Start point, then each landing point (board units from the board's corner), and
        // the time at which each leg ends, from the start.
        std::vector<Vec3<double>> points;
        std::vector<double> legEndMs;
    };

    // Fixes the start point and the legs' times of the front move, starting at `startMs`.
    void start(Move& move, double startMs);
    // Draws the front move's piece where it is at `nowMs`.
    void place(const Move& move, double nowMs) const;
    // Takes the front move out of the queue and completes it: piece on its last square,
    // captured pieces deleted, onDone. False when onDone destroyed the mover.
    bool completeFront();
    // Takes the move out as dropped: its piece left undisplaced.
    static void drop(Move& move);
    void registerWithRender();
    void unregisterFromRender();

    std::deque<Move> m_Moves;
    double m_HopHeight;
    bool m_Registered;
    // Cleared when the mover is destroyed: code running after an onDone checks it.
    std::shared_ptr<bool> m_Alive;
};

} // namespace Core
