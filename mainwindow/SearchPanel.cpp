#include "SearchPanel.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QStringView>
#include <algorithm>
#include <exception>

#include "Cp932.h"
#include "Notifier.h"
#include "PostReference.h"

namespace tenmari {
namespace {

const QString kStatusCodeMode = QStringLiteral("郵便番号から住所を検索します");
const QString kStatusNeedPrefecture = QStringLiteral("都道府県から入力が必要です");
const QString kStatusCodeReady = QStringLiteral("先頭の郵便番号のみでも検索可能です");
const QString kStatusCodeTooShort = QStringLiteral("検索には少なくとも先頭 3桁の番号が必要です");
const QString kStatusAddressReady = QStringLiteral("住所途中でも検索可能です");
const QString kStatusNoPrefecture = QStringLiteral("※都道府県から入力が必要です！");
const QString kStatusRefusedShort = QStringLiteral("※3文字未満では検索できません！");
const QString kStatusRefusedEmpty = QStringLiteral("※空欄では検索できません！");
const QString kStatusSearching = QStringLiteral("検索中です・・・");
const QString kStatusDone = QStringLiteral("検索が完了しました");
const QString kStatusNotFound = QStringLiteral("検索しましたが見つかりませんでした");

const QString kMessageSecondHyphen = QStringLiteral("2つ目の\"-\"（ﾊｲﾌﾝ）は入力出来ません！");
const QString kMessageDigitsOnly = QStringLiteral("郵便番号は、半角数字のみ入力できます。");
const QString kMessageNoPrefecture = QStringLiteral("※都道府県名からの入力が必要です！");

const QString kCaptionSearch = QStringLiteral("検\u3000索");
const QString kCaptionSearching = QStringLiteral("検索中");

constexpr QRgb kWhite = 0xFFFFFFFFu;   // opaque 255, 255, 255
constexpr QRgb kSilver = 0xFFC0C0C0u;  // opaque 192, 192, 192

constexpr char16_t kEnter = 13;
constexpr char16_t kBackspace = 8;
constexpr char16_t kEscape = 27;

// A text as the lookup gets it, with its length in code page 932 bytes. A
// character without a code page 932 form makes the text unconvertible; it
// counts two bytes, like the full-width characters it stands among.
struct Cp932Text {
    std::string bytes;
    bool convertible = true;
    std::size_t length = 0;
};

Cp932Text toCp932(const QString& text) {
    Cp932Text out;
    try {
        out.bytes = utf8ToCp932(text.toStdString());
        out.length = out.bytes.size();
        return out;
    } catch (const EncodingError&) {
    }
    out.convertible = false;
    out.bytes.clear();
    for (const char32_t c : text.toUcs4()) {
        try {
            out.length += utf8ToCp932(QString::fromUcs4(&c, 1).toStdString()).size();
        } catch (const EncodingError&) {
            out.length += 2;
        }
    }
    return out;
}

bool isLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// Dictionary bytes as text. A byte sequence that is not code page 932 (a
// damaged file) shows as U+FFFD instead of losing the rest of the text.
QString fromCp932(std::string_view bytes) {
    try {
        const std::string utf8 = cp932ToUtf8(bytes);
        return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    } catch (const EncodingError&) {
    }
    QString out;
    out.reserve(static_cast<qsizetype>(bytes.size()));
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t n = isLeadByte(static_cast<unsigned char>(bytes[i])) && i + 1 < bytes.size() ? 2 : 1;
        try {
            const std::string utf8 = cp932ToUtf8(bytes.substr(i, n));
            out += QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
        } catch (const EncodingError&) {
            out += QChar(QChar::ReplacementCharacter);
        }
        i += n;
    }
    return out;
}

// One candidate entry in code page 932: address " - " code in the
// postal-code mode, code " / " address in the address mode.
void appendEntry(std::string& out, SearchMode mode, const std::string& address, const std::string& code) {
    if (mode == SearchMode::Code) {
        out += address;
        out += " - ";
        out += code;
    } else {
        out += code;
        out += " / ";
        out += address;
    }
}

void reportError(const std::exception& e) { notifier().error(QString::fromUtf8(e.what())); }

// A code as the display options want it: hyphen after the third digit, then the mark.
QString formatCode(QString code, const DisplayOptions& options) {
    if (options.hyphen) code = code.left(3) + QLatin1Char('-') + code.mid(3);
    if (options.mark) code.prepend(QStringLiteral("〒"));
    return code;
}

}  // namespace

// ---------------------------------------------------------------------------

std::string PostReferenceLookup::PostToAddress(std::string_view query) { return ref_.PostToAddress(query); }

void PostReferenceLookup::PostToAddressList(std::string_view query, std::vector<std::string>& addresses,
                                            std::vector<std::string>& codes) {
    ref_.PostToAddressList(query, addresses, codes);
}

void PostReferenceLookup::AddressToPostList(std::string_view query, std::vector<std::string>& addresses,
                                            std::vector<std::string>& codes) {
    ref_.AddressToPostList(query, addresses, codes);
}

void SystemClipboard::setText(const QString& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) return;
    clipboard->setText(text, QClipboard::Clipboard);
    if (clipboard->supportsSelection()) clipboard->setText(text, QClipboard::Selection);
}

// ---------------------------------------------------------------------------

int SearchCandidates::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : count(); }

QVariant SearchCandidates::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.column() != 0 || index.row() >= count()) return {};
    return entry(index.row());
}

QString SearchCandidates::entry(int row) const {
    if (row < 0 || row >= count()) return {};
    const auto i = static_cast<std::size_t>(row);
    const qsizetype begin = starts_[i];
    const qsizetype end = i + 1 < starts_.size() ? starts_[i + 1] - 1 : text_.size();
    return text_.mid(begin, end - begin);
}

void SearchCandidates::clear() {
    if (starts_.empty()) return;
    beginResetModel();
    text_.clear();
    starts_.clear();
    endResetModel();
}

void SearchCandidates::assign(QString text, std::vector<qsizetype> starts) {
    if (starts.empty() && starts_.empty()) return;
    beginResetModel();
    text_ = std::move(text);
    starts_ = std::move(starts);
    endResetModel();
}

// ---------------------------------------------------------------------------

SearchPanelModel::SearchPanelModel(PanelLookup& lookup, PanelClipboard& clipboard, PanelHost& host, QObject* parent)
    : QObject(parent),
      lookup_(lookup),
      clipboard_(clipboard),
      host_(host),
      searchCaption_(kCaptionSearch),
      zipColor_(kWhite),
      addressColor_(kWhite),
      candidates_(this) {}

// --- state setters: each signals only a real change ---

void SearchPanelModel::setMode(SearchMode mode) {
    if (mode_ == mode) return;
    mode_ = mode;
    emit modeChanged();
}

void SearchPanelModel::setStatus(const QString& text) {
    if (status_ == text) return;
    status_ = text;
    emit statusChanged(status_);
}

void SearchPanelModel::setSearchEnabled(bool enabled) {
    if (searchEnabled_ == enabled) return;
    searchEnabled_ = enabled;
    emit searchEnabledChanged(enabled);
}

void SearchPanelModel::setSearchCaption(const QString& caption) {
    if (searchCaption_ == caption) return;
    searchCaption_ = caption;
    emit searchCaptionChanged(searchCaption_);
}

void SearchPanelModel::setResultText(const QString& text) {
    if (resultText_ == text) return;
    resultText_ = text;
    emit resultTextChanged(resultText_);
    EditJushoChange();
}

void SearchPanelModel::setCopyEnabled(bool enabled) {
    if (copyEnabled_ == enabled) return;
    copyEnabled_ = enabled;
    emit copyEnabledChanged(enabled);
}

void SearchPanelModel::setZipInput(bool enabled) {
    const QRgb color = enabled ? kWhite : kSilver;
    if (zipEnabled_ == enabled && zipColor_ == color) return;
    zipEnabled_ = enabled;
    zipColor_ = color;
    emit inputStateChanged();
}

void SearchPanelModel::setAddressInput(bool enabled) {
    const QRgb color = enabled ? kWhite : kSilver;
    if (addressEnabled_ == enabled && addressColor_ == color) return;
    addressEnabled_ = enabled;
    addressColor_ = color;
    emit inputStateChanged();
}

void SearchPanelModel::setZipText(const QString& text) {
    if (zipText_ == text) return;
    zipText_ = text;
    emit zipTextChanged(zipText_);
    EditZip1Change();
}

void SearchPanelModel::setAddressText(const QString& text) {
    if (addressText_ == text) return;
    addressText_ = text;
    emit addressTextChanged(addressText_);
    EditJusho1Change();
}

void SearchPanelModel::setSelectedIndex(int index) {
    if (index < 0 || index >= candidates_.count()) index = -1;
    if (selectedIndex_ == index) return;
    selectedIndex_ = index;
    emit selectedIndexChanged(index);
}

void SearchPanelModel::clearCandidates() {
    candidates_.clear();
    setSelectedIndex(-1);
}

void SearchPanelModel::focusCurrentInput() {
    if (mode_ != SearchMode::None) host_.focusInput(mode_);
}

// --- mode switches ---

void SearchPanelModel::RBtnBangoKensakuClick() {
    // The radio button is checked before its handler runs: emptying the
    // address field below raises a change handler that ignores it.
    setMode(SearchMode::Code);
    setStatus(kStatusCodeMode);
    setZipInput(true);
    setZipText(QString());
    setAddressInput(false);
    setAddressText(QString());
    plBtnClear1Click();
    host_.focusInput(SearchMode::Code);
}

void SearchPanelModel::RBtnJushoKensakuClick() {
    setMode(SearchMode::Address);
    setStatus(kStatusNeedPrefecture);
    setZipInput(false);
    setZipText(QString());
    setAddressInput(true);
    setAddressText(QString());
    plBtnClear1Click();
    host_.focusInput(SearchMode::Address);
}

// --- the postal-code field ---

bool SearchPanelModel::EditZip1KeyPress(char16_t ch) {
    if (ch == kEnter) {
        if (toCp932(zipText_).length >= 3) plBtnKensakuClick();
        return true;
    }
    if (ch == u'-' && zipText_.contains(QLatin1Char('-'))) {
        notifier().beep();
        notifier().message(kMessageSecondHyphen);
        return true;
    }
    if (ch == 0) return true;  // nothing to insert
    const bool allowed = (ch >= u'0' && ch <= u'9') || ch == u'-' || ch == kBackspace || ch == kEscape;
    if (!allowed) {
        notifier().beep();
        notifier().message(kMessageDigitsOnly);
        return true;
    }
    return false;
}

void SearchPanelModel::EditZip1Change() {
    if (mode_ != SearchMode::Code) return;
    if (toCp932(zipText_).length >= 3) {
        setStatus(kStatusCodeReady);
        setSearchEnabled(true);
    } else {
        setStatus(kStatusCodeTooShort);
        setSearchEnabled(false);
    }
}

// --- the address field ---

bool SearchPanelModel::EditJusho1KeyPress(char16_t ch) {
    if (ch != kEnter) return false;
    if (!addressText_.isEmpty()) plBtnKensakuClick();
    return true;
}

void SearchPanelModel::EditJusho1Change() {
    if (mode_ != SearchMode::Address) return;
    if (toCp932(addressText_).length <= 8) {
        setStatus(kStatusNeedPrefecture);
        return;
    }
    static const QString prefectureMarks = QStringLiteral("都道府県");
    const bool hasPrefecture = std::any_of(prefectureMarks.begin(), prefectureMarks.end(),
                                           [this](QChar c) { return addressText_.contains(c); });
    if (hasPrefecture) {
        setSearchEnabled(true);
        setStatus(kStatusAddressReady);
    } else if (status_ != kStatusNoPrefecture) {
        // Reported once until the status line says something else.
        setSearchEnabled(false);
        setStatus(kStatusNoPrefecture);
        notifier().beep();
        notifier().message(kMessageNoPrefecture);
    }
}

// --- the search ---

void SearchPanelModel::showSearching() {
    setStatus(kStatusSearching);
    setSearchCaption(kCaptionSearching);
    host_.processPendingEvents();
}

bool SearchPanelModel::lookUpCode(const std::string& query, bool convertible) {
    std::string address;
    if (convertible) {
        try {
            address = lookup_.PostToAddress(query);
        } catch (const std::exception& e) {
            reportError(e);
            return false;
        }
    }
    setResultText(fromCp932(address));
    return true;
}

bool SearchPanelModel::lookUpList(SearchMode mode, const std::string& query, bool convertible) {
    std::vector<std::string> addresses;
    std::vector<std::string> codes;
    if (convertible) {
        try {
            if (mode == SearchMode::Code) {
                lookup_.PostToAddressList(query, addresses, codes);
            } else {
                lookup_.AddressToPostList(query, addresses, codes);
            }
        } catch (const std::exception& e) {
            reportError(e);
            return false;
        }
    }
    fillCandidates(mode, addresses, codes);
    return true;
}

void SearchPanelModel::fillCandidates(SearchMode mode, const std::vector<std::string>& addresses,
                                      const std::vector<std::string>& codes) {
    const std::size_t n = std::min(addresses.size(), codes.size());
    if (n == 0) {
        clearCandidates();
        return;
    }
    std::size_t total = 0;
    for (std::size_t i = 0; i < n; ++i) total += addresses[i].size() + codes[i].size() + 4;
    std::string bytes;
    bytes.reserve(total);
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0) bytes += '\n';
        appendEntry(bytes, mode, addresses[i], codes[i]);
    }

    // All entries in one conversion, cut at the line ends; a dictionary line
    // never holds one of its own.
    QString text;
    std::vector<qsizetype> starts;
    starts.reserve(n);
    try {
        const std::string utf8 = cp932ToUtf8(bytes);
        text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
        const QStringView view(text);
        starts.push_back(0);
        for (qsizetype at = view.indexOf(u'\n'); at >= 0; at = view.indexOf(u'\n', at + 1)) starts.push_back(at + 1);
    } catch (const EncodingError&) {
        starts.clear();
    }
    if (starts.size() != n) {
        // Some bytes are not code page 932: convert entry by entry, so that
        // only the damaged characters are replaced.
        text.clear();
        starts.clear();
        std::string one;
        for (std::size_t i = 0; i < n; ++i) {
            if (i > 0) text += QLatin1Char('\n');
            starts.push_back(text.size());
            one.clear();
            appendEntry(one, mode, addresses[i], codes[i]);
            text += fromCp932(one);
        }
    }
    candidates_.assign(std::move(text), std::move(starts));
    setSelectedIndex(-1);
}

void SearchPanelModel::plBtnKensakuClick() {
    setResultText(QString());
    if (!searchEnabled_) return;

    if (mode_ == SearchMode::Code) {
        const Cp932Text t = toCp932(zipText_);
        const std::size_t full = zipText_.contains(QLatin1Char('-')) ? 8 : 7;
        if (t.length < 3) {
            setStatus(kStatusRefusedShort);
            host_.focusInput(SearchMode::Code);
            return;
        }
        if (t.length == full) {
            showSearching();
            clearCandidates();
            if (!lookUpCode(t.bytes, t.convertible)) return;
        } else if (t.length < full) {
            clearCandidates();
            showSearching();
            if (!lookUpList(SearchMode::Code, t.bytes, t.convertible)) return;
        }
        // Longer than a full code: no lookup, the list keeps its entries.
        host_.focusInput(SearchMode::Code);
    } else if (mode_ == SearchMode::Address) {
        if (addressText_.isEmpty()) {
            setStatus(kStatusRefusedEmpty);
            host_.focusInput(SearchMode::Address);
            return;
        }
        const Cp932Text a = toCp932(addressText_);
        clearCandidates();
        showSearching();
        if (!lookUpList(SearchMode::Address, a.bytes, a.convertible)) return;
        host_.focusInput(SearchMode::Address);
    }

    if (!resultText_.isEmpty() || candidates_.count() > 0) {
        host_.expandResults();
        setStatus(kStatusDone);
    } else {
        setStatus(kStatusNotFound);
    }
    setSearchCaption(kCaptionSearch);
}

void SearchPanelModel::plBtnClear1Click() {
    setZipText(QString());
    setAddressText(QString());
    setResultText(QString());
    clearCandidates();
    host_.collapse();
    focusCurrentInput();
}

// --- choosing and copying ---

void SearchPanelModel::ListBox1Click() {
    if (selectedIndex_ < 0) return;
    const QString e = candidates_.entry(selectedIndex_);
    const DisplayOptions options = host_.displayOptions();
    QString r;
    if (mode_ == SearchMode::Code) {
        // address " - " code
        const qsizetype dash = e.indexOf(QLatin1Char('-'));
        if (!options.codeOnly) {
            r = dash < 0 ? e : e.left(std::max<qsizetype>(dash - 1, 0));
        } else {
            r = formatCode(dash < 0 ? e : e.mid(dash + 2), options);
        }
    } else if (mode_ == SearchMode::Address) {
        // code " / " address: always the code
        const qsizetype slash = e.indexOf(QLatin1Char('/'));
        r = formatCode(slash < 0 ? e : e.left(std::max<qsizetype>(slash - 1, 0)), options);
    }
    setResultText(r);
}

void SearchPanelModel::ListBox1DblClick() {
    ListBox1Click();
    plBtnCopyClick();
}

void SearchPanelModel::EditJushoChange() { setCopyEnabled(!resultText_.isEmpty()); }

void SearchPanelModel::plBtnCopyClick() {
    // An empty result never wipes what the user has on the clipboard (a
    // double-click beside the entries chooses nothing).
    if (resultText_.isEmpty()) return;
    clipboard_.setText(resultText_);
}

}  // namespace tenmari
