// Tenmari: Japanese postal codes to addresses and back, in one small window.

#include "ClassicStyle.h"
#include "ClipboardKeeper.h"
#include "Notifier.h"
#include "UnitMain.h"
#include "WindowFont.h"

#include <QApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalSocket[2] = {-1, -1};

void onTerminate(int) {
    const char c = 1;
    [[maybe_unused]] const auto n = ::write(g_signalSocket[0], &c, 1);
}

// SIGTERM and SIGINT close the window the ordinary way, so the settings are
// written as on every other close.
void closeOnSignals(QWidget* window) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalSocket) != 0) return;
    auto* notifier = new QSocketNotifier(g_signalSocket[1], QSocketNotifier::Read, window);
    QObject::connect(notifier, &QSocketNotifier::activated, window, [window] {
        char c = 0;
        [[maybe_unused]] const auto n = ::read(g_signalSocket[1], &c, 1);
        // A message box waiting for OK would keep the process alive.
        for (int i = 0; i < 8 && QApplication::activeModalWidget(); ++i) QApplication::activeModalWidget()->close();
        window->close();
    });
    struct sigaction sa {};
    sa.sa_handler = onTerminate;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
}

bool hasDisplay() {
    const auto set = [](const char* name) {
        const char* v = std::getenv(name);
        return v && *v;
    };
    return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::puts("Usage: tenmari\nJapanese postal codes to addresses and back, in a window. "
                      "It takes no arguments; see tenmari-lookup for the command line.");
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::puts("tenmari 1.22");
            return 0;
        }
    }
    if (!hasDisplay()) {
        std::fputs("tenmari: the window needs a graphical session (neither DISPLAY nor WAYLAND_DISPLAY is set)\n",
                   stderr);
        return 1;
    }

    const bool userStyle = tenmari::styleChosenByUser(argc, argv);
    QApplication app(argc, argv);
    if (!userStyle) tenmari::applyClassicStyle();
    if (app.arguments().size() > 1) {
        std::fprintf(stderr, "tenmari: unknown argument '%s' (try --help)\n",
                     app.arguments().at(1).toLocal8Bit().constData());
        return 2;
    }
    QApplication::setApplicationName(QStringLiteral("tenmari"));
    QApplication::setApplicationVersion(QStringLiteral("1.22"));
    QGuiApplication::setDesktopFileName(QStringLiteral("tenmari"));
    tenmari::setApplicationTitle(QStringLiteral("Tenmariソフト"));
    tenmari::installWindowFont();

    tenmari::TFormMain window;
    closeOnSignals(&window);
    // The end of the desktop session writes the settings like a close.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window, [&window] { window.saveSettingsOnce(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &window, [&window] { window.saveSettingsOnce(); });
    window.show();
    const int code = app.exec();
    // The copied result outlives the window (X11 without a clipboard manager).
    tenmari::keepClipboardAfterExit();
    return code;
}
