#pragma once

#include <cstddef>
#include <deque>
#include <string>

namespace Draughts
{

// Cuts the bytes received on a DXP connection into messages at each NUL, however the reads
// split or merge them. A message longer than the cap breaks the stream at once: nothing of
// it past the cap is kept, and nothing after it is taken (the connection is to be closed).
// Messages complete before the fault can still be taken.
class DxpStream
{
public:
    explicit DxpStream(std::size_t maxLength);

    // Adds bytes as read; false once the stream is broken.
    bool feed(const char* data, std::size_t size);
    // Takes the oldest complete message (without its NUL); false when there is none.
    bool next(std::string& message);
    // Complete messages not yet taken.
    std::size_t pending() const { return m_Complete.size(); }
    // Bytes of the message being received.
    std::size_t partial() const { return m_Partial.size(); }
    bool isBroken() const { return m_Broken; }
    void clear();

private:
    std::size_t m_MaxLength;
    std::string m_Partial;
    std::deque<std::string> m_Complete;
    bool m_Broken = false;
};

} // namespace Draughts
