#include "Session.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <random>

#include "DxpOpponent.h"
#include "HubOpponent.h"
#include "MoveGenerator.h"
#include "Notation.h"
#include "PdnWriter.h"
#include "SearchOpponent.h"
#include "core/Quotable.h"

namespace Draughts
{

namespace
{
// Plies shown in the line of last moves, and of an opponent's expected line.
constexpr std::size_t c_MovesShown = 8;
constexpr std::size_t c_LineShown = 6;
// Events taken from one opponent in one poll at most.
constexpr int c_EventsPerPoll = 64;
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

Color otherSide(Color color)
{
    return Draughts::opponent(color);
}

std::uint64_t freshSeed()
{
    std::random_device device;
    return (static_cast<std::uint64_t>(device()) << 32) ^ device();
}

// An opponent's line in PDN from the position it starts in (as far as its moves are legal).
std::string lineText(Position position, const std::vector<Move>& line)
{
    std::string text;
    for (std::size_t i = 0; i < line.size() && i < c_LineShown; ++i) {
        MoveList legal;
        MoveGenerator::generate(position, legal);
        if (std::find(legal.begin(), legal.end(), line[i]) == legal.end())
            break;
        text += (text.empty() ? "" : " ") + Notation::write(position, line[i]);
        position = position.after(line[i]);
    }
    return text;
}

std::string progressText(const Position& position, const OpponentEvent& progress)
{
    std::string text;
    auto add = [&](const std::string& part) { text += (text.empty() ? "" : ", ") + part; };
    if (progress.depth > 0)
        add("depth " + std::to_string(progress.depth));
    if (progress.hasScore) {
        char score[32];
        std::snprintf(score, sizeof score, "score %+.2f", progress.score);
        add(score);
    }
    if (progress.nodes > 0)
        add(std::to_string(progress.nodes) + " positions");
    const std::string line = lineText(position, progress.line.empty() ? std::vector<Move>{progress.move} : progress.line);
    if (!line.empty())
        add("line " + line);
    if (!text.empty())
        text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    return text;
}
} // namespace

Session::Session(const Options& options)
    : m_Seconds(options.seconds()), m_Level(options.level()), m_Seed(freshSeed()),
      m_Computer(std::make_shared<SearchOpponent>(options.level()))
{
    std::shared_ptr<Opponent> engine;
    const Options::Side sides[2] = {options.white(), options.black()};
    for (int side = 0; side < 2; ++side) {
        if (sides[side] == Options::Side::Computer)
            m_Players[side] = m_Computer;
        if (sides[side] == Options::Side::Remote) {
            DxpOpponent::Settings settings;
            settings.listen = options.network() == Options::Network::Listen;
            settings.address = options.dxpAddress();
            settings.port = options.dxpPort();
            settings.initiate = options.dxpInitiates();
            settings.localColor = options.localColor();
            // 50 moves in the time the computer takes for them, in whole minutes.
            settings.minutes = std::clamp(static_cast<int>(std::ceil(options.seconds() * 50.0 / 60.0)), 1, 999);
            settings.moves = 50;
            settings.trace = options.dxpTrace();
            m_Players[side] = std::make_shared<DxpOpponent>(settings);
        }
        if (sides[side] == Options::Side::Engine) {
            // Both sides share one engine program.
            if (!engine)
                engine = std::make_shared<HubOpponent>(options.engine(), options.engineSeconds());
            m_Players[side] = engine;
        }
    }
    changed();
}

Session::~Session()
{
    shutdown();
}

void Session::shutdown()
{
    for (Opponent* opponent : opponents()) {
        opponent->cancel();
        opponent->close();
    }
    m_Asking = nullptr;
}

std::vector<Opponent*> Session::opponents() const
{
    std::vector<Opponent*> all;
    for (Opponent* opponent : {m_Players[0].get(), m_Players[1].get(), static_cast<Opponent*>(m_Computer.get())})
        if (opponent && std::find(all.begin(), all.end(), opponent) == all.end())
            all.push_back(opponent);
    return all;
}

bool Session::sideOf(const Opponent* opponent, Color& color) const
{
    for (Color side : {Color::White, Color::Black})
        if (opponent && this->opponent(side) == opponent) {
            color = side;
            return true;
        }
    return false;
}

Session::Player Session::player(Color color) const
{
    const Opponent* playing = opponent(color);
    if (!playing)
        return Player::Human;
    return playing == m_Computer.get() ? Player::Computer : Player::Other;
}

std::string Session::label(Color color) const
{
    switch (player(color)) {
    case Player::Human:
        return "you";
    case Player::Computer:
        return "computer";
    case Player::Other:
        break;
    }
    return opponent(color)->name();
}

void Session::setPlayer(Color color, std::shared_ptr<Opponent> playing)
{
    if (Opponent* old = opponent(color); old && old == m_Asking)
        cancelAsking();
    m_Players[index(color)] = std::move(playing);
    m_Failed[index(color)] = false;
    changed();
}

void Session::handOver(Color color, bool toComputer)
{
    m_Message = std::string(colorName(color)) + " is now played by " + (toComputer ? "the computer." : "you.");
    setPlayer(color, toComputer ? std::static_pointer_cast<Opponent>(m_Computer) : nullptr);
}

bool Session::stalled(Color& color) const
{
    for (Color side : {Color::White, Color::Black})
        if (m_Failed[index(side)] && opponent(side)) {
            color = side;
            return true;
        }
    return false;
}

void Session::cancelAsking()
{
    if (m_Asking)
        m_Asking->cancel();
    m_Asking = nullptr;
    m_HasProgress = false;
}

std::string Session::waitingText() const
{
    for (Opponent* playing : {m_Players[0].get(), m_Players[1].get()})
        if (playing) {
            const std::string why = playing->waiting();
            if (!why.empty())
                return why;
        }
    return std::string();
}

bool Session::isThinking() const
{
    return m_Asking && m_AskedFor == OpponentRequest::Purpose::Play && m_Asking->isThinking();
}

bool Session::isLookingForHint() const
{
    return m_Asking && m_AskedFor == OpponentRequest::Purpose::Analyze && m_Asking->isThinking();
}

void Session::load(const Game& game)
{
    cancelAsking();
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

void Session::setGames(PdnDatabase database)
{
    m_Games = GameList(std::move(database));
    m_Choosing = false;
    if (m_Games.size() == 1) {
        openGame(0);
        return;
    }
    m_Choosing = m_Games.size() > 1;
    changed();
}

bool Session::openGame(std::size_t i)
{
    if (i >= m_Games.size()) {
        m_Message = "There is no game " + std::to_string(i + 1) + ": the file holds " +
                    std::to_string(m_Games.size()) + (m_Games.size() == 1 ? " game." : " games.");
        changed();
        return false;
    }
    m_Games.choose(i);
    m_Choosing = false;
    const PdnDatabase& database = m_Games.database();
    load(database.game(i));
    std::string opened = "Game " + std::to_string(i + 1) + " of " + std::to_string(m_Games.size()) + ".";
    if (m_Games.size() > 1)
        opened += " g: the list of games.";
    for (const PdnError& problem : database.problems(i))
        if (!problem.warning) {
            opened += " Read up to its error: " + problem.toString(false) + ".";
            break;
        }
    if (!database.hasError(i) && database.hasWarning(i))
        opened += " Warning: " + database.problems(i).front().message + ".";
    m_Message = opened + (m_Message.empty() ? "" : " " + m_Message);
    changed();
    return true;
}

void Session::toggleGames()
{
    if (m_Games.size() < 2) {
        m_Message = "No list of games: open a PDN file that holds several (draughts FILE.pdn).";
        m_Choosing = false;
    } else {
        m_Choosing = !m_Choosing;
    }
    changed();
}

void Session::stepGames(GameList::Step step)
{
    if (!m_Choosing)
        return;
    m_Games.step(step);
    changed();
}

void Session::newGame()
{
    cancelAsking();
    for (Opponent* opponent : opponents())
        opponent->newGame();
    m_Game = Game();
    m_Record.clear();
    m_Seed = freshSeed();
    deselect();
    m_Hint = Move();
    m_Message = "A new game.";
    changed();
}

bool Session::humanToMove() const
{
    return isHuman(m_Game.position().sideToMove()) || m_Game.moves().size() < m_Record.size();
}

void Session::click(int number)
{
    if (m_Choosing)
        return;
    Color waiting;
    if (const std::string why = waitingText(); !why.empty()) {
        m_Message = why;
        told();
        return;
    }
    if (m_Game.result() != Result::Ongoing) {
        m_Message = "The game is over: press n for a new game, or u to take back a move.";
        told();
        return;
    }
    if (isThinking()) {
        m_Message = "Please wait: the " + label(m_Game.position().sideToMove()) + " is thinking.";
        told();
        return;
    }
    if (!humanToMove()) {
        if (stalled(waiting))
            m_Message = std::string(colorName(waiting)) + " waits: press c to let the computer play it, or m to play it yourself.";
        else
            m_Message = "It is the " + label(m_Game.position().sideToMove()) + "'s turn.";
        told();
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
        if (number == m_Selected)
            deselect();
        else
            m_Message = "Click the marked squares where the piece lands on its way, in order.";
        told();
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
            told();
            return;
        }
    }
    const Color side = m_Game.position().sideToMove();
    if (number != 0 && isOwn(m_Game.position().at(number), side)) {
        select(number);
        told();
        return;
    }
    if (m_Selected != 0)
        m_Message = "Not a move of the selected piece: click one of the marked squares.";
    else if (number == 0 || m_Game.position().at(number) == Piece::None)
        m_Message = std::string("Click one of your pieces (") + colorName(side) + ") first.";
    else
        m_Message = std::string("That piece is not yours: you play ") + colorName(side) + ".";
    told();
}

void Session::select(int number)
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

void Session::deselect()
{
    m_Selected = 0;
    m_Routes.clear();
    m_Destination = 0;
    m_Waypoints.clear();
}

void Session::chooseDestination(int number)
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

void Session::narrow()
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
    told();
}

std::vector<int> Session::waypoints() const
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

std::vector<int> Session::marked() const
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

void Session::playMove(Move move)
{
    const std::size_t ply = m_Game.moves().size();
    if (isLookingForHint())
        cancelAsking();
    const Position before = m_Game.position();
    if (!m_Game.play(move)) {
        m_Message = "That move is not legal here.";
        told();
        return;
    }
    // The route played (the game keeps the one given when it is one of the move's).
    const Move played = m_Game.moves().back();
    if (ply < m_Record.size() && m_Record[ply] == move) {
        m_Record[ply] = played;
    } else {
        m_Record.resize(ply);
        m_Record.push_back(played);
    }
    deselect();
    m_Hint = Move();
    m_Message.clear();
    m_HasProgress = false;
    for (Opponent* opponent : opponents())
        opponent->moved(m_Game);
    if (m_OnMove)
        m_OnMove(before, played);
    changed();
}

void Session::undo()
{
    bool allowed = true;
    for (Color side : {Color::White, Color::Black})
        if (opponent(side) && !opponent(side)->allowsTakeBack())
            allowed = false;
    if (!allowed) {
        m_Message = "Moves cannot be taken back in this game.";
        told();
        return;
    }
    const bool answering = isThinking();
    cancelAsking();
    deselect();
    m_Hint = Move();
    if (m_Game.moves().empty()) {
        m_Message = "No move to take back.";
        told();
        return;
    }
    m_Game.undo();
    // Against one opponent the person gets their own move back too.
    const bool againstOne = isHuman(Color::White) != isHuman(Color::Black);
    if (!answering && againstOne)
        while (!m_Game.moves().empty() && !isHuman(m_Game.position().sideToMove()))
            m_Game.undo();
    m_Record.resize(m_Game.moves().size());
    m_Message = "Move taken back.";
    changed();
}

void Session::stepBack()
{
    for (Color side : {Color::White, Color::Black})
        if (opponent(side) && !opponent(side)->allowsTakeBack()) {
            m_Message = "The game cannot be stepped through while it is played.";
            told();
            return;
        }
    cancelAsking();
    deselect();
    m_Hint = Move();
    m_Message.clear();
    if (!m_Game.undo())
        m_Message = "This is the start of the game.";
    changed();
}

void Session::stepForward()
{
    const std::size_t ply = m_Game.moves().size();
    if (ply >= m_Record.size()) {
        m_Message = "This is the last move of the game.";
        told();
        return;
    }
    cancelAsking();
    playMove(m_Record[ply]);
}

void Session::hint()
{
    if (m_Game.result() != Result::Ongoing || !humanToMove() || (m_Asking && m_Asking->isThinking())) {
        m_Message = "No hint now.";
        told();
        return;
    }
    // The opponent of the person to move, when it can tell; the built-in computer otherwise.
    Opponent* adviser = opponent(otherSide(m_Game.position().sideToMove()));
    if (!adviser || !adviser->canAnalyze() || m_Failed[index(otherSide(m_Game.position().sideToMove()))])
        adviser = m_Computer.get();
    deselect();
    std::string error;
    if (!adviser->start(m_Game, request(OpponentRequest::Purpose::Analyze), error)) {
        m_Message = "No hint: " + error;
        told();
        return;
    }
    m_Asking = adviser;
    m_AskedFor = OpponentRequest::Purpose::Analyze;
    m_HasProgress = false;
    m_Message = "Looking for a good move...";
    told();
}

bool Session::poll()
{
    bool any = false;
    OpponentEvent event;
    for (Opponent* opponent : opponents()) {
        // One opponent's events until it has none (a bounded number: one that floods cannot
        // hold the window); a move played may start another request.
        for (int taken = 0; taken < c_EventsPerPoll && opponent->poll(event); ++taken) {
            any = true;
            handle(*opponent, event);
        }
    }
    return any;
}

void Session::handle(Opponent& from, const OpponentEvent& event)
{
    const bool asked = &from == m_Asking && event.ply == m_Game.moves().size();
    Color side = m_Game.position().sideToMove();
    switch (event.kind) {
    case OpponentEvent::Kind::Progress:
        if (asked) {
            m_Progress = event;
            m_HasProgress = true;
            told();
        }
        return;
    case OpponentEvent::Kind::Move: {
        if (!asked)
            return;
        m_Asking = nullptr;
        m_HasProgress = false;
        const MoveList legal = m_Game.legalMoves();
        const auto found = std::find(legal.begin(), legal.end(), event.move);
        if (m_AskedFor == OpponentRequest::Purpose::Analyze) {
            if (found != legal.end()) {
                deselect();
                m_Hint = *found;
                m_Message = "Hint: " + Notation::write(m_Game.position(), m_Hint) + " (marked on the board).";
            } else {
                m_Message = "No hint: " + from.name() + " suggested a move that is not legal here.";
            }
            told();
            return;
        }
        if (found == legal.end()) {
            fail(side, from.name() + " played " + (event.move.isEmpty() ? std::string("no move") : event.move.toLongString()) +
                           ", which is not legal here.");
            return;
        }
        playMove(*found);
        return;
    }
    case OpponentEvent::Kind::Error:
        if (&from == m_Asking) {
            m_Asking = nullptr;
            m_HasProgress = false;
            if (m_AskedFor == OpponentRequest::Purpose::Analyze && !sideOf(&from, side)) {
                m_Message = "No hint: " + event.text;
                told();
                return;
            }
        }
        if (!sideOf(&from, side)) {
            m_Message = event.text;
            told();
            return;
        }
        fail(side, event.text);
        return;
    case OpponentEvent::Kind::Chat:
        m_Message = from.name() + ": " + event.text;
        told();
        return;
    case OpponentEvent::Kind::GameEnd:
        if (&from == m_Asking)
            cancelAsking();
        m_Message = from.name() + " ended the game" + (event.text.empty() ? "." : ": " + event.text + ".");
        if (event.result != Result::Ongoing) {
            m_Game.declareResult(event.result);
        } else if (sideOf(&from, side)) {
            // No result: its side waits, as after a failure, while the game stays to be saved
            // or played on here.
            m_Failed[index(side)] = true;
            m_Message +=
                std::string(" Press c to let the computer play ") + colorName(side) + ", or m to play it yourself.";
        }
        told();
        return;
    case OpponentEvent::Kind::GameStart:
        begin(from, event);
        return;
    case OpponentEvent::Kind::Notice:
        m_Message = event.text;
        told();
        return;
    }
}

void Session::begin(Opponent& remote, const OpponentEvent& event)
{
    Color side = event.color;
    if (!sideOf(&remote, side))
        return;
    cancelAsking();
    if (side != event.color) {
        std::swap(m_Players[0], m_Players[1]);
        std::swap(m_Failed[0], m_Failed[1]);
    }
    m_Failed[index(event.color)] = false;
    m_Game = Game(event.start);
    m_Record.clear();
    deselect();
    m_Hint = Move();
    const Color local = otherSide(event.color);
    m_Message = "A game against " + remote.name() + " begins: " +
                (isHuman(local)                      ? std::string("you play ")
                 : player(local) == Player::Computer ? std::string("the computer plays ")
                                                     : label(local) + " plays ") +
                colorName(local) + ".";
    changed();
}

void Session::fail(Color color, const std::string& why)
{
    if (opponent(color) == m_Asking)
        cancelAsking();
    m_Failed[index(color)] = true;
    m_Message = why + " Press c to let the computer play " + colorName(color) + ", or m to play it yourself.";
    if (m_OnError)
        m_OnError(why);
    else
        m_UntoldError = why;
    told();
}

void Session::setOnError(std::function<void(const std::string&)> onError)
{
    m_OnError = std::move(onError);
    if (m_OnError && !m_UntoldError.empty())
        m_OnError(m_UntoldError);
    m_UntoldError.clear();
}

OpponentRequest Session::request(OpponentRequest::Purpose purpose) const
{
    OpponentRequest request;
    request.purpose = purpose;
    const bool play = purpose == OpponentRequest::Purpose::Play;
    request.seconds = play ? m_Seconds : std::min(m_Seconds, c_HintSeconds);
    request.level = play ? m_Level : 10;
    request.seed = m_Seed + m_Game.moves().size();
    return request;
}

void Session::maybeAskOpponent()
{
    const Color side = m_Game.position().sideToMove();
    Opponent* playing = opponent(side);
    if (m_Game.result() != Result::Ongoing || humanToMove() || m_Failed[index(side)] ||
        (m_Asking && m_Asking->isThinking()) || !waitingText().empty())
        return;
    std::string error;
    if (!playing->start(m_Game, request(OpponentRequest::Purpose::Play), error)) {
        fail(side, error);
        return;
    }
    m_Asking = playing;
    m_AskedFor = OpponentRequest::Purpose::Play;
    m_HasProgress = false;
}

void Session::changed()
{
    maybeAskOpponent();
    told();
}

void Session::told()
{
    if (m_OnChange)
        m_OnChange();
}

Color Session::facing() const
{
    const bool white = isHuman(Color::White), black = isHuman(Color::Black);
    if (white && black)
        return m_Game.position().sideToMove();
    return black && !white ? Color::Black : Color::White;
}

std::string Session::statusText() const
{
    if (m_Choosing)
        return m_Games.page();
    const Position& position = m_Game.position();
    const Color side = position.sideToMove();
    std::string text;
    Color waiting;
    if (const std::string why = waitingText(); !why.empty()) {
        text = why;
    } else if (m_Game.result() != Result::Ongoing) {
        text = m_Game.resultDescription() + " Press n for a new game.";
    } else if (isThinking()) {
        text = std::string(colorName(side)) + " (" + label(side) + ") is thinking...";
        if (m_HasProgress)
            text += "\n" + progressText(position, m_Progress);
    } else if (stalled(waiting) && waiting == side && !humanToMove()) {
        text = std::string(colorName(side)) + " (" + label(side) + ") waits: press c to let the computer play it, or m to play it yourself.";
    } else {
        text = std::string(colorName(side)) + " to move";
        if (!isHuman(otherSide(side)) && isHuman(side))
            text += player(otherSide(side)) == Player::Other ? " (you, against " + label(otherSide(side)) + ")" : " (you)";
        if (MoveGenerator::mustCapture(position))
            text += ": a capture is compulsory";
        text += ".";
        if (isLookingForHint() && m_HasProgress)
            text += "\nLooking for a hint: " + progressText(position, m_Progress);
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

std::string Session::helpText() const
{
    if (m_Choosing)
        return "up/down page up/down home/end choose a game  Enter open it  g back to the game  Esc quit";
    return std::string("Click a piece, then a marked square.  n new game  u undo  s save (PDN)  h hint  "
                       "left/right replay  ") +
           (m_Games.size() > 1 ? "g games  " : "") +
           "Esc quit\n"
           "Camera: right-drag turns, z q d a e move, + orbit or free, - resets the view";
}

std::string Session::saveName(std::int64_t unixTime)
{
    return "draughts-" + timeText("%Y%m%d-%H%M%S", static_cast<std::time_t>(unixTime)) + ".pdn";
}

bool Session::save(const std::string& directory)
{
    Game whole = m_Game;
    for (std::size_t i = whole.moves().size(); i < m_Record.size(); ++i)
        whole.play(m_Record[i]);
    const std::time_t now = std::time(nullptr);
    if (whole.tag("Event").empty())
        whole.setTag("Event", "Tessellon draughts");
    if (whole.tag("Date").empty())
        whole.setTag("Date", timeText("%Y.%m.%d", now));
    for (Color side : {Color::White, Color::Black}) {
        const char* tag = side == Color::White ? "White" : "Black";
        if (whole.tag(tag).empty())
            whole.setTag(tag, isHuman(side) ? std::string("Human") : opponent(side)->name());
    }

    const std::string name = saveName(now);
    const std::string base = (directory.empty() ? std::string(".") : directory) + "/" + name.substr(0, name.size() - 4);
    std::string error;
    const std::string path = PdnWriter::writeNewFile(base, {whole}, error);
    m_Message = path.empty() ? "Not saved: " + error : "Saved as " + Core::quotable(path);
    told();
    return !path.empty();
}

} // namespace Draughts
