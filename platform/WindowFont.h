#pragma once
// The window's font. The design names a Windows font that Linux desktops do
// not have; IPA P Gothic was made to stand in for it, with the same metrics,
// so the fixed caption positions of the design hold.

#include <QFont>
#include <QString>

namespace tenmari {

inline const QString kWindowFontFamily = QStringLiteral("ＭＳ Ｐゴシック");

// Maps the design's font name to the stand-in. Call once after the
// application object exists.
void installWindowFont();

// The window font at a character height in pixels.
QFont windowFont(int pixelHeight, bool bold = false);

}  // namespace tenmari
