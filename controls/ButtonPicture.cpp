#include "ButtonPicture.h"

#include <QFileInfo>
#include <QImageReader>

namespace tenmari {

ButtonPicture ButtonPicture::fromPixmap(Kind kind, const QPixmap& pixmap) {
    ButtonPicture p;
    if (pixmap.isNull()) return p;
    p.kind_ = kind;
    p.pixmap_ = pixmap;
    return p;
}

ButtonPicture ButtonPicture::fromBitmap(const QPixmap& bitmap) { return fromPixmap(Kind::Bitmap, bitmap); }

ButtonPicture ButtonPicture::fromIcon(const QIcon& icon, QSize size) {
    ButtonPicture p;
    if (icon.isNull()) return p;
    if (!size.isValid()) {
        const QList<QSize> sizes = icon.availableSizes();
        const QSize standard(32, 32);
        size = sizes.isEmpty() || sizes.contains(standard) ? standard : sizes.first();
    }
    p.kind_ = Kind::Icon;
    p.icon_ = icon;
    p.iconSize_ = size;
    return p;
}

ButtonPicture ButtonPicture::fromOther(const QPixmap& image) { return fromPixmap(Kind::Other, image); }

bool ButtonPicture::LoadFromFile(const QString& path) {
    Clear();
    const QByteArray format = QImageReader::imageFormat(path);
    if (format == "ico" || format == "cur") {
        *this = fromIcon(QIcon(path));
    } else {
        const QPixmap pixmap(path);
        *this = format == "bmp" ? fromBitmap(pixmap) : fromOther(pixmap);
    }
    return !isEmpty();
}

QSize ButtonPicture::size() const {
    switch (kind_) {
    case Kind::Bitmap:
    case Kind::Other: return pixmap_.deviceIndependentSize().toSize();
    case Kind::Icon: return iconSize_;
    case Kind::Empty: break;
    }
    return {};
}

QPixmap ButtonPicture::iconPixmap(qreal devicePixelRatio, QIcon::Mode mode) const {
    if (kind_ != Kind::Icon) return {};
    return icon_.pixmap(iconSize_, devicePixelRatio, mode);
}

}  // namespace tenmari
