#pragma once
// Text measured the way the program counts it: in bytes of code page 932,
// where a full-width character takes two bytes and ASCII or half-width
// katakana one.

#include <QByteArray>
#include <QString>

namespace tenmari {

// The text in code page 932. A character without a code page 932 form (an
// emoji, say) becomes the two bytes of a full-width "？" instead of failing,
// so that typing it can never break a length rule. The yen sign U+00A5 is
// the byte 0x5C, as on Japanese systems.
QByteArray toAnsiBytes(const QString& text);

// Length of toAnsiBytes(text).
int ansiLength(const QString& text);

}  // namespace tenmari
