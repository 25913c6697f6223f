#include "ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "core/Quotable.h"

extern char** environ;

namespace Draughts
{

namespace
{
using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

// Writes without being killed by SIGPIPE when the reader has gone: the signal is blocked on
// this thread meanwhile, and one raised by the write is taken back before unblocking.
ssize_t writeQuietly(int fd, const char* data, std::size_t size)
{
    sigset_t pipeSignal, old;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &old);
    const ssize_t written = write(fd, data, size);
    const int saved = errno;
    if (written < 0 && errno == EPIPE) {
        const timespec none{0, 0};
        sigtimedwait(&pipeSignal, nullptr, &none);
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    errno = saved;
    return written;
}
} // namespace

ChildProcess::~ChildProcess()
{
    stop(100);
}

bool ChildProcess::split(const std::string& command, std::vector<std::string>& words, std::string& error)
{
    words.clear();
    std::string word;
    bool inWord = false;
    char quote = 0;
    for (std::size_t i = 0; i < command.size(); ++i) {
        const char c = command[i];
        if (quote == '\'') {
            if (c == '\'')
                quote = 0;
            else
                word += c;
            continue;
        }
        if (c == '\\') {
            if (i + 1 >= command.size()) {
                error = "the command ends with a backslash";
                return false;
            }
            word += command[++i];
            inWord = true;
            continue;
        }
        if (quote == '"') {
            if (c == '"')
                quote = 0;
            else
                word += c;
            continue;
        }
        if (c == '\'' || c == '"') {
            quote = c;
            inWord = true;
        } else if (c == ' ' || c == '\t' || c == '\n') {
            if (inWord)
                words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (quote != 0) {
        error = std::string("the command has an unclosed ") + (quote == '"' ? "double" : "single") + " quote";
        return false;
    }
    if (inWord)
        words.push_back(word);
    if (words.empty() || words.front().empty()) {
        error = "no program to run";
        return false;
    }
    return true;
}

bool ChildProcess::start(const std::vector<std::string>& words, std::string& error)
{
    if (m_Pid > 0 && !m_Reaped) {
        error = "a program is already running";
        return false;
    }
    if (words.empty() || words.front().empty()) {
        error = "no program to run";
        return false;
    }
    int toChild[2], fromChild[2];
    if (pipe2(toChild, O_CLOEXEC) != 0) {
        error = std::string("no pipe: ") + std::strerror(errno);
        return false;
    }
    if (pipe2(fromChild, O_CLOEXEC) != 0) {
        error = std::string("no pipe: ") + std::strerror(errno);
        close(toChild[0]);
        close(toChild[1]);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
    // The child starts with default signal handling and no blocked signals.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    std::vector<char*> argv;
    for (const std::string& word : words)
        argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int failed = posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(toChild[0]);
    close(fromChild[1]);
    if (failed != 0) {
        close(toChild[1]);
        close(fromChild[0]);
        error = "cannot start '" + Core::quotable(words.front()) + "': " + std::strerror(failed);
        return false;
    }
    m_Pid = pid;
    m_In = toChild[1];
    m_Out = fromChild[0];
    m_OutClosed = false;
    m_Reaped = false;
    m_Status = 0;
    fcntl(m_In, F_SETFL, fcntl(m_In, F_GETFL) | O_NONBLOCK);
    fcntl(m_Out, F_SETFL, fcntl(m_Out, F_GETFL) | O_NONBLOCK);
    return true;
}

bool ChildProcess::writeLine(const std::string& line, int timeoutMs)
{
    if (m_In < 0)
        return false;
    const std::string text = line + "\n";
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = writeQuietly(m_In, text.data() + done, text.size() - done);
        if (written > 0) {
            done += static_cast<std::size_t>(written);
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            closeInput();
            return false;
        }
        pollfd room{m_In, POLLOUT, 0};
        const int left = remainingMs(deadline);
        if (left == 0 || poll(&room, 1, left) <= 0)
            return false;
    }
    return true;
}

bool ChildProcess::fill()
{
    char buffer[4096];
    // A bounded amount at a time: a flood of output cannot keep the caller here.
    for (int round = 0; round < 16 && !m_OutClosed; ++round) {
        const ssize_t got = read(m_Out, buffer, sizeof buffer);
        if (got > 0) {
            m_Reader.feed(buffer, static_cast<std::size_t>(got));
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return true;
        m_OutClosed = true;
    }
    return !m_OutClosed;
}

ChildProcess::Read ChildProcess::readLine(std::string& line, bool& tooLong, int timeoutMs)
{
    if (m_Out < 0)
        return Read::Closed;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (m_Reader.next(line, tooLong))
            return Read::Line;
        if (m_OutClosed)
            return m_Reader.rest(line, tooLong) ? Read::Line : Read::Closed;
        fill();
        if (m_Reader.waiting() > 0 || m_OutClosed)
            continue;
        const int left = remainingMs(deadline);
        if (left == 0)
            return Read::Nothing;
        pollfd ready{m_Out, POLLIN, 0};
        if (poll(&ready, 1, left) < 0 && errno != EINTR)
            return Read::Nothing;
    }
}

bool ChildProcess::hasEnded()
{
    if (m_Pid <= 0)
        return false;
    if (m_Reaped)
        return true;
    int status = 0;
    const pid_t got = waitpid(m_Pid, &status, WNOHANG);
    if (got == m_Pid) {
        m_Reaped = true;
        m_Status = status;
    }
    return m_Reaped;
}

std::string ChildProcess::exitDescription() const
{
    if (!m_Reaped)
        return "";
    if (WIFEXITED(m_Status))
        return "exited with status " + std::to_string(WEXITSTATUS(m_Status));
    if (WIFSIGNALED(m_Status))
        return "killed by signal " + std::to_string(WTERMSIG(m_Status));
    return "ended";
}

void ChildProcess::closeInput()
{
    if (m_In >= 0)
        close(m_In);
    m_In = -1;
}

void ChildProcess::stop(int graceMs)
{
    closeInput();
    if (m_Pid > 0 && !m_Reaped) {
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(graceMs);
        while (!hasEnded() && remainingMs(deadline) > 0)
            usleep(2000);
        if (!hasEnded()) {
            kill(m_Pid, SIGKILL);
            int status = 0;
            while (waitpid(m_Pid, &status, 0) < 0 && errno == EINTR) {
            }
            m_Reaped = true;
            m_Status = status;
        }
    }
    if (m_Out >= 0)
        close(m_Out);
    m_Out = -1;
    m_OutClosed = true;
}

} // namespace Draughts
