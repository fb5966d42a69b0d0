#include "InputState.h"

#include <QCursor>
#include <QGuiApplication>
#include <QWidget>

namespace tenmari {
namespace {

class SystemInput final : public InputSource {
public:
    TShiftState shiftState() const override {
        TShiftState s;
        const Qt::KeyboardModifiers mods = QGuiApplication::queryKeyboardModifiers();
        if (mods & Qt::ShiftModifier) s |= Shift::ssShift;
        if (mods & Qt::AltModifier) s |= Shift::ssAlt;
        if (mods & Qt::ControlModifier) s |= Shift::ssCtrl;
        const Qt::MouseButtons buttons = QGuiApplication::mouseButtons();
        if (buttons & Qt::LeftButton) s |= Shift::ssLeft;
        if (buttons & Qt::RightButton) s |= Shift::ssRight;
        if (buttons & Qt::MiddleButton) s |= Shift::ssMiddle;
        return s;
    }
    QPoint cursorPos() const override { return QCursor::pos(); }
    QWidget* mouseCapture() const override { return QWidget::mouseGrabber(); }
};

const InputSource* g_override = nullptr;

}  // namespace

const InputSource& input() {
    static const SystemInput system;
    return g_override ? *g_override : system;
}

void setInputSource(const InputSource* source) { g_override = source; }

}  // namespace tenmari
