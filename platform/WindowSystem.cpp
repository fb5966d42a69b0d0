#include "WindowSystem.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#include <cstdlib>
#include <xcb/xcb.h>

namespace tenmari {

bool onNativeWayland() { return QGuiApplication::platformName().startsWith(QLatin1String("wayland")); }

QPoint currentOuterCorner(const QWidget* window) {
    const QPoint cached = window->pos();
    QWindow* handle = window->windowHandle();
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!handle || !x11 || !x11->connection()) return cached;
    xcb_connection_t* c = x11->connection();
    const auto id = static_cast<xcb_window_t>(handle->winId());
    xcb_get_geometry_reply_t* geometry = xcb_get_geometry_reply(c, xcb_get_geometry(c, id), nullptr);
    if (!geometry) return cached;
    const xcb_window_t root = geometry->root;
    std::free(geometry);
    xcb_translate_coordinates_reply_t* origin =
        xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, id, root, 0, 0), nullptr);
    if (!origin) return cached;
    // The client area's origin on the screen, less Qt's frame margins (zero without a frame).
    const QMargins frame = handle->frameMargins();
    const QPoint corner =
        QPoint(origin->dst_x, origin->dst_y) / handle->devicePixelRatio() - QPoint(frame.left(), frame.top());
    std::free(origin);
    return corner;
}

QPoint cornerToRemember(bool positionKnown, QPoint windowCorner, QPoint remembered) {
    return positionKnown ? windowCorner : remembered;
}

}  // namespace tenmari
