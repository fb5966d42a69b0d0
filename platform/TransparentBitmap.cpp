#include "TransparentBitmap.h"

#include <QBitmap>
#include <QImage>

namespace tenmari {

QPixmap withCornerColourTransparent(const QPixmap& bitmap) {
    if (bitmap.isNull()) return bitmap;
    const QImage image = bitmap.toImage().convertToFormat(QImage::Format_RGB32);
    const QColor key = image.pixelColor(0, image.height() - 1);
    QPixmap out = QPixmap::fromImage(image);
    // For pixmaps, MaskInColor makes the matching pixels the transparent ones.
    out.setMask(out.createMaskFromColor(key, Qt::MaskInColor));
    return out;
}

}  // namespace tenmari
