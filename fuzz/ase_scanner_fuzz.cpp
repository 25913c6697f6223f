// libFuzzer harness of the ASE tokenizer against the string stream whose results it
// reproduces: the first bytes choose a sequence of reads (token, double, unsigned int,
// unsigned short), the rest is the text; both must agree on every outcome, value and
// position. After each read the distance to the next lone "}" must match a plain search.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "reader/ASEScanner.h"

namespace
{
void check(bool condition)
{
    if (!condition)
        std::abort();
}

bool isSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

std::size_t bytesToClose(const std::string& text, std::size_t from)
{
    for (std::size_t i = from; i < text.size(); ++i)
        if (text[i] == '}' && (i == 0 || isSpace(text[i - 1])) && (i + 1 == text.size() || isSpace(text[i + 1])))
            return i - from;
    return text.size() - from;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 4)
        return 0;
    const std::uint32_t reads = data[0] | data[1] << 8 | data[2] << 16 | static_cast<std::uint32_t>(data[3]) << 24;
    const std::string text(reinterpret_cast<const char*>(data) + 4, size - 4);
    std::istringstream stream(text);
    Reader::ASEScanner scanner(text.data(), text.data() + text.size());
    for (int step = 0; step < 16; ++step) {
        const int kind = (reads >> (2 * step)) & 3;
        if (kind == 0) {
            std::string word;
            stream >> word;
            check(scanner.next() == static_cast<bool>(stream) && scanner.token() == word);
        } else if (kind == 1) {
            double expected = 0.0, value = 0.0;
            stream >> expected;
            const bool ok = scanner.readDouble(value);
            check(ok == static_cast<bool>(stream));
            check(!ok || (value == expected && std::signbit(value) == std::signbit(expected)));
        } else {
            const std::uint32_t max = kind == 2 ? 0xffffffffu : 0xffffu;
            std::uint32_t expected = 0, value = 0;
            if (kind == 2) {
                stream >> expected;
            } else {
                unsigned short shortValue = 0;
                stream >> shortValue;
                expected = shortValue;
            }
            const auto result = scanner.readUnsigned(max, value);
            using Number = Reader::ASEScanner::Number;
            const Number wanted = stream ? Number::Read : expected == max ? Number::TooLarge : Number::Failed;
            check(result == wanted && (result != Number::Read || value == expected));
        }
        stream.clear();
        check(static_cast<std::streamoff>(scanner.offset()) == static_cast<std::streamoff>(stream.tellg()));
        check(scanner.bytesToClose() == bytesToClose(text, scanner.offset()));
    }
    return 0;
}
