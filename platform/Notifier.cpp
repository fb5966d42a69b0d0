#include "Notifier.h"

#include <QApplication>
#include <QMessageBox>
#include <QScreen>

namespace tenmari {
namespace {

QString g_title;

void showBox(QMessageBox::Icon icon, const QString& text) {
    QMessageBox box(icon, applicationTitle(), text, QMessageBox::Ok);
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

QString applicationTitle() {
    return g_title.isEmpty() ? QApplication::applicationDisplayName() : g_title;
}

void setApplicationTitle(const QString& title) { g_title = title; }

Notifier& notifier() {
    static DialogNotifier dialogs;
    return g_override ? *g_override : dialogs;
}

void setNotifier(Notifier* n) { g_override = n; }

}  // namespace tenmari
