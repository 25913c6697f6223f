#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Game.h"
#include "GameList.h"
#include "Opponent.h"
#include "Options.h"

namespace Draughts
{

class SearchOpponent;

// The game as the player meets it, without a window: who plays each side, clicks on
// numbered squares, the keys' actions, the opponents' answers and the texts to show.
//
// Clicks: one of your pieces selects it and marks where it may go (only captures when a
// capture is compulsory, only the longest); a marked square plays the move there. When
// several captures of the piece end on that square taking different pieces, the squares
// where the piece lands on the way are marked next, and the player clicks them in order
// until one capture is left. The selected piece again cancels; anything else is refused
// with a message.
//
// A game read from a file is kept as the record: stepBack and stepForward move through
// it, and a move played before its end replaces the rest of it. Opponents play their side
// only at the end of the record.
//
// Each side is played by the person at the window or by an Opponent. The session asks the
// opponent of the side to move, polls every opponent (poll(), from the main loop) and
// plays the moves they send once checked against the rules. An opponent that fails (an
// error, an illegal move) leaves the game as it was: its side waits until handOver() gives
// it to the built-in computer or to the person.
//
// Whoever shows the game learns of changes through two hooks: a move played (before the
// change is told, so that it may be shown gliding from the position before) and any change.
// Destroyed, the session cancels what its opponents are doing.
class Session
{
public:
    // Who plays a side.
    enum class Player
    {
        Human,
        Computer,
        // Another opponent given by setPlayer (an engine program, a remote peer).
        Other
    };

    // A new game from the start; the sides as the options say (the computer is the built-in
    // search at the options' level and time).
    explicit Session(const Options& options);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Gives a side to an opponent (null: to the person at the window). What the side's
    // opponent was doing is cancelled; it is asked at once when it is its turn.
    void setPlayer(Color color, std::shared_ptr<Opponent> opponent);
    // The side's opponent, null for the person.
    Opponent* opponent(Color color) const { return m_Players[index(color)].get(); }
    Player player(Color color) const;
    bool isHuman(Color color) const { return !opponent(color); }
    // The built-in search (created with the session, shared by the sides it plays).
    SearchOpponent& computer() { return *m_Computer; }
    // Hands a side whose opponent failed (or any side) to the built-in computer, or to the
    // person with `toComputer` false, and goes on.
    void handOver(Color color, bool toComputer);
    // The side whose opponent failed and waits for handOver(), if any.
    bool stalled(Color& color) const;

    // Called after a move is played, before the change is told: the position before it and
    // the move as played (the route chosen).
    void setOnMove(std::function<void(const Position& before, const Move& played)> onMove) { m_OnMove = std::move(onMove); }
    // Called after anything shown changed (position, marks, texts).
    void setOnChange(std::function<void()> onChange) { m_OnChange = std::move(onChange); }
    // Called with each failure of an opponent, as the one line shown (for standard error);
    // a failure before it was set (an engine that cannot start) is told at once.
    void setOnError(std::function<void(const std::string&)> onError);

    // Replays a game: its moves become the record, shown from the game's start.
    void load(const Game& game);
    // The games of a PDN file: with one, it is opened; with several, their list is shown to
    // choose from, on the game played so far.
    void setGames(PdnDatabase database);
    // Opens game i of the list (from 0) as load() does, the message naming its error (it
    // is replayed up to it) or its first warning. False, with a message, for no such game.
    bool openGame(std::size_t i);
    // Shows the list of games, or goes back from it to the game (with a message when there
    // is no list: the file had one game, or none was opened).
    void toggleGames();
    // While the list is shown, the status text is the list and clicks do nothing.
    bool isChoosingGame() const { return m_Choosing; }
    void stepGames(GameList::Step step);
    // Opens the game chosen in the list.
    void openChosenGame() { openGame(m_Games.chosen()); }
    const GameList& games() const { return m_Games; }
    // A click on square n (1-50; 0 for a square that is not played on).
    void click(int number);
    // A new game from the initial position (the opponents forget what they learnt).
    void newGame();
    // Takes back the last move; against one opponent, the last move of each side (a search
    // running is cancelled and the move it answers is taken back).
    void undo();
    // Writes the game (the whole record) as PDN to a new file named after the date and time
    // in `directory` (with -2 ... -999 added while a name is taken: nothing is ever
    // replaced); the file's path, or a one-line error, in the message.
    bool save(const std::string& directory);
    // Asks for a move for the person to move (the opponent of the other side when it can
    // tell, else the built-in computer); marked when found.
    void hint();
    // One move back or forward through the record.
    void stepBack();
    void stepForward();
    // Takes what the opponents reported and acts on it (plays a move, shows progress, a
    // failure, a message). True when anything shown changed. Main thread; never blocks.
    bool poll();
    // Stops every opponent (before the program ends).
    void shutdown();

    const Game& game() const { return m_Game; }
    // Every move of the game, also those after the current position while stepping through.
    const std::vector<Move>& record() const { return m_Record; }
    // True while the opponent of the side to move is thinking about its move.
    bool isThinking() const;
    // True while an opponent looks for a hint.
    bool isLookingForHint() const;
    // The side the board should face: the player to move when two people play, the person
    // when one plays, White when nobody does.
    Color facing() const;
    // The selected piece's square, 0 for none.
    int selected() const { return m_Selected; }
    // The square chosen among captures ending there, 0 for none.
    int destination() const { return m_Destination; }
    // The squares marked as places to click next, in increasing order.
    std::vector<int> marked() const;
    // The hint found last (empty when none is shown).
    const Move& shownHint() const { return m_Hint; }
    // The last message (a refusal, the saved file, a hint, a failure), "" for none.
    const std::string& message() const { return m_Message; }
    // The status lines: whose turn (and what the opponent thinking found so far) or the
    // result, the last moves, the message.
    std::string statusText() const;
    // The keys (those of the list while it is shown).
    std::string helpText() const;
    // The file name save() tries first for a time: "draughts-YYYYMMDD-HHMMSS.pdn".
    static std::string saveName(std::int64_t unixTime);

private:
    static int index(Color color) { return color == Color::White ? 0 : 1; }
    bool humanToMove() const;
    // The opponents, each once.
    std::vector<Opponent*> opponents() const;
    // The side an opponent plays, false when it plays none.
    bool sideOf(const Opponent* opponent, Color& color) const;
    std::string label(Color color) const;
    void handle(Opponent& from, const OpponentEvent& event);
    // A remote peer begins a game: it takes the colour it was given, from the start given.
    void begin(Opponent& remote, const OpponentEvent& event);
    // Why no move can be played yet (an opponent's waiting()), "" when play may go on.
    std::string waitingText() const;
    void fail(Color color, const std::string& why);
    void cancelAsking();
    void select(int number);
    void deselect();
    void chooseDestination(int number);
    // Keeps the routes that pass through the squares clicked so far; plays when one
    // capture is left.
    void narrow();
    // Squares that tell the remaining routes apart, next in order after those clicked.
    std::vector<int> waypoints() const;
    // Plays a legal move (a copy: the lists it comes from are cleared).
    void playMove(Move move);
    // After a change: asks the opponent to move when it is its turn, and tells.
    void changed();
    void told();
    void maybeAskOpponent();
    OpponentRequest request(OpponentRequest::Purpose purpose) const;

    Game m_Game;
    std::vector<Move> m_Record;
    double m_Seconds;
    int m_Level;
    std::uint64_t m_Seed;
    std::shared_ptr<SearchOpponent> m_Computer;
    std::array<std::shared_ptr<Opponent>, 2> m_Players;
    std::array<bool, 2> m_Failed{false, false};
    // The opponent asked last and what for, while it answers.
    Opponent* m_Asking = nullptr;
    OpponentRequest::Purpose m_AskedFor = OpponentRequest::Purpose::Play;
    OpponentEvent m_Progress;
    bool m_HasProgress = false;

    int m_Selected = 0;
    // Routes of the selected piece still possible.
    MoveList m_Routes;
    // While choosing among captures ending there: their destination and the squares
    // clicked on the way.
    int m_Destination = 0;
    std::vector<int> m_Waypoints;
    Move m_Hint;
    std::string m_Message;
    GameList m_Games;
    bool m_Choosing = false;

    std::function<void(const Position&, const Move&)> m_OnMove;
    std::function<void()> m_OnChange;
    std::function<void(const std::string&)> m_OnError;
    // A failure that came while no one was listening.
    std::string m_UntoldError;
};

} // namespace Draughts
