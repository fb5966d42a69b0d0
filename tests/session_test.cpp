// The choice of windowing system at start-up, the check that one can be
// opened, and the window position that is remembered.
#include "GraphicalSession.h"
#include "WindowSystem.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace tenmari {
namespace {

SessionEnvironment environment(QByteArray qpa, QByteArray argument, QByteArray display, QByteArray wayland,
                               QByteArray sessionType = {}) {
    SessionEnvironment e;
    e.qpaPlatform = std::move(qpa);
    e.platformArgument = std::move(argument);
    e.display = std::move(display);
    e.waylandDisplay = std::move(wayland);
    e.sessionType = std::move(sessionType);
    return e;
}

TEST(PlatformPreference, X11FirstOnlyWhenTheUserChoseNothingAndAnXDisplayIsNamed) {
    struct Case {
        const char* what;
        SessionEnvironment env;
        QByteArray preferred;
        QList<QByteArray> tried;
    };
    const Case cases[] = {
        {"Wayland session with XWayland", environment("", "", ":0", "wayland-0"), "xcb;wayland", {"xcb", "wayland"}},
        {"X11 only", environment("", "", ":0", ""), "xcb;wayland", {"xcb", "wayland"}},
        {"Wayland only", environment("", "", "", "wayland-0"), "", {"wayland", "xcb"}},
        {"Wayland session type, no socket named", environment("", "", "", "", "wayland"), "", {"wayland", "xcb"}},
        {"nothing", environment("", "", "", ""), "", {"xcb"}},
        {"QT_QPA_PLATFORM wins", environment("wayland", "", ":0", "wayland-0"), "", {"wayland"}},
        {"a list in QT_QPA_PLATFORM", environment("wayland;xcb", "", ":0", "w"), "", {"wayland", "xcb"}},
        {"-platform wins", environment("", "wayland", ":0", "wayland-0"), "", {"wayland"}},
        {"-platform over QT_QPA_PLATFORM", environment("xcb", "offscreen", ":0", ""), "", {"offscreen"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(preferredPlatform(c.env), c.preferred);
        EXPECT_EQ(platformsToTry(c.env), c.tried);
    }
}

TEST(PlatformPreference, PlatformArgumentIsReadFromTheCommandLine) {
    char prog[] = "tenmari", opt[] = "-platform", value[] = "offscreen";
    char* argv[] = {prog, opt, value, nullptr};
    EXPECT_EQ(SessionEnvironment::fromProcess(3, argv).platformArgument, "offscreen");
    char opt2[] = "--platform", value2[] = "xcb";
    char* argv2[] = {prog, opt2, value2, nullptr};
    EXPECT_EQ(SessionEnvironment::fromProcess(3, argv2).platformArgument, "xcb");
    char* argv3[] = {prog, opt, nullptr};  // -platform without its value
    EXPECT_EQ(SessionEnvironment::fromProcess(2, argv3).platformArgument, "");
}

// A listening Unix socket standing in for a compositor.
class Listener {
public:
    explicit Listener(const QByteArray& path) {
        fd_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::memcpy(addr.sun_path, path.constData(), static_cast<size_t>(path.size()));
        ok_ = fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 && ::listen(fd_, 4) == 0;
    }
    ~Listener() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool ok() const { return ok_; }

private:
    int fd_ = -1;
    bool ok_ = false;
};

TEST(SessionCheck, WaylandIsCheckedByConnectingToItsSocket) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray runtime = QFile::encodeName(dir.path());
    Listener compositor(runtime + "/wl-test");
    ASSERT_TRUE(compositor.ok());
    // A file that is no socket, as a stale name might be.
    {
        QFile f(dir.path() + QStringLiteral("/wl-file"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }

    struct Case {
        const char* what;
        QByteArray name, runtimeDir, socketFd;
        bool usable;
    };
    const Case cases[] = {
        {"listening socket", "wl-test", runtime, "", true},
        {"absolute path", runtime + "/wl-test", "", "", true},
        {"no such socket", "no-such-socket", runtime, "", false},
        {"a plain file", "wl-file", runtime, "", false},
        {"default name, not there", "", runtime, "", false},
        {"no runtime folder", "wl-test", "", "", false},
        {"connection handed over", "no-such-socket", runtime, "7", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SessionEnvironment e = environment("", "", "", c.name);
        e.runtimeDir = c.runtimeDir;
        e.waylandSocket = c.socketFd;
        EXPECT_EQ(waylandProblem(e).isEmpty(), c.usable) << waylandProblem(e).toStdString();
    }
}

TEST(SessionCheck, NoUsableSessionGivesOneLineNamingEveryPlatformTried) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    SessionEnvironment e = environment("", "", "", "no-such-socket");
    e.runtimeDir = QFile::encodeName(dir.path());
    const QString problem = sessionProblem(e);
    EXPECT_TRUE(problem.startsWith(QStringLiteral("wayland: "))) << problem.toStdString();
    EXPECT_TRUE(problem.contains(QStringLiteral("xcb: "))) << problem.toStdString();
    EXPECT_FALSE(problem.contains(u'\n'));

    EXPECT_EQ(x11Problem(""), QStringLiteral("DISPLAY is not set"));
    EXPECT_FALSE(x11Problem(":4711").isEmpty());  // no X server there
    EXPECT_FALSE(sessionProblem(environment("xcb", "", ":4711", "")).isEmpty());
}

TEST(SessionCheck, PlatformsThatNeedNoDisplayAreTheUsersChoice) {
    EXPECT_EQ(sessionProblem(environment("offscreen", "", "", "")), QString());
    EXPECT_EQ(sessionProblem(environment("", "minimal", "", "")), QString());
    // The first usable platform of a list is enough.
    EXPECT_EQ(sessionProblem(environment("xcb;offscreen", "", ":4711", "")), QString());
}

TEST(RememberedPlace, KeptWhereThePlatformCannotTellThePosition) {
    struct Case {
        bool known;
        QPoint window, remembered, expected;
    };
    const Case cases[] = {
        {true, {150, 120}, {100, 100}, {150, 120}},  // X11: where the window is
        {true, {0, 0}, {100, 100}, {0, 0}},          // X11: the corner is a real place
        {true, {-50, 30}, {100, 100}, {-50, 30}},
        {false, {0, 0}, {100, 100}, {100, 100}},  // native Wayland: never wiped
        {false, {0, 0}, {-50, 700}, {-50, 700}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(cornerToRemember(c.known, c.window, c.remembered), c.expected);
    }
}

}  // namespace
}  // namespace tenmari
