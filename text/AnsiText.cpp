#include "AnsiText.h"

namespace tenmari {

Cp932Form toCp932Form(const QString& text) {
    const std::string utf8 = text.toStdString();
    return toCp932Form(std::string_view(utf8));
}

QByteArray toAnsiBytes(const QString& text) {
    const std::string bytes = toCp932Form(text).bytes;
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

int ansiLength(const QString& text) { return static_cast<int>(toCp932Form(text).bytes.size()); }

QString fromCp932(std::string_view bytes) {
    QString out(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    char16_t* const begin = reinterpret_cast<char16_t*>(out.data());
    out.truncate(cp932ToUtf16(bytes, begin) - begin);
    return out;
}

}  // namespace tenmari
