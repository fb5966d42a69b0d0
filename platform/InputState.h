#pragma once
// The keyboard, pointer and capture facts that the controls ask the system
// for. Tests install their own source to set them.

#include <QPoint>
#include <QFlags>
#include <memory>

class QWidget;

namespace tenmari {

// Keys and mouse buttons held, as handed to mouse and key events.
enum class Shift : unsigned {
    ssShift = 1u << 0,
    ssAlt = 1u << 1,
    ssCtrl = 1u << 2,
    ssLeft = 1u << 3,
    ssRight = 1u << 4,
    ssMiddle = 1u << 5,
    ssDouble = 1u << 6,
};
Q_DECLARE_FLAGS(TShiftState, Shift)
Q_DECLARE_OPERATORS_FOR_FLAGS(TShiftState)

class InputSource {
public:
    virtual ~InputSource() = default;
    // Modifier keys and mouse buttons held now.
    virtual TShiftState shiftState() const = 0;
    // Pointer position in global screen coordinates.
    virtual QPoint cursorPos() const = 0;
    // The widget that has grabbed the mouse, if any.
    virtual QWidget* mouseCapture() const = 0;
};

// The source in use; the real system unless a test installed another.
const InputSource& input();
// Installs a source (nullptr restores the real one). Not owned.
void setInputSource(const InputSource* source);

}  // namespace tenmari
