#include <gtest/gtest.h>

#include "Cp932.h"

using tenmari::cp932Length;
using tenmari::cp932ToUtf8;
using tenmari::EncodingError;
using tenmari::utf8ToCp932;

TEST(Cp932, RoundTripsJapaneseAndAscii) {
    struct Case {
        const char* utf8;
        const char* cp932;
    };
    const Case cases[] = {
        {"北海道", "\x96\x6b\x8a\x43\x93\xb9"},
        {"100-0001", "100-0001"},
        {"ﾁﾖﾀﾞ", "\xc1\xd6\xc0\xde"},  // half-width katakana: one byte each
        {"～", "\x81\x60"},             // Windows' wave dash
        {"－", "\x81\x7c"},             // Windows' minus
        {"〒", "\x81\xa7"},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(utf8ToCp932(c.utf8), c.cp932) << c.utf8;
        EXPECT_EQ(cp932ToUtf8(c.cp932), c.utf8) << c.utf8;
    }
}

TEST(Cp932, LengthCountsFullWidthTwiceAndHalfWidthOnce) {
    EXPECT_EQ(cp932Length("東京都"), 6u);
    EXPECT_EQ(cp932Length("abc"), 3u);
    EXPECT_EQ(cp932Length("ｱｲｳ"), 3u);
    EXPECT_EQ(cp932Length("Ａ1"), 3u);
}

TEST(Cp932, UnconvertibleTextIsAnErrorNotASilentMiss) {
    EXPECT_THROW(utf8ToCp932("😀"), EncodingError);       // no code page 932 form
    EXPECT_THROW(utf8ToCp932("\xff\xfe"), EncodingError);  // not UTF-8 at all
    EXPECT_THROW(cp932ToUtf8("\x81"), EncodingError);      // a lead byte cut short
}
