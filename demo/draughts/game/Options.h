#pragma once

#include <string>
#include <vector>

namespace Draughts
{

// The draughts program's command line:
//   draughts [--white human|computer] [--black human|computer] [--time SECONDS]
//            [--level 1..10] [FILE.pdn]
// Options also as --name=value; SECONDS is a plain decimal number ("2", "0.5"). By default
// White is the human and Black the computer.
class Options
{
public:
    enum class Outcome
    {
        // Play with the options read.
        Run,
        // --help was asked: print usage() and end with status 0.
        Help,
        // A fault: error() says what in one line; end with status 2.
        Error
    };

    // Reads the arguments after the program's name.
    Outcome parse(const std::vector<std::string>& arguments);
    Outcome parse(int argc, const char* const* argv);

    // The usage text, several lines ending with a line end.
    static std::string usage();

    bool whiteIsComputer() const { return m_WhiteComputer; }
    bool blackIsComputer() const { return m_BlackComputer; }
    // Thinking time per move of the computer, in seconds (0.05 to 3600).
    double seconds() const { return m_Seconds; }
    // 1 (weak) to 10 (full strength).
    int level() const { return m_Level; }
    // The PDN file to replay, "" for none.
    const std::string& file() const { return m_File; }
    const std::string& error() const { return m_Error; }

private:
    Outcome fail(const std::string& message);

    bool m_WhiteComputer = false;
    bool m_BlackComputer = true;
    double m_Seconds = 1.0;
    int m_Level = 5;
    std::string m_File;
    std::string m_Error;
};

} // namespace Draughts
