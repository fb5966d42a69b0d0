// Puts its argument on the clipboard as Tenmari's copy button does, then ends
// as Tenmari ends, handing the clipboard over; prints the helper's process id
// (0 when none took it over).
//
//   clipboard_keep_driver TEXT HELPER

#include "ClipboardKeeper.h"

#include <QClipboard>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: clipboard_keep_driver TEXT HELPER\n", stderr);
        return 2;
    }
    QGuiApplication app(argc, argv);
    QGuiApplication::clipboard()->setText(QString::fromUtf8(argv[1]), QClipboard::Clipboard);
    const qint64 pid = tenmari::keepClipboardAfterExit(QString::fromLocal8Bit(argv[2]));
    std::printf("%lld\n", static_cast<long long>(pid));
    return 0;
}
