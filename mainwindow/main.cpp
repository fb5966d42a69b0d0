// Tenmari: Japanese postal codes to addresses and back, in one small window.

#include "ClassicStyle.h"
#include "ClipboardKeeper.h"
#include "GraphicalSession.h"
#include "Notifier.h"
#include "UnitMain.h"
#include "WindowFont.h"

#include <QApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalSocket[2] = {-1, -1};

void onTerminate(int) {
    const char c = 1;
    [[maybe_unused]] const auto n = ::write(g_signalSocket[0], &c, 1);
}

// Once a signal asked the program to end, no box may hold it open: errors of
// the last save go to the standard error.
class EndingNotifier : public tenmari::Notifier {
public:
    void beep() override {}
    void message(const QString& text) override { say(text); }
    void error(const QString& text) override { say(text); }

private:
    static void say(const QString& text) { std::fprintf(stderr, "tenmari: %s\n", text.toLocal8Bit().constData()); }
};

QWidget* g_window = nullptr;
bool g_ending = false;

// SIGTERM, SIGINT and SIGHUP (the terminal that started the program went
// away) close the window the ordinary way, so the settings are written as on
// every other close, and then the program ends. Caught from before the window
// exists, since a box at its creation already waits for the user.
void closeOnSignals(QObject* owner) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalSocket) != 0) return;
    auto* notifier = new QSocketNotifier(g_signalSocket[1], QSocketNotifier::Read, owner);
    QObject::connect(notifier, &QSocketNotifier::activated, owner, [] {
        char c = 0;
        [[maybe_unused]] const auto n = ::read(g_signalSocket[1], &c, 1);
        g_ending = true;
        static EndingNotifier ending;
        tenmari::setNotifier(&ending);
        // A message box waiting for OK would keep the process alive.
        for (int i = 0; i < 8 && QApplication::activeModalWidget(); ++i) QApplication::activeModalWidget()->close();
        if (g_window) g_window->close();
        QCoreApplication::quit();
    });
    struct sigaction sa {};
    sa.sa_handler = onTerminate;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::puts(
                "Usage: tenmari\nJapanese postal codes to addresses and back, in a window. "
                "It takes no arguments; see tenmari-lookup for the command line.");
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::puts("tenmari 1.22");
            return 0;
        }
    }
    const auto session = tenmari::SessionEnvironment::fromProcess(argc, argv);
    if (const QString problem = tenmari::sessionProblem(session); !problem.isEmpty()) {
        std::fprintf(stderr, "tenmari: the window needs a graphical session, and none can be opened (%s)\n",
                     problem.toLocal8Bit().constData());
        return 1;
    }
    tenmari::applyPreferredPlatform(session);

    const bool userStyle = tenmari::styleChosenByUser(argc, argv);
    std::optional<tenmari::PlatformFailureExit> platformFailure(
        std::in_place, "tenmari: the window needs a graphical session, and Qt could not open one");
    QApplication app(argc, argv);
    platformFailure.reset();
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

    closeOnSignals(&app);
    tenmari::TFormMain window;
    g_window = &window;
    if (g_ending) {  // a signal came while the window was being made
        window.saveSettingsOnce();
        return 0;
    }
    // The end of the desktop session writes the settings like a close.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window, [&window] { window.saveSettingsOnce(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &window, [&window] { window.saveSettingsOnce(); });
    window.show();
    const int code = app.exec();
    // The copied result outlives the window (X11 without a clipboard manager).
    tenmari::keepClipboardAfterExit();
    return code;
}
