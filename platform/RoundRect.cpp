#include "RoundRect.h"

#include "PaintScale.h"

#include <QPainter>
#include <QPolygon>
#include <algorithm>
#include <cmath>

namespace tenmari {
namespace {

// The rounded box at `scale` device pixels per logical pixel: its logical
// pixels (what a window shape of the box covers) and the same box with its
// corners at the device's resolution.
struct ScaledRoundRect {
    QRect box;
    int cornerW, cornerH;
    QRect deviceBox;
    int deviceCornerW, deviceCornerH;
    qreal scale;

    ScaledRoundRect(const QRect& b, int cw, int ch, qreal s) : box(b), cornerW(cw), cornerH(ch), scale(s) {
        const int left = qRound(b.left() * s);
        const int top = qRound(b.top() * s);
        deviceBox = QRect(left, top, qRound((b.right() + 1) * s) - left, qRound((b.bottom() + 1) * s) - top);
        deviceCornerW = qRound(cw * s);
        deviceCornerH = qRound(ch * s);
    }

    // Device pixel (x, y) lies in a logical pixel of the box.
    bool inLogical(int x, int y) const {
        return inRoundRect(box, cornerW, cornerH, static_cast<int>(std::floor(x / scale)),
                           static_cast<int>(std::floor(y / scale)));
    }
    bool inDevice(int x, int y) const { return inRoundRect(deviceBox, deviceCornerW, deviceCornerH, x, y); }
};

// The outline one logical pixel wide (scale device pixels, at least one),
// in device pixels; alternate keeps every other logical pixel of it. Its
// inner edge follows the corners at the device's resolution, its outer edge
// the box's logical pixels, so that no pixel of a window shape of the box
// lies outside it.
QPolygon outlinePixels(const QRect& box, int cornerW, int cornerH, bool alternate, qreal scale) {
    const ScaledRoundRect shape(box, cornerW, cornerH, scale);
    const QRect& d = shape.deviceBox;
    const int t = std::max(1, qRound(scale));
    QPolygon pixels;
    for (int y = d.top(); y <= d.bottom(); ++y) {
        for (int x = d.left(); x <= d.right(); ++x) {
            if (!shape.inLogical(x, y)) continue;
            // Rows and columns of the shape are unbroken runs, so a pixel
            // within t of the outside has the outside at distance t.
            const bool inner = shape.inDevice(x, y) && shape.inDevice(x - t, y) && shape.inDevice(x + t, y) &&
                               shape.inDevice(x, y - t) && shape.inDevice(x, y + t);
            if (inner) continue;
            if (alternate && ((x - d.left()) / t + (y - d.top()) / t) % 2 != 0) continue;
            pixels << QPoint(x, y);
        }
    }
    return pixels;
}

// Sets the given device pixels.
void drawPixels(QPainter& p, const QPolygon& pixels, const QColor& colour, qreal scale) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setWorldTransform(QTransform::fromScale(1 / scale, 1 / scale) * p.worldTransform());
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

void drawRoundRectOutline(QPainter& p, const QRect& box, int cornerW, int cornerH, const QColor& colour) {
    const qreal scale = paintScale(p);
    drawPixels(p, outlinePixels(box, cornerW, cornerH, false, scale), colour, scale);
}

void drawAlternateRoundRectOutline(QPainter& p, const QRect& box, int cornerW, int cornerH, const QColor& colour) {
    const qreal scale = paintScale(p);
    drawPixels(p, outlinePixels(box, cornerW, cornerH, true, scale), colour, scale);
}

}  // namespace tenmari
