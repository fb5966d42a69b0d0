#pragma once
// The colour a drawing surface actually shows for a requested colour.

#include <QColor>

class QPaintDevice;

namespace tenmari {

// Identity on true-colour surfaces (24 bits and more); 16-bit surfaces keep
// 5, 6 and 5 bits of red, green and blue; palette surfaces show the nearest
// of the 20 static system palette colours.
QColor nearestColor(const QPaintDevice& device, const QColor& colour);

}  // namespace tenmari
