#pragma once
// Beeps and message boxes go through one object, so that tests can replace
// the blocking dialogs with a recorder.

#include <QString>

class QWidget;

namespace tenmari {

class Notifier {
public:
    virtual ~Notifier() = default;
    // The default system beep.
    virtual void beep() = 0;
    // A modal box with one OK button, centred on the screen, with the
    // application title as its caption.
    virtual void message(const QString& text) = 0;
    // An error that ended a handler, shown the same way.
    virtual void error(const QString& text) = 0;
};

// The window a message box belongs to: the active window, else the first
// visible one; nullptr when none is shown.
QWidget* messageOwner();

// The application title: the caption of every message box.
QString applicationTitle();
void setApplicationTitle(const QString& title);

// The notifier in use; real dialogs unless a test installed another.
Notifier& notifier();
// Installs a notifier (nullptr restores the real one). Not owned.
void setNotifier(Notifier* n);

}  // namespace tenmari
