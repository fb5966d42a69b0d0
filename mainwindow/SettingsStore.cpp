#include "SettingsStore.h"

#include <QSettings>

#include <limits>
#include <memory>

namespace tenmari {
namespace {

std::unique_ptr<QSettings> openStore() {
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QStringLiteral("Nagiworks"), QStringLiteral("Yorozuba"));
}

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
    const std::unique_ptr<QSettings> owner = openStore();
    QSettings& store = *owner;
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
    const std::unique_ptr<QSettings> owner = openStore();
    QSettings& store = *owner;
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
    if (store.status() == QSettings::NoError) return true;
    error = QStringLiteral("設定を保存できませんでした。\n%1").arg(store.fileName());
    return false;
}

QString SettingsStore::location() { return openStore()->fileName(); }

}  // namespace tenmari
