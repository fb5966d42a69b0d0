#pragma once
// The search panel without its widgets: the search mode, the keystroke
// filter, the status line, the search, the candidate list, the result
// formatting and copying. The main window binds its controls to a
// SearchPanelModel and forwards their events to the handler operations,
// which are named after the window's handlers. The lookup, the clipboard and
// the window itself are reached through small interfaces; beeps and message
// boxes through tenmari::notifier().

#include <QAbstractListModel>
#include <QObject>
#include <QRgb>
#include <QString>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

namespace tenmari {

class TPostReference;

// None only before the first mode switch.
enum class SearchMode { None, Code, Address };

// The dictionary queries, code page 932 bytes in and out.
class PanelLookup {
public:
    virtual ~PanelLookup() = default;
    virtual std::string PostToAddress(std::string_view query) = 0;
    virtual void PostToAddressList(std::string_view query, std::vector<std::string>& addresses,
                                   std::vector<std::string>& codes) = 0;
    virtual void AddressToPostList(std::string_view query, std::vector<std::string>& addresses,
                                   std::vector<std::string>& codes) = 0;
    // The dictionary the last query found no file for, as its path stands;
    // empty when it had one.
    virtual std::string missingDictionary() const { return {}; }
};

// The window's lookup component. Its not-found event goes to
// PostReference1NotPostFile, which tells a missing file from a record that is
// not there (the event is raised for both).
class PostReferenceLookup : public PanelLookup {
public:
    explicit PostReferenceLookup(TPostReference& reference) : ref_(reference) {}
    std::string PostToAddress(std::string_view query) override;
    void PostToAddressList(std::string_view query, std::vector<std::string>& addresses,
                           std::vector<std::string>& codes) override;
    void AddressToPostList(std::string_view query, std::vector<std::string>& addresses,
                           std::vector<std::string>& codes) override;
    std::string missingDictionary() const override { return missing_; }

    void PostReference1NotPostFile(TPostReference& sender);

private:
    TPostReference& ref_;
    std::string missing_;
};

class PanelClipboard {
public:
    virtual ~PanelClipboard() = default;
    virtual void setText(const QString& text) = 0;
};

// The system clipboard, and the primary selection where there is one, so
// that a middle-click pastes the result too.
class SystemClipboard : public PanelClipboard {
public:
    void setText(const QString& text) override;
};

// The result format of the settings panel: code only (RBtnBango) instead of
// address only, "〒" in front of a code (ChkMark), a hyphen after its third
// digit (ChkHyphen).
struct DisplayOptions {
    bool codeOnly = false;
    bool mark = false;
    bool hyphen = false;
};

// What the window does for the panel.
class PanelHost {
public:
    virtual ~PanelHost() = default;
    // Paints the status and the caption before a lookup blocks.
    virtual void processPendingEvents() = 0;
    // A search found something: the window expands if it is compact.
    virtual void expandResults() = 0;
    // Back to the compact layout.
    virtual void collapse() = 0;
    // Focus to EditZip1 (Code) or EditJusho1 (Address).
    virtual void focusInput(SearchMode mode) = 0;
    // Read when a candidate is chosen.
    virtual DisplayOptions displayOptions() const = 0;
};

// The candidate entries, one column, in the lookup's order. Filled in one
// piece per search: all entries live in one text, cut by their offsets.
class SearchCandidates : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    int count() const { return static_cast<int>(starts_.size()); }
    QString entry(int row) const;

    // Empties the list; no reset when it is already empty.
    void clear();
    // Replaces the list in one reset: entry i of `text` begins at starts[i]
    // and ends where the next begins.
    void assign(QString text, std::vector<qsizetype> starts);

private:
    QString text_;
    std::vector<qsizetype> starts_;
};

class SearchPanelModel : public QObject {
    Q_OBJECT
public:
    SearchPanelModel(PanelLookup& lookup, PanelClipboard& clipboard, PanelHost& host, QObject* parent = nullptr);

    SearchMode mode() const { return mode_; }
    QString zipText() const { return zipText_; }
    QString addressText() const { return addressText_; }
    QString status() const { return status_; }
    bool searchEnabled() const { return searchEnabled_; }
    QString searchCaption() const { return searchCaption_; }
    QString resultText() const { return resultText_; }
    bool copyEnabled() const { return copyEnabled_; }
    // EditZip1 with LblBango, EditJusho1 with LblJusho.
    bool zipEnabled() const { return zipEnabled_; }
    bool addressEnabled() const { return addressEnabled_; }
    // White for the field of the current mode, silver for the other.
    QRgb zipColor() const { return zipColor_; }
    QRgb addressColor() const { return addressColor_; }
    QAbstractListModel* candidates() { return &candidates_; }
    const SearchCandidates& candidateList() const { return candidates_; }
    // -1 when nothing is selected, as after any change of the list.
    int selectedIndex() const { return selectedIndex_; }

    void RBtnBangoKensakuClick();
    void RBtnJushoKensakuClick();
    // True when the character is swallowed, never to reach the field.
    bool EditZip1KeyPress(char16_t ch);
    // Runs EditZip1Change when the text really changes.
    void setZipText(const QString& text);
    bool EditJusho1KeyPress(char16_t ch);
    // Runs EditJusho1Change when the text really changes.
    void setAddressText(const QString& text);
    void plBtnKensakuClick();
    void plBtnClear1Click();
    // The list view's selection; out of range selects nothing.
    void setSelectedIndex(int index);
    void ListBox1Click();
    void ListBox1DblClick();
    void plBtnCopyClick();

signals:
    void modeChanged();
    void zipTextChanged(const QString& text);
    void addressTextChanged(const QString& text);
    void statusChanged(const QString& text);
    void searchEnabledChanged(bool enabled);
    void searchCaptionChanged(const QString& caption);
    void resultTextChanged(const QString& text);
    void copyEnabledChanged(bool enabled);
    // zipEnabled, addressEnabled, zipColor or addressColor changed.
    void inputStateChanged();
    void selectedIndexChanged(int index);

private:
    void EditZip1Change();
    void EditJusho1Change();
    void EditJushoChange();

    void setMode(SearchMode mode);
    void setStatus(const QString& text);
    void setSearchEnabled(bool enabled);
    void setSearchCaption(const QString& caption);
    void setResultText(const QString& text);
    void setCopyEnabled(bool enabled);
    void setZipInput(bool enabled);
    void setAddressInput(bool enabled);
    void clearCandidates();
    void focusCurrentInput();

    // "検索中です・・・" and "検索中", painted once before the lookup blocks.
    void showSearching();
    // The lookups, skipped for a query that has no code page 932 form (it
    // cannot match). False when one failed and was reported, which ends the
    // search.
    bool lookUpCode(const std::string& query, bool convertible);
    bool lookUpList(SearchMode mode, const std::string& query, bool convertible);
    // A lookup failed: reported, and named in the status line.
    void failed(const std::exception& e);
    void fillCandidates(SearchMode mode, const std::vector<std::string>& addresses,
                        const std::vector<std::string>& codes);

    PanelLookup& lookup_;
    PanelClipboard& clipboard_;
    PanelHost& host_;

    SearchMode mode_ = SearchMode::None;
    QString zipText_;
    QString addressText_;
    QString status_;
    bool searchEnabled_ = true;
    QString searchCaption_;
    QString resultText_;
    bool copyEnabled_ = false;
    bool zipEnabled_ = true;
    bool addressEnabled_ = true;
    QRgb zipColor_;
    QRgb addressColor_;
    SearchCandidates candidates_;
    int selectedIndex_ = -1;
};

}  // namespace tenmari
