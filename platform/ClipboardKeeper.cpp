#include "ClipboardKeeper.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>

#if defined(Q_OS_UNIX)
#include <QtGui/qguiapplication_platform.h>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace tenmari {

namespace {

constexpr int kReadyWaitMs = 5000;
constexpr qsizetype kMaxText = 16 * 1024 * 1024;

#if defined(Q_OS_UNIX)
bool clipboardManagerRuns() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c) return false;
    static const char kName[] = "CLIPBOARD_MANAGER";
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, sizeof kName - 1, kName), nullptr);
    if (!atom) return false;
    const xcb_atom_t a = atom->atom;
    std::free(atom);
    if (a == XCB_ATOM_NONE) return false;  // never interned: nobody can own it
    xcb_get_selection_owner_reply_t* owner = xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, a), nullptr);
    if (!owner) return false;
    const bool runs = owner->owner != XCB_NONE;
    std::free(owner);
    return runs;
}

bool sendAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += n;
    }
    return true;
}

// Waits for the helper's "ok PID": it owns the clipboard then.
qint64 waitReady(int fd) {
    std::string got;
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        const int r = ::poll(&p, 1, kReadyWaitMs);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return 0;
        char buf[32];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return 0;
        got.append(buf, static_cast<size_t>(n));
        const auto end = got.find('\n');
        if (end == std::string::npos) continue;
        if (got.rfind("ok ", 0) != 0) return 0;
        return std::strtoll(got.c_str() + 3, nullptr, 10);
    }
}

// Starts the helper in a session of its own, not our child (no zombie, no
// terminal, no inherited output pipes), with one socket as its standard input
// and output. Returns our end of the socket, or -1.
int startDetached(const QByteArray& program) {
    int sv[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv) != 0) return -1;
    const int devNull = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    char* const argv[] = {const_cast<char*>(program.constData()), nullptr};
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(sv[0]);
        ::close(sv[1]);
        if (devNull >= 0) ::close(devNull);
        return -1;
    }
    if (pid == 0) {
        // Only async-signal-safe calls from here on.
        ::setsid();
        const pid_t again = ::fork();
        if (again != 0) ::_exit(again < 0 ? 1 : 0);
        ::dup2(sv[1], 0);
        ::dup2(sv[1], 1);
        if (devNull >= 0) ::dup2(devNull, 2);
        if (::chdir("/") != 0) ::_exit(127);
        ::execv(argv[0], argv);
        ::_exit(127);
    }
    ::close(sv[1]);
    if (devNull >= 0) ::close(devNull);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    return sv[0];
}
#endif

}  // namespace

ClipboardHandover chooseClipboardHandover(const ClipboardSituation& s) {
    if (s.disabled || !s.ownsText) return ClipboardHandover::None;
    // Only X11 keeps the clipboard in its owner; elsewhere (and offscreen,
    // as in tests) there is nothing our process could do.
    if (s.platform != QLatin1String("xcb")) return ClipboardHandover::None;
    if (s.managerRuns) return ClipboardHandover::Manager;
    return s.helperFound ? ClipboardHandover::Helper : ClipboardHandover::None;
}

QString clipboardHelperPath() { return QCoreApplication::applicationDirPath() + QStringLiteral("/tenmari-clipboard"); }

ClipboardSituation currentClipboardSituation(const QString& helper) {
    ClipboardSituation s;
    s.platform = QGuiApplication::platformName();
    s.disabled = qEnvironmentVariable("TENMARI_KEEP_CLIPBOARD") == QLatin1String("0");
    if (QClipboard* c = QGuiApplication::clipboard()) {
        s.ownsText = c->ownsClipboard() && !c->text(QClipboard::Clipboard).isEmpty();
    }
    if (s.platform == QLatin1String("xcb")) {
#if defined(Q_OS_UNIX)
        s.managerRuns = clipboardManagerRuns();
#endif
        const QFileInfo file(helper);
        s.helperFound = file.isFile() && file.isExecutable();
    }
    return s;
}

qint64 keepClipboardAfterExit() { return keepClipboardAfterExit(clipboardHelperPath()); }

qint64 keepClipboardAfterExit(const QString& helper) {
    if (chooseClipboardHandover(currentClipboardSituation(helper)) != ClipboardHandover::Helper) return 0;
#if defined(Q_OS_UNIX)
    const QByteArray text = QGuiApplication::clipboard()->text(QClipboard::Clipboard).toUtf8();
    const int fd = startDetached(QFile::encodeName(helper));
    if (fd < 0) return 0;
    const qint64 pid = sendAll(fd, text) && ::shutdown(fd, SHUT_WR) == 0 ? waitReady(fd) : 0;
    ::close(fd);
    return pid;
#else
    Q_UNUSED(helper);
    return 0;
#endif
}

int serveClipboardText() {
#if defined(Q_OS_UNIX)
    QByteArray text;
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(0, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return 1;
        if (n == 0) break;
        text.append(buf, n);
        if (text.size() > kMaxText) return 1;
    }
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (text.isEmpty() || !clipboard || QGuiApplication::platformName() != QLatin1String("xcb")) return 1;
    clipboard->setText(QString::fromUtf8(text), QClipboard::Clipboard);
    if (!clipboard->ownsClipboard()) return 1;
    // Ends as soon as the clipboard belongs to someone else.
    QObject::connect(clipboard, &QClipboard::changed, qApp, [clipboard](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard && !clipboard->ownsClipboard()) QCoreApplication::quit();
    });
    const QByteArray ok = "ok " + QByteArray::number(static_cast<qint64>(::getpid())) + '\n';
    [[maybe_unused]] const ssize_t w = ::write(1, ok.constData(), static_cast<size_t>(ok.size()));
    const int devNull = ::open("/dev/null", O_RDWR);
    if (devNull >= 0) {
        ::dup2(devNull, 0);
        ::dup2(devNull, 1);
        ::close(devNull);
    }
    return QGuiApplication::exec();
#else
    return 1;
#endif
}

}  // namespace tenmari
