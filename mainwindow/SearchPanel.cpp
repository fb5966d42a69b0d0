#include "SearchPanel.h"

#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <algorithm>
#include <array>
#include <cerrno>
#include <exception>
#include <sys/stat.h>

#include "AnsiText.h"
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

QString fromPath(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

// The failed file's name, without its folders, for the status line.
QString fileNameOf(const std::string& path) { return QFileInfo(fromPath(path)).fileName(); }

// A dictionary error in the window's language with the path as it is; an
// error that names no file as its text.
QString errorText(const std::exception& e) {
    if (const auto* f = dynamic_cast<const PostFileError*>(&e); f && !f->path().empty() && f->code() != 0) {
        static_assert(PostFileError::kNotRegular == kNotRegularFile);
        static_assert(PostFileError::kChanged == kChangedWhileRead);
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

// An empty file is a damaged dictionary, not one without the record: every
// dictionary holds the records of at least one prefecture.
void refuseEmptyFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0) {
        throw PostFileError(path + ": an empty file, not a dictionary", path, ENODATA);
    }
}

}  // namespace

// ---------------------------------------------------------------------------

std::string PostReferenceLookup::PostToAddress(std::string_view query) {
    missing_.clear();
    refuseEmptyFile(ref_.PostFile());
    return ref_.PostToAddress(query);
}

void PostReferenceLookup::PostToAddressList(std::string_view query, std::vector<std::string>& addresses,
                                            std::vector<std::string>& codes) {
    missing_.clear();
    refuseEmptyFile(ref_.PostFile());
    ref_.PostToAddressList(query, addresses, codes);
}

void PostReferenceLookup::AddressToPostList(std::string_view query, std::vector<std::string>& addresses,
                                            std::vector<std::string>& codes) {
    missing_.clear();
    refuseEmptyFile(ref_.PostFile());
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
        if (ansiLength(zipText_) >= 3) plBtnKensakuClick();
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
    if (ansiLength(zipText_) >= 3) {
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
    if (ansiLength(addressText_) <= 8) {
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
    const std::u16string_view dash = u" - ";
    const std::u16string_view slash = u" / ";
    for (std::size_t i = 0; i < n; ++i) {
        starts.push_back(out - begin);
        if (mode == SearchMode::Code) {
            out = cp932ToUtf16(addresses[i], out);
            out = std::copy(dash.begin(), dash.end(), out);
            out = cp932ToUtf16(codes[i], out);
        } else {
            out = cp932ToUtf16(codes[i], out);
            out = std::copy(slash.begin(), slash.end(), out);
            out = cp932ToUtf16(addresses[i], out);
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
        const Cp932Form t = toCp932Form(zipText_);
        const std::size_t full = zipText_.contains(QLatin1Char('-')) ? 8 : 7;
        if (t.bytes.size() < 3) {
            setStatus(kStatusRefusedShort);
            host_.focusInput(SearchMode::Code);
            return;
        }
        if (t.bytes.size() == full) {
            showSearching();
            clearCandidates();
            if (!lookUpCode(t.bytes, t.exact)) return;
        } else if (t.bytes.size() < full) {
            clearCandidates();
            showSearching();
            if (!lookUpList(SearchMode::Code, t.bytes, t.exact)) return;
        }
        // Longer than a full code: no lookup, the list keeps its entries.
        host_.focusInput(SearchMode::Code);
    } else if (mode_ == SearchMode::Address) {
        if (addressText_.isEmpty()) {
            setStatus(kStatusRefusedEmpty);
            host_.focusInput(SearchMode::Address);
            return;
        }
        const Cp932Form a = toCp932Form(addressText_);
        clearCandidates();
        showSearching();
        if (!lookUpList(SearchMode::Address, a.bytes, a.exact)) return;
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
