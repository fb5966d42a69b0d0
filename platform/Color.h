#pragma once
// Colours as the window's design stores them: 0x00BBGGRR, or a system colour
// when the top byte is 0xFF (index in the low byte).

#include <QColor>
#include <QStringView>
#include <cstdint>
#include <optional>

namespace tenmari {

using TColor = std::uint32_t;

inline constexpr TColor clWhite = 0x00FFFFFF;
inline constexpr TColor clBlack = 0x00000000;
inline constexpr TColor clSilver = 0x00C0C0C0;
inline constexpr TColor clGray = 0x00808080;
inline constexpr TColor clCream = 0x00F0FBFF;
inline constexpr TColor clBtnFace = 0xFF00000F;       // system colour 15
inline constexpr TColor clBtnShadow = 0xFF000010;     // system colour 16
inline constexpr TColor clBtnHighlight = 0xFF000014;  // system colour 20

// Resolves system colours to the classic Windows values, so the look does
// not depend on the desktop theme.
QColor toQColor(TColor c);
// The plain 0x00BBGGRR form of a QColor (alpha is dropped).
TColor fromQColor(const QColor& c);
// A colour as the design writes it: "0x" and eight hexadecimal digits
// ("0x00DDE8E5", "0xFF00000F"). Anything else is no colour.
std::optional<TColor> colourFromText(QStringView text);

}  // namespace tenmari
