#pragma once
// What screen readers learn about the self-drawn controls: a button is a
// push button named by its caption lines, a panel is a label named by its
// caption, and both tell when that name changes.

#include <QString>
#include <QStringList>

class QObject;

namespace tenmari {

// Registers the controls with Qt's accessibility; called by their
// constructors, effective once.
void installControlAccessibility();

// The name a screen reader reads for caption lines: the non-empty lines
// joined by a space, without the ideographic spaces that only spread the
// characters of a caption ("検　索" is read as "検索").
QString spokenCaption(const QStringList& lines);

// Tells screen readers that the control's name may have changed.
void notifyAccessibleNameChanged(QObject* control);

// Tests watch the announcements through this hook (Qt delivers accessibility
// events only while an assistive technology listens); nullptr removes it.
using NameChangeHook = void (*)(QObject* control);
void setNameChangeHook(NameChangeHook hook);

}  // namespace tenmari
