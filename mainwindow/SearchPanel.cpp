#include "SearchPanel.h"

#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <algorithm>
#include <array>
#include <exception>

#include "Cp932.h"
#include "Notifier.h"
#include "PostReference.h"
#include "SystemReason.h"

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
// Instead of "not found" when no dictionary was read, with the file's name.
const QString kStatusNoDictionary = QStringLiteral("辞書ファイルがありません：%1");
const QString kStatusUnreadableDictionary = QStringLiteral("辞書ファイルを読めません：%1");
const QString kMessageUnreadableDictionary = QStringLiteral("辞書ファイル \"%1\" を読めません（%2）");

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
bool isTrailByte(unsigned char c) { return c >= 0x40 && c <= 0xFC && c != 0x7F; }

// Code page 932 straight to UTF-16 through tables taken once from the same
// converter the lookup uses, so that tens of thousands of candidates cost no
// more than a copy. Bytes that are not code page 932 (a damaged file) become
// U+FFFD instead of losing the rest of the text.
class Cp932Decoder {
public:
    static const Cp932Decoder& instance() {
        static const Cp932Decoder decoder;
        return decoder;
    }

    // Writes the text of `bytes` from `out` on, at most bytes.size() units;
    // returns the end.
    char16_t* decode(std::string_view bytes, char16_t* out) const {
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
        const auto* const end = p + bytes.size();
        while (p < end) {
            const unsigned char c = *p;
            if (c < 0x80) {
                *out++ = single_[c];
                ++p;
            } else if (isLeadByte(c) && p + 1 < end && isTrailByte(p[1])) {
                const char16_t u = double_[static_cast<std::size_t>(c) << 8 | p[1]];
                *out++ = u == kInvalid ? kReplacement : u;
                p += 2;
            } else {
                const char16_t u = single_[c];
                *out++ = u == kInvalid ? kReplacement : u;
                ++p;
            }
        }
        return out;
    }

private:
    static constexpr char16_t kInvalid = 0xFFFF;  // a noncharacter: never a conversion's result
    static constexpr char16_t kReplacement = 0xFFFD;

    // The one UTF-16 unit of a byte sequence, or kInvalid.
    static char16_t unitOf(const std::string& bytes) {
        try {
            const std::string utf8 = cp932ToUtf8(bytes);
            const QString s = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
            return s.size() == 1 ? s.front().unicode() : kInvalid;
        } catch (const EncodingError&) {
            return kInvalid;
        }
    }

    Cp932Decoder() : double_(0x10000, kInvalid) {
        for (int c = 0; c < 0x100; ++c) {
            const auto b = static_cast<unsigned char>(c);
            single_[b] = isLeadByte(b) ? kInvalid : unitOf(std::string(1, static_cast<char>(b)));
        }
        std::vector<unsigned char> trails;
        for (int t = 0x40; t <= 0xFC; ++t) {
            if (isTrailByte(static_cast<unsigned char>(t))) trails.push_back(static_cast<unsigned char>(t));
        }
        for (int lead = 0x81; lead <= 0xFC; ++lead) {
            if (!isLeadByte(static_cast<unsigned char>(lead))) continue;
            // A whole row in one conversion; pair by pair where it has gaps.
            std::string row;
            for (const unsigned char t : trails) {
                row += static_cast<char>(lead);
                row += static_cast<char>(t);
            }
            QString text;
            try {
                const std::string utf8 = cp932ToUtf8(row);
                text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
            } catch (const EncodingError&) {
            }
            const bool whole = text.size() == static_cast<qsizetype>(trails.size());
            for (std::size_t k = 0; k < trails.size(); ++k) {
                const std::size_t at = static_cast<std::size_t>(lead) << 8 | trails[k];
                double_[at] = whole ? text.at(static_cast<qsizetype>(k)).unicode()
                                    : unitOf(row.substr(2 * k, 2));
            }
        }
    }

    std::array<char16_t, 0x100> single_{};
    std::vector<char16_t> double_;  // lead << 8 | trail
};

QString fromCp932(std::string_view bytes) {
    QString out(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    char16_t* const begin = reinterpret_cast<char16_t*>(out.data());
    out.truncate(Cp932Decoder::instance().decode(bytes, begin) - begin);
    return out;
}

QString fromPath(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

// The failed file's name, without its folders, for the status line.
QString fileNameOf(const std::string& path) { return QFileInfo(fromPath(path)).fileName(); }

// A dictionary error in the window's language with the path as it is; an
// error that names no file as its text.
QString errorText(const std::exception& e) {
    if (const auto* f = dynamic_cast<const PostFileError*>(&e); f && !f->path().empty() && f->code() != 0) {
        static_assert(PostFileError::kNotRegular == kNotRegularFile);
        return kMessageUnreadableDictionary.arg(fromPath(f->path()), systemReason(f->code()));
    }
    return QString::fromUtf8(e.what());
}

void reportError(const std::exception& e) { notifier().error(errorText(e)); }

// A code as the display options want it: hyphen after the third digit, then the mark.
QString formatCode(QString code, const DisplayOptions& options) {
    if (options.hyphen) code = code.left(3) + QLatin1Char('-') + code.mid(3);
    if (options.mark) code.prepend(QStringLiteral("〒"));
    return code;
}

}  // namespace

// ---------------------------------------------------------------------------

std::string PostReferenceLookup::PostToAddress(std::string_view query) {
    missing_.clear();
    return ref_.PostToAddress(query);
}

void PostReferenceLookup::PostToAddressList(std::string_view query, std::vector<std::string>& addresses,
                                            std::vector<std::string>& codes) {
    missing_.clear();
    ref_.PostToAddressList(query, addresses, codes);
}

void PostReferenceLookup::AddressToPostList(std::string_view query, std::vector<std::string>& addresses,
                                            std::vector<std::string>& codes) {
    missing_.clear();
    ref_.AddressToPostList(query, addresses, codes);
}

void PostReferenceLookup::PostReference1NotPostFile(TPostReference& sender) {
    // Raised also when a full code has no record: only a file that is not
    // there makes the dictionary missing.
    if (!QFileInfo(fromPath(sender.PostFile())).isFile()) missing_ = sender.PostFile();
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
    const qsizetype end = i + 1 < starts_.size() ? starts_[i + 1] : text_.size();
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
    // The second half of a character beyond U+FFFF: its first half was
    // refused already, one message box is enough.
    if (QChar::isLowSurrogate(ch)) return true;
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
            failed(e);
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
            failed(e);
            return false;
        }
    }
    fillCandidates(mode, addresses, codes);
    return true;
}

void SearchPanelModel::failed(const std::exception& e) {
    reportError(e);
    // A dictionary that could not be read is named in the status line too;
    // otherwise the status stays at searching until the next search.
    if (const auto* f = dynamic_cast<const PostFileError*>(&e); f && !f->path().empty()) {
        setStatus(kStatusUnreadableDictionary.arg(fileNameOf(f->path())));
        setSearchCaption(kCaptionSearch);
    }
}

void SearchPanelModel::fillCandidates(SearchMode mode, const std::vector<std::string>& addresses,
                                      const std::vector<std::string>& codes) {
    const std::size_t n = std::min(addresses.size(), codes.size());
    if (n == 0) {
        clearCandidates();
        return;
    }
    // All entries in one text, each at most as many units as it has bytes:
    // address " - " code in the postal-code mode, code " / " address in the
    // address mode.
    std::size_t total = 0;
    for (std::size_t i = 0; i < n; ++i) total += addresses[i].size() + codes[i].size() + 3;
    QString text(static_cast<qsizetype>(total), Qt::Uninitialized);
    char16_t* const begin = reinterpret_cast<char16_t*>(text.data());
    char16_t* out = begin;
    std::vector<qsizetype> starts;
    starts.reserve(n);
    const Cp932Decoder& decoder = Cp932Decoder::instance();
    const std::u16string_view dash = u" - ";
    const std::u16string_view slash = u" / ";
    for (std::size_t i = 0; i < n; ++i) {
        starts.push_back(out - begin);
        if (mode == SearchMode::Code) {
            out = decoder.decode(addresses[i], out);
            out = std::copy(dash.begin(), dash.end(), out);
            out = decoder.decode(codes[i], out);
        } else {
            out = decoder.decode(codes[i], out);
            out = std::copy(slash.begin(), slash.end(), out);
            out = decoder.decode(addresses[i], out);
        }
    }
    text.truncate(out - begin);
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
    } else if (const std::string missing = lookup_.missingDictionary(); !missing.empty()) {
        setStatus(kStatusNoDictionary.arg(fileNameOf(missing)));
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
