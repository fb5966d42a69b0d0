#pragma once
// Bitmaps drawn with a transparent colour taken from the bitmap itself: the
// colour of its bottom-left pixel is left undrawn.

#include <QPixmap>

namespace tenmari {

// A copy of the bitmap in which every pixel of the bottom-left pixel's colour
// is transparent.
QPixmap withCornerColourTransparent(const QPixmap& bitmap);

}  // namespace tenmari
