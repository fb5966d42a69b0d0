#include "GraphicalSession.h"

#include <QFileInfo>
#include <QLibraryInfo>
#include <QStringList>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace tenmari {
namespace {

QByteArray env(const char* name) { return qgetenv(name); }

// The plugin's name without its arguments ("xcb:foo=1" is the plugin "xcb").
QByteArray pluginBase(const QByteArray& entry) { return entry.split(':').first().trimmed(); }

QList<QByteArray> splitList(const QByteArray& list) {
    QList<QByteArray> out;
    for (const QByteArray& e : list.split(';')) {
        if (!e.trimmed().isEmpty()) out.append(e.trimmed());
    }
    return out;
}

// Folders where Qt looks for platform plugins.
QStringList pluginFolders() {
    QStringList dirs;
    if (const QByteArray p = env("QT_QPA_PLATFORM_PLUGIN_PATH"); !p.isEmpty()) dirs << QString::fromLocal8Bit(p);
    for (const QByteArray& p : env("QT_PLUGIN_PATH").split(':')) {
        if (!p.isEmpty()) dirs << QString::fromLocal8Bit(p) + QStringLiteral("/platforms");
    }
    dirs << QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms");
    char exe[4096] = {};
    if (const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1); n > 0) {
        dirs << QFileInfo(QString::fromLocal8Bit(exe, n)).absolutePath() + QStringLiteral("/platforms");
    }
    return dirs;
}

bool pluginInstalled(const QStringList& files) {
    const QStringList dirs = pluginFolders();
    for (const QString& d : dirs) {
        for (const QString& f : files) {
            if (QFileInfo::exists(d + u'/' + f)) return true;
        }
    }
    return false;
}

// Why one platform of the list cannot be opened; empty when it can.
QString platformProblem(const QByteArray& entry, const SessionEnvironment& e) {
    const QByteArray base = pluginBase(entry);
    const QString name = QString::fromLocal8Bit(base);
    if (base == "xcb") {
        if (!pluginInstalled({QStringLiteral("libqxcb.so")}))
            return QStringLiteral("xcb: Qt's X11 plugin is not installed");
        const QString why = x11Problem(e.display);
        return why.isEmpty() ? why : QStringLiteral("xcb: ") + why;
    }
    if (base.startsWith("wayland")) {
        QStringList files{QStringLiteral("libqwayland-egl.so")};
        if (base == "wayland") files << QStringLiteral("libqwayland-generic.so");
        if ((base == "wayland" || base == "wayland-egl") && !pluginInstalled(files)) {
            return name + QStringLiteral(": Qt's Wayland plugin is not installed (qt6-wayland)");
        }
        const QString why = waylandProblem(e);
        return why.isEmpty() ? why : name + QStringLiteral(": ") + why;
    }
    return {};
}

// libxcb, loaded only to ask whether the X display answers: the X11 plugin
// loads it anyway, and the program need not be linked with it.
struct Xcb {
    using Connect = void* (*)(const char*, int*);
    using HasError = int (*)(void*);
    using Disconnect = void (*)(void*);
    void* lib = ::dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
    Connect connect = lib ? reinterpret_cast<Connect>(::dlsym(lib, "xcb_connect")) : nullptr;
    HasError hasError = lib ? reinterpret_cast<HasError>(::dlsym(lib, "xcb_connection_has_error")) : nullptr;
    Disconnect disconnect = lib ? reinterpret_cast<Disconnect>(::dlsym(lib, "xcb_disconnect")) : nullptr;
    ~Xcb() {
        if (lib) ::dlclose(lib);
    }
};

}  // namespace

SessionEnvironment SessionEnvironment::fromProcess(int argc, char** argv) {
    SessionEnvironment e;
    e.qpaPlatform = env("QT_QPA_PLATFORM");
    e.display = env("DISPLAY");
    e.waylandDisplay = env("WAYLAND_DISPLAY");
    e.waylandSocket = env("WAYLAND_SOCKET");
    e.sessionType = env("XDG_SESSION_TYPE");
    e.runtimeDir = env("XDG_RUNTIME_DIR");
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0) {
            e.platformArgument = argv[i + 1];
        }
    }
    return e;
}

QByteArray preferredPlatform(const SessionEnvironment& env) {
    if (!env.platformArgument.isEmpty() || !env.qpaPlatform.isEmpty()) return {};
    if (env.display.isEmpty()) return {};
    return QByteArrayLiteral("xcb;wayland");
}

QList<QByteArray> platformsToTry(const SessionEnvironment& env) {
    if (!env.platformArgument.isEmpty()) return splitList(env.platformArgument);
    if (!env.qpaPlatform.isEmpty()) return splitList(env.qpaPlatform);
    if (const QByteArray p = preferredPlatform(env); !p.isEmpty()) return splitList(p);
    // Qt's own order without an X display: Wayland where the session names
    // it, then the built-in default.
    QList<QByteArray> out;
    if (!env.waylandDisplay.isEmpty() || env.sessionType == "wayland") out << QByteArrayLiteral("wayland");
    out << QByteArrayLiteral("xcb");
    return out;
}

QString sessionProblem(const SessionEnvironment& env) {
    QStringList reasons;
    for (const QByteArray& p : platformsToTry(env)) {
        const QString reason = platformProblem(p, env);
        if (reason.isEmpty()) return {};
        reasons << reason;
    }
    if (reasons.isEmpty()) return QStringLiteral("no platform to open the window on");
    return reasons.join(QStringLiteral("; "));
}

QString x11Problem(const QByteArray& display) {
    if (display.isEmpty()) return QStringLiteral("DISPLAY is not set");
    static Xcb xcb;
    if (!xcb.connect || !xcb.hasError || !xcb.disconnect) return QStringLiteral("libxcb is not installed");
    void* c = xcb.connect(display.constData(), nullptr);
    const int error = xcb.hasError(c);
    xcb.disconnect(c);
    if (error == 0) return {};
    return QStringLiteral("X display '%1' does not answer").arg(QString::fromLocal8Bit(display));
}

QString waylandProblem(const SessionEnvironment& env) {
    // A connection handed over by the parent is taken as it is.
    if (!env.waylandSocket.isEmpty()) return {};
    const QByteArray name = env.waylandDisplay.isEmpty() ? QByteArrayLiteral("wayland-0") : env.waylandDisplay;
    QByteArray path;
    if (name.startsWith('/')) {
        path = name;
    } else if (env.runtimeDir.isEmpty()) {
        return QStringLiteral("XDG_RUNTIME_DIR is not set, so the Wayland socket '%1' cannot be found")
            .arg(QString::fromLocal8Bit(name));
    } else {
        path = env.runtimeDir + '/' + name;
    }
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (static_cast<size_t>(path.size()) >= sizeof addr.sun_path) {
        return QStringLiteral("the Wayland socket path '%1' is too long").arg(QString::fromLocal8Bit(path));
    }
    std::memcpy(addr.sun_path, path.constData(), static_cast<size_t>(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return QStringLiteral("no socket for Wayland: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
    const int rc = ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
    const int err = errno;
    ::close(fd);
    if (rc == 0) return {};
    return QStringLiteral("no Wayland compositor at '%1' (%2)")
        .arg(QString::fromLocal8Bit(path), QString::fromLocal8Bit(std::strerror(err)));
}

void applyPreferredPlatform(const SessionEnvironment& env) {
    if (const QByteArray p = preferredPlatform(env); !p.isEmpty()) qputenv("QT_QPA_PLATFORM", p);
}

namespace {
QByteArray g_failureMessage;
QtMessageHandler g_previousHandler = nullptr;

void exitOnFatal(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type != QtFatalMsg) {
        if (g_previousHandler)
            g_previousHandler(type, context, text);
        else
            std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
        return;
    }
    std::fputs(g_failureMessage.constData(), stderr);
    std::fflush(stderr);
    std::_Exit(1);
}
}  // namespace

PlatformFailureExit::PlatformFailureExit(QByteArray message) {
    g_failureMessage = std::move(message);
    if (!g_failureMessage.endsWith('\n')) g_failureMessage.append('\n');
    g_previousHandler = qInstallMessageHandler(exitOnFatal);
}

PlatformFailureExit::~PlatformFailureExit() { qInstallMessageHandler(g_previousHandler); }

}  // namespace tenmari
