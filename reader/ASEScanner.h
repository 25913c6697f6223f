#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace Reader
{

// Walks ASE text in place, token by token and number by number, with the results that
// formatted extraction from a string stream gives in the "C" locale: a token is a maximal
// run of non-white-space characters; a number is the longest prefix that the stream's
// number parsing accepts, and whatever follows it in the same token is left for the next
// read. Nothing is copied and nothing is allocated (except on the rare overflow check of
// a floating-point number). Used by the ASE reader.
class ASEScanner
{
public:
    // Outcome of reading an unsigned integer.
    enum class Number
    {
        Read,     // a value in range (a minus sign wraps it around, as the stream does)
        TooLarge, // digits were read but the value does not fit the asked range
        Failed    // no number here, or only white space was left
    };

    // Scans [begin, end); the text must outlive the scanner.
    ASEScanner(const char* begin, const char* end);

    // Takes the next token. False, with an empty token, when only white space is left.
    bool next()
    {
        if (!skipSpace()) {
            m_Token = std::string_view();
            return false;
        }
        const char* start = m_Pos;
        m_Pos = findSpace(m_Pos, true);
        m_Token = std::string_view(start, static_cast<std::size_t>(m_Pos - start));
        return true;
    }
    // The token taken by the last next().
    std::string_view token() const { return m_Token; }
    // True when the current token is exactly `word`.
    bool is(std::string_view word) const { return m_Token.size() == word.size() && m_Token.compare(word) == 0; }

    // Reads a floating-point number as `stream >> double` does: optional sign, digits
    // with at most one point, an exponent when digits came before it. False when the text
    // here is no number (what the number parsing looked at is consumed, as in the stream),
    // or when it overflows a double.
    bool readDouble(double& value);
    // Reads an unsigned integer as `stream >> unsigned` of a type whose largest value is
    // `max` (0xffff for unsigned short, 0xffffffff for unsigned int) does. On TooLarge all
    // its digits are consumed and `value` is left unchanged.
    Number readUnsigned(std::uint32_t max, std::uint32_t& value);
    // True when the last readUnsigned read a minus sign before digits that are not all zero
    // (the stream wraps such a number around; the caller may want to know it was negative).
    bool lastWasNegative() const { return m_Negative; }

    // Number of characters from here to the first "}" that stands alone between white space,
    // or to the end of the text: no block read from here can end later, so this bounds what
    // the block may hold. Each character is looked at once over the whole text, however often
    // this is asked.
    std::size_t bytesToClose();

    // Number of characters consumed so far.
    std::size_t offset() const { return static_cast<std::size_t>(m_Pos - m_Begin); }
    // Number of characters not consumed yet.
    std::size_t remaining() const { return static_cast<std::size_t>(m_End - m_Pos); }

private:
    // White space of the "C" locale: blank, tab, line feed, vertical tab, form feed, return.
    static bool isSpace(char c) { return c == ' ' || static_cast<unsigned char>(c - '\t') < 5; }

    // Skips white space; false when nothing else is left.
    bool skipSpace()
    {
        m_Pos = findSpace(m_Pos, false);
        return m_Pos != m_End;
    }

    // The first character from `p` on that is white space (or, with `space` false, that
    // is not), or the end. Sixteen characters at a time while they are there.
    const char* findSpace(const char* p, bool space) const
    {
#ifdef __SSE2__
        const __m128i blank = _mm_set1_epi8(' ');
        const __m128i tab = _mm_set1_epi8('\t');
        const __m128i four = _mm_set1_epi8(4);
        while (m_End - p >= 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const __m128i control = _mm_sub_epi8(bytes, tab);
            const __m128i spaces =
                _mm_or_si128(_mm_cmpeq_epi8(bytes, blank), _mm_cmpeq_epi8(_mm_min_epu8(control, four), control));
            unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(spaces));
            if (!space)
                mask = ~mask & 0xffffu;
            if (mask)
                return p + __builtin_ctz(mask);
            p += 16;
        }
#endif
        while (p != m_End && isSpace(*p) != space)
            ++p;
        return p;
    }

    const char* m_Begin;
    const char* m_Pos;
    const char* m_End;
    std::string_view m_Token;
    bool m_Negative = false;
    // The last "}" found by bytesToClose (or the end), valid while the position is not past it.
    const char* m_Close = nullptr;
};

} // namespace Reader
