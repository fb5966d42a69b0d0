#include "ButtonPicture.h"

#include <QFileInfo>
#include <QImageReader>

namespace tenmari {

ButtonPicture ButtonPicture::fromPixmap(Kind kind, const QPixmap& pixmap) {
    ButtonPicture p;
    if (pixmap.isNull()) return p;
    p.m_kind = kind;
    p.m_pixmap = pixmap;
    return p;
}

ButtonPicture ButtonPicture::fromBitmap(const QPixmap& bitmap) {
    return fromPixmap(Kind::Bitmap, bitmap);
}

ButtonPicture ButtonPicture::fromIcon(const QIcon& icon, QSize size) {
    ButtonPicture p;
    if (icon.isNull()) return p;
    if (!size.isValid()) {
        const QList<QSize> sizes = icon.availableSizes();
        const QSize standard(32, 32);
        size = sizes.isEmpty() || sizes.contains(standard) ? standard : sizes.first();
    }
    p.m_kind = Kind::Icon;
    p.m_icon = icon;
    p.m_iconSize = size;
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
    switch (m_kind) {
        case Kind::Bitmap:
        case Kind::Other: return m_pixmap.deviceIndependentSize().toSize();
        case Kind::Icon: return m_iconSize;
        case Kind::Empty: break;
    }
    return {};
}

QPixmap ButtonPicture::iconPixmap(qreal devicePixelRatio, QIcon::Mode mode) const {
    if (m_kind != Kind::Icon) return {};
    return m_icon.pixmap(m_iconSize, devicePixelRatio, mode);
}

}  // namespace tenmari
