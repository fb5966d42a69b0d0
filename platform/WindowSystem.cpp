#include "WindowSystem.h"

#include <QGuiApplication>

namespace tenmari {

bool onNativeWayland() { return QGuiApplication::platformName().startsWith(QLatin1String("wayland")); }

QPoint cornerToRemember(bool positionKnown, QPoint windowCorner, QPoint remembered) {
    return positionKnown ? windowCorner : remembered;
}

}  // namespace tenmari
