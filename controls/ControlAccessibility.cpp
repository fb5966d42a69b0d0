#include "ControlAccessibility.h"

#include <QWidget>

namespace tenmari {
namespace {

NameChangeHook g_nameChangeHook = nullptr;

}  // namespace

QString spokenCaption(const QStringList& lines) {
    QStringList spoken;
    for (QString line : lines) {
        line.remove(QChar(0x3000));
        line = line.simplified();
        if (!line.isEmpty()) spoken << line;
    }
    return spoken.join(u' ');
}

QString CaptionedAccessible::text(QAccessible::Text t) const {
    // A name given explicitly wins over the caption.
    if (t == QAccessible::Name && widget()->accessibleName().isEmpty()) return spokenCaption(captionLines());
    return QAccessibleWidget::text(t);
}

void notifyAccessibleNameChanged(QObject* control) {
    if (g_nameChangeHook) g_nameChangeHook(control);
    if (!QAccessible::isActive()) return;
    QAccessibleEvent event(control, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
}

void setNameChangeHook(NameChangeHook hook) { g_nameChangeHook = hook; }

}  // namespace tenmari
