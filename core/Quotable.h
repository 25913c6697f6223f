#pragma once

// Header-only and free of OpenGL: code that does not link the library (a game's rules, a
// program without a window) may include it alone.
#include <cstddef>
#include <string>
#include <string_view>

namespace Core
{

// Most bytes of a text that a message quotes, unless the caller asks for fewer.
inline constexpr std::size_t c_QuotableBytes = 1024;

// A file's or a user's text (a path, a word of a file, an argument) as a message may quote
// it between its own quotes, so that it prints on one line of a terminal and cannot drive
// it: each byte below 0x20, 0x7F, each byte that is not part of a valid UTF-8 character and
// each C1 control character (U+0080 to U+009F, bytes 0xC2 0x80 to 0xC2 0x9F) is written as
// \xNN (two upper-case hexadecimal digits). Everything else, UTF-8 text included, is kept
// byte for byte; quotes and backslashes too. A text longer than `limit` bytes is cut after
// the last whole character within them and marked: "...[N bytes]", N being the whole
// text's size. The result is thus at most 4 * limit bytes and the mark long.
inline std::string quotable(std::string_view text, std::size_t limit = c_QuotableBytes)
{
    // Length of the valid UTF-8 character at `at` that is not a control, 0 for none.
    auto characterAt = [&text](std::size_t at) -> std::size_t {
        const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
        const unsigned char lead = byte(at);
        if (lead >= 0x20 && lead < 0x7F)
            return 1;
        std::size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                             : lead >= 0xE0 && lead <= 0xEF ? 3
                             : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                            : 0;
        if (length == 0 || at + length > text.size())
            return 0;
        for (std::size_t i = 1; i < length; ++i)
            if ((byte(at + i) & 0xC0) != 0x80)
                return 0;
        const unsigned char second = byte(at + 1);
        const bool refused = (lead == 0xC2 && second < 0xA0) || (lead == 0xE0 && second < 0xA0) ||
                             (lead == 0xED && second >= 0xA0) || (lead == 0xF0 && second < 0x90) ||
                             (lead == 0xF4 && second >= 0x90);
        return refused ? 0 : length;
    };
    static constexpr char c_Digits[] = "0123456789ABCDEF";
    std::string out;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t length = characterAt(at);
        if (at + (length == 0 ? 1 : length) > limit)
            break;
        if (length == 0) {
            const auto byte = static_cast<unsigned char>(text[at]);
            out += "\\x";
            out += c_Digits[byte >> 4];
            out += c_Digits[byte & 15];
            ++at;
        } else {
            out.append(text, at, length);
            at += length;
        }
    }
    if (at < text.size())
        out += "...[" + std::to_string(text.size()) + " bytes]";
    return out;
}

} // namespace Core
