#include "SsEditRules.h"

#include "AnsiText.h"

#include <cstdint>
#include <limits>
#include <optional>

namespace tenmari {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Leading blanks, an optional sign and at least one decimal digit, nothing
// else; nullopt also on overflow.
std::optional<std::int64_t> toInt64(const QByteArray& s) {
    qsizetype i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    if (i == s.size()) return std::nullopt;
    const std::uint64_t limit =
        negative ? std::uint64_t{1} << 63 : static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    std::uint64_t magnitude = 0;
    for (; i < s.size(); ++i) {
        if (!isDigit(s[i])) return std::nullopt;
        const auto digit = static_cast<std::uint64_t>(s[i] - '0');
        if (magnitude > (limit - digit) / 10) return std::nullopt;
        magnitude = magnitude * 10 + digit;
    }
    if (negative) return magnitude == 0 ? 0 : -static_cast<std::int64_t>(magnitude - 1) - 1;
    return static_cast<std::int64_t>(magnitude);
}

// Decimal digits of value with "," between groups of three.
QString grouped(std::int64_t value) {
    std::uint64_t magnitude = value < 0 ? ~static_cast<std::uint64_t>(value) + 1 : static_cast<std::uint64_t>(value);
    QString digits = QString::number(magnitude);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3) digits.insert(at, u',');
    return value < 0 ? QStringLiteral("-") + digits : digits;
}

bool isLeapYear(std::int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

// A value split at byte offsets, each piece converted as a whole number.
struct Pieces {
    QByteArray text[3];
    std::optional<std::int64_t> value[3];
};

Pieces cut(const QString& text, int firstWidth) {
    const QByteArray bytes = toAnsiBytes(text);
    Pieces p;
    p.text[0] = bytes.mid(0, firstWidth);
    p.text[1] = bytes.mid(firstWidth, 2);
    p.text[2] = bytes.mid(firstWidth + 2, 2);
    for (int i = 0; i < 3; ++i) p.value[i] = toInt64(p.text[i]);
    return p;
}

bool validDate(const Pieces& p) {
    if (!p.value[0] || !p.value[1] || !p.value[2]) return false;
    const std::int64_t y = *p.value[0], m = *p.value[1], d = *p.value[2];
    if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const std::int64_t last = days[m - 1] + (m == 2 && isLeapYear(y) ? 1 : 0);
    return d <= last;
}

bool validTime(const Pieces& p) {
    if (!p.value[0] || !p.value[1] || !p.value[2]) return false;
    const std::int64_t h = *p.value[0], m = *p.value[1], s = *p.value[2];
    return h >= 0 && h <= 23 && m >= 0 && m <= 59 && s >= 0 && s <= 59;
}

QString joined(const Pieces& p, int firstWidth, QChar separator) {
    return QString::fromLatin1(p.text[0]).rightJustified(firstWidth, u' ') + separator +
           QString::fromLatin1(p.text[1]).rightJustified(2, u' ') + separator +
           QString::fromLatin1(p.text[2]).rightJustified(2, u' ');
}

// imEasy: the missing leading part of a fixed-width value from the clock.
QString completed(const QString& text, const QString& clockValue) {
    const int n = ansiLength(text);
    return n < clockValue.size() ? clockValue.left(clockValue.size() - n) + text : text;
}

// A date (yyyy mm dd) or a time (hh mm ss).
struct PiecesKind {
    int firstWidth;
    QChar separator;
    bool (*valid)(const Pieces&);
    const char16_t* message;  // %1: the completed text
};
const PiecesKind kDate{4, u'/', validDate, u"入力値 %1 は，日付として認識できません"};
const PiecesKind kTime{2, u':', validTime, u"入力値 %1 は，時刻として認識できません"};

// clockValue: the clock as a full value for easy input, else empty.
QString formatPieces(const PiecesKind& kind, const QString& text, const QString& clockValue, bool textAssigned) {
    const QString full = completed(text, clockValue);
    const Pieces p = cut(full, kind.firstWidth);
    if (kind.valid(p)) return joined(p, kind.firstWidth, kind.separator);
    if (textAssigned) throw SsEditError(QString::fromUtf16(kind.message).arg(full));
    return text;
}

QString formatNumber(TSsEditStyle style, const QString& text, int decLength, bool textAssigned) {
    if (!IsNumberText(text)) {
        if (textAssigned) throw SsEditError(QStringLiteral("入力値 %1 は，数値として認識できません").arg(text));
        return text;
    }
    const qsizetype dot = text.indexOf(u'.');
    const QString integerPart = dot < 0 ? text : text.left(dot);
    const QString fractionPart = dot < 0 ? QString() : text.mid(dot);
    const std::optional<std::int64_t> value = toInt64(integerPart.toLatin1());
    if (!value) throw SsEditError(QStringLiteral("'%1' は整数ではありません").arg(integerPart));

    QString result = grouped(*value);
    // "-0.5" keeps its sign, although the integer part alone is 0.
    if (*value == 0 && !fractionPart.isEmpty() && integerPart.trimmed().startsWith(u'-')) result.prepend(u'-');
    result += fractionPart;
    if (style == esMoney) result.prepend(kMoneySign);
    if (textAssigned && fractionPart.size() - 1 > decLength) {
        throw SsEditError(QStringLiteral("小数部有効桁数は，%1 桁です").arg(decLength));
    }
    return result;
}

}  // namespace

SsEditError::SsEditError(const QString& msg) : std::runtime_error(msg.toStdString()), msg_(msg) {}

QString RemoveSeparators(TSsEditStyle style, const QString& text) {
    QString s = text;
    switch (style) {
    case esComma: s.remove(u','); break;
    case esMoney: s.remove(u',').remove(kMoneySign).remove(kMoneySignByte); break;
    case esDate: s.remove(u'/'); break;
    case esTime: s.remove(u':'); break;
    case esNone: break;
    }
    return s;
}

bool IsNumberText(const QString& text) {
    const qsizetype n = text.size();
    qsizetype i = 0;
    auto digitAt = [&](qsizetype k) { return k < n && text[k] >= u'0' && text[k] <= u'9'; };
    while (i < n && text[i] == u' ') ++i;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) ++i;
    if (i == n) return false;
    while (digitAt(i)) ++i;
    if (i < n && text[i] == u'.') {
        ++i;
        while (digitAt(i)) ++i;
    }
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        if (i < n && (text[i] == u'+' || text[i] == u'-')) ++i;
        if (!digitAt(i)) return false;
        while (digitAt(i)) ++i;
    }
    return i == n;
}

bool IsDateText(const QString& text) { return validDate(cut(text, 4)); }

bool IsTimeText(const QString& text) { return validTime(cut(text, 2)); }

QString FormatValue(TSsEditStyle style, const QString& text, const TSsEditOption& option, bool textAssigned,
                    const QDateTime& now) {
    // Easy input completes even an empty value: it becomes today's date or
    // the current time.
    const bool easy = option.InputMethod == imEasy;
    switch (style) {
    case esNone: return text;
    case esComma:
    case esMoney: return formatNumber(style, text, option.Length.DecLength, textAssigned);
    case esDate:
        return formatPieces(kDate, text, easy ? now.date().toString(QStringLiteral("yyyyMMdd")) : QString(),
                            textAssigned);
    case esTime:
        return formatPieces(kTime, text, easy ? now.time().toString(QStringLiteral("HHmmss")) : QString(),
                            textAssigned);
    }
    return text;
}

void CheckMaxLength(const QString& text, int maxLength) {
    if (maxLength > 0 && ansiLength(text) > maxLength) {
        throw SsEditError(QStringLiteral("入力値 %1 は，最大入力文字数を超えています").arg(text));
    }
}

QString EmptyValueMessage() { return QStringLiteral("値が入っていません"); }

}  // namespace tenmari
