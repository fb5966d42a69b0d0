#pragma once
// The region panel's notice of the postal data's date, taken from the
// dictionary in use rather than fixed in the program.

#include <QString>

namespace tenmari {

// "<date>現在の郵便番号辞書を使用" with the dictionary file's date (yyyy年MM月dd日,
// local time), or the missing-file text naming it when there is no file.
QString dataNotice(const QString& dictionaryPath);

}  // namespace tenmari
