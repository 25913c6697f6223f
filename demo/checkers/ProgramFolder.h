#pragma once

// The folder the running program lies in. The demo finds its data in "../Data/" from the
// working directory; tools and benchmarks built beside it start there to find it too.
class ProgramFolder
{
public:
    // Makes the program's folder the working directory; on failure says so on stderr,
    // prefixed with `program`, and stays where it is.
    static void enter(const char* program);
};
