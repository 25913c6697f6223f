#include "Controller.h"

#include <algorithm>
#include <ctime>
#include <random>

#include "MoveGenerator.h"
#include "Notation.h"
#include "PdnWriter.h"
#include "core/Quotable.h"
#include "rendering/Render.h"

namespace Draughts
{

namespace
{
// Plies shown in the line of last moves.
constexpr std::size_t c_MovesShown = 8;
// A hint searches at full strength, but not for long.
constexpr double c_HintSeconds = 1.0;

bool isOwn(Piece piece, Color color)
{
    if (color == Color::White)
        return piece == Piece::WhiteMan || piece == Piece::WhiteKing;
    return piece == Piece::BlackMan || piece == Piece::BlackKing;
}

std::string timeText(const char* format, std::time_t now)
{
    std::tm local{};
    localtime_r(&now, &local);
    char text[64];
    return std::strftime(text, sizeof text, format, &local) ? std::string(text) : std::string();
}

std::uint64_t freshSeed()
{
    std::random_device device;
    return (static_cast<std::uint64_t>(device()) << 32) ^ device();
}
} // namespace

Controller::Controller(BoardView& view, const Options& options)
    : CallBackPicking(&view.getBoard()), m_View(view), m_WhiteComputer(options.whiteIsComputer()),
      m_BlackComputer(options.blackIsComputer()), m_Seconds(options.seconds()), m_Level(options.level()),
      m_Seed(freshSeed())
{
    Rendering::Render::instance().addCallBackPicking(this);
    changed();
}

Controller::~Controller()
{
    m_Computer.cancel();
}

void Controller::shutdown()
{
    m_Computer.cancel();
    m_Mover.cancel();
}

void Controller::load(const Game& game)
{
    m_Mover.finish();
    m_Computer.cancel();
    m_Record = game.moves();
    m_Game = Game(game.start());
    m_Game.setFirstMoveNumber(game.firstMoveNumber());
    for (const auto& [name, value] : game.tags())
        m_Game.setTag(name, value);
    deselect();
    m_Hint = Move();
    m_Message = m_Record.empty() ? "" : "Replaying the game: the right arrow plays its next move.";
    changed();
}

void Controller::newGame()
{
    m_Mover.finish();
    m_Computer.clear();
    m_Game = Game();
    m_Record.clear();
    m_Seed = freshSeed();
    deselect();
    m_Hint = Move();
    m_Message = "A new game.";
    changed();
}

bool Controller::humanToMove() const
{
    return !isComputer(m_Game.position().sideToMove()) || m_Game.moves().size() < m_Record.size();
}

void Controller::update()
{
    click(m_View.numberOf(m_PickedSquare));
}

void Controller::click(int number)
{
    m_Mover.finish();
    if (m_Game.result() != Result::Ongoing) {
        m_Message = "The game is over: press n for a new game, or u to take back a move.";
        refresh();
        return;
    }
    if (m_Computer.isBusy() && m_Computer.purpose() == ComputerPlayer::Purpose::Play) {
        m_Message = "Please wait: the computer is thinking.";
        refresh();
        return;
    }
    if (!humanToMove()) {
        m_Message = "It is the computer's turn.";
        refresh();
        return;
    }
    m_Message.clear();
    if (m_Destination != 0) {
        const std::vector<int> next = waypoints();
        if (std::find(next.begin(), next.end(), number) != next.end()) {
            m_Waypoints.push_back(number);
            narrow();
            return;
        }
        if (number == m_Selected) {
            deselect();
        } else {
            m_Message = "Click the marked squares where the piece lands on its way, in order.";
        }
        refresh();
        return;
    }
    if (m_Selected != 0) {
        const bool destination = std::any_of(m_Routes.begin(), m_Routes.end(),
                                             [&](const Move& route) { return route.to() == number; });
        if (destination) {
            chooseDestination(number);
            return;
        }
        if (number == m_Selected) {
            deselect();
            refresh();
            return;
        }
    }
    const Color side = m_Game.position().sideToMove();
    if (number != 0 && isOwn(m_Game.position().at(number), side)) {
        select(number);
        refresh();
        return;
    }
    if (m_Selected != 0)
        m_Message = "Not a move of the selected piece: click one of the marked squares.";
    else if (number == 0 || m_Game.position().at(number) == Piece::None)
        m_Message = std::string("Click one of your pieces (") + colorName(side) + ") first.";
    else
        m_Message = std::string("That piece is not yours: you play ") + colorName(side) + ".";
    refresh();
}

void Controller::select(int number)
{
    MoveList routes;
    MoveGenerator::generateAllRoutes(m_Game.position(), routes);
    MoveList own;
    for (const Move& route : routes)
        if (route.from() == number)
            own.push_back(route);
    deselect();
    if (own.empty()) {
        if (MoveGenerator::mustCapture(m_Game.position()))
            m_Message = routes.front().captureCount() > 1
                            ? "A capture is compulsory, of as many pieces as possible: this piece cannot make it."
                            : "A capture is compulsory: this piece cannot capture.";
        else
            m_Message = "This piece cannot move.";
        return;
    }
    m_Selected = number;
    m_Routes = own;
}

void Controller::deselect()
{
    m_Selected = 0;
    m_Routes.clear();
    m_Destination = 0;
    m_Waypoints.clear();
}

void Controller::chooseDestination(int number)
{
    MoveList routes;
    for (const Move& route : m_Routes)
        if (route.to() == number)
            routes.push_back(route);
    m_Routes = routes;
    m_Destination = number;
    m_Waypoints.clear();
    narrow();
}

void Controller::narrow()
{
    // Routes whose landings on the way hold the clicked squares in order.
    MoveList kept;
    for (const Move& route : m_Routes) {
        const std::vector<int> landings = route.landings();
        std::size_t at = 0;
        for (int waypoint : m_Waypoints) {
            while (at + 1 < landings.size() && landings[at] != waypoint)
                ++at;
            if (at + 1 >= landings.size()) {
                at = landings.size();
                break;
            }
            ++at;
        }
        if (at < landings.size())
            kept.push_back(route);
    }
    m_Routes = kept;
    const bool one = !m_Routes.empty() && std::all_of(m_Routes.begin(), m_Routes.end(),
                                                      [&](const Move& route) { return route.sameAs(m_Routes.front()); });
    if (one) {
        playMove(m_Routes.front());
        return;
    }
    m_Message = "Captures taking different pieces end on " + std::to_string(m_Destination) +
                ": click the marked squares where the piece lands on its way, in order.";
    refresh();
}

std::vector<int> Controller::waypoints() const
{
    std::vector<std::vector<int>> remaining;
    for (const Move& route : m_Routes) {
        const std::vector<int> landings = route.landings();
        std::size_t at = 0;
        for (int waypoint : m_Waypoints) {
            while (at + 1 < landings.size() && landings[at] != waypoint)
                ++at;
            ++at;
        }
        std::vector<int> rest;
        for (std::size_t i = at; i + 1 < landings.size(); ++i)
            rest.push_back(landings[i]);
        remaining.push_back(rest);
    }
    std::vector<int> all, telling;
    for (const std::vector<int>& rest : remaining)
        for (int square : rest) {
            all.push_back(square);
            const bool everywhere = std::all_of(remaining.begin(), remaining.end(), [&](const std::vector<int>& other) {
                return std::find(other.begin(), other.end(), square) != other.end();
            });
            if (!everywhere)
                telling.push_back(square);
        }
    std::vector<int>& result = telling.empty() ? all : telling;
    std::sort(result.begin(), result.end());
    result.erase(std::unique(result.begin(), result.end()), result.end());
    return result;
}

std::vector<int> Controller::marked() const
{
    if (m_Destination != 0)
        return waypoints();
    std::vector<int> squares;
    for (const Move& route : m_Routes)
        squares.push_back(route.to());
    if (m_Selected == 0 && !m_Hint.isEmpty())
        squares = m_Hint.landings();
    std::sort(squares.begin(), squares.end());
    squares.erase(std::unique(squares.begin(), squares.end()), squares.end());
    return squares;
}

void Controller::playMove(Move move)
{
    const std::size_t ply = m_Game.moves().size();
    if (m_Computer.isBusy() && m_Computer.purpose() == ComputerPlayer::Purpose::Hint)
        m_Computer.cancel();
    // The piece and what it takes, as they stand before the move.
    Core::Object* piece = m_View.pieceOn(move.from());
    if (!m_Game.play(move)) {
        m_Message = "That move is not legal here.";
        refresh();
        return;
    }
    // The route played (the game keeps the one given when it is one of the move's).
    const Move& played = m_Game.moves().back();
    std::vector<Core::Square*> path;
    std::vector<Core::Object*> taken;
    for (int landing : played.landings())
        path.push_back(m_View.square(landing));
    for (int square : played.captured())
        taken.push_back(m_View.pieceOn(square));
    if (m_LegMs > 0.0 && piece)
        m_Mover.play(piece, path, taken, m_LegMs * static_cast<double>(path.size()), played.isCapture(), [this]() {
            m_View.show(m_Game.position());
            Rendering::Render::instance().requestRedraw();
        });
    if (ply < m_Record.size() && m_Record[ply] == move)
        m_Record[ply] = m_Game.moves().back();
    else {
        m_Record.resize(ply);
        m_Record.push_back(m_Game.moves().back());
    }
    deselect();
    m_Hint = Move();
    m_Message.clear();
    changed();
}

void Controller::undo()
{
    m_Mover.finish();
    const bool answering = m_Computer.isBusy() && m_Computer.purpose() == ComputerPlayer::Purpose::Play;
    m_Computer.cancel();
    deselect();
    m_Hint = Move();
    if (m_Game.moves().empty()) {
        m_Message = "No move to take back.";
        refresh();
        return;
    }
    m_Game.undo();
    // Against the computer the player gets their own move back too.
    const bool againstComputer = m_WhiteComputer != m_BlackComputer;
    if (!answering && againstComputer)
        while (!m_Game.moves().empty() && isComputer(m_Game.position().sideToMove()))
            m_Game.undo();
    m_Record.resize(m_Game.moves().size());
    m_Message = "Move taken back.";
    changed();
}

void Controller::stepBack()
{
    m_Mover.finish();
    m_Computer.cancel();
    deselect();
    m_Hint = Move();
    m_Message.clear();
    if (!m_Game.undo())
        m_Message = "This is the start of the game.";
    changed();
}

void Controller::stepForward()
{
    m_Mover.finish();
    const std::size_t ply = m_Game.moves().size();
    if (ply >= m_Record.size()) {
        m_Message = "This is the last move of the game.";
        refresh();
        return;
    }
    m_Computer.cancel();
    playMove(m_Record[ply]);
}

void Controller::hint()
{
    m_Mover.finish();
    if (m_Game.result() != Result::Ongoing || !humanToMove() || m_Computer.isBusy()) {
        m_Message = "No hint now.";
        refresh();
        return;
    }
    deselect();
    m_Computer.start(m_Game, limits(10), ComputerPlayer::Purpose::Hint);
    m_Message = "Looking for a good move...";
    refresh();
}

bool Controller::poll()
{
    ComputerPlayer::Result result;
    // The computer's move waits until the board shows the move before it.
    if (m_Mover.isBusy())
        return m_Computer.isBusy();
    if (!m_Computer.takeResult(result))
        return m_Computer.isBusy();
    const Move& best = result.search.best;
    if (result.ply != m_Game.moves().size() || best.isEmpty()) {
        refresh();
    } else if (result.purpose == ComputerPlayer::Purpose::Hint) {
        deselect();
        m_Hint = best;
        m_Message = "Hint: " + Notation::write(m_Game.position(), best) + " (marked on the board).";
        refresh();
    } else {
        playMove(best);
    }
    Rendering::Render::instance().requestRedraw();
    return m_Computer.isBusy();
}

SearchLimits Controller::limits(int level) const
{
    SearchLimits limits;
    limits.seconds = level == m_Level ? m_Seconds : std::min(m_Seconds, c_HintSeconds);
    limits.level = level;
    limits.seed = m_Seed + m_Game.moves().size();
    return limits;
}

void Controller::maybeStartComputer()
{
    if (m_Game.result() != Result::Ongoing || humanToMove() || m_Computer.isBusy())
        return;
    m_Computer.start(m_Game, limits(m_Level), ComputerPlayer::Purpose::Play);
}

void Controller::changed()
{
    if (!m_Mover.isBusy())
        m_View.show(m_Game.position());
    maybeStartComputer();
    refresh();
}

void Controller::refresh()
{
    // The board faces the player to move, or the one person playing the computer.
    if (m_WhiteComputer == m_BlackComputer)
        m_View.face(m_WhiteComputer ? Color::White : m_Game.position().sideToMove());
    else
        m_View.face(m_WhiteComputer ? Color::Black : Color::White);

    m_View.clearMarks();
    if (m_Selected != 0) {
        m_View.markSelected(m_Selected);
        if (m_Destination != 0)
            m_View.markSelected(m_Destination);
    } else if (!m_Hint.isEmpty()) {
        m_View.markSelected(m_Hint.from());
    }
    for (int square : marked())
        m_View.markDestination(square);
    m_View.setTexts(statusText(), helpText());
    Rendering::Render::instance().requestRedraw();
}

std::string Controller::statusText() const
{
    const Position& position = m_Game.position();
    const Color side = position.sideToMove();
    std::string text;
    if (m_Game.result() != Result::Ongoing) {
        text = m_Game.resultDescription() + " Press n for a new game.";
    } else if (m_Computer.isBusy() && m_Computer.purpose() == ComputerPlayer::Purpose::Play) {
        text = std::string(colorName(side)) + " (computer) is thinking...";
    } else {
        text = std::string(colorName(side)) + " to move";
        if (isComputer(opponent(side)) && !isComputer(side))
            text += " (you)";
        if (MoveGenerator::mustCapture(position))
            text += ": a capture is compulsory";
        text += ".";
    }
    const std::size_t ply = m_Game.moves().size();
    if (ply < m_Record.size())
        text += "  [move " + std::to_string(ply) + " of " + std::to_string(m_Record.size()) +
                ": arrows step through the game]";

    std::string moves;
    const std::size_t first = ply > c_MovesShown ? ply - c_MovesShown : 0;
    for (std::size_t i = first; i < ply; ++i) {
        const bool black = m_Game.positionBefore(i).sideToMove() == Color::Black;
        if (!black || i == first)
            moves += std::to_string(m_Game.moveNumber(i)) + (black ? "... " : ". ");
        moves += m_Game.moveText(i) + " ";
    }
    text += "\nMoves: " + (moves.empty() ? std::string("none yet") : moves);
    if (!m_Message.empty())
        text += "\n" + m_Message;
    return text;
}

std::string Controller::helpText()
{
    return "Click a piece, then a marked square.  n new game  u undo  s save (PDN)  h hint  "
           "left/right replay  Esc quit\n"
           "Camera: right-drag turns, z q d a e move, + orbit or free, - resets the view";
}

bool Controller::save(const std::string& directory)
{
    Game whole = m_Game;
    for (std::size_t i = whole.moves().size(); i < m_Record.size(); ++i)
        whole.play(m_Record[i]);
    const std::time_t now = std::time(nullptr);
    if (whole.tag("Event").empty())
        whole.setTag("Event", "Tessellon draughts");
    if (whole.tag("Date").empty())
        whole.setTag("Date", timeText("%Y.%m.%d", now));
    const std::string level = "Computer (level " + std::to_string(m_Level) + ")";
    if (whole.tag("White").empty())
        whole.setTag("White", m_WhiteComputer ? level : "Human");
    if (whole.tag("Black").empty())
        whole.setTag("Black", m_BlackComputer ? level : "Human");

    const std::string base =
        (directory.empty() ? std::string(".") : directory) + "/draughts-" + timeText("%Y%m%d-%H%M%S", now);
    std::string error;
    const std::string path = PdnWriter::writeNewFile(base, {whole}, error);
    m_Message = path.empty() ? "Not saved: " + error : "Saved as " + Core::quotable(path);
    refresh();
    return !path.empty();
}

} // namespace Draughts
