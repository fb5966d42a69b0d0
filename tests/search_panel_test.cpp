#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "Cp932.h"
#include "KenAll.h"
#include "Notifier.h"
#include "PostReference.h"
#include "SearchPanel.h"
#include "WindowTextCases.h"

using tenmari::cp932ToUtf8;
using tenmari::DisplayOptions;
using tenmari::PostFileError;
using tenmari::SearchMode;
using tenmari::SearchPanelModel;
using tenmari::utf8ToCp932;

// Readable texts in failure messages.
void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

const QString kSearchCaption = QStringLiteral("検\u3000索");
const QString kTooShort = QStringLiteral("検索には少なくとも先頭 3桁の番号が必要です");
const QString kNoPrefecture = QStringLiteral("※都道府県から入力が必要です！");
const QString kNotFound = QStringLiteral("検索しましたが見つかりませんでした");
const QString kDone = QStringLiteral("検索が完了しました");
const QString kSearching = QStringLiteral("検索中です・・・");

using Log = std::vector<std::string>;

std::string utf8(const QString& s) { return s.toStdString(); }

struct Record {
    std::string address;  // UTF-8
    std::string code;
};

// Answers from a fixed table, in UTF-8 for reading and code page 932 on the
// wire; logs each call with its query as it arrived.
class FakeLookup : public tenmari::PanelLookup {
public:
    explicit FakeLookup(Log& log) : log_(log) {}

    std::string PostToAddress(std::string_view query) override {
        called("PostToAddress", query);
        return utf8ToCp932(address);
    }
    void PostToAddressList(std::string_view query, std::vector<std::string>& addresses,
                           std::vector<std::string>& codes) override {
        called("PostToAddressList", query);
        fill(addresses, codes);
    }
    void AddressToPostList(std::string_view query, std::vector<std::string>& addresses,
                           std::vector<std::string>& codes) override {
        called("AddressToPostList", query);
        fill(addresses, codes);
    }

    std::string address;
    std::vector<Record> records;
    std::vector<std::pair<std::string, std::string>> rawRecords;  // code page 932 as is
    std::optional<std::string> failure;                           // thrown as PostFileError
    std::vector<std::string> calls;

private:
    void called(const char* name, std::string_view query) {
        const std::string entry = std::string(name) + ":" + cp932ToUtf8(query);
        calls.push_back(entry);
        log_.push_back(entry);
        if (failure) throw PostFileError(*failure);
    }
    void fill(std::vector<std::string>& addresses, std::vector<std::string>& codes) {
        addresses.clear();
        codes.clear();
        for (const Record& r : records) {
            addresses.push_back(utf8ToCp932(r.address));
            codes.push_back(r.code);
        }
        for (const auto& [a, c] : rawRecords) {
            addresses.push_back(a);
            codes.push_back(c);
        }
    }
    Log& log_;
};

class FakeHost : public tenmari::PanelHost {
public:
    explicit FakeHost(Log& log) : log_(log) {}
    void processPendingEvents() override { log_.push_back("process"); }
    void expandResults() override {
        log_.push_back("expand");
        expanded = true;
    }
    void collapse() override {
        log_.push_back("collapse");
        expanded = false;
    }
    void focusInput(SearchMode mode) override {
        log_.push_back(mode == SearchMode::Code ? "focus:zip" : "focus:address");
    }
    DisplayOptions displayOptions() const override { return options; }

    DisplayOptions options;
    bool expanded = false;

private:
    Log& log_;
};

class FakeClipboard : public tenmari::PanelClipboard {
public:
    void setText(const QString& text) override { texts.push_back(text); }
    std::vector<QString> texts;
};

class RecordingNotifier : public tenmari::Notifier {
public:
    explicit RecordingNotifier(Log& log) : log_(log) {}
    void beep() override { log_.push_back("beep"); }
    void message(const QString& text) override { log_.push_back("message:" + utf8(text)); }
    void error(const QString& text) override { log_.push_back("error:" + utf8(text)); }

private:
    Log& log_;
};

// Counts the emissions of one signal.
class SignalCount {
public:
    template <typename Signal>
    SignalCount(SearchPanelModel* sender, Signal signal) {
        QObject::connect(sender, signal, &context_, [this] { ++count_; });
    }
    int count() const { return count_; }

private:
    QObject context_;
    int count_ = 0;
};

std::vector<std::string> entries(const SearchPanelModel& m) {
    std::vector<std::string> out;
    for (int i = 0; i < m.candidateList().count(); ++i) out.push_back(utf8(m.candidateList().entry(i)));
    return out;
}

// The panel as the window has it after start-up, with every outside
// effect and every state signal written to one log.
class PanelTest : public ::testing::Test {
protected:
    PanelTest() : lookup_(log_), host_(log_), notifier_(log_), model_(lookup_, clipboard_, host_) {}

    void SetUp() override {
        tenmari::setNotifier(&notifier_);
        QObject::connect(&model_, &SearchPanelModel::statusChanged,
                         [this](const QString& s) { log_.push_back("status:" + utf8(s)); });
        QObject::connect(&model_, &SearchPanelModel::searchCaptionChanged,
                         [this](const QString& s) { log_.push_back("caption:" + utf8(s)); });
        QObject::connect(&model_, &SearchPanelModel::searchEnabledChanged,
                         [this](bool on) { log_.push_back(on ? "search:on" : "search:off"); });
        QAbstractItemModel* list = model_.candidates();
        QObject::connect(list, &QAbstractItemModel::modelReset,
                         [this, list] { log_.push_back("reset:" + std::to_string(list->rowCount())); });
        QObject::connect(list, &QAbstractItemModel::rowsInserted, [this] { log_.push_back("rows-inserted"); });
        QObject::connect(list, &QAbstractItemModel::rowsRemoved, [this] { log_.push_back("rows-removed"); });
        model_.RBtnBangoKensakuClick();  // start-up
        log_.clear();
    }
    void TearDown() override { tenmari::setNotifier(nullptr); }

    // Keys into EditZip1 as the edit field would insert them, at the end.
    void typeZip(const QString& keys) {
        for (const QChar c : keys) {
            if (model_.EditZip1KeyPress(c.unicode())) continue;
            QString t = model_.zipText();
            if (c.unicode() == 8) {
                t.chop(1);
            } else if (c.unicode() != 27) {
                t += c;
            }
            model_.setZipText(t);
        }
    }
    void typeAddress(const QString& text) {
        for (const QChar c : text) {
            if (!model_.EditJusho1KeyPress(c.unicode())) model_.setAddressText(model_.addressText() + c);
        }
    }
    void enter() { typeZip(QString(QChar(13))); }
    void addressMode() {
        model_.RBtnJushoKensakuClick();
        log_.clear();
    }
    // Puts `utf8` in the field of the current mode.
    void setQuery(const char* utf8) {
        if (model_.mode() == SearchMode::Code) {
            model_.setZipText(QString::fromUtf8(utf8));
        } else {
            model_.setAddressText(QString::fromUtf8(utf8));
        }
    }
    // Lists candidates in the current mode and selects entry `row`.
    void listAndSelect(int row = 0) {
        lookup_.records = {{"東京都千代田区千代田", "1000001"}, {"東京都千代田区丸の内", "1000005"}};
        setQuery(model_.mode() == SearchMode::Code ? "100" : "東京都千代田");
        model_.plBtnKensakuClick();
        model_.setSelectedIndex(row);
        log_.clear();
    }
    bool logged(const std::string& what) const { return std::find(log_.begin(), log_.end(), what) != log_.end(); }
    int count(const std::string& prefix) const {
        return static_cast<int>(
            std::count_if(log_.begin(), log_.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }));
    }

    Log log_;
    FakeLookup lookup_;
    FakeHost host_;
    FakeClipboard clipboard_;
    RecordingNotifier notifier_;
    SearchPanelModel model_;
};

// --- start-up and mode switches ---

TEST_F(PanelTest, StartUpShowsThePostalCodeModeReadyToSearch) {
    EXPECT_EQ(model_.mode(), SearchMode::Code);
    EXPECT_EQ(utf8(model_.status()), "郵便番号から住所を検索します");
    EXPECT_TRUE(model_.searchEnabled());
    EXPECT_EQ(model_.searchCaption(), kSearchCaption);
    EXPECT_FALSE(model_.copyEnabled());
    EXPECT_TRUE(model_.zipEnabled());
    EXPECT_FALSE(model_.addressEnabled());
    EXPECT_EQ(model_.zipColor(), qRgb(255, 255, 255));
    EXPECT_EQ(model_.addressColor(), qRgb(192, 192, 192));
    EXPECT_EQ(model_.selectedIndex(), -1);

    // Start-up runs the switch again after a window rebuild: nothing changes.
    SignalCount anyState(&model_, &SearchPanelModel::inputStateChanged);
    model_.RBtnBangoKensakuClick();
    EXPECT_EQ(log_, (Log{"collapse", "focus:zip", "focus:zip"}));
    EXPECT_EQ(anyState.count(), 0);
}

TEST_F(PanelTest, PostalCodeSwitchWhileInThatModeEmptiesTheFieldThroughItsChangeHandler) {
    typeZip(QStringLiteral("123"));
    log_.clear();
    model_.RBtnBangoKensakuClick();
    EXPECT_EQ(log_, (Log{"status:郵便番号から住所を検索します", "status:" + utf8(kTooShort), "search:off", "collapse",
                         "focus:zip", "focus:zip"}));
    EXPECT_TRUE(model_.zipText().isEmpty());
}

TEST_F(PanelTest, AddressSwitchEmptiesBothFieldsAndCollapses) {
    lookup_.records = {{"東京都千代田区千代田", "1000001"}};
    typeZip(QStringLiteral("100"));
    enter();
    ASSERT_TRUE(host_.expanded);
    log_.clear();

    SignalCount modeSpy(&model_, &SearchPanelModel::modeChanged);
    SignalCount inputs(&model_, &SearchPanelModel::inputStateChanged);
    model_.RBtnJushoKensakuClick();
    // The postal-code field is emptied after the mode changed: its handler stays quiet.
    EXPECT_EQ(log_,
              (Log{"status:都道府県から入力が必要です", "reset:0", "collapse", "focus:address", "focus:address"}));
    EXPECT_EQ(modeSpy.count(), 1);
    EXPECT_GE(inputs.count(), 1);
    EXPECT_EQ(model_.mode(), SearchMode::Address);
    EXPECT_TRUE(model_.zipText().isEmpty());
    EXPECT_FALSE(model_.zipEnabled());
    EXPECT_TRUE(model_.addressEnabled());
    EXPECT_EQ(model_.zipColor(), qRgb(192, 192, 192));
    EXPECT_EQ(model_.addressColor(), qRgb(255, 255, 255));
    EXPECT_TRUE(model_.searchEnabled()) << "the switch leaves the search button alone";
    EXPECT_FALSE(host_.expanded);

    model_.RBtnBangoKensakuClick();
    EXPECT_EQ(model_.mode(), SearchMode::Code);
    EXPECT_TRUE(model_.zipEnabled());
    EXPECT_FALSE(model_.addressEnabled());
}

// --- keystroke filters ---

TEST_F(PanelTest, PostalCodeKeystrokeFilter) {
    const std::string digitsOnly = "message:郵便番号は、半角数字のみ入力できます。";
    const std::string secondHyphen = "message:2つ目の\"-\"（ﾊｲﾌﾝ）は入力出来ません！";
    struct Case {
        const char* text;
        char16_t ch;
        bool swallowed;
        Log effects;
    } cases[] = {
        {"", u'0', false, {}},
        {"12", u'9', false, {}},
        {"", u'-', false, {}},
        {"100", u'-', false, {}},
        {"1-0", u'-', true, {"beep", secondHyphen}},
        {"-", u'-', true, {"beep", secondHyphen}},
        {"12", u'a', true, {"beep", digitsOnly}},
        {"12", u' ', true, {"beep", digitsOnly}},
        {"12", u'+', true, {"beep", digitsOnly}},
        {"12", u'１', true, {"beep", digitsOnly}},  // full-width digit
        {"12", u'ー', true, {"beep", digitsOnly}},
        {"12", 22, true, {"beep", digitsOnly}},  // Ctrl+V
        {"12", 3, true, {"beep", digitsOnly}},   // Ctrl+C
        {"12", 9, true, {"beep", digitsOnly}},   // Tab
        {"12", 8, false, {}},                    // Backspace
        {"12", 27, false, {}},                   // Escape
        {"12", 0, true, {}},
        {"12", 0xD83D, true, {"beep", digitsOnly}},  // a character beyond U+FFFF: one refusal
        {"12", 0xDE00, true, {}},
        {"12", 13, true, {}},  // Enter, too short to search
        {"1-", 13, true, {}},
        {"", 13, true, {}},
    };
    // A result is shown: no keystroke here may empty it.
    listAndSelect(0);
    model_.ListBox1Click();
    const QString shown = model_.resultText();
    ASSERT_FALSE(shown.isEmpty());
    lookup_.calls.clear();
    for (const Case& c : cases) {
        model_.setZipText(QString::fromUtf8(c.text));
        log_.clear();
        EXPECT_EQ(model_.EditZip1KeyPress(c.ch), c.swallowed) << c.text << " + " << int(c.ch);
        EXPECT_EQ(log_, c.effects) << c.text << " + " << int(c.ch);
        EXPECT_EQ(model_.resultText(), shown) << c.text << " + " << int(c.ch);
    }
    EXPECT_TRUE(lookup_.calls.empty());
}

TEST_F(PanelTest, EnterSearchesFromThreeCharacters) {
    for (const char* text : {"100", "12-", "1000001"}) {
        model_.setZipText(QString::fromUtf8(text));
        lookup_.calls.clear();
        EXPECT_TRUE(model_.EditZip1KeyPress(13));
        EXPECT_EQ(lookup_.calls.size(), 1u) << text;
    }
}

TEST_F(PanelTest, AddressKeystrokesPassExceptEnter) {
    addressMode();
    for (const char16_t ch : {u'東', u'a', u'1', u'-', char16_t(8), char16_t(22), char16_t(27)}) {
        EXPECT_FALSE(model_.EditJusho1KeyPress(ch)) << int(ch);
    }
    EXPECT_TRUE(model_.EditJusho1KeyPress(13));  // empty field: nothing else
    EXPECT_TRUE(log_.empty());
    model_.setAddressText(QStringLiteral("東京都千代田"));
    EXPECT_TRUE(model_.EditJusho1KeyPress(13));
    EXPECT_EQ(lookup_.calls, (std::vector<std::string>{"AddressToPostList:東京都千代田"}));
}

// --- live status ---

TEST_F(PanelTest, PostalCodeStatusFollowsEachChange) {
    const QString ready = QStringLiteral("先頭の郵便番号のみでも検索可能です");
    struct Step {
        const char* keys;
        const char* text;
        QString status;
        bool enabled;
    } steps[] = {
        {"1", "1", kTooShort, false},      {"0", "10", kTooShort, false},
        {"0", "100", ready, true},         {"\b", "10", kTooShort, false},
        {"-", "10-", ready, true},         {"00001", "10-00001", ready, true},
        {"\x1b", "10-00001", ready, true}, {"\b\b\b\b\b\b", "10", kTooShort, false},
        {"\b\b", "", kTooShort, false},
    };
    for (const Step& s : steps) {
        typeZip(QString::fromLatin1(s.keys));
        EXPECT_EQ(utf8(model_.zipText()), s.text);
        EXPECT_EQ(model_.status(), s.status) << s.text;
        EXPECT_EQ(model_.searchEnabled(), s.enabled) << s.text;
    }
    EXPECT_EQ(count("beep"), 0);
}

TEST_F(PanelTest, AddressStatusFollowsEachChangeInBytes) {
    addressMode();
    const QString need = QStringLiteral("都道府県から入力が必要です");
    const QString ready = QStringLiteral("住所途中でも検索可能です");
    struct Step {
        const char* text;
        QString status;
        bool enabled;
        int boxes;  // message boxes so far
    } steps[] = {
        {"京都", need, true, 0},                        // 4 bytes: the button is left as it is
        {"東京都千代田", ready, true, 0},               // 12 bytes with 都
        {"千代田区千代田", kNoPrefecture, false, 1},    // 14 bytes without
        {"千代田区千代田一", kNoPrefecture, false, 1},  // no second box
        {"千代田", need, false, 1},                     // 6 bytes: still disabled
        {"千代田区千代田", kNoPrefecture, false, 2},    // the status had changed: box again
        {"京都市左京区", ready, true, 2},               // contains 都
        {"ｱｲｳｴｵｶｷｸ", need, true, 2},                    // 8 half-width bytes
        {"ｱｲｳｴｵｶｷｸｹ", kNoPrefecture, false, 3},         // 9
        {"東京都ab", need, false, 3},                   // 8 bytes
        {"東京都abc", ready, true, 3},                  // 9 bytes
        {"北海道札幌市", ready, true, 3},
        {"大阪府", need, true, 3},
        {"神奈川県横浜市", ready, true, 3},
        {"東京😀", need, true, 3},  // no code page 932 form: counted like a full-width character
        {"東京都千代田😀", ready, true, 3},
        {"", need, true, 3},
    };
    for (const Step& s : steps) {
        model_.setAddressText(QString::fromUtf8(s.text));
        EXPECT_EQ(model_.status(), s.status) << s.text;
        EXPECT_EQ(model_.searchEnabled(), s.enabled) << s.text;
        EXPECT_EQ(count("message:"), s.boxes) << s.text;
        EXPECT_EQ(count("beep"), s.boxes) << s.text;
    }
    EXPECT_TRUE(logged("message:※都道府県名からの入力が必要です！"));
    // Beep before the box, after the status.
    const auto at = std::find(log_.begin(), log_.end(), "status:" + utf8(kNoPrefecture));
    ASSERT_NE(at, log_.end());
    EXPECT_EQ(*(at + 1), "beep");
    EXPECT_EQ(*(at + 2), "message:※都道府県名からの入力が必要です！");
}

TEST_F(PanelTest, UnchangedTextRaisesNothing) {
    typeZip(QStringLiteral("100"));
    SignalCount zip(&model_, &SearchPanelModel::zipTextChanged);
    log_.clear();
    model_.setZipText(QStringLiteral("100"));
    EXPECT_EQ(zip.count(), 0);
    EXPECT_TRUE(log_.empty());

    addressMode();
    model_.setAddressText(QStringLiteral("千代田区千代田"));
    SignalCount address(&model_, &SearchPanelModel::addressTextChanged);
    log_.clear();
    model_.setAddressText(QStringLiteral("千代田区千代田"));
    EXPECT_EQ(address.count(), 0);
    EXPECT_TRUE(log_.empty());
}

// --- the search ---

TEST_F(PanelTest, PrefixSearchPaintsSearchingBeforeTheLookupAndListsInFileOrder) {
    lookup_.records = {
        {"東京都千代田区千代田", "1000001"}, {"東京都千代田区丸の内", "1000005"}, {"東京都千代田区大手町", "1000004"}};
    typeZip(QStringLiteral("100"));
    log_.clear();
    enter();
    EXPECT_EQ(log_, (Log{"status:検索中です・・・", "caption:検索中", "process", "PostToAddressList:100", "reset:3",
                         "focus:zip", "expand", "status:検索が完了しました", "caption:検\u3000索"}));
    EXPECT_EQ(entries(model_),
              (std::vector<std::string>{"東京都千代田区千代田 - 1000001", "東京都千代田区丸の内 - 1000005",
                                        "東京都千代田区大手町 - 1000004"}));
    EXPECT_EQ(model_.selectedIndex(), -1);
    EXPECT_TRUE(model_.resultText().isEmpty());
    EXPECT_FALSE(model_.copyEnabled());

    // A second search empties the list before painting, then fills it once.
    log_.clear();
    enter();
    EXPECT_EQ(log_, (Log{"reset:0", "status:検索中です・・・", "caption:検索中", "process", "PostToAddressList:100",
                         "reset:3", "focus:zip", "expand", "status:検索が完了しました", "caption:検\u3000索"}));
}

TEST_F(PanelTest, FullCodeWritesTheResultDirectly) {
    lookup_.records = {{"北海道函館市", "0400000"}};
    typeZip(QStringLiteral("040"));
    enter();
    ASSERT_EQ(model_.candidateList().count(), 1);
    model_.setSelectedIndex(0);

    lookup_.address = "東京都千代田区千代田";
    typeZip(QStringLiteral("\b\b\b1000001"));
    log_.clear();
    enter();
    // Status and caption are painted before the list is emptied for a full code.
    EXPECT_EQ(log_, (Log{"status:検索中です・・・", "caption:検索中", "process", "reset:0", "PostToAddress:1000001",
                         "focus:zip", "expand", "status:検索が完了しました", "caption:検\u3000索"}));
    EXPECT_EQ(utf8(model_.resultText()), "東京都千代田区千代田");
    EXPECT_TRUE(model_.copyEnabled());
    EXPECT_EQ(model_.candidateList().count(), 0);
    EXPECT_EQ(model_.selectedIndex(), -1);
}

// The outcome of one search from a given field text; the lookup knows one record.
struct SearchCase {
    const char* name;
    SearchMode mode;
    const char* text;
    const char* call;  // the lookup call, or "" for none
    const char* status;
    bool expands;
    int entries;
    const char* result;
};

void PrintTo(const SearchCase& c, std::ostream* os) { *os << c.name; }

class SearchOutcomeTest : public PanelTest, public ::testing::WithParamInterface<SearchCase> {};

TEST_P(SearchOutcomeTest, EndsAsExpected) {
    const SearchCase& c = GetParam();
    if (c.mode == SearchMode::Address) addressMode();
    lookup_.address = "東京都千代田区千代田";
    lookup_.records = {{"東京都千代田区千代田", "1000001"}};
    if (std::string(c.text) == "京都市左京区") lookup_.records.clear();  // no key begins so
    setQuery(c.text);
    log_.clear();
    model_.plBtnKensakuClick();
    if (*c.call) {
        EXPECT_EQ(lookup_.calls, (std::vector<std::string>{c.call}));
    } else {
        EXPECT_TRUE(lookup_.calls.empty());
    }
    EXPECT_EQ(utf8(model_.status()), c.status);
    EXPECT_EQ(logged("expand"), c.expands);
    EXPECT_EQ(model_.candidateList().count(), c.entries);
    EXPECT_EQ(utf8(model_.resultText()), c.result);
    EXPECT_EQ(model_.searchCaption(), kSearchCaption);
    EXPECT_EQ(count("error:") + count("message:"), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Panel, SearchOutcomeTest,
    ::testing::Values(
        SearchCase{"EmptyCode", SearchMode::Code, "", "", "※3文字未満では検索できません！", false, 0, ""},
        SearchCase{"ThreeDigits", SearchMode::Code, "100", "PostToAddressList:100", "検索が完了しました", true, 1, ""},
        SearchCase{"TwoDigitsAndHyphen", SearchMode::Code, "12-", "PostToAddressList:12-", "検索が完了しました", true,
                   1, ""},
        SearchCase{"SixDigits", SearchMode::Code, "100000", "PostToAddressList:100000", "検索が完了しました", true, 1,
                   ""},
        SearchCase{"SevenWithHyphen", SearchMode::Code, "100-000", "PostToAddressList:100-000", "検索が完了しました",
                   true, 1, ""},
        SearchCase{"FullCode", SearchMode::Code, "1000001", "PostToAddress:1000001", "検索が完了しました", true, 0,
                   "東京都千代田区千代田"},
        SearchCase{"FullCodeWithHyphen", SearchMode::Code, "100-0001", "PostToAddress:100-0001", "検索が完了しました",
                   true, 0, "東京都千代田区千代田"},
        SearchCase{"HyphenFirst", SearchMode::Code, "-1000001", "PostToAddress:-1000001", "検索が完了しました", true, 0,
                   "東京都千代田区千代田"},
        SearchCase{"EightDigits", SearchMode::Code, "10000011", "", "検索しましたが見つかりませんでした", false, 0, ""},
        SearchCase{"NineWithHyphen", SearchMode::Code, "1000-0011", "", "検索しましたが見つかりませんでした", false, 0,
                   ""},
        // Pasted text passes the keystroke filter by and reaches the lookup as it is.
        SearchCase{"PastedLetters", SearchMode::Code, "1a0", "PostToAddressList:1a0", "検索が完了しました", true, 1,
                   ""},
        // No code page 932 form: nothing can match, no lookup runs.
        SearchCase{"PastedEmoji", SearchMode::Code, "10😀", "", "検索しましたが見つかりませんでした", false, 0, ""},
        SearchCase{"EmptyAddress", SearchMode::Address, "", "", "※空欄では検索できません！", false, 0, ""},
        SearchCase{"Address", SearchMode::Address, "東京都千代田", "AddressToPostList:東京都千代田",
                   "検索が完了しました", true, 1, ""},
        SearchCase{"ShortAddress", SearchMode::Address, "東京都", "AddressToPostList:東京都", "検索が完了しました",
                   true, 1, ""},
        SearchCase{"CityWithTo", SearchMode::Address, "京都市左京区", "AddressToPostList:京都市左京区",
                   "検索しましたが見つかりませんでした", false, 0, ""},
        SearchCase{"AddressWithEmoji", SearchMode::Address, "東京都千代田😀", "", "検索しましたが見つかりませんでした",
                   false, 0, ""}),
    [](const ::testing::TestParamInfo<SearchCase>& p) { return std::string(p.param.name); });

TEST_F(PanelTest, TooLongCodeKeepsTheListAndEmptiesTheResult) {
    listAndSelect(0);
    model_.ListBox1Click();
    ASSERT_FALSE(model_.resultText().isEmpty());
    model_.setZipText(QStringLiteral("10000011"));
    log_.clear();
    model_.plBtnKensakuClick();
    EXPECT_TRUE(lookup_.calls.size() == 1) << "only the earlier search";
    EXPECT_TRUE(model_.resultText().isEmpty());
    EXPECT_FALSE(model_.copyEnabled());
    EXPECT_EQ(model_.candidateList().count(), 2);
    // The kept entries count as found.
    EXPECT_EQ(model_.status(), kDone);
    EXPECT_TRUE(logged("expand"));
    EXPECT_FALSE(logged("process"));
}

TEST_F(PanelTest, NothingFoundLeavesAnExpandedWindowExpanded) {
    listAndSelect(0);
    ASSERT_TRUE(host_.expanded);
    lookup_.records.clear();
    model_.setZipText(QStringLiteral("999"));
    model_.plBtnKensakuClick();
    EXPECT_EQ(model_.status(), kNotFound);
    EXPECT_TRUE(host_.expanded);
    EXPECT_FALSE(logged("collapse"));
    EXPECT_EQ(model_.candidateList().count(), 0);
    EXPECT_TRUE(model_.resultText().isEmpty());
}

TEST_F(PanelTest, DisabledSearchOnlyEmptiesTheResult) {
    addressMode();
    listAndSelect(0);
    model_.ListBox1Click();
    model_.setAddressText(QStringLiteral("千代田区千代田"));  // disables the search
    ASSERT_FALSE(model_.searchEnabled());
    const QString status = model_.status();
    log_.clear();
    EXPECT_TRUE(model_.EditJusho1KeyPress(13));
    EXPECT_TRUE(model_.resultText().isEmpty());
    EXPECT_EQ(model_.status(), status);
    EXPECT_EQ(model_.candidateList().count(), 2);
    EXPECT_EQ(lookup_.calls.size(), 1u);
    EXPECT_TRUE(log_.empty());
}

TEST_F(PanelTest, ClearingEmptiesEverythingAndCollapses) {
    listAndSelect(1);
    model_.ListBox1Click();
    log_.clear();
    model_.plBtnClear1Click();
    EXPECT_EQ(log_, (Log{"status:" + utf8(kTooShort), "search:off", "reset:0", "collapse", "focus:zip"}));
    EXPECT_TRUE(model_.zipText().isEmpty());
    EXPECT_TRUE(model_.resultText().isEmpty());
    EXPECT_FALSE(model_.copyEnabled());
    EXPECT_EQ(model_.selectedIndex(), -1);
    EXPECT_FALSE(host_.expanded);

    addressMode();
    model_.setAddressText(QStringLiteral("東京都千代田"));
    log_.clear();
    model_.plBtnClear1Click();
    EXPECT_EQ(log_, (Log{"status:都道府県から入力が必要です", "collapse", "focus:address"}));
}

// --- failures ---

TEST_F(PanelTest, InputOutputErrorIsReportedAndEndsTheSearch) {
    const std::string failure = "/opt/tenmari/Jisho/Zenkoku.csv: read error: Input/output error";
    lookup_.address = "東京都千代田区千代田";
    struct Case {
        SearchMode mode;
        const char* text;
    } cases[] = {{SearchMode::Code, "1000001"}, {SearchMode::Code, "100"}, {SearchMode::Address, "東京都"}};
    for (const Case& c : cases) {
        if (c.mode == SearchMode::Code) {
            model_.RBtnBangoKensakuClick();
        } else {
            model_.RBtnJushoKensakuClick();
        }
        listAndSelect(0);  // a full list and a result beforehand
        model_.ListBox1Click();
        lookup_.failure = failure;
        setQuery(c.text);
        log_.clear();
        model_.plBtnKensakuClick();
        EXPECT_EQ(count("error:"), 1) << c.text;
        EXPECT_TRUE(logged("error:" + failure)) << c.text;
        EXPECT_FALSE(logged("expand"));
        EXPECT_EQ(count("focus:"), 0) << "the handler ends at the failed lookup";
        EXPECT_EQ(model_.status(), kSearching);
        EXPECT_EQ(utf8(model_.searchCaption()), "検索中");
        EXPECT_EQ(model_.candidateList().count(), 0);
        EXPECT_TRUE(model_.resultText().isEmpty());
        EXPECT_FALSE(model_.copyEnabled());

        // The program goes on: the next search completes normally.
        lookup_.failure.reset();
        model_.plBtnKensakuClick();
        EXPECT_EQ(model_.status(), kDone);
        EXPECT_EQ(model_.searchCaption(), kSearchCaption);
        lookup_.calls.clear();
    }
}

TEST_F(PanelTest, DamagedDictionaryBytesShowAsReplacementCharacters) {
    lookup_.rawRecords = {{utf8ToCp932("東京都") + "\x85\x40" + utf8ToCp932("町"), "1000009"},
                          {utf8ToCp932("東京都千代田区"), "1000002"}};
    typeZip(QStringLiteral("100"));
    enter();
    EXPECT_EQ(entries(model_), (std::vector<std::string>{"東京都\uFFFD町 - 1000009", "東京都千代田区 - 1000002"}));
    EXPECT_EQ(count("error:"), 0);
}

TEST_F(PanelTest, EveryCodePage932CharacterShowsAsTheLookupsConverterReadsIt) {
    // Every byte and byte pair the converter takes, as one address.
    std::string all;
    for (int c = 0x20; c < 0x100; ++c) {
        const std::string one(1, static_cast<char>(c));
        try {
            cp932ToUtf8(one);
            if (c != 0x2D) all += one;  // keep "-" out of the address: it would split the entry
        } catch (const tenmari::EncodingError&) {}
    }
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            const std::string pair{static_cast<char>(lead), static_cast<char>(trail)};
            try {
                cp932ToUtf8(pair);
                all += pair;
            } catch (const tenmari::EncodingError&) {}
        }
    }
    ASSERT_GT(all.size(), 15000u);
    lookup_.rawRecords = {{all, "1000001"},
                          {std::string("\x81") + "1", "1000002"},  // a lead byte without its trail byte
                          {"A\x81", "1000003"}};
    typeZip(QStringLiteral("100"));
    enter();
    ASSERT_EQ(model_.candidateList().count(), 3);
    EXPECT_EQ(model_.candidateList().entry(0), QString::fromStdString(cp932ToUtf8(all) + " - 1000001"));
    EXPECT_EQ(utf8(model_.candidateList().entry(1)), "\uFFFD1 - 1000002");
    EXPECT_EQ(utf8(model_.candidateList().entry(2)), "A\uFFFD - 1000003");

    model_.setSelectedIndex(0);
    model_.ListBox1Click();
    EXPECT_EQ(model_.resultText(), QString::fromStdString(cp932ToUtf8(all)));
}

// --- choosing, formatting and copying ---

TEST_F(PanelTest, CandidateEntriesInBothModes) {
    listAndSelect(0);
    EXPECT_EQ(entries(model_),
              (std::vector<std::string>{"東京都千代田区千代田 - 1000001", "東京都千代田区丸の内 - 1000005"}));
    addressMode();
    listAndSelect(0);
    EXPECT_EQ(entries(model_),
              (std::vector<std::string>{"1000001 / 東京都千代田区千代田", "1000005 / 東京都千代田区丸の内"}));
    const QAbstractItemModel* list = model_.candidates();
    EXPECT_EQ(list->rowCount(), 2);
    EXPECT_EQ(list->data(list->index(1, 0)).toString(), QStringLiteral("1000005 / 東京都千代田区丸の内"));
    EXPECT_FALSE(list->data(list->index(1, 0), Qt::DecorationRole).isValid());
}

TEST_F(PanelTest, ListFillsInOneResetForManyCandidates) {
    constexpr int kCount = 20000;
    for (int i = 0; i < kCount; ++i) lookup_.records.push_back({"北海道札幌市中央区" + std::to_string(i), "0600000"});
    typeZip(QStringLiteral("060"));
    log_.clear();
    enter();
    EXPECT_EQ(count("reset:"), 1);
    EXPECT_EQ(count("rows-"), 0);
    ASSERT_EQ(model_.candidateList().count(), kCount);
    EXPECT_EQ(utf8(model_.candidateList().entry(0)), "北海道札幌市中央区0 - 0600000");
    EXPECT_EQ(utf8(model_.candidateList().entry(kCount - 1)), "北海道札幌市中央区19999 - 0600000");
}

struct FormatCase {
    SearchMode mode;
    bool codeOnly;
    bool mark;
    bool hyphen;
    const char* result;
};

TEST_F(PanelTest, ResultFormatsForEveryDisplayChoice) {
    const FormatCase cases[] = {
        {SearchMode::Code, false, false, false, "東京都千代田区丸の内"},
        {SearchMode::Code, false, false, true, "東京都千代田区丸の内"},
        {SearchMode::Code, false, true, false, "東京都千代田区丸の内"},
        {SearchMode::Code, false, true, true, "東京都千代田区丸の内"},
        {SearchMode::Code, true, false, false, "1000005"},
        {SearchMode::Code, true, false, true, "100-0005"},
        {SearchMode::Code, true, true, false, "〒1000005"},
        {SearchMode::Code, true, true, true, "〒100-0005"},
        // The address mode always yields the code.
        {SearchMode::Address, false, false, false, "1000005"},
        {SearchMode::Address, false, false, true, "100-0005"},
        {SearchMode::Address, false, true, false, "〒1000005"},
        {SearchMode::Address, false, true, true, "〒100-0005"},
        {SearchMode::Address, true, false, false, "1000005"},
        {SearchMode::Address, true, false, true, "100-0005"},
        {SearchMode::Address, true, true, false, "〒1000005"},
        {SearchMode::Address, true, true, true, "〒100-0005"},
    };
    for (const FormatCase& c : cases) {
        if (c.mode == SearchMode::Code) {
            model_.RBtnBangoKensakuClick();
        } else {
            model_.RBtnJushoKensakuClick();
        }
        listAndSelect(1);
        host_.options = DisplayOptions{c.codeOnly, c.mark, c.hyphen};
        model_.ListBox1Click();
        const std::string what = std::string(c.mode == SearchMode::Code ? "code" : "address") +
                                 (c.codeOnly ? " code-only" : "") + (c.mark ? " mark" : "") +
                                 (c.hyphen ? " hyphen" : "");
        EXPECT_EQ(utf8(model_.resultText()), c.result) << what;
        EXPECT_TRUE(model_.copyEnabled()) << what;

        // A double-click chooses again and copies exactly what the result field shows.
        model_.setSelectedIndex(0);
        clipboard_.texts.clear();
        model_.ListBox1DblClick();
        ASSERT_EQ(clipboard_.texts.size(), 1u) << what;
        EXPECT_EQ(clipboard_.texts[0], model_.resultText()) << what;
        EXPECT_NE(model_.resultText().indexOf(c.mode == SearchMode::Code && !c.codeOnly ? u'千' : u'1'), -1);
    }
}

TEST_F(PanelTest, SelectionAndCopying) {
    listAndSelect(1);
    EXPECT_EQ(model_.selectedIndex(), 1);
    SignalCount selected(&model_, &SearchPanelModel::selectedIndexChanged);
    model_.setSelectedIndex(2);  // past the end: nothing selected
    EXPECT_EQ(model_.selectedIndex(), -1);
    model_.setSelectedIndex(-7);
    EXPECT_EQ(selected.count(), 1);

    // Nothing selected: choosing does nothing, and an empty result never
    // replaces what the clipboard holds.
    model_.ListBox1Click();
    model_.ListBox1DblClick();
    model_.plBtnCopyClick();
    EXPECT_TRUE(model_.resultText().isEmpty());
    EXPECT_TRUE(clipboard_.texts.empty());

    model_.setSelectedIndex(0);
    model_.ListBox1Click();
    model_.plBtnCopyClick();
    EXPECT_EQ(clipboard_.texts, (std::vector<QString>{QStringLiteral("東京都千代田区千代田")}));

    // Any change of the list drops the selection.
    typeZip(QString(QChar(13)));
    EXPECT_EQ(model_.selectedIndex(), -1);
    EXPECT_TRUE(model_.resultText().isEmpty());
}

TEST_F(PanelTest, CopyEnabledExactlyWhenThereIsAResult) {
    SignalCount copy(&model_, &SearchPanelModel::copyEnabledChanged);
    listAndSelect(0);
    EXPECT_FALSE(model_.copyEnabled());
    model_.ListBox1Click();
    EXPECT_TRUE(model_.copyEnabled());
    model_.setSelectedIndex(1);
    model_.ListBox1Click();  // another result, still enabled: no signal
    EXPECT_EQ(copy.count(), 1);
    model_.plBtnClear1Click();
    EXPECT_FALSE(model_.copyEnabled());
    EXPECT_EQ(copy.count(), 2);
}

// --- on the real lookup and clipboard ---

class RealLookupTest : public ::testing::Test {
protected:
    RealLookupTest() : lookup_(ref_), host_(log_), notifier_(log_), model_(lookup_, clipboard_, host_) {}
    void SetUp() override {
        tenmari::setNotifier(&notifier_);
        ref_.SetPostFile(TENMARI_SAMPLE_DICTIONARY);
        // Bound as the window binds it.
        ref_.OnNotPostFile = [this](tenmari::TPostReference& s) { lookup_.PostReference1NotPostFile(s); };
        model_.RBtnBangoKensakuClick();
    }
    void TearDown() override { tenmari::setNotifier(nullptr); }

    Log log_;
    tenmari::TPostReference ref_;
    tenmari::PostReferenceLookup lookup_;
    FakeHost host_;
    FakeClipboard clipboard_;
    RecordingNotifier notifier_;
    SearchPanelModel model_;
};

TEST_F(RealLookupTest, SampleDictionaryInBothModes) {
    model_.setZipText(QStringLiteral("100-0001"));
    model_.plBtnKensakuClick();
    EXPECT_EQ(utf8(model_.resultText()), "東京都千代田区千代田");
    EXPECT_EQ(model_.status(), kDone);

    model_.setZipText(QStringLiteral("100"));
    model_.plBtnKensakuClick();
    EXPECT_EQ(entries(model_), (std::vector<std::string>{"東京都千代田区千代田 - 1000001"}));
    model_.setSelectedIndex(0);
    host_.options = DisplayOptions{true, true, true};
    model_.ListBox1DblClick();
    EXPECT_EQ(clipboard_.texts, (std::vector<QString>{QStringLiteral("〒100-0001")}));

    model_.RBtnJushoKensakuClick();
    model_.setAddressText(QStringLiteral("東京都千代田"));
    model_.plBtnKensakuClick();
    EXPECT_EQ(entries(model_), (std::vector<std::string>{"1000001 / 東京都千代田区千代田"}));

    model_.setAddressText(QStringLiteral("京都市左京区"));
    model_.plBtnKensakuClick();
    EXPECT_EQ(model_.status(), kNotFound);
    EXPECT_TRUE(log_.end() ==
                std::find_if(log_.begin(), log_.end(), [](const std::string& l) { return l.rfind("error:", 0) == 0; }));
}

// No dictionary read is told as such, naming the file; a record that is not
// there is the plain miss, also for a full code (whose lookup raises the same
// event).
TEST_F(RealLookupTest, MissingDictionaryIsToldApartFromAMiss) {
    const QString noFile = QStringLiteral("辞書ファイルがありません：Zenkoku.csv");
    const std::string folder = std::filesystem::temp_directory_path().string();
    struct Case {
        std::string file;
        const char* query;
        bool address;
        QString status;
    } cases[] = {
        {"/nonexistent/tenmari/Zenkoku.csv", "1000001", false, noFile},
        {"/nonexistent/tenmari/Zenkoku.csv", "100", false, noFile},
        {"/nonexistent/tenmari/Zenkoku.csv", "東京都", true, noFile},
        {"Zenkoku.csv", "100", false, noFile},  // relative, as the design's start value
        {folder, "100", false,
         QStringLiteral("辞書ファイルがありません：") + QFileInfo(QString::fromStdString(folder)).fileName()},
        {TENMARI_SAMPLE_DICTIONARY, "1000002", false, kNotFound},
        {TENMARI_SAMPLE_DICTIONARY, "999", false, kNotFound},
        {TENMARI_SAMPLE_DICTIONARY, "京都市左京区", true, kNotFound},
    };
    for (const Case& c : cases) {
        ref_.SetPostFile(c.file);
        if (c.address) {
            model_.RBtnJushoKensakuClick();
            model_.setAddressText(QString::fromUtf8(c.query));
        } else {
            model_.RBtnBangoKensakuClick();
            model_.setZipText(QString::fromUtf8(c.query));
        }
        model_.plBtnKensakuClick();
        EXPECT_EQ(model_.status(), c.status) << c.file << " " << c.query;
        EXPECT_EQ(model_.searchCaption(), kSearchCaption);
    }
    // Found again once the file is there.
    ref_.SetPostFile(TENMARI_SAMPLE_DICTIONARY);
    model_.RBtnBangoKensakuClick();
    model_.setZipText(QStringLiteral("100"));
    model_.plBtnKensakuClick();
    EXPECT_EQ(model_.status(), kDone);
    EXPECT_TRUE(std::find(log_.begin(), log_.end(), "expand") != log_.end());
    for (const std::string& l : log_) EXPECT_NE(l.rfind("error:", 0), 0u) << l;
}

// A file that cannot be read: the reason in the window's language with the
// path as it is, and the status line names the file instead of staying at
// "searching".
TEST_F(RealLookupTest, UnreadableDictionaryIsReportedWithItsReason) {
    const std::string dir =
        std::filesystem::temp_directory_path().string() + "/tenmari-panel-" + std::to_string(::getpid());
    std::filesystem::create_directories(dir);
    const std::string fifo = dir + "/fifo.csv";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string locked = dir + "/locked.csv";
    std::ofstream(locked) << "x\n";
    ::chmod(locked.c_str(), 0);
    const bool rootReads = ::access(locked.c_str(), R_OK) == 0;  // root reads it anyway
    // A file that grows as soon as its first block is read.
    const std::string growing = dir + "/growing.csv";
    std::ofstream(growing, std::ios::binary) << "13101,\"100  \",\"1000001\"\r\n";
    const auto grow = [](void* path, const tenmari::DictionaryReader&) {
        std::ofstream(*static_cast<const std::string*>(path), std::ios::app | std::ios::binary) << "x\r\n";
    };
    const std::string empty = dir + "/empty.csv";
    std::ofstream{empty};
    struct Case {
        std::string file;
        const char* reason;
    } cases[] = {{fifo, "通常のファイルではありません"},
                 {locked, "アクセスが許可されていません"},
                 {growing, "読み込み中にファイルが変更されました"},
                 {empty, "空のファイルです"}};
    for (const Case& c : cases) {
        if (c.file == locked && rootReads) continue;
        tenmari::setAfterRead(c.file == growing ? +grow : nullptr, const_cast<std::string*>(&growing));
        ref_.SetPostFile(c.file);
        log_.clear();
        model_.setZipText(QStringLiteral("100"));
        model_.plBtnKensakuClick();
        EXPECT_EQ(log_.back(), "error:辞書ファイル \"" + c.file + "\" を読めません（" + c.reason + "）");
        EXPECT_EQ(utf8(model_.status()),
                  "辞書ファイルを読めません：" + std::filesystem::path(c.file).filename().string());
        EXPECT_EQ(model_.searchCaption(), kSearchCaption);
        model_.setZipText(QString());
    }
    tenmari::setAfterRead(nullptr, nullptr);
    std::filesystem::remove_all(dir);
}

TEST_F(RealLookupTest, NationwideDictionaryInBothModes) {
    TENMARI_REQUIRE_KEN_ALL(csv);
    ref_.SetPostFile(csv);
    struct Case {
        SearchMode mode;
        const char* text;
        int count;
    } cases[] = {{SearchMode::Address, "北海道", 8201}, {SearchMode::Code, "100", 466}};
    for (const Case& c : cases) {
        std::vector<std::string> addresses, codes;
        if (c.mode == SearchMode::Address) {
            model_.RBtnJushoKensakuClick();
            model_.setAddressText(QString::fromUtf8(c.text));
            ref_.AddressToPostList(utf8ToCp932(c.text), addresses, codes);
        } else {
            model_.RBtnBangoKensakuClick();
            model_.setZipText(QString::fromUtf8(c.text));
            ref_.PostToAddressList(utf8ToCp932(c.text), addresses, codes);
        }
        model_.plBtnKensakuClick();
        EXPECT_EQ(model_.status(), kDone) << c.text;
        ASSERT_EQ(model_.candidateList().count(), c.count) << c.text;
        ASSERT_EQ(addresses.size(), static_cast<std::size_t>(c.count));
        for (int i = 0; i < c.count; ++i) {
            const auto k = static_cast<std::size_t>(i);
            const std::string expected = c.mode == SearchMode::Address ? codes[k] + " / " + cp932ToUtf8(addresses[k])
                                                                       : cp932ToUtf8(addresses[k]) + " - " + codes[k];
            ASSERT_EQ(utf8(model_.candidateList().entry(i)), expected) << i;
        }
    }
    model_.setZipText(QStringLiteral("100-0001"));
    model_.plBtnKensakuClick();
    EXPECT_EQ(utf8(model_.resultText()), "東京都千代田区千代田");
}

TEST(SystemClipboardTest, PutsThePlainText) {
    tenmari::SystemClipboard clipboard;
    clipboard.setText(QStringLiteral("〒100-0001"));
    EXPECT_EQ(QGuiApplication::clipboard()->text(QClipboard::Clipboard), QStringLiteral("〒100-0001"));
    if (QGuiApplication::clipboard()->supportsSelection()) {
        EXPECT_EQ(QGuiApplication::clipboard()->text(QClipboard::Selection), QStringLiteral("〒100-0001"));
    }
}

// Every character counts in the address field's byte rules as the bytes it is
// stored as: the status turns at exactly 8 bytes, and only a text whose every
// character has a code page 932 form reaches the lookup, as those bytes.
TEST_F(PanelTest, EachCharacterCountsItsStoredBytesAndOnlyExactTextIsLookedUp) {
    const QString kNeed = QStringLiteral("都道府県から入力が必要です");
    const QString kReady = QStringLiteral("住所途中でも検索可能です");
    const std::string prefecture = "東京都";  // 6 bytes
    addressMode();
    for (const auto& c : tenmari::testing::kWindowTextCases) {
        const std::string eight = prefecture + std::string(8 - 6 - c.bytes.size(), 'a') + std::string(c.utf8);
        model_.setAddressText(QString::fromStdString(eight));
        EXPECT_EQ(model_.status(), kNeed) << c.what;
        model_.setAddressText(QString::fromStdString(eight + "b"));
        EXPECT_EQ(model_.status(), kReady) << c.what;
        ASSERT_TRUE(model_.searchEnabled()) << c.what;
        lookup_.calls.clear();
        model_.plBtnKensakuClick();
        const std::string query =
            utf8ToCp932(prefecture) + std::string(8 - 6 - c.bytes.size(), 'a') + std::string(c.bytes) + "b";
        const std::vector<std::string> calls =
            c.exact ? std::vector<std::string>{"AddressToPostList:" + cp932ToUtf8(query)} : std::vector<std::string>{};
        EXPECT_EQ(lookup_.calls, calls) << c.what;
    }
}

}  // namespace
