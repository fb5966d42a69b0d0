#include "DesignForm.h"

#include "Color.h"
#include "Image.h"
#include "plButton.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QIconEngine>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QPlainTextEdit>
#include <QStyledItemDelegate>
#include <QSvgRenderer>
#include <QVariant>
#include <QWidget>

#include <cmath>
#include <optional>

namespace tenmari {
namespace {

// Rows of a fixed height, as the design's list boxes draw them.
class FixedRowDelegate final : public QStyledItemDelegate {
public:
    FixedRowDelegate(int height, QObject* parent) : QStyledItemDelegate(parent), height_(height) {}
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return {QStyledItemDelegate::sizeHint(option, index).width(), height_};
    }

private:
    int height_;
};

// An icon drawn from its SVG at whatever device size it is asked for, so it
// is sharp on every screen; its sizes are the design's. Each size is drawn
// once: buttons ask for their picture at every paint.
class SvgIconEngine final : public QIconEngine {
public:
    SvgIconEngine(QString path, QList<QSize> sizes) : path_(std::move(path)), sizes_(std::move(sizes)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
        painter->drawPixmap(rect, pixmap(rect.size() * painter->device()->devicePixelRatioF(), mode, state));
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode, QIcon::State) override {
        for (const QPixmap& p : drawn_) {
            if (p.size() == size) return p;
        }
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter p(&image);
        QSvgRenderer svg(path_);
        svg.render(&p, QRectF(QPointF(0, 0), QSizeF(size)));
        p.end();
        drawn_.append(QPixmap::fromImage(image));
        return drawn_.last();
    }
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override { return sizes_; }
    QIconEngine* clone() const override {
        auto* copy = new SvgIconEngine(path_, sizes_);
        copy->drawn_ = drawn_;
        return copy;
    }

private:
    QString path_;
    QList<QSize> sizes_;
    QList<QPixmap> drawn_;  // the sizes drawn so far, in device pixels
};

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
    if (!height.isValid() && !bold.isValid()) return;
    QFont f = w->font();
    if (height.isValid()) f.setPixelSize(height.toInt());
    if (bold.isValid()) f.setBold(bold.toBool());
    w->setFont(f);
}

// A colour of the design as its text writes it, "0x00BBGGRR" (a system
// colour with 0xFF in the top byte). Anything else is a fault of the design:
// said once on the console and left out, so the widget keeps its own colour.
std::optional<TColor> designColour(const QWidget* w, const char* name) {
    const QVariant v = w->property(name);
    if (!v.isValid()) return std::nullopt;
    const QString text = v.toString().trimmed();
    bool ok = false;
    TColor c = 0;
    if (text.size() == 10 && text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        c = text.mid(2).toUInt(&ok, 16);
    if (!ok) {
        qWarning("%s.%s: \"%s\" is not a colour (0x00BBGGRR)", qPrintable(w->objectName()), name, qPrintable(text));
        return std::nullopt;
    }
    return c;
}

void applyColours(QWidget* w) {
    const std::optional<TColor> fontColor = designColour(w, "fontColor");
    const std::optional<TColor> designColor = designColour(w, "designColor");
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
    const QIcon icon = designIcon(name, sizes);
    if (auto* button = qobject_cast<TplButton*>(w)) {
        button->SetImageIcon(icon);
    } else if (auto* image = qobject_cast<TImage*>(w)) {
        image->SetPicture(icon.pixmap(sizes.first(), image->devicePixelRatioF()));
    }
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
    f.setLetterSpacing(QFont::AbsoluteSpacing, -std::ceil(static_cast<qreal>(excess) / static_cast<qreal>(text.size())));
    label->setFont(f);
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
    if (auto* label = qobject_cast<QLabel*>(w)) fitToWidth(label);
    if (w->property("inputMethodOff").toBool()) {
        w->setAttribute(Qt::WA_InputMethodEnabled, false);
        w->setInputMethodHints(Qt::ImhLatinOnly | Qt::ImhPreferNumbers);
    }
}

}  // namespace

QIcon designIcon(const QString& name, const QList<QSize>& sizes) {
    const QString path = QStringLiteral(":/icons/%1.svg").arg(name);
    if (!QSvgRenderer(path).isValid()) return {};
    return QIcon(new SvgIconEngine(path, sizes));
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
