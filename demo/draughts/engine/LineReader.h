#pragma once

#include <cstddef>
#include <deque>
#include <string>

namespace Draughts
{

// Cuts a byte stream from an untrusted source into lines of bounded length. Bytes are fed
// as they arrive; complete lines come out in order, without their line end (a carriage
// return before it is dropped too). A line longer than the bound comes out cut to the
// bound and marked too long; the rest of it, up to its line end, is dropped.
class LineReader
{
public:
    explicit LineReader(std::size_t maxLength) : m_MaxLength(maxLength) {}

    void feed(const char* data, std::size_t size);
    // The next complete line; false when none is complete yet.
    bool next(std::string& line, bool& tooLong);
    // At the end of the stream: the last line when it had no line end (false if none).
    bool rest(std::string& line, bool& tooLong);
    // Complete lines waiting.
    std::size_t waiting() const { return m_Lines.size(); }

private:
    struct Line
    {
        std::string text;
        bool tooLong = false;
    };
    std::size_t m_MaxLength;
    std::deque<Line> m_Lines;
    Line m_Current;
};

} // namespace Draughts
