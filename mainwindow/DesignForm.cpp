#include "DesignForm.h"

#include "Color.h"
#include "Image.h"
#include "plButton.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QGroupBox>
#include <QHash>
#include <QHelpEvent>
#include <QComboBox>
#include <QFontInfo>
#include <QIconEngine>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QPlainTextEdit>
#include <QStyledItemDelegate>
#include <QProxyStyle>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOptionComboBox>
#include <QSvgRenderer>
#include <QToolTip>
#include <QVariant>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>

namespace tenmari {
namespace {

// Rows of a fixed height, as the design's list boxes draw them. A row whose
// text is cut at the list's edge shows the whole entry as its tool tip.
class FixedRowDelegate final : public QStyledItemDelegate {
public:
    FixedRowDelegate(int height, QObject* parent) : QStyledItemDelegate(parent), height_(height) {}
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return {QStyledItemDelegate::sizeHint(option, index).width(), height_};
    }
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override {
        if (event->type() != QEvent::ToolTip || !index.isValid()) {
            return QStyledItemDelegate::helpEvent(event, view, option, index);
        }
        const QString text = index.data(Qt::DisplayRole).toString();
        if (rowIsCut(text, option, view)) {
            // In the list's own font, the window's, not the tips' default.
            QToolTip::setFont(view->font());
            QToolTip::showText(event->globalPos(), text, view->viewport(), option.rect);
            giveTipRoom();
        } else {
            QToolTip::hideText();
        }
        return true;
    }

    // A few pixels of air between the tip's text and its edges, left and right.
    static void giveTipRoom() {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* tip = qobject_cast<QLabel*>(w);
            if (!tip || !tip->inherits("QTipLabel") || !tip->isVisible()) continue;
            tip->setContentsMargins(kTipRoom, 0, kTipRoom, 0);
            tip->resize(tip->sizeHint());
        }
    }
    static constexpr int kTipRoom = 3;

    // Whether the row's text is wider than the room the list gives it.
    static bool rowIsCut(const QString& text, const QStyleOptionViewItem& option, const QAbstractItemView* view) {
        const QStyle* style = view->style();
        QStyleOptionViewItem o = option;
        o.text = text;
        o.features |= QStyleOptionViewItem::HasDisplay;
        const QRect room = style->subElementRect(QStyle::SE_ItemViewItemText, &o, view);
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
        const int visibleRight = std::min(room.right(), view->viewport()->width() - 1);
        return QFontMetrics(option.font).horizontalAdvance(text) + 2 * margin > visibleRight - room.left() + 1;
    }

private:
    int height_;
};

// A disabled gradient button draws every non-white pixel of its picture
// as one embossed silhouette; given the full drawing that is a grey blob.
// This picture keeps only what reads as the drawing's lines: the rim of its
// shape and its dark strokes, in black on white, so the button embosses an
// outline.
QImage iconOutline(const QImage& drawing) {
    const QImage src = drawing.convertToFormat(QImage::Format_ARGB32);
    QImage out(src.size(), QImage::Format_ARGB32);
    out.fill(Qt::transparent);
    const auto opaque = [&src](int x, int y) {
        return x >= 0 && y >= 0 && x < src.width() && y < src.height() && qAlpha(src.pixel(x, y)) >= 128;
    };
    for (int y = 0; y < src.height(); ++y) {
        for (int x = 0; x < src.width(); ++x) {
            if (!opaque(x, y)) continue;
            const QRgb px = src.pixel(x, y);
            const bool rim = !opaque(x - 1, y) || !opaque(x + 1, y) || !opaque(x, y - 1) || !opaque(x, y + 1);
            const bool dark = qGray(px) < 80;
            out.setPixel(x, y, rim || dark ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
        }
    }
    return out;
}

// An icon drawn from its SVG at whatever device size it is asked for, so it
// is sharp on every screen; its sizes are the design's. The drawing keeps a
// margin of 3/32 of the cell on every side, so that a picture never touches
// the caption beside it. The disabled picture is the drawing's outline (see
// iconOutline). Each size and mode is drawn once: buttons ask for their
// picture at every paint.
class SvgIconEngine final : public QIconEngine {
public:
    SvgIconEngine(std::shared_ptr<QSvgRenderer> svg, QList<QSize> sizes, IconCell cell)
        : svg_(std::move(svg)), sizes_(std::move(sizes)), cell_(cell) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
        painter->drawPixmap(rect, pixmap(rect.size() * painter->device()->devicePixelRatioF(), mode, state));
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override {
        const bool outline = mode == QIcon::Disabled;
        for (const Drawn& d : drawn_) {
            if (d.outline == outline && d.pixmap.size() == size) return d.pixmap;
        }
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter p(&image);
        const QMargins margins = cell_ == IconCell::WithMargin ? iconMargins(size) : QMargins();
        svg_->render(&p, QRectF(QRect(QPoint(0, 0), size).marginsRemoved(margins)));
        p.end();
        drawn_.append({outline ? iconOutline(image) : image, outline});
        return drawn_.last().pixmap;
    }
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override { return sizes_; }
    QIconEngine* clone() const override {
        auto* copy = new SvgIconEngine(svg_, sizes_, cell_);
        copy->drawn_ = drawn_;
        return copy;
    }

private:
    struct Drawn {
        Drawn(const QImage& image, bool o) : pixmap(QPixmap::fromImage(image)), outline(o) {}
        QPixmap pixmap;
        bool outline;
    };
    std::shared_ptr<QSvgRenderer> svg_;  // parsed once, shared by every icon of the file
    QList<QSize> sizes_;
    IconCell cell_;
    QList<Drawn> drawn_;  // the sizes drawn so far, in device pixels
};

// The parsed drawing of an SVG file, read once for every icon and size drawn
// from it: parsing a picture costs more than drawing it at one size.
std::shared_ptr<QSvgRenderer> parsedSvg(const QString& path) {
    static QHash<QString, std::shared_ptr<QSvgRenderer>> parsed;
    auto it = parsed.constFind(path);
    if (it == parsed.cend()) it = parsed.insert(path, std::make_shared<QSvgRenderer>(path));
    return it.value();
}

// "name:32,48" to the name and its square sizes.
bool parseIconDesign(const QString& design, QString& name, QList<QSize>& sizes) {
    const qsizetype colon = design.indexOf(u':');
    if (colon <= 0) return false;
    name = design.left(colon);
    for (const QString& s : design.mid(colon + 1).split(u',', Qt::SkipEmptyParts)) {
        bool ok = false;
        const int n = s.trimmed().toInt(&ok);
        if (ok && n > 0) sizes.append(QSize(n, n));
    }
    return !sizes.isEmpty();
}

void applyFont(QWidget* w) {
    const QVariant height = w->property("fontHeight");
    const QVariant bold = w->property("fontBold");
    const QFont& windowFont = w->window()->font();
    if (!height.isValid() && !bold.isValid()) {
        // An inherited font that lost the window's family (inside a container
        // with a style sheet) gets it back; others keep inheriting.
        if (QFontInfo(w->font()).family() == QFontInfo(windowFont).family()) return;
    }
    QFont f = w->font();
    if (height.isValid()) f.setPixelSize(height.toInt());
    if (bold.isValid()) f.setBold(bold.toBool());
    // The family named outright: inside a container with a style sheet the
    // copied font would otherwise resolve to the system's fallback fonts.
    f.setFamilies(windowFont.families());
    w->setFont(f);
}

// A colour the design sets as a property of its own (fontColor, designColor),
// written as the controls' colours are: "0x00BBGGRR".
std::optional<TColor> dynamicColour(const QWidget* w, const char* name) {
    const QVariant v = w->property(name);
    if (!v.isValid()) return std::nullopt;
    return tenmari::designColour(w, name, v.toString());
}

void applyColours(QWidget* w) {
    const std::optional<TColor> fontColor = dynamicColour(w, "fontColor");
    const std::optional<TColor> designColor = dynamicColour(w, "designColor");
    if (!fontColor && !designColor) return;
    QPalette pal = w->palette();
    if (fontColor) {
        const QColor c = toQColor(*fontColor);
        pal.setColor(QPalette::WindowText, c);
        pal.setColor(QPalette::Text, c);
        pal.setColor(QPalette::ButtonText, c);
    }
    if (designColor) pal.setColor(QPalette::Base, toQColor(*designColor));
    w->setPalette(pal);
}

void applyIcon(QWidget* w) {
    QString name;
    QList<QSize> sizes;
    if (!parseIconDesign(w->property("designIcon").toString(), name, sizes)) return;
    if (auto* button = qobject_cast<TplButton*>(w)) {
        button->SetImageIcon(designIcon(name, sizes));
    } else if (auto* image = qobject_cast<TImage*>(w)) {
        image->SetPicture(
            designIcon(name, sizes, IconCell::EdgeToEdge).pixmap(sizes.first(), image->devicePixelRatioF()));
    }
}

// Group boxes are framed by the classic etched line: shadow grey outside,
// white inside, whatever the style's own frame colours.
void applyEtchedFrame(QWidget* w) {
    if (!qobject_cast<QGroupBox*>(w)) return;
    QPalette pal = w->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(group, QPalette::Dark, toQColor(clBtnShadow));
        pal.setColor(group, QPalette::Mid, toQColor(clBtnShadow));
        pal.setColor(group, QPalette::Light, toQColor(clBtnHighlight));
    }
    w->setPalette(pal);
}

// A drop-down list whose closed field is painted in its own colour (the
// classic style paints it in the button face) while the arrow button keeps
// the style's look.
class FieldColourStyle final : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    void drawComplexControl(ComplexControl cc, const QStyleOptionComplex* opt, QPainter* p,
                            const QWidget* w) const override {
        const auto* box = qstyleoption_cast<const QStyleOptionComboBox*>(opt);
        if (cc != CC_ComboBox || !box || box->editable) {
            QProxyStyle::drawComplexControl(cc, opt, p, w);
            return;
        }
        QStyleOptionComboBox field = *box;
        field.palette = fieldPalette(box->palette);
        field.subControls &= ~SC_ComboBoxArrow;
        QProxyStyle::drawComplexControl(cc, &field, p, w);
        if (box->subControls & SC_ComboBoxArrow) {
            QStyleOptionComboBox arrow = *box;
            arrow.subControls = SC_ComboBoxArrow;
            QProxyStyle::drawComplexControl(cc, &arrow, p, w);
        }
    }

private:
    // The field's palette is made once for each palette of the list and then
    // reused: the style keeps its drawings in the pixmap cache under the
    // palette's cache key, and a palette changed anew at every paint would
    // store another copy of the same field at every repaint, without end.
    const QPalette& fieldPalette(const QPalette& list) const {
        if (list.cacheKey() != fieldFrom_) {
            field_ = list;
            field_.setBrush(QPalette::Button, list.base());
            fieldFrom_ = list.cacheKey();
        }
        return field_;
    }

    mutable QPalette field_;
    mutable qint64 fieldFrom_ = 0;
};

// A drop-down list shows its design colour in the closed field and in the
// open list (the popup is a window of its own and would take the
// application's white).
void applyDropDownColours(QWidget* w) {
    auto* combo = qobject_cast<QComboBox*>(w);
    if (!combo) return;
    auto* style = new FieldColourStyle(QStyleFactory::create(QApplication::style()->name()));
    style->setParent(combo);
    combo->setStyle(style);
    QPalette pal = combo->view()->palette();
    pal.setColor(QPalette::Base, combo->palette().color(QPalette::Base));
    pal.setColor(QPalette::Text, combo->palette().color(QPalette::Text));
    combo->view()->setPalette(pal);
}

void applyItemHeight(QWidget* w) {
    const QVariant height = w->property("itemHeight");
    if (!height.isValid()) return;
    QAbstractItemView* view = qobject_cast<QAbstractItemView*>(w);
    if (auto* combo = qobject_cast<QComboBox*>(w)) view = combo->view();
    if (view) view->setItemDelegate(new FixedRowDelegate(height.toInt(), view));
}

// A label whose text is wider in this font than the design's label: its
// characters stand closer until it fits, so nothing is cut off (the colon
// of "住　所：", the closing bracket of the pair around the result options,
// laid out with spaces narrower than this font's full-width space).
void fitToWidth(QLabel* label) {
    QFont f = label->font();
    const QString text = label->text();
    const int excess = QFontMetrics(f).horizontalAdvance(text) - label->width();
    if (excess <= 0 || text.isEmpty()) return;
    f.setLetterSpacing(QFont::AbsoluteSpacing,
                       -std::ceil(static_cast<qreal>(excess) / static_cast<qreal>(text.size())));
    label->setFont(f);
}

// A centred button caption wider in this font than its button allows (a
// pixel of air inside the 2-pixel raised edge on each side): its characters
// stand closer until it fits, as a label's do.
void fitCaptionToWidth(TplButton* button) {
    QFont f = button->font();
    const int room = button->width() - 6;
    qreal spacing = 0;
    for (const TplBtnCaption* c : {button->CaptionA(), button->CaptionB()}) {
        const QString text = c->Caption();
        if (text.isEmpty() || c->Alignment() != TplButton::taCenter) continue;
        const int excess = QFontMetrics(f).horizontalAdvance(text) - room;
        if (excess > 0) {
            spacing = std::min(spacing, -std::ceil(static_cast<qreal>(excess) / static_cast<qreal>(text.size())));
        }
    }
    if (spacing == 0) return;
    f.setLetterSpacing(QFont::AbsoluteSpacing, spacing);
    button->setFont(f);
}

// The children of a disabled container draw as if enabled.
void keepEnabledLook(QWidget* container) {
    for (QWidget* w : container->findChildren<QWidget*>()) {
        QPalette pal = w->palette();
        for (int r = 0; r < QPalette::NColorRoles; ++r) {
            const auto role = static_cast<QPalette::ColorRole>(r);
            pal.setColor(QPalette::Disabled, role, pal.color(QPalette::Active, role));
        }
        w->setPalette(pal);
    }
}

void applyTo(QWidget* w) {
    applyFont(w);
    applyColours(w);
    applyIcon(w);
    applyItemHeight(w);
    applyEtchedFrame(w);
    applyDropDownColours(w);
    if (auto* label = qobject_cast<QLabel*>(w)) fitToWidth(label);
    if (auto* button = qobject_cast<TplButton*>(w)) fitCaptionToWidth(button);
    if (w->property("inputMethodOff").toBool()) {
        w->setAttribute(Qt::WA_InputMethodEnabled, false);
        w->setInputMethodHints(Qt::ImhLatinOnly | Qt::ImhPreferNumbers);
    }
}

}  // namespace

QMargins iconMargins(const QSize& cell) {
    const int h = (cell.width() * 3 + 16) / 32;
    const int v = (cell.height() * 3 + 16) / 32;
    return {h, v, h, v};
}

QIcon designIcon(const QString& name, const QList<QSize>& sizes, IconCell cell) {
    const QString path = QStringLiteral(":/icons/%1.svg").arg(name);
    std::shared_ptr<QSvgRenderer> svg = parsedSvg(path);
    if (!svg->isValid()) return {};
    return QIcon(new SvgIconEngine(std::move(svg), sizes, cell));
}

void applyDesign(QWidget* root) {
    // Parents first, so children inherit their fonts and palettes.
    applyTo(root);
    for (QWidget* w : root->findChildren<QWidget*>()) applyTo(w);
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (w->testAttribute(Qt::WA_ForceDisabled)) keepEnabledLook(w);
    }
}

}  // namespace tenmari
