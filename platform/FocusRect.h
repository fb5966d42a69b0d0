#pragma once
// The dotted keyboard-focus rectangle: every other pixel of the outline is
// inverted, so it shows on any background and drawing it twice removes it.

#include <QRect>

class QPainter;

namespace tenmari {

// Inverts every other pixel of the one-pixel outline of rect (inclusive
// pixels), starting with its top-left pixel. The painter's device must be a
// raster image or widget (inversion reads the pixels underneath).
void drawFocusRect(QPainter& p, const QRect& rect);

}  // namespace tenmari
