#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "LineReader.h"

namespace Draughts
{

// A program started without a shell, talked to through pipes: lines written to its
// standard input, lines of bounded length read from its standard output (its standard
// error is the caller's). Reading never blocks longer than asked. The process is always
// reaped: stop() and the destructor close its input, give it a moment to end, then kill it
// and wait for it, so that no zombie is left.
class ChildProcess
{
public:
    enum class Read
    {
        // A complete line (cut to the bound when `tooLong`).
        Line,
        // Nothing complete within the time given.
        Nothing,
        // Its output closed (it ended or closed it); the last unfinished line came before.
        Closed
    };

    explicit ChildProcess(std::size_t maxLineLength = 1 << 16) : m_Reader(maxLineLength) {}
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Splits a command line into the program and its arguments as a shell would for plain
    // words: blanks separate them, single and double quotes group (no expansion of any
    // kind), a backslash outside single quotes takes the next character as it is. False,
    // with a one-line reason, for an unfinished quote or escape, or nothing to run.
    static bool split(const std::string& command, std::vector<std::string>& words, std::string& error);

    // Starts the program (found on the PATH when its name has no slash) with these
    // arguments (words[0] is the program). False, with a one-line reason, when it cannot
    // be started (missing, not executable) or one is already running.
    bool start(const std::vector<std::string>& words, std::string& error);
    bool isStarted() const { return m_Pid > 0; }
    pid_t pid() const { return m_Pid; }

    // Writes a line (a line end is added), waiting at most `timeoutMs` for room in the
    // pipe. False when the process does not read (time-out) or its input is closed.
    bool writeLine(const std::string& line, int timeoutMs = 2000);
    // Waits at most `timeoutMs` (0: only what has arrived) for a complete line.
    Read readLine(std::string& line, bool& tooLong, int timeoutMs);
    // True once the process has ended (it is then reaped; exitDescription() says how).
    bool hasEnded();
    // "exited with status N" or "killed by signal N" once ended, "" before.
    std::string exitDescription() const;
    // Closes its input, waits up to `graceMs` for it to end, kills it otherwise, and reaps it.
    void stop(int graceMs = 200);

private:
    // Reads what has arrived into the line reader; false at the end of its output.
    bool fill();
    void closeInput();

    pid_t m_Pid = -1;
    int m_In = -1;
    int m_Out = -1;
    bool m_OutClosed = false;
    bool m_Reaped = false;
    int m_Status = 0;
    LineReader m_Reader;
};

} // namespace Draughts
