// The window's rule for text: characters without a code page 932 form, byte
// lengths, and the display decoding read from the same table as the bulk one.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Cp932.h"
#include "EverySequence.h"
#include "WindowTextCases.h"

using tenmari::Cp932Form;
using tenmari::cp932Length;
using tenmari::cp932ToUtf16;
using tenmari::cp932ToUtf8;
using tenmari::EncodingError;
using tenmari::kNoFormStandIn;
using tenmari::kReplacementChar;
using tenmari::toCp932Form;
using tenmari::testing::kWindowTextCases;

namespace {

std::u16string utf16(std::string_view cp932) {
    std::u16string out(cp932.size(), u'\0');
    out.resize(static_cast<std::size_t>(cp932ToUtf16(cp932, out.data()) - out.data()));
    return out;
}

// UTF-8 of the basic plane to UTF-16, for comparing the two outputs of the table.
std::u16string widen(std::string_view utf8) {
    std::u16string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const auto b = [&](std::size_t k) {
            return static_cast<char16_t>(static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        };
        if (c < 0x80) {
            out += static_cast<char16_t>(c);
            i += 1;
        } else if (c < 0xE0) {
            out += static_cast<char16_t>((c & 0x1F) << 6 | b(1));
            i += 2;
        } else {
            out += static_cast<char16_t>((c & 0x0F) << 12 | b(1) << 6 | b(2));
            i += 3;
        }
    }
    return out;
}

}  // namespace

TEST(WindowText, EachCharacterBecomesItsBytesOrTheStandIn) {
    for (const auto& c : kWindowTextCases) {
        const Cp932Form form = toCp932Form(c.utf8);
        EXPECT_EQ(form.bytes, c.bytes) << c.what;
        EXPECT_EQ(form.exact, c.exact) << c.what;
        EXPECT_EQ(cp932Length(c.utf8), c.bytes.size()) << c.what;
    }
}

// Whole texts take the fast way when every character has a form and the
// slow way otherwise: both give each character's bytes in order.
TEST(WindowText, TextsAreTheirCharactersInOrder) {
    for (const auto& a : kWindowTextCases) {
        for (const auto& b : kWindowTextCases) {
            const std::string text = "東京" + std::string(a.utf8) + "x" + std::string(b.utf8);
            const Cp932Form form = toCp932Form(text);
            EXPECT_EQ(form.bytes, "\x93\x8c\x8b\x9e" + std::string(a.bytes) + "x" + std::string(b.bytes)) << text;
            EXPECT_EQ(form.exact, a.exact && b.exact) << text;
        }
    }
}

TEST(WindowText, BytesThatAreNotUtf8TakeTheStandInAndMeasuringNeverThrows) {
    struct Case {
        const char* what;
        std::string utf8;
        std::size_t standIns;
    };
    const Case cases[] = {
        {"a byte that begins nothing",
         "a\xff"
         "b",
         1},
        {"a character cut short", "a\xe3\x81", 2},
        {"a lone continuation byte", "\x80", 1},
        {"empty", "", 0},
    };
    for (const Case& c : cases) {
        Cp932Form form;
        ASSERT_NO_THROW(form = toCp932Form(c.utf8)) << c.what;
        std::size_t found = 0;
        for (std::size_t at = form.bytes.find(kNoFormStandIn); at != std::string::npos;
             at = form.bytes.find(kNoFormStandIn, at + 2)) {
            ++found;
        }
        EXPECT_EQ(found, c.standIns) << c.what;
        EXPECT_EQ(form.exact, c.standIns == 0) << c.what;
        EXPECT_EQ(cp932Length(c.utf8), form.bytes.size()) << c.what;
    }
    // The strict conversion still refuses them.
    EXPECT_THROW(tenmari::utf8ToCp932("a\xff"), EncodingError);
}

// The display text comes from the same table as the bulk UTF-8 text: every
// byte and pair of bytes gives the same characters, and where the converter
// refuses a sequence the display shows U+FFFD and goes on.
TEST(WindowText, DisplayTextAgreesWithTheConverterForEverySequence) {
    tenmari::testing::forEverySequence([](const std::string& seq) {
        std::u16string want;
        try {
            want = widen(cp932ToUtf8(seq));
        } catch (const EncodingError&) {
            return true;  // checked by the cases below
        }
        if (utf16(seq) == want) return true;
        ADD_FAILURE() << "bytes " << static_cast<int>(static_cast<unsigned char>(seq[0])) << " "
                      << (seq.size() > 1 ? static_cast<int>(static_cast<unsigned char>(seq[1])) : -1);
        return false;
    });
}

TEST(WindowText, DisplayShowsDamagedBytesAsReplacementsAndKeepsTheRest) {
    struct Case {
        const char* what;
        std::string cp932;
        std::u16string text;
    };
    const Case cases[] = {
        {"a lead byte at the end", "a\x81", u"a\uFFFD"},
        {"a lead byte before a byte that cannot follow it",
         "\x81\x20"
         "b",
         u"\uFFFD b"},
        {"an unassigned pair", "\x85\x40\x96\x6b", u"\uFFFD北"},
        {"a byte that is no character",
         "\xff"
         "1",
         u"\uFFFD1"},
        {"whole text", "\x96\x6b\x8a\x43\x93\xb9\xc1\xd6", u"北海道ﾁﾖ"},
    };
    for (const Case& c : cases) EXPECT_EQ(utf16(c.cp932), c.text) << c.what;
    EXPECT_EQ(kReplacementChar, u'\uFFFD');
}
