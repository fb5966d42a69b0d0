// A window with one gradient button of each style, a title band with labels
// on it, icons and a disabled button, for looking at the painting.

#include "plButton.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QWidget>

using tenmari::TplButton;

namespace {

// A 32 x 32 icon: a white question mark on a blue disc.
QIcon questionIcon() {
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(0x20, 0x60, 0xD0));
    p.setPen(Qt::NoPen);
    p.drawEllipse(1, 1, 30, 30);
    p.setPen(Qt::white);
    QFont f;
    f.setPixelSize(24);
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRect(0, 0, 32, 32), Qt::AlignCenter, QStringLiteral("?"));
    return QIcon(pm);
}

// A 32 x 32 bitmap with a magenta background (left transparent when the
// button asks for it) and a magnifying glass.
QPixmap glassBitmap() {
    QPixmap pm(32, 32);
    pm.fill(QColor(0xFF, 0x00, 0xFF));
    QPainter p(&pm);
    p.setPen(QPen(QColor(0x30, 0x30, 0x30), 4));
    p.drawEllipse(5, 5, 16, 16);
    p.drawLine(19, 19, 28, 28);
    return pm;
}

TplButton* addButton(QWidget* parent, int x, int y, const QString& a, const QString& b,
                     TplButton::TplButtonStyle style) {
    auto* button = new TplButton(parent);
    button->setGeometry(x, y, 100, 49);
    button->SetButtonStyle(style);
    button->CaptionA()->SetCaption(a);
    button->CaptionB()->SetCaption(b);
    // The window's hover effect: the gradient turns upside down under the pointer.
    auto swap = [button](QObject*, tenmari::TShiftState, int, int) {
        const tenmari::TColor begin = button->GradBeginColor();
        button->SetGradBeginColor(button->GradEndColor());
        button->SetGradEndColor(begin);
    };
    QObject::connect(button, &TplButton::OnMouseEnter, button, swap);
    QObject::connect(button, &TplButton::OnMouseLeave, button, swap);
    return button;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("TplButton"));
    window.resize(450, 330);
    QFont font;
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("Noto Sans CJK JP")});
    font.setPixelSize(15);
    window.setFont(font);
    QPalette pal = window.palette();
    pal.setColor(QPalette::Window, QColor(0xE5, 0xE8, 0xDD));
    window.setPalette(pal);

    // The title band: a frameless green gradient holding labels.
    auto* band = new TplButton(&window);
    band->setGeometry(8, 6, 434, 70);
    band->SetButtonStyle(TplButton::bsFlatNoFrame);
    band->SetGradBeginColor(0x002D3808);
    band->SetGradEndColor(0x00A0AA93);
    band->SetCaptionTop(35);
    band->SetTabStop(false);
    auto* title = new QLabel(QStringLiteral("Tenmariソフト Software"), band);
    title->setGeometry(123, 22, 296, 20);
    title->setStyleSheet(QStringLiteral("color: white; font-weight: bold; font-size: 17px;"));

    addButton(&window, 10, 90, QStringLiteral("bsNormal"), QStringLiteral("標準"), TplButton::bsNormal);
    auto* flat = addButton(&window, 120, 90, QStringLiteral("bsFlat"), QStringLiteral("bffFlat"), TplButton::bsFlat);
    flat->SetFlatFrameType(TplButton::bffFlat);
    auto* etched =
        addButton(&window, 230, 90, QStringLiteral("bsFlat"), QStringLiteral("bffEtched"), TplButton::bsFlat);
    etched->SetFlatFrameType(TplButton::bffEtched);
    auto* bump = addButton(&window, 340, 90, QStringLiteral("bsFlat"), QStringLiteral("bffBump"), TplButton::bsFlat);
    bump->SetFlatFrameType(TplButton::bffBump);

    addButton(&window, 10, 150, QStringLiteral("NoFrame"), QString(), TplButton::bsFlatNoFrame);
    addButton(&window, 120, 150, QStringLiteral("RoundRect"), QString(), TplButton::bsRoundRect);
    addButton(&window, 230, 150, QStringLiteral("RoundNoFrame"), QString(), TplButton::bsRoundRectNoFrame);
    auto* even = addButton(&window, 340, 150, QStringLiteral("均等割付"), QString(), TplButton::bsNormal);
    even->CaptionA()->SetAlignment(TplButton::taEven);
    even->CaptionA()->SetLeft(8);
    even->CaptionA()->SetRight(8);

    auto* search = addButton(&window, 10, 210, QStringLiteral("検　索"), QString(), TplButton::bsNormal);
    search->SetImageBitmap(glassBitmap());
    search->Image()->SetTransParent(true);
    search->CaptionA()->SetAlignment(TplButton::taRight);
    search->CaptionA()->SetRight(11);
    search->SetGradEndColor(0x00C7DDE2);

    auto* help = addButton(&window, 120, 210, QStringLiteral("説明書"), QString(), TplButton::bsNormal);
    help->SetImageIcon(questionIcon());
    help->Image()->SetLeft(7);
    help->CaptionA()->SetAlignment(TplButton::taRight);
    help->CaptionA()->SetRight(10);

    auto* disabled =
        addButton(&window, 230, 210, QStringLiteral("無効"), QStringLiteral("HasFocus"), TplButton::bsNormal);
    disabled->SetImageIcon(questionIcon());
    disabled->Image()->SetLeft(4);
    disabled->CaptionA()->SetAlignment(TplButton::taRight);
    disabled->CaptionB()->SetAlignment(TplButton::taRight);
    disabled->setEnabled(false);

    auto* focused = addButton(&window, 340, 210, QStringLiteral("フォーカス"), QString(), TplButton::bsNormal);
    auto* roundFocused = addButton(&window, 10, 270, QStringLiteral("丸フォーカス"), QString(), TplButton::bsRoundRect);
    auto* cancel = addButton(&window, 120, 270, QStringLiteral("閉じる"), QStringLiteral("Esc"), TplButton::bsFlat);
    cancel->SetCancel(true);
    QObject::connect(cancel, &TplButton::OnClick, &window, [&window](QObject*) { window.close(); });

    window.show();
    // Show one square and one rounded focus indicator: the first argument
    // picks the rounded one.
    const bool round = argc > 1 && QString::fromLocal8Bit(argv[1]) == QStringLiteral("round");
    (round ? roundFocused : focused)->setFocus();
    return app.exec();
}
