#include "DataNotice.h"

#include <QDateTime>
#include <QFileInfo>

namespace tenmari {

QString dataNotice(const QString& dictionaryPath) {
    const QFileInfo file(dictionaryPath);
    if (!file.isFile()) return QStringLiteral("辞書ファイルがありません：%1").arg(file.fileName());
    // The dictionary builder writes each file once from Japan Post's data:
    // the file's date is the date of the data it holds.
    const QDate date = file.lastModified().date();
    return QStringLiteral("%1年%2月%3日現在の郵便番号辞書を使用")
        .arg(date.year(), 4, 10, QLatin1Char('0'))
        .arg(date.month(), 2, 10, QLatin1Char('0'))
        .arg(date.day(), 2, 10, QLatin1Char('0'));
}

}  // namespace tenmari
