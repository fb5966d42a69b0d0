#pragma once
// What screen readers learn about the self-drawn controls. Each control
// registers its own accessible interface (registerAccessible), usually one
// named by the caption it shows (CaptionedAccessible), and tells when that
// name changes. This module knows no particular control.

#include <QAccessible>
#include <QAccessibleWidget>
#include <QString>
#include <QStringList>

class QObject;

namespace tenmari {

// The name a screen reader reads for caption lines: the non-empty lines
// joined by a space, without the ideographic spaces that only spread the
// characters of a caption ("検　索" is read as "検索").
QString spokenCaption(const QStringList& lines);

// An interface named by the control's caption lines, unless the control was
// given a name explicitly.
class CaptionedAccessible : public QAccessibleWidget {
public:
    using QAccessibleWidget::QAccessibleWidget;
    QString text(QAccessible::Text t) const override;

protected:
    // The lines the control shows now.
    virtual QStringList captionLines() const = 0;
};

// Screen readers see every Control (and class derived from it) through an
// Accessible, constructed from the Control*. Called by the control's
// constructor; effective once per control class.
template <class Control, class Accessible>
void registerAccessible() {
    static const bool registered = [] {
        QAccessible::installFactory([](const QString&, QObject* object) -> QAccessibleInterface* {
            if (auto* control = qobject_cast<Control*>(object)) return new Accessible(control);
            return nullptr;
        });
        return true;
    }();
    (void)registered;
}

// Tells screen readers that the control's name may have changed.
void notifyAccessibleNameChanged(QObject* control);

// Tests watch the announcements through this hook (Qt delivers accessibility
// events only while an assistive technology listens); nullptr removes it.
using NameChangeHook = void (*)(QObject* control);
void setNameChangeHook(NameChangeHook hook);

}  // namespace tenmari
