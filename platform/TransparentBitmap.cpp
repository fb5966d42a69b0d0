#include "TransparentBitmap.h"

#include <QBitmap>
#include <QImage>

namespace tenmari {

QPixmap withCornerColourTransparent(const QPixmap& bitmap) {
    if (bitmap.isNull()) return bitmap;
    const QImage image = bitmap.toImage().convertToFormat(QImage::Format_RGB32);
    const QRgb key = image.pixel(0, image.height() - 1);
    QPixmap out = QPixmap::fromImage(image);
    out.setMask(QBitmap::fromImage(image.createMaskFromColor(key, Qt::MaskOutColor)));
    return out;
}

}  // namespace tenmari
