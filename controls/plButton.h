#pragma once
// TplButton: the program's own push button. It paints every pixel itself: a
// vertical two-colour gradient (or a solid colour), an optional bitmap or
// icon, up to two independently aligned caption lines, a frame chosen by the
// style and a focus indicator. It can hold child widgets (the title band puts
// its labels on one), clicks by mouse, Enter and Escape, and reports the
// pointer coming over it and leaving it.
//
// The caption lines and the picture settings are sub-objects (CaptionA,
// CaptionB, Image), as in code: button->CaptionA()->SetCaption(...).
// Qt Designer cannot edit properties of sub-objects, so every design-time
// setting of them is also a flat property of the button, named after the
// sub-object and its setting: CaptionAText, CaptionAAlignment, CaptionALeft,
// CaptionARight, the same for CaptionB, and ImageLeft, ImageTop,
// ImageVisible, ImageTransParent, ImageVertCenter, ImageHorzCenter,
// ImageBitmap, ImageIcon. They read and write the sub-objects. Properties are
// declared in the order a form must apply them: a top or left before its
// centring switch (ImageTop before ImageVertCenter, CaptionTop before
// CaptionVertCenter), since storing a top switches centring off.
//
// uic applies a property P of a .ui file by calling setP(), which each design
// property provides (DesignProperty.h). Colours are 0x00BBGGRR (see
// Color.h), in a form file the text "0x00BBGGRR". The caption font is the
// widget's font and its colour the palette's foreground (window text) colour.

#include "ButtonPicture.h"
#include "Color.h"
#include "DesignProperty.h"
#include "InputState.h"

#include <QPointer>
#include <QRegion>
#include <QWidget>

class QAction;

namespace tenmari {

class TplBtnCaption;
class TplBtnImage;

class TplButton : public QWidget {
    Q_OBJECT

public:
    enum TplButtonStyle { bsNormal, bsFlat, bsFlatNoFrame, bsRoundRect, bsRoundRectNoFrame };
    Q_ENUM(TplButtonStyle)
    enum TplBtnAlignment { taCenter, taLeft, taRight, taEven };
    Q_ENUM(TplBtnAlignment)
    enum TplBtnFrameType { bffFlat, bffEtched, bffBump };
    Q_ENUM(TplBtnFrameType)

    // Design settings (see the header comment).
    TENMARI_DESIGN_PROPERTY(TplButtonStyle, ButtonStyle)
    TENMARI_DESIGN_PROPERTY(bool, Cancel)
    TENMARI_DESIGN_PROPERTY(bool, Gradation)
    TENMARI_DESIGN_COLOUR(GradBeginColor)
    TENMARI_DESIGN_COLOUR(GradEndColor)
    TENMARI_DESIGN_PROPERTY(bool, HasFocus)
    TENMARI_DESIGN_PROPERTY(int, ModalResult)
    TENMARI_DESIGN_PROPERTY(int, CaptionLineSpace)
    TENMARI_DESIGN_PROPERTY(int, CaptionTop)
    TENMARI_DESIGN_PROPERTY(bool, CaptionVertCenter)
    TENMARI_DESIGN_PROPERTY(TplBtnFrameType, FlatFrameType)
    TENMARI_DESIGN_COLOUR(Color)
    TENMARI_DESIGN_PROPERTY(bool, ParentColor)
    TENMARI_DESIGN_PROPERTY(bool, TabStop)

    TENMARI_DESIGN_PROPERTY(QString, CaptionAText)
    TENMARI_DESIGN_PROPERTY(TplBtnAlignment, CaptionAAlignment)
    TENMARI_DESIGN_PROPERTY(int, CaptionALeft)
    TENMARI_DESIGN_PROPERTY(int, CaptionARight)
    TENMARI_DESIGN_PROPERTY(QString, CaptionBText)
    TENMARI_DESIGN_PROPERTY(TplBtnAlignment, CaptionBAlignment)
    TENMARI_DESIGN_PROPERTY(int, CaptionBLeft)
    TENMARI_DESIGN_PROPERTY(int, CaptionBRight)

    TENMARI_DESIGN_PROPERTY(QPixmap, ImageBitmap)
    TENMARI_DESIGN_PROPERTY(QIcon, ImageIcon)
    TENMARI_DESIGN_PROPERTY(int, ImageLeft)
    TENMARI_DESIGN_PROPERTY(int, ImageTop)
    TENMARI_DESIGN_PROPERTY(bool, ImageVisible)
    TENMARI_DESIGN_PROPERTY(bool, ImageTransParent)
    TENMARI_DESIGN_PROPERTY(bool, ImageVertCenter)
    TENMARI_DESIGN_PROPERTY(bool, ImageHorzCenter)

    // The sub-objects themselves, for code and for QObject::property().
    Q_PROPERTY(tenmari::TplBtnCaption* CaptionA READ CaptionA)
    Q_PROPERTY(tenmari::TplBtnCaption* CaptionB READ CaptionB)
    Q_PROPERTY(tenmari::TplBtnImage* Image READ Image)

public:
    static constexpr int CornerSize = 10;  // corner ellipse of the rounded styles

    explicit TplButton(QWidget* parent = nullptr);
    ~TplButton() override;

    TplButtonStyle ButtonStyle() const { return buttonStyle_; }
    void SetButtonStyle(TplButtonStyle value);
    bool Cancel() const { return cancel_; }
    void SetCancel(bool value) { cancel_ = value; }
    bool Gradation() const { return gradation_; }
    void SetGradation(bool value);
    TColor GradBeginColor() const { return gradBeginColor_; }
    void SetGradBeginColor(TColor value);
    TColor GradEndColor() const { return gradEndColor_; }
    void SetGradEndColor(TColor value);
    bool HasFocus() const { return hasFocus_; }
    void SetHasFocus(bool value);
    int ModalResult() const { return modalResult_; }
    void SetModalResult(int value) { modalResult_ = value; }
    int CaptionLineSpace() const { return captionLineSpace_; }
    void SetCaptionLineSpace(int value);
    int CaptionTop() const { return captionTop_; }
    void SetCaptionTop(int value);
    bool CaptionVertCenter() const { return captionVertCenter_; }
    void SetCaptionVertCenter(bool value);
    TplBtnFrameType FlatFrameType() const { return flatFrameType_; }
    void SetFlatFrameType(TplBtnFrameType value);
    // The face colour without gradation; the parent's colour while
    // ParentColor is on. Assigning a colour switches ParentColor off.
    TColor Color() const;
    void SetColor(TColor value);
    bool ParentColor() const { return parentColor_; }
    void SetParentColor(bool value);
    // Whether the Tab key stops on the button (its focus policy).
    bool TabStop() const { return focusPolicy() != Qt::NoFocus; }
    void SetTabStop(bool value);
    // Run by a full click when no OnClick handler is connected.
    QAction* Action() const { return action_; }
    void SetAction(QAction* action) { action_ = action; }

    TplBtnCaption* CaptionA() const { return captionA_; }
    TplBtnCaption* CaptionB() const { return captionB_; }
    TplBtnImage* Image() const { return image_; }
    // Copy the settings of the given object into the button's own, then
    // repaint at once.
    void SetCaptionA(const TplBtnCaption& value);
    void SetCaptionB(const TplBtnCaption& value);
    void SetImage(const TplBtnImage& value);

    QString CaptionAText() const;
    void SetCaptionAText(const QString& value);
    TplBtnAlignment CaptionAAlignment() const;
    void SetCaptionAAlignment(TplBtnAlignment value);
    int CaptionALeft() const;
    void SetCaptionALeft(int value);
    int CaptionARight() const;
    void SetCaptionARight(int value);
    QString CaptionBText() const;
    void SetCaptionBText(const QString& value);
    TplBtnAlignment CaptionBAlignment() const;
    void SetCaptionBAlignment(TplBtnAlignment value);
    int CaptionBLeft() const;
    void SetCaptionBLeft(int value);
    int CaptionBRight() const;
    void SetCaptionBRight(int value);
    QPixmap ImageBitmap() const;
    void SetImageBitmap(const QPixmap& value);
    QIcon ImageIcon() const;
    void SetImageIcon(const QIcon& value);
    int ImageLeft() const;
    void SetImageLeft(int value);
    int ImageTop() const;
    void SetImageTop(int value);
    bool ImageVisible() const;
    void SetImageVisible(bool value);
    bool ImageTransParent() const;
    void SetImageTransParent(bool value);
    bool ImageVertCenter() const;
    void SetImageVertCenter(bool value);
    bool ImageHorzCenter() const;
    void SetImageHorzCenter(bool value);

    // The left mouse button went down on the button and was neither
    // released nor cancelled yet.
    bool Pressed() const { return pressed_; }

    // The full click: released state, the window's modal result, then
    // OnClick (or the action), then a repaint request.
    virtual void Click();

    // Draws the whole face with the painter (the steps of one paint).
    void DrawButton(QPainter& p);

    // Immediate repaint; inside a paint of this button it does nothing.
    void RepaintNow();

signals:
    // Every handler gets the button first. Positions are client pixels.
    void OnClick(QObject* sender);
    void OnDblClick(QObject* sender);
    void OnEnter(QObject* sender);
    void OnExit(QObject* sender);
    void OnMouseEnter(QObject* sender, tenmari::TShiftState shift, int x, int y);
    void OnMouseLeave(QObject* sender, tenmari::TShiftState shift, int x, int y);
    void OnMouseDown(QObject* sender, Qt::MouseButton button, tenmari::TShiftState shift, int x, int y);
    void OnMouseUp(QObject* sender, Qt::MouseButton button, tenmari::TShiftState shift, int x, int y);
    void OnMouseMove(QObject* sender, tenmari::TShiftState shift, int x, int y);
    // A handler may set key to 0 to keep the button from acting on it.
    void OnKeyDown(QObject* sender, int& key, tenmari::TShiftState shift);
    void OnKeyPress(QObject* sender, QChar& key);
    void OnResize(QObject* sender);

protected:
    // Fire OnMouseEnter / OnMouseLeave; overridable.
    virtual void MouseEnter(TShiftState shift, int x, int y);
    virtual void MouseLeave(TShiftState shift, int x, int y);

    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void changeEvent(QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void hideEvent(QHideEvent* e) override;

private:
    friend class TplBtnCaption;
    friend class TplBtnImage;
    friend class DialogKeyRouter;

    bool isRounded() const;
    // Enabled as the button's own setting: a button in a disabled parent
    // keeps the look of an enabled one.
    bool ownEnabled() const { return !testAttribute(Qt::WA_ForceDisabled); }
    bool disabledLook() const { return !ownEnabled() && hasFocus_; }
    void takeOwnColour();
    void applyShape();
    void givenParent();
    // Whether Enter or Escape, pressed with these modifiers, clicks the button.
    bool takesDialogKey(int key, Qt::KeyboardModifiers mods) const;
    bool isFocusedInActiveWindow() const;
    bool hitTest(const QPoint& pos) const;
    void pointerEntered();
    void pointerLeft();
    void standardClick();
    void pressLeft(QMouseEvent* e, bool doubleClick);
    bool holdsMouse() const;

    void drawGradient(QPainter& p);
    void drawImage(QPainter& p);
    void drawCaption(QPainter& p, const TplBtnCaption& caption, int y);
    void drawFrame(QPainter& p);
    void drawFocus(QPainter& p);

    TplButtonStyle buttonStyle_ = bsNormal;
    bool cancel_ = false;
    bool gradation_ = true;
    TColor gradBeginColor_ = 0x00FFFFFF;
    TColor gradEndColor_ = 0x00C0C0C0;
    bool hasFocus_ = true;
    int modalResult_ = 0;
    int captionLineSpace_ = 4;
    int captionTop_ = 0;
    bool captionVertCenter_ = true;
    TplBtnFrameType flatFrameType_ = bffFlat;
    TColor color_ = clBtnFace;
    bool parentColor_ = false;
    QPointer<QAction> action_;

    TplBtnCaption* captionA_ = nullptr;
    TplBtnCaption* captionB_ = nullptr;
    TplBtnImage* image_ = nullptr;

    bool pressed_ = false;
    bool shapeApplied_ = false;
    bool captionInitialized_ = false;
    bool pointerInside_ = false;  // the button last reported the pointer over it
    bool clickArmed_ = false;     // a left press began here and may still click
    // Mouse buttons held since a press on the button: while any is, the
    // button holds the mouse (Qt's implicit grab, which QWidget::mouseGrabber()
    // does not report).
    Qt::MouseButtons heldButtons_;
    bool painting_ = false;
};

// One caption line of a button.
class TplBtnCaption : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(tenmari::TplButton::TplBtnAlignment Alignment READ Alignment WRITE SetAlignment)
    Q_PROPERTY(int Left READ Left WRITE SetLeft)
    Q_PROPERTY(int Right READ Right WRITE SetRight)

public:
    // A free-standing caption (button null) repaints nothing; a button's
    // own captions repaint it at once when a setting changes.
    explicit TplBtnCaption(TplButton* button = nullptr);

    QString Caption() const { return caption_; }
    void SetCaption(const QString& value);
    TplButton::TplBtnAlignment Alignment() const { return alignment_; }
    void SetAlignment(TplButton::TplBtnAlignment value);
    int Left() const { return left_; }
    void SetLeft(int value);
    int Right() const { return right_; }
    void SetRight(int value);

    // Copies caption, alignment and margins, then repaints the button at once.
    void Assign(const TplBtnCaption& source);

private:
    void repaintButton();

    TplButton* button_;
    QString caption_;
    TplButton::TplBtnAlignment alignment_ = TplButton::taCenter;
    int left_ = 0;
    int right_ = 0;
};

// The picture settings of a button.
class TplBtnImage : public QObject {
    Q_OBJECT
    Q_PROPERTY(int Left READ Left WRITE SetLeft)
    Q_PROPERTY(int Top READ Top WRITE SetTop)
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
    Q_PROPERTY(bool TransParent READ TransParent WRITE SetTransParent)
    Q_PROPERTY(bool VertCenter READ VertCenter WRITE SetVertCenter)
    Q_PROPERTY(bool HorzCenter READ HorzCenter WRITE SetHorzCenter)

public:
    explicit TplBtnImage(TplButton* button = nullptr);

    // The picture itself. Changing it in place (Picture().LoadFromFile())
    // does not repaint; it shows at the next paint.
    ButtonPicture& Picture() { return picture_; }
    const ButtonPicture& Picture() const { return picture_; }
    // Copies the content. A bitmap or icon repaints the button at once; any
    // other content empties the picture.
    void SetPicture(const ButtonPicture& value);

    int Left() const { return left_; }
    void SetLeft(int value);  // also ends horizontal centring
    int Top() const { return top_; }
    void SetTop(int value);  // also ends vertical centring
    bool Visible() const { return visible_; }
    void SetVisible(bool value);
    bool TransParent() const { return transParent_; }
    void SetTransParent(bool value);
    bool VertCenter() const { return vertCenter_; }
    void SetVertCenter(bool value);
    bool HorzCenter() const { return horzCenter_; }
    void SetHorzCenter(bool value);

    // Copies picture and settings without repainting.
    void Assign(const TplBtnImage& source);

private:
    friend class TplButton;
    void repaintButton();

    TplButton* button_;
    ButtonPicture picture_;
    int left_ = 10;
    int top_ = 0;
    bool visible_ = true;
    bool transParent_ = false;
    bool vertCenter_ = true;
    bool horzCenter_ = false;
};

}  // namespace tenmari
