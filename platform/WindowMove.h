#pragma once
// Moving a window by a left-button drag on its body, as if its title bar had
// been grabbed. The window manager does the move where it can (X11, Wayland);
// elsewhere the window follows the pointer itself until the button is let go.

#include <functional>

class QWidget;

namespace tenmari {

// Starts the move of `window` (a top-level widget) while the left button is
// down. True when a move is under way.
bool startWindowMove(QWidget* window);

// Replaces the move (nullptr restores it), so tests can see it asked for.
void setWindowMoveHook(std::function<bool(QWidget*)> hook);

}  // namespace tenmari
