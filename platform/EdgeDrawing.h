#pragma once
// The classic bevel rings: the two-pixel 3-D edges and the flat frame that
// buttons are framed with, and the raised and lowered bevels of panels, in
// the fixed system colours of Color.h.

#include <QColor>
#include <QRect>

class QPainter;

namespace tenmari {

// A box that rings have eaten through: its right edge lies left of its left
// edge or its bottom above its top (right and bottom inclusive, so a box of
// no width or height is the first step of it). It covers no pixel, keeps its
// centre as rings go on shrinking it, and must not be handed to Qt's fills,
// which would fill the normalised, mirrored rectangle.
inline bool isInvertedBox(const QRect& box) { return box.right() < box.left() || box.bottom() < box.top(); }

// Draws `rings` one-pixel rings from the edge of box inward: top row and left
// column in topLeft, bottom row and right column (with the top-right and
// bottom-left corner pixels) in bottomRight. Each ring shrinks the box by one
// pixel on every side, also past the point where it turns inverted; a ring of
// an inverted box draws nothing. Returns the box inside the rings.
QRect drawRings(QPainter& p, const QRect& box, const QColor& topLeft, const QColor& bottomRight, int rings);

enum class Bevel {
    None,
    Lowered,  // shadow top and left, highlight bottom and right
    Raised,   // highlight top and left, shadow bottom and right
};

// A panel's bevel of `width` rings; None draws nothing. Returns the box
// inside it.
QRect drawBevel(QPainter& p, const QRect& box, Bevel bevel, int width);

enum class EdgeKind {
    Raised,  // raised outer and inner line: a button at rest
    Etched,  // sunken outer, raised inner line: an engraved groove
    Bump,    // raised outer, sunken inner line: a ridge
};

// Draws the edge on the outermost two pixel rings of rect (inclusive
// pixels), in the ring colours of drawRings().
void drawEdge(QPainter& p, const QRect& rect, EdgeKind kind);

// The flat frame: a one-pixel outline in the button shadow colour with a
// one-pixel ring in the button face colour inside it.
void drawFlatFrame(QPainter& p, const QRect& rect);

}  // namespace tenmari
