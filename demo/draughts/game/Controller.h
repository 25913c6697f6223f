#pragma once

#include "BoardView.h"
#include "Session.h"
#include "core/CallBackPicking.h"
#include "core/PieceMover.h"
#include "rendering/Poller.h"

namespace Draughts
{

// The session in the window: clicks on the board's squares go to the session, and what
// the session shows (the position, marks, texts, the side the board faces) goes to the
// view; moves glide along their landing squares when asked. As a poller of the render it
// takes the opponents' reports every few milliseconds without drawing: a frame comes only
// when something changed (progress, a move, an animation).
//
// The view and the session must outlive the controller. Destroyed, it unregisters, unhooks
// itself from the session and drops the moves still gliding (their pieces stay
// undisplaced where they stood).
class Controller final : public Core::CallBackPicking, public Rendering::Poller
{
public:
    // Registers itself as the render's picking callback and poller; shows the session.
    Controller(BoardView& view, Session& session);
    ~Controller();
    Controller(const Controller&) = delete;
    Controller& operator=(const Controller&) = delete;

    // How long a move takes on the board, per square it lands on: 0 (the default) shows
    // it at once; otherwise the piece glides there (hopping over what it takes) while
    // frames are drawn. Anything done meanwhile first completes the move.
    void setLegDuration(double milliseconds) { m_LegMs = milliseconds; }
    // Completes at once the moves still gliding.
    void finishMoves() { m_Mover.finish(); }
    bool isMoving() const { return m_Mover.isBusy(); }

    // A click on the render's picked square.
    void update() override;
    // A click on square n (1-50; 0 for a square that is not played on).
    void click(int number);
    // The opponents' reports, taken unless a move is still gliding (the next waits until
    // the board shows the one before). True when the scene changed.
    bool poll(double nowMs) override;
    // The same, at once.
    bool poll() { return poll(0.0); }
    // Stops the opponents and the gliding (before the program ends).
    void shutdown();

    Session& session() { return m_Session; }
    const Game& game() const { return m_Session.game(); }

private:
    // Glides a move from the position shown before it.
    void moved(const Move& played);
    // Brings the view up to date with the session.
    void refresh();

    BoardView& m_View;
    Session& m_Session;
    double m_LegMs = 0.0;
    // Declared after everything its moves' completion uses.
    Core::PieceMover m_Mover;
};

} // namespace Draughts
