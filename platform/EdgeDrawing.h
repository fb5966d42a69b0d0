#pragma once
// The classic two-pixel 3-D edges and the flat frame that buttons are framed
// with, in the fixed system colours of Color.h.

#include <QRect>

class QPainter;

namespace tenmari {

enum class EdgeKind {
    Raised,  // raised outer and inner line: a button at rest
    Etched,  // sunken outer, raised inner line: an engraved groove
    Bump,    // raised outer, sunken inner line: a ridge
};

// Draws the edge on the outermost two pixel rings of rect (inclusive
// pixels). Top and left lines take the light colour of each ring, bottom and
// right lines (including the top-right and bottom-left corner pixels) the
// dark one.
void drawEdge(QPainter& p, const QRect& rect, EdgeKind kind);

// The flat frame: a one-pixel outline in the button shadow colour with a
// one-pixel ring in the button face colour inside it.
void drawFlatFrame(QPainter& p, const QRect& rect);

}  // namespace tenmari
