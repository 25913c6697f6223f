#include "reader/ASEScanner.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstring>
#include <cstdlib>
#include <limits>
#include <locale.h>
#include <string>

namespace Reader
{

namespace
{
inline bool isDigit(char c)
{
    return static_cast<unsigned char>(c - '0') < 10;
}

// The stream hands its text to strtod in the "C" locale; from_chars agrees with it on
// everything but the out-of-range results, which take this slower road: an overflow is
// a failed read, an underflow gives what strtod gives (zero or a denormal).
bool convertOutOfRange(const char* begin, const char* end, double& value)
{
    static const locale_t c_Locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    const std::string text(begin, end);
    const double converted = strtod_l(text.c_str(), nullptr, c_Locale);
    if (std::isinf(converted))
        return false;
    value = converted;
    return true;
}
} // namespace

ASEScanner::ASEScanner(const char* begin, const char* end) : m_Begin(begin), m_Pos(begin), m_End(end) {}

bool ASEScanner::readDouble(double& value)
{
    if (!skipSpace())
        return false;
    // The characters the stream's floating-point parsing takes, by its own rules.
    const char* start = m_Pos;
    const char* p = m_Pos;
    if (*p == '+' || *p == '-')
        ++p;
    bool mantissa = false;
    bool point = false;
    bool exponent = false;
    bool exponentDigits = false;
    while (p != m_End) {
        const char c = *p;
        if (isDigit(c)) {
            if (exponent)
                exponentDigits = true;
            else
                mantissa = true;
        } else if (c == '.' && !point && !exponent) {
            point = true;
        } else if ((c == 'e' || c == 'E') && !exponent && mantissa) {
            exponent = true;
            if (++p == m_End)
                break;
            if (*p != '+' && *p != '-')
                continue;
        } else {
            break;
        }
        ++p;
    }
    m_Pos = p;
    if (!mantissa || (exponent && !exponentDigits))
        return false;
    // from_chars takes no plus sign; the stream does.
    const char* first = *start == '+' ? start + 1 : start;
    double converted = 0.0;
    const std::from_chars_result result = std::from_chars(first, p, converted);
    if (result.ec == std::errc() && result.ptr == p) {
        value = converted;
        return true;
    }
    return convertOutOfRange(first, p, value);
}

ASEScanner::Number ASEScanner::readUnsigned(std::uint32_t max, std::uint32_t& value)
{
    if (!skipSpace())
        return Number::Failed;
    const char* p = m_Pos;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    const std::uint64_t limit = max;
    std::uint64_t result = 0;
    bool digits = false;
    bool overflow = false;
    for (; p != m_End && isDigit(*p); ++p) {
        digits = true;
        if (!overflow) {
            result = result * 10 + static_cast<unsigned>(*p - '0');
            overflow = result > limit;
        }
    }
    m_Pos = p;
    m_Negative = negative && result != 0;
    if (!digits)
        return Number::Failed;
    if (overflow)
        return Number::TooLarge;
    // The stream negates in the unsigned type: -1 reads as the largest value.
    value = static_cast<std::uint32_t>((negative ? (limit + 1 - result) : result) & limit);
    return Number::Read;
}

std::size_t ASEScanner::bytesToClose()
{
    if (!m_Close || m_Close < m_Pos) {
        const char* p = m_Pos;
        for (;;) {
            p = static_cast<const char*>(std::memchr(p, '}', static_cast<std::size_t>(m_End - p)));
            if (!p) {
                p = m_End;
                break;
            }
            if ((p == m_Begin || isSpace(p[-1])) && (p + 1 == m_End || isSpace(p[1])))
                break;
            ++p;
        }
        m_Close = p;
    }
    return static_cast<std::size_t>(m_Close - m_Pos);
}

} // namespace Reader
