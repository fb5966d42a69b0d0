#include "WindowMove.h"

#include "WindowSystem.h"

#include <QApplication>
#include <QCursor>
#include <QMouseEvent>
#include <QPointer>
#include <QWidget>
#include <QWindow>

namespace tenmari {
namespace {

std::function<bool(QWidget*)>& hook() {
    static std::function<bool(QWidget*)> h;
    return h;
}

// Follows the pointer with the window until the left button is released.
class PointerDrag final : public QObject {
public:
    PointerDrag(QWidget* window, QPoint grabOffset) : window_(window), offset_(grabOffset) {
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseMove: {
            const auto* m = static_cast<QMouseEvent*>(event);
            if (!window_ || !(m->buttons() & Qt::LeftButton)) {
                finish();
                return false;
            }
            window_->move(m->globalPosition().toPoint() - offset_);
            return true;
        }
        case QEvent::MouseButtonRelease: finish(); return false;
        default: return false;
        }
    }

private:
    void finish() {
        qApp->removeEventFilter(this);
        deleteLater();
    }

    QPointer<QWidget> window_;
    QPoint offset_;
};

}  // namespace

bool startWindowMove(QWidget* window) {
    if (!window) return false;
    if (hook()) return hook()(window);
    window = window->window();
    if (QWindow* handle = window->windowHandle(); handle && handle->startSystemMove()) return true;
    // Without the compositor's move the window cannot be placed on native Wayland.
    if (!windowPositionKnown()) return false;
    new PointerDrag(window, QCursor::pos() - window->pos());
    return true;
}

void setWindowMoveHook(std::function<bool(QWidget*)> h) { hook() = std::move(h); }

}  // namespace tenmari
