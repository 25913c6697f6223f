#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "MoveGenerator.h"
#include "Position.h"

namespace Draughts
{

enum class Result
{
    Ongoing,
    WhiteWins,
    BlackWins,
    Draw
};

// Why the rules ended a game in a draw.
enum class DrawRule
{
    None,
    // The same position with the same side to move for the third time.
    Repetition,
    // 25 moves by each side in a row with only kings moved and nothing taken.
    KingMoves,
    // Three pieces, at least one a king, against a lone king: 16 moves each.
    ThreeAgainstKing,
    // One or two pieces, at least one a king, against a lone king: 5 moves each.
    TwoAgainstKing
};

// A game from a start position: the moves played, undo, and the end by the rules (the side
// to move without a legal move loses; the draw rules above), plus PDN tags. A result may also
// be declared (resignation, agreement) while the rules would let play go on.
class Game
{
public:
    // A game from the initial position.
    Game();
    // A game from a set-up position (a set-up that is already over by the rules is allowed).
    explicit Game(const Position& start);

    const Position& start() const { return m_States.front().position; }
    // The position now, after every move played.
    const Position& position() const { return m_States.back().position; }
    const std::vector<Move>& moves() const { return m_Moves; }
    // The position before the ply-th move (0-based); the current position for ply == moves().size().
    const Position& positionBefore(std::size_t ply) const { return m_States.at(ply).position; }

    // The legal moves now; none once the game is over.
    MoveList legalMoves() const;
    // Plays a move (one of legalMoves(), by start, end and taken pieces; the route given is
    // kept when it is one of the move's routes). False, with nothing changed, when it is not
    // legal now or the game is over.
    bool play(const Move& move);
    // Plays a move written in PDN ("32-28", "28x19x8"); false with a one-line reason otherwise.
    bool play(const std::string& text, std::string& error);
    // Plays a move of a record that went on after a draw rule ended the game: legal in the
    // position as if the game were not over. False, with nothing changed, when the game is
    // not drawn by a rule (play() is then the way) or the move is not legal.
    bool playOn(const Move& move);
    // Takes back the last move and any declared result; false when no move was played.
    bool undo();

    // Over by the rules, else the declared result, else Ongoing.
    Result result() const;
    // The draw rule that ended the game, None otherwise (also for a declared draw).
    DrawRule drawRule() const { return m_States.back().drawRule; }
    // Records a result the rules do not give (resignation, agreement, time); ignored when the
    // rules have already ended the game. Ongoing clears it.
    void declareResult(Result result);
    // "2-0", "0-2", "1-1" or "*".
    static const char* resultText(Result result);
    // One line saying who won and why, or which draw rule applied; "" while the game goes on.
    std::string resultDescription() const;

    // The number PDN gives a ply's move ("12." for White's and "12..." for Black's twelfth).
    int moveNumber(std::size_t ply) const;
    // The number of the first move (1 unless a set-up game says otherwise).
    void setFirstMoveNumber(int number) { m_FirstMoveNumber = number < 1 ? 1 : number; }
    int firstMoveNumber() const { return m_FirstMoveNumber; }
    // The ply-th move in PDN, with intermediate squares when they are needed.
    std::string moveText(std::size_t ply) const;

    // PDN tags in the order set; setting a tag again replaces its value (found by name in
    // logarithmic time, so that a game of many tags reads in n log n).
    void setTag(const std::string& name, const std::string& value);
    // The tag's value, "" when absent.
    std::string tag(const std::string& name) const;
    const std::vector<std::pair<std::string, std::string>>& tags() const { return m_Tags; }

private:
    struct State
    {
        Position position;
        // Plies in a row with a king moved and nothing taken.
        int kingMoves = 0;
        // Plies since the lone-king ending of this kind began (kind: its limit in moves, 0 = none).
        int endgameKind = 0;
        int endgamePlies = 0;
        // Plies since the last man move or capture (how far back a repetition can lie).
        int reversible = 0;
        Result result = Result::Ongoing;
        DrawRule drawRule = DrawRule::None;
    };
    void judge(State& state) const;
    // Plays a legal move, whether or not the game is over.
    bool playRoute(const Move& move);
    // Appends a route generated for the current position.
    void append(const Move& route);

    std::vector<State> m_States;
    std::vector<Move> m_Moves;
    Result m_Declared = Result::Ongoing;
    int m_FirstMoveNumber = 1;
    std::vector<std::pair<std::string, std::string>> m_Tags;
    // Each tag's place in m_Tags.
    std::map<std::string, std::size_t> m_TagPlaces;
};

} // namespace Draughts
