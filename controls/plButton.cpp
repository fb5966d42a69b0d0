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

constexpr Qt::KeyboardModifiers kDialogKeyModifiers = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;

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

TShiftState shiftOf(Qt::KeyboardModifiers mods, Qt::MouseButtons buttons = {}, bool doubleClick = false) {
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
            if (button->window() == window && button->takesDialogKey(Qt::Key_Escape, key->modifiers())) {
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
    captionA_ = new TplBtnCaption(this);
    captionB_ = new TplBtnCaption(this);
    image_ = new TplBtnImage(this);
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
    buttonStyle_ = value;
    if (isRounded()) {
        applyShape();
    } else if (shapeApplied_) {
        clearWindowShape(*this);
        shapeApplied_ = false;
    }
    RepaintNow();
}

void TplButton::SetGradation(bool value) {
    if (value == gradation_) return;
    gradation_ = value;
    if (value) takeOwnColour();
    RepaintNow();
}

void TplButton::SetGradBeginColor(TColor value) {
    if (changeTo(gradBeginColor_, value)) RepaintNow();
}

void TplButton::SetGradEndColor(TColor value) {
    if (changeTo(gradEndColor_, value)) RepaintNow();
}

void TplButton::SetHasFocus(bool value) {
    if (changeTo(hasFocus_, value)) RepaintNow();
}

void TplButton::SetCaptionLineSpace(int value) {
    if (changeTo(captionLineSpace_, value)) RepaintNow();
}

void TplButton::SetCaptionTop(int value) {
    if (value == captionTop_) return;
    captionTop_ = value;
    captionVertCenter_ = false;
    RepaintNow();
}

void TplButton::SetCaptionVertCenter(bool value) {
    if (value == captionVertCenter_) return;
    captionVertCenter_ = value;
    // Switching off keeps the last computed top, so nothing moves.
    if (value) RepaintNow();
}

void TplButton::SetFlatFrameType(TplBtnFrameType value) {
    if (changeTo(flatFrameType_, value)) RepaintNow();
}

TColor TplButton::Color() const {
    const QWidget* parent = parentWidget();
    if (!parentColor_ || !parent) return color_;
    const QVariant own = parent->property("Color");
    if (own.isValid() && own.canConvert<uint>()) return own.toUInt();
    return fromQColor(parent->palette().color(parent->backgroundRole()));
}

void TplButton::SetColor(TColor value) {
    if (value == color_ && !parentColor_) return;
    color_ = value;
    parentColor_ = false;
    update();
}

void TplButton::SetParentColor(bool value) {
    if (value == parentColor_) return;
    if (value) {
        parentColor_ = true;
    } else {
        takeOwnColour();
    }
    update();
}

void TplButton::takeOwnColour() {
    // The colour taken from the parent stays the button's own.
    color_ = Color();
    parentColor_ = false;
}

void TplButton::SetTabStop(bool value) { setFocusPolicy(value ? Qt::TabFocus : Qt::NoFocus); }

void TplButton::SetCaptionA(const TplBtnCaption& value) {
    captionA_->Assign(value);
    RepaintNow();
}

void TplButton::SetCaptionB(const TplBtnCaption& value) {
    captionB_->Assign(value);
    RepaintNow();
}

void TplButton::SetImage(const TplBtnImage& value) {
    image_->Assign(value);
    RepaintNow();
}

QString TplButton::CaptionAText() const { return captionA_->Caption(); }
void TplButton::SetCaptionAText(const QString& value) { captionA_->SetCaption(value); }
TplButton::TplBtnAlignment TplButton::CaptionAAlignment() const { return captionA_->Alignment(); }
void TplButton::SetCaptionAAlignment(TplBtnAlignment value) { captionA_->SetAlignment(value); }
int TplButton::CaptionALeft() const { return captionA_->Left(); }
void TplButton::SetCaptionALeft(int value) { captionA_->SetLeft(value); }
int TplButton::CaptionARight() const { return captionA_->Right(); }
void TplButton::SetCaptionARight(int value) { captionA_->SetRight(value); }
QString TplButton::CaptionBText() const { return captionB_->Caption(); }
void TplButton::SetCaptionBText(const QString& value) { captionB_->SetCaption(value); }
TplButton::TplBtnAlignment TplButton::CaptionBAlignment() const { return captionB_->Alignment(); }
void TplButton::SetCaptionBAlignment(TplBtnAlignment value) { captionB_->SetAlignment(value); }
int TplButton::CaptionBLeft() const { return captionB_->Left(); }
void TplButton::SetCaptionBLeft(int value) { captionB_->SetLeft(value); }
int TplButton::CaptionBRight() const { return captionB_->Right(); }
void TplButton::SetCaptionBRight(int value) { captionB_->SetRight(value); }

QPixmap TplButton::ImageBitmap() const {
    const ButtonPicture& pic = image_->Picture();
    return pic.kind() == ButtonPicture::Kind::Bitmap ? pic.bitmap() : QPixmap();
}
void TplButton::SetImageBitmap(const QPixmap& value) { image_->SetPicture(ButtonPicture::fromBitmap(value)); }
QIcon TplButton::ImageIcon() const {
    const ButtonPicture& pic = image_->Picture();
    return pic.kind() == ButtonPicture::Kind::Icon ? pic.icon() : QIcon();
}
void TplButton::SetImageIcon(const QIcon& value) { image_->SetPicture(ButtonPicture::fromIcon(value)); }
int TplButton::ImageLeft() const { return image_->Left(); }
void TplButton::SetImageLeft(int value) { image_->SetLeft(value); }
int TplButton::ImageTop() const { return image_->Top(); }
void TplButton::SetImageTop(int value) { image_->SetTop(value); }
bool TplButton::ImageVisible() const { return image_->Visible(); }
void TplButton::SetImageVisible(bool value) { image_->SetVisible(value); }
bool TplButton::ImageTransParent() const { return image_->TransParent(); }
void TplButton::SetImageTransParent(bool value) { image_->SetTransParent(value); }
bool TplButton::ImageVertCenter() const { return image_->VertCenter(); }
void TplButton::SetImageVertCenter(bool value) { image_->SetVertCenter(value); }
bool TplButton::ImageHorzCenter() const { return image_->HorzCenter(); }
void TplButton::SetImageHorzCenter(bool value) { image_->SetHorzCenter(value); }

void TplButton::RepaintNow() {
    if (!painting_) repaint();
}

bool TplButton::isRounded() const { return buttonStyle_ == bsRoundRect || buttonStyle_ == bsRoundRectNoFrame; }

void TplButton::applyShape() {
    setWindowShape(*this, roundRectRegion(0, 0, width() + 1, height() + 1, CornerSize, CornerSize));
    shapeApplied_ = true;
}

void TplButton::givenParent() {
    if (!parentWidget() || captionInitialized_) return;
    captionInitialized_ = true;
    captionA_->SetCaption(objectName());
}

bool TplButton::isFocusedInActiveWindow() const { return hasFocus() && isActiveWindow(); }

bool TplButton::takesDialogKey(int key, Qt::KeyboardModifiers mods) const {
    if ((mods & kDialogKeyModifiers) || !hasFocus_) return false;
    if (isEnterKey(key)) return isFocusedInActiveWindow();
    return key == Qt::Key_Escape && cancel_;
}

bool TplButton::hitTest(const QPoint& pos) const {
    return rect().contains(pos) && (mask().isEmpty() || mask().contains(pos));
}

// ------------------------------------------------------------ clicking

void TplButton::Click() {
    pressed_ = false;
    const QPointer<TplButton> self(this);
    QWidget* win = window();
    if (win != this) setWindowModalResult(win, modalResult_);
    standardClick();
    if (self) update();
}

void TplButton::standardClick() {
    if (isSignalConnected(QMetaMethod::fromSignal(&TplButton::OnClick)) || !action_) {
        emit OnClick(this);
    } else {
        action_->trigger();
    }
}

// ------------------------------------------------------------ mouse

bool TplButton::holdsMouse() const { return heldButtons_ != Qt::NoButton || input().mouseCapture() == this; }

void TplButton::pressLeft(QMouseEvent* e, bool doubleClick) {
    heldButtons_ = e->buttons() | e->button();
    if (e->button() == Qt::LeftButton) {
        if (hasFocus_) setFocus(Qt::MouseFocusReason);
        pressed_ = true;
        clickArmed_ = !doubleClick;
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
    heldButtons_ = e->buttons();
    const QPoint pos = e->position().toPoint();
    if (e->button() == Qt::LeftButton) {
        const bool click = clickArmed_ && rect().contains(pos);
        clickArmed_ = false;
        const QPointer<TplButton> self(this);
        if (click) Click();
        if (!self) return;
        pressed_ = false;
        RepaintNow();
    }
    emit OnMouseUp(this, e->button(), shiftOf(e), pos.x(), pos.y());
}

void TplButton::mouseMoveEvent(QMouseEvent* e) {
    // A release the button never saw (another window took the mouse) ends the hold.
    heldButtons_ &= e->buttons();
    const QPoint pos = e->position().toPoint();
    // While a button is held the mouse stays with this widget; the pointer
    // leaving and coming back is seen here.
    const bool inside = hitTest(pos);
    const QPointer<TplButton> self(this);
    if (inside && !pointerInside_) {
        pointerEntered();
    } else if (!inside && pointerInside_) {
        pointerLeft();
    }
    if (!self) return;
    emit OnMouseMove(this, shiftOf(e), pos.x(), pos.y());
}

void TplButton::enterEvent(QEnterEvent* e) {
    QWidget::enterEvent(e);
    if (!pointerInside_) pointerEntered();
}

void TplButton::leaveEvent(QEvent* e) {
    QWidget::leaveEvent(e);
    if (pointerInside_) pointerLeft();
}

void TplButton::pointerEntered() {
    pointerInside_ = true;
    const QPoint pos = mapFromGlobal(input().cursorPos());
    MouseEnter(input().shiftState(), pos.x(), pos.y());
}

void TplButton::pointerLeft() {
    pointerInside_ = false;
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
    pressed_ = false;
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
        pressed_ = false;
        update();
    }
    e->ignore();
}

// ------------------------------------------------------------ focus, state

void TplButton::focusInEvent(QFocusEvent* e) {
    if (!hasFocus_) return;
    if (movesFocus(e->reason())) emit OnEnter(this);
    update();
}

void TplButton::focusOutEvent(QFocusEvent* e) {
    if (!hasFocus_) return;
    if (movesFocus(e->reason())) emit OnExit(this);
    update();
}

void TplButton::changeEvent(QEvent* e) {
    QWidget::changeEvent(e);
    if (e->type() == QEvent::EnabledChange) {
        update();
    } else if (e->type() == QEvent::PaletteChange && parentColor_) {
        update();
    }
}

bool TplButton::event(QEvent* e) {
    const bool result = QWidget::event(e);
    if (e->type() == QEvent::ParentChange) {
        givenParent();
        if (parentColor_) update();
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
    heldButtons_ = Qt::NoButton;
    QWidget::hideEvent(e);
}

// ------------------------------------------------------------ painting

void TplButton::paintEvent(QPaintEvent*) {
    if (width() <= 0 || height() <= 0) return;
    if (parentColor_) {
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
    const QScopedValueRollback<bool> painting(painting_, true);
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setBrush(Qt::SolidPattern);

    if (gradation_) {
        drawGradient(p);
    } else {
        p.fillRect(rect(), toQColor(Color()));
    }
    drawImage(p);

    p.setFont(font());
    const int h = fontMetrics().height();
    const bool hasA = !captionA_->Caption().isEmpty();
    const bool hasB = !captionB_->Caption().isEmpty();

    int topA = captionTop_;
    if (captionVertCenter_) {
        topA = hasB ? (height() - 2 * h - captionLineSpace_) / 2 : (height() - h) / 2 + 1;
        // Written back as the design's button does: CaptionTop then reads the centred top it was painted at.
        captionTop_ = topA;
    }
    drawCaption(p, *captionA_, topA);

    int topB = 0;
    if (captionVertCenter_) {
        if (hasA) {
            topB = topA + h + captionLineSpace_;
        } else {
            topB = (height() - h) / 2;
            captionTop_ = topB;
        }
    } else {
        topB = hasA ? captionTop_ + h + captionLineSpace_ : captionTop_;
    }
    drawCaption(p, *captionB_, topB);

    p.setBrush(Qt::NoBrush);
    drawFrame(p);
    if (hasFocus_ && isFocusedInActiveWindow()) drawFocus(p);
    p.restore();
}

void TplButton::drawGradient(QPainter& p) {
    const int w = width();
    if (height() < 1) return;
    const QColor begin = nearestColor(*p.device(), toQColor(gradBeginColor_));
    // One line per device pixel row: on a high-resolution device the
    // gradient is as fine as the device, its first and last rows still the
    // begin and end colours.
    const qreal scale = paintScale(p);
    const int h = std::max(1, qRound(height() * scale));
    if (h == 1) {
        p.fillRect(QRectF(0, 0, w, 1 / scale), begin);
        return;
    }
    const QColor end = nearestColor(*p.device(), toQColor(gradEndColor_));
    // 64-bit product: row times channel difference overflows int on the tallest widgets.
    auto channel = [h](int b, int e, int y) { return b + static_cast<int>(qint64(y) * (e - b) / (h - 1)); };
    for (int y = 0; y < h; ++y) {
        p.fillRect(QRectF(0, y / scale, w, 1 / scale),
                   QColor(channel(begin.red(), end.red(), y), channel(begin.green(), end.green(), y),
                          channel(begin.blue(), end.blue(), y)));
    }
}

void TplButton::drawImage(QPainter& p) {
    TplBtnImage& img = *image_;
    const ButtonPicture& pic = img.picture_;
    if (!img.visible_ || pic.isEmpty()) return;
    const int off = hasFocus_ && pressed_ ? 1 : 0;
    // Centring writes the computed place back; this paint already uses it.
    const QSize size = pic.size();
    if (img.vertCenter_) img.top_ = (height() - size.height()) / 2;
    if (img.horzCenter_) img.left_ = (width() - size.width()) / 2;
    const QPoint at(img.left_ + off, img.top_ + off);
    const bool disabled = disabledLook();

    switch (pic.kind()) {
    case ButtonPicture::Kind::Bitmap:
        if (img.transParent_) {
            p.drawPixmap(img.left_, img.top_, withCornerColourTransparent(pic.bitmap()));
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
    const int off = pressed_ && hasFocus_ ? 1 : 0;
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
    switch (buttonStyle_) {
    case bsNormal:
        if (pressed_) {
            // Two one-pixel outlines, shadow outside and grey inside.
            drawRings(p, drawRings(p, r, toQColor(clBtnShadow), toQColor(clBtnShadow), 1), toQColor(clGray),
                      toQColor(clGray), 1);
        } else {
            drawEdge(p, r, EdgeKind::Raised);
        }
        break;
    case bsFlat:
        switch (flatFrameType_) {
        case bffFlat: drawFlatFrame(p, r); break;
        case bffEtched: drawEdge(p, r, EdgeKind::Etched); break;
        case bffBump: drawEdge(p, r, EdgeKind::Bump); break;
        }
        break;
    case bsRoundRect: drawRoundRectOutline(p, r, CornerSize, CornerSize, toQColor(0x00757575)); break;
    case bsFlatNoFrame:
    case bsRoundRectNoFrame: break;
    }
}

void TplButton::drawFocus(QPainter& p) {
    if (isRounded()) {
        drawAlternateRoundRectOutline(p, rect().adjusted(2, 2, -2, -2), CornerSize - 2, CornerSize - 2,
                                      toQColor(0x00202020));
        return;
    }
    QRect r = rect().adjusted(3, 3, -3, -3);
    if (buttonStyle_ == bsFlat && flatFrameType_ == bffBump) r.adjust(0, 0, 1, 1);
    if (buttonStyle_ == bsFlat && flatFrameType_ == bffEtched) r.adjust(0, 0, -1, -1);
    drawFocusRect(p, r);
}

// ------------------------------------------------------------ TplBtnCaption

TplBtnCaption::TplBtnCaption(TplButton* button) : QObject(button), button_(button) {}

void TplBtnCaption::repaintButton() {
    if (button_) button_->RepaintNow();
}

void TplBtnCaption::SetCaption(const QString& value) {
    if (!changeTo(caption_, value)) return;
    if (button_) notifyAccessibleNameChanged(button_);
    repaintButton();
}

void TplBtnCaption::SetAlignment(TplButton::TplBtnAlignment value) {
    if (changeTo(alignment_, value)) repaintButton();
}

void TplBtnCaption::SetLeft(int value) {
    if (changeTo(left_, value)) repaintButton();
}

void TplBtnCaption::SetRight(int value) {
    if (changeTo(right_, value)) repaintButton();
}

void TplBtnCaption::Assign(const TplBtnCaption& source) {
    alignment_ = source.alignment_;
    caption_ = source.caption_;
    left_ = source.left_;
    right_ = source.right_;
    if (button_) notifyAccessibleNameChanged(button_);
    repaintButton();
}

// ------------------------------------------------------------ TplBtnImage

TplBtnImage::TplBtnImage(TplButton* button) : QObject(button), button_(button) {}

void TplBtnImage::repaintButton() {
    if (button_) button_->RepaintNow();
}

void TplBtnImage::SetPicture(const ButtonPicture& value) {
    if (&value == &picture_) return;
    const bool wasDrawable = picture_.isDrawable();
    picture_ = value.isDrawable() ? value : ButtonPicture();
    // Emptying a shown picture repaints too, so it does not linger on screen.
    if (picture_.isDrawable() || wasDrawable) repaintButton();
}

void TplBtnImage::SetLeft(int value) {
    if (value == left_) return;
    left_ = value;
    horzCenter_ = false;
    repaintButton();
}

void TplBtnImage::SetTop(int value) {
    if (value == top_) return;
    top_ = value;
    vertCenter_ = false;
    repaintButton();
}

void TplBtnImage::SetVisible(bool value) {
    if (changeTo(visible_, value)) repaintButton();
}

void TplBtnImage::SetTransParent(bool value) {
    if (changeTo(transParent_, value)) repaintButton();
}

void TplBtnImage::SetVertCenter(bool value) {
    if (changeTo(vertCenter_, value) && value) repaintButton();
}

void TplBtnImage::SetHorzCenter(bool value) {
    if (changeTo(horzCenter_, value) && value) repaintButton();
}

void TplBtnImage::Assign(const TplBtnImage& source) {
    picture_ = source.picture_;
    transParent_ = source.transParent_;
    vertCenter_ = source.vertCenter_;
    horzCenter_ = source.horzCenter_;
    top_ = source.top_;
    left_ = source.left_;
    visible_ = source.visible_;
}

}  // namespace tenmari
