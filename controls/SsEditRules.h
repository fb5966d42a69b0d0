#pragma once
// The value rules of the validating edit: removing display separators, the
// number, date and time tests, the display form and the length check. They
// need no window; lengths and positions are code page 932 bytes.

#include <QDateTime>
#include <QObject>
#include <QString>
#include <stdexcept>

namespace tenmari {

// Length limits of the edit.
struct TSsEditLength {
    int MaxLength = 0;  // bytes; 0 or less means no limit
    int DecLength = 0;  // digits allowed after the decimal point, 0 to 4
};

// Edit style and checks; plain fields.
class TSsEditOption {
    Q_GADGET
public:
    enum TSsEditStyle { esNone, esComma, esMoney, esDate, esTime };
    Q_ENUM(TSsEditStyle)
    // imEasy: a date or time may omit its leading part, taken from the clock.
    enum TInputMethod { imFull, imEasy };
    Q_ENUM(TInputMethod)

    TSsEditStyle EditStyle = esNone;
    TSsEditLength Length;
    bool DoEmptyCheck = false;
    TInputMethod InputMethod = imFull;
    bool MoveByEnter = false;
};

using TSsEditStyle = TSsEditOption::TSsEditStyle;
using TInputMethod = TSsEditOption::TInputMethod;
inline constexpr TSsEditStyle esNone = TSsEditOption::esNone;
inline constexpr TSsEditStyle esComma = TSsEditOption::esComma;
inline constexpr TSsEditStyle esMoney = TSsEditOption::esMoney;
inline constexpr TSsEditStyle esDate = TSsEditOption::esDate;
inline constexpr TSsEditStyle esTime = TSsEditOption::esTime;
inline constexpr TInputMethod imFull = TSsEditOption::imFull;
inline constexpr TInputMethod imEasy = TSsEditOption::imEasy;

// The money sign is the byte 0x5C of code page 932, which Japanese systems
// show as a yen sign. It is shown as U+00A5 (a Unicode font draws U+005C as a
// backslash) and still counts as that one byte (see AnsiText.h). A typed
// backslash is the same byte and is removed like it.
inline constexpr QChar kMoneySign{u'\u00A5'};
inline constexpr QChar kMoneySignByte{u'\\'};

// A failed check, carrying the message for the user.
class SsEditError : public std::runtime_error {
public:
    explicit SsEditError(const QString& msg);
    const QString& Msg() const { return msg_; }

private:
    QString msg_;
};

// The editing form of a display form: the style's separators deleted.
QString RemoveSeparators(TSsEditStyle style, const QString& text);

// Blanks, an optional sign, digits, an optional "." with digits and an
// optional exponent, and nothing else; the digit runs may be empty.
bool IsNumberText(const QString& text);
// yyyymmdd (bytes 1-4, 5-6, 7-8; later bytes ignored) forming a real date.
bool IsDateText(const QString& text);
// hhmmss (bytes 1-2, 3-4, 5-6) forming a time of day.
bool IsTimeText(const QString& text);

// The display form of text for style. The number, date and time checks only
// throw once textAssigned is set; an integer part that does not convert
// always throws. now is the clock reading used by imEasy completion.
// Throws SsEditError.
QString FormatValue(TSsEditStyle style, const QString& text, const TSsEditOption& option, bool textAssigned,
                    const QDateTime& now);

// Throws SsEditError when maxLength > 0 and text is longer in bytes.
void CheckMaxLength(const QString& text, int maxLength);

// The message of an empty field that must not be left empty.
QString EmptyValueMessage();

}  // namespace tenmari
