#pragma once
// What the windowing system in use lets a program do with its own window.
// Native Wayland keeps windows' positions and stacking to the compositor
// and does not let programs move the pointer; X11 allows all three.

#include <QPoint>

class QWidget;

namespace tenmari {

// True on Qt's native Wayland platform (not on X11 through XWayland).
bool onNativeWayland();

// The window's position can be read and set by the program.
inline bool windowPositionKnown() { return !onNativeWayland(); }
// The window can be kept above other windows.
inline bool stayOnTopAvailable() { return !onNativeWayland(); }
// Window opacity as a whole (otherwise the window paints itself see-through).
inline bool windowOpacityAvailable() { return !onNativeWayland(); }
// The pointer can be moved by the program.
inline bool pointerMovable() { return !onNativeWayland(); }

// The outer top-left corner of a top-level window as the windowing system
// has it now. On X11 it is asked of the X server: Qt's own idea of it can
// lag behind the window manager's placement (and read 0/0).
QPoint currentOuterCorner(const QWidget* window);

// The outer corner to remember: where the window is when the platform can
// tell, otherwise the place remembered before, so that it is never wiped.
QPoint cornerToRemember(bool positionKnown, QPoint windowCorner, QPoint remembered);

}  // namespace tenmari
