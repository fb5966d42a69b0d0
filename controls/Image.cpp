#include "Image.h"

#include <QPainter>

namespace tenmari {

TImage::TImage(QWidget* parent) : QWidget(parent) {}

void TImage::SetPicture(const QPixmap& value) {
    if (value.isNull() && picture_.isNull()) return;
    picture_ = value;
    update();
}

void TImage::paintEvent(QPaintEvent*) {
    if (picture_.isNull()) return;
    QPainter p(this);
    p.drawPixmap(0, 0, picture_);
}

}  // namespace tenmari
