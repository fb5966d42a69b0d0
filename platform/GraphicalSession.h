#pragma once
// Which windowing system the window opens on, and whether one can be opened
// at all, decided before Qt is started: Qt itself ends the process with an
// abort when no platform plugin can be initialised.

#include <QByteArray>
#include <QList>
#include <QString>

namespace tenmari {

// What the choice depends on: the process's environment and command line.
struct SessionEnvironment {
    QByteArray qpaPlatform;       // QT_QPA_PLATFORM
    QByteArray platformArgument;  // the value given to -platform, if any
    QByteArray display;           // DISPLAY
    QByteArray waylandDisplay;    // WAYLAND_DISPLAY
    QByteArray waylandSocket;     // WAYLAND_SOCKET (a connection handed over by a parent)
    QByteArray sessionType;       // XDG_SESSION_TYPE
    QByteArray runtimeDir;        // XDG_RUNTIME_DIR

    static SessionEnvironment fromProcess(int argc, char** argv);
};

// The platform list to ask Qt for: X11 first and Wayland second where an X
// display is named and the user chose no platform; empty leaves Qt's own
// choice (the user's, or Qt's default without an X display).
QByteArray preferredPlatform(const SessionEnvironment& env);

// The platform plugins Qt will try, in order, once preferredPlatform() is in force.
QList<QByteArray> platformsToTry(const SessionEnvironment& env);

// Why none of the platforms to try can be opened, in one line; empty when
// one can. X11 and Wayland are checked by connecting to them; other
// platforms (offscreen, vnc, ...) are taken as the user's informed choice.
QString sessionProblem(const SessionEnvironment& env);

// Why the X display cannot be opened (empty: it answered).
QString x11Problem(const QByteArray& display);
// Why the Wayland compositor cannot be reached (empty: its socket accepted us).
QString waylandProblem(const SessionEnvironment& env);

// Puts preferredPlatform() in force for the application object to come.
void applyPreferredPlatform(const SessionEnvironment& env);

// While alive, a fatal error of Qt (a platform plugin that fails after the
// checks above) ends the process with exit status 1 and `message` instead of an abort.
class PlatformFailureExit {
public:
    explicit PlatformFailureExit(QByteArray message);
    ~PlatformFailureExit();
    PlatformFailureExit(const PlatformFailureExit&) = delete;
    PlatformFailureExit& operator=(const PlatformFailureExit&) = delete;
};

}  // namespace tenmari
