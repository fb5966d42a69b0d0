#include "Color.h"

namespace tenmari {

QColor toQColor(TColor c) {
    if ((c & 0xFF000000u) == 0xFF000000u) {
        switch (c & 0xFFu) {
        case 15: return QColor(0xF0, 0xF0, 0xF0);  // button face
        case 16: return QColor(0xA0, 0xA0, 0xA0);  // button shadow
        case 20: return QColor(0xFF, 0xFF, 0xFF);  // button highlight
        case 5: return QColor(0xFF, 0xFF, 0xFF);   // window
        case 8: return QColor(0x00, 0x00, 0x00);   // window text
        case 21: return QColor(0x69, 0x69, 0x69);  // 3-D dark shadow
        case 22: return QColor(0xE3, 0xE3, 0xE3);  // 3-D light
        default: return QColor(0xF0, 0xF0, 0xF0);
        }
    }
    return QColor(static_cast<int>(c & 0xFFu), static_cast<int>((c >> 8) & 0xFFu), static_cast<int>((c >> 16) & 0xFFu));
}

std::optional<TColor> colourFromText(QStringView text) {
    if (text.size() != 10 || text[0] != u'0' || (text[1] != u'x' && text[1] != u'X')) return std::nullopt;
    TColor c = 0;
    for (const QChar ch : text.mid(2)) {
        const int digit = ch >= u'0' && ch <= u'9'   ? ch.unicode() - u'0'
                          : ch >= u'a' && ch <= u'f' ? ch.unicode() - u'a' + 10
                          : ch >= u'A' && ch <= u'F' ? ch.unicode() - u'A' + 10
                                                     : -1;
        if (digit < 0) return std::nullopt;
        c = c << 4 | static_cast<TColor>(digit);
    }
    return c;
}

TColor fromQColor(const QColor& c) {
    return static_cast<TColor>(c.red()) | (static_cast<TColor>(c.green()) << 8) | (static_cast<TColor>(c.blue()) << 16);
}

}  // namespace tenmari
