#include "Panel.h"

#include "ControlAccessibility.h"
#include "EdgeDrawing.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace tenmari {
namespace {

// A bevel setting as drawn: none, lowered or raised.
Bevel bevelOf(TPanel::TBevelCut cut) {
    switch (cut) {
    case TPanel::bvNone: return Bevel::None;
    case TPanel::bvLowered: return Bevel::Lowered;
    case TPanel::bvRaised: return Bevel::Raised;
    }
    return Bevel::None;
}

// The window's plain panels that carry a caption (the status line, the
// region caption) are labels named by what they show.
class PanelAccessible final : public CaptionedAccessible {
public:
    explicit PanelAccessible(TPanel* panel) : CaptionedAccessible(panel, QAccessible::StaticText) {}

protected:
    QStringList captionLines() const override { return {static_cast<const TPanel*>(widget())->Caption()}; }
};

int ringsOf(TPanel::TBevelCut cut, int width) { return cut == TPanel::bvNone ? 0 : width; }

}  // namespace

TPanel::TPanel(QWidget* parent) : QWidget(parent) {
    registerAccessible<TPanel, PanelAccessible>();
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
    QRect r = drawBevel(p, rect(), bevelOf(bevelOuter_), bevelWidth_);
    r = drawBevel(p, r, bevelOf(bevelInner_), bevelWidth_);
    if (isInvertedBox(r)) return;
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
