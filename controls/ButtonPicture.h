#pragma once
// The picture a button shows: a bitmap, an icon or nothing. Other kinds of
// graphic (a JPEG photo, a vector drawing) can be held, so that a caller
// loading one is told nothing, but a button never draws them.

#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>

namespace tenmari {

class ButtonPicture {
public:
    enum class Kind { Empty, Bitmap, Icon, Other };

    ButtonPicture() = default;
    static ButtonPicture fromBitmap(const QPixmap& bitmap);
    // The icon is drawn at `size`; without one, at its 32 x 32 image when it
    // has one (the system's standard icon size), else at its first size.
    static ButtonPicture fromIcon(const QIcon& icon, QSize size = {});
    // A graphic of a kind buttons do not draw.
    static ButtonPicture fromOther(const QPixmap& image);

    // Loads a file by its format: BMP files become bitmaps, ICO and CUR files
    // icons, any other readable picture an Other graphic. False (and empty)
    // when the file cannot be read.
    bool LoadFromFile(const QString& path);
    void Clear() { *this = ButtonPicture(); }

    Kind kind() const { return kind_; }
    bool isEmpty() const { return kind_ == Kind::Empty; }
    bool isDrawable() const { return kind_ == Kind::Bitmap || kind_ == Kind::Icon; }
    QSize size() const;
    const QPixmap& bitmap() const { return pixmap_; }
    const QIcon& icon() const { return icon_; }
    // The icon's image at its drawing size, with its own transparency, for a
    // device of the given pixel ratio (the icon's larger image where it has one).
    // The icon at that scale; a disabled button asks for the Disabled picture.
    QPixmap iconPixmap(qreal devicePixelRatio = 1.0, QIcon::Mode mode = QIcon::Normal) const;

private:
    static ButtonPicture fromPixmap(Kind kind, const QPixmap& pixmap);

    Kind kind_ = Kind::Empty;
    QPixmap pixmap_;  // Bitmap and Other
    QIcon icon_;
    QSize iconSize_;
};

}  // namespace tenmari
