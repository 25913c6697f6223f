#pragma once

#include <functional>
#include <string>

namespace Core
{

// How much a message of the library matters.
enum class MessageLevel
{
    Info,    // progress, and what loaded
    Warning, // something asked for was refused, not found or left out; the program goes on
    Error,   // the graphics system failed something: a GLSL program, the window
    Fatal    // the process ends once the message is delivered
};

// The one way out of the library for its messages (load lines, warnings, errors, the
// orderly stops), and for those of the libraries it speaks for: GLUT's warnings and errors
// and libjpeg's warnings, in their own words. Without a sink, each message is printed as it
// always was: its text and a line end on standard output, or on standard error for the GLSL
// compiler's and linker's reports, the uniform a GLSL program lacks, the window's failures
// and GLUT's and libjpeg's words. With a sink set, every message goes to the sink instead
// and nothing is printed.
// Messages come on the thread that called the library; the sink may send messages itself.
class Messages
{
public:
    // Receives one message: its level and its text, without line end (a report of the GLSL
    // compiler may hold several lines). An exception it throws is dropped.
    using Sink = std::function<void(MessageLevel level, const std::string& text)>;

    // Sends every later message to `sink`; an empty sink puts the printing back. Returns
    // the sink in place before (empty when messages were printed).
    static Sink setSink(Sink sink);
    // Delivers one message: to the sink, or printed with a line end on standard output
    // (standard error with `errorStream`).
    static void send(MessageLevel level, const std::string& text, bool errorStream = false);
};

} // namespace Core
