#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <utility>

// Runs a shell command; its standard output and error, and its exit status (-1 when it did
// not exit normally).
inline std::pair<std::string, int> runCommand(const std::string& command)
{
    std::FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return {"", -1};
    std::string output;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, got);
    const int status = pclose(pipe);
    return {output, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}
