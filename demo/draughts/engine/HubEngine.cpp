#include "HubEngine.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "HubNotation.h"
#include "MoveGenerator.h"

namespace Draughts
{

namespace
{
// Whole numbers and times as the protocol writes them; false for anything else.
bool readWhole(const std::string& text, long long low, long long high, long long& value)
{
    if (text.empty() || text.size() > 19)
        return false;
    char* end = nullptr;
    errno = 0;
    const long long read = std::strtoll(text.c_str(), &end, 10);
    if (*end != '\0' || errno != 0 || read < low || read > high)
        return false;
    value = read;
    return true;
}

bool readSeconds(const std::string& text, double& seconds)
{
    if (text.empty() || text.size() > 32 || text.find_first_not_of("0123456789.") != std::string::npos)
        return false;
    char* end = nullptr;
    errno = 0;
    const double read = std::strtod(text.c_str(), &end);
    if (*end != '\0' || errno != 0 || !std::isfinite(read) || read < 0.0 || read > 1e7)
        return false;
    seconds = read;
    return true;
}

std::string decimal(double value, int digits)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", digits, value);
    return text;
}

// Moves of a line for the protocol, each played from the position before it.
std::string lineText(const std::vector<Move>& line)
{
    std::string text;
    for (const Move& move : line)
        text += (text.empty() ? "" : " ") + HubNotation::writeMove(move);
    return text;
}
// A whole-number parameter from 1 to `most`, as the hub command lists it.
HubLine wholeParam(const char* name, int value, int most)
{
    return HubLine("param")
        .add("name", name)
        .add("value", std::to_string(value))
        .add("type", "int")
        .add("min", "1")
        .add("max", std::to_string(most));
}
// A data file named by a parameter: "" the installed one (null when there is none), "none"
// null, else the file itself. False, the choice unchanged, when that file is refused.
template <typename Data>
bool chooseData(const std::string& value, std::shared_ptr<const Data>& chosen, std::string& why)
{
    if (value.empty()) {
        chosen = Data::installed();
    } else if (value == "none") {
        chosen.reset();
    } else {
        auto loaded = std::make_shared<Data>();
        if (!loaded->load(value, why))
            return false;
        chosen = std::move(loaded);
    }
    return true;
}
} // namespace

int HubEngine::defaultThreads()
{
    return std::thread::hardware_concurrency() >= 2 ? 2 : 1;
}

HubEngine::HubEngine(std::function<void(const std::string&)> send) : m_Send(std::move(send)) {}

HubEngine::~HubEngine()
{
    finish();
}

void HubEngine::send(const HubLine& line)
{
    std::lock_guard<std::mutex> lock(m_SendMutex);
    m_Send(line.format());
}

void HubEngine::error(const std::string& message)
{
    send(HubLine("error").add("message", message));
}

Search& HubEngine::search()
{
    if (!m_Search) {
        m_Search = std::make_unique<Search>(static_cast<std::size_t>(m_HashMegabytes));
        m_Search->setEvaluation(m_Weights);
        m_Search->setEndgames(m_Endgames);
    }
    return *m_Search;
}

bool HubEngine::handle(const std::string& text, bool tooLong)
{
    if (tooLong) {
        error("the line is too long");
        return true;
    }
    HubLine line;
    std::string why;
    if (!HubLine::parse(text, line, why)) {
        // Blank lines are no commands: nothing to say.
        if (text.find_first_not_of(" \t\r") != std::string::npos)
            error("malformed line: " + why);
        return true;
    }
    const std::string& command = line.command();
    if (command == "quit") {
        finish();
        return false;
    }
    if (command == "ping") {
        send(HubLine("pong"));
        return true;
    }
    if (m_Searching) {
        if (command == "stop")
            stopSearch();
        else if (command == "ponder-hit")
            ponderHit();
        else if (command == "hub" || command == "set-param" || command == "init" || command == "pos" ||
                 command == "level" || command == "go" || command == "new-game")
            error("'" + command + "' is not accepted during a search (only ping, ponder-hit and stop)");
        return true;
    }
    // A search that has just ended leaves its thread to join.
    joinSearch();
    if (command == "hub")
        hub();
    else if (command == "set-param")
        setParam(line);
    else if (command == "init")
        init();
    else if (command == "pos")
        position(line);
    else if (command == "level")
        level(line);
    else if (command == "go")
        go(line);
    else if (command == "new-game")
        search().clear();
    // stop and ponder-hit without a search, and unknown commands, are ignored.
    return true;
}

void HubEngine::hub()
{
    send(HubLine("id").add("name", "Tessellon draughts").add("version", "1.0").add("author", "The Tessellon project"));
    send(wholeParam("level", m_Level, 10));
    send(wholeParam("hash", m_HashMegabytes, c_MaxHashMegabytes));
    send(wholeParam("threads", m_Threads, c_MaxThreads));
    send(HubLine("param").add("name", "weights").add("value", "").add("type", "string"));
    send(HubLine("param").add("name", "endgames").add("value", "").add("type", "string"));
    send(HubLine("wait"));
}

void HubEngine::setParam(const HubLine& line)
{
    std::string name, value;
    if (!line.value("name", name) || !line.value("value", value)) {
        error("set-param needs name=... and value=...");
        return;
    }
    long long number = 0;
    if (name == "level") {
        if (!readWhole(value, 1, 10, number)) {
            error("level takes a whole number from 1 to 10, not '" + value + "'");
            return;
        }
        m_Level = static_cast<int>(number);
    } else if (name == "hash") {
        if (!readWhole(value, 1, c_MaxHashMegabytes, number)) {
            error("hash takes megabytes from 1 to " + std::to_string(c_MaxHashMegabytes) + ", not '" + value + "'");
            return;
        }
        if (number != m_HashMegabytes)
            m_Search.reset();
        m_HashMegabytes = static_cast<int>(number);
    } else if (name == "threads") {
        if (!readWhole(value, 1, c_MaxThreads, number)) {
            error("threads takes a whole number from 1 to " + std::to_string(c_MaxThreads) + ", not '" + value + "'");
            return;
        }
        m_Threads = static_cast<int>(number);
    } else if (name == "weights") {
        // "" the installed weights, "none" the hand-set evaluation, else a weights file.
        std::string why;
        if (!chooseData(value, m_Weights, why)) {
            error("weights: " + why);
            return;
        }
        search().setEvaluation(m_Weights);
    } else if (name == "endgames") {
        // "" the installed table (none when it is not there), "none" no table, else a table file.
        std::string why;
        if (!chooseData(value, m_Endgames, why)) {
            error("endgames: " + why);
            return;
        }
        search().setEndgames(m_Endgames);
    }
    // Parameters of other engines are ignored.
}

void HubEngine::init()
{
    search();
    send(HubLine("ready"));
}

void HubEngine::position(const HubLine& line)
{
    std::string text, why;
    Position start;
    if (!line.value("pos", text)) {
        error("pos needs pos=<51 characters>");
        return;
    }
    if (!HubNotation::readPosition(text, start, why)) {
        error("pos: " + why);
        return;
    }
    Game game(start);
    std::string moves;
    if (line.value("moves", moves)) {
        std::size_t at = 0;
        while (at < moves.size()) {
            const std::size_t end = std::min(moves.find(' ', at), moves.size());
            const std::string word = moves.substr(at, end - at);
            at = end + 1;
            if (word.empty())
                continue;
            Move move;
            if (!HubNotation::readMove(game.position(), word, move, why) || !game.play(move)) {
                error("pos: move " + std::to_string(game.moves().size() + 1) + " of the moves: " + why);
                return;
            }
        }
    }
    m_Game = game;
}

void HubEngine::level(const HubLine& line)
{
    TimeControl control;
    std::string value;
    long long number = 0;
    if (line.has("infinite")) {
        control.kind = TimeControl::Kind::Infinite;
    } else if (line.value("depth", value)) {
        if (!readWhole(value, 1, 1000, number)) {
            error("level depth takes a whole number from 1, not '" + value + "'");
            return;
        }
        control.kind = TimeControl::Kind::Depth;
        control.depth = static_cast<int>(number);
    } else if (line.value("nodes", value)) {
        if (!readWhole(value, 1, 1000000000000000LL, number)) {
            error("level nodes takes a whole number from 1, not '" + value + "'");
            return;
        }
        control.kind = TimeControl::Kind::Nodes;
        control.nodes = static_cast<std::uint64_t>(number);
    } else if (line.value("move-time", value)) {
        if (!readSeconds(value, control.seconds)) {
            error("level move-time takes seconds, not '" + value + "'");
            return;
        }
        control.kind = TimeControl::Kind::MoveTime;
    } else if (line.value("time", value)) {
        if (!readSeconds(value, control.seconds)) {
            error("level time takes seconds, not '" + value + "'");
            return;
        }
        control.kind = TimeControl::Kind::Clock;
        if (line.value("moves", value)) {
            if (!readWhole(value, 0, 100000, number)) {
                error("level moves takes a whole number, not '" + value + "'");
                return;
            }
            control.moves = static_cast<int>(number);
        }
        if (line.value("inc", value) && !readSeconds(value, control.increment)) {
            error("level inc takes seconds, not '" + value + "'");
            return;
        }
    } else {
        error("level needs depth=, nodes=, move-time=, time= or infinite");
        return;
    }
    m_Control = control;
}

double HubEngine::allotted() const
{
    const TimeControl& control = m_Control;
    if (control.kind == TimeControl::Kind::MoveTime)
        return control.seconds;
    // The clock: a share of what is left for the moves to come (30 when not said), plus
    // most of the increment, never more than half of what is left (all of it for the
    // last move of a period).
    const int moves = control.moves > 0 ? control.moves : 30;
    double budget = control.seconds / moves + 0.9 * control.increment;
    const double most = control.moves == 1 ? 0.9 * control.seconds : 0.5 * control.seconds;
    budget = std::min(budget, most);
    return std::max(budget, 0.01);
}

Move HubEngine::replyToPonder(const Game& game, const SearchResult& found)
{
    // The reply in the line of the move played, when the game goes on after that move (the
    // search looks past the rules' draws) and the reply is one of its legal moves.
    if (found.principalVariation.size() < 2 || found.principalVariation.front() != found.best)
        return Move();
    Game after = game;
    if (!after.play(found.best) || after.result() != Result::Ongoing)
        return Move();
    const MoveList replies = after.legalMoves();
    const Move& reply = found.principalVariation[1];
    return std::find(replies.begin(), replies.end(), reply) != replies.end() ? reply : Move();
}

void HubEngine::go(const HubLine& line)
{
    const std::string mode = line.firstName();
    if (mode != "think" && mode != "ponder" && mode != "analyze") {
        error("go takes think, ponder or analyze");
        return;
    }
    MoveList legal;
    MoveGenerator::generate(m_Game.position(), legal);
    if (legal.empty() || m_Game.result() != Result::Ongoing) {
        error("no search: the game is over in this position");
        return;
    }
    SearchLimits limits;
    limits.level = m_Level;
    limits.threads = m_Threads;
    limits.stop = &m_Stop;
    switch (m_Control.kind) {
    case TimeControl::Kind::MoveTime:
    case TimeControl::Kind::Clock:
        limits.seconds = allotted();
        break;
    case TimeControl::Kind::Depth:
        limits.infinite = true;
        limits.maxDepth = m_Control.depth;
        break;
    case TimeControl::Kind::Nodes:
        limits.infinite = true;
        limits.maxNodes = m_Control.nodes;
        break;
    case TimeControl::Kind::Infinite:
        limits.infinite = true;
        break;
    }
    m_Pondering = mode == "ponder";
    // Pondering, the clock runs only from ponder-hit on.
    if (m_Pondering)
        limits.infinite = true;
    limits.progress = [this](const SearchResult& found) {
        const double seconds = std::max(found.seconds, 1e-6);
        send(HubLine("info")
                 .add("depth", std::to_string(found.depth))
                 .add("score", decimal(found.score / 100.0, 2))
                 .add("nodes", std::to_string(found.nodes))
                 .add("time", decimal(found.seconds, 3))
                 .add("nps", decimal(static_cast<double>(found.nodes) / seconds / 1e6, 2))
                 .add("pv", lineText(found.principalVariation)));
    };
    m_Stop = false;
    m_Searching = true;
    Search& searcher = search();
    m_Thread = std::thread([this, &searcher, limits, game = m_Game]() {
        const SearchResult found = searcher.run(game, limits);
        HubLine done("done");
        done.add("move", HubNotation::writeMove(found.best));
        const Move ponder = replyToPonder(game, found);
        if (!ponder.isEmpty())
            done.add("ponder", HubNotation::writeMove(ponder));
        // Free for the next command as the GUI reads done: a command handled meanwhile
        // first waits for this thread, so nothing overtakes the line.
        m_Searching = false;
        send(done);
    });
}

void HubEngine::ponderHit()
{
    if (!m_Pondering)
        return;
    m_Pondering = false;
    if (m_Control.kind == TimeControl::Kind::MoveTime || m_Control.kind == TimeControl::Kind::Clock)
        startTimer(allotted() * 0.9);
}

void HubEngine::startTimer(double seconds)
{
    stopTimer();
    m_TimerCancelled = false;
    m_Timer = std::thread([this, seconds]() {
        std::unique_lock<std::mutex> lock(m_TimerMutex);
        const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        if (!m_TimerWake.wait_until(lock, until, [this] { return m_TimerCancelled; }))
            m_Stop = true;
    });
}

void HubEngine::stopTimer()
{
    {
        std::lock_guard<std::mutex> lock(m_TimerMutex);
        m_TimerCancelled = true;
    }
    m_TimerWake.notify_all();
    if (m_Timer.joinable())
        m_Timer.join();
}

void HubEngine::stopSearch()
{
    // The search ends within a few hundred positions: its done goes out before the next
    // line is read, so a GUI that does not wait for it is not refused.
    m_Stop = true;
    joinSearch();
}

void HubEngine::joinSearch()
{
    if (m_Thread.joinable())
        m_Thread.join();
    stopTimer();
}

void HubEngine::waitForSearch()
{
    joinSearch();
}

void HubEngine::finish()
{
    m_Stop = true;
    joinSearch();
}

} // namespace Draughts
