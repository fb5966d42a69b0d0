#include "TrPanel.h"

#include "AnsiText.h"
#include "ControlAccessibility.h"
#include "CursorClip.h"
#include "EdgeDrawing.h"
#include "PaintScale.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace tenmari {
namespace {

// A bevel setting as drawn: a space bevel draws like a raised one.
Bevel bevelOf(TTransPanel::TBevelCut cut) {
    switch (cut) {
    case TTransPanel::bvNone: return Bevel::None;
    case TTransPanel::bvLowered: return Bevel::Lowered;
    case TTransPanel::bvRaised:
    case TTransPanel::bvSpace: return Bevel::Raised;
    }
    return Bevel::None;
}

// A label named by what the panel shows: its lines, or the first line of
// its caption.
class TransPanelAccessible final : public CaptionedAccessible {
public:
    explicit TransPanelAccessible(TTransPanel* panel) : CaptionedAccessible(panel, QAccessible::StaticText) {}

protected:
    QStringList captionLines() const override {
        const auto* panel = static_cast<const TTransPanel*>(widget());
        if (!panel->CaptionLines().isEmpty()) return panel->CaptionLines();
        return {panel->Caption().section(u'\n', 0, 0)};
    }
};

// Tabs become spaces up to the next multiple of eight characters.
QString expandTabs(const QString& text) {
    QString out;
    for (const QChar c : text) {
        if (c == u'\t') {
            out += QString(8 - out.size() % 8, u' ');
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

TTransPanel::TTransPanel(QWidget* parent) : QWidget(parent) {
    registerAccessible<TTransPanel, TransPanelAccessible>();
    // Pointer confinement in force now; like every panel made at run time,
    // this one then frees the pointer (MouseClip false, MouseClipBack false).
    createClipRect_ = cursorClip();
    savedClipRect_ = createClipRect_;
    setFocusPolicy(Qt::NoFocus);
    setAutoFillBackground(false);
    SetColor(clBtnFace);
    resize(185, 41);
    SetTransparent(false);
    SetMouseClip(false);
}

TTransPanel::~TTransPanel() { setCursorClip(mouseClipBack_ ? createClipRect_ : std::nullopt); }

void TTransPanel::SetAlignment(TAlignment value) {
    alignment_ = value;
    update();
}

void TTransPanel::SetBevelOuter(TBevelCut value) {
    bevelOuter_ = value;
    update();
}

void TTransPanel::SetBevelInner(TBevelCut value) {
    bevelInner_ = value;
    update();
}

void TTransPanel::SetBevelWidth(int value) {
    bevelWidth_ = std::max(1, value);
    update();
}

void TTransPanel::SetBorderWidth(int value) {
    borderWidth_ = std::max(0, value);
    update();
}

void TTransPanel::SetBorderStyle(TBorderStyle value) { borderStyle_ = value; }

void TTransPanel::SetShape(TShapeType value) {
    if (shape_ == value) return;
    shape_ = value;
    update();
}

void TTransPanel::SetShapeBrush(const QBrush& value) {
    shapeBrush_ = value;
    StyleChanged();
}

void TTransPanel::SetShapePen(const QPen& value) {
    shapePen_ = value;
    StyleChanged();
}

void TTransPanel::SetShapeBrushColor(TColor value) {
    shapeBrush_.setColor(toQColor(value));
    StyleChanged();
}

void TTransPanel::SetShapeBrushStyle(Qt::BrushStyle value) {
    shapeBrush_.setStyle(value);
    StyleChanged();
}

void TTransPanel::SetShapePenColor(TColor value) {
    shapePen_.setColor(toQColor(value));
    StyleChanged();
}

void TTransPanel::SetShapePenWidth(int value) {
    shapePen_.setWidth(std::max(0, value));
    StyleChanged();
}

void TTransPanel::SetShapePenStyle(Qt::PenStyle value) {
    shapePen_.setStyle(value);
    StyleChanged();
}

void TTransPanel::SetShapeTransparent(bool value) {
    if (shapeTransparent_ == value) return;
    shapeTransparent_ = value;
    update();
}

void TTransPanel::SetShapeRoundSize(int value) {
    value = std::clamp(value, 1, 32);
    if (shapeRoundSize_ == value) return;
    shapeRoundSize_ = value;
    update();
}

void TTransPanel::SetFukidasiType(TFukidasiType value) {
    if (fukidasiType_ == value) return;
    fukidasiType_ = value;
    if (shape_ == stFukidasi) update();
}

void TTransPanel::SetFukidasiPosition(int value) {
    if (fukidasiPosition_ == value) return;
    fukidasiPosition_ = std::max(0, value);
    if ((fukidasiType_ == ftTop || fukidasiType_ == ftBottom) && fukidasiPosition_ > width()) {
        fukidasiPosition_ = width() - 9;
    }
    if (shape_ == stFukidasi) update();
}

void TTransPanel::SetTransparent(bool value) {
    transparent_ = value;
    // Opaque panels cover every pixel, so Qt need not paint the parent below.
    setAttribute(Qt::WA_OpaquePaintEvent, !value);
    update();
}

void TTransPanel::SetMouseClip(bool value) {
    if (value != mouseClip_ && value && mouseClipBack_) savedClipRect_ = cursorClip();
    mouseClip_ = value;
    if (value) {
        setCursorClip(QRect(mapToGlobal(QPoint(0, 0)), size()));
    } else if (mouseClipBack_) {
        setCursorClip(savedClipRect_);
    } else {
        setCursorClip(std::nullopt);
    }
}

void TTransPanel::SetCaption(const QString& value) {
    if (caption_ == value) return;
    caption_ = value;
    notifyAccessibleNameChanged(this);
    update();
}

void TTransPanel::SetCaptionLines(const QStringList& value) {
    captionLines_ = value;
    if (captionLines_.size() == 1 && captionLines_.front().isEmpty()) captionLines_.clear();
    notifyAccessibleNameChanged(this);
    update();
}

void TTransPanel::SetColor(TColor value) {
    color_ = value;
    // Children that follow their parent's colour pick it up from the palette.
    QPalette pal = palette();
    pal.setColor(QPalette::Window, toQColor(value));
    setPalette(pal);
    update();
}

void TTransPanel::StyleChanged() { update(); }

QRect TTransPanel::ShapeBox(TShapeType shape, int penWidth, QSize size) {
    int x = penWidth / 2;
    int y = x;
    int w = size.width() - penWidth + 1;
    int h = size.height() - penWidth + 1;
    if (penWidth == 0) {
        --w;
        --h;
    }
    if (shape == stSquare || shape == stRoundSquare || shape == stCircle) {
        const int s = std::min(w, h);
        x += (w - s) / 2;
        y += (h - s) / 2;
        w = h = s;
    }
    return QRect(x, y, w, h);
}

QPolygon TTransPanel::FukidasiOutline(TFukidasiType type, QSize size, int p) {
    const int w = size.width();
    const int h = size.height();
    switch (type) {
    case ftLeft: return QPolygon({{0, p + 4}, {8, p + 8}, {8, h - 1}, {w - 1, h - 1}, {w - 1, 0}, {8, 0}, {8, p}});
    case ftRight:
        return QPolygon({{w - 1, p + 4}, {w - 8, p + 8}, {w - 8, h - 1}, {0, h - 1}, {0, 0}, {w - 8, 0}, {w - 8, p}});
    case ftTop: return QPolygon({{p + 4, 0}, {p + 8, 8}, {w - 1, 8}, {w - 1, h - 1}, {0, h - 1}, {0, 8}, {p, 8}});
    case ftBottom:
        return QPolygon({{p + 4, h - 1}, {p + 8, h - 8}, {w - 1, h - 8}, {w - 1, 0}, {0, 0}, {0, h - 8}, {p, h - 8}});
    }
    return {};
}

QPoint TTransPanel::captionShift() const {
    if (shape_ != stFukidasi) return {};
    switch (fukidasiType_) {
    case ftLeft: return {4, 0};
    case ftRight: return {-4, 0};
    case ftTop: return {0, 4};
    case ftBottom: return {0, -4};
    }
    return {};
}

QVector<QPoint> TTransPanel::CaptionLinePositions() const {
    QVector<QPoint> out;
    const int n = static_cast<int>(captionLines_.size());
    const int h = std::abs(QFontInfo(font()).pixelSize());
    const int y0 = std::max(0, (height() - n * h) / 2);
    const int m = shape_ != stNone ? shapePen_.width() + 1 : borderWidth_ + 1;
    const QPoint d = captionShift();
    // Widths are estimated at half the pitch per byte, not measured.
    for (int i = 0; i < n; ++i) {
        const int estimated = ansiLength(captionLines_.at(i)) * (h / 2);
        int x = m;
        if (alignment_ == taRightJustify) x = width() - estimated - m;
        if (alignment_ == taCenter) x = (width() - estimated) / 2;
        out.append(QPoint(x + d.x(), y0 + i * h + d.y()));
    }
    return out;
}

void TTransPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QColor color = toQColor(color_);
    QRect r = drawBevel(painter, rect(), bevelOf(bevelOuter_), bevelWidth_);
    r = drawRings(painter, r, color, color, borderWidth_);
    r = drawBevel(painter, r, bevelOf(bevelInner_), bevelWidth_);
    // Bevels and border wider than the panel leave an inverted box, which
    // covers nothing.
    if (!transparent_ && !isInvertedBox(r)) painter.fillRect(r, color);

    painter.setFont(font());
    // One text line centred on what the rings leave, even on an inverted box
    // (which keeps its centre and shows no caption).
    const int t = QFontMetrics(font()).height();
    const int top = (r.bottom() + 1 + r.top() - t) / 2;
    if (shape_ != stNone) paintShape(painter);
    paintCaption(painter, QRect(r.left(), top, r.width(), t));
}

void TTransPanel::paintShape(QPainter& painter) const {
    painter.save();
    painter.setPen(shapePen_);
    // Qt centres a pen on the figure's lines. At one device pixel per pixel
    // an odd-width line still covers the pixels the system pen covers (the
    // line's pixel and those right and below); on a finer device the figure
    // moves half a pixel to cover the same logical pixels.
    if (paintScale(painter) != 1.0 && shapePen_.width() % 2 == 1) painter.translate(0.5, 0.5);
    const QRect box = ShapeBox(shape_, shapePen_.width(), size());
    // The figure spans box with right and bottom exclusive; Qt strokes a
    // rectangle one pixel beyond its size, hence the adjusted rectangle.
    const QRect outline(box.x(), box.y(), box.width() - 1, box.height() - 1);
    const int corner = std::min(box.width(), box.height()) / shapeRoundSize_;
    auto figure = [&] {
        switch (shape_) {
        case stRectangle:
        case stSquare: painter.drawRect(outline); break;
        case stRoundRect:
        case stRoundSquare: painter.drawRoundedRect(outline, corner / 2.0, corner / 2.0); break;
        case stEllipse:
        case stCircle: painter.drawEllipse(outline); break;
        case stFukidasi: painter.drawPolygon(FukidasiOutline(fukidasiType_, size(), fukidasiPosition_)); break;
        case stNone: break;
        }
    };
    if (!shapeTransparent_) {
        painter.setBrush(QBrush(toQColor(color_), Qt::SolidPattern));
        figure();
    }
    painter.setBrush(shapeBrush_);
    figure();
    painter.restore();
}

void TTransPanel::paintCaption(QPainter& painter, const QRect& oneLine) const {
    painter.setPen(palette().color(foregroundRole()));
    // After a solid shape fill the character cells take the brush colour.
    if (shape_ != stNone && shapeBrush_.style() == Qt::SolidPattern) {
        painter.setBackgroundMode(Qt::OpaqueMode);
        painter.setBackground(shapeBrush_.color());
    }
    const QFontMetrics fm(font());
    if (captionLines_.isEmpty()) {
        // Only the first line fits the one-line rectangle. Its baseline comes
        // from the panel's font, so that a fallback font for some characters
        // cannot push the text down and out of the rectangle.
        const QRect r = oneLine.translated(captionShift());
        if (r.width() <= 0) return;  // an inverted rectangle shows nothing
        const QString text = expandTabs(caption_.section(u'\n', 0, 0).remove(u'\r'));
        const int w = fm.horizontalAdvance(text);
        int x = r.left();
        if (alignment_ == taRightJustify) x = r.right() + 1 - w;
        if (alignment_ == taCenter) x = r.left() + (r.width() - w) / 2;
        painter.save();
        painter.setClipRect(r, Qt::IntersectClip);
        painter.drawText(QPoint(x, r.top() + fm.ascent()), text);
        painter.restore();
        return;
    }
    const QVector<QPoint> at = CaptionLinePositions();
    for (qsizetype i = 0; i < at.size(); ++i) {
        painter.drawText(QPoint(at[i].x(), at[i].y() + fm.ascent()), captionLines_.at(i));
    }
}

void TTransPanel::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    // Qt may report a leave while the pointer is still over the panel (over
    // a child, or during a grab); only a pointer outside counts.
    const TShiftState shift = input().shiftState();
    const QPoint at = mapFromGlobal(input().cursorPos());
    if (at.x() < 0 || at.x() >= width() || at.y() < 0 || at.y() >= height()) {
        emit OnMouseLeave(this, shift, at.x(), at.y());
    }
}

void TTransPanel::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange) update();
}

void TTransPanel::mousePressEvent(QMouseEvent* event) { event->accept(); }

void TTransPanel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit OnClick(this);
}

void TTransPanel::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) emit OnDblClick(this);
}

}  // namespace tenmari
