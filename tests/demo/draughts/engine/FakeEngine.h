#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace Draughts
{

// A fake engine: a shell script that goes through the start-up as told and answers "go"
// with `onGo` and "stop" with `onStop` (shell commands). The lines it gets are logged when
// `log` names a file. The script is removed with the object.
class FakeEngine
{
public:
    FakeEngine(const std::string& onGo, const std::string& startUp = "echo 'id name=Fake'; echo wait",
               const std::string& onStop = "true", const std::string& log = "/dev/null")
    {
        char path[] = "/tmp/fake_engineXXXXXX";
        const int fd = mkstemp(path);
        m_Path = path;
        const std::string script = "while IFS= read -r line; do\n  echo \"$line\" >> " + log +
                                   "\n  case \"$line\" in\n  hub*) " + startUp + ";;\n  init*) echo ready;;\n  go*) " +
                                   onGo + ";;\n  stop*) " + onStop + ";;\n  quit*) exit 0;;\n  esac\ndone\n";
        if (fd < 0 || write(fd, script.data(), script.size()) != static_cast<ssize_t>(script.size()))
            std::abort();
        close(fd);
    }
    ~FakeEngine() { std::remove(m_Path.c_str()); }
    std::string command() const { return "sh " + m_Path; }

private:
    std::string m_Path;
};

} // namespace Draughts
