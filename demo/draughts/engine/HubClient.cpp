#include "HubClient.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "HubNotation.h"
#include "core/Quotable.h"

namespace Draughts
{

namespace
{
// Lines read in one poll at most: an engine flooding its output cannot hold the caller.
constexpr int c_LinesPerPoll = 256;
// How long a write to the engine may wait for room in the pipe.
constexpr int c_WriteMs = 500;

std::string seconds(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

bool readNumber(const std::string& text, double& value)
{
    if (text.empty() || text.size() > 40)
        return false;
    char* end = nullptr;
    errno = 0;
    const double read = std::strtod(text.c_str(), &end);
    if (*end != '\0' || errno != 0 || !std::isfinite(read))
        return false;
    value = read;
    return true;
}

int remainingMs(std::chrono::steady_clock::time_point until)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(std::min<long long>(left, 1 << 30));
}
} // namespace

HubClient::~HubClient()
{
    close();
}

bool HubClient::start(const std::string& command, std::string& error)
{
    if (m_State != State::NotStarted) {
        error = "the engine was started already";
        return false;
    }
    std::vector<std::string> words;
    if (!ChildProcess::split(command, words, error)) {
        error = "engine command: " + error;
        return false;
    }
    if (!m_Process.start(words, error))
        return false;
    const std::size_t slash = words.front().rfind('/');
    m_Name = Core::quotable(slash == std::string::npos ? words.front() : words.front().substr(slash + 1), 64);
    m_State = State::Starting;
    m_Deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(m_StartUpSeconds));
    if (!send(HubLine("hub"))) {
        error = "the engine " + m_Name + " does not read its input";
        m_State = State::Failed;
        m_Process.stop();
        return false;
    }
    return true;
}

bool HubClient::send(const HubLine& line)
{
    return m_Process.writeLine(line.format(), c_WriteMs);
}

bool HubClient::fail(const std::string& why, Event& event)
{
    m_State = State::Failed;
    m_Failure = why;
    // It is of no more use: it goes, reaped.
    m_Process.stop(100);
    event = Event();
    event.kind = Event::Kind::Error;
    event.text = why;
    return true;
}

bool HubClient::go(const Game& game, Mode mode, double time, std::string& error)
{
    if (m_State != State::Idle) {
        error = m_State == State::Searching ? "the engine " + m_Name + " is searching already"
                : m_State == State::Failed  ? m_Failure
                                            : "the engine " + m_Name + " is not ready";
        return false;
    }
    if (game.result() != Result::Ongoing || game.legalMoves().empty()) {
        error = "the game is over";
        return false;
    }
    // The position after the last capture or man move, and the moves since: all the engine
    // needs to see repetitions.
    std::size_t from = game.moves().size();
    while (from > 0) {
        const Move& move = game.moves()[from - 1];
        const Position& before = game.positionBefore(from - 1);
        if (move.isCapture() || !(before.kings() & Bits::maskOf(move.fromBit())))
            break;
        --from;
    }
    HubLine position("pos");
    position.add("pos", HubNotation::writePosition(game.positionBefore(from)));
    if (from < game.moves().size()) {
        std::string moves;
        for (std::size_t i = from; i < game.moves().size(); ++i)
            moves += (moves.empty() ? "" : " ") + HubNotation::writeMove(game.moves()[i]);
        position.add("moves", moves);
    }
    const double allowed = std::max(time, 0.01);
    if (!send(position) || !send(HubLine("level").add("move-time", seconds(allowed))) ||
        !send(HubLine("go").flag(mode == Mode::Think ? "think" : "analyze"))) {
        Event ignored;
        fail("the engine " + m_Name + " does not read its input", ignored);
        error = m_Failure;
        return false;
    }
    m_State = State::Searching;
    m_Mode = mode;
    m_Searched = game.position();
    m_StopSent = false;
    const Clock::time_point now = Clock::now();
    m_StopAt = now + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(allowed));
    m_Deadline = now + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(allowed + c_Grace));
    return true;
}

void HubClient::stop()
{
    if (m_State != State::Searching || m_StopSent)
        return;
    m_StopSent = true;
    m_Deadline = std::min(m_Deadline, Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                          std::chrono::duration<double>(c_Grace)));
    send(HubLine("stop"));
}

void HubClient::newGame()
{
    if (m_State == State::Idle)
        send(HubLine("new-game"));
}

void HubClient::close()
{
    if (m_State != State::NotStarted && m_State != State::Failed && m_State != State::Closed)
        send(HubLine("quit"));
    if (m_State != State::NotStarted)
        m_Process.stop(m_State == State::Failed ? 100 : 500);
    if (m_State != State::NotStarted && m_State != State::Failed)
        m_State = State::Closed;
}

bool HubClient::checkTime(Event& event)
{
    const Clock::time_point now = Clock::now();
    if ((m_State == State::Starting || m_State == State::Initialising) && now > m_Deadline)
        return fail("the engine " + m_Name + " did not finish its start-up within " + seconds(m_StartUpSeconds) + " s",
                    event);
    if (m_State != State::Searching)
        return false;
    // An analysis goes on until it is stopped: at its time.
    if (m_Mode == Mode::Analyze && !m_StopSent && now >= m_StopAt)
        stop();
    if (now > m_Deadline)
        return fail("the engine " + m_Name + " did not answer within its time and " + seconds(c_Grace) + " s", event);
    return false;
}

bool HubClient::poll(Event& event, int waitMs)
{
    const Clock::time_point until = Clock::now() + std::chrono::milliseconds(std::max(waitMs, 0));
    for (int lines = 0; lines < c_LinesPerPoll; ++lines) {
        if (m_State == State::NotStarted || m_State == State::Failed || m_State == State::Closed)
            return false;
        if (checkTime(event))
            return true;
        int wait = remainingMs(until);
        if (m_State != State::Idle)
            wait = std::min(wait, remainingMs(m_Deadline) + 1);
        if (m_State == State::Searching && m_Mode == Mode::Analyze && !m_StopSent)
            wait = std::min(wait, remainingMs(m_StopAt) + 1);
        std::string text;
        bool tooLong = false;
        switch (m_Process.readLine(text, tooLong, wait)) {
        case ChildProcess::Read::Line:
            // A line cut at the bound is not the engine's line: it is skipped.
            if (!tooLong && handle(text, event))
                return true;
            break;
        case ChildProcess::Read::Closed: {
            m_Process.stop(200);
            const std::string how = m_Process.exitDescription();
            return fail("the engine " + m_Name + " ended" + (how.empty() ? "" : " (" + how + ")"), event);
        }
        case ChildProcess::Read::Nothing:
            if (Clock::now() >= until)
                return checkTime(event);
            break;
        }
    }
    return false;
}

std::vector<Move> HubClient::readLine(const std::string& text) const
{
    std::vector<Move> line;
    Position position = m_Searched;
    std::size_t at = 0;
    std::string error;
    while (at < text.size() && line.size() < 64) {
        const std::size_t end = std::min(text.find(' ', at), text.size());
        const std::string word = text.substr(at, end - at);
        at = end + 1;
        if (word.empty())
            continue;
        Move move;
        if (!HubNotation::readMove(position, word, move, error))
            break;
        line.push_back(move);
        position = position.after(move);
    }
    return line;
}

void HubClient::readInfo(const HubLine& line, Event& event) const
{
    event = Event();
    event.kind = Event::Kind::Info;
    std::string value;
    double number = 0.0;
    if (line.value("depth", value) && readNumber(value, number) && number >= 0 && number < 1000)
        event.depth = static_cast<int>(number);
    if (line.value("score", value) && readNumber(value, number)) {
        event.score = number;
        event.hasScore = true;
    }
    if (line.value("nodes", value) && readNumber(value, number) && number >= 0 && number < 1e18)
        event.nodes = static_cast<std::uint64_t>(number);
    if (line.value("time", value) && readNumber(value, number) && number >= 0)
        event.seconds = number;
    if (line.value("pv", value))
        event.line = readLine(value);
    if (!event.line.empty())
        event.move = event.line.front();
}

bool HubClient::handle(const std::string& text, Event& event)
{
    HubLine line;
    std::string why;
    if (!HubLine::parse(text, line, why)) {
        // Lines that do not read are ignored, unless it is the answer that does not.
        if (m_State == State::Searching && text.compare(0, 4, "done") == 0)
            return fail("the engine " + m_Name + " sent a malformed answer: " + why, event);
        return false;
    }
    const std::string& command = line.command();
    std::string value;
    switch (m_State) {
    case State::Starting:
        if (command == "id" && line.value("name", value) && !value.empty())
            m_Name = Core::quotable(value, 64);
        else if (command == "param" && line.value("name", value))
            m_Offered.push_back(value);
        else if (command == "wait") {
            for (const auto& [name, setting] : m_Parameters)
                if (std::find(m_Offered.begin(), m_Offered.end(), name) != m_Offered.end())
                    send(HubLine("set-param").add("name", name).add("value", setting));
            if (!send(HubLine("init")))
                return fail("the engine " + m_Name + " does not read its input", event);
            m_State = State::Initialising;
        }
        return false;
    case State::Initialising:
        if (command != "ready")
            return false;
        m_State = State::Idle;
        event = Event();
        event.kind = Event::Kind::Ready;
        return true;
    case State::Searching:
        if (command == "info") {
            readInfo(line, event);
            return true;
        }
        if (command == "error") {
            line.value("message", value);
            return fail("the engine " + m_Name + " refused the search: " + Core::quotable(value, 200), event);
        }
        if (command == "done") {
            Move move;
            if (!line.value("move", value))
                return fail("the engine " + m_Name + " answered without a move", event);
            if (!HubNotation::readMove(m_Searched, value, move, why))
                return fail("the engine " + m_Name + " sent a move that cannot be played here (" + why + ")", event);
            event = Event();
            event.kind = Event::Kind::Done;
            event.move = move;
            std::string ponder;
            if (line.value("ponder", ponder)) {
                std::string ignored;
                HubNotation::readMove(m_Searched.after(move), ponder, event.ponder, ignored);
            }
            m_State = State::Idle;
            return true;
        }
        return false;
    default:
        return false;
    }
}

} // namespace Draughts
