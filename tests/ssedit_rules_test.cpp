// The value rules of the validating edit, without any window.
#include "AnsiText.h"
#include "SsEditRules.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <optional>

// Readable failures.
static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace tenmari {
namespace {

const QDateTime kNow(QDate(2005, 11, 16), QTime(9, 41, 7));

struct FormatCase {
    TSsEditStyle style;
    QString input;
    int decLength;
    TInputMethod method;
    bool assigned;
    QString expected;  // the result, or the message when error is set
    bool error;
};

void PrintTo(const FormatCase& c, std::ostream* os) {
    *os << "style " << static_cast<int>(c.style) << " \"" << c.input.toStdString() << "\" dec " << c.decLength
        << (c.method == imEasy ? " easy" : "") << (c.assigned ? " assigned" : " first write");
}

QString money(const QString& s) { return QString(kMoneySign) + s; }

class FormatValueTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatValueTest, GivesDisplayFormOrMessage) {
    const FormatCase& c = GetParam();
    TSsEditOption option;
    option.Length.DecLength = c.decLength;
    option.InputMethod = c.method;
    std::optional<QString> result;
    std::optional<QString> message;
    try {
        result = FormatValue(c.style, c.input, option, c.assigned, kNow);
    } catch (const SsEditError& e) {
        message = e.Msg();
    }
    if (c.error) {
        ASSERT_TRUE(message.has_value()) << "got " << result->toStdString();
        EXPECT_EQ(*message, c.expected);
    } else {
        ASSERT_TRUE(result.has_value()) << "raised " << message->toStdString();
        EXPECT_EQ(*result, c.expected);
    }
}

constexpr bool kAssigned = true;
constexpr bool kFirst = false;
constexpr bool kError = true;
constexpr bool kOk = false;

INSTANTIATE_TEST_SUITE_P(
    Numbers, FormatValueTest,
    ::testing::Values(
        FormatCase{esComma, "1234567", 0, imFull, kAssigned, "1,234,567", kOk},
        FormatCase{esComma, "-1234.50", 2, imFull, kAssigned, "-1,234.50", kOk},
        FormatCase{esComma, "1234.", 0, imFull, kAssigned, "1,234.", kOk},
        FormatCase{esComma, " 12", 0, imFull, kAssigned, "12", kOk},
        FormatCase{esComma, "+12", 0, imFull, kAssigned, "12", kOk},
        FormatCase{esComma, "0012", 0, imFull, kAssigned, "12", kOk},
        FormatCase{esComma, "0", 0, imFull, kAssigned, "0", kOk},
        FormatCase{esComma, "123", 0, imFull, kAssigned, "123", kOk},
        FormatCase{esComma, "-123456", 0, imFull, kAssigned, "-123,456", kOk},
        FormatCase{esComma, "-0.5", 1, imFull, kAssigned, "-0.5", kOk},
        FormatCase{esComma, "-0", 0, imFull, kAssigned, "0", kOk},
        FormatCase{esComma, "9223372036854775807", 0, imFull, kAssigned, "9,223,372,036,854,775,807", kOk},
        FormatCase{esComma, "-9223372036854775808", 0, imFull, kAssigned, "-9,223,372,036,854,775,808", kOk},
        FormatCase{esComma, "1.23", 2, imFull, kAssigned, "1.23", kOk},
        FormatCase{esComma, "1.", 0, imFull, kAssigned, "1.", kOk},
        FormatCase{esMoney, "1234", 0, imFull, kAssigned, money("1,234"), kOk},
        FormatCase{esMoney, "-5", 0, imFull, kAssigned, money("-5"), kOk},
        FormatCase{esNone, "abc,1", 0, imFull, kAssigned, "abc,1", kOk},
        // Decimal places.
        FormatCase{esComma, "1.234", 2, imFull, kAssigned, "小数部有効桁数は，2 桁です", kError},
        FormatCase{esComma, "1.5", 0, imFull, kAssigned, "小数部有効桁数は，0 桁です", kError},
        FormatCase{esMoney, "1.25", 1, imFull, kAssigned, "小数部有効桁数は，1 桁です", kError},
        // Pass the number test, but the integer part does not convert:
        // reported even before the first write.
        FormatCase{esComma, ".5", 0, imFull, kAssigned, "'' は整数ではありません", kError},
        FormatCase{esComma, "-.5", 0, imFull, kAssigned, "'-' は整数ではありません", kError},
        FormatCase{esComma, "1e5", 0, imFull, kAssigned, "'1e5' は整数ではありません", kError},
        FormatCase{esComma, "9223372036854775808", 0, imFull, kAssigned, "'9223372036854775808' は整数ではありません",
                   kError},
        FormatCase{esComma, ".5", 0, imFull, kFirst, "'' は整数ではありません", kError},
        // Not numbers.
        FormatCase{esComma, "12a", 0, imFull, kAssigned, "入力値 12a は，数値として認識できません", kError},
        FormatCase{esComma, "1,234", 0, imFull, kAssigned, "入力値 1,234 は，数値として認識できません", kError},
        FormatCase{esMoney, "１２", 0, imFull, kAssigned, "入力値 １２ は，数値として認識できません", kError},
        // The first write stays silent: unchanged when invalid, formatted
        // regardless of decimal places when valid.
        FormatCase{esComma, "12a", 0, imFull, kFirst, "12a", kOk},
        FormatCase{esComma, "1234.567", 0, imFull, kFirst, "1,234.567", kOk},
        FormatCase{esMoney, money("1,234"), 0, imFull, kFirst, money("1,234"), kOk},
        // An empty text is no number: reported once assigned, as it is.
        FormatCase{esComma, "", 0, imFull, kAssigned, "入力値  は，数値として認識できません", kError},
        FormatCase{esMoney, "", 0, imEasy, kAssigned, "入力値  は，数値として認識できません", kError},
        FormatCase{esComma, "", 0, imFull, kFirst, "", kOk}));

INSTANTIATE_TEST_SUITE_P(
    Dates, FormatValueTest,
    ::testing::Values(
        FormatCase{esDate, "20051116", 0, imFull, kAssigned, "2005/11/16", kOk},
        FormatCase{esDate, "2005111", 0, imFull, kAssigned, "2005/11/ 1", kOk},
        FormatCase{esDate, "200511161", 0, imFull, kAssigned, "2005/11/16", kOk},
        FormatCase{esDate, "2005 1 1", 0, imFull, kAssigned, "2005/ 1/ 1", kOk},
        FormatCase{esDate, "00011231", 0, imFull, kAssigned, "0001/12/31", kOk},
        FormatCase{esDate, "20040229", 0, imFull, kAssigned, "2004/02/29", kOk},
        FormatCase{esDate, "20000229", 0, imFull, kAssigned, "2000/02/29", kOk},
        FormatCase{esDate, "19000229", 0, imFull, kAssigned, "入力値 19000229 は，日付として認識できません", kError},
        FormatCase{esDate, "20050229", 0, imFull, kAssigned, "入力値 20050229 は，日付として認識できません", kError},
        FormatCase{esDate, "20050230", 0, imFull, kAssigned, "入力値 20050230 は，日付として認識できません", kError},
        FormatCase{esDate, "20051131", 0, imFull, kAssigned, "入力値 20051131 は，日付として認識できません", kError},
        FormatCase{esDate, "20051301", 0, imFull, kAssigned, "入力値 20051301 は，日付として認識できません", kError},
        FormatCase{esDate, "00001231", 0, imFull, kAssigned, "入力値 00001231 は，日付として認識できません", kError},
        FormatCase{esDate, "2005-1-1", 0, imFull, kAssigned, "入力値 2005-1-1 は，日付として認識できません", kError},
        FormatCase{esDate, "200511", 0, imFull, kAssigned, "入力値 200511 は，日付として認識できません", kError},
        FormatCase{esDate, "２００５１１１６", 0, imFull, kAssigned,
                   "入力値 ２００５１１１６ は，日付として認識できません", kError},
        FormatCase{esDate, "20050230", 0, imFull, kFirst, "20050230", kOk},
        // Easy input at 2005-11-16.
        FormatCase{esDate, "25", 0, imEasy, kAssigned, "2005/11/25", kOk},
        FormatCase{esDate, "5", 0, imEasy, kAssigned, "2005/11/15", kOk},
        FormatCase{esDate, "1201", 0, imEasy, kAssigned, "2005/12/01", kOk},
        FormatCase{esDate, "20060101", 0, imEasy, kAssigned, "2006/01/01", kOk},
        FormatCase{esDate, "1345", 0, imEasy, kAssigned, "入力値 20051345 は，日付として認識できません", kError},
        FormatCase{esDate, "1345", 0, imEasy, kFirst, "1345", kOk},
        // Easy input completes an empty value to today's date; without
        // easy input it is no date.
        FormatCase{esDate, "", 0, imEasy, kFirst, "2005/11/16", kOk},
        FormatCase{esDate, "", 0, imEasy, kAssigned, "2005/11/16", kOk},
        FormatCase{esDate, "", 0, imFull, kAssigned, "入力値  は，日付として認識できません", kError},
        FormatCase{esDate, "", 0, imFull, kFirst, "", kOk}));

INSTANTIATE_TEST_SUITE_P(
    Times, FormatValueTest,
    ::testing::Values(
        FormatCase{esTime, "123045", 0, imFull, kAssigned, "12:30:45", kOk},
        FormatCase{esTime, "12305", 0, imFull, kAssigned, "12:30: 5", kOk},
        FormatCase{esTime, "000000", 0, imFull, kAssigned, "00:00:00", kOk},
        FormatCase{esTime, "235959", 0, imFull, kAssigned, "23:59:59", kOk},
        FormatCase{esTime, "1230", 0, imFull, kAssigned, "入力値 1230 は，時刻として認識できません", kError},
        FormatCase{esTime, "240000", 0, imFull, kAssigned, "入力値 240000 は，時刻として認識できません", kError},
        FormatCase{esTime, "126000", 0, imFull, kAssigned, "入力値 126000 は，時刻として認識できません", kError},
        FormatCase{esTime, "120060", 0, imFull, kAssigned, "入力値 120060 は，時刻として認識できません", kError},
        // Easy input at 09:41:07.
        FormatCase{esTime, "30", 0, imEasy, kAssigned, "09:41:30", kOk},
        FormatCase{esTime, "1500", 0, imEasy, kAssigned, "09:15:00", kOk},
        FormatCase{esTime, "240000", 0, imEasy, kAssigned, "入力値 240000 は，時刻として認識できません", kError},
        FormatCase{esTime, "75", 0, imEasy, kAssigned, "入力値 094175 は，時刻として認識できません", kError},
        FormatCase{esTime, "", 0, imEasy, kAssigned, "09:41:07", kOk},
        FormatCase{esTime, "", 0, imEasy, kFirst, "09:41:07", kOk},
        FormatCase{esTime, "", 0, imFull, kAssigned, "入力値  は，時刻として認識できません", kError}));

TEST(RemoveSeparatorsTest, DeletesEveryOccurrenceOfTheStyleSeparators) {
    struct Case {
        TSsEditStyle style;
        QString text, expected;
    };
    const Case cases[] = {
        {esComma, "1,234,567", "1234567"},
        {esComma, money("1,2"), money("12")},
        {esMoney, money("1,234"), "1234"},
        {esMoney, money("-5") + kMoneySign, "-5"},
        {esDate, "2005/11/16", "20051116"},
        {esTime, "12:30:45", "123045"},
        {esTime, "12/30,45", "12/30,45"},
        {esNone, "1,2/3:4" + money(""), "1,2/3:4" + money("")},
        {esComma, "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RemoveSeparators(c.style, c.text), c.expected) << c.text.toStdString();
    }
}

// The money sign shows as the yen sign U+00A5 and counts as the one byte
// 0x5C; a typed yen sign or backslash is removed like the shown one.
TEST(MoneySignTest, ShowsAsYenAndCountsAsOneByte) {
    TSsEditOption option;
    EXPECT_EQ(FormatValue(esMoney, "1234", option, true, kNow), QString::fromUtf8("\u00A51,234"));
    EXPECT_EQ(RemoveSeparators(esMoney, QString::fromUtf8("\u00A51,234")), "1234");
    EXPECT_EQ(RemoveSeparators(esMoney, "\\1,234"), "1234");
    EXPECT_EQ(RemoveSeparators(esMoney, QString::fromUtf8("\\\u00A5-5\u00A5")), "-5");
    EXPECT_EQ(RemoveSeparators(esComma, QString::fromUtf8("\u00A51,2")), QString::fromUtf8("\u00A512"));
    EXPECT_EQ(ansiLength(QString::fromUtf8("\u00A51,234")), 6);
    EXPECT_EQ(toAnsiBytes(QString::fromUtf8("\u00A5")), QByteArray("\x5C"));
    EXPECT_NO_THROW(CheckMaxLength(QString::fromUtf8("\u00A51,234"), 6));
}

TEST(NumberTextTest, AcceptsSignedDecimalsWithOptionalExponent) {
    for (const char* yes : {"5", "5.", ".5", ".", "e5", "-0", "  +1.5e-3", "1E+10", "007", "-.5"}) {
        EXPECT_TRUE(IsNumberText(QString::fromUtf8(yes))) << yes;
    }
    for (const char* no : {"", "+", " ", "  -", "1 ", ",", "1,000", "1e", "e", "1.2.3", "--1", "１", "0x10", "1e5.0"}) {
        EXPECT_FALSE(IsNumberText(QString::fromUtf8(no))) << no;
    }
}

TEST(DateTimeTextTest, CutsByBytePosition) {
    EXPECT_TRUE(IsDateText("20051116"));
    EXPECT_TRUE(IsDateText("2005111"));
    EXPECT_TRUE(IsDateText("20051116xyz"));  // bytes after the 8th are ignored
    EXPECT_FALSE(IsDateText("2005"));
    EXPECT_FALSE(IsDateText("2005+1-1"));  // a negative day
    EXPECT_FALSE(IsDateText("あ051116"));  // the full-width character takes bytes 1-2
    EXPECT_TRUE(IsTimeText("000000"));
    EXPECT_TRUE(IsTimeText("23595"));
    EXPECT_FALSE(IsTimeText("2359"));
    EXPECT_FALSE(IsTimeText("-10000"));
}

TEST(CheckMaxLengthTest, CountsCodePage932Bytes) {
    struct Case {
        QString text;
        int max;
        bool tooLong;
    };
    const Case cases[] = {
        {"abcde", 5, false}, {"abcdef", 5, true},  {"あい", 5, false},    {"あいう", 5, true},
        {"ｱｲｳｴｵ", 5, false}, {"abcdef", 0, false}, {"abcdef", -1, false},
    };
    for (const Case& c : cases) {
        bool raised = false;
        try {
            CheckMaxLength(c.text, c.max);
        } catch (const SsEditError& e) {
            raised = true;
            EXPECT_EQ(e.Msg(), "入力値 " + c.text + " は，最大入力文字数を超えています");
        }
        EXPECT_EQ(raised, c.tooLong) << c.text.toStdString() << " max " << c.max;
    }
}

TEST(AnsiTextTest, CountsFullWidthAsTwoAndNeverFails) {
    EXPECT_EQ(ansiLength("a"), 1);
    EXPECT_EQ(ansiLength("ｱ"), 1);
    EXPECT_EQ(ansiLength("あ"), 2);
    EXPECT_EQ(ansiLength("〒100-0001"), 10);
    EXPECT_EQ(ansiLength(QString::fromUtf8("a\xF0\x9F\x98\x80"
                                           "b")),
              4);  // an emoji has no code page 932 form
    EXPECT_EQ(ansiLength(""), 0);
}

}  // namespace
}  // namespace tenmari
