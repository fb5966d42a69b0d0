// The transparent shape panel: painting into an image over a coloured
// parent, the geometry rules, the filtered mouse leave and the pointer
// confinement with its restore rules.
#include "CursorClip.h"
#include "InputState.h"
#include "TrPanel.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <memory>

namespace tenmari {
namespace {

const QColor kParent(200, 0, 0);
const QColor kPanel(0, 0, 200);  // the panel's Color in these tests
const TColor kPanelColor = 0x00C80000;

// A parent that paints itself in kParent, holding one panel.
struct Scene {
    QWidget parent;
    TTransPanel* panel;

    explicit Scene(QSize panelSize, QPoint at = {10, 10}) {
        parent.resize(panelSize.width() + 20, panelSize.height() + 20);
        parent.setAutoFillBackground(true);
        QPalette pal = parent.palette();
        pal.setColor(QPalette::Window, kParent);
        parent.setPalette(pal);
        panel = new TTransPanel(&parent);
        panel->setGeometry(QRect(at, panelSize));
        panel->SetColor(kPanelColor);
        panel->SetBevelOuter(TTransPanel::bvNone);
        QPalette text = panel->palette();
        text.setColor(QPalette::WindowText, Qt::white);
        panel->setPalette(text);
    }

    // The panel's area as it appears on the parent.
    QImage image() {
        QImage whole(parent.size(), QImage::Format_RGB32);
        whole.fill(Qt::black);
        parent.render(&whole);
        return whole.copy(panel->geometry());
    }
};

QColor at(const QImage& img, int x, int y) { return img.pixelColor(x, y); }

struct Pixel {
    int x, y;
    QColor colour;
};

// Each listed pixel has its colour.
void expectPixels(const QImage& img, std::initializer_list<Pixel> pixels) {
    for (const Pixel& p : pixels) {
        EXPECT_EQ(img.pixelColor(p.x, p.y), p.colour) << "at " << p.x << "," << p.y;
    }
}

bool allPixels(const QImage& img, const QRect& area, const QColor& c) {
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (img.pixelColor(x, y) != c) return false;
    return true;
}

// Text is antialiased: ink is any pixel that is not the parent's colour.
bool inked(const QImage& img, const QRect& area) { return !allPixels(img, area, kParent); }

bool anyPixel(const QImage& img, const QRect& area, const QColor& c) {
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (img.pixelColor(x, y) == c) return true;
    return false;
}

TEST(TransPanelTest, Defaults) {
    TTransPanel p;
    EXPECT_EQ(p.size(), QSize(185, 41));
    EXPECT_EQ(p.Alignment(), TTransPanel::taCenter);
    EXPECT_EQ(p.BevelOuter(), TTransPanel::bvRaised);
    EXPECT_EQ(p.BevelInner(), TTransPanel::bvNone);
    EXPECT_EQ(p.BevelWidth(), 1);
    EXPECT_EQ(p.BorderWidth(), 0);
    EXPECT_EQ(p.BorderStyle(), TTransPanel::bsNone);
    EXPECT_EQ(p.Shape(), TTransPanel::stNone);
    EXPECT_EQ(p.ShapeBrush(), QBrush(Qt::white, Qt::SolidPattern));
    EXPECT_EQ(p.ShapePen().color(), QColor(Qt::black));
    EXPECT_EQ(p.ShapePen().width(), 1);
    EXPECT_EQ(p.ShapePen().style(), Qt::SolidLine);
    EXPECT_FALSE(p.ShapeTransparent());
    EXPECT_EQ(p.ShapeRoundSize(), 4);
    EXPECT_EQ(p.FukidasiType(), TTransPanel::ftLeft);
    EXPECT_EQ(p.FukidasiPosition(), 0);
    EXPECT_FALSE(p.Transparent());
    EXPECT_FALSE(p.MouseClip());
    EXPECT_FALSE(p.MouseClipBack());
    EXPECT_TRUE(p.Caption().isEmpty());
    EXPECT_TRUE(p.CaptionLines().isEmpty());
    EXPECT_EQ(p.Color(), clBtnFace);
    EXPECT_EQ(p.focusPolicy(), Qt::NoFocus);
}

TEST(TransPanelTest, FormPropertiesByName) {
    TTransPanel p;
    EXPECT_TRUE(p.setProperty("Shape", QStringLiteral("stCircle")));
    EXPECT_TRUE(p.setProperty("BevelOuter", QStringLiteral("bvLowered")));
    EXPECT_TRUE(p.setProperty("Alignment", QStringLiteral("taLeftJustify")));
    EXPECT_TRUE(p.setProperty("FukidasiType", QStringLiteral("ftBottom")));
    EXPECT_TRUE(p.setProperty("Transparent", true));
    EXPECT_TRUE(p.setProperty("ShapePenWidth", 3));
    EXPECT_TRUE(p.setProperty("ShapeBrushStyle", QVariant::fromValue(Qt::NoBrush)));
    EXPECT_TRUE(p.setProperty("Color", 0x00808080u));
    EXPECT_TRUE(p.setProperty("Caption", QStringLiteral("Software")));
    EXPECT_EQ(p.Shape(), TTransPanel::stCircle);
    EXPECT_EQ(p.BevelOuter(), TTransPanel::bvLowered);
    EXPECT_EQ(p.Alignment(), TTransPanel::taLeftJustify);
    EXPECT_EQ(p.FukidasiType(), TTransPanel::ftBottom);
    EXPECT_TRUE(p.Transparent());
    EXPECT_EQ(p.ShapePen().width(), 3);
    EXPECT_EQ(p.ShapeBrush().style(), Qt::NoBrush);
    EXPECT_EQ(p.Color(), clGray);
    EXPECT_EQ(p.Caption(), "Software");
}

TEST(TransPanelTest, RangesOfTheNumericProperties) {
    TTransPanel p;
    p.SetBevelWidth(0);
    EXPECT_EQ(p.BevelWidth(), 1);
    p.SetBorderWidth(-2);
    EXPECT_EQ(p.BorderWidth(), 0);
    p.SetShapeRoundSize(0);
    EXPECT_EQ(p.ShapeRoundSize(), 1);
    p.SetShapeRoundSize(40);
    EXPECT_EQ(p.ShapeRoundSize(), 32);
}

TEST(TransPanelTest, CaptionLinesOfOneEmptyLineBecomeEmpty) {
    TTransPanel p;
    p.SetCaptionLines({""});
    EXPECT_TRUE(p.CaptionLines().isEmpty());
    p.SetCaptionLines({"", ""});
    EXPECT_EQ(p.CaptionLines().size(), 2);
    p.SetCaptionLines({"a"});
    EXPECT_EQ(p.CaptionLines(), QStringList{"a"});
}

TEST(TransPanelTest, FukidasiPositionIsClamped) {
    struct Case {
        TTransPanel::TFukidasiType type;
        int value, expected;
    };
    const Case cases[] = {
        {TTransPanel::ftLeft, -5, 0},   {TTransPanel::ftTop, 150, 91},   {TTransPanel::ftBottom, 101, 91},
        {TTransPanel::ftTop, 100, 100}, {TTransPanel::ftLeft, 150, 150}, {TTransPanel::ftRight, 500, 500},
    };
    for (const Case& c : cases) {
        TTransPanel p;
        p.resize(100, 40);
        p.SetFukidasiType(c.type);
        p.SetFukidasiPosition(c.value);
        EXPECT_EQ(p.FukidasiPosition(), c.expected) << c.type << " " << c.value;
    }
    // Assigning the current value again does nothing, even after shrinking.
    TTransPanel p;
    p.resize(100, 40);
    p.SetFukidasiType(TTransPanel::ftTop);
    p.SetFukidasiPosition(80);
    p.resize(50, 40);
    p.SetFukidasiPosition(80);
    EXPECT_EQ(p.FukidasiPosition(), 80);
}

TEST(TransPanelTest, ShapeBoxFollowsPenWidthAndSquareShapes) {
    struct Case {
        TTransPanel::TShapeType shape;
        int pen;
        QSize size;
        QRect expected;
    };
    const Case cases[] = {
        {TTransPanel::stRectangle, 0, {100, 40}, {0, 0, 100, 40}},
        {TTransPanel::stRectangle, 1, {100, 40}, {0, 0, 100, 40}},
        {TTransPanel::stRectangle, 3, {100, 40}, {1, 1, 98, 38}},
        {TTransPanel::stEllipse, 2, {100, 40}, {1, 1, 99, 39}},
        {TTransPanel::stCircle, 1, {100, 40}, {30, 0, 40, 40}},
        {TTransPanel::stSquare, 1, {40, 100}, {0, 30, 40, 40}},
        {TTransPanel::stRoundSquare, 3, {41, 100}, {1, 30, 39, 39}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TTransPanel::ShapeBox(c.shape, c.pen, c.size), c.expected) << c.shape << " pen " << c.pen;
    }
}

TEST(TransPanelTest, BalloonOutlineHasSevenPointsPerSide) {
    const QSize s(100, 50);
    const int p = 10;
    EXPECT_EQ(TTransPanel::FukidasiOutline(TTransPanel::ftLeft, s, p),
              QPolygon({{0, 14}, {8, 18}, {8, 49}, {99, 49}, {99, 0}, {8, 0}, {8, 10}}));
    EXPECT_EQ(TTransPanel::FukidasiOutline(TTransPanel::ftRight, s, p),
              QPolygon({{99, 14}, {92, 18}, {92, 49}, {0, 49}, {0, 0}, {92, 0}, {92, 10}}));
    EXPECT_EQ(TTransPanel::FukidasiOutline(TTransPanel::ftTop, s, p),
              QPolygon({{14, 0}, {18, 8}, {99, 8}, {99, 49}, {0, 49}, {0, 8}, {10, 8}}));
    EXPECT_EQ(TTransPanel::FukidasiOutline(TTransPanel::ftBottom, s, p),
              QPolygon({{14, 49}, {18, 42}, {99, 42}, {99, 0}, {0, 0}, {0, 42}, {10, 42}}));
}

TEST(TransPanelPaintTest, TransparentPanelLeavesTheParentVisible) {
    Scene scene({60, 30});
    scene.panel->SetTransparent(true);
    EXPECT_TRUE(allPixels(scene.image(), QRect(0, 0, 60, 30), kParent));
    scene.panel->SetTransparent(false);
    EXPECT_TRUE(allPixels(scene.image(), QRect(0, 0, 60, 30), kPanel));
}

TEST(TransPanelPaintTest, TransparencyFollowsMoves) {
    Scene scene({30, 20});
    scene.parent.resize(120, 60);
    scene.panel->SetTransparent(true);
    scene.panel->SetBevelOuter(TTransPanel::bvRaised);
    scene.panel->move(60, 20);
    QImage whole(scene.parent.size(), QImage::Format_RGB32);
    scene.parent.render(&whole);
    EXPECT_TRUE(allPixels(whole, QRect(10, 10, 30, 20), kParent));  // where it was
    EXPECT_EQ(whole.pixelColor(60, 20), toQColor(clBtnHighlight));
    EXPECT_EQ(whole.pixelColor(70, 30), kParent);  // inside, over the parent
}

TEST(TransPanelPaintTest, BevelAndBorderRingsInOrder) {
    Scene scene({20, 12});
    scene.panel->SetTransparent(true);
    scene.panel->SetBevelOuter(TTransPanel::bvLowered);
    scene.panel->SetBevelWidth(2);
    scene.panel->SetBorderWidth(1);
    scene.panel->SetBevelInner(TTransPanel::bvRaised);
    const QImage img = scene.image();
    const QColor shadow = toQColor(clBtnShadow);
    const QColor light = toQColor(clBtnHighlight);
    // Outer lowered bevel, 2 rings: shadow top-left, highlight bottom-right.
    expectPixels(img, {
                          {0, 0, shadow},
                          {18, 0, shadow},
                          {19, 0, light},  // the corner belongs to the right column
                          {0, 10, shadow},
                          {0, 11, light},
                          {1, 1, shadow},
                          {18, 10, light},
                          // Border ring in Color.
                          {2, 2, kPanel},
                          {17, 9, kPanel},
                          // Inner raised bevel, 2 rings.
                          {3, 3, light},
                          {4, 4, light},
                          {16, 8, shadow},
                          {15, 7, shadow},
                      });
    // The rest shows the parent.
    EXPECT_TRUE(allPixels(img, QRect(5, 5, 10, 2), kParent));
}

TEST(TransPanelPaintTest, BevelsWiderThanThePanelLeaveNothingToFill) {
    // Two rings on each side leave an inverted rectangle: no fill and no
    // one-line caption, only bevel pixels.
    const QSize sizes[] = {{3, 3}, {3, 30}, {30, 3}};
    const QColor shadow = toQColor(clBtnShadow);
    const QColor light = toQColor(clBtnHighlight);
    for (const QSize size : sizes) {
        Scene scene(size);
        scene.panel->SetBevelOuter(TTransPanel::bvRaised);
        scene.panel->SetBevelWidth(2);
        if (size.width() == 3) scene.panel->SetCaption("WWW");
        const QImage img = scene.image();
        for (int y = 0; y < size.height(); ++y) {
            for (int x = 0; x < size.width(); ++x) {
                const QColor c = img.pixelColor(x, y);
                EXPECT_TRUE(c == shadow || c == light)
                    << size.width() << "x" << size.height() << " at " << x << "," << y;
            }
        }
        EXPECT_EQ(img.pixelColor(1, 1), shadow);  // the inner ring's bottom-right corner
    }
}

TEST(TransPanelPaintTest, SpaceBevelDrawsLikeRaised) {
    Scene raised({30, 20});
    raised.panel->SetBevelOuter(TTransPanel::bvRaised);
    raised.panel->SetBevelInner(TTransPanel::bvRaised);
    Scene space({30, 20});
    space.panel->SetBevelOuter(TTransPanel::bvSpace);
    space.panel->SetBevelInner(TTransPanel::bvSpace);
    EXPECT_EQ(raised.image(), space.image());
}

TEST(TransPanelPaintTest, CircleIsCentredWithTheShorterSide) {
    Scene scene({100, 40});
    scene.panel->SetTransparent(true);
    scene.panel->SetShape(TTransPanel::stCircle);
    const QImage img = scene.image();
    const QColor black(Qt::black), white(Qt::white);
    expectPixels(img, {
                          {30, 20, black},
                          {29, 20, kParent},
                          {69, 20, black},
                          {70, 20, kParent},
                          {50, 0, black},
                          {50, 39, black},
                          {50, 20, white},
                          {32, 2, kParent},  // outside the circle, inside its square
                      });
}

TEST(TransPanelPaintTest, RoundedRectangleHasCornersOfTheShorterSideByRoundSize) {
    Scene scene({100, 40});
    scene.panel->SetTransparent(true);
    scene.panel->SetShape(TTransPanel::stRoundRect);
    QImage img = scene.image();
    const QColor black(Qt::black);
    // 40 div 4 = 10 pixel corners: the corner pixels stay free...
    expectPixels(img, {
                          {0, 0, kParent},
                          {1, 0, kParent},
                          {99, 39, kParent},
                          // ...the straight edges start after them.
                          {6, 0, black},
                          {0, 6, black},
                          {93, 39, black},
                          {50, 20, QColor(Qt::white)},
                      });
    // Round size 1: corners of 40 pixels.
    scene.panel->SetShapeRoundSize(1);
    img = scene.image();
    EXPECT_EQ(at(img, 6, 0), kParent);
    EXPECT_EQ(at(img, 25, 0), black);
    // A plain rectangle owns its corners.
    scene.panel->SetShape(TTransPanel::stRectangle);
    img = scene.image();
    EXPECT_EQ(at(img, 0, 0), black);
    EXPECT_EQ(at(img, 99, 39), black);
}

TEST(TransPanelPaintTest, BalloonOutlineWithItsTail) {
    Scene scene({100, 50});
    scene.panel->SetTransparent(true);
    scene.panel->SetShape(TTransPanel::stFukidasi);
    scene.panel->SetFukidasiPosition(10);
    const QImage img = scene.image();
    const QColor black(Qt::black), white(Qt::white);
    expectPixels(img, {
                          {0, 14, black},  // tip of the tail
                          {8, 0, black},
                          {99, 49, black},
                          {8, 30, black},  // body's left edge below the tail
                          {4, 14, white},  // inside the tail
                          {3, 3, kParent},
                          {3, 40, kParent},
                          {50, 25, white},
                      });
}

TEST(TransPanelPaintTest, ShapeTransparentDecidesWhatShowsThroughTheBrush) {
    Scene scene({60, 30});
    scene.panel->SetTransparent(true);
    scene.panel->SetShape(TTransPanel::stRectangle);
    scene.panel->SetShapeBrush(QBrush(Qt::NoBrush));
    EXPECT_EQ(at(scene.image(), 30, 15), kPanel);
    scene.panel->SetShapeTransparent(true);
    EXPECT_EQ(at(scene.image(), 30, 15), kParent);
    scene.panel->SetShapeBrush(QBrush(Qt::green, Qt::DiagCrossPattern));
    const QImage img = scene.image();
    EXPECT_TRUE(anyPixel(img, QRect(2, 2, 56, 26), kParent));
    EXPECT_TRUE(anyPixel(img, QRect(2, 2, 56, 26), QColor(Qt::green)));
}

TEST(TransPanelPaintTest, OneLineCaptionStaysInsideItsLine) {
    Scene scene({120, 40});
    scene.panel->SetTransparent(true);
    QFont f = scene.panel->font();
    f.setPixelSize(12);
    scene.panel->setFont(f);
    scene.panel->SetCaption("Wide Caption\nsecond line");
    const QImage img = scene.image();
    const int t = QFontMetrics(f).height();
    const int top = (40 - t) / 2;
    EXPECT_TRUE(inked(img, QRect(0, top, 120, t)));
    EXPECT_FALSE(inked(img, QRect(0, 0, 120, top)));
    EXPECT_FALSE(inked(img, QRect(0, top + t, 120, 40 - top - t)));
}

TEST(TransPanelPaintTest, CaptionLinesReplaceTheCaption) {
    Scene scene({120, 40});
    scene.panel->SetTransparent(true);
    scene.panel->SetCaption("WWWWWWWW");
    scene.panel->SetCaptionLines({" "});
    EXPECT_TRUE(allPixels(scene.image(), QRect(0, 0, 120, 40), kParent));
}

TEST(TransPanelPaintTest, SolidShapeBrushBacksTheCaptionOutsideTheShape) {
    Scene scene({100, 40});
    scene.panel->SetTransparent(true);
    scene.panel->SetShape(TTransPanel::stEllipse);
    QPalette pal = scene.panel->palette();
    pal.setColor(QPalette::WindowText, Qt::black);
    scene.panel->setPalette(pal);
    scene.panel->SetCaption(QString(30, u'W'));
    const int t = QFontMetrics(scene.panel->font()).height();
    const int mid = (40 - t) / 2 + t / 2;
    // The text is wider than the panel: its cells are white at the far left,
    // where the ellipse is not.
    EXPECT_NE(at(scene.image(), 0, mid - 1), kParent);
    scene.panel->SetShapeBrush(QBrush(Qt::white, Qt::BDiagPattern));
    scene.panel->SetShapeTransparent(true);
    scene.panel->SetCaption(QString(30, u'.'));
    EXPECT_EQ(at(scene.image(), 0, (40 - t) / 2), kParent);
}

// On a device of two pixels per logical pixel the panel is drawn at the
// device's resolution over the parent's pixels: one-pixel lines two device
// pixels wide, the caption not a scaled-up picture.
TEST(TransPanelPaintTest, DrawnAtTheResolutionOfTheDevice) {
    Scene scene({100, 40});
    scene.panel->SetTransparent(true);
    scene.panel->SetShape(TTransPanel::stRoundRect);
    scene.panel->SetShapeBrush(QBrush(Qt::NoBrush));
    scene.panel->SetShapeTransparent(true);
    QFont f = scene.panel->font();
    f.setPixelSize(14);
    scene.panel->setFont(f);
    scene.panel->SetCaption(QStringLiteral("Tenmariソフト"));
    QImage whole(scene.parent.size() * 2, QImage::Format_RGB32);
    whole.setDevicePixelRatio(2);
    whole.fill(Qt::black);
    scene.parent.render(&whole);
    const QImage img = whole.copy(QRect(scene.panel->geometry().topLeft() * 2, scene.panel->size() * 2));
    const QColor black(Qt::black);
    expectPixels(img, {
                          {100, 0, black},
                          {100, 1, black},
                          {100, 2, kParent},
                          {0, 40, black},
                          {1, 40, black},
                          {2, 40, kParent},
                          {0, 0, kParent},  // the rounded corner lets the parent show
                      });
    // Somewhere in the caption two neighbouring device pixels of one
    // logical pixel differ.
    bool finer = false;
    for (int y = 0; y < 80 && !finer; y += 2) {
        for (int x = 0; x < 200 && !finer; x += 2) {
            finer = img.pixel(x, y) != img.pixel(x + 1, y) || img.pixel(x, y) != img.pixel(x, y + 1);
        }
    }
    EXPECT_TRUE(finer);
}

TEST(TransPanelTest, ScreenReadersReadTheCaptionAsALabel) {
    TTransPanel panel;
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&panel);
    ASSERT_NE(iface, nullptr);
    EXPECT_EQ(iface->role(), QAccessible::StaticText);
    EXPECT_EQ(iface->text(QAccessible::Name), QString());
    panel.SetCaption(QStringLiteral("Tenmariソフト\n(shown on one line only)"));
    EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("Tenmariソフト"));
    panel.SetCaptionLines({QStringLiteral("郵便番号"), QStringLiteral("検　索")});
    EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("郵便番号 検索"));
    panel.setAccessibleName(QStringLiteral("版"));
    EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("版"));
}

TEST(TransPanelLayoutTest, CaptionLinePositionsUseBytesTimesHalfPitch) {
    struct Case {
        const char* name;
        TTransPanel::TAlignment align;
        TTransPanel::TShapeType shape;
        TTransPanel::TFukidasiType tail;
        int borderWidth;
        QSize size;
        QStringList lines;
        QVector<QPoint> expected;
    };
    // Pitch 12: half a pitch (6 pixels) per byte.
    const Case cases[] = {
        {"left",
         TTransPanel::taLeftJustify,
         TTransPanel::stNone,
         TTransPanel::ftLeft,
         2,
         {100, 60},
         {"ab", "あいう", "x"},
         {{3, 12}, {3, 24}, {3, 36}}},
        {"right",
         TTransPanel::taRightJustify,
         TTransPanel::stNone,
         TTransPanel::ftLeft,
         0,
         {100, 60},
         {"ab", "あいう"},
         {{100 - 12 - 1, 18}, {100 - 36 - 1, 30}}},
        {"centre",
         TTransPanel::taCenter,
         TTransPanel::stNone,
         TTransPanel::ftLeft,
         0,
         {100, 60},
         {"ab", "ｱｲｳ"},
         {{44, 18}, {41, 30}}},
        {"margin from the pen",
         TTransPanel::taLeftJustify,
         TTransPanel::stRectangle,
         TTransPanel::ftLeft,
         5,
         {100, 60},
         {"a"},
         {{2, 24}}},
        {"balloon tail left",
         TTransPanel::taLeftJustify,
         TTransPanel::stFukidasi,
         TTransPanel::ftLeft,
         0,
         {100, 60},
         {"a"},
         {{6, 24}}},
        {"balloon tail bottom",
         TTransPanel::taLeftJustify,
         TTransPanel::stFukidasi,
         TTransPanel::ftBottom,
         0,
         {100, 60},
         {"a"},
         {{2, 20}}},
        {"more lines than fit",
         TTransPanel::taLeftJustify,
         TTransPanel::stNone,
         TTransPanel::ftLeft,
         0,
         {100, 20},
         {"a", "b", "c"},
         {{1, 0}, {1, 12}, {1, 24}}},
        {"too long for the width",
         TTransPanel::taCenter,
         TTransPanel::stNone,
         TTransPanel::ftLeft,
         0,
         {100, 20},
         {QString(30, u'x')},
         {{-40, 4}}},
    };
    for (const Case& c : cases) {
        TTransPanel p;
        QFont f = p.font();
        f.setPixelSize(12);
        p.setFont(f);
        p.resize(c.size);
        p.SetAlignment(c.align);
        p.SetShape(c.shape);
        p.SetFukidasiType(c.tail);
        p.SetBorderWidth(c.borderWidth);
        p.SetCaptionLines(c.lines);
        EXPECT_EQ(p.CaptionLinePositions(), c.expected) << c.name;
    }
}

TEST(TransPanelPaintTest, MultiLineCaptionIsPaintedAtItsLinePositions) {
    Scene scene({100, 60});
    scene.panel->SetTransparent(true);
    scene.panel->SetAlignment(TTransPanel::taLeftJustify);
    QFont f = scene.panel->font();
    f.setPixelSize(12);
    scene.panel->setFont(f);
    scene.panel->SetCaptionLines({"H", "", "H"});
    const QImage img = scene.image();
    const QFontMetrics fm(f);
    // y0 = (60 - 36) div 2 = 12; lines at 12 and 36, x = 1; the middle is empty.
    EXPECT_TRUE(inked(img, QRect(1, 12, 12, fm.height())));
    EXPECT_TRUE(inked(img, QRect(1, 36, 12, fm.height())));
    EXPECT_FALSE(inked(img, QRect(0, 0, 100, 12)));
    EXPECT_FALSE(inked(img, QRect(0, 12 + fm.height(), 100, 36 - 12 - fm.height())));
    EXPECT_FALSE(inked(img, QRect(14, 0, 86, 60)));
    EXPECT_FALSE(inked(img, QRect(0, 0, 1, 60)));
}

// Keyboard, pointer and capture as a test sets them.
class FakeInput final : public InputSource {
public:
    TShiftState shift;
    QPoint pos;
    TShiftState shiftState() const override { return shift; }
    QPoint cursorPos() const override { return pos; }
    QWidget* mouseCapture() const override { return nullptr; }
};

class WithFakeInput : public ::testing::Test {
protected:
    void SetUp() override {
        setInputSource(&input_);
        setPointerMover([this](const QPoint& p) { moves.append(p); });
        clearCursorClip();
    }
    void TearDown() override {
        clearCursorClip();
        setPointerMover(nullptr);
        setInputSource(nullptr);
    }
    FakeInput input_;
    QList<QPoint> moves;
};

using TransPanelMouseLeaveTest = WithFakeInput;

TEST_F(TransPanelMouseLeaveTest, FiresOnlyOutsideTheRectangle) {
    QWidget window;
    window.resize(200, 100);
    auto* panel = new TTransPanel(&window);
    panel->setGeometry(20, 20, 100, 50);
    auto* child = new QWidget(panel);
    child->setGeometry(10, 10, 30, 30);
    window.show();
    QApplication::processEvents();

    struct Leave {
        TShiftState shift;
        int x, y;
    };
    QList<Leave> leaves;
    QObject::connect(panel, &TTransPanel::OnMouseLeave, [&](QObject* sender, TShiftState shift, int x, int y) {
        EXPECT_EQ(sender, panel);
        leaves.append({shift, x, y});
    });
    QEvent leave(QEvent::Leave);

    input_.pos = child->mapToGlobal(QPoint(5, 5));  // over the child
    QApplication::sendEvent(panel, &leave);
    EXPECT_TRUE(leaves.isEmpty());
    input_.pos = panel->mapToGlobal(QPoint(99, 49));  // last pixel inside
    QApplication::sendEvent(panel, &leave);
    EXPECT_TRUE(leaves.isEmpty());

    input_.shift = Shift::ssShift | Shift::ssLeft;
    input_.pos = panel->mapToGlobal(QPoint(100, 10));
    QApplication::sendEvent(panel, &leave);
    input_.shift = {};
    input_.pos = panel->mapToGlobal(QPoint(30, -1));
    QApplication::sendEvent(panel, &leave);
    ASSERT_EQ(leaves.size(), 2);
    EXPECT_EQ(leaves[0].shift, Shift::ssShift | Shift::ssLeft);
    EXPECT_EQ(leaves[0].x, 100);
    EXPECT_EQ(leaves[0].y, 10);
    EXPECT_EQ(leaves[1].shift, TShiftState());
    EXPECT_EQ(leaves[1].x, 30);
    EXPECT_EQ(leaves[1].y, -1);
}

using TransPanelClipTest = WithFakeInput;

const QRect kBefore(0, 0, 640, 480);
const QRect kOther(50, 50, 20, 20);

TEST_F(TransPanelClipTest, CreatingAPanelFreesThePointer) {
    setCursorClip(kBefore);
    TTransPanel panel;
    EXPECT_EQ(cursorClip(), std::nullopt);
}

TEST_F(TransPanelClipTest, MouseClipConfinesToThePanelOnScreen) {
    QWidget window;
    auto* panel = new TTransPanel(&window);
    panel->setGeometry(15, 25, 40, 30);
    window.show();
    QApplication::processEvents();
    panel->SetMouseClip(true);
    EXPECT_EQ(cursorClip(), QRect(panel->mapToGlobal(QPoint(0, 0)), QSize(40, 30)));
    panel->SetMouseClip(false);
    EXPECT_EQ(cursorClip(), std::nullopt);
}

TEST_F(TransPanelClipTest, MouseClipBackRestoresTheEarlierConfinement) {
    TTransPanel panel;
    setCursorClip(kOther);
    panel.SetMouseClipBack(true);
    panel.SetMouseClip(true);
    EXPECT_NE(cursorClip(), kOther);
    setCursorClip(kBefore);    // changed by someone else meanwhile
    panel.SetMouseClip(true);  // unchanged value: the saved rectangle stays
    panel.SetMouseClip(false);
    EXPECT_EQ(cursorClip(), kOther);
}

TEST_F(TransPanelClipTest, DestructionRestoresOrFrees) {
    setCursorClip(kBefore);
    {
        TTransPanel panel;  // frees the pointer, but remembers kBefore
        panel.SetMouseClipBack(true);
        panel.SetMouseClip(true);
    }
    EXPECT_EQ(cursorClip(), kBefore);
    {
        TTransPanel panel;
        panel.SetMouseClip(true);
    }
    EXPECT_EQ(cursorClip(), std::nullopt);
}

TEST_F(TransPanelClipTest, PointerLeavingTheRectangleIsMovedBack) {
    QWidget target;
    input_.pos = QPoint(120, 120);
    setCursorClip(QRect(100, 100, 50, 50));
    EXPECT_TRUE(moves.isEmpty());
    const struct {
        QPoint outside, back;
    } cases[] = {{{300, 120}, {149, 120}}, {{10, 10}, {100, 100}}, {{120, 150}, {120, 149}}};
    for (const auto& c : cases) {
        QMouseEvent move(QEvent::MouseMove, QPointF(0, 0), QPointF(c.outside), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(&target, &move);
        ASSERT_FALSE(moves.isEmpty());
        EXPECT_EQ(moves.back(), c.back);
    }
    moves.clear();
    clearCursorClip();
    QMouseEvent move(QEvent::MouseMove, QPointF(0, 0), QPointF(300, 300), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &move);
    EXPECT_TRUE(moves.isEmpty());
}

TEST_F(TransPanelClipTest, SettingAConfinementPullsAnOutsidePointerIn) {
    input_.pos = QPoint(5, 5);
    setCursorClip(QRect(100, 100, 50, 50));
    EXPECT_EQ(moves, QList<QPoint>{QPoint(100, 100)});
}

}  // namespace
}  // namespace tenmari
