#pragma once
// Rounded rectangles laid out on whole pixels, shared by the rounded window
// shape and the rounded outlines, so that outline and shape always match.

#include <QColor>
#include <QRect>

class QPainter;

namespace tenmari {

// Whether pixel (x, y) lies in the pixel box `box` with its corners cut by
// ellipses of cornerW x cornerH pixels (a pixel counts when its centre lies
// inside the corner ellipse).
bool inRoundRect(const QRect& box, int cornerW, int cornerH, int x, int y);

// A one-pixel outline along the inside of the rounded box, interior untouched.
// On a high-resolution device it is drawn in device pixels, one logical pixel
// wide, with corners as round as the device allows, and never outside the
// box's logical pixels (the window shape of a rounded button).
void drawRoundRectOutline(QPainter& p, const QRect& box, int cornerW, int cornerH, const QColor& colour);

// The same outline drawn with a cosmetic alternate pen: only every other
// pixel of it is set.
void drawAlternateRoundRectOutline(QPainter& p, const QRect& box, int cornerW, int cornerH, const QColor& colour);

}  // namespace tenmari
