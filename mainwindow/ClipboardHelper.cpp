// tenmari-clipboard: keeps the text Tenmari copied on the X11 clipboard after
// Tenmari has ended, until another program takes the clipboard. Tenmari starts
// it with the text on standard input.

#include "ClipboardKeeper.h"

#include <QGuiApplication>

#include <cstdlib>

int main(int argc, char** argv) {
    // Serves the X server's clipboard, whatever platform the user has named.
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    return tenmari::serveClipboardText();
}
