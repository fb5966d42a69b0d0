#include "Panel.h"

#include "ControlAccessibility.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace tenmari {
namespace {

// Draws `rings` one-pixel rings inside r: top and left in `top`, right and
// bottom in `bottom`; r shrinks by the rings on every side.
void frame3D(QPainter& p, QRect& r, const QColor& top, const QColor& bottom, int rings) {
    for (int i = 0; i < rings && r.width() > 0 && r.height() > 0; ++i) {
        p.fillRect(QRect(r.left(), r.top(), r.width() - 1, 1), top);
        p.fillRect(QRect(r.left(), r.top(), 1, r.height() - 1), top);
        p.fillRect(QRect(r.right(), r.top(), 1, r.height()), bottom);
        p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), bottom);
        r.adjust(1, 1, -1, -1);
    }
}

void bevel(QPainter& p, QRect& r, TPanel::TBevelCut cut, int width) {
    if (cut == TPanel::bvNone) return;
    const QColor shadow = toQColor(clBtnShadow);
    const QColor highlight = toQColor(clBtnHighlight);
    if (cut == TPanel::bvLowered) {
        frame3D(p, r, shadow, highlight, width);
    } else {
        frame3D(p, r, highlight, shadow, width);
    }
}

int ringsOf(TPanel::TBevelCut cut, int width) { return cut == TPanel::bvNone ? 0 : width; }

}  // namespace

TPanel::TPanel(QWidget* parent) : QWidget(parent) {
    installControlAccessibility();
    // Children such as buttons with ParentColor take the panel's colour.
    QPalette pal = palette();
    pal.setColor(QPalette::Window, toQColor(color_));
    setPalette(pal);
}

void TPanel::SetColor(TColor value) {
    if (value == color_) return;
    color_ = value;
    QPalette pal = palette();
    pal.setColor(QPalette::Window, toQColor(color_));
    setPalette(pal);
    update();
}

void TPanel::SetBevelOuter(TBevelCut value) {
    if (value == bevelOuter_) return;
    bevelOuter_ = value;
    update();
}

void TPanel::SetBevelInner(TBevelCut value) {
    if (value == bevelInner_) return;
    bevelInner_ = value;
    update();
}

void TPanel::SetBevelWidth(int value) {
    value = std::max(1, value);
    if (value == bevelWidth_) return;
    bevelWidth_ = value;
    update();
}

void TPanel::SetCaption(const QString& value) {
    if (value == caption_) return;
    caption_ = value;
    update();
    // Screen readers hear a new status text or region caption.
    notifyAccessibleNameChanged(this);
}

QRect TPanel::InnerRect() const {
    const int d = ringsOf(bevelOuter_, bevelWidth_) + ringsOf(bevelInner_, bevelWidth_);
    return rect().adjusted(d, d, -d, -d);
}

void TPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QRect r = rect();
    bevel(p, r, bevelOuter_, bevelWidth_);
    bevel(p, r, bevelInner_, bevelWidth_);
    if (r.width() <= 0 || r.height() <= 0) return;
    p.fillRect(r, toQColor(color_));
    if (caption_.isEmpty()) return;
    p.setFont(font());
    p.setPen(palette().color(QPalette::Active, QPalette::WindowText));
    p.drawText(r, Qt::AlignCenter | Qt::TextSingleLine, caption_);
}

void TPanel::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) emit OnDblClick(this);
    QWidget::mouseDoubleClickEvent(event);
}

}  // namespace tenmari
