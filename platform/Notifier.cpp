#include "Notifier.h"

#include <QApplication>
#include <QMessageBox>
#include <QScreen>

namespace tenmari {
namespace {

QString g_title;

void showBox(QMessageBox::Icon icon, const QString& text) {
    // Owned by the window, so that the window manager keeps the box above it,
    // also when the window stays on top; still centred on the screen.
    QMessageBox box(icon, applicationTitle(), text, QMessageBox::Ok, messageOwner());
    box.adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        box.move(screen->geometry().center() - box.rect().center());
    }
    box.exec();
}

class DialogNotifier final : public Notifier {
public:
    void beep() override { QApplication::beep(); }
    void message(const QString& text) override { showBox(QMessageBox::NoIcon, text); }
    void error(const QString& text) override { showBox(QMessageBox::Critical, text); }
};

Notifier* g_override = nullptr;

}  // namespace

QWidget* messageOwner() {
    if (QWidget* active = QApplication::activeWindow()) return active;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        const Qt::WindowType type = w->windowType();
        if (w->isVisible() && (type == Qt::Window || type == Qt::Dialog)) return w;
    }
    return nullptr;
}

QString applicationTitle() { return g_title.isEmpty() ? QApplication::applicationDisplayName() : g_title; }

void setApplicationTitle(const QString& title) { g_title = title; }

Notifier& notifier() {
    static DialogNotifier dialogs;
    return g_override ? *g_override : dialogs;
}

void setNotifier(Notifier* n) { g_override = n; }

}  // namespace tenmari
