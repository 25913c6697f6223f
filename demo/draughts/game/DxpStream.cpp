#include "DxpStream.h"

#include <cstring>

namespace Draughts
{

DxpStream::DxpStream(std::size_t maxLength) : m_MaxLength(maxLength) {}

bool DxpStream::feed(const char* data, std::size_t size)
{
    std::size_t at = 0;
    while (!m_Broken && at < size) {
        const void* found = std::memchr(data + at, '\0', size - at);
        const std::size_t end = found ? static_cast<std::size_t>(static_cast<const char*>(found) - data) : size;
        if (m_Partial.size() + (end - at) > m_MaxLength) {
            m_Broken = true;
            m_Partial.clear();
            break;
        }
        m_Partial.append(data + at, end - at);
        if (!found)
            break;
        m_Complete.push_back(std::move(m_Partial));
        m_Partial.clear();
        at = end + 1;
    }
    return !m_Broken;
}

bool DxpStream::next(std::string& message)
{
    if (m_Complete.empty())
        return false;
    message = std::move(m_Complete.front());
    m_Complete.pop_front();
    return true;
}

void DxpStream::clear()
{
    m_Partial.clear();
    m_Complete.clear();
    m_Broken = false;
}

} // namespace Draughts
