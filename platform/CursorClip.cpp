#include "CursorClip.h"

#include "InputState.h"
#include "WindowSystem.h"

#include <QBasicTimer>
#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QTimerEvent>

namespace tenmari {
namespace {

std::optional<QRect> g_clip;
PointerMover g_mover;

void pullBack(const QPoint& pos) {
    if (!g_clip || g_clip->contains(pos)) return;
    const QPoint inside = confinePoint(pos, *g_clip);
    if (g_mover) {
        g_mover(inside);
    } else if (pointerMovable()) {
        QCursor::setPos(inside);
    }
    // Native Wayland refuses to move the pointer: the rectangle is only
    // remembered there, and nothing relies on the pointer staying inside.
}

// Watches pointer motion of the whole application. Motion over other
// programs' windows is not reported to us, hence also the poll.
class ClipEnforcer final : public QObject {
public:
    using QObject::QObject;

    void follow(bool active) {
        if (active && !poll_.isActive()) {
            poll_.start(15, this);
        } else if (!active) {
            poll_.stop();
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (g_clip && event->type() == QEvent::MouseMove) {
            pullBack(static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
        }
        return QObject::eventFilter(watched, event);
    }
    void timerEvent(QTimerEvent* event) override {
        if (event->timerId() == poll_.timerId()) {
            pullBack(input().cursorPos());
        } else {
            QObject::timerEvent(event);
        }
    }

private:
    QBasicTimer poll_;
};

QPointer<ClipEnforcer> g_enforcer;

}  // namespace

std::optional<QRect> cursorClip() { return g_clip; }

void setCursorClip(const std::optional<QRect>& rect) {
    g_clip = rect ? std::optional<QRect>(rect->normalized()) : std::nullopt;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return;
    if (g_clip && !g_enforcer) {
        g_enforcer = new ClipEnforcer(app);
        app->installEventFilter(g_enforcer);
    }
    if (g_enforcer) g_enforcer->follow(g_clip.has_value() && (g_mover || pointerMovable()));
    if (g_clip) pullBack(input().cursorPos());
}

QPoint confinePoint(const QPoint& p, const QRect& rect) {
    return QPoint(qBound(rect.left(), p.x(), rect.right()), qBound(rect.top(), p.y(), rect.bottom()));
}

void setPointerMover(PointerMover mover) { g_mover = std::move(mover); }

}  // namespace tenmari
