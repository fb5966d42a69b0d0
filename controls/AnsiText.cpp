#include "AnsiText.h"

#include "Cp932.h"

namespace tenmari {
namespace {

QByteArray encode(const QString& text) {
    const std::string bytes = utf8ToCp932(text.toStdString());
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

}  // namespace

QByteArray toAnsiBytes(const QString& input) {
    QString text = input;
    text.replace(QChar(u'\u00A5'), QChar(u'\\'));
    try {
        return encode(text);
    } catch (const EncodingError&) {
        // Fall back to one character at a time.
    }
    QByteArray out;
    out.reserve(text.size() * 2);
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype n = (text.at(i).isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
        try {
            out += encode(text.mid(i, n));
        } catch (const EncodingError&) {
            out += "\x81\x48";  // full-width question mark
        }
        i += n;
    }
    return out;
}

int ansiLength(const QString& text) { return static_cast<int>(toAnsiBytes(text).size()); }

}  // namespace tenmari
