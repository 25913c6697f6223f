#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <sstream>
#include <string>

#include "reader/ASEScanner.h"

namespace
{
using Reader::ASEScanner;

// Runs one read on both the scanner and a string stream over the same text, and checks
// that they agree on the outcome, the value and where the next read starts.
class Twin
{
public:
    explicit Twin(const std::string& text)
        : m_Text(text), m_Stream(text), m_Scanner(m_Text.data(), m_Text.data() + m_Text.size())
    {
    }

    void step(int kind)
    {
        SCOPED_TRACE("text \"" + m_Text + "\" at " + std::to_string(m_Scanner.offset()) + ", read kind " +
                     std::to_string(kind));
        if (kind == 0) {
            std::string word;
            m_Stream >> word;
            EXPECT_EQ(m_Scanner.next(), static_cast<bool>(m_Stream));
            EXPECT_EQ(std::string(m_Scanner.token()), word);
        } else if (kind == 1) {
            double expected = 0.0, value = 0.0;
            m_Stream >> expected;
            const bool ok = m_Scanner.readDouble(value);
            EXPECT_EQ(ok, static_cast<bool>(m_Stream));
            if (ok && m_Stream) {
                EXPECT_TRUE(value == expected && std::signbit(value) == std::signbit(expected)) << value;
            }
        } else {
            const std::uint32_t max = kind == 2 ? 0xffffffffu : 0xffffu;
            std::uint32_t value = 0, expected = 0;
            bool failed = false;
            if (kind == 2) {
                m_Stream >> expected;
            } else {
                unsigned short shortValue = 0;
                m_Stream >> shortValue;
                expected = shortValue;
            }
            failed = !m_Stream;
            const ASEScanner::Number result = m_Scanner.readUnsigned(max, value);
            // The stream marks an overflow as a failure holding the largest value.
            const ASEScanner::Number stream = !failed           ? ASEScanner::Number::Read
                                              : expected == max ? ASEScanner::Number::TooLarge
                                                                : ASEScanner::Number::Failed;
            EXPECT_EQ(static_cast<int>(result), static_cast<int>(stream));
            if (result == ASEScanner::Number::Read) {
                EXPECT_EQ(value, expected);
            }
        }
        m_Stream.clear();
        EXPECT_EQ(static_cast<std::streamoff>(m_Scanner.offset()), static_cast<std::streamoff>(m_Stream.tellg()));
    }

private:
    std::string m_Text;
    std::istringstream m_Stream;
    ASEScanner m_Scanner;
};

TEST(ASEScannerTest, ReadsTokensAndNumbersExactlyAsTheStreamDoes)
{
    const char* texts[] = {
        "",
        "  \t\r\n\v\f ",
        "*MESH_FACE    12:    A:    0 B:1",
        "-0 +5 5. .5 -.5e-3 1E+05",
        "1e 1e+ 1ex 0e5 0x10 00012: inf nan",
        "-1 70000 -70000 65535 4294967296 -4294967295 + - ",
        "1e999 -1e999 1e-400 -1e-400 2.4703282292062328e-324 1.5.3 +-5 --5 -x",
        "\"a b\"c{ }\x01\x80\xff 3",
        "12345678901234567890123 0.000000000000000000000000000001",
        "1.0e5x 7:8 ",
    };
    for (const char* text : texts)
        for (int kind = 0; kind < 4; ++kind) {
            Twin twin(text);
            for (int i = 0; i < 12; ++i)
                twin.step(kind);
        }
}

TEST(ASEScannerTest, AgreesWithTheStreamOnRandomTextAndReads)
{
    const std::string alphabet = "0123456789+-.eE \t\n{}x:\"*0.5";
    std::mt19937 random(20240611);
    for (int round = 0; round < 3000; ++round) {
        std::string text(random() % 24, ' ');
        for (char& c : text)
            c = alphabet[random() % alphabet.size()];
        Twin twin(text);
        for (int i = 0; i < 10; ++i)
            twin.step(static_cast<int>(random() % 4));
        if (::testing::Test::HasFailure())
            return;
    }
}
} // namespace
