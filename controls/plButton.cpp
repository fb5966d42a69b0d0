#include "plButton.h"

#include "ControlAccessibility.h"
#include "DisabledImage.h"
#include "EdgeDrawing.h"
#include "FocusRect.h"
#include "NearestColor.h"
#include "PaintScale.h"
#include "RoundRect.h"
#include "TransparentBitmap.h"
#include "WindowShape.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QMetaMethod>
#include <QPainter>
#include <QScopedValueRollback>
#include <QTimer>

namespace tenmari {
namespace {

constexpr Qt::KeyboardModifiers kDialogKeyModifiers =
    Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;

// Stores value in field; false when it was already there.
template <typename T>
bool changeTo(T& field, const T& value) {
    if (field == value) return false;
    field = value;
    return true;
}

// The window becoming active again, or a popup menu opening over it and
// closing, leaves the focus where it was: no focus change within the window.
bool movesFocus(Qt::FocusReason reason) {
    return reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason;
}

bool isEnterKey(int key) { return key == Qt::Key_Return || key == Qt::Key_Enter; }

TShiftState shiftOf(Qt::KeyboardModifiers mods, Qt::MouseButtons buttons = {},
                    bool doubleClick = false) {
    TShiftState s;
    if (mods & Qt::ShiftModifier) s |= Shift::ssShift;
    if (mods & Qt::AltModifier) s |= Shift::ssAlt;
    if (mods & Qt::ControlModifier) s |= Shift::ssCtrl;
    if (buttons & Qt::LeftButton) s |= Shift::ssLeft;
    if (buttons & Qt::RightButton) s |= Shift::ssRight;
    if (buttons & Qt::MiddleButton) s |= Shift::ssMiddle;
    if (doubleClick) s |= Shift::ssDouble;
    return s;
}

TShiftState shiftOf(const QMouseEvent* e, bool doubleClick = false) {
    // A press counts its own button as held, a release no longer does.
    return shiftOf(e->modifiers(), e->buttons(), doubleClick);
}

// A push button named by its caption lines, pressed by the reader's press
// action while enabled.
class ButtonAccessible final : public CaptionedAccessible {
public:
    explicit ButtonAccessible(TplButton* button) : CaptionedAccessible(button, QAccessible::Button) {}

    QAccessible::State state() const override {
        QAccessible::State s = CaptionedAccessible::state();
        s.pressed = button()->Pressed();
        return s;
    }

    QStringList actionNames() const override {
        QStringList names = CaptionedAccessible::actionNames();
        if (widget()->isEnabled()) names.prepend(pressAction());
        return names;
    }

    void doAction(const QString& name) override {
        if (name == pressAction()) {
            if (widget()->isEnabled()) button()->Click();
            return;
        }
        CaptionedAccessible::doAction(name);
    }

protected:
    QStringList captionLines() const override {
        return {button()->CaptionA()->Caption(), button()->CaptionB()->Caption()};
    }

private:
    TplButton* button() const { return static_cast<TplButton*>(widget()); }
};

// The characters of a caption, a surrogate pair counting as one.
QStringList characters(const QString& text) {
    QStringList chars;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype len = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        chars << text.mid(i, len);
        i += len;
    }
    return chars;
}

// Sets the window's modal result. A modal dialog closes with a non-zero
// result once the click's handlers are done (they may still reset it).
void setWindowModalResult(QWidget* window, int result) {
    if (auto* dialog = qobject_cast<QDialog*>(window)) {
        dialog->setResult(result);
        if (result != 0 && dialog->isModal()) {
            QTimer::singleShot(0, dialog, [dialog] {
                if (dialog->result() != 0 && dialog->isVisible()) dialog->done(dialog->result());
            });
        }
        return;
    }
    window->setProperty("ModalResult", result);
}

}  // namespace

// Escape goes to the window's cancel button before it is delivered as an
// ordinary key: taken when it arrives at a button (buttons have no use for
// it) or at the window itself, which is where it ends up when the focused
// control and its parents leave it unhandled. Hidden and disabled cancel
// buttons answer too.
class DialogKeyRouter : public QObject {
public:
    using QObject::QObject;

    static void install() {
        static QPointer<DialogKeyRouter> router;
        if (router || !QCoreApplication::instance()) return;
        router = new DialogKeyRouter(QCoreApplication::instance());
        QCoreApplication::instance()->installEventFilter(router);
    }

    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
        auto* key = static_cast<QKeyEvent*>(e);
        if (key->key() != Qt::Key_Escape) return false;
        auto* widget = static_cast<QWidget*>(watched);
        if (!widget->isWindow() && !qobject_cast<TplButton*>(widget)) return false;
        QWidget* window = widget->window();
        const auto buttons = window->findChildren<TplButton*>();
        for (TplButton* button : buttons) {
            if (button->window() == window &&
                button->takesDialogKey(Qt::Key_Escape, key->modifiers())) {
                key->accept();
                button->Click();
                return true;
            }
        }
        return false;
    }
};

// ---------------------------------------------------------------- TplButton

TplButton::TplButton(QWidget* parent) : QWidget(parent) {
    m_captionA = new TplBtnCaption(this);
    m_captionB = new TplBtnCaption(this);
    m_image = new TplBtnImage(this);
    resize(75, 26);
    setFocusPolicy(Qt::TabFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    DialogKeyRouter::install();
    registerAccessible<TplButton, ButtonAccessible>();
    // Qt sets the parent before this body runs; the name is still empty.
    if (parent) givenParent();
}

TplButton::~TplButton() = default;

void TplButton::SetButtonStyle(TplButtonStyle value) {
    m_buttonStyle = value;
    if (isRounded()) {
        applyShape();
    } else if (m_shapeApplied) {
        clearWindowShape(*this);
        m_shapeApplied = false;
    }
    RepaintNow();
}

void TplButton::SetGradation(bool value) {
    if (value == m_gradation) return;
    m_gradation = value;
    if (value) takeOwnColour();
    RepaintNow();
}

void TplButton::SetGradBeginColor(TColor value) {
    if (changeTo(m_gradBeginColor, value)) RepaintNow();
}

void TplButton::SetGradEndColor(TColor value) {
    if (changeTo(m_gradEndColor, value)) RepaintNow();
}

void TplButton::SetHasFocus(bool value) {
    if (changeTo(m_hasFocus, value)) RepaintNow();
}

void TplButton::SetCaptionLineSpace(int value) {
    if (changeTo(m_captionLineSpace, value)) RepaintNow();
}

void TplButton::SetCaptionTop(int value) {
    if (value == m_captionTop) return;
    m_captionTop = value;
    m_captionVertCenter = false;
    RepaintNow();
}

void TplButton::SetCaptionVertCenter(bool value) {
    if (value == m_captionVertCenter) return;
    m_captionVertCenter = value;
    // Switching off keeps the last computed top, so nothing moves.
    if (value) RepaintNow();
}

void TplButton::SetFlatFrameType(TplBtnFrameType value) {
    if (changeTo(m_flatFrameType, value)) RepaintNow();
}

TColor TplButton::Color() const {
    const QWidget* parent = parentWidget();
    if (!m_parentColor || !parent) return m_color;
    const QVariant own = parent->property("Color");
    if (own.isValid() && own.canConvert<uint>()) return own.toUInt();
    return fromQColor(parent->palette().color(parent->backgroundRole()));
}

void TplButton::SetColor(TColor value) {
    if (value == m_color && !m_parentColor) return;
    m_color = value;
    m_parentColor = false;
    update();
}

void TplButton::SetParentColor(bool value) {
    if (value == m_parentColor) return;
    if (value) {
        m_parentColor = true;
    } else {
        takeOwnColour();
    }
    update();
}

void TplButton::takeOwnColour() {
    // The colour taken from the parent stays the button's own.
    m_color = Color();
    m_parentColor = false;
}

void TplButton::SetTabStop(bool value) { setFocusPolicy(value ? Qt::TabFocus : Qt::NoFocus); }

void TplButton::SetCaptionA(const TplBtnCaption& value) {
    m_captionA->Assign(value);
    RepaintNow();
}

void TplButton::SetCaptionB(const TplBtnCaption& value) {
    m_captionB->Assign(value);
    RepaintNow();
}

void TplButton::SetImage(const TplBtnImage& value) {
    m_image->Assign(value);
    RepaintNow();
}

QString TplButton::CaptionAText() const { return m_captionA->Caption(); }
void TplButton::SetCaptionAText(const QString& value) { m_captionA->SetCaption(value); }
TplButton::TplBtnAlignment TplButton::CaptionAAlignment() const { return m_captionA->Alignment(); }
void TplButton::SetCaptionAAlignment(TplBtnAlignment value) { m_captionA->SetAlignment(value); }
int TplButton::CaptionALeft() const { return m_captionA->Left(); }
void TplButton::SetCaptionALeft(int value) { m_captionA->SetLeft(value); }
int TplButton::CaptionARight() const { return m_captionA->Right(); }
void TplButton::SetCaptionARight(int value) { m_captionA->SetRight(value); }
QString TplButton::CaptionBText() const { return m_captionB->Caption(); }
void TplButton::SetCaptionBText(const QString& value) { m_captionB->SetCaption(value); }
TplButton::TplBtnAlignment TplButton::CaptionBAlignment() const { return m_captionB->Alignment(); }
void TplButton::SetCaptionBAlignment(TplBtnAlignment value) { m_captionB->SetAlignment(value); }
int TplButton::CaptionBLeft() const { return m_captionB->Left(); }
void TplButton::SetCaptionBLeft(int value) { m_captionB->SetLeft(value); }
int TplButton::CaptionBRight() const { return m_captionB->Right(); }
void TplButton::SetCaptionBRight(int value) { m_captionB->SetRight(value); }

QPixmap TplButton::ImageBitmap() const {
    const ButtonPicture& pic = m_image->Picture();
    return pic.kind() == ButtonPicture::Kind::Bitmap ? pic.bitmap() : QPixmap();
}
void TplButton::SetImageBitmap(const QPixmap& value) {
    m_image->SetPicture(ButtonPicture::fromBitmap(value));
}
QIcon TplButton::ImageIcon() const {
    const ButtonPicture& pic = m_image->Picture();
    return pic.kind() == ButtonPicture::Kind::Icon ? pic.icon() : QIcon();
}
void TplButton::SetImageIcon(const QIcon& value) {
    m_image->SetPicture(ButtonPicture::fromIcon(value));
}
int TplButton::ImageLeft() const { return m_image->Left(); }
void TplButton::SetImageLeft(int value) { m_image->SetLeft(value); }
int TplButton::ImageTop() const { return m_image->Top(); }
void TplButton::SetImageTop(int value) { m_image->SetTop(value); }
bool TplButton::ImageVisible() const { return m_image->Visible(); }
void TplButton::SetImageVisible(bool value) { m_image->SetVisible(value); }
bool TplButton::ImageTransParent() const { return m_image->TransParent(); }
void TplButton::SetImageTransParent(bool value) { m_image->SetTransParent(value); }
bool TplButton::ImageVertCenter() const { return m_image->VertCenter(); }
void TplButton::SetImageVertCenter(bool value) { m_image->SetVertCenter(value); }
bool TplButton::ImageHorzCenter() const { return m_image->HorzCenter(); }
void TplButton::SetImageHorzCenter(bool value) { m_image->SetHorzCenter(value); }

void TplButton::RepaintNow() {
    if (!m_painting) repaint();
}

bool TplButton::isRounded() const {
    return m_buttonStyle == bsRoundRect || m_buttonStyle == bsRoundRectNoFrame;
}

void TplButton::applyShape() {
    setWindowShape(*this, roundRectRegion(0, 0, width() + 1, height() + 1, CornerSize, CornerSize));
    m_shapeApplied = true;
}

void TplButton::givenParent() {
    if (!parentWidget() || m_captionInitialized) return;
    m_captionInitialized = true;
    m_captionA->SetCaption(objectName());
}

bool TplButton::isFocusedInActiveWindow() const { return hasFocus() && isActiveWindow(); }

bool TplButton::takesDialogKey(int key, Qt::KeyboardModifiers mods) const {
    if ((mods & kDialogKeyModifiers) || !m_hasFocus) return false;
    if (isEnterKey(key)) return isFocusedInActiveWindow();
    return key == Qt::Key_Escape && m_cancel;
}

bool TplButton::hitTest(const QPoint& pos) const {
    return rect().contains(pos) && (mask().isEmpty() || mask().contains(pos));
}

// ------------------------------------------------------------ clicking

void TplButton::Click() {
    m_pressed = false;
    const QPointer<TplButton> self(this);
    QWidget* win = window();
    if (win != this) setWindowModalResult(win, m_modalResult);
    standardClick();
    if (self) update();
}

void TplButton::standardClick() {
    if (isSignalConnected(QMetaMethod::fromSignal(&TplButton::OnClick)) || !m_action) {
        emit OnClick(this);
    } else {
        m_action->trigger();
    }
}

// ------------------------------------------------------------ mouse

bool TplButton::holdsMouse() const {
    return m_heldButtons != Qt::NoButton || input().mouseCapture() == this;
}

void TplButton::pressLeft(QMouseEvent* e, bool doubleClick) {
    m_heldButtons = e->buttons() | e->button();
    if (e->button() == Qt::LeftButton) {
        if (m_hasFocus) setFocus(Qt::MouseFocusReason);
        m_pressed = true;
        m_clickArmed = !doubleClick;
        RepaintNow();
    }
    const QPoint pos = e->position().toPoint();
    emit OnMouseDown(this, e->button(), shiftOf(e, doubleClick), pos.x(), pos.y());
}

void TplButton::mousePressEvent(QMouseEvent* e) { pressLeft(e, false); }

void TplButton::mouseDoubleClickEvent(QMouseEvent* e) {
    // The second press of a double click presses the button but never clicks.
    const QPointer<TplButton> self(this);
    if (e->button() == Qt::LeftButton) emit OnDblClick(this);
    if (self) pressLeft(e, true);
}

void TplButton::mouseReleaseEvent(QMouseEvent* e) {
    m_heldButtons = e->buttons();
    const QPoint pos = e->position().toPoint();
    if (e->button() == Qt::LeftButton) {
        const bool click = m_clickArmed && rect().contains(pos);
        m_clickArmed = false;
        const QPointer<TplButton> self(this);
        if (click) Click();
        if (!self) return;
        m_pressed = false;
        RepaintNow();
    }
    emit OnMouseUp(this, e->button(), shiftOf(e), pos.x(), pos.y());
}

void TplButton::mouseMoveEvent(QMouseEvent* e) {
    // A release the button never saw (another window took the mouse) ends the hold.
    m_heldButtons &= e->buttons();
    const QPoint pos = e->position().toPoint();
    // While a button is held the mouse stays with this widget; the pointer
    // leaving and coming back is seen here.
    const bool inside = hitTest(pos);
    const QPointer<TplButton> self(this);
    if (inside && !m_pointerInside) {
        pointerEntered();
    } else if (!inside && m_pointerInside) {
        pointerLeft();
    }
    if (!self) return;
    emit OnMouseMove(this, shiftOf(e), pos.x(), pos.y());
}

void TplButton::enterEvent(QEnterEvent* e) {
    QWidget::enterEvent(e);
    if (!m_pointerInside) pointerEntered();
}

void TplButton::leaveEvent(QEvent* e) {
    QWidget::leaveEvent(e);
    if (m_pointerInside) pointerLeft();
}

void TplButton::pointerEntered() {
    m_pointerInside = true;
    const QPoint pos = mapFromGlobal(input().cursorPos());
    MouseEnter(input().shiftState(), pos.x(), pos.y());
}

void TplButton::pointerLeft() {
    m_pointerInside = false;
    const QPoint pos = mapFromGlobal(input().cursorPos());
    MouseLeave(input().shiftState(), pos.x(), pos.y());
}

void TplButton::MouseEnter(TShiftState shift, int x, int y) {
    const QPointer<TplButton> self(this);
    emit OnMouseEnter(this, shift, x, y);
    if (self && holdsMouse()) RepaintNow();
}

void TplButton::MouseLeave(TShiftState shift, int x, int y) {
    const QPointer<TplButton> self(this);
    emit OnMouseLeave(this, shift, x, y);
    if (!self) return;
    m_pressed = false;
    RepaintNow();
}

// ------------------------------------------------------------ keyboard

void TplButton::keyPressEvent(QKeyEvent* e) {
    if (isEnterKey(e->key()) && takesDialogKey(e->key(), e->modifiers())) {
        e->accept();
        Click();
        return;
    }
    int key = e->key();
    const QPointer<TplButton> self(this);
    emit OnKeyDown(this, key, shiftOf(e->modifiers()));
    if (!self) return;
    if (isEnabled() && isEnterKey(key)) {
        // Enter that was no dialog key: the click handler alone.
        e->accept();
        standardClick();
        return;
    }
    if (key == 0) {
        e->accept();
        return;
    }
    if (!e->text().isEmpty()) {
        QChar ch = e->text().at(0);
        emit OnKeyPress(this, ch);
    }
    e->ignore();
}

void TplButton::keyReleaseEvent(QKeyEvent* e) {
    if (isEnterKey(e->key())) {
        m_pressed = false;
        update();
    }
    e->ignore();
}

// ------------------------------------------------------------ focus, state

void TplButton::focusInEvent(QFocusEvent* e) {
    if (!m_hasFocus) return;
    if (movesFocus(e->reason())) emit OnEnter(this);
    update();
}

void TplButton::focusOutEvent(QFocusEvent* e) {
    if (!m_hasFocus) return;
    if (movesFocus(e->reason())) emit OnExit(this);
    update();
}

void TplButton::changeEvent(QEvent* e) {
    QWidget::changeEvent(e);
    if (e->type() == QEvent::EnabledChange) {
        update();
    } else if (e->type() == QEvent::PaletteChange && m_parentColor) {
        update();
    }
}

bool TplButton::event(QEvent* e) {
    const bool result = QWidget::event(e);
    if (e->type() == QEvent::ParentChange) {
        givenParent();
        if (m_parentColor) update();
    }
    return result;
}

void TplButton::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    const QPointer<TplButton> self(this);
    emit OnResize(this);
    if (!self) return;
    if (isRounded()) applyShape();
    RepaintNow();
}

void TplButton::hideEvent(QHideEvent* e) {
    // Hiding ends Qt's grab; no release follows.
    m_heldButtons = Qt::NoButton;
    QWidget::hideEvent(e);
}

// ------------------------------------------------------------ painting

void TplButton::paintEvent(QPaintEvent*) {
    if (width() <= 0 || height() <= 0) return;
    if (m_parentColor) {
        QPainter p(this);
        DrawButton(p);
        return;
    }
    // Drawn off screen and copied in one go, so the face never flickers. The
    // buffer has the resolution of what is painted on, so nothing is scaled.
    QPainter p(this);
    const qreal dpr = paintScale(p);
    QPixmap buffer((QSizeF(size()) * dpr).toSize());
    buffer.setDevicePixelRatio(dpr);
    {
        QPainter bp(&buffer);
        DrawButton(bp);
    }
    p.drawPixmap(0, 0, buffer);
}

void TplButton::DrawButton(QPainter& p) {
    const QScopedValueRollback<bool> painting(m_painting, true);
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setBrush(Qt::SolidPattern);

    if (m_gradation) {
        drawGradient(p);
    } else {
        p.fillRect(rect(), toQColor(Color()));
    }
    drawImage(p);

    p.setFont(font());
    const int h = fontMetrics().height();
    const bool hasA = !m_captionA->Caption().isEmpty();
    const bool hasB = !m_captionB->Caption().isEmpty();

    int topA = m_captionTop;
    if (m_captionVertCenter) {
        topA = hasB ? (height() - 2 * h - m_captionLineSpace) / 2 : (height() - h) / 2 + 1;
        m_captionTop = topA;
    }
    drawCaption(p, *m_captionA, topA);

    int topB = 0;
    if (m_captionVertCenter) {
        if (hasA) {
            topB = topA + h + m_captionLineSpace;
        } else {
            topB = (height() - h) / 2;
            m_captionTop = topB;
        }
    } else {
        topB = hasA ? m_captionTop + h + m_captionLineSpace : m_captionTop;
    }
    drawCaption(p, *m_captionB, topB);

    p.setBrush(Qt::NoBrush);
    drawFrame(p);
    if (m_hasFocus && isFocusedInActiveWindow()) drawFocus(p);
    p.restore();
}

void TplButton::drawGradient(QPainter& p) {
    const int w = width();
    if (height() < 1) return;
    const QColor begin = nearestColor(*p.device(), toQColor(m_gradBeginColor));
    // One line per device pixel row: on a high-resolution device the
    // gradient is as fine as the device, its first and last rows still the
    // begin and end colours.
    const qreal scale = paintScale(p);
    const int h = std::max(1, qRound(height() * scale));
    if (h == 1) {
        p.fillRect(QRectF(0, 0, w, 1 / scale), begin);
        return;
    }
    const QColor end = nearestColor(*p.device(), toQColor(m_gradEndColor));
    // 64-bit product: row times channel difference overflows int on the tallest widgets.
    auto channel = [h](int b, int e, int y) {
        return b + static_cast<int>(qint64(y) * (e - b) / (h - 1));
    };
    for (int y = 0; y < h; ++y) {
        p.fillRect(QRectF(0, y / scale, w, 1 / scale),
                   QColor(channel(begin.red(), end.red(), y), channel(begin.green(), end.green(), y),
                          channel(begin.blue(), end.blue(), y)));
    }
}

void TplButton::drawImage(QPainter& p) {
    TplBtnImage& img = *m_image;
    const ButtonPicture& pic = img.m_picture;
    if (!img.m_visible || pic.isEmpty()) return;
    const int off = m_hasFocus && m_pressed ? 1 : 0;
    // Centring writes the computed place back; this paint already uses it.
    const QSize size = pic.size();
    if (img.m_vertCenter) img.m_top = (height() - size.height()) / 2;
    if (img.m_horzCenter) img.m_left = (width() - size.width()) / 2;
    const QPoint at(img.m_left + off, img.m_top + off);
    const bool disabled = disabledLook();

    switch (pic.kind()) {
        case ButtonPicture::Kind::Bitmap:
            if (img.m_transParent) {
                p.drawPixmap(img.m_left, img.m_top, withCornerColourTransparent(pic.bitmap()));
            } else if (disabled) {
                drawDisabledImage(p, at, pic.bitmap().toImage());
            } else {
                p.drawPixmap(at, pic.bitmap());
            }
            break;
        case ButtonPicture::Kind::Icon: {
            const QPixmap icon = pic.iconPixmap(paintScale(p), disabled ? QIcon::Disabled : QIcon::Normal);
            if (disabled) {
                drawDisabledImage(p, at, icon.toImage());
            } else {
                p.drawPixmap(at, icon);
            }
            break;
        }
        case ButtonPicture::Kind::Empty:
        case ButtonPicture::Kind::Other: break;
    }
}

void TplButton::drawCaption(QPainter& p, const TplBtnCaption& caption, int y) {
    const QString text = caption.Caption();
    const QStringList chars = characters(text);
    const int n = static_cast<int>(chars.size());
    if (n == 0) return;

    TplBtnAlignment al = caption.Alignment();
    if (al == taEven && n == 1) al = taCenter;
    int x = 0;
    int avail = 0;
    switch (al) {
        case taEven:
            x = caption.Left() + 2;
            avail = width() - caption.Left() - caption.Right() - 4;
            break;
        case taLeft: x = caption.Left() + 2; break;
        case taRight: x = width() - caption.Right() - 2; break;
        case taCenter: x = width() / 2; break;
    }
    const int off = m_pressed && m_hasFocus ? 1 : 0;
    x += off;
    y += off;

    const QFontMetrics fm = fontMetrics();
    const int textWidth = fm.horizontalAdvance(text);
    int gap = 0;
    int spread = 0;  // pixels left over after the even gaps, handed out one by one
    if (al == taEven) {
        gap = (avail - textWidth) / (n - 1);
        spread = (avail - textWidth) % (n - 1);
    }
    // x is the left edge, centre or right edge of the text by alignment; y
    // is the top of the text cell.
    auto drawLine = [&](int x0, int y0) {
        const int baseline = y0 + fm.ascent();
        if (al != taEven) {
            const int left = al == taCenter ? x0 - textWidth / 2 : al == taRight ? x0 - textWidth : x0;
            p.drawText(QPoint(left, baseline), text);
            return;
        }
        int cx = x0;
        int rem = spread;
        for (const QString& ch : chars) {
            p.drawText(QPoint(cx, baseline), ch);
            cx += fm.horizontalAdvance(ch) + gap;
            if (rem > 0) {
                ++cx;
                --rem;
            } else if (rem < 0) {
                --cx;
                ++rem;
            }
        }
    };

    if (disabledLook()) {
        // Embossed: a highlight copy one pixel right and down, the text in shadow.
        p.setPen(toQColor(clBtnHighlight));
        drawLine(x + 1, y + 1);
        p.setPen(toQColor(clBtnShadow));
    } else {
        // Otherwise always the font colour of an enabled button, never the
        // palette's disabled grey.
        const QPalette::ColorGroup group = isActiveWindow() ? QPalette::Active : QPalette::Inactive;
        p.setPen(palette().color(group, foregroundRole()));
    }
    drawLine(x, y);
}

void TplButton::drawFrame(QPainter& p) {
    const QRect r = rect();
    switch (m_buttonStyle) {
        case bsNormal:
            if (m_pressed) {
                // Two one-pixel outlines, shadow outside and grey inside.
                drawRings(p, drawRings(p, r, toQColor(clBtnShadow), toQColor(clBtnShadow), 1), toQColor(clGray),
                          toQColor(clGray), 1);
            } else {
                drawEdge(p, r, EdgeKind::Raised);
            }
            break;
        case bsFlat:
            switch (m_flatFrameType) {
                case bffFlat: drawFlatFrame(p, r); break;
                case bffEtched: drawEdge(p, r, EdgeKind::Etched); break;
                case bffBump: drawEdge(p, r, EdgeKind::Bump); break;
            }
            break;
        case bsRoundRect:
            drawRoundRectOutline(p, r, CornerSize, CornerSize, toQColor(0x00757575));
            break;
        case bsFlatNoFrame:
        case bsRoundRectNoFrame: break;
    }
}

void TplButton::drawFocus(QPainter& p) {
    if (isRounded()) {
        drawAlternateRoundRectOutline(p, rect().adjusted(2, 2, -2, -2), CornerSize - 2,
                                      CornerSize - 2, toQColor(0x00202020));
        return;
    }
    QRect r = rect().adjusted(3, 3, -3, -3);
    if (m_buttonStyle == bsFlat && m_flatFrameType == bffBump) r.adjust(0, 0, 1, 1);
    if (m_buttonStyle == bsFlat && m_flatFrameType == bffEtched) r.adjust(0, 0, -1, -1);
    drawFocusRect(p, r);
}

// ------------------------------------------------------------ TplBtnCaption

TplBtnCaption::TplBtnCaption(TplButton* button) : QObject(button), m_button(button) {}

void TplBtnCaption::repaintButton() {
    if (m_button) m_button->RepaintNow();
}

void TplBtnCaption::SetCaption(const QString& value) {
    if (!changeTo(m_caption, value)) return;
    if (m_button) notifyAccessibleNameChanged(m_button);
    repaintButton();
}

void TplBtnCaption::SetAlignment(TplButton::TplBtnAlignment value) {
    if (changeTo(m_alignment, value)) repaintButton();
}

void TplBtnCaption::SetLeft(int value) {
    if (changeTo(m_left, value)) repaintButton();
}

void TplBtnCaption::SetRight(int value) {
    if (changeTo(m_right, value)) repaintButton();
}

void TplBtnCaption::Assign(const TplBtnCaption& source) {
    m_alignment = source.m_alignment;
    m_caption = source.m_caption;
    m_left = source.m_left;
    m_right = source.m_right;
    if (m_button) notifyAccessibleNameChanged(m_button);
    repaintButton();
}

// ------------------------------------------------------------ TplBtnImage

TplBtnImage::TplBtnImage(TplButton* button) : QObject(button), m_button(button) {}

void TplBtnImage::repaintButton() {
    if (m_button) m_button->RepaintNow();
}

void TplBtnImage::SetPicture(const ButtonPicture& value) {
    if (&value == &m_picture) return;
    const bool wasDrawable = m_picture.isDrawable();
    m_picture = value.isDrawable() ? value : ButtonPicture();
    // Emptying a shown picture repaints too, so it does not linger on screen.
    if (m_picture.isDrawable() || wasDrawable) repaintButton();
}

void TplBtnImage::SetLeft(int value) {
    if (value == m_left) return;
    m_left = value;
    m_horzCenter = false;
    repaintButton();
}

void TplBtnImage::SetTop(int value) {
    if (value == m_top) return;
    m_top = value;
    m_vertCenter = false;
    repaintButton();
}

void TplBtnImage::SetVisible(bool value) {
    if (changeTo(m_visible, value)) repaintButton();
}

void TplBtnImage::SetTransParent(bool value) {
    if (changeTo(m_transParent, value)) repaintButton();
}

void TplBtnImage::SetVertCenter(bool value) {
    if (changeTo(m_vertCenter, value) && value) repaintButton();
}

void TplBtnImage::SetHorzCenter(bool value) {
    if (changeTo(m_horzCenter, value) && value) repaintButton();
}

void TplBtnImage::Assign(const TplBtnImage& source) {
    m_picture = source.m_picture;
    m_transParent = source.m_transParent;
    m_vertCenter = source.m_vertCenter;
    m_horzCenter = source.m_horzCenter;
    m_top = source.m_top;
    m_left = source.m_left;
    m_visible = source.m_visible;
}

}  // namespace tenmari
