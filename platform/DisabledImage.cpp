#include "DisabledImage.h"

#include "Color.h"

#include <QPainter>

namespace tenmari {
namespace {

// The silhouette in one colour, transparent elsewhere.
QImage silhouette(const QImage& source, const QColor& colour) {
    const QImage src = source.convertToFormat(QImage::Format_ARGB32);
    QImage out(src.size(), QImage::Format_ARGB32);
    out.setDevicePixelRatio(source.devicePixelRatio());
    out.fill(Qt::transparent);
    const QRgb ink = colour.rgb();
    for (int y = 0; y < src.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(src.constScanLine(y));
        auto* o = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < src.width(); ++x) {
            const QRgb px = in[x];
            if (qAlpha(px) >= 128 && (px & 0x00FFFFFFu) != 0x00FFFFFFu) o[x] = ink;
        }
    }
    return out;
}

}  // namespace

void drawDisabledImage(QPainter& p, const QPoint& at, const QImage& image) {
    if (image.isNull()) return;
    p.drawImage(at + QPoint(1, 1), silhouette(image, toQColor(clBtnHighlight)));
    p.drawImage(at, silhouette(image, toQColor(clBtnShadow)));
}

}  // namespace tenmari
