#pragma once
// Window shapes: a widget shaped by a region is drawn and receives the mouse
// only inside it (Qt's widget mask).

#include <QRegion>

class QWidget;

namespace tenmari {

// A rounded-rectangle region given the way the system's round-rectangle
// region call takes it: left, top, right, bottom, of which right and bottom
// lie one pixel beyond the region, and the corner ellipse's size.
// roundRectRegion(0, 0, w + 1, h + 1, 10, 10) covers a w x h widget.
QRegion roundRectRegion(int left, int top, int right, int bottom, int cornerW, int cornerH);

// Gives the widget the shape; it repaints.
void setWindowShape(QWidget& w, const QRegion& shape);
// Restores the full rectangle; it repaints.
void clearWindowShape(QWidget& w);

}  // namespace tenmari
