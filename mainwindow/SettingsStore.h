#pragma once
// The settings remembered per user: window position, region and options.
// Stored as decimal text under organisation "Nagiworks", application
// "Yorozuba", group "Program" (the registry on Windows, an INI file in the
// user's configuration folder elsewhere).

#include <QString>
#include <QStringList>

namespace tenmari {

struct StoredSettings {
    int MainTop = 0;
    int MainLeft = 0;
    int Jisho = -1;
    int CkHyoji = 0;
    int CkMark = 0;
    int CkHifun = 0;
    int CkTomei = 0;
    int CkTemae = 0;
    int CkTitle = 0;
};

// Strict decimal text: an optional sign and ASCII digits, within 32 bits.
bool parseDecimal(const QString& text, int& value);

class SettingsStore {
public:
    // Reads every value; a missing or non-decimal value takes its default.
    // A value that is not text at all is reported, one message per value
    // ("'CkMark' のデータ型が不正です"), and takes its default too. A file
    // that cannot be read, is not a regular file or is far too large is
    // reported once here and every value takes its default; the next write
    // replaces it.
    static StoredSettings read(QStringList& typeErrors);

    // Writes every value and `Dir`, and nothing else, replacing the file
    // whole; then removes the new copies that writers killed before they
    // could put theirs in place left beside it a while ago. On failure
    // returns false with the user's message in `error`.
    static bool write(const StoredSettings& s, const QString& exeDir, QString& error);

    // Where the values live, for messages.
    static QString location();
};

}  // namespace tenmari
