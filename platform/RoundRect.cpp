#include "RoundRect.h"

#include <QPainter>
#include <QPolygon>
#include <algorithm>

namespace tenmari {
namespace {

QPolygon outlinePixels(const QRect& box, int cornerW, int cornerH, bool alternate) {
    QPolygon pixels;
    for (int y = box.top(); y <= box.bottom(); ++y) {
        for (int x = box.left(); x <= box.right(); ++x) {
            if (!inRoundRect(box, cornerW, cornerH, x, y)) continue;
            const bool edge = !inRoundRect(box, cornerW, cornerH, x - 1, y) ||
                              !inRoundRect(box, cornerW, cornerH, x + 1, y) ||
                              !inRoundRect(box, cornerW, cornerH, x, y - 1) ||
                              !inRoundRect(box, cornerW, cornerH, x, y + 1);
            if (!edge) continue;
            if (alternate && ((x - box.left()) + (y - box.top())) % 2 != 0) continue;
            pixels << QPoint(x, y);
        }
    }
    return pixels;
}

void drawPixels(QPainter& p, const QPolygon& pixels, const QColor& colour) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(colour, 0));
    p.drawPoints(pixels);
    p.restore();
}

}  // namespace

bool inRoundRect(const QRect& box, int cornerW, int cornerH, int x, int y) {
    if (!box.contains(x, y)) return false;
    // A corner larger than the box is cut down to it, as the system does.
    const double rx = std::min(cornerW, box.width()) / 2.0;
    const double ry = std::min(cornerH, box.height()) / 2.0;
    if (rx <= 0 || ry <= 0) return true;
    // Distance of the pixel centre from the straight part of the box.
    const double px = x + 0.5;
    const double py = y + 0.5;
    const double left = box.left() + rx;
    const double right = box.right() + 1 - rx;
    const double top = box.top() + ry;
    const double bottom = box.bottom() + 1 - ry;
    const double dx = px < left ? left - px : (px > right ? px - right : 0.0);
    const double dy = py < top ? top - py : (py > bottom ? py - bottom : 0.0);
    if (dx == 0.0 || dy == 0.0) return true;
    return (dx / rx) * (dx / rx) + (dy / ry) * (dy / ry) <= 1.0;
}

void drawRoundRectOutline(QPainter& p, const QRect& box, int cornerW, int cornerH,
                          const QColor& colour) {
    drawPixels(p, outlinePixels(box, cornerW, cornerH, false), colour);
}

void drawAlternateRoundRectOutline(QPainter& p, const QRect& box, int cornerW, int cornerH,
                                   const QColor& colour) {
    drawPixels(p, outlinePixels(box, cornerW, cornerH, true), colour);
}

}  // namespace tenmari
