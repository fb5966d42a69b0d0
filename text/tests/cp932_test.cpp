#include <gtest/gtest.h>

#include <cstdio>

#include "Cp932.h"
#include "EverySequence.h"

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
        {"～", "\x81\x60"},            // Windows' wave dash
        {"－", "\x81\x7c"},            // Windows' minus
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
    EXPECT_THROW(utf8ToCp932("😀"), EncodingError);         // no code page 932 form
    EXPECT_THROW(utf8ToCp932("\xff\xfe"), EncodingError);  // not UTF-8 at all
    EXPECT_THROW(cp932ToUtf8("\x81"), EncodingError);      // a lead byte cut short
}

namespace {

// What a conversion gives: its text, or its error's message.
struct Outcome {
    std::string text;
    std::string error;
    bool operator==(const Outcome&) const = default;
};

Outcome throughIconv(std::string_view cp932) {
    try {
        return {cp932ToUtf8(cp932), {}};
    } catch (const EncodingError& e) {
        return {{}, e.what()};
    }
}

// The table form, writing into a buffer of exactly the room it asks for,
// with a guard byte after it.
Outcome throughTables(std::string_view cp932) {
    const std::size_t room = tenmari::utf8Room(cp932.size());
    std::string buf(room + 1, '\xA5');
    try {
        char* end = cp932ToUtf8(cp932, buf.data());
        EXPECT_LE(static_cast<std::size_t>(end - buf.data()), room);
        EXPECT_EQ(buf[room], '\xA5') << "wrote past its room";
        return {std::string(buf.data(), end), {}};
    } catch (const EncodingError& e) {
        return {{}, e.what()};
    }
}

std::string hex(std::string_view s) {
    std::string out;
    char b[4];
    for (const char c : s) {
        std::snprintf(b, sizeof b, "%02X ", static_cast<unsigned char>(c));
        out += b;
    }
    return out;
}

}  // namespace

// Every byte and every pair of bytes, alone and between other text: the
// tables give iconv's text, and where iconv fails, its very error (the
// offset of the byte it stopped at).
TEST(Cp932Tables, GiveIconvsTextAndErrorsForEverySequence) {
    tenmari::testing::forEverySequence([](const std::string& seq) {
        bool same = true;
        for (const std::string& text : {seq, "x" + seq + "\x96\x6b\x8a\x43", "\xb1" + seq}) {
            const Outcome want = throughIconv(text);
            const Outcome got = throughTables(text);
            if (!(got == want)) {
                same = false;
                ADD_FAILURE() << hex(text) << ": tables '" << got.text << "' / '" << got.error << "', iconv '"
                              << want.text << "' / '" << want.error << "'";
            }
        }
        return same;
    });
}

TEST(Cp932Tables, ConvertLongMixedTextAndNameTheFirstBadByte) {
    const std::string good = utf8ToCp932("0600000\t北海道札幌市中央区（ﾁｭｳｵｳｸ）～－〒\n");
    std::string text;
    for (int i = 0; i < 200; ++i) text += good;
    EXPECT_EQ(throughTables(text), throughIconv(text));
    EXPECT_EQ(throughTables(text).text, [&] {
        std::string utf8;
        for (int i = 0; i < 200; ++i) utf8 += "0600000\t北海道札幌市中央区（ﾁｭｳｵｳｸ）～－〒\n";
        return utf8;
    }());

    struct Case {
        const char* what;
        std::string bad;
    };
    const Case cases[] = {
        {"a lead byte at the very end", "\x81"},
        {"a lead byte before a byte that cannot follow it", "\x81\x20"},
        {"an unassigned pair", "\x85\x40"},
        {"a byte that is no character", "\xff"},
        {"0x80", "\x80"},
    };
    for (const Case& c : cases) {
        const std::string bad = text + c.bad + good;
        const Outcome want = throughIconv(bad);
        EXPECT_FALSE(want.error.empty()) << c.what;
        EXPECT_EQ(throughTables(bad), want) << c.what;
    }
}

TEST(Cp932Tables, AnEmptyTextIsEmpty) {
    char buf[tenmari::utf8Room(0)];
    EXPECT_EQ(cp932ToUtf8(std::string_view(), buf), buf);
}
