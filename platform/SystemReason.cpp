#include "SystemReason.h"

#include <cerrno>
#include <system_error>

namespace tenmari {

QString systemReason(int err) {
    switch (err) {
    case kNotRegularFile: return QStringLiteral("通常のファイルではありません");
    case kChangedWhileRead: return QStringLiteral("読み込み中にファイルが変更されました");
    case ENOENT:
    case ENOTDIR: return QStringLiteral("ファイルがありません");
    case EACCES:
    case EPERM: return QStringLiteral("アクセスが許可されていません");
    case EISDIR: return QStringLiteral("フォルダーです");
    case EFBIG: return QStringLiteral("大きすぎます");
    case EILSEQ: return QStringLiteral("文字コードが違います");
    case EIO: return QStringLiteral("入出力エラーが発生しました");
    case ENODATA: return QStringLiteral("空のファイルです");
    default: return QString::fromLocal8Bit(std::generic_category().message(err));
    }
}

}  // namespace tenmari
