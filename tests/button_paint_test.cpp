// How the gradient button paints its face: gradient, captions, pictures,
// frames and the focus indicator.
#include "ButtonTestSupport.h"
#include "PaintRecorder.h"

#include <gtest/gtest.h>

#include <QBitmap>
#include <QFontMetrics>
#include <QLineEdit>
#include <functional>
#include <limits>

using tenmari::TColor;
using tenmari::TplButton;
using namespace buttontest;

namespace {

// Paints the button into a recorder and returns what it recorded. Each text
// output of one script is one record, so the captions below keep to one.
struct Recording {
    std::vector<RecordedText> texts;
    std::vector<RecordedPicture> pictures;
};
Recording record(TplButton& b) {
    PaintRecorder device(b.size());
    {
        QPainter p(&device);
        b.DrawButton(p);
    }
    return {device.texts(), device.pictures()};
}

// A button with a uniform face, so frame pixels stand out.
void uniformFace(TplButton& b, TColor colour = 0x00336699) {
    b.SetGradBeginColor(colour);
    b.SetGradEndColor(colour);
}

QPixmap solidPixmap(QSize size, QColor colour) {
    QPixmap pm(size);
    pm.fill(colour);
    return pm;
}

}  // namespace

// ------------------------------------------------------------ background

TEST(ButtonGradient, WhiteToSilverOver26Rows) {
    TplButton b;
    b.SetButtonStyle(TplButton::bsFlatNoFrame);
    ASSERT_EQ(b.height(), 26);
    const QImage img = render(b);
    const std::pair<int, int> rows[] = {{0, 255}, {1, 253}, {2, 250}, {12, 225}, {13, 223}, {24, 195}, {25, 192}};
    for (const auto& [row, value] : rows) {
        for (int x : {0, 37, 74}) {
            EXPECT_EQ(img.pixel(x, row), qRgb(value, value, value)) << "row " << row << " x " << x;
        }
    }
}

TEST(ButtonGradient, ChannelsRunIndependentlyAndDownwards) {
    TplButton b;
    b.SetButtonStyle(TplButton::bsFlatNoFrame);
    b.resize(10, 11);
    b.SetGradBeginColor(0x00000A64);  // red 100, green 10, blue 0
    b.SetGradEndColor(0x00C80A00);    // red 0, green 10, blue 200
    const QImage img = render(b);
    EXPECT_EQ(img.pixel(0, 0), qRgb(100, 10, 0));
    EXPECT_EQ(img.pixel(0, 3), qRgb(70, 10, 60));
    EXPECT_EQ(img.pixel(0, 10), qRgb(0, 10, 200));
}

TEST(ButtonGradient, OneRowTakesTheBeginColourAndNoRowsDrawNothing) {
    TplButton b;
    b.SetButtonStyle(TplButton::bsFlatNoFrame);
    b.SetGradBeginColor(0x00123456);
    b.resize(20, 1);
    EXPECT_EQ(render(b).pixel(5, 0), rgb(0x00123456));

    b.resize(20, 0);
    QImage img(20, 3, QImage::Format_RGB32);
    img.fill(Qt::black);
    QPainter p(&img);
    b.DrawButton(p);
    p.end();
    EXPECT_EQ(img.pixel(5, 0), qRgb(0, 0, 0));
}

TEST(ButtonGradient, WithoutGradationTheFaceIsColour) {
    TplButton b;
    b.SetButtonStyle(TplButton::bsFlatNoFrame);
    b.SetGradation(false);
    b.SetColor(0x0000FF00);
    const QImage img = render(b);
    EXPECT_EQ(img.pixel(0, 0), qRgb(0, 255, 0));
    EXPECT_EQ(img.pixel(74, 25), qRgb(0, 255, 0));

    b.SetParentColor(true);
    b.SetGradation(true);
    EXPECT_FALSE(b.ParentColor());
}

TEST(ButtonGradient, ParentColorTakesTheParentsColour) {
    QWidget parent;
    QPalette pal = parent.palette();
    pal.setColor(QPalette::Window, QColor(1, 2, 3));
    parent.setPalette(pal);
    auto* b = new TplButton(&parent);
    b->SetButtonStyle(TplButton::bsFlatNoFrame);
    b->SetGradation(false);
    b->SetParentColor(true);
    EXPECT_EQ(render(*b).pixel(5, 5), qRgb(1, 2, 3));
    b->SetColor(0x0000FF00);
    EXPECT_FALSE(b->ParentColor());
    EXPECT_EQ(render(*b).pixel(5, 5), qRgb(0, 255, 0));
}

TEST(ButtonGradient, ColourTakenFromTheParentStaysWhenParentColorGoesOff) {
    const std::pair<const char*, std::function<void(TplButton&)>> ways[] = {
        {"ParentColor off", [](TplButton& b) { b.SetParentColor(false); }},
        {"Gradation on", [](TplButton& b) { b.SetGradation(true); }},
    };
    for (const auto& [name, switchOff] : ways) {
        QWidget parent;
        QPalette pal = parent.palette();
        pal.setColor(QPalette::Window, QColor(1, 2, 3));
        parent.setPalette(pal);
        auto* b = new TplButton(&parent);
        b->SetButtonStyle(TplButton::bsFlatNoFrame);
        b->SetGradation(false);
        b->SetParentColor(true);
        switchOff(*b);
        EXPECT_FALSE(b->ParentColor()) << name;
        EXPECT_EQ(b->Color(), 0x00030201u) << name;
        b->SetGradation(false);
        EXPECT_EQ(render(*b).pixel(5, 5), qRgb(1, 2, 3)) << name;
    }
}

TEST(ButtonGradient, TheWidgetShowsWhatOnePaintDraws) {
    for (bool parentColor : {false, true}) {
        QWidget window;
        auto* b = new TplButton(&window);
        b->resize(60, 30);
        b->SetGradBeginColor(0x00102030);
        b->SetParentColor(parentColor);  // drawn directly instead of through a bitmap
        window.show();
        EXPECT_EQ(b->grab().toImage().convertToFormat(QImage::Format_RGB32), render(*b)) << parentColor;
    }
}

// ------------------------------------------------------------ captions

TEST(ButtonCaptions, CentredTopsFollowTheFontHeight) {
    const QFont font = captionFont(16);
    const QFontMetrics fm(font);
    const int h = fm.height();
    ASSERT_GT(h, 0);
    struct Case {
        const char* a;
        const char* b;
        int topA;  // kNone: line not drawn
        int topB;
        int captionTop;
    };
    constexpr int kNone = std::numeric_limits<int>::min();
    const Case cases[] = {
        {"検　索", "設　定", (49 - 2 * h - 4) / 2, (49 - 2 * h - 4) / 2 + h + 4, (49 - 2 * h - 4) / 2},
        {"検　索", "", (49 - h) / 2 + 1, kNone, (49 - h) / 2 + 1},
        {"", "設　定", kNone, (49 - h) / 2, (49 - h) / 2},
    };
    for (const Case& c : cases) {
        TplButton b;
        b.setFont(font);
        b.resize(100, 49);
        b.CaptionA()->SetCaption(QString::fromUtf8(c.a));
        b.CaptionB()->SetCaption(QString::fromUtf8(c.b));
        const Recording r = record(b);
        std::vector<int> tops;
        for (const RecordedText& t : r.texts) tops.push_back(t.baseline.y() - fm.ascent());
        std::vector<int> expected;
        if (c.topA != kNone) expected.push_back(c.topA);
        if (c.topB != kNone) expected.push_back(c.topB);
        EXPECT_EQ(tops, expected) << c.a << "/" << c.b;
        EXPECT_EQ(b.CaptionTop(), c.captionTop) << c.a << "/" << c.b;
        EXPECT_TRUE(b.CaptionVertCenter());
    }
}

TEST(ButtonCaptions, FixedTopPlacesLineBUnderLineAOrInItsPlace) {
    const QFont font = captionFont(15);
    const int h = QFontMetrics(font).height();
    const int ascent = QFontMetrics(font).ascent();
    TplButton b;
    b.setFont(font);
    b.resize(100, 49);
    b.SetCaptionLineSpace(1);
    b.SetCaptionTop(11);
    b.CaptionA()->SetCaption(QStringLiteral("ｿﾌﾄｳｪｱ"));
    b.CaptionB()->SetCaption(QStringLiteral("設　定　"));
    Recording r = record(b);
    ASSERT_EQ(r.texts.size(), 2u);
    EXPECT_EQ(r.texts[0].baseline.y(), 11 + ascent);
    EXPECT_EQ(r.texts[1].baseline.y(), 11 + h + 1 + ascent);

    b.CaptionA()->SetCaption(QString());
    r = record(b);
    ASSERT_EQ(r.texts.size(), 1u);
    EXPECT_EQ(r.texts[0].text, QStringLiteral("設　定　"));
    EXPECT_EQ(r.texts[0].baseline.y(), 11 + ascent);
    EXPECT_EQ(b.CaptionTop(), 11);
}

TEST(ButtonCaptions, HorizontalAnchors) {
    const QFont font = captionFont(16);
    const QFontMetrics fm(font);
    const QString text = QStringLiteral("検　索");
    const int w = fm.horizontalAdvance(text);
    struct Case {
        TplButton::TplBtnAlignment alignment;
        int left;
        int right;
        int expectedLeft;
    };
    const Case cases[] = {
        {TplButton::taCenter, 7, 30, 50 - w / 2},  // margins ignored
        {TplButton::taLeft, 7, 30, 9},
        {TplButton::taRight, 7, 11, 87 - w},  // right edge at 100 - 11 - 2
    };
    for (const Case& c : cases) {
        TplButton b;
        b.setFont(font);
        b.resize(100, 49);
        b.CaptionA()->SetCaption(text);
        b.CaptionA()->SetAlignment(c.alignment);
        b.CaptionA()->SetLeft(c.left);
        b.CaptionA()->SetRight(c.right);
        const Recording r = record(b);
        ASSERT_EQ(r.texts.size(), 1u);
        EXPECT_EQ(r.texts[0].baseline.x(), c.expectedLeft) << c.alignment;
    }
}

TEST(ButtonCaptions, PressedWithHasFocusMovesCaptionsOnePixel) {
    const QFont font = captionFont(16);
    const QFontMetrics fm(font);
    const QString text = QStringLiteral("検　索");
    for (bool hasFocus : {true, false}) {
        TplButton b;
        b.setFont(font);
        b.resize(100, 49);
        b.SetHasFocus(hasFocus);
        b.SetCaptionTop(17);
        b.CaptionA()->SetCaption(text);
        b.CaptionA()->SetAlignment(TplButton::taRight);
        b.CaptionA()->SetRight(11);
        press(b);
        ASSERT_TRUE(b.Pressed());
        const Recording r = record(b);
        ASSERT_EQ(r.texts.size(), 1u);
        const int off = hasFocus ? 1 : 0;
        EXPECT_EQ(r.texts[0].baseline.x() + fm.horizontalAdvance(text), 87 + off);
        EXPECT_EQ(r.texts[0].baseline.y(), 17 + off + fm.ascent());
    }
}

TEST(ButtonCaptions, EvenSpacingSpreadsTheRemainderOverTheFirstGaps) {
    const QFont font = captionFont(16);
    const QFontMetrics fm(font);
    const QString text = QStringLiteral("説明書類");
    ASSERT_EQ(fm.horizontalAdvance(text), 64) << "four 16-pixel characters expected";
    struct Case {
        int width;
        std::vector<int> starts;
    };
    const Case cases[] = {
        {100, {2, 29, 56, 82}},  // 32 pixels to spare: gaps 11, 11, 10
        {63, {2, 16, 30, 45}},   // 5 pixels too few: gaps -2, -2, -1
    };
    for (const Case& c : cases) {
        TplButton b;
        b.setFont(font);
        b.resize(c.width, 49);
        b.CaptionA()->SetCaption(text);
        b.CaptionA()->SetAlignment(TplButton::taEven);
        const Recording r = record(b);
        std::vector<int> starts;
        for (const RecordedText& t : r.texts) starts.push_back(t.baseline.x());
        EXPECT_EQ(starts, c.starts) << "width " << c.width;
    }
}

TEST(ButtonCaptions, EvenSpacingOfOneCharacterCentresIt) {
    const QFont font = captionFont(16);
    TplButton b;
    b.setFont(font);
    b.resize(100, 49);
    b.CaptionA()->SetCaption(QStringLiteral("検"));
    b.CaptionA()->SetAlignment(TplButton::taEven);
    b.CaptionA()->SetLeft(20);
    const Recording r = record(b);
    ASSERT_EQ(r.texts.size(), 1u);
    EXPECT_EQ(r.texts[0].baseline.x(), 50 - QFontMetrics(font).horizontalAdvance(QStringLiteral("検")) / 2);
}

TEST(ButtonCaptions, DisabledLookIsEmbossedOnlyWithHasFocus) {
    // The caption colour of an enabled button differs from the palette's
    // disabled text colour, so a disabled button drawn like an enabled one
    // shows in which colour it was drawn.
    const QColor ink(0x12, 0x34, 0x56);
    const QColor disabledInk(0xBE, 0xBE, 0xBE);
    struct Case {
        const char* name;
        bool hasFocus;
        bool ownEnabled;
        bool parentEnabled;
        bool embossed;
    };
    const Case cases[] = {
        {"disabled", true, false, true, true},
        {"disabled without HasFocus", false, false, true, false},
        {"enabled in a disabled parent", true, true, false, false},
        {"disabled in a disabled parent", true, false, false, true},
    };
    for (const Case& c : cases) {
        QWidget parent;
        QPalette pal = parent.palette();
        pal.setColor(QPalette::Active, QPalette::WindowText, ink);
        pal.setColor(QPalette::Inactive, QPalette::WindowText, ink);
        pal.setColor(QPalette::Disabled, QPalette::WindowText, disabledInk);
        parent.setPalette(pal);
        auto* b = new TplButton(&parent);
        b->setFont(captionFont(16));
        b->resize(100, 49);
        b->SetCaptionTop(10);
        b->CaptionA()->SetCaption(QStringLiteral("説明書"));
        b->CaptionA()->SetAlignment(TplButton::taLeft);
        b->SetHasFocus(c.hasFocus);
        b->setEnabled(c.ownEnabled);
        parent.setEnabled(c.parentEnabled);
        const Recording r = record(*b);
        if (c.embossed) {
            ASSERT_EQ(r.texts.size(), 2u) << c.name;
            EXPECT_EQ(r.texts[0].colour, QColor(255, 255, 255)) << c.name;
            EXPECT_EQ(r.texts[1].colour, QColor(0xA0, 0xA0, 0xA0)) << c.name;
            EXPECT_EQ(r.texts[0].baseline, r.texts[1].baseline + QPoint(1, 1)) << c.name;
            EXPECT_EQ(r.texts[1].baseline.x(), 2) << c.name;
        } else {
            ASSERT_EQ(r.texts.size(), 1u) << c.name;
            EXPECT_EQ(r.texts[0].colour, ink) << c.name;
            EXPECT_EQ(r.texts[0].baseline.x(), 2) << c.name;
        }
    }
}

// ------------------------------------------------------------ pictures

TEST(ButtonPictures, CentringWritesThePlaceBack) {
    TplButton b;
    b.resize(100, 49);
    b.SetImageIcon(QIcon(solidPixmap({32, 32}, Qt::red)));
    b.Image()->SetHorzCenter(true);
    const Recording r = record(b);
    EXPECT_EQ(b.Image()->Top(), 8);
    EXPECT_EQ(b.Image()->Left(), 34);
    EXPECT_TRUE(b.Image()->VertCenter());
    EXPECT_TRUE(b.Image()->HorzCenter());
    ASSERT_EQ(r.pictures.size(), 1u);
    EXPECT_EQ(r.pictures[0].target, QRect(34, 8, 32, 32));

    b.Image()->SetTop(3);
    EXPECT_FALSE(b.Image()->VertCenter());
    b.Image()->SetLeft(7);
    EXPECT_FALSE(b.Image()->HorzCenter());
    EXPECT_EQ(record(b).pictures[0].target, QRect(7, 3, 32, 32));
}

TEST(ButtonPictures, OpaquePicturesMoveWhenPressedTransparentBitmapsStay) {
    struct Case {
        bool icon;
        bool transparent;
        bool hasFocus;
        QPoint expected;
    };
    const Case cases[] = {
        {true, false, true, {8, 10}}, {true, false, false, {7, 9}}, {false, false, true, {8, 10}},
        {false, true, true, {7, 9}},  {true, true, true, {8, 10}},  // icons ignore TransParent
    };
    for (const Case& c : cases) {
        TplButton b;
        b.resize(100, 49);
        if (c.icon) {
            b.SetImageIcon(QIcon(solidPixmap({32, 32}, Qt::red)));
        } else {
            b.SetImageBitmap(solidPixmap({32, 32}, Qt::red));
        }
        b.Image()->SetLeft(7);
        b.Image()->SetTop(9);
        b.Image()->SetTransParent(c.transparent);
        b.SetHasFocus(c.hasFocus);
        press(b);
        const Recording r = record(b);
        ASSERT_EQ(r.pictures.size(), 1u);
        EXPECT_EQ(r.pictures[0].target.topLeft(), c.expected) << c.icon << c.transparent << c.hasFocus;
    }
}

TEST(ButtonPictures, TransparentBitmapLeavesItsCornerColourUndrawn) {
    QPixmap pm = solidPixmap({32, 32}, QColor(255, 0, 255));
    {
        QPainter p(&pm);
        p.fillRect(8, 8, 16, 16, Qt::blue);
    }
    TplButton b;
    b.SetButtonStyle(TplButton::bsFlatNoFrame);
    b.resize(100, 49);
    uniformFace(b, 0x0000FF00);
    b.SetImageBitmap(pm);
    b.Image()->SetLeft(10);
    b.Image()->SetTop(5);
    b.Image()->SetTransParent(true);
    b.setEnabled(false);  // never drawn disabled
    QImage img = render(b);
    EXPECT_EQ(img.pixel(11, 6), qRgb(0, 255, 0));
    EXPECT_EQ(img.pixel(20, 15), qRgb(0, 0, 255));

    b.Image()->SetTransParent(false);
    b.setEnabled(true);
    img = render(b);
    EXPECT_EQ(img.pixel(11, 6), qRgb(255, 0, 255));
}

TEST(ButtonPictures, DisabledPictureIsEmbossedOnlyWithHasFocus) {
    QPixmap pm = solidPixmap({16, 16}, Qt::transparent);
    {
        QPainter p(&pm);
        p.fillRect(4, 4, 8, 8, Qt::red);
    }
    struct Case {
        bool hasFocus;
        bool ownEnabled;
        bool embossed;
    };
    // The parent is disabled in every case; only the button's own setting counts.
    for (const Case& c : {Case{true, false, true}, Case{false, false, false}, Case{true, true, false}}) {
        QWidget parent;
        auto* bp = new TplButton(&parent);
        TplButton& b = *bp;
        b.SetButtonStyle(TplButton::bsFlatNoFrame);
        b.resize(60, 30);
        uniformFace(b, 0x00336699);
        b.SetImageIcon(QIcon(pm));
        b.Image()->SetLeft(10);
        b.Image()->SetTop(5);
        b.SetHasFocus(c.hasFocus);
        b.setEnabled(c.ownEnabled);
        parent.setEnabled(false);
        const QImage img = render(b);
        if (c.embossed) {
            EXPECT_EQ(img.pixel(14, 9), qRgb(0xA0, 0xA0, 0xA0));  // shadow in place
            EXPECT_EQ(img.pixel(22, 17), qRgb(255, 255, 255));    // highlight, 1 px right and down
            EXPECT_EQ(img.pixel(12, 7), rgb(0x00336699));         // transparent part untouched
        } else {
            EXPECT_EQ(img.pixel(14, 9), qRgb(255, 0, 0)) << c.hasFocus << c.ownEnabled;
        }
    }
}

// ------------------------------------------------------------ frames

TEST(ButtonFrames, EachStyleDrawsItsFrame) {
    const QRgb face = rgb(0x00336699);
    const QRgb light = qRgb(0xE3, 0xE3, 0xE3), dkShadow = qRgb(0x69, 0x69, 0x69);
    const QRgb white = qRgb(255, 255, 255), shadow = qRgb(0xA0, 0xA0, 0xA0);
    const QRgb btnFace = qRgb(0xF0, 0xF0, 0xF0), grey = qRgb(0x80, 0x80, 0x80);
    const QRgb round = qRgb(0x75, 0x75, 0x75);
    struct Case {
        TplButton::TplButtonStyle style;
        TplButton::TplBtnFrameType frame;
        bool pressed;
        // Pixels (0,0), (1,1), (W-1,H-1), (W-2,H-2), (W/2,0), (2,2)
        QRgb expected[6];
    };
    const Case cases[] = {
        {TplButton::bsNormal, TplButton::bffFlat, false, {light, white, dkShadow, shadow, light, face}},
        {TplButton::bsNormal, TplButton::bffFlat, true, {shadow, grey, shadow, grey, shadow, face}},
        {TplButton::bsFlat, TplButton::bffFlat, false, {shadow, btnFace, shadow, btnFace, shadow, face}},
        {TplButton::bsFlat, TplButton::bffEtched, false, {shadow, white, white, shadow, shadow, face}},
        {TplButton::bsFlat, TplButton::bffBump, false, {light, dkShadow, dkShadow, light, light, face}},
        {TplButton::bsFlat, TplButton::bffBump, true, {light, dkShadow, dkShadow, light, light, face}},
        {TplButton::bsFlatNoFrame, TplButton::bffFlat, true, {face, face, face, face, face, face}},
        {TplButton::bsRoundRect, TplButton::bffFlat, false, {face, round, face, round, round, face}},
        {TplButton::bsRoundRectNoFrame, TplButton::bffFlat, false, {face, face, face, face, face, face}},
    };
    for (const Case& c : cases) {
        TplButton b;
        b.resize(60, 30);
        uniformFace(b);
        b.SetButtonStyle(c.style);
        b.SetFlatFrameType(c.frame);
        if (c.pressed) press(b);
        const QImage img = render(b);
        const QPoint points[6] = {{0, 0}, {1, 1}, {59, 29}, {58, 28}, {30, 0}, {2, 2}};
        for (int i = 0; i < 6; ++i) {
            EXPECT_EQ(img.pixel(points[i]), c.expected[i])
                << "style " << c.style << " frame " << c.frame << " pressed " << c.pressed << " at " << points[i].x()
                << "," << points[i].y();
        }
    }
}

TEST(ButtonFrames, RoundRectOutlineFollowsTheSides) {
    TplButton b;
    b.resize(60, 30);
    uniformFace(b);
    b.SetButtonStyle(TplButton::bsRoundRect);
    const QImage img = render(b);
    const QRgb round = qRgb(0x75, 0x75, 0x75);
    EXPECT_EQ(img.pixel(0, 15), round);
    EXPECT_EQ(img.pixel(59, 15), round);
    EXPECT_EQ(img.pixel(30, 29), round);
    EXPECT_EQ(img.pixel(1, 15), rgb(0x00336699));
}

// ------------------------------------------------------------ focus indicator

namespace {

// The bounding box of the pixels in which two renders differ.
QRect differences(const QImage& a, const QImage& b) {
    QRect box;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (a.pixel(x, y) != b.pixel(x, y)) box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

}  // namespace

TEST(ButtonFocus, IndicatorInsetByStyle) {
    struct Case {
        TplButton::TplButtonStyle style;
        TplButton::TplBtnFrameType frame;
        QRect expected;  // on a 60 x 30 button
    };
    const Case cases[] = {
        {TplButton::bsNormal, TplButton::bffFlat, QRect(3, 3, 54, 24)},
        {TplButton::bsFlat, TplButton::bffFlat, QRect(3, 3, 54, 24)},
        {TplButton::bsFlat, TplButton::bffBump, QRect(3, 3, 55, 25)},
        {TplButton::bsFlat, TplButton::bffEtched, QRect(3, 3, 53, 23)},
        {TplButton::bsFlatNoFrame, TplButton::bffEtched, QRect(3, 3, 54, 24)},
        {TplButton::bsRoundRect, TplButton::bffFlat, QRect(2, 2, 56, 26)},
        {TplButton::bsRoundRectNoFrame, TplButton::bffFlat, QRect(2, 2, 56, 26)},
    };
    QWidget window;
    window.resize(100, 100);
    auto* b = new TplButton(&window);
    b->resize(60, 30);
    uniformFace(*b);
    activate(window);
    ASSERT_TRUE(window.isActiveWindow());
    for (const Case& c : cases) {
        b->SetButtonStyle(c.style);
        b->SetFlatFrameType(c.frame);
        b->clearFocus();
        const QImage unfocused = render(*b);
        b->setFocus();
        ASSERT_TRUE(b->hasFocus());
        const QImage focused = render(*b);
        EXPECT_EQ(differences(unfocused, focused), c.expected) << c.style << " " << c.frame;
    }
    // Every other pixel: the dotted line starts at its top-left pixel.
    b->SetButtonStyle(TplButton::bsNormal);
    const QImage focused = render(*b);
    EXPECT_NE(focused.pixel(3, 3), rgb(0x00336699));
    EXPECT_EQ(focused.pixel(4, 3), rgb(0x00336699));
    EXPECT_NE(focused.pixel(5, 3), rgb(0x00336699));
}

TEST(ButtonFocus, NoIndicatorWithoutHasFocusOrInAnInactiveWindow) {
    QWidget window;
    window.resize(100, 100);
    auto* b = new TplButton(&window);
    auto* edit = new QLineEdit(&window);
    edit->move(0, 50);
    activate(window);
    edit->setFocus();
    const QImage plain = render(*b);
    b->setFocus();
    ASSERT_NE(render(*b), plain);

    b->SetHasFocus(false);
    EXPECT_EQ(render(*b), plain);
    b->SetHasFocus(true);

    QWidget other;
    other.resize(50, 50);
    activate(other);
    ASSERT_FALSE(window.isActiveWindow());
    EXPECT_EQ(render(*b), plain);
}

// ------------------------------------------------------------ high resolution

namespace {

// The face painted on a device of dpr device pixels per logical pixel.
QImage renderAt(TplButton& b, qreal dpr) {
    QImage image((QSizeF(b.size()) * dpr).toSize(), QImage::Format_RGB32);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::black);
    QPainter p(&image);
    b.DrawButton(p);
    return image;
}

// Whether every aligned 2 x 2 block of the device pixels in area has one
// colour: the look of a picture scaled up two times.
bool looksDoubled(const QImage& image, const QRect& area) {
    for (int y = area.top() & ~1; y + 1 <= area.bottom(); y += 2) {
        for (int x = area.left() & ~1; x + 1 <= area.right(); x += 2) {
            const QRgb c = image.pixel(x, y);
            if (image.pixel(x + 1, y) != c || image.pixel(x, y + 1) != c || image.pixel(x + 1, y + 1) != c) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace

TEST(ButtonHighDpi, GradientHasOneRowPerDevicePixel) {
    TplButton b;  // 75 x 26, white to silver
    b.SetButtonStyle(TplButton::bsFlatNoFrame);
    const QImage img = renderAt(b, 2);
    ASSERT_EQ(img.size(), QSize(150, 52));
    for (int y = 0; y < 52; ++y) {
        const int c = 255 + y * (192 - 255) / 51;
        EXPECT_EQ(img.pixel(0, y), qRgb(c, c, c)) << y;
        EXPECT_EQ(img.pixel(149, y), qRgb(c, c, c)) << y;
    }
    EXPECT_NE(img.pixel(0, 1), img.pixel(0, 2)) << "rows are not doubled";
}

TEST(ButtonHighDpi, FrameLinesAreOneLogicalPixelWide) {
    TplButton b;
    uniformFace(b);
    const QImage img = renderAt(b, 2);
    const QRgb light = rgb(0xFF000016);  // the raised edge's outer ring, top side
    const QRgb dark = rgb(0xFF000015);   // its outer ring, bottom side
    for (int y : {0, 1}) EXPECT_EQ(img.pixel(70, y), light) << y;
    for (int y : {2, 3}) EXPECT_EQ(img.pixel(70, y), rgb(tenmari::clBtnHighlight)) << y;
    EXPECT_EQ(img.pixel(70, 4), rgb(0x00336699));
    for (int y : {50, 51}) EXPECT_EQ(img.pixel(70, y), dark) << y;
    for (int x : {148, 149}) EXPECT_EQ(img.pixel(x, 20), dark) << x;
}

TEST(ButtonHighDpi, CaptionsAndRoundedOutlinesUseEveryDevicePixel) {
    TplButton b;
    b.setFont(captionFont(16));
    b.resize(100, 40);
    uniformFace(b);
    b.SetButtonStyle(TplButton::bsRoundRect);
    b.CaptionA()->SetCaption(QStringLiteral("検索"));
    const QImage img = renderAt(b, 2);
    ASSERT_EQ(img.size(), QSize(200, 80));
    EXPECT_FALSE(looksDoubled(img, QRect(60, 20, 80, 40))) << "caption";
    EXPECT_FALSE(looksDoubled(img, QRect(0, 0, 12, 12))) << "rounded corner";

    // The outline is two device pixels wide along the sides and unbroken
    // round the corners: every device row has it at the left and every
    // column at the top.
    const QRgb outline = rgb(0x00757575);
    for (int y : {0, 1}) EXPECT_EQ(img.pixel(100, y), outline);
    EXPECT_NE(img.pixel(100, 2), outline);
    for (int x : {0, 1}) EXPECT_EQ(img.pixel(x, 40), outline);
    for (int y = 0; y < 80; ++y) {
        int x = 0;
        while (x < 100 && img.pixel(x, y) != outline) ++x;
        EXPECT_LT(x, 12) << "row " << y;
    }
    for (int x = 0; x < 200; ++x) {
        int y = 0;
        while (y < 40 && img.pixel(x, y) != outline) ++y;
        EXPECT_LT(y, 12) << "column " << x;
    }
    // Nothing of it lies outside the button's shape, which is made of
    // whole logical pixels, and no pixel of the face lies between it and
    // the shape's edge: the first pixel of the shape in every row and
    // column is the outline.
    const QRegion shape = b.mask();
    for (int y = 0; y < 80; ++y) {
        int x = 0;
        while (!shape.contains(QPoint(x / 2, y / 2))) ++x;
        EXPECT_EQ(img.pixel(x, y), outline) << "row " << y;
    }
    for (int x = 0; x < 200; ++x) {
        int y = 0;
        while (!shape.contains(QPoint(x / 2, y / 2))) ++y;
        EXPECT_EQ(img.pixel(x, y), outline) << "column " << x;
    }
    for (int y = 0; y < 80; ++y) {
        for (int x = 0; x < 200; ++x) {
            if (img.pixel(x, y) == outline) {
                EXPECT_TRUE(shape.contains(QPoint(x / 2, y / 2))) << x << "," << y;
            }
        }
    }
}

TEST(ButtonHighDpi, FocusDotsAreOneLogicalPixel) {
    QWidget window;
    window.resize(100, 100);
    auto* b = new TplButton(&window);
    b->resize(60, 30);
    uniformFace(*b);
    activate(window);
    b->setFocus();
    ASSERT_TRUE(b->hasFocus());
    const QRgb face = rgb(0x00336699);
    for (auto style : {TplButton::bsNormal, TplButton::bsRoundRect}) {
        b->SetButtonStyle(style);
        const QImage img = renderAt(*b, 2);
        // The top side of the indicator, 3 (rounded: 2) logical pixels in.
        const int top = style == TplButton::bsNormal ? 6 : 4;
        for (int y : {top, top + 1}) {
            for (int x = 20; x < 40; ++x) {
                EXPECT_EQ(img.pixel(x, y) != face, (x / 2) % 2 == (top / 2) % 2) << style << " at " << x << "," << y;
            }
        }
    }
}

TEST(ButtonHighDpi, IconsUseTheirLargerImage) {
    QIcon icon;
    icon.addPixmap(solidPixmap({32, 32}, Qt::red));
    icon.addPixmap(solidPixmap({64, 64}, Qt::blue));
    TplButton b;
    b.resize(100, 49);
    b.SetImageIcon(icon);
    b.Image()->SetLeft(10);
    b.Image()->SetTop(8);
    EXPECT_EQ(renderAt(b, 1).pixel(20, 20), qRgb(255, 0, 0));
    const QImage img = renderAt(b, 2);
    EXPECT_EQ(img.pixel(20, 16), qRgb(0, 0, 255)) << "first device pixel of the icon";
    EXPECT_EQ(img.pixel(83, 79), qRgb(0, 0, 255)) << "last device pixel of the icon";
    EXPECT_NE(img.pixel(84, 40), qRgb(0, 0, 255)) << "the icon keeps its logical size";
}

// A bitmap made for two device pixels per pixel (a "@2x" file) is placed by
// its size in logical pixels.
TEST(ButtonHighDpi, HighResolutionBitmapsArePlacedByTheirLogicalSize) {
    QPixmap pm = solidPixmap({64, 64}, Qt::blue);
    pm.setDevicePixelRatio(2);
    TplButton b;
    b.resize(100, 49);
    b.SetImageBitmap(pm);
    b.Image()->SetHorzCenter(true);
    const QImage img = renderAt(b, 2);
    EXPECT_EQ(b.Image()->Top(), 8);
    EXPECT_EQ(b.Image()->Left(), 34);
    EXPECT_EQ(img.pixel(68, 16), qRgb(0, 0, 255));
    EXPECT_EQ(img.pixel(131, 79), qRgb(0, 0, 255));
    EXPECT_NE(img.pixel(132, 40), qRgb(0, 0, 255));
}

// What the widget shows on a high-resolution device is what one paint draws
// there, not the face at normal resolution scaled up.
TEST(ButtonHighDpi, TheWidgetPaintsAtTheResolutionItIsShownAt) {
    for (bool parentColor : {false, true}) {
        QWidget window;
        auto* b = new TplButton(&window);
        b->setFont(captionFont(16));
        b->resize(80, 30);
        b->SetButtonStyle(TplButton::bsRoundRect);
        b->CaptionA()->SetCaption(QStringLiteral("閉じる"));
        b->SetParentColor(parentColor);
        window.show();
        QImage shown(QSize(160, 60), QImage::Format_RGB32);
        shown.setDevicePixelRatio(2);
        shown.fill(Qt::black);
        b->render(&shown, QPoint(), QRegion(), QWidget::DrawChildren);
        const QImage drawn = renderAt(*b, 2);
        EXPECT_EQ(shown.pixel(80, 30), drawn.pixel(80, 30)) << parentColor;
        EXPECT_FALSE(looksDoubled(shown, QRect(20, 10, 120, 40))) << parentColor;
        // Compared inside the rounded shape, which clips what is shown.
        int inside = 0;
        int same = 0;
        for (int y = 0; y < 60; ++y) {
            for (int x = 0; x < 160; ++x) {
                if (!b->mask().contains(QPoint(x / 2, y / 2))) continue;
                ++inside;
                same += shown.pixel(x, y) == drawn.pixel(x, y);
            }
        }
        EXPECT_GT(inside, 9000);
        EXPECT_EQ(same, inside) << parentColor;
    }
}

// Run once more with QT_SCALE_FACTOR=2 (see CMakeLists.txt): the button on a
// screen of any scale shows its face drawn at that screen's resolution.
TEST(ButtonHighDpi, GrabbedAtTheScreensScale) {
    QWidget window;
    auto* b = new TplButton(&window);
    b->setFont(captionFont(16));
    b->resize(80, 30);
    b->CaptionA()->SetCaption(QStringLiteral("検索"));
    window.show();
    const qreal dpr = b->devicePixelRatioF();
    const QImage shown = b->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shown.size(), (QSizeF(80, 30) * dpr).toSize());
    EXPECT_EQ(shown, renderAt(*b, dpr).convertToFormat(QImage::Format_RGB32));
    if (dpr == 2) {
        EXPECT_FALSE(looksDoubled(shown, QRect(20, 10, 120, 40)));
    }
}
