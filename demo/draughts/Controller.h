#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "BoardView.h"
#include "ComputerPlayer.h"
#include "Game.h"
#include "Options.h"
#include "core/CallBackPicking.h"
#include "core/PieceMover.h"

namespace Draughts
{

// The game as the player meets it in the window: clicks on the board's squares, the keys'
// actions, the computer's moves and the texts shown, over a Game and a BoardView.
//
// Clicks: one of your pieces selects it and marks where it may go (only captures when a
// capture is compulsory, only the longest); a marked square plays the move there. When
// several captures of the piece end on that square taking different pieces, the squares
// where the piece lands on the way are marked next, and the player clicks them in order
// until one capture is left. The selected piece again cancels; anything else is refused
// with a message.
//
// A game read from a file is kept as the record: stepBack and stepForward move through
// it, and a move played before its end replaces the rest of it. The computer plays its
// side only at the end of the record.
//
// The view must outlive the controller. Destroyed, the controller stops its search and
// drops the moves still gliding (their pieces stay undisplaced where they stood).
class Controller final : public Core::CallBackPicking
{
public:
    // Registers itself as the render's picking callback; a new game from the start.
    Controller(BoardView& view, const Options& options);
    // Stops the computer and unregisters.
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

    // Replays a game: its moves become the record, shown from the game's start.
    void load(const Game& game);

    // A click on the render's picked square.
    void update() override;
    // A click on square n (1-50; 0 for a square that is not played on).
    void click(int number);
    // A new game from the initial position (the computer forgets what it learnt).
    void newGame();
    // Takes back the last move; against the computer, the last move of each side (a
    // search running is cancelled and the move it answers is taken back).
    void undo();
    // Writes the game (the whole record) as PDN to a new file named after the date and
    // time in `directory` (with -2 ... -999 added while a name is taken: nothing is ever
    // replaced); the file's path, or a one-line error, in the message.
    bool save(const std::string& directory);
    // Asks the computer for a move for the player to move; marked on the board when found.
    void hint();
    // One move back or forward through the record.
    void stepBack();
    void stepForward();
    // Takes the computer's move (or hint) when it is ready and plays it. True while the
    // computer is searching; called every frame.
    bool poll();
    // Stops the computer's search (before the program ends).
    void shutdown();

    const Game& game() const { return m_Game; }
    // Every move of the game, also those after the current position while stepping through.
    const std::vector<Move>& record() const { return m_Record; }
    bool isComputer(Color color) const { return color == Color::White ? m_WhiteComputer : m_BlackComputer; }
    ComputerPlayer& computer() { return m_Computer; }
    // The selected piece's square, 0 for none.
    int selected() const { return m_Selected; }
    // The squares marked as places to click next, in increasing order.
    std::vector<int> marked() const;
    // The hint found last (empty when none is shown).
    const Move& shownHint() const { return m_Hint; }
    // The last message (a refusal, the saved file, a hint), "" for none.
    const std::string& message() const { return m_Message; }
    // The status lines: whose turn or the result, the last moves, the message.
    std::string statusText() const;
    static std::string helpText();

private:
    bool humanToMove() const;
    void select(int number);
    void deselect();
    void chooseDestination(int number);
    // Keeps the routes that pass through the squares clicked so far; plays when one
    // capture is left.
    void narrow();
    // Squares that tell the remaining routes apart, next in order after those clicked.
    std::vector<int> waypoints() const;
    // Plays a move (a copy: the lists it comes from are cleared), gliding when asked.
    void playMove(Move move);
    // Shows the position after a change (unless a move is gliding there), refreshes marks
    // and texts, starts the computer when it is its turn.
    void changed();
    void refresh();
    void maybeStartComputer();
    SearchLimits limits(int level) const;

    BoardView& m_View;
    Game m_Game;
    std::vector<Move> m_Record;
    bool m_WhiteComputer;
    bool m_BlackComputer;
    double m_Seconds;
    int m_Level;
    std::uint64_t m_Seed;
    ComputerPlayer m_Computer;
    double m_LegMs = 0.0;
    // Declared after everything its moves' completion uses.
    Core::PieceMover m_Mover;

    int m_Selected = 0;
    // Routes of the selected piece still possible.
    MoveList m_Routes;
    // While choosing among captures ending there: their destination and the squares
    // clicked on the way.
    int m_Destination = 0;
    std::vector<int> m_Waypoints;
    Move m_Hint;
    std::string m_Message;
};

} // namespace Draughts
