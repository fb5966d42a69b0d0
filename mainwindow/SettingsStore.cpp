#include "SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cerrno>
#include <climits>
#include <ctime>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace tenmari {
namespace {

// Ten short values take a few hundred bytes; anything far larger is not
// ours and is replaced at the next close rather than parsed.
constexpr qint64 kLargestFile = 64 * 1024;

struct Field {
    const char* name;
    int StoredSettings::*member;
};

// The reading order.
constexpr Field kFields[] = {
    {"MainTop", &StoredSettings::MainTop}, {"MainLeft", &StoredSettings::MainLeft},
    {"Jisho", &StoredSettings::Jisho},     {"CkHyoji", &StoredSettings::CkHyoji},
    {"CkMark", &StoredSettings::CkMark},   {"CkHifun", &StoredSettings::CkHifun},
    {"CkTomei", &StoredSettings::CkTomei}, {"CkTemae", &StoredSettings::CkTemae},
    {"CkTitle", &StoredSettings::CkTitle},
};

enum class Found { Nothing, Bytes, Unusable };

// Reads the settings file without ever waiting on it: opened non-blocking,
// only a regular file of sane size is read. A folder counts as no file (the
// close reports that it cannot write there).
Found readFileBytes(const QString& path, QByteArray& bytes) {
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR || errno == EISDIR) return Found::Nothing;
        return Found::Unusable;
    }
    struct stat st {};
    Found result = Found::Unusable;
    if (::fstat(fd, &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            result = Found::Nothing;
        } else if (S_ISREG(st.st_mode) && st.st_size <= kLargestFile) {
            bytes.resize(static_cast<qsizetype>(st.st_size) + 1);
            qsizetype got = 0;
            for (;;) {
                const ssize_t n = ::read(fd, bytes.data() + got, static_cast<size_t>(bytes.size() - got));
                if (n < 0 && errno == EINTR) continue;
                if (n < 0) break;
                got += n;
                if (n == 0 || got == bytes.size()) {
                    // Grown past the limit while read: not ours either.
                    if (got <= kLargestFile) {
                        bytes.truncate(got);
                        result = Found::Bytes;
                    }
                    break;
                }
            }
        }
    }
    ::close(fd);
    return result;
}

bool writeAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += n;
    }
    return true;
}

// A writer killed between making its new file and renaming it leaves that
// copy beside the settings. A later write removes such copies, by their
// name (the file's name, a dot, six letters or digits as mkostemp makes
// them), once they are old enough that no other window can still be
// writing one.
constexpr qint64 kStaleAfterSeconds = 60;

bool isTemporaryName(const QString& name, const QString& fileName) {
    if (name.size() != fileName.size() + 7 || !name.startsWith(fileName) || name[fileName.size()] != u'.') return false;
    for (qsizetype i = fileName.size() + 1; i < name.size(); ++i) {
        const char16_t c = name[i].unicode();
        if (!((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'))) return false;
    }
    return true;
}

void removeStaleTemporaries(const QString& path) {
    const QFileInfo info(path);
    const QString fileName = info.fileName();
    const QDir dir = info.absoluteDir();
    const time_t now = ::time(nullptr);
    const QStringList names =
        dir.entryList({fileName + QStringLiteral(".*")}, QDir::Files | QDir::Hidden | QDir::NoSymLinks);
    for (const QString& name : names) {
        if (!isTemporaryName(name, fileName)) continue;
        const QByteArray native = QFile::encodeName(dir.filePath(name));
        struct stat st {};
        if (::lstat(native.constData(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        if (now - st.st_mtime < kStaleAfterSeconds) continue;
        ::unlink(native.constData());
    }
}

// Replaces the file whole: a new file beside it, flushed to the disk, then
// renamed over the old one. A crash at any moment leaves the old file or the
// new one, and two windows closing one after the other never mix.
bool replaceFile(const QString& path, const QByteArray& bytes) {
    const QString dir = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(dir)) return false;
    QByteArray temp = QFile::encodeName(path) + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return false;
    // The old file's permissions, or those a plain new file would get.
    struct stat old {};
    mode_t mode = 0;
    if (::stat(QFile::encodeName(path).constData(), &old) == 0 && S_ISREG(old.st_mode)) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    bool ok = ::fchmod(fd, mode) == 0 && writeAll(fd, bytes) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temp.constData(), QFile::encodeName(path).constData()) == 0;
    if (!ok) {
        ::unlink(temp.constData());
        return false;
    }
    const int dirFd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    removeStaleTemporaries(path);
    return true;
}

}  // namespace

bool parseDecimal(const QString& text, int& value) {
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (i == text.size()) return false;
    long long v = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9') return false;
        v = v * 10 + (c - u'0');
        if (v > static_cast<long long>(std::numeric_limits<int>::max()) + 1) return false;
    }
    if (negative) v = -v;
    if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max()) return false;
    value = static_cast<int>(v);
    return true;
}

StoredSettings SettingsStore::read(QStringList& typeErrors) {
    StoredSettings s;
    const QString file = location();
    QByteArray bytes;
    switch (readFileBytes(file, bytes)) {
    case Found::Nothing: return s;
    case Found::Unusable: typeErrors.append(QStringLiteral("設定を読み込めませんでした。\n%1").arg(file)); return s;
    case Found::Bytes: break;
    }
    // The copy is parsed in a private folder, so that nothing beside the
    // real file (a lock, a device) can stall the parse.
    QTemporaryDir scratch;
    if (!scratch.isValid()) return s;
    const QString copy = scratch.filePath(QStringLiteral("settings.conf"));
    {
        QFile out(copy);
        if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size()) return s;
    }
    QSettings store(copy, QSettings::IniFormat);
    store.beginGroup(QStringLiteral("Program"));
    for (const Field& f : kFields) {
        const QVariant v = store.value(QLatin1String(f.name));
        if (!v.isValid()) continue;
        if (v.typeId() != QMetaType::QString) {
            typeErrors.append(QStringLiteral("'%1' のデータ型が不正です").arg(QLatin1String(f.name)));
            continue;
        }
        int value = 0;
        if (parseDecimal(v.toString(), value)) s.*f.member = value;
    }
    return s;
}

bool SettingsStore::write(const StoredSettings& s, const QString& exeDir, QString& error) {
    const QString file = location();
    error = QStringLiteral("設定を保存できませんでした。\n%1").arg(file);
    // Only the program's own values go back: the text is made afresh in a
    // private folder, so nothing read from the old file survives, and the
    // status judged is that of this write alone.
    QTemporaryDir scratch;
    if (!scratch.isValid()) return false;
    const QString fresh = scratch.filePath(QStringLiteral("settings.conf"));
    {
        QSettings store(fresh, QSettings::IniFormat);
        store.beginGroup(QStringLiteral("Program"));
        const auto put = [&](const char* name, int value) {
            store.setValue(QLatin1String(name), QString::number(value));
        };
        put("MainTop", s.MainTop);
        put("MainLeft", s.MainLeft);
        store.setValue(QStringLiteral("Dir"), exeDir);
        put("CkHyoji", s.CkHyoji);
        put("CkMark", s.CkMark);
        put("CkHifun", s.CkHifun);
        put("CkTomei", s.CkTomei);
        put("CkTemae", s.CkTemae);
        put("CkTitle", s.CkTitle);
        put("Jisho", s.Jisho);
        store.endGroup();
        store.sync();
        if (store.status() != QSettings::NoError) return false;
    }
    QFile made(fresh);
    if (!made.open(QIODevice::ReadOnly)) return false;
    const QByteArray bytes = made.readAll();
    if (bytes.isEmpty() || !replaceFile(file, bytes)) return false;
    error.clear();
    return true;
}

QString SettingsStore::location() {
    // Where QSettings keeps organisation "Nagiworks", application "Yorozuba"
    // for this user, worked out without opening it (opening reads the file).
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base)) base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/Nagiworks/Yorozuba.conf");
}

}  // namespace tenmari
