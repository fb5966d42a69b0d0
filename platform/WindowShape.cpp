#include "WindowShape.h"

#include "RoundRect.h"

#include <QWidget>

namespace tenmari {

QRegion roundRectRegion(int left, int top, int right, int bottom, int cornerW, int cornerH) {
    const QRect box(left, top, right - left - 1, bottom - top - 1);
    QRegion region;
    // Each row is one run; only the corner rows are shorter.
    for (int y = box.top(); y <= box.bottom(); ++y) {
        int x0 = box.left();
        while (x0 <= box.right() && !inRoundRect(box, cornerW, cornerH, x0, y)) ++x0;
        int x1 = box.right();
        while (x1 >= x0 && !inRoundRect(box, cornerW, cornerH, x1, y)) --x1;
        if (x0 <= x1) region += QRect(x0, y, x1 - x0 + 1, 1);
    }
    return region;
}

void setWindowShape(QWidget& w, const QRegion& shape) {
    w.setMask(shape);
    w.update();
}

void clearWindowShape(QWidget& w) {
    w.clearMask();
    w.update();
}

}  // namespace tenmari
