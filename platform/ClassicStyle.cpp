#include "ClassicStyle.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>

#include <cstdlib>
#include <cstring>

namespace tenmari {

const char* classicStyleName() { return "Windows"; }

bool styleChosenByUser(int argc, const char* const* argv) {
    const char* env = std::getenv("QT_STYLE_OVERRIDE");
    if (env && *env) return true;
    for (int i = 1; i < argc && argv[i]; ++i) {
        const char* a = argv[i];
        if (a[0] != '-') continue;
        if (a[1] == '-') ++a;  // Qt takes its options with one dash or two
        if (std::strcmp(a, "-style") == 0 || std::strncmp(a, "-style=", 7) == 0) return true;
    }
    return false;
}

bool applyClassicStyle() {
    QStyle* style = QStyleFactory::create(QString::fromLatin1(classicStyleName()));
    if (!style) return false;
    QApplication::setStyle(style);
    return true;
}

}  // namespace tenmari
