#include "BenchWindow.h"

#include <QKeyEvent>

#include <cstdio>

#include "BenchSupport.h"
#include "ClassicStyle.h"
#include "WindowFont.h"

namespace tenmari::bench {
namespace {

// Styled as the program styles itself: the classic style unless the
// command line or the environment chose another.
QApplication* offscreenApplication(int& argc, char** argv, const QTemporaryDir& config) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (config.isValid()) qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    const bool userStyle = styleChosenByUser(argc, argv);
    auto* app = new QApplication(argc, argv);
    if (!userStyle) applyClassicStyle();
    return app;
}

}  // namespace

void PrintingNotifier::message(const QString& text) { std::fprintf(stderr, "message: %s\n", qPrintable(text)); }
void PrintingNotifier::error(const QString& text) { std::fprintf(stderr, "error: %s\n", qPrintable(text)); }

OffscreenWindow::OffscreenWindow(int& argc, char** argv) : app_(offscreenApplication(argc, argv, config_)) {
    setNotifier(&notifier_);
    installWindowFont();
}

OffscreenWindow::~OffscreenWindow() {
    window_.reset();
    setNotifier(nullptr);
}

bool OffscreenWindow::open(const QString& exeDir) {
    csv_ = kenAllCsvOrSay();
    if (csv_.empty()) return false;
    window_ = std::make_unique<TFormMain>();
    if (!exeDir.isEmpty()) window_->ExeDir = exeDir;
    window_->show();
    window_->PostReference1().SetPostFile(csv_);
    return true;
}

void pressEnter(QWidget* w) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QApplication::sendEvent(w, &press);
}

}  // namespace tenmari::bench
