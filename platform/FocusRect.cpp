#include "FocusRect.h"

#include <QPainter>
#include <QPolygon>

namespace tenmari {

void drawFocusRect(QPainter& p, const QRect& rect) {
    if (rect.width() <= 0 || rect.height() <= 0) return;
    const QPoint origin = rect.topLeft();
    QPolygon dots;
    auto add = [&](int x, int y) {
        if (((x - origin.x()) + (y - origin.y())) % 2 == 0) dots << QPoint(x, y);
    };
    for (int x = rect.left(); x <= rect.right(); ++x) {
        add(x, rect.top());
        if (rect.bottom() != rect.top()) add(x, rect.bottom());
    }
    for (int y = rect.top() + 1; y < rect.bottom(); ++y) {
        add(rect.left(), y);
        if (rect.right() != rect.left()) add(rect.right(), y);
    }
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    // Each dot is one logical pixel, so the dots keep their spacing on a
    // high-resolution device.
    for (const QPoint& dot : dots) p.fillRect(QRect(dot, QSize(1, 1)), Qt::white);
    p.restore();
}

}  // namespace tenmari
