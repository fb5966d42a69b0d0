#pragma once
// QString in and out of code page 932, for the window: text measured the way
// the program counts it, where a full-width character takes two bytes and
// ASCII or half-width katakana one (the rules are those of Cp932.h).

#include <QByteArray>
#include <QString>
#include <string_view>

#include "Cp932.h"

namespace tenmari {

// The text in code page 932. A character without a code page 932 form (an
// emoji, say) becomes the two bytes of a full-width "？" instead of failing,
// so that typing it can never break a length rule. The yen sign U+00A5 is
// the byte 0x5C, as on Japanese systems.
Cp932Form toCp932Form(const QString& text);
QByteArray toAnsiBytes(const QString& text);

// Length of toAnsiBytes(text).
int ansiLength(const QString& text);

// Code page 932 bytes for display; bytes that are not code page 932 text
// show as U+FFFD and the rest of the text is kept.
QString fromCp932(std::string_view bytes);

}  // namespace tenmari
