#include "WindowFont.h"

#include <QStringList>

namespace tenmari {

void installWindowFont() {
    QFont::insertSubstitutions(
        kWindowFontFamily,
        QStringList{QStringLiteral("IPAPGothic"), QStringLiteral("IPA Pゴシック"), QStringLiteral("Noto Sans CJK JP")});
}

QFont windowFont(int pixelHeight, bool bold) {
    QFont f(kWindowFontFamily);
    f.setPixelSize(pixelHeight);
    f.setBold(bold);
    return f;
}

}  // namespace tenmari
