#include "ProgramFolder.h"

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <string>

void ProgramFolder::enter(const char* program)
{
    char path[PATH_MAX] = {};
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return;
    std::string dir(path, static_cast<size_t>(length));
    dir.erase(dir.rfind('/'));
    if (chdir(dir.c_str()) != 0)
        std::fprintf(stderr, "%s: cannot enter %s\n", program, dir.c_str());
}
