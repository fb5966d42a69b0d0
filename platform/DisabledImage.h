#pragma once
// The system's disabled rendering of a picture: an embossed silhouette.
// Every drawn pixel that is not pure white (and not transparent) becomes
// part of the silhouette, which is drawn once in the highlight colour one
// pixel right and down, then in the shadow colour in place.

#include <QImage>
#include <QPoint>

class QPainter;

namespace tenmari {

void drawDisabledImage(QPainter& p, const QPoint& at, const QImage& image);

}  // namespace tenmari
