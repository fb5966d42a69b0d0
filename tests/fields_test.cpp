#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <vector>

#include "DictionaryFields.h"
#include "scan/FieldCuts.h"

using tenmari::fields::GetField;

namespace {
// 13101,"100  ","1000001","ﾄｳｷｮｳﾄ","ﾁﾖﾀﾞｸ","ﾁﾖﾀﾞ","東京都","千代田区","千代田",0,0,0,0,0,0
const std::string kTokyo =
    "13101,\"100  \",\"1000001\",\"\xc4\xb3\xb7\xae\xb3\xc4\",\"\xc1\xd6\xc0\xde\xb8\",\"\xc1\xd6\xc0\xde\","
    "\"\x93\x8c\x8b\x9e\x93\x73\",\"\x90\xe7\x91\xe3\x93\x63\x8b\xe6\",\"\x90\xe7\x91\xe3\x93\x63\",0,0,0,0,0,0";
}  // namespace

TEST(DictionaryFields, PublicLayoutLine) {
    EXPECT_EQ(GetField(kTokyo, 0), "");  // unquoted, so empty
    EXPECT_EQ(GetField(kTokyo, 1), "100  ");
    EXPECT_EQ(GetField(kTokyo, 2), "1000001");
    EXPECT_EQ(GetField(kTokyo, 6), "\x93\x8c\x8b\x9e\x93\x73");
    EXPECT_EQ(GetField(kTokyo, 7), "\x90\xe7\x91\xe3\x93\x63\x8b\xe6");
    EXPECT_EQ(GetField(kTokyo, 8), "\x90\xe7\x91\xe3\x93\x63");
    EXPECT_EQ(GetField(kTokyo, 14), "");
}

TEST(DictionaryFields, UnquotingRules) {
    struct Case {
        std::string line;
        int index;
        std::string expected;
    };
    const Case cases[] = {
        {R"("a""b")", 0, R"(a"b)"},
        {R"("abc"xyz)", 0, "abc"},
        {R"("abc)", 0, "ab"},  // no closing quote: last byte dropped
        {"abc", 0, ""},
        {R"("")", 0, ""},
        {R"(")", 0, ""},
        {R"( "abc")", 0, ""},  // blank before the quote
        {R"("a""b)", 0, R"(a")"},
        {R"("x","ab,cd","y")", 1, "a"},  // a quoted comma still cuts: "ab reads as a
        {R"("x","ab,cd","y")", 2, ""},   // cd" has no opening quote
        {R"("x","ab,cd","y")", 3, "y"},  // later fields move up by one
        {R"("a")", 5, ""},
        {R"("1","2","3")", 3, ""},
        {"", 0, ""},
        // Text after the fifteenth comma is ignored.
        {R"(,,,,,,,,,,,,,,"15","16")", 14, "15"},
        // A double-byte character whose second byte is a backslash or 0x7C.
        {"\"\x95\x5c\x8e\xa6\",\"\x83\x7c\"", 0, "\x95\x5c\x8e\xa6"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GetField(c.line, c.index), c.expected) << c.line << " [" << c.index << "]";
    }
}

TEST(DictionaryFields, OutOfRangeIndexIsEmpty) {
    EXPECT_EQ(GetField(kTokyo, -1), "");
    EXPECT_EQ(GetField(kTokyo, 15), "");
}

TEST(DictionaryFields, OnePassCutAgreesWithThePlainRules) {
    // On lines of quotes, commas, CRs and text of every length around the 16-
    // and 32-byte steps: the same fields as the plain cut of the line without
    // its CRs, false only when a CR falls within them, and a field marked
    // plain only where its value is the text between its two quotes.
    std::mt19937 rng(5);
    const std::vector<std::string> pieces = {"\"", "\"\"", ",", "\r", "a", "bc", "\x81\x69", "0123456789", "\",\""};
    using tenmari::fields::CutForm;
    for (int round = 0; round < 20000; ++round) {
        std::string line;
        for (std::size_t k = rng() % 40; k > 0; --k) line += pieces[rng() % pieces.size()];
        const int count = static_cast<int>(rng() % 15) + 1;
        std::string noCr;
        for (char c : line) {
            if (c != '\r') noCr.push_back(c);
        }
        std::array<std::string_view, tenmari::fields::kCount> want{};
        tenmari::fields::cut(noCr, want, count);
        for (CutForm form : {CutForm::best, CutForm::sse2, CutForm::bytes}) {
            std::array<std::string_view, tenmari::fields::kCount> got{};
            unsigned plain = 0;
            const bool ok = tenmari::fields::cutWithoutCr(line, got, count, &plain, form);
            SCOPED_TRACE("line [" + line + "] count " + std::to_string(count) + " form " +
                         std::to_string(static_cast<int>(form)));
            if (!ok) {
                // Only a CR among the fields cut sends the line back.
                std::size_t commas = 0, at = 0;
                for (; at < line.size() && commas < static_cast<std::size_t>(count); ++at) {
                    if (line[at] == '\r') break;
                    commas += line[at] == ',';
                }
                ASSERT_TRUE(at < line.size() && line[at] == '\r');
                continue;
            }
            for (int i = 0; i < count; ++i) {
                const auto u = static_cast<std::size_t>(i);
                ASSERT_EQ(got[u], want[u]) << "field " << i;
                std::string scratch;
                if ((plain >> i) & 1u) {
                    ASSERT_EQ(got[u].substr(1, got[u].size() - 2), tenmari::fields::unquote(got[u], scratch)) << i;
                    ASSERT_EQ(got[u].substr(1, got[u].size() - 2).find('"'), std::string_view::npos) << i;
                }
            }
        }
    }
}

TEST(DictionaryFields, QuickCutAgreesWithThePlainRules) {
    // Lines of 65 bytes and more, whose fields the lookup reads are found from
    // the masks of two 64-byte blocks: records whose fields hold quotes,
    // commas and CRs, fields across byte 64 and byte 128, and lines shorter
    // than 128 bytes whose second block is their last 64 bytes. Each field
    // read must be the plain cut's, plain exactly when it is a quote, text
    // without quotes, and a quote; the quick cut declines only for a reason.
    using tenmari::fields::kCount;
    using tenmari::fields::kReadFields;
    std::array<std::string_view, kCount> raw{};
    unsigned plain = 0;
    const std::string longTokyo = kTokyo + std::string(40, ' ');
    const bool quickHere = tenmari::fields::cutRead(longTokyo, raw, plain);
    if (quickHere) {
        EXPECT_EQ(raw[2], "\"1000001\"");
        EXPECT_EQ(raw[8], "\"\x90\xe7\x91\xe3\x93\x63\"");
        EXPECT_EQ(plain, kReadFields);
    }

    // The ninth comma on every byte from 48 to 140, the line ending right
    // after it or going on, with a CR just before it, just after it, or none.
    const std::string head = "13101,\"100  \",\"1000001\",\"a\",\"b\",\"c\",\"p\",\"q\",\"";
    for (std::size_t at = head.size() + 3; at <= 140; ++at) {
        for (const std::string tail : {"", ",0,0,0,0,0,0", "\r", ",\r0"}) {
            for (const bool crBefore : {false, true}) {
                std::string line = head + std::string(at - head.size() - 1, 'x') + "\"";
                if (crBefore) line[at - 2] = '\r';
                line += "," + tail;
                SCOPED_TRACE("line [" + line + "]");
                std::array<std::string_view, kCount> want{};
                tenmari::fields::cut(line, want, 9);
                const bool got = tenmari::fields::cutRead(line, raw, plain);
                if (!quickHere) continue;
                ASSERT_EQ(got, line.size() > 64 && at < 128 && !crBefore);
                if (!got) continue;
                for (int i : {1, 2, 6, 7, 8})
                    ASSERT_EQ(raw[static_cast<std::size_t>(i)], want[static_cast<std::size_t>(i)]);
                ASSERT_EQ(plain, kReadFields);
            }
        }
    }

    std::mt19937 rng(64);
    auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); };
    const std::vector<std::string> pieces = {"\"",         "\"\"",  ",",
                                             "\r",         "a",     "\x81\x69",
                                             "0123456789", "\",\"", "\xb1\xb2\xb3\xb4\xb5\xb6\xb7\xb8\xb9\xba\xbb\xbc"};
    int taken = 0;
    for (int round = 0; round < 30000; ++round) {
        std::string line;
        if (pick(2) == 0) {
            // A record: field 0 unquoted, then mostly quoted fields of random text.
            line = "13101";
            for (int f = 1; f < 15; ++f) {
                std::string text;
                for (std::size_t k = pick(pick(4) == 0 ? 12 : 4); k > 0; --k) text += pieces[pick(pieces.size())];
                line += pick(8) == 0 ? "," + text : ",\"" + text + "\"";
            }
        } else {
            for (std::size_t k = 10 + pick(40); k > 0; --k) line += pieces[pick(pieces.size())];
        }
        if (line.size() <= 64) line.insert(0, 65 - line.size() + pick(80), 'x');
        SCOPED_TRACE("line [" + line + "]");
        std::array<std::string_view, kCount> want{};
        tenmari::fields::cut(line, want, 9);
        if (!tenmari::fields::cutRead(line, raw, plain)) {
            if (!quickHere) continue;
            std::size_t commas = 0, at = 0;
            bool cr = false;
            for (; at < line.size() && at < 128 && commas < 9; ++at) {
                cr = cr || line[at] == '\r';
                commas += line[at] == ',';
            }
            ASSERT_TRUE(commas < 9 || cr) << "declined without a reason";
            continue;
        }
        ++taken;
        for (int i : {1, 2, 6, 7, 8}) {
            const auto u = static_cast<std::size_t>(i);
            ASSERT_EQ(raw[u], want[u]) << "field " << i;
            const std::string_view r = want[u];
            const bool isPlain = r.size() >= 2 && r.front() == '"' && r.back() == '"' &&
                                 r.substr(1, r.size() - 2).find('"') == std::string_view::npos;
            ASSERT_EQ(((plain >> i) & 1u) != 0, isPlain) << "field " << i;
        }
        ASSERT_EQ(plain & ~kReadFields, 0u);
    }
    if (quickHere) {
        EXPECT_GT(taken, 1000);
    }
}
