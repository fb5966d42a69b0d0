#pragma once

// Keeps the copied text on the clipboard after the program ends.
//
// On X11 the clipboard is a promise: the owner hands the text out on request,
// so it vanishes with the process. Where a clipboard manager runs (owner of the
// CLIPBOARD_MANAGER selection), Qt's xcb plugin hands the text to it as the
// application object goes (the SAVE_TARGETS request). Where none runs, a small
// detached process of ours, tenmari-clipboard beside the program, takes the
// clipboard over and serves the text until another program takes it.

#include <QString>

namespace tenmari {

enum class ClipboardHandover {
    None,     // nothing to keep, or nowhere to keep it
    Manager,  // the clipboard manager saves it when the application object goes
    Helper,   // our detached process serves it
};

struct ClipboardSituation {
    QString platform;          // QGuiApplication::platformName()
    bool ownsText = false;     // this process owns the clipboard, holding text
    bool managerRuns = false;  // someone owns CLIPBOARD_MANAGER
    bool disabled = false;     // TENMARI_KEEP_CLIPBOARD=0
    bool helperFound = false;  // the helper executable is beside the program
};

ClipboardHandover chooseClipboardHandover(const ClipboardSituation& s);

// The situation of this process now (reads the X server on xcb).
ClipboardSituation currentClipboardSituation(const QString& helper);

// The helper beside the running program.
QString clipboardHelperPath();

// Called as the program ends, while the application object still lives: if
// the text must be served by our helper, starts it and waits (a few seconds at
// most) until it owns the clipboard. Returns the helper's process id once it
// has taken the clipboard over, else 0.
qint64 keepClipboardAfterExit();
qint64 keepClipboardAfterExit(const QString& helper);

// The helper's work: reads UTF-8 text from standard input, owns the clipboard
// with it, tells "ok" and its process id on standard output, then lets go of both streams and
// serves the text until another program takes the clipboard. Needs a
// QGuiApplication on xcb. Returns the exit code.
int serveClipboardText();

}  // namespace tenmari
