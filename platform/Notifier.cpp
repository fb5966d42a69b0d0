#include "Notifier.h"

#include <QApplication>
#include <QMessageBox>
#include <QScreen>

namespace tenmari {
namespace {

void showBox(QMessageBox::Icon icon, const QString& text) {
    QMessageBox box(icon, QApplication::applicationDisplayName(), text, QMessageBox::Ok);
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

Notifier& notifier() {
    static DialogNotifier dialogs;
    return g_override ? *g_override : dialogs;
}

void setNotifier(Notifier* n) { g_override = n; }

}  // namespace tenmari
