#pragma once
// Helpers shared by the button tests: the caption font, rendering into an
// image, window activation and synthetic mouse input.

#include "plButton.h"

#include <QApplication>
#include <QFont>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>

namespace buttontest {

// IPA P Gothic, which stands in for the window font with its metrics.
inline QFont captionFont(int pixelSize = 16) {
    QFont f(QStringLiteral("IPAPGothic"));
    f.setPixelSize(pixelSize);
    return f;
}

// The button's face as one paint draws it.
inline QImage render(tenmari::TplButton& b) {
    QImage image(b.size(), QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter p(&image);
    b.DrawButton(p);
    return image;
}

inline QRgb rgb(tenmari::TColor c) { return tenmari::toQColor(c).rgb(); }

// Shows the window and waits until it is the active one.
inline void activate(QWidget& w) {
    w.show();
    w.activateWindow();
    for (int i = 0; i < 100 && !w.isActiveWindow(); ++i) QApplication::processEvents();
}

inline void sendMouse(QWidget& w, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons held,
                      Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QMouseEvent e(type, QPointF(pos), QPointF(w.mapToGlobal(pos)), button, held, mods);
    QApplication::sendEvent(&w, &e);
}

inline void press(QWidget& w, QPoint pos = {5, 5}) {
    sendMouse(w, QEvent::MouseButtonPress, pos, Qt::LeftButton, Qt::LeftButton);
}
inline void moveHeld(QWidget& w, QPoint pos) { sendMouse(w, QEvent::MouseMove, pos, Qt::NoButton, Qt::LeftButton); }
inline void release(QWidget& w, QPoint pos = {5, 5}) {
    sendMouse(w, QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton);
}

}  // namespace buttontest
