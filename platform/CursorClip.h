#pragma once
// Confinement of the mouse pointer to a screen rectangle, one for the whole
// process, in the manner of GetClipCursor/ClipCursor. Qt offers no such
// service: while a rectangle is set, an application event filter and a short
// poll move the pointer back inside whenever it gets out.

#include <QPoint>
#include <QRect>
#include <functional>
#include <optional>

namespace tenmari {

// The rectangle in force, in screen coordinates; nullopt while the pointer is free.
std::optional<QRect> cursorClip();
// Confines the pointer to rect (its edge pixels included), or frees it for nullopt.
void setCursorClip(const std::optional<QRect>& rect);
inline void clearCursorClip() { setCursorClip(std::nullopt); }

// The point of rect nearest to p.
QPoint confinePoint(const QPoint& p, const QRect& rect);

// How the pointer is moved back; QCursor::setPos unless a test installed
// another (nullptr restores it).
using PointerMover = std::function<void(const QPoint& globalPos)>;
void setPointerMover(PointerMover mover);

}  // namespace tenmari
