#include "Game.h"

#include "Notation.h"

namespace Draughts
{
namespace
{
constexpr int c_KingMovesLimit = 25;
constexpr int c_ThreeAgainstKingLimit = 16;
constexpr int c_TwoAgainstKingLimit = 5;
constexpr std::size_t c_ReservedPlies = 128;

// The lone-king ending a position is in, as its limit in moves each (0 when none): one side
// has a single king, the other one to three pieces among which a king.
int endgameKind(const Position& position)
{
    int kind = 0;
    for (Color lone : {Color::White, Color::Black}) {
        const Color other = opponent(lone);
        if (position.count(lone) != 1 || position.kingCount(lone) != 1 || position.kingCount(other) == 0)
            continue;
        const int pieces = position.count(other);
        if (pieces == 3)
            kind = c_ThreeAgainstKingLimit;
        else if (pieces <= 2 && kind == 0)
            kind = c_TwoAgainstKingLimit;
    }
    return kind;
}
} // namespace

Game::Game() : Game(Position::initial()) {}

Game::Game(const Position& start)
{
    // Room for a usual game, so that reading one grows each list once or twice.
    m_States.reserve(c_ReservedPlies + 1);
    m_Moves.reserve(c_ReservedPlies);
    State state;
    state.position = start;
    state.endgameKind = endgameKind(start);
    judge(state);
    m_States.push_back(state);
}

MoveList Game::legalMoves() const
{
    MoveList moves;
    if (result() == Result::Ongoing)
        MoveGenerator::generate(position(), moves);
    return moves;
}

bool Game::play(const Move& move)
{
    return result() == Result::Ongoing && playRoute(move);
}

bool Game::playOn(const Move& move)
{
    return drawRule() != DrawRule::None && playRoute(move);
}

bool Game::playRoute(const Move& move)
{
    // The route given when it is one of the move's routes, else the move's first route.
    thread_local MoveList routes;
    MoveGenerator::generateAllRoutes(position(), routes);
    const Move* chosen = nullptr;
    for (const Move& candidate : routes)
        if (candidate.sameAs(move) && (!chosen || candidate.landings() == move.landings()))
            chosen = &candidate;
    if (!chosen)
        return false;
    append(*chosen);
    return true;
}

void Game::append(const Move& route)
{
    const State& before = m_States.back();
    const bool king = before.position.kings() & Bits::maskOf(route.fromBit());
    State state;
    state.position = before.position.after(route);
    state.kingMoves = king && !route.isCapture() ? before.kingMoves + 1 : 0;
    state.reversible = king && !route.isCapture() ? before.reversible + 1 : 0;
    state.endgameKind = endgameKind(state.position);
    state.endgamePlies =
        state.endgameKind != 0 && state.endgameKind == before.endgameKind ? before.endgamePlies + 1 : 0;
    judge(state);
    m_States.push_back(state);
    m_Moves.push_back(route);
}

bool Game::play(const std::string& text, std::string& error)
{
    if (result() != Result::Ongoing) {
        error = "the game is over (" + resultDescription() + ")";
        return false;
    }
    Move move;
    if (!Notation::read(position(), text, move, error))
        return false;
    // The notation gives one of the position's routes.
    append(move);
    return true;
}

bool Game::undo()
{
    if (m_Moves.empty())
        return false;
    m_Moves.pop_back();
    m_States.pop_back();
    m_Declared = Result::Ongoing;
    return true;
}

// Called before the state is appended.
void Game::judge(State& state) const
{
    if (!MoveGenerator::canMove(state.position)) {
        state.result = state.position.sideToMove() == Color::White ? Result::BlackWins : Result::WhiteWins;
        return;
    }
    // Earlier positions with the same side to move, back to the last man move or capture. A
    // record played on past the king-move rule is drawn by that rule whatever repeats, and
    // its stretch of king moves, however long, is not searched.
    int seen = 0;
    const std::size_t now = m_States.size();
    if (state.reversible <= 2 * c_KingMovesLimit)
        for (int back = 2; back <= state.reversible && static_cast<std::size_t>(back) <= now; back += 2)
            if (m_States[now - static_cast<std::size_t>(back)].position == state.position)
                ++seen;
    if (seen >= 2)
        state.drawRule = DrawRule::Repetition;
    else if (state.kingMoves >= 2 * c_KingMovesLimit)
        state.drawRule = DrawRule::KingMoves;
    else if (state.endgameKind != 0 && state.endgamePlies >= 2 * state.endgameKind)
        state.drawRule =
            state.endgameKind == c_ThreeAgainstKingLimit ? DrawRule::ThreeAgainstKing : DrawRule::TwoAgainstKing;
    if (state.drawRule != DrawRule::None)
        state.result = Result::Draw;
}

Result Game::result() const
{
    const Result ruled = m_States.back().result;
    return ruled != Result::Ongoing ? ruled : m_Declared;
}

void Game::declareResult(Result result)
{
    if (m_States.back().result == Result::Ongoing)
        m_Declared = result;
}

const char* Game::resultText(Result result)
{
    switch (result) {
    case Result::WhiteWins:
        return "2-0";
    case Result::BlackWins:
        return "0-2";
    case Result::Draw:
        return "1-1";
    case Result::Ongoing:
        break;
    }
    return "*";
}

std::string Game::resultDescription() const
{
    const State& state = m_States.back();
    switch (state.drawRule) {
    case DrawRule::Repetition:
        return "Draw: the same position for the third time.";
    case DrawRule::KingMoves:
        return "Draw: 25 moves each with only kings moved and nothing captured.";
    case DrawRule::ThreeAgainstKing:
        return "Draw: 16 moves each with three pieces against a lone king.";
    case DrawRule::TwoAgainstKing:
        return "Draw: 5 moves each with two pieces or fewer against a lone king.";
    case DrawRule::None:
        break;
    }
    if (state.result != Result::Ongoing) {
        const Color loser = state.position.sideToMove();
        const bool none = state.position.count(loser) == 0;
        return std::string(colorName(opponent(loser))) + " wins: " + colorName(loser) +
               (none ? " has no pieces left." : " cannot move.");
    }
    switch (m_Declared) {
    case Result::WhiteWins:
        return "White wins.";
    case Result::BlackWins:
        return "Black wins.";
    case Result::Draw:
        return "Draw agreed.";
    case Result::Ongoing:
        break;
    }
    return "";
}

int Game::moveNumber(std::size_t ply) const
{
    const std::size_t offset = start().sideToMove() == Color::Black ? 1 : 0;
    return m_FirstMoveNumber + static_cast<int>((ply + offset) / 2);
}

std::string Game::moveText(std::size_t ply) const
{
    return Notation::write(m_States.at(ply).position, m_Moves.at(ply));
}

void Game::setTag(const std::string& name, const std::string& value)
{
    const auto [place, added] = m_TagPlaces.emplace(name, m_Tags.size());
    if (added)
        m_Tags.emplace_back(name, value);
    else
        m_Tags[place->second].second = value;
}

std::string Game::tag(const std::string& name) const
{
    const auto place = m_TagPlaces.find(name);
    return place == m_TagPlaces.end() ? std::string() : m_Tags[place->second].second;
}

} // namespace Draughts
