#include "LineReader.h"

namespace Draughts
{

void LineReader::feed(const char* data, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i) {
        const char c = data[i];
        if (c == '\n') {
            if (!m_Current.text.empty() && m_Current.text.back() == '\r')
                m_Current.text.pop_back();
            m_Lines.push_back(std::move(m_Current));
            m_Current = Line();
        } else if (m_Current.text.size() < m_MaxLength) {
            m_Current.text += c;
        } else {
            m_Current.tooLong = true;
        }
    }
}

bool LineReader::next(std::string& line, bool& tooLong)
{
    if (m_Lines.empty())
        return false;
    line = std::move(m_Lines.front().text);
    tooLong = m_Lines.front().tooLong;
    m_Lines.pop_front();
    return true;
}

bool LineReader::rest(std::string& line, bool& tooLong)
{
    if (next(line, tooLong))
        return true;
    if (m_Current.text.empty() && !m_Current.tooLong)
        return false;
    line = std::move(m_Current.text);
    tooLong = m_Current.tooLong;
    m_Current = Line();
    return true;
}

} // namespace Draughts
