// The gradient button's state and reactions: defaults, setters and their
// repaints, mouse, keyboard, focus, window shape and pictures.
#include "ButtonTestSupport.h"
#include "WindowShape.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QDialog>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTemporaryDir>
#include <functional>

using tenmari::Shift;
using tenmari::TplBtnCaption;
using tenmari::TplBtnImage;
using tenmari::TplButton;
using tenmari::TShiftState;
using namespace buttontest;

namespace {

class FakeInput : public tenmari::InputSource {
public:
    FakeInput() { tenmari::setInputSource(this); }
    ~FakeInput() override { tenmari::setInputSource(nullptr); }
    TShiftState shiftState() const override { return shift; }
    QPoint cursorPos() const override { return cursor; }
    QWidget* mouseCapture() const override { return capture; }

    TShiftState shift;
    QPoint cursor;
    QWidget* capture = nullptr;
};

// Counts the paints a widget receives.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* w) { w->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) ++count;
        return false;
    }
    int count = 0;
};

// Records the button's signals in order.
struct Log {
    explicit Log(TplButton* b) {
        QObject::connect(b, &TplButton::OnClick, b, [this](QObject*) { events << "click"; });
        QObject::connect(b, &TplButton::OnDblClick, b, [this](QObject*) { events << "dblclick"; });
        QObject::connect(b, &TplButton::OnKeyDown, b, [this](QObject*, int&, TShiftState) { events << "keydown"; });
        QObject::connect(b, &TplButton::OnEnter, b, [this](QObject*) { events << "enter"; });
        QObject::connect(b, &TplButton::OnExit, b, [this](QObject*) { events << "exit"; });
        QObject::connect(b, &TplButton::OnMouseEnter, b, [this](QObject*, TShiftState s, int x, int y) {
            events << QStringLiteral("menter %1,%2").arg(x).arg(y);
            shift = s;
        });
        QObject::connect(b, &TplButton::OnMouseLeave, b, [this](QObject*, TShiftState s, int x, int y) {
            events << QStringLiteral("mleave %1,%2").arg(x).arg(y);
            shift = s;
        });
    }
    int count(const QString& name) const { return static_cast<int>(events.count(name)); }
    QStringList events;
    TShiftState shift;
};

void sendKey(QWidget* w, int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QKeyEvent down(QEvent::KeyPress, key, mods);
    QApplication::sendEvent(w, &down);
    QKeyEvent up(QEvent::KeyRelease, key, mods);
    QApplication::sendEvent(w, &up);
}

}  // namespace

// ------------------------------------------------------------ defaults and setters

TEST(ButtonState, NewButtonDefaults) {
    TplButton b;
    EXPECT_EQ(b.size(), QSize(75, 26));
    EXPECT_EQ(b.ButtonStyle(), TplButton::bsNormal);
    EXPECT_TRUE(b.Gradation());
    EXPECT_EQ(b.GradBeginColor(), 0x00FFFFFFu);
    EXPECT_EQ(b.GradEndColor(), 0x00C0C0C0u);
    EXPECT_TRUE(b.HasFocus());
    EXPECT_FALSE(b.Cancel());
    EXPECT_EQ(b.ModalResult(), 0);
    EXPECT_EQ(b.CaptionLineSpace(), 4);
    EXPECT_EQ(b.CaptionTop(), 0);
    EXPECT_TRUE(b.CaptionVertCenter());
    EXPECT_EQ(b.FlatFrameType(), TplButton::bffFlat);
    EXPECT_EQ(b.Color(), tenmari::clBtnFace);
    EXPECT_FALSE(b.ParentColor());
    EXPECT_TRUE(b.TabStop());
    EXPECT_EQ(b.focusPolicy(), Qt::TabFocus);
    EXPECT_TRUE(b.CaptionA()->Caption().isEmpty());
    EXPECT_EQ(b.CaptionB()->Alignment(), TplButton::taCenter);
    EXPECT_EQ(b.Image()->Left(), 10);
    EXPECT_EQ(b.Image()->Top(), 0);
    EXPECT_TRUE(b.Image()->Visible());
    EXPECT_FALSE(b.Image()->TransParent());
    EXPECT_TRUE(b.Image()->VertCenter());
    EXPECT_FALSE(b.Image()->HorzCenter());
    EXPECT_TRUE(b.Image()->Picture().isEmpty());
    EXPECT_FALSE(b.Pressed());
}

TEST(ButtonState, SettersRepaintAtOnceRequestOrNot) {
    QWidget window;
    window.resize(200, 100);
    auto* b = new TplButton(&window);
    b->resize(100, 49);
    activate(window);
    PaintCounter paints(b);
    enum Repaint { None, Now, Later };
    struct Case {
        const char* name;
        std::function<void()> action;
        Repaint repaint;
    };
    const std::vector<Case> cases = {
        {"begin colour", [&] { b->SetGradBeginColor(0x00102030); }, Now},
        {"same begin colour", [&] { b->SetGradBeginColor(0x00102030); }, None},
        {"end colour", [&] { b->SetGradEndColor(0x00102030); }, Now},
        {"same style", [&] { b->SetButtonStyle(TplButton::bsNormal); }, Now},
        {"gradation", [&] { b->SetGradation(false); }, Now},
        {"same gradation", [&] { b->SetGradation(false); }, None},
        {"has focus", [&] { b->SetHasFocus(false); }, Now},
        {"line space", [&] { b->SetCaptionLineSpace(2); }, Now},
        {"frame type", [&] { b->SetFlatFrameType(TplButton::bffBump); }, Now},
        {"centring off", [&] { b->SetCaptionVertCenter(false); }, None},
        {"centring on", [&] { b->SetCaptionVertCenter(true); }, Now},
        {"caption top", [&] { b->SetCaptionTop(5); }, Now},
        {"cancel", [&] { b->SetCancel(true); }, None},
        {"modal result", [&] { b->SetModalResult(2); }, None},
        {"caption text", [&] { b->CaptionA()->SetCaption(QStringLiteral("検索")); }, Now},
        {"same caption text", [&] { b->CaptionA()->SetCaption(QStringLiteral("検索")); }, None},
        {"caption right", [&] { b->CaptionB()->SetRight(3); }, Now},
        {"image top", [&] { b->Image()->SetTop(4); }, Now},
        {"image centring off", [&] { b->Image()->SetHorzCenter(false); }, None},
        {"image centring on", [&] { b->Image()->SetHorzCenter(true); }, Now},
        {"image transparent", [&] { b->Image()->SetTransParent(true); }, Now},
        {"caption object", [&] { b->SetCaptionB(TplBtnCaption()); }, Now},
        {"enabled", [&] { b->setEnabled(false); }, Later},
        {"colour", [&] { b->SetColor(0x000000FF); }, Later},
    };
    for (const Case& c : cases) {
        QApplication::processEvents();
        paints.count = 0;
        c.action();
        const int now = paints.count;
        QApplication::processEvents();
        const int later = paints.count - now;
        EXPECT_EQ(now > 0, c.repaint == Now) << c.name;
        EXPECT_EQ(later > 0, c.repaint == Later) << c.name;
    }
    EXPECT_FALSE(b->CaptionVertCenter()) << "assigning CaptionTop ends centring";
    EXPECT_FALSE(b->Image()->VertCenter()) << "assigning Image.Top ends centring";
}

TEST(ButtonState, SubObjectsAreCopiedNotShared) {
    TplButton b;
    TplBtnCaption caption;
    caption.SetCaption(QStringLiteral("説明書"));
    caption.SetAlignment(TplButton::taRight);
    caption.SetLeft(3);
    caption.SetRight(10);
    b.SetCaptionA(caption);
    caption.SetCaption(QStringLiteral("x"));
    EXPECT_EQ(b.CaptionA()->Caption(), QStringLiteral("説明書"));
    EXPECT_EQ(b.CaptionA()->Alignment(), TplButton::taRight);
    EXPECT_EQ(b.CaptionA()->Left(), 3);
    EXPECT_EQ(b.CaptionA()->Right(), 10);

    TplBtnImage image;
    QPixmap pm(8, 8);
    pm.fill(Qt::red);
    image.SetPicture(tenmari::ButtonPicture::fromBitmap(pm));
    image.SetTop(9);
    image.SetLeft(7);
    image.SetTransParent(true);
    image.SetVisible(false);
    b.SetImage(image);
    EXPECT_EQ(b.Image()->Picture().kind(), tenmari::ButtonPicture::Kind::Bitmap);
    EXPECT_EQ(b.Image()->Top(), 9);
    EXPECT_EQ(b.Image()->Left(), 7);
    EXPECT_FALSE(b.Image()->VertCenter());
    EXPECT_TRUE(b.Image()->TransParent());
    EXPECT_FALSE(b.Image()->Visible());
}

TEST(ButtonState, FirstCaptionComesFromTheNameAtTheFirstParent) {
    QWidget window;
    auto* named = new TplButton;
    named->setObjectName(QStringLiteral("plBtnNamed"));
    named->setParent(&window);
    EXPECT_EQ(named->CaptionA()->Caption(), QStringLiteral("plBtnNamed"));
    named->setObjectName(QStringLiteral("renamed"));
    named->setParent(nullptr);
    named->setParent(&window);
    EXPECT_EQ(named->CaptionA()->Caption(), QStringLiteral("plBtnNamed"));

    // Built the way a form builds it: parent first, then name.
    auto* restored = new TplButton(&window);
    restored->setObjectName(QStringLiteral("plBtnRestored"));
    EXPECT_TRUE(restored->CaptionA()->Caption().isEmpty());
    auto* reparented = new TplButton(&window);
    reparented->setObjectName(QStringLiteral("later"));
    reparented->setParent(&window);
    EXPECT_TRUE(reparented->CaptionA()->Caption().isEmpty());
}

// ------------------------------------------------------------ pictures

TEST(ButtonPictureSettings, OnlyBitmapsAndIconsAreKept) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(Qt::blue);
    const QString jpeg = dir.filePath(QStringLiteral("photo.jpg"));
    const QString bmp = dir.filePath(QStringLiteral("picture.bmp"));
    ASSERT_TRUE(image.save(jpeg, "JPEG"));
    ASSERT_TRUE(image.save(bmp, "BMP"));

    tenmari::ButtonPicture photo;
    ASSERT_TRUE(photo.LoadFromFile(jpeg));
    EXPECT_EQ(photo.kind(), tenmari::ButtonPicture::Kind::Other);

    TplButton b;
    b.Image()->SetPicture(photo);
    EXPECT_TRUE(b.Image()->Picture().isEmpty());

    tenmari::ButtonPicture bitmap;
    ASSERT_TRUE(bitmap.LoadFromFile(bmp));
    b.Image()->SetPicture(bitmap);
    EXPECT_EQ(b.Image()->Picture().kind(), tenmari::ButtonPicture::Kind::Bitmap);
    EXPECT_EQ(b.ImageBitmap().size(), QSize(16, 16));
    EXPECT_TRUE(b.ImageIcon().isNull());

    // Loading into the picture itself bypasses the rule; such a graphic is never drawn.
    b.Image()->Picture().LoadFromFile(jpeg);
    EXPECT_EQ(b.Image()->Picture().kind(), tenmari::ButtonPicture::Kind::Other);
}

TEST(ButtonPictureSettings, IconsDrawAtTheStandardSizeWhenTheyHaveIt) {
    QIcon icon;
    for (int size : {48, 32}) {
        QPixmap pm(size, size);
        pm.fill(Qt::green);
        icon.addPixmap(pm);
    }
    EXPECT_EQ(tenmari::ButtonPicture::fromIcon(icon).size(), QSize(32, 32));
    QPixmap big(48, 48);
    big.fill(Qt::green);
    EXPECT_EQ(tenmari::ButtonPicture::fromIcon(QIcon(big)).size(), QSize(48, 48));
}

TEST(ButtonPictureSettings, EmptyingAShownPictureRepaints) {
    QWidget window;
    auto* b = new TplButton(&window);
    activate(window);
    QPixmap pm(8, 8);
    pm.fill(Qt::red);
    b->SetImageBitmap(pm);
    QApplication::processEvents();
    PaintCounter paints(b);
    b->Image()->SetPicture(tenmari::ButtonPicture());
    EXPECT_GT(paints.count, 0);
    EXPECT_TRUE(b->Image()->Picture().isEmpty());
}

// ------------------------------------------------------------ window shape

TEST(ButtonShape, RoundedStylesShapeTheButtonAndFollowResizes) {
    QWidget window;
    auto* b = new TplButton(&window);
    b->resize(60, 30);
    b->SetButtonStyle(TplButton::bsRoundRect);
    EXPECT_EQ(b->mask(), tenmari::roundRectRegion(0, 0, 61, 31, 10, 10));
    EXPECT_FALSE(b->mask().contains(QPoint(0, 0)));
    EXPECT_TRUE(b->mask().contains(QPoint(30, 0)));
    EXPECT_TRUE(b->mask().contains(QPoint(59, 15)));
    EXPECT_FALSE(b->mask().contains(QPoint(59, 29)));
    EXPECT_FALSE(b->mask().contains(QPoint(60, 15)));

    window.show();
    b->resize(100, 49);
    EXPECT_EQ(b->mask(), tenmari::roundRectRegion(0, 0, 101, 50, 10, 10));
    b->SetButtonStyle(TplButton::bsRoundRectNoFrame);
    EXPECT_FALSE(b->mask().isEmpty());
    b->SetButtonStyle(TplButton::bsNormal);
    EXPECT_TRUE(b->mask().isEmpty());
}

TEST(ButtonShape, SmallButtonsKeepASymmetricShape) {
    // Corners larger than the button are cut down to its size.
    const QSize sizes[] = {{1, 1}, {4, 6}, {6, 6}, {9, 3}, {60, 30}};
    for (const QSize& s : sizes) {
        const QRegion shape = tenmari::roundRectRegion(0, 0, s.width() + 1, s.height() + 1, 10, 10);
        EXPECT_TRUE(shape.contains(QPoint(s.width() / 2, s.height() / 2))) << s.width() << "x" << s.height();
        for (int y = 0; y < s.height(); ++y) {
            for (int x = 0; x < s.width(); ++x) {
                const bool in = shape.contains(QPoint(x, y));
                EXPECT_EQ(in, shape.contains(QPoint(s.width() - 1 - x, y)))
                    << s.width() << "x" << s.height() << " at " << x << "," << y;
                EXPECT_EQ(in, shape.contains(QPoint(x, s.height() - 1 - y)))
                    << s.width() << "x" << s.height() << " at " << x << "," << y;
            }
        }
    }
}

// ------------------------------------------------------------ mouse

TEST(ButtonMouse, PressShowsPressedReleaseInsideClicks) {
    TplButton b;
    Log log(&b);
    press(b);
    EXPECT_TRUE(b.Pressed());
    release(b);
    EXPECT_FALSE(b.Pressed());
    EXPECT_EQ(log.count("click"), 1);
}

TEST(ButtonMouse, LeavingReleasesAndOnlyAReleaseInsideClicks) {
    struct Case {
        const char* name;
        bool comeBack;
        bool leaveByEvent;  // the pointer-leave notification rather than a held move
        int clicks;
    };
    const Case cases[] = {
        {"release outside", false, false, 0},
        {"release outside, leave event", false, true, 0},
        {"come back and release inside", true, false, 1},
    };
    for (const Case& c : cases) {
        FakeInput input;
        TplButton b;
        Log log(&b);
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QApplication::sendEvent(&b, &enter);
        press(b);
        if (c.leaveByEvent) {
            QEvent leave(QEvent::Leave);
            QApplication::sendEvent(&b, &leave);
        } else {
            moveHeld(b, {100, 5});
        }
        EXPECT_FALSE(b.Pressed()) << c.name;
        EXPECT_EQ(log.events.filter(QStringLiteral("mleave")).size(), 1) << c.name;
        QPoint at(100, 5);
        if (c.comeBack) {
            at = {6, 6};
            moveHeld(b, at);
            EXPECT_FALSE(b.Pressed()) << c.name;
        }
        release(b, at);
        EXPECT_EQ(log.count("click"), c.clicks) << c.name;
    }
}

// Coming back over the button repaints it at once while the button holds
// the mouse, that is from a press on it until the last button is released,
// although Qt reports no grabber for such a press.
TEST(ButtonMouse, ComingBackWhileHoldingTheMouseRepaintsAtOnce) {
    FakeInput input;  // capture stays null, as Qt reports an implicit grab
    QWidget window;
    window.resize(200, 100);
    auto* b = new TplButton(&window);
    activate(window);
    PaintCounter paints(b);
    const auto paintsOn = [&](const std::function<void()>& action) {
        QApplication::processEvents();
        paints.count = 0;
        action();
        return paints.count;
    };
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    EXPECT_EQ(paintsOn([&] { QApplication::sendEvent(b, &enter); }), 0) << "hovering";
    press(*b);
    EXPECT_GT(paintsOn([&] { moveHeld(*b, {100, 5}); }), 0) << "dragged off";
    EXPECT_GT(paintsOn([&] { moveHeld(*b, {6, 6}); }), 0) << "dragged back";
    EXPECT_GT(paintsOn([&] { moveHeld(*b, {100, 5}); }), 0) << "dragged off again";
    // Another button released leaves the mouse held.
    sendMouse(*b, QEvent::MouseButtonPress, {100, 5}, Qt::RightButton, Qt::LeftButton | Qt::RightButton);
    sendMouse(*b, QEvent::MouseButtonRelease, {100, 5}, Qt::RightButton, Qt::LeftButton);
    EXPECT_GT(paintsOn([&] { moveHeld(*b, {6, 6}); }), 0) << "back after another button";
    release(*b, {6, 6});
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(b, &leave);
    EXPECT_EQ(paintsOn([&] { QApplication::sendEvent(b, &enter); }), 0) << "hovering after the release";
}

TEST(ButtonMouse, EnterAndLeaveReportClientPositionAndHeldKeys) {
    FakeInput input;
    QWidget window;
    window.move(100, 100);
    auto* b = new TplButton(&window);
    b->move(20, 10);
    window.show();
    Log log(b);
    input.cursor = b->mapToGlobal(QPoint(7, 3));
    input.shift = TShiftState(Shift::ssShift) | Shift::ssLeft;
    QEnterEvent enter(QPointF(7, 3), QPointF(7, 3), QPointF(input.cursor));
    QApplication::sendEvent(b, &enter);
    EXPECT_EQ(log.events.last(), QStringLiteral("menter 7,3"));
    EXPECT_EQ(log.shift, TShiftState(Shift::ssShift) | Shift::ssLeft);

    input.cursor = b->mapToGlobal(QPoint(-4, 30));
    input.shift = Shift::ssCtrl;
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(b, &leave);
    EXPECT_EQ(log.events.last(), QStringLiteral("mleave -4,30"));
    EXPECT_EQ(log.shift, TShiftState(Shift::ssCtrl));
}

TEST(ButtonMouse, DoubleClickGivesOneClickAndOneDoubleClick) {
    TplButton b;
    Log log(&b);
    press(b);
    release(b);
    sendMouse(b, QEvent::MouseButtonDblClick, {5, 5}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_TRUE(b.Pressed());
    release(b);
    EXPECT_EQ(log.count("click"), 1);
    EXPECT_EQ(log.count("dblclick"), 1);
}

TEST(ButtonMouse, LeftPressTakesTheFocusOnlyWithHasFocus) {
    for (bool hasFocus : {true, false}) {
        QWidget window;
        auto* b = new TplButton(&window);
        auto* edit = new QLineEdit(&window);
        edit->move(0, 40);
        activate(window);
        edit->setFocus();
        b->SetHasFocus(hasFocus);
        press(*b);
        EXPECT_EQ(b->hasFocus(), hasFocus);
        release(*b);
    }
}

TEST(ButtonMouse, ClickRunsTheActionWhenNoHandlerIsConnected) {
    TplButton b;
    QAction action;
    int triggered = 0;
    QObject::connect(&action, &QAction::triggered, &action, [&] { ++triggered; });
    b.SetAction(&action);
    press(b);
    release(b);
    EXPECT_EQ(triggered, 1);
    Log log(&b);
    b.Click();
    EXPECT_EQ(triggered, 1);
    EXPECT_EQ(log.count("click"), 1);
}

// ------------------------------------------------------------ keyboard

TEST(ButtonKeys, EnterOnTheFocusedButton) {
    struct Case {
        const char* name;
        Qt::KeyboardModifiers mods;
        bool hasFocus;
        int key;
        QStringList events;
        int result;  // the dialog's modal result afterwards
    };
    const Case cases[] = {
        {"Enter", Qt::NoModifier, true, Qt::Key_Return, {"click"}, 3},
        {"keypad Enter", Qt::KeypadModifier, true, Qt::Key_Enter, {"click"}, 3},
        {"Shift+Enter", Qt::ShiftModifier, true, Qt::Key_Return, {"keydown", "click"}, 0},
        {"Ctrl+Enter", Qt::ControlModifier, true, Qt::Key_Return, {"keydown", "click"}, 0},
        {"Enter without HasFocus", Qt::NoModifier, false, Qt::Key_Return, {"keydown", "click"}, 0},
        {"space", Qt::NoModifier, true, Qt::Key_Space, {"keydown"}, 0},
    };
    for (const Case& c : cases) {
        QDialog dialog;
        auto* b = new TplButton(&dialog);
        b->SetModalResult(3);
        b->SetHasFocus(c.hasFocus);
        activate(dialog);
        b->setFocus();
        ASSERT_TRUE(b->hasFocus());
        Log log(b);
        log.events.clear();
        sendKey(b, c.key, c.mods);
        EXPECT_EQ(log.events, c.events) << c.name;
        EXPECT_EQ(dialog.result(), c.result) << c.name;
        EXPECT_FALSE(b->Pressed());
    }
}

TEST(ButtonKeys, KeyDownHandlerCanSwallowEnter) {
    QWidget window;
    auto* b = new TplButton(&window);
    activate(window);
    b->setFocus();
    Log log(b);
    QObject::connect(b, &TplButton::OnKeyDown, b, [](QObject*, int& key, TShiftState) { key = 0; });
    sendKey(b, Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(log.count("click"), 0);
}

TEST(ButtonKeys, EscapeClicksTheCancelButtonFromAnywhereInItsWindow) {
    struct Case {
        const char* name;
        bool cancel;
        bool hasFocus;
        bool enabled;
        bool visible;
        Qt::KeyboardModifiers mods;
        int clicks;
    };
    const Case cases[] = {
        {"cancel button", true, true, true, true, Qt::NoModifier, 1},
        {"disabled", true, true, false, true, Qt::NoModifier, 1},
        {"hidden", true, true, true, false, Qt::NoModifier, 1},
        {"not cancel", false, true, true, true, Qt::NoModifier, 0},
        {"without HasFocus", true, false, true, true, Qt::NoModifier, 0},
        {"Shift+Escape", true, true, true, true, Qt::ShiftModifier, 0},
        {"Alt+Escape", true, true, true, true, Qt::AltModifier, 0},
    };
    for (const Case& c : cases) {
        QDialog dialog;
        auto* panel = new QWidget(&dialog);
        auto* b = new TplButton(panel);
        auto* edit = new QLineEdit(&dialog);
        edit->move(0, 40);
        b->SetCancel(c.cancel);
        b->SetHasFocus(c.hasFocus);
        b->SetModalResult(2);
        b->setEnabled(c.enabled);
        b->setVisible(c.visible);
        activate(dialog);
        edit->setFocus();
        Log log(b);
        sendKey(edit, Qt::Key_Escape, c.mods);
        EXPECT_EQ(log.count("click"), c.clicks) << c.name;
        EXPECT_EQ(dialog.result(), c.clicks ? 2 : 0) << c.name;
    }
}

TEST(ButtonKeys, EscapeOnAnotherButtonGoesToTheCancelButton) {
    QWidget window;
    auto* other = new TplButton(&window);
    auto* cancel = new TplButton(&window);
    cancel->SetCancel(true);
    activate(window);
    other->setFocus();
    Log otherLog(other);
    Log cancelLog(cancel);
    sendKey(other, Qt::Key_Escape);
    EXPECT_EQ(cancelLog.count("click"), 1);
    EXPECT_TRUE(otherLog.events.isEmpty());

    // A cancel button of another window does not answer.
    QWidget second;
    auto* edit = new QLineEdit(&second);
    activate(second);
    edit->setFocus();
    sendKey(edit, Qt::Key_Escape);
    EXPECT_EQ(cancelLog.count("click"), 1);
}

TEST(ButtonKeys, EnterReleaseEndsAPress) {
    QWidget window;
    auto* b = new TplButton(&window);
    activate(window);
    b->setFocus();
    press(*b);
    ASSERT_TRUE(b->Pressed());
    QKeyEvent up(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(b, &up);
    EXPECT_FALSE(b->Pressed());
}

// ------------------------------------------------------------ focus events

TEST(ButtonFocusEvents, EnterAndExitOnlyWithHasFocus) {
    for (bool hasFocus : {true, false}) {
        QWidget window;
        auto* b = new TplButton(&window);
        auto* edit = new QLineEdit(&window);
        edit->move(0, 40);
        b->SetHasFocus(hasFocus);
        activate(window);
        edit->setFocus();
        Log log(b);
        b->setFocus(Qt::TabFocusReason);
        edit->setFocus(Qt::TabFocusReason);
        const QStringList expected = hasFocus ? QStringList{"enter", "exit"} : QStringList{};
        EXPECT_EQ(log.events, expected) << hasFocus;
    }
}

TEST(ButtonFocusEvents, OnlyAFocusChangeWithinTheWindowFiresThem) {
    struct Case {
        Qt::FocusReason reason;
        QStringList events;
    };
    const Case cases[] = {
        {Qt::TabFocusReason, {"enter", "exit"}},
        {Qt::MouseFocusReason, {"enter", "exit"}},
        {Qt::ActiveWindowFocusReason, {}},  // the window was activated or left
        {Qt::PopupFocusReason, {}},         // a popup menu opened and closed
    };
    for (const Case& c : cases) {
        TplButton b;
        Log log(&b);
        QFocusEvent in(QEvent::FocusIn, c.reason);
        QApplication::sendEvent(&b, &in);
        QFocusEvent out(QEvent::FocusOut, c.reason);
        QApplication::sendEvent(&b, &out);
        EXPECT_EQ(log.events, c.events) << c.reason;
    }
}

// A mouse handler may delete the button's window; the button then touches
// nothing of itself any more.
TEST(ButtonLifetime, HandlersMayDeleteTheWindow) {
    struct Case {
        const char* name;
        std::function<void(TplButton*, std::function<void()>)> connect;
        std::function<void(TplButton*)> trigger;
    };
    const auto onSignal = [](auto signal) {
        return [signal](TplButton* b, std::function<void()> kill) {
            QObject::connect(b, signal, qApp, [kill](auto&&...) { kill(); });
        };
    };
    const Case cases[] = {
        {"OnDblClick", onSignal(&TplButton::OnDblClick),
         [](TplButton* b) {
             sendMouse(*b, QEvent::MouseButtonDblClick, {5, 5}, Qt::LeftButton, Qt::LeftButton);
         }},
        {"OnMouseEnter", onSignal(&TplButton::OnMouseEnter),
         [](TplButton* b) {
             QEvent leave(QEvent::Leave);  // in case the pointer already was over it
             QApplication::sendEvent(b, &leave);
             QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
             QApplication::sendEvent(b, &enter);
         }},
        {"OnMouseLeave on a held move", onSignal(&TplButton::OnMouseLeave),
         [](TplButton* b) {
             QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
             QApplication::sendEvent(b, &enter);
             press(*b);
             moveHeld(*b, {100, 5});
         }},
        {"OnMouseLeave on leaving", onSignal(&TplButton::OnMouseLeave),
         [](TplButton* b) {
             QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
             QApplication::sendEvent(b, &enter);
             QEvent leave(QEvent::Leave);
             QApplication::sendEvent(b, &leave);
         }},
    };
    for (const Case& c : cases) {
        FakeInput input;
        auto* window = new QWidget;
        auto* b = new TplButton(window);
        auto* edit = new QLineEdit(window);
        edit->move(0, 40);
        activate(*window);
        edit->setFocus();
        QPointer<QWidget> alive(window);
        int moves = 0;
        QObject::connect(b, &TplButton::OnMouseMove, qApp, [&](auto&&...) { ++moves; });
        input.capture = b;
        c.connect(b, [&] { delete alive.data(); });
        c.trigger(b);
        EXPECT_TRUE(alive.isNull()) << c.name;
        EXPECT_EQ(moves, 0) << c.name;
        delete alive.data();
    }
}

// ------------------------------------------------------------ screen readers

TEST(ButtonAccessibility, CaptionIsTheNameOfAPushButton) {
    struct Case {
        QString a, b, name;
    };
    const Case cases[] = {
        {QStringLiteral("検　索"), {}, QStringLiteral("検索")},
        {QStringLiteral("閉じる"), {}, QStringLiteral("閉じる")},
        {QStringLiteral("結果をｺﾋﾟｰ"), {}, QStringLiteral("結果をｺﾋﾟｰ")},
        {QStringLiteral("ヘルプ"), QStringLiteral("閉じる"), QStringLiteral("ヘルプ 閉じる")},
        {{}, QStringLiteral("検索中"), QStringLiteral("検索中")},
        {{}, {}, {}},
    };
    for (const Case& c : cases) {
        TplButton b;
        b.CaptionA()->SetCaption(c.a);
        b.CaptionB()->SetCaption(c.b);
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&b);
        ASSERT_NE(iface, nullptr);
        EXPECT_EQ(iface->role(), QAccessible::Button) << c.name.toStdString();
        EXPECT_EQ(iface->text(QAccessible::Name), c.name);
    }
    // A name given to the button wins over its caption.
    TplButton named;
    named.CaptionA()->SetCaption(QStringLiteral("×"));
    named.setAccessibleName(QStringLiteral("閉じる"));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(&named)->text(QAccessible::Name), QStringLiteral("閉じる"));
}

TEST(ButtonAccessibility, ReadersCanPressItAndReadItsCurrentCaption) {
    QWidget window;
    auto* b = new TplButton(&window);
    b->CaptionA()->SetCaption(QStringLiteral("検　索"));
    window.show();
    Log log(b);
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(b);
    ASSERT_NE(iface->actionInterface(), nullptr);
    EXPECT_TRUE(iface->state().focusable);
    ASSERT_TRUE(iface->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
    iface->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(log.count("click"), 1);

    // The name follows the caption the window sets while it searches.
    b->CaptionA()->SetCaption(QStringLiteral("検索中"));
    EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("検索中"));
    TplBtnCaption second;
    second.SetCaption(QStringLiteral("(F3)"));
    b->SetCaptionB(second);
    EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("検索中 (F3)"));

    b->setEnabled(false);
    EXPECT_TRUE(iface->state().disabled);
    EXPECT_FALSE(iface->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
    iface->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(log.count("click"), 1);
}
