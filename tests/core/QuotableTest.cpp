#include <gtest/gtest.h>

#include <string>

#include "core/Quotable.h"

using Core::quotable;
using namespace std::string_literals;

TEST(Quotable, KeepsOrdinaryTextAndEscapesWhatCouldDriveATerminal)
{
    const std::string path = "/home/b\xc3\xa4rbel/Data/3D/pi\xc3\xa8"
                             "ce \"1\" C:\\x.ASE";
    EXPECT_EQ(quotable(path), path);
    EXPECT_EQ(quotable(""), "");
    // Escape sequences, the bell, line ends, NUL, DEL.
    EXPECT_EQ(quotable("\x1b]0;owned\x07\r\n\0\x7f"s), "\\x1B]0;owned\\x07\\x0D\\x0A\\x00\\x7F");
    // C1 controls (CSI as UTF-8), lone continuation bytes, Latin-1, an overlong slash, a
    // surrogate, a cut-short character; valid characters of 2, 3 and 4 bytes stay.
    EXPECT_EQ(quotable("\xc2\x9b"
                       "2J|\x80|\xe9t\xe9|\xc0\xaf|\xed\xa0\x80|\xe2\x82"),
              "\\xC2\\x9B2J|\\x80|\\xE9t\\xE9|\\xC0\\xAF|\\xED\\xA0\\x80|\\xE2\\x82");
    EXPECT_EQ(quotable("\xc2\xa0\xe2\x82\xac\xf0\x9f\x82\xa1"), "\xc2\xa0\xe2\x82\xac\xf0\x9f\x82\xa1");
}

TEST(Quotable, CutsLongTextAtAWholeCharacterAndSaysSo)
{
    EXPECT_EQ(quotable("abcdef", 6), "abcdef");
    EXPECT_EQ(quotable("abcdefg", 6), "abcdef...[7 bytes]");
    // The euro sign (3 bytes) does not fit whole after 4 bytes; an escaped byte counts one.
    EXPECT_EQ(quotable("abcd\xe2\x82\xac", 6), "abcd...[7 bytes]");
    EXPECT_EQ(quotable("\x1b\x1b\x1b", 2), "\\x1B\\x1B...[3 bytes]");
    const std::string huge(8u << 20, '\x07');
    const std::string shown = quotable(huge);
    EXPECT_EQ(shown.size(), 4 * Core::c_QuotableBytes + std::string("...[8388608 bytes]").size());
    EXPECT_EQ(shown.substr(0, 8), "\\x07\\x07");
}
