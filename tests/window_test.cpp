// The main window as built from its design, driven offscreen: layout states,
// design values, remembered settings, the region, moving, hover, the search
// panel through the real widgets, the settings panel and the help viewer.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QHelpEvent>
#include <QStyle>
#include <QStyleFactory>
#include <QToolTip>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QMimeData>
#include <QUrl>

#include <QBuffer>
#include <QImageWriter>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <functional>
#include <iostream>
#include <mutex>
#include <thread>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include "ClassicStyle.h"
#include "ControlAccessibility.h"
#include "DesignForm.h"
#include "Image.h"
#include "Cp932.h"
#include "FakeAnswerer.h"
#include "Notifier.h"
#include "SheetDrop.h"
#include "Panel.h"
#include "SettingsStore.h"
#include "SsEdit.h"
#include "TrPanel.h"
#include "UnitMain.h"
#include "WindowFont.h"
#include "WindowLayout.h"
#include "WindowMove.h"
#include "plButton.h"
#include "ui_FormMain.h"

using namespace tenmari;

void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

class RecordingNotifier : public Notifier {
public:
    void beep() override { log.push_back(QStringLiteral("beep")); }
    void message(const QString& text) override { log.push_back(text); }
    void error(const QString& text) override { log.push_back(QStringLiteral("error: ") + text); }
    QStringList log;
};

// Text values as the settings store keeps them, or any QVariant.
void putSettings(const std::vector<std::pair<QString, QVariant>>& values) {
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Nagiworks"), QStringLiteral("Yorozuba"));
    s.beginGroup(QStringLiteral("Program"));
    for (const auto& [k, v] : values) s.setValue(k, v);
    s.endGroup();
    s.sync();
}

QVariant savedValue(const QString& name) {
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Nagiworks"), QStringLiteral("Yorozuba"));
    return s.value(QStringLiteral("Program/") + name);
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        installWindowFont();
        QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Nagiworks"),
                    QStringLiteral("Yorozuba"));
        s.clear();
        s.sync();
        setNotifier(&notes);
        setWindowMoveHook([this](QWidget*) {
            ++moves;
            return true;
        });
        QGuiApplication::clipboard()->clear();
    }
    void TearDown() override {
        window.reset();
        setNotifier(nullptr);
        setWindowMoveHook(nullptr);
    }

    // A window whose program folder is a scratch folder with the sample
    // dictionary as every region's file.
    TFormMain& open(bool show = true) {
        window = std::make_unique<TFormMain>();
        useScratchFolder();
        if (show) {
            window->show();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        }
        return *window;
    }
    void useScratchFolder() {
        TFormMain& w = *window;
        w.ExeDir = dir.path();
        QDir().mkpath(dir.filePath(QStringLiteral("Jisho")));
        for (size_t i = 0; i < w.JishoPath.size(); ++i) {
            const QString name = QFileInfo(w.JishoPath[i]).fileName();
            w.JishoPath[i] = dir.filePath(QStringLiteral("Jisho/") + name);
            QFile::remove(w.JishoPath[i]);
            QFile::copy(QStringLiteral(TENMARI_SAMPLE_DICTIONARY), w.JishoPath[i]);
        }
    }
    Ui::FormMain& ui() { return window->form(); }
    void pickRegion(int index) {
        ui().CBoxChihou->setCurrentIndex(index);
        emit ui().CBoxChihou->activated(index);
    }
    // Types each character as a key carrying it (any script).
    void type(QWidget* w, const QString& text) {
        w->setFocus();
        for (const QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(w, &press);
        }
    }
    void enter(QWidget* w) { QTest::keyClick(w, Qt::Key_Return); }
    void click(TplButton* b) { emit b->OnClick(b); }

    QTemporaryDir dir;
    RecordingNotifier notes;
    int moves = 0;
    std::unique_ptr<TFormMain> window;
};

// ---------------------------------------------------------------------------

TEST(WindowLayoutTest, StatesAndOffsets) {
    struct Case {
        int state, offset, mainHeight, kensakuTop, buttonTop, kekkaTop;
    };
    const Case cases[] = {
        {kCompact, 0, 413, 83, 343, -1},        {kCompact, 4, 409, 79, 339, -1},
        {kExpanded, 0, 555, 83, 484, 343},      {kExpanded, 4, 551, 79, 480, 339},
        {kExpandRequest, 0, 555, 83, 484, 343}, {kExpandRequest, 4, 551, 79, 480, 339},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "state " << c.state << " offset " << c.offset);
        const WindowLayout l = windowLayout(c.state, c.offset);
        EXPECT_TRUE(l.valid);
        EXPECT_EQ(l.mainHeight, c.mainHeight);
        EXPECT_EQ(l.kensakuTop, c.kensakuTop);
        EXPECT_EQ(l.buttonRowTop, c.buttonTop);
        EXPECT_EQ(l.kekkaTopSet, c.kekkaTop >= 0);
        if (c.kekkaTop >= 0) {
            EXPECT_EQ(l.kekkaTop, c.kekkaTop);
        }
        EXPECT_EQ(l.nextState, c.state == kCompact ? kCompact : kExpanded);
    }
    EXPECT_FALSE(windowLayout(0, 0).valid);
    EXPECT_FALSE(windowLayout(4, 4).valid);
}

TEST(WindowLayoutTest, GrowthFromAnyHeight) {
    EXPECT_EQ(growthSteps(413), (std::vector<int>{442, 471, 500, 529, 558, 555}));
    EXPECT_EQ(growthSteps(409).back(), 551);
    EXPECT_EQ(growthSteps(555).back(), 697);  // grows from wherever it is
}

TEST_F(WindowTest, CompactAndExpandedClientSizes) {
    TFormMain& w = open();
    EXPECT_EQ(w.size(), QSize(450, 413));
    EXPECT_EQ(ui().PnlBtn1->y(), 343);
    EXPECT_TRUE(ui().PnlKekka->isHidden());
    EXPECT_EQ(w.minimumSize(), w.maximumSize()) << "the user cannot resize the window";

    pickRegion(0);
    type(ui().EditZip1, QStringLiteral("1000001"));
    enter(ui().EditZip1);
    EXPECT_EQ(w.size(), QSize(450, 555));
    EXPECT_EQ(w.WinState, kExpanded);
    EXPECT_FALSE(ui().PnlKekka->isHidden());
    EXPECT_EQ(ui().PnlKekka->y(), 343);
    EXPECT_EQ(ui().PnlBtn2->y(), 484);

    // A result while expanded changes nothing; clearing collapses.
    enter(ui().EditZip1);
    EXPECT_EQ(w.size(), QSize(450, 555));
    click(ui().plBtnClear1);
    EXPECT_EQ(w.size(), QSize(450, 413));
    EXPECT_TRUE(ui().PnlKekka->isHidden());
}

TEST_F(WindowTest, WithoutTitleBarEverythingMovesUpFourPixels) {
    putSettings({{QStringLiteral("CkTitle"), QStringLiteral("1")}});
    TFormMain& w = open();
    EXPECT_TRUE(w.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(ui().ChkTBar->isChecked());
    EXPECT_EQ(w.size(), QSize(450, 409));
    EXPECT_EQ(ui().plBtnSoftTitle->geometry(), QRect(2, 2, 445, 70));
    EXPECT_TRUE(notes.log.isEmpty()) << "starting without the title bar shows no message";
    pickRegion(0);
    type(ui().EditZip1, QStringLiteral("100"));
    enter(ui().EditZip1);
    EXPECT_EQ(w.size(), QSize(450, 551));
    EXPECT_EQ(ui().PnlKekka->y(), 339);
    EXPECT_EQ(ui().PnlBtn1->y(), 480);
}

TEST_F(WindowTest, DesignValuesOfTheBuiltWindow) {
    TFormMain& w = open();
    Ui::FormMain& f = ui();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Tenmari"));
    EXPECT_EQ(f.LabelSoft->Caption(), QStringLiteral("TenmariSoftware"));
    EXPECT_EQ(f.LabelVer1->Caption(), QStringLiteral("Version 1.22 （2007.04.05版）"));

    struct Geometry {
        QWidget* w;
        QRect rect;
    };
    for (const Geometry& g : std::initializer_list<Geometry>{{f.PnlKensaku, {10, 83, 430, 256}},
                                                             {f.Panel3, {0, 0, 449, 78}},
                                                             {f.PnlBtn2, {300, 343, 140, 65}},
                                                             {f.EditZip1, {113, 64, 80, 23}},
                                                             {f.PanelChihou, {20, 49, 370, 33}},
                                                             {f.plBtnKensaku, {13, 8, 100, 49}},
                                                             {f.ListBox1, {64, 36, 358, 97}},
                                                             {f.ChkTopPosition, {23, 5, 154, 17}},
                                                             {f.SsEditHelp, {361, 248, 49, 23}},
                                                             {f.MemoHelp, {6, 2, 417, 110}},
                                                             {f.ImgIcon, {2, 2, 52, 52}},
                                                             {f.LabelTop2, {250, 54, 177, 12}}}) {
        EXPECT_EQ(g.w->geometry(), g.rect) << g.w->objectName().toStdString();
    }
    // Colours, bevels, fonts and texts.
    EXPECT_EQ(f.PnlMain->Color(), 0x00DDE8E5u);
    EXPECT_EQ(f.PnlMain->BevelOuter(), TPanel::bvRaised);
    EXPECT_EQ(f.PanelInfo->BevelInner(), TPanel::bvLowered);
    EXPECT_EQ(f.PanelInfo->Color(), 0x00808080u);
    EXPECT_EQ(f.PnlKensakuBtn->Color(), 0x00C0C0C0u);
    EXPECT_EQ(f.ListBox1->palette().color(QPalette::Base), QColor(0xFF, 0xFB, 0xF0));
    EXPECT_EQ(f.PanelInfo->palette().color(QPalette::WindowText), QColor(Qt::white));
    // Every control draws in the window font's stand-in, as Qt resolves it
    // (a copied and resized font must not fall back to another family).
    for (QWidget* c : w.findChildren<QWidget*>()) {
        if (c->objectName().isEmpty() || c->objectName().startsWith(QLatin1String("qt_"))) continue;
        EXPECT_EQ(QFontInfo(c->font()).family(), QStringLiteral("IPAPGothic")) << c->objectName().toStdString();
    }
    EXPECT_EQ(f.LabelSoft->font().pixelSize(), 17);
    EXPECT_TRUE(f.LabelSoft->font().bold());
    EXPECT_EQ(f.LabelJisho1->font().pixelSize(), 11);
    EXPECT_EQ(f.plBtnKensaku->font().pixelSize(), 16);
    EXPECT_EQ(f.EditZip1->font().pixelSize(), 15);
    EXPECT_EQ(f.GBoxSetting1->font().pixelSize(), 13);
    EXPECT_EQ(f.LblJusho->text(), QStringLiteral("住\u3000所："));
    EXPECT_EQ(f.ChkMark->text(), QStringLiteral("\"〒\"ﾏｰｸ付き ／"));
    EXPECT_EQ(f.ChkHyphen->text(), QStringLiteral("\"\uFF0D\"（ﾊｲﾌﾝ）付き"));
    EXPECT_EQ(f.ChkTopPosition->text(), QStringLiteral("常に手前で表示する "));
    EXPECT_EQ(f.LblKekka3->text(), QStringLiteral("（") + QString(18, QChar(0x3000)) + u' ' +
                                       QString(4, QChar(0x3000)) + u' ' + QString(5, QChar(0x3000)) +
                                       QStringLiteral("）"));
    // Buttons.
    EXPECT_EQ(f.plBtnKensaku->CaptionA()->Caption(), QStringLiteral("検\u3000索"));
    EXPECT_EQ(f.plBtnKensaku->GradEndColor(), 0x00C7DDE2u);
    EXPECT_EQ(f.plBtnKensaku->ImageTop(), 12);
    EXPECT_FALSE(f.plBtnKensaku->ImageVertCenter());
    EXPECT_EQ(f.plBtnSetting->CaptionB()->Caption(), QStringLiteral("設\u3000定\u3000"));
    EXPECT_EQ(f.plBtnSetting->CaptionLineSpace(), 1);
    EXPECT_EQ(f.PlBtnClose->ImageIcon().availableSizes(), QList<QSize>{QSize(48, 48)});
    EXPECT_EQ(f.plBtnSoftTitle->ButtonStyle(), TplButton::bsFlatNoFrame);
    EXPECT_EQ(f.plBtnSoftTitle->GradBeginColor(), 0x002D3808u);
    EXPECT_FALSE(f.ImgIcon->Picture().isNull());
    // Enabled, visible and tab stops.
    EXPECT_FALSE(f.Panel3->isEnabled());
    EXPECT_FALSE(f.PnlHelp1->isEnabled());
    EXPECT_TRUE(f.PnlSetting->isHidden());
    EXPECT_TRUE(f.PnlHelp->isHidden());
    EXPECT_EQ(f.EditJusho1->focusPolicy(), Qt::ClickFocus);
    EXPECT_EQ(f.CBoxChihou->count(), 10);
    EXPECT_EQ(f.CBoxChihou->itemText(9), QStringLiteral("九州・沖縄地方"));
    EXPECT_EQ(f.CBoxChihou->maxVisibleItems(), 10);
    EXPECT_EQ(f.SsEditHelp->cursor().shape(), Qt::IBeamCursor);
    EXPECT_EQ(f.MemoHelp->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

TEST_F(WindowTest, EveryLabelsTextFitsItsWidth) {
    open();
    for (const QLabel* label : window->findChildren<QLabel*>()) {
        EXPECT_LE(QFontMetrics(label->font()).horizontalAdvance(label->text()), label->width())
            << label->objectName().toStdString();
    }
}

TEST_F(WindowTest, TabOrderFollowsTheDesign) {
    open();
    Ui::FormMain& f = ui();
    EXPECT_EQ(f.RBtnBangoKensaku->nextInFocusChain(), f.plBtnKensaku);
    EXPECT_EQ(f.plBtnKensaku->nextInFocusChain(), f.plBtnClear1);
    EXPECT_EQ(f.plBtnClear1->nextInFocusChain(), f.EditZip1);
}

// ---------------------------------------------------------------------------
// Settings.

TEST_F(WindowTest, FirstStartUsesDefaultsAndCloseWritesEveryValue) {
    TFormMain& w = open();
    EXPECT_EQ(w.pos(), QPoint(0, 0));
    EXPECT_EQ(ui().CBoxChihou->currentIndex(), -1);
    EXPECT_TRUE(ui().PanelChihou->Caption().isEmpty());
    EXPECT_EQ(w.PostReference1().PostFile(), "Ken_all.csv");
    EXPECT_TRUE(ui().RBtnBangoKensaku->isChecked());
    EXPECT_EQ(ui().PanelInfo->Caption(), QStringLiteral("郵便番号から住所を検索します"));
    w.move(30, 40);
    w.close();
    EXPECT_TRUE(w.settingsWritten());
    const std::pair<const char*, const char*> expected[] = {
        {"MainTop", "40"}, {"MainLeft", "30"}, {"Jisho", "-1"},  {"CkHyoji", "0"}, {"CkMark", "0"},
        {"CkHifun", "0"},  {"CkTomei", "0"},   {"CkTemae", "0"}, {"CkTitle", "0"},
    };
    for (const auto& [name, value] : expected) {
        EXPECT_EQ(savedValue(QLatin1String(name)), QVariant(QString::fromLatin1(value))) << name;
    }
    EXPECT_EQ(savedValue(QStringLiteral("Dir")).toString(), w.ExeDir);
}

TEST_F(WindowTest, RestartRestoresRegionOptionsAndPosition) {
    putSettings({{QStringLiteral("MainTop"), QStringLiteral("120")},
                 {QStringLiteral("MainLeft"), QStringLiteral("200")},
                 {QStringLiteral("Jisho"), QStringLiteral("4")},
                 {QStringLiteral("CkHyoji"), QStringLiteral("1")},
                 {QStringLiteral("CkMark"), QStringLiteral("1")},
                 {QStringLiteral("CkHifun"), QStringLiteral("1")},
                 {QStringLiteral("CkTemae"), QStringLiteral("1")}});
    TFormMain& w = open();
    EXPECT_EQ(w.pos(), QPoint(200, 120));
    EXPECT_EQ(ui().CBoxChihou->currentIndex(), 4);
    EXPECT_EQ(ui().PanelChihou->Caption(), QStringLiteral("東京・神奈川・埼玉・千葉・茨城・群馬・栃木・山梨"));
    EXPECT_TRUE(ui().RBtnBango->isChecked());
    EXPECT_TRUE(ui().ChkMark->isChecked());
    EXPECT_TRUE(ui().ChkHyphen->isChecked());
    EXPECT_TRUE(ui().ChkTopPosition->isChecked());
    EXPECT_TRUE(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(ui().ChkNodo->isChecked());
    w.close();
    EXPECT_EQ(savedValue(QStringLiteral("Jisho")), QVariant(QStringLiteral("4")));
    EXPECT_EQ(savedValue(QStringLiteral("CkTemae")), QVariant(QStringLiteral("1")));
}

TEST_F(WindowTest, BadStoredValuesTakeTheirDefaults) {
    struct Case {
        const char* name;
        QVariant stored;
        int StoredSettings::*member;
        int expected;
        bool typeError;
    };
    const Case cases[] = {
        {"CkMark", QStringLiteral("1a"), &StoredSettings::CkMark, 0, false},
        {"CkMark", QStringLiteral(""), &StoredSettings::CkMark, 0, false},
        {"CkMark", QStringLiteral("0x1"), &StoredSettings::CkMark, 0, false},
        {"Jisho", QStringLiteral("99999999999"), &StoredSettings::Jisho, -1, false},
        {"Jisho", QStringLiteral("2147483648"), &StoredSettings::Jisho, -1, false},  // one past the largest int
        {"Jisho", QStringLiteral("10"), &StoredSettings::Jisho, 10, false},          // no such region: none chosen
        {"Jisho", QStringLiteral("9"), &StoredSettings::Jisho, 9, false},            // the last region
        {"MainTop", QStringLiteral("-50"), &StoredSettings::MainTop, -50, false},
        {"CkHyoji", QStringLiteral("+1"), &StoredSettings::CkHyoji, 1, false},
        {"CkMark", QStringList{QStringLiteral("1"), QStringLiteral("2")}, &StoredSettings::CkMark, 0, true},
        {"CkTomei", QByteArray("\x01\x02", 2), &StoredSettings::CkTomei, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        putSettings({{QLatin1String(c.name), c.stored}});
        TFormMain& w = open(false);
        EXPECT_EQ(w.Stored.*c.member, c.expected);
        if (c.member == &StoredSettings::Jisho) {
            const bool region = c.expected >= 0 && c.expected < 10;
            EXPECT_EQ(ui().CBoxChihou->currentIndex(), region ? c.expected : -1);
            EXPECT_EQ(ui().PanelChihou->Caption().isEmpty(), !region);
        }
        if (c.typeError) {
            EXPECT_EQ(notes.log,
                      QStringList{QStringLiteral("error: '%1' のデータ型が不正です").arg(QLatin1String(c.name))});
        } else {
            EXPECT_TRUE(notes.log.isEmpty());
        }
        notes.log.clear();
        window.reset();
    }
}

TEST_F(WindowTest, OddValuesAreKeptAndSavedBack) {
    putSettings({{QStringLiteral("CkHyoji"), QStringLiteral("7")}, {QStringLiteral("Jisho"), QStringLiteral("12")}});
    TFormMain& w = open();
    EXPECT_TRUE(ui().RBtnJusho->isChecked()) << "the design's choice stays";
    EXPECT_EQ(ui().CBoxChihou->currentIndex(), -1);
    EXPECT_EQ(w.PostReference1().PostFile(), "Ken_all.csv");
    w.close();
    EXPECT_EQ(savedValue(QStringLiteral("CkHyoji")), QVariant(QStringLiteral("7")));
    EXPECT_EQ(savedValue(QStringLiteral("Jisho")), QVariant(QStringLiteral("12")));
}

TEST_F(WindowTest, PositionBeyondTheScreenEdgeStartsAtZero) {
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    struct Case {
        int top, left;
        QPoint expected;
    };
    const Case cases[] = {
        {screen.height() - 20, screen.width() - 20, {screen.width() - 20, screen.height() - 20}},
        {screen.height() - 19, 5, {5, 0}},
        {5, screen.width() - 19, {0, 5}},
        {-50, -30, {-30, -50}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.top << "," << c.left);
        SetUp();
        putSettings({{QStringLiteral("MainTop"), QString::number(c.top)},
                     {QStringLiteral("MainLeft"), QString::number(c.left)}});
        EXPECT_EQ(open().pos(), c.expected);
        window.reset();
    }
}

TEST_F(WindowTest, SettingsThatCannotBeWrittenAreReportedAndTheWindowCloses) {
    const QString file = SettingsStore::location();
    QDir().mkpath(QFileInfo(file).path());
    QFile::remove(file);
    QDir().mkpath(file);  // a folder where the file should be
    TFormMain& w = open();
    w.close();
    QDir(file).removeRecursively();
    EXPECT_FALSE(w.isVisible());
    ASSERT_EQ(notes.log.size(), 1);
    EXPECT_TRUE(notes.log.front().startsWith(QStringLiteral("error: 設定を保存できませんでした")))
        << notes.log.front().toStdString();
}

TEST_F(WindowTest, SettingsAreWrittenOncePerRun) {
    TFormMain& w = open();
    w.close();
    putSettings({{QStringLiteral("CkMark"), QStringLiteral("5")}});
    w.saveSettingsOnce();  // the end of the session after the close
    EXPECT_EQ(savedValue(QStringLiteral("CkMark")), QVariant(QStringLiteral("5")));
}

// Damaged settings files, each met by a real window at start and at close.
namespace {

void makeSettingsFile(const QString& file, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(file).path());
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QByteArray junk(qsizetype size, unsigned state) {
    QByteArray b(size, '\0');
    for (char& c : b) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 16);
    }
    return b;
}

// The file as written back: only the ten values, all in [Program].
void expectOnlyOurValues(const QString& file) {
    const QFileInfo info(file);
    ASSERT_TRUE(info.isFile() && !info.isSymLink()) << file.toStdString();
    EXPECT_LT(info.size(), 4096);
    QSettings s(file, QSettings::IniFormat);
    EXPECT_EQ(s.childGroups(), QStringList{QStringLiteral("Program")});
    EXPECT_TRUE(s.childKeys().isEmpty());
    s.beginGroup(QStringLiteral("Program"));
    QStringList keys = s.childKeys();
    keys.sort();
    EXPECT_EQ(keys.join(u','),
              QStringLiteral("CkHifun,CkHyoji,CkMark,CkTemae,CkTitle,CkTomei,Dir,Jisho,MainLeft,MainTop"));
}

}  // namespace

TEST_F(WindowTest, DamagedSettingsFilesKeepWhatIsReadableAndAreReplacedWholeAtClose) {
    const QString file = SettingsStore::location();
    const QByteArray valid = "[Program]\nCkMark=1\nCkHifun=1\n";
    enum Kind { Bytes, Huge, DevZero, Fifo, LockFolder, ReadOnlyFile };
    struct Case {
        const char* name;
        Kind kind;
        QByteArray bytes;
        int mark, hifun;      // what the window reads
        int readMessages;     // reported once at start
        const char* message;  // its beginning
    };
    const char* unreadable = "設定を読み込めませんでした";
    const char* badType = "'CkMark' のデータ型が不正です";
    const Case cases[] = {
        {"4 KB of random bytes", Bytes, junk(4096, 1), 0, 0, 0, ""},
        {"random bytes before the group", Bytes, junk(300, 2).replace('[', 'x') + "\n" + valid, 1, 1, 0, ""},
        {"random bytes after the group", Bytes, valid + junk(300, 3), 1, 1, 0, ""},
        {"a line without '=' before the group", Bytes, "abc\n" + valid, 1, 1, 0, ""},
        {"a UTF-8 byte-order mark", Bytes, "\xEF\xBB\xBF" + valid, -1, -1, 0, ""},
        {"a UTF-16 file", Bytes, QByteArray("\xFF\xFE[\0P\0]\0\n\0", 10), 0, 0, 0, ""},
        {"values too large and negative", Bytes, "[Program]\nCkMark=99999999999\nCkHifun=-1\n", 0, -1, 0, ""},
        {"a list", Bytes, "[Program]\nCkMark=1, 2\nCkHifun=1\n", 0, 1, 1, badType},
        {"a byte array", Bytes, "[Program]\nCkMark=@ByteArray(1)\nCkHifun=1\n", 0, 1, 1, badType},
        {"a wrong group", Bytes, "[Other]\nCkMark=1\nCkHifun=1\n", 0, 0, 0, ""},
        {"non-UTF-8 bytes", Bytes, "[Program]\nCkMark=\xFF\xFE\x80\nCkHifun=1\n\x81\x40=\x82\n", 0, 1, 0, ""},
        {"50 MB", Huge, {}, 0, 0, 1, unreadable},
        {"a symlink to /dev/zero", DevZero, {}, 0, 0, 1, unreadable},
        {"a FIFO", Fifo, {}, 0, 0, 1, unreadable},
        {"a lock folder beside the file", LockFolder, valid, 1, 1, 0, ""},
        {"a read-only file", ReadOnlyFile, valid, 1, 1, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        notes.log.clear();
        QFile::remove(file);
        QDir(file + QStringLiteral(".lock")).removeRecursively();
        QFile::remove(file + QStringLiteral(".lock"));
        QDir().mkpath(QFileInfo(file).path());
        const QByteArray native = QFile::encodeName(file);
        switch (c.kind) {
        case Bytes: makeSettingsFile(file, c.bytes); break;
        case Huge: {
            makeSettingsFile(file, valid);
            QFile(file).resize(50 * 1024 * 1024);  // sparse
            break;
        }
        case DevZero: ASSERT_EQ(::symlink("/dev/zero", native.constData()), 0); break;
        case Fifo: ASSERT_EQ(::mkfifo(native.constData(), 0600), 0); break;
        case LockFolder:
            makeSettingsFile(file, c.bytes);
            QDir().mkpath(file + QStringLiteral(".lock"));
            break;
        case ReadOnlyFile:
            makeSettingsFile(file, c.bytes);
            QFile::setPermissions(file, QFile::ReadOwner);
            break;
        }
        TFormMain& w = open();
        if (c.mark >= 0) {
            EXPECT_EQ(w.Stored.CkMark, c.mark);
        }
        if (c.hifun >= 0) {
            EXPECT_EQ(w.Stored.CkHifun, c.hifun);
        }
        ASSERT_EQ(notes.log.size(), static_cast<size_t>(c.readMessages)) << notes.log.join(u'|').toStdString();
        if (c.readMessages) {
            EXPECT_TRUE(notes.log.front().startsWith(QStringLiteral("error: ") + QString::fromUtf8(c.message)));
        }
        w.Stored.CkTemae = 0;
        w.Stored.CkTomei = 1;
        w.close();
        EXPECT_EQ(notes.log.size(), static_cast<size_t>(c.readMessages)) << notes.log.join(u'|').toStdString();
        expectOnlyOurValues(file);
        EXPECT_EQ(savedValue(QStringLiteral("CkTomei")), QVariant(QStringLiteral("1")));
        if (c.mark >= 0) {
            EXPECT_EQ(savedValue(QStringLiteral("CkMark")), QVariant(QString::number(c.mark)));
        }
        window.reset();
        QDir(file + QStringLiteral(".lock")).removeRecursively();
        QFile::remove(file);
    }
}

TEST_F(WindowTest, OfTwoWindowsTheOneClosedLastWinsWholly) {
    TFormMain& first = open();
    auto second = std::make_unique<TFormMain>();
    second->ExeDir = first.ExeDir;
    first.Stored.CkMark = 1;
    first.Stored.CkHifun = 1;
    second->Stored.CkMark = 0;
    second->Stored.CkHifun = 0;
    second->Stored.Jisho = 3;
    first.close();
    second->close();
    const QString file = SettingsStore::location();
    expectOnlyOurValues(file);
    EXPECT_EQ(savedValue(QStringLiteral("CkMark")), QVariant(QStringLiteral("0")));
    EXPECT_EQ(savedValue(QStringLiteral("CkHifun")), QVariant(QStringLiteral("0")));
    EXPECT_EQ(savedValue(QStringLiteral("Jisho")), QVariant(QStringLiteral("3")));
    EXPECT_TRUE(notes.log.isEmpty()) << notes.log.join(u'|').toStdString();
}

TEST_F(WindowTest, AWriterKilledAtAnyMomentLeavesTheWholeOldOrTheWholeNewFile) {
    const QString file = SettingsStore::location();
    QString error;
    StoredSettings old;
    old.CkMark = old.CkHifun = old.CkTomei = 7;
    ASSERT_TRUE(SettingsStore::write(old, QStringLiteral("/old"), error));
    unsigned state = 12345;
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE(round);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            StoredSettings s;
            for (int i = 0;; ++i) {
                s.CkMark = s.CkHifun = s.CkTomei = i;
                QString e;
                SettingsStore::write(s, QStringLiteral("/new"), e);
            }
        }
        state = state * 1103515245u + 12345u;
        ::usleep(200 + (state >> 16) % 20000);
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        expectOnlyOurValues(file);
        QSettings s(file, QSettings::IniFormat);
        s.beginGroup(QStringLiteral("Program"));
        const QString mark = s.value(QStringLiteral("CkMark")).toString();
        EXPECT_EQ(s.value(QStringLiteral("CkHifun")).toString(), mark);
        EXPECT_EQ(s.value(QStringLiteral("CkTomei")).toString(), mark);
    }
    // Copies a kill caught in mid-write stay beside the file, never in its
    // place; once they are old, the next write removes them.
    const QDir folder(QFileInfo(file).path());
    QFile made(folder.filePath(QFileInfo(file).fileName() + QStringLiteral(".k1LLed")));
    ASSERT_TRUE(made.open(QIODevice::WriteOnly));
    made.close();
    const QDateTime anHourAgo = QDateTime::currentDateTime().addSecs(-3600);
    for (const QFileInfo& left : folder.entryInfoList(QDir::Files | QDir::Hidden)) {
        QFile f(left.filePath());
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(anHourAgo, QFileDevice::FileModificationTime));
    }
    ASSERT_TRUE(SettingsStore::write(old, QStringLiteral("/old"), error));
    EXPECT_EQ(folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QFileInfo(file).fileName()});
    QDir(folder).removeRecursively();
}

// Only the write's own leftovers go: old enough that no other window is still
// writing them, named as the write names them, and plain files.
TEST_F(WindowTest, AWriteRemovesOnlyStaleCopiesOfItsOwnNaming) {
    const QString file = SettingsStore::location();
    const QDir folder(QFileInfo(file).path());
    const QString name = QFileInfo(file).fileName();
    ASSERT_TRUE(QDir().mkpath(folder.path()));
    enum Kind { Plain, Folder, Link };
    struct Case {
        QString entry;
        Kind kind;
        bool old;
        bool removed;
    };
    const std::vector<Case> cases = {
        {name + QStringLiteral(".a1B2c3"), Plain, true, true},
        {name + QStringLiteral(".Zz9Yy8"), Plain, false, false},  // another window writes it now
        {name + QStringLiteral(".bak"), Plain, true, false},
        {name + QStringLiteral(".a1B2c3d"), Plain, true, false},
        {name + QStringLiteral(".a1_2-3"), Plain, true, false},
        {QStringLiteral("Other.conf.a1B2c3"), Plain, true, false},
        {name + QStringLiteral(".Qw3rty"), Folder, true, false},
        {name + QStringLiteral(".Lnk123"), Link, true, false},
    };
    const QString target = folder.filePath(QStringLiteral("target"));
    {
        QFile t(target);
        ASSERT_TRUE(t.open(QIODevice::WriteOnly));
    }
    const struct timeval anHourAgo[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
    for (const Case& c : cases) {
        const QString path = folder.filePath(c.entry);
        const QByteArray native = QFile::encodeName(path);
        switch (c.kind) {
        case Plain: {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("[Program]\nCkMark=1\n");
            break;
        }
        case Folder: ASSERT_TRUE(QDir().mkpath(path)); break;
        case Link: ASSERT_TRUE(QFile::link(target, path)); break;
        }
        if (c.old) {
            ASSERT_EQ(::lutimes(native.constData(), anHourAgo), 0);
        }
    }
    QString error;
    ASSERT_TRUE(SettingsStore::write(StoredSettings{}, QStringLiteral("/here"), error));
    for (const Case& c : cases) {
        EXPECT_EQ(!QFileInfo(folder.filePath(c.entry)).exists() && !QFileInfo(folder.filePath(c.entry)).isSymLink(),
                  c.removed)
            << c.entry.toStdString();
    }
    EXPECT_TRUE(QFileInfo(target).isFile());
    expectOnlyOurValues(file);
}

// ---------------------------------------------------------------------------
// Region, moving and hover.

// Styles that keep their drawings in the pixmap cache (Fusion) key them by
// the palette: a field palette made anew at every paint stored another
// picture of the same field at every repaint, about 1 KB a search.
TEST_F(WindowTest, RepaintingTheRegionDropDownHoldsNoMoreMemory) {
    const QString previous = QApplication::style()->name();
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    open();
    QComboBox* combo = ui().CBoxChihou;
    pickRegion(2);
    combo->grab();  // the first drawings go into the cache
    const auto heapInUse = [] {
        const struct mallinfo2 m = ::mallinfo2();
        return static_cast<long long>(m.uordblks + m.hblkhd);
    };
    const long long before = heapInUse();
    for (int i = 0; i < 300; ++i) combo->grab();
    // Under AddressSanitizer the allocator counts nothing and this holds trivially.
    EXPECT_LT(heapInUse() - before, 64 * 1024) << "bytes held after 300 repaints";
    window.reset();
    QApplication::setStyle(QStyleFactory::create(previous));
}

TEST_F(WindowTest, RegionChoiceReachesTheLookupAtOnceAndFocusReturns) {
    TFormMain& w = open();
    pickRegion(9);
    EXPECT_EQ(w.Stored.Jisho, 9);
    EXPECT_EQ(QString::fromStdString(w.PostReference1().PostFile()), w.JishoPath[9]);
    EXPECT_TRUE(w.JishoPath[9].endsWith(QStringLiteral("/Jisho/Kyushu.csv")));
    EXPECT_EQ(ui().PanelChihou->Caption(), QStringLiteral("福岡・大分・佐賀・長崎・熊本・宮崎・鹿児島・沖縄"));
    EXPECT_EQ(QApplication::focusWidget(), ui().EditZip1);
    ui().RBtnJushoKensaku->setChecked(true);
    pickRegion(0);
    EXPECT_EQ(QApplication::focusWidget(), ui().EditJusho1);
}

TEST_F(WindowTest, RegionPanelDoubleClickTogglesTheDataNotice) {
    TFormMain& w = open();
    TPanel* p = ui().PanelChihou;
    QTest::mouseDClick(p, Qt::LeftButton);
    EXPECT_EQ(p->Caption(), w.JishoInfo) << "no region: the notice";
    EXPECT_EQ(p->Caption(), QStringLiteral("辞書ファイルがありません：Ken_all.csv")) << "no dictionary, no date";
    QTest::mouseDClick(p, Qt::LeftButton);
    EXPECT_EQ(p->Caption(), w.JishoInfo) << "and it stays without a region";
    // The date is the dictionary's own, not a fixed one.
    QFile dictionary(w.JishoPath[1]);
    ASSERT_TRUE(dictionary.open(QIODevice::ReadWrite));
    ASSERT_TRUE(dictionary.setFileTime(QDateTime(QDate(2026, 4, 30), QTime(12, 0)), QFileDevice::FileModificationTime));
    dictionary.close();
    pickRegion(1);
    QTest::mouseDClick(p, Qt::LeftButton);
    EXPECT_EQ(p->Caption(), QStringLiteral("2026年04月30日現在の郵便番号辞書を使用"));
    QTest::mouseDClick(p, Qt::LeftButton);
    EXPECT_EQ(p->Caption(), QStringLiteral("北海道"));
}

TEST_F(WindowTest, APressMovesTheWindowOnlyWithoutTheTitleBar) {
    open();
    const auto press = [&](QWidget* w, QPoint at) {
        QTest::mousePress(w, Qt::LeftButton, {}, at);
        QTest::mouseRelease(w, Qt::LeftButton, {}, at);
    };
    press(ui().PnlMain, {5, 300});
    press(ui().LabelSoft, {3, 3});
    EXPECT_EQ(moves, 0);
    ui().ChkTBar->setChecked(true);  // inert while the settings panel is hidden
    press(ui().PnlMain, {5, 300});
    press(ui().plBtnSoftTitle, {300, 60});
    press(ui().LabelSoft, {3, 3});
    press(ui().PnlIcon, {1, 1});
    EXPECT_EQ(moves, 4);
    press(ui().PnlKensaku, {5, 200});  // another panel: not the body
    QTest::mousePress(ui().PnlMain, Qt::RightButton, {}, {5, 300});
    EXPECT_EQ(moves, 4);
}

TEST_F(WindowTest, HoverSwapsTheGradientAndLeavingSwapsItBack) {
    open();
    TplButton* b = ui().PlBtnClose;
    const uint begin = b->GradBeginColor(), end = b->GradEndColor();
    emit b->OnMouseEnter(b, {}, 1, 1);
    EXPECT_EQ(b->GradBeginColor(), end);
    EXPECT_EQ(b->GradEndColor(), begin);
    emit b->OnMouseLeave(b, {}, 1, 1);
    EXPECT_EQ(b->GradBeginColor(), begin);
    EXPECT_EQ(b->GradEndColor(), end);
    // The title band has no hover pair.
    const uint title = ui().plBtnSoftTitle->GradBeginColor();
    emit ui().plBtnSoftTitle->OnMouseEnter(ui().plBtnSoftTitle, {}, 1, 1);
    EXPECT_EQ(ui().plBtnSoftTitle->GradBeginColor(), title);
}

// ---------------------------------------------------------------------------
// The search panel through the real widgets.

TEST_F(WindowTest, CodeSearchChooseAndCopy) {
    open();
    pickRegion(0);
    type(ui().EditZip1, QStringLiteral("100"));
    EXPECT_EQ(ui().PanelInfo->Caption(), QStringLiteral("先頭の郵便番号のみでも検索可能です"));
    enter(ui().EditZip1);
    EXPECT_EQ(ui().PanelInfo->Caption(), QStringLiteral("検索が完了しました"));
    ASSERT_GT(ui().ListBox1->model()->rowCount(), 0);
    EXPECT_EQ(ui().ListBox1->model()->index(0, 0).data().toString(), QStringLiteral("東京都千代田区千代田 - 1000001"));
    EXPECT_FALSE(ui().ListBox1->currentIndex().isValid()) << "nothing chosen yet";
    EXPECT_FALSE(ui().plBtnCopy->isEnabled());

    const QRect row = ui().ListBox1->visualRect(ui().ListBox1->model()->index(0, 0));
    QTest::mouseClick(ui().ListBox1->viewport(), Qt::LeftButton, {}, row.center());
    EXPECT_EQ(ui().EditJusho->text(), QStringLiteral("東京都千代田区千代田"));
    EXPECT_TRUE(ui().plBtnCopy->isEnabled());
    click(ui().plBtnCopy);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("東京都千代田区千代田"));

    // The result format, read when a candidate is chosen.
    ui().RBtnBango->setChecked(true);
    ui().ChkMark->setChecked(true);
    ui().ChkHyphen->setChecked(true);
    QTest::mouseDClick(ui().ListBox1->viewport(), Qt::LeftButton, {}, row.center());
    EXPECT_EQ(ui().EditJusho->text(), QStringLiteral("〒100-0001"));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("〒100-0001"));
}

// Focus coming back to the list (leaving the window and returning, or a
// click on its blank area) makes a row current; only a real choice fills the result.
TEST_F(WindowTest, ListRegainingFocusChoosesNothing) {
    open();
    pickRegion(0);
    type(ui().EditZip1, QStringLiteral("100"));
    enter(ui().EditZip1);
    QListView* list = ui().ListBox1;
    ASSERT_GT(list->model()->rowCount(), 0);
    for (const Qt::FocusReason reason : {Qt::ActiveWindowFocusReason, Qt::MouseFocusReason, Qt::TabFocusReason}) {
        QFocusEvent out(QEvent::FocusOut, reason);
        QCoreApplication::sendEvent(list, &out);
        QFocusEvent in(QEvent::FocusIn, reason);
        QCoreApplication::sendEvent(list, &in);
        EXPECT_TRUE(ui().EditJusho->text().isEmpty()) << reason;
        EXPECT_FALSE(ui().plBtnCopy->isEnabled()) << reason;
    }
    // Selecting the current row from the keyboard is a choice.
    QTest::keyClick(list, Qt::Key_Space);
    EXPECT_EQ(ui().EditJusho->text(), QStringLiteral("東京都千代田区千代田"));
}

// The real boxes belong to the window (kept above it by the window manager,
// also when it stays on top) and are still centred on the screen.
TEST_F(WindowTest, MessageBoxesBelongToTheWindowAndAreCentredOnTheScreen) {
    for (const bool onTop : {false, true}) {
        TFormMain& w = open();
        if (onTop) {
            click(ui().plBtnSetting);
            ui().ChkTopPosition->setChecked(true);
            ASSERT_TRUE(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        }
        setNotifier(nullptr);  // the real dialogs
        QWidget* owner = nullptr;
        QRect box;
        QTimer::singleShot(0, [&] {
            if (QWidget* m = QApplication::activeModalWidget()) {
                owner = m->parentWidget();
                box = m->frameGeometry();
                m->close();
            }
        });
        notifier().message(QStringLiteral("郵便番号は、半角数字のみ入力できます。"));
        setNotifier(&notes);
        EXPECT_EQ(owner, &w) << onTop;
        ASSERT_TRUE(box.isValid()) << onTop;
        const QPoint centre = QGuiApplication::primaryScreen()->geometry().center();
        EXPECT_LE((box.center() - centre).manhattanLength(), 8) << onTop;  // the box settles its size when shown
    }
}

// First start: no region chosen, as designed, and no dictionary under the
// start value's name. The first search says why it found nothing.
TEST_F(WindowTest, FirstSearchWithoutARegionTellsThatNoDictionaryWasRead) {
    open();
    ASSERT_EQ(ui().CBoxChihou->currentIndex(), -1);
    type(ui().EditZip1, QStringLiteral("100"));
    enter(ui().EditZip1);
    EXPECT_EQ(ui().PanelInfo->Caption(), QStringLiteral("辞書ファイルがありません：Ken_all.csv"));
    pickRegion(0);
    enter(ui().EditZip1);
    EXPECT_EQ(ui().PanelInfo->Caption(), QStringLiteral("検索が完了しました"));
    ui().EditZip1->clear();
    type(ui().EditZip1, QStringLiteral("999"));
    enter(ui().EditZip1);
    EXPECT_EQ(ui().PanelInfo->Caption(), QStringLiteral("検索しましたが見つかりませんでした"));
}

TEST_F(WindowTest, KeystrokeFilterRefusesWithBeepAndMessage) {
    open();
    type(ui().EditZip1, QStringLiteral("1-2-a"));
    EXPECT_EQ(ui().EditZip1->text(), QStringLiteral("1-2"));
    EXPECT_EQ(notes.log,
              (QStringList{QStringLiteral("beep"), QStringLiteral("2つ目の\"-\"（ﾊｲﾌﾝ）は入力出来ません！"),
                           QStringLiteral("beep"), QStringLiteral("郵便番号は、半角数字のみ入力できます。")}));
    notes.log.clear();
    QTest::keyClick(ui().EditZip1, Qt::Key_Backspace);
    QTest::keyClick(ui().EditZip1, Qt::Key_Left);
    QTest::keyClick(ui().EditZip1, Qt::Key_Delete);
    QTest::keyClick(ui().EditZip1, Qt::Key_Escape);
    EXPECT_EQ(ui().EditZip1->text(), QStringLiteral("1")) << "Backspace and Delete each removed one";
    EXPECT_TRUE(notes.log.isEmpty()) << "editing keys are never refused";
}

TEST_F(WindowTest, AddressSearchGivesCodes) {
    open();
    pickRegion(0);
    ui().RBtnJushoKensaku->setChecked(true);
    EXPECT_FALSE(ui().EditZip1->isEnabled());
    EXPECT_TRUE(ui().EditJusho1->isEnabled());
    EXPECT_EQ(ui().EditJusho1->palette().color(QPalette::Base), QColor(Qt::white));
    EXPECT_EQ(ui().EditZip1->palette().color(QPalette::Base), QColor(0xC0, 0xC0, 0xC0));
    type(ui().EditJusho1, QStringLiteral("東京都千代田区"));
    EXPECT_EQ(ui().PanelInfo->Caption(), QStringLiteral("住所途中でも検索可能です"));
    enter(ui().EditJusho1);
    ASSERT_GT(ui().ListBox1->model()->rowCount(), 0);
    EXPECT_TRUE(ui().ListBox1->model()->index(0, 0).data().toString().startsWith(QStringLiteral("1000001 / ")));
    EXPECT_EQ(window->size(), QSize(450, 555));
}

// ---------------------------------------------------------------------------
// Settings panel and window modes.

TEST_F(WindowTest, SettingsPanelOpensAndClosesButNotWhileTheHelpIsOpen) {
    open();
    TplButton* b = ui().plBtnSetting;
    click(b);
    EXPECT_FALSE(ui().PnlSetting->isHidden());
    EXPECT_EQ(b->CaptionB()->Caption(), QStringLiteral("設定終了"));
    click(ui().plBtnHelp);
    notes.log.clear();  // the missing picture of page 1
    click(b);
    EXPECT_EQ(notes.log, (QStringList{QStringLiteral("beep"),
                                      QStringLiteral("説明書を開いている間は、ｿﾌﾄｳｪｱの設定・切替えはできません")}));
    EXPECT_FALSE(ui().PnlSetting->isHidden());
    EXPECT_EQ(b->CaptionB()->Caption(), QStringLiteral("設定終了"));
    click(ui().plBtnHelp);
    EXPECT_FALSE(ui().PnlSetting->isHidden()) << "still open after the help closes";
    click(b);
    EXPECT_TRUE(ui().PnlSetting->isHidden());
    EXPECT_EQ(b->CaptionB()->Caption(), QStringLiteral("設\u3000定\u3000"));
}

TEST_F(WindowTest, ResultFormatIsRememberedOnlyFromThePanel) {
    TFormMain& w = open();
    ui().RBtnBango->setChecked(true);  // panel hidden: not taken
    EXPECT_EQ(w.Stored.CkHyoji, 0);
    click(ui().plBtnSetting);
    ui().RBtnBango->setChecked(false);
    ui().RBtnBango->setChecked(true);
    ui().ChkMark->setChecked(true);
    EXPECT_EQ(w.Stored.CkHyoji, 1);
    EXPECT_EQ(w.Stored.CkMark, 1);
    w.close();  // closed with the panel open
    EXPECT_EQ(savedValue(QStringLiteral("CkHyoji")), QVariant(QStringLiteral("1")));
    EXPECT_EQ(savedValue(QStringLiteral("CkMark")), QVariant(QStringLiteral("1")));
    window.reset();
    open();
    EXPECT_TRUE(ui().RBtnBango->isChecked());
    EXPECT_TRUE(ui().ChkMark->isChecked());
}

TEST_F(WindowTest, SeeThroughAppliesAtFirstShowAndAnyTime) {
    putSettings({{QStringLiteral("CkTomei"), QStringLiteral("1")}});
    TFormMain& w = open();
    EXPECT_TRUE(ui().ChkNodo->isChecked());
    EXPECT_NEAR(w.windowOpacity(), 200.0 / 255.0, 0.01);
    ui().ChkNodo->setChecked(false);  // works with the panel closed too
    EXPECT_EQ(w.windowOpacity(), 1.0);
    EXPECT_EQ(w.Stored.CkTomei, 0);
}

TEST_F(WindowTest, AlwaysOnTopRebuildsTheWindowAndResetsTheSearch) {
    TFormMain& w = open();
    pickRegion(0);
    type(ui().EditZip1, QStringLiteral("100"));
    enter(ui().EditZip1);
    ASSERT_EQ(w.size(), QSize(450, 555));
    w.move(40, 50);
    const QPoint corner = w.pos();
    click(ui().plBtnSetting);
    ui().ChkTopPosition->setChecked(true);
    EXPECT_TRUE(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.pos(), corner);
    EXPECT_EQ(w.size(), QSize(450, 413));
    EXPECT_EQ(ui().ListBox1->model()->rowCount(), 0);
    EXPECT_TRUE(ui().EditZip1->text().isEmpty());
    EXPECT_TRUE(ui().RBtnBangoKensaku->isChecked());
    EXPECT_FALSE(ui().PnlSetting->isHidden());
    EXPECT_EQ(w.Stored.CkTemae, 1);
}

TEST_F(WindowTest, RemovingTheTitleBarShowsTheMessageAfterTheRebuild) {
    TFormMain& w = open();
    click(ui().plBtnSetting);
    bool framelessWhenShown = false;
    struct Probe : RecordingNotifier {
        TFormMain* w = nullptr;
        bool* seen = nullptr;
        void message(const QString& text) override {
            *seen =
                w->windowFlags().testFlag(Qt::FramelessWindowHint) && w->isVisible() && w->size() == QSize(450, 409);
            RecordingNotifier::message(text);
        }
    } probe;
    probe.w = &w;
    probe.seen = &framelessWhenShown;
    setNotifier(&probe);
    ui().ChkTBar->setChecked(true);
    EXPECT_TRUE(framelessWhenShown);
    EXPECT_EQ(probe.log, (QStringList{QStringLiteral("beep"),
                                      QStringLiteral("ｿﾌﾄｳｪｱのﾀｲﾄﾙ部分（緑色）をﾄﾞﾗｯｸﾞすると移動できます")}));
    EXPECT_EQ(ui().plBtnSoftTitle->geometry(), QRect(2, 2, 445, 70));
    probe.log.clear();
    ui().ChkTBar->setChecked(false);
    EXPECT_TRUE(probe.log.isEmpty());
    EXPECT_EQ(w.size(), QSize(450, 413));
    EXPECT_EQ(ui().plBtnSoftTitle->geometry(), QRect(8, 6, 434, 70));
    EXPECT_EQ(w.Stored.CkTitle, 0);
    setNotifier(&notes);
}

// ---------------------------------------------------------------------------
// Help viewer.

void writeJpeg(const QString& path, QColor colour) {
    QImage image(300, 280, QImage::Format_RGB32);
    image.fill(colour);
    ASSERT_TRUE(image.save(path, "JPEG"));
}

TEST_F(WindowTest, HelpPagesTurnAndKeepTheirPlace) {
    TFormMain& w = open();
    QDir().mkpath(dir.filePath(QStringLiteral("Image")));
    for (int i = 1; i <= 7; ++i) {
        writeJpeg(dir.filePath(QStringLiteral("Image/%1.jpg").arg(i, 3, 10, QChar(u'0'))), QColor(i * 30, 0, 0));
    }
    click(ui().plBtnHelp);
    EXPECT_EQ(w.size(), QSize(450, 555)) << "expanded at once";
    EXPECT_TRUE(ui().PnlKekka->isHidden());
    EXPECT_EQ(ui().PnlHelp->y(), ui().PnlKensaku->y());
    EXPECT_EQ(ui().plBtnHelp->CaptionA()->Caption(), QStringLiteral("説明書を"));
    EXPECT_EQ(ui().plBtnHelp->CaptionB()->Caption(), QStringLiteral("閉じる"));
    EXPECT_EQ(ui().plBtnHelp->CaptionTop(), 10);
    EXPECT_EQ(ui().SsEditHelp->Text(), QStringLiteral("1/7"));
    EXPECT_FALSE(ui().plBtnBack->isEnabled());
    EXPECT_TRUE(ui().plBtnFront->isEnabled());
    EXPECT_TRUE(ui().MemoHelp->toPlainText().contains(QStringLiteral("郵便番号を入力し")));
    EXPECT_EQ(ui().ImgHelp->Picture().size(), QSize(273, 266));
    for (int i = 0; i < 6; ++i) click(ui().plBtnFront);
    EXPECT_EQ(ui().SsEditHelp->Text(), QStringLiteral("7/7"));
    EXPECT_FALSE(ui().plBtnFront->isEnabled());
    EXPECT_TRUE(ui().plBtnBack->isEnabled());
    for (int i = 0; i < 3; ++i) click(ui().plBtnBack);
    click(ui().plBtnHelp);
    EXPECT_EQ(w.size(), QSize(450, 413));
    EXPECT_EQ(ui().plBtnHelp->CaptionA()->Caption(), QStringLiteral("説明書"));
    EXPECT_TRUE(ui().plBtnHelp->CaptionB()->Caption().isEmpty());
    click(ui().plBtnHelp);
    EXPECT_EQ(ui().SsEditHelp->Text(), QStringLiteral("4/7"));
    EXPECT_TRUE(notes.log.isEmpty());
}

TEST_F(WindowTest, HelpKeepsResultsInViewAndReportsAMissingPicture) {
    TFormMain& w = open();
    pickRegion(0);
    type(ui().EditZip1, QStringLiteral("1000001"));
    enter(ui().EditZip1);
    click(ui().plBtnHelp);  // no Image folder
    EXPECT_EQ(ui().SsEditHelp->Text(), QStringLiteral("1/7"));
    EXPECT_TRUE(ui().ImgHelp->Picture().isNull());
    EXPECT_EQ(ui().PnlImgHelp->Caption(), QStringLiteral("no Image"));
    ASSERT_EQ(notes.log.size(), 1);
    EXPECT_TRUE(notes.log.front().contains(QStringLiteral("ファイル \"") +
                                           dir.filePath(QStringLiteral("Image/001.jpg")) + u'"'))
        << notes.log.front().toStdString();
    EXPECT_TRUE(notes.log.front().endsWith(QStringLiteral("は開けません")));
    click(ui().plBtnHelp);
    EXPECT_EQ(w.size(), QSize(450, 555)) << "results stay in view";
    EXPECT_FALSE(ui().PnlKekka->isHidden());
}

// ---------------------------------------------------------------------------
// Bad files met by the window: a region's dictionary and the help pictures.
// Each case must end in a clear message or a plain miss, never a hang or a
// crash; a watchdog ends the run if the GUI thread stays blocked.

class HangWatch {
public:
    explicit HangWatch(std::string what) : what_(std::move(what)) {
        thread_ = std::thread([this] {
            std::unique_lock lock(mutex_);
            if (!done_cv_.wait_for(lock, std::chrono::seconds(20), [this] { return done_; })) {
                std::fprintf(stderr, "hang: %s\n", what_.c_str());
                std::_Exit(3);
            }
        });
    }
    ~HangWatch() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        done_cv_.notify_all();
        thread_.join();
    }

private:
    std::string what_;
    std::mutex mutex_;
    std::condition_variable done_cv_;
    bool done_ = false;
    std::thread thread_;
};

long peakResidentKb() {
    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

TEST_F(WindowTest, BadDictionariesGiveAMessageOrAPlainMiss) {
    const bool root = ::geteuid() == 0;
    struct Case {
        const char* name;
        // Makes the bad file at `path`; false when the case cannot be made here.
        std::function<bool(const QString& path)> make;
        bool unusable;  // nothing can be found in it
        // The reason the message names, for a file that is there but cannot
        // be read; empty when no message is due.
        QString reason = {};
    };
    const QByteArray utf8Line =
        QStringLiteral(
            "13101,\"100  "
            "\",\"1000001\",\"ﾄｳｷｮｳﾄ\",\"ﾁﾖﾀﾞｸ\",\"ﾁﾖﾀﾞ\",\"東京都\",\"千代田区\",\"千代田\",0,0,0,0,0,0\r\n")
            .toUtf8();
    const std::vector<Case> cases = {
        {"missing", [](const QString&) { return true; }, true},
        {"empty",
         [](const QString& p) {
             QFile f(p);
             return f.open(QIODevice::WriteOnly);
         },
         true},
        {"folder", [](const QString& p) { return QDir().mkpath(p); }, true},
        {"fifo", [](const QString& p) { return ::mkfifo(QFile::encodeName(p).constData(), 0600) == 0; }, true,
         QStringLiteral("通常のファイルではありません")},
        {"unreadable",
         [&](const QString& p) {
             if (root) {
                 std::cout << "[ skipped  ] unreadable dictionary: running as root reads anything\n";
                 return false;
             }
             return QFile::copy(QStringLiteral(TENMARI_SAMPLE_DICTIONARY), p) &&
                    ::chmod(QFile::encodeName(p).constData(), 0) == 0;
         },
         true, QStringLiteral("アクセスが許可されていません")},
        {"symlink to /dev/zero", [](const QString& p) { return QFile::link(QStringLiteral("/dev/zero"), p); }, true,
         QStringLiteral("通常のファイルではありません")},
        // Sparse: it costs the test no disk, and reading it through would
        // still take seconds.
        {"1 GB of junk",
         [](const QString& p) {
             QFile f(p);
             return f.open(QIODevice::WriteOnly) && f.resize(1LL << 30);
         },
         true, QStringLiteral("大きすぎます")},
        {"UTF-8 text",
         [&](const QString& p) {
             QFile f(p);
             return f.open(QIODevice::WriteOnly) && f.write(utf8Line.repeated(50)) > 0;
         },
         true, QStringLiteral("文字コードが違います")},
    };
    TFormMain& w = open();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path =
            dir.filePath(QStringLiteral("bad-%1").arg(QString::fromLatin1(c.name).replace(u' ', u'-')));
        if (!c.make(path)) continue;
        w.JishoPath[0] = path;
        notes.log.clear();
        const long peakBefore = peakResidentKb();
        {
            HangWatch watch(c.name);
            pickRegion(0);
            ui().EditZip1->clear();
            type(ui().EditZip1, QStringLiteral("100"));
            enter(ui().EditZip1);
            ui().EditZip1->clear();
            type(ui().EditZip1, QStringLiteral("1000001"));
            enter(ui().EditZip1);
        }
        const QString caption = ui().PanelInfo->Caption();
        EXPECT_FALSE(caption.isEmpty());
        if (c.unusable) {
            EXPECT_NE(caption, QStringLiteral("検索が完了しました"));
            EXPECT_EQ(ui().ListBox1->model()->rowCount(), 0);
            EXPECT_TRUE(ui().EditJusho->text().isEmpty()) << ui().EditJusho->text().toStdString();
        }
        if (!c.reason.isEmpty()) {
            EXPECT_EQ(caption, QStringLiteral("辞書ファイルを読めません：") + QFileInfo(path).fileName());
            EXPECT_TRUE(
                notes.log.contains(QStringLiteral("error: 辞書ファイル \"%1\" を読めません（%2）").arg(path, c.reason)))
                << notes.log.join(u'|').toStdString();
        }
        EXPECT_LT(peakResidentKb() - peakBefore, 256 * 1024) << "no file is read whole into memory";
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        if (QFileInfo(path).isDir() && !QFileInfo(path).isSymLink())
            QDir(path).removeRecursively();
        else
            QFile::remove(path);
    }
    // The window still searches a good dictionary afterwards.
    w.JishoPath[0] = dir.filePath(QStringLiteral("good.csv"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(TENMARI_SAMPLE_DICTIONARY), w.JishoPath[0]));
    pickRegion(0);
    ui().EditZip1->clear();
    type(ui().EditZip1, QStringLiteral("100"));
    enter(ui().EditZip1);
    EXPECT_EQ(ui().PanelInfo->Caption(), QStringLiteral("検索が完了しました"));
}

// The dictionary replaced and cut short, again and again, while searches read it.
TEST_F(WindowTest, DictionaryTruncatedDuringSearchesIsAMissOrAMessage) {
    TFormMain& w = open();
    QFile sample(QStringLiteral(TENMARI_SAMPLE_DICTIONARY));
    ASSERT_TRUE(sample.open(QIODevice::ReadOnly));
    QByteArray whole = sample.readAll();
    while (whole.size() < 8 * 1024 * 1024) whole += whole;  // long enough to be met mid-search
    const QString path = dir.filePath(QStringLiteral("changing.csv"));
    const QString next = dir.filePath(QStringLiteral("changing.new"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(whole);
    }
    w.JishoPath[0] = path;
    pickRegion(0);
    std::atomic<bool> stop{false};
    std::thread changer([&] {
        const QByteArray p = QFile::encodeName(path);
        const QByteArray n = QFile::encodeName(next);
        for (unsigned round = 0; !stop; ++round) {
            // In place, cut short, then replaced by a new file.
            ::truncate(p.constData(), static_cast<off_t>((round * 104729u) % static_cast<unsigned>(whole.size())));
            if (FILE* f = std::fopen(n.constData(), "wb")) {
                std::fwrite(whole.constData(), 1, static_cast<std::size_t>(whole.size() / (1 + round % 3)), f);
                std::fclose(f);
                ::rename(n.constData(), p.constData());
            }
        }
    });
    {
        HangWatch watch("truncated during searches");
        for (int i = 0; i < 40; ++i) {
            ui().EditZip1->clear();
            type(ui().EditZip1, i % 2 ? QStringLiteral("100") : QStringLiteral("0600000"));
            enter(ui().EditZip1);
            EXPECT_FALSE(ui().PanelInfo->Caption().isEmpty());
        }
    }
    stop = true;
    changer.join();
}

// A JPEG of the given size as Qt writes it (baseline, or progressive).
QByteArray jpegBytes(int width, int height, bool progressive) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(40, 90, 160));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setProgressiveScanWrite(progressive);
    writer.write(image);
    return bytes;
}

TEST_F(WindowTest, BadHelpPicturesAreReportedWithinBoundedMemory) {
    const QByteArray good = jpegBytes(300, 280, false);
    ASSERT_FALSE(good.isEmpty());
    struct Case {
        const char* name;
        std::function<bool(const QString& path)> make;
    };
    auto writeFile = [](const QString& p, const QByteArray& bytes) {
        QFile f(p);
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    };
    const std::vector<Case> cases = {
        {"truncated", [&](const QString& p) { return writeFile(p, good.left(good.size() / 2)); }},
        {"empty", [&](const QString& p) { return writeFile(p, {}); }},
        {"65000 x 65000 in its header",
         [&](const QString& p) {
             QByteArray big = good;
             const qsizetype sof = big.indexOf(QByteArray("\xFF\xC0", 2));
             if (sof < 0) return false;
             for (int at : {5, 7}) {  // height, then width
                 big[sof + at] = static_cast<char>(65000 >> 8);
                 big[sof + at + 1] = static_cast<char>(65000 & 0xFF);
             }
             return writeFile(p, big);
         }},
        {"progressive with thousands of scans",
         [&](const QString& p) {
             const QByteArray prog = jpegBytes(300, 280, true);
             const qsizetype lastScan = prog.lastIndexOf(QByteArray("\xFF\xDA", 2));
             if (lastScan < 0 || !prog.endsWith(QByteArray("\xFF\xD9", 2))) return false;
             const QByteArray scan = prog.mid(lastScan, prog.size() - 2 - lastScan);
             return writeFile(p, prog.left(prog.size() - 2) + scan.repeated(5000) + QByteArray("\xFF\xD9", 2));
         }},
        {"not a JPEG", [&](const QString& p) { return writeFile(p, QByteArray("GIF89a not a picture at all")); }},
        {"folder", [](const QString& p) { return QDir().mkpath(p); }},
        {"fifo", [](const QString& p) { return ::mkfifo(QFile::encodeName(p).constData(), 0600) == 0; }},
    };
    open();
    const QString picture = dir.filePath(QStringLiteral("Image/001.jpg"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(dir.filePath(QStringLiteral("Image"))).removeRecursively();
        QDir().mkpath(dir.filePath(QStringLiteral("Image")));
        ASSERT_TRUE(c.make(picture));
        notes.log.clear();
        const long peakBefore = peakResidentKb();
        {
            HangWatch watch(c.name);
            click(ui().plBtnHelp);
            click(ui().plBtnHelp);
        }
        EXPECT_LT(peakResidentKb() - peakBefore, 160 * 1024) << "decoding is bounded";
        ASSERT_EQ(notes.log.size(), 1) << notes.log.join(u'|').toStdString();
        QString text = notes.log.front();
        text.remove(0, text.startsWith(QStringLiteral("error: ")) ? 7 : 0);
        const bool openError = text.contains(QStringLiteral("ファイル \"") + picture + u'"') &&
                               text.endsWith(QStringLiteral("は開けません"));
        const bool jpegError = text.startsWith(QStringLiteral("JPEG エラー #"));
        EXPECT_TRUE(openError || jpegError) << text.toStdString();
        EXPECT_TRUE(ui().ImgHelp->Picture().isNull()) << "a bad picture never shows";
        EXPECT_EQ(ui().PnlImgHelp->Caption(), QStringLiteral("no Image"));
    }
}

}  // namespace

namespace {

TEST(DesignIconTest, DrawnFromItsSourceAtTheScreensScale) {
    const QIcon icon = designIcon(QStringLiteral("search"), {{32, 32}, {48, 48}});
    EXPECT_EQ(icon.availableSizes(), (QList<QSize>{{32, 32}, {48, 48}}));
    const QPixmap sharp = icon.pixmap(QSize(32, 32), 2.0);
    EXPECT_EQ(sharp.size(), QSize(64, 64)) << "rendered at device pixels, not enlarged";
    EXPECT_EQ(sharp.devicePixelRatio(), 2.0);
    EXPECT_TRUE(designIcon(QStringLiteral("no-such-icon"), {{16, 16}}).isNull());
}

}  // namespace

namespace {

// The window as the program starts it: the classic style of Qt's own
// controls. The application's previous style comes back afterwards.
class ClassicWindowTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        previousStyle_ = QApplication::style()->name();
        ASSERT_TRUE(applyClassicStyle());
    }
    void TearDown() override {
        WindowTest::TearDown();
        QApplication::setStyle(QStyleFactory::create(previousStyle_));
    }
    static QRgb at(const QImage& image, int x, int y) { return image.pixel(x, y) & 0x00FFFFFFu; }

private:
    QString previousStyle_;
};

constexpr QRgb kCream = 0xFFFBF0;  // 0x00F0FBFF as red, green, blue

TEST(ClassicStyleTest, TheUsersOwnStyleChoiceWins) {
    struct Case {
        std::vector<const char*> argv;
        const char* env;
        bool chosen;
    };
    const Case cases[] = {
        {{"tenmari"}, nullptr, false},
        {{"tenmari", "-style", "fusion"}, nullptr, true},
        {{"tenmari", "-style=fusion"}, nullptr, true},
        {{"tenmari", "--style", "fusion"}, nullptr, true},
        {{"tenmari", "--style=fusion"}, nullptr, true},
        {{"tenmari", "-stylesheet", "a.qss"}, nullptr, false},
        {{"tenmari"}, "fusion", true},
        {{"tenmari"}, "", false},
    };
    const QByteArray saved = qgetenv("QT_STYLE_OVERRIDE");
    const bool wasSet = qEnvironmentVariableIsSet("QT_STYLE_OVERRIDE");
    for (const Case& c : cases) {
        if (c.env) {
            qputenv("QT_STYLE_OVERRIDE", c.env);
        } else {
            qunsetenv("QT_STYLE_OVERRIDE");
        }
        EXPECT_EQ(styleChosenByUser(static_cast<int>(c.argv.size()), c.argv.data()), c.chosen)
            << c.argv.back() << " / " << (c.env ? c.env : "(no override)");
    }
    if (wasSet) {
        qputenv("QT_STYLE_OVERRIDE", saved);
    } else {
        qunsetenv("QT_STYLE_OVERRIDE");
    }
}

TEST_F(ClassicWindowTest, TheClassicStyleIsQtsWindowsStyle) {
    EXPECT_EQ(QApplication::style()->name().toLower(), QStringLiteral("windows"));
}

TEST_F(ClassicWindowTest, RegionDropDownIsCreamAndItsListOpensBelowIt) {
    open();
    QComboBox* combo = ui().CBoxChihou;
    pickRegion(2);
    const QImage field = combo->grab().toImage();
    // Left of the text, inside the sunken frame.
    EXPECT_EQ(at(field, 3, combo->height() / 2), kCream);

    combo->showPopup();
    QWidget* popup = combo->view()->window();
    ASSERT_TRUE(popup->isVisible());
    EXPECT_GE(popup->geometry().top(), combo->mapToGlobal(QPoint(0, combo->height())).y() - 1)
        << "the list drops below the field";
    const QImage list = combo->view()->viewport()->grab().toImage();
    const QRect unchosen = combo->view()->visualRect(combo->model()->index(0, 0));
    EXPECT_EQ(at(list, unchosen.right() - 2, unchosen.center().y()), kCream);
    combo->hidePopup();
}

TEST_F(ClassicWindowTest, GroupBoxesAreFramedByAnEtchedLine) {
    open();
    click(ui().plBtnSetting);
    const QRgb shadow = toQColor(clBtnShadow).rgb() & 0x00FFFFFFu;
    const QRgb highlight = toQColor(clBtnHighlight).rgb() & 0x00FFFFFFu;
    for (QWidget* box : std::initializer_list<QWidget*>{ui().GroupBox1, ui().GBoxSetting1, ui().GBoxSetting2}) {
        const std::string name = box->objectName().toStdString();
        const QImage img = box->grab().toImage();
        // The system's button shadow, then its highlight, around the box:
        // down the left edge and along the bottom edge.
        const int y = img.height() / 2;
        EXPECT_EQ(at(img, 0, y), shadow) << name;
        EXPECT_EQ(at(img, 1, y), highlight) << name;
        EXPECT_EQ(at(img, img.width() / 2, img.height() - 2), shadow) << name;
        EXPECT_EQ(at(img, img.width() / 2, img.height() - 1), highlight) << name;
    }
}

TEST_F(WindowTest, ScreenReadersHearTheStatusLineAndTheRegionCaption) {
    static QList<QObject*>* heard = nullptr;
    QList<QObject*> announced;
    heard = &announced;
    setNameChangeHook([](QObject* control) { heard->append(control); });
    open();
    pickRegion(0);
    type(ui().EditZip1, QStringLiteral("100"));
    enter(ui().EditZip1);
    setNameChangeHook(nullptr);
    heard = nullptr;

    const auto name = [](QWidget* w) { return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name); };
    EXPECT_EQ(name(ui().PanelInfo), QStringLiteral("検索が完了しました"));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(ui().PanelInfo)->role(), QAccessible::StaticText);
    QString region = ui().PanelChihou->Caption();
    ASSERT_FALSE(region.isEmpty());
    EXPECT_EQ(name(ui().PanelChihou), region.remove(QChar(0x3000)).simplified());
    EXPECT_TRUE(announced.contains(ui().PanelInfo)) << "a new status is announced";
    EXPECT_TRUE(announced.contains(ui().PanelChihou));
}

// A screen reader names each field by the words its label shows.
TEST_F(WindowTest, FieldsAreNamedByTheirLabels) {
    open();
    const std::pair<QWidget*, QString> fields[] = {
        {ui().EditZip1, QStringLiteral("郵便番号")},
        {ui().EditJusho1, QStringLiteral("住所")},
        {ui().EditJusho, QStringLiteral("検索結果")},
        {ui().ListBox1, QStringLiteral("検索候補")},
    };
    for (const auto& [field, name] : fields) {
        EXPECT_EQ(QAccessible::queryAccessibleInterface(field)->text(QAccessible::Name), name)
            << field->objectName().toStdString();
    }
}

// A spreadsheet cell pastes with a line break: a single-line field keeps the
// first line only, by every way of pasting, and the panel's rules see that.
TEST_F(WindowTest, PastedTextKeepsOnlyItsFirstLine) {
    enum How { ShiftInsert, CtrlV, Menu, Drop };
    struct Case {
        const char* what;
        bool address;
        const char* before;  // the field's text, the cursor after its first character
        const char* pasted;
        How how;
        const char* kept;
    };
    const Case cases[] = {
        {"a cell", false, "", "1000001\n", ShiftInsert, "1000001"},
        {"a cell with CR LF", false, "", "1000001\r\n", ShiftInsert, "1000001"},
        {"two lines", false, "", "100\n0001", ShiftInsert, "100"},
        {"a lone CR", false, "", "100\r0001", ShiftInsert, "100"},
        {"inserted at the cursor", false, "10", "0\n5", ShiftInsert, "100"},
        {"the line break first", false, "12", "\n345", ShiftInsert, "12"},
        {"one line as it is", false, "", "100-0001", ShiftInsert, "100-0001"},
        {"from the menu", false, "", "1000001\r\n", Menu, "1000001"},
        {"dropped", false, "", "1000001\n", Drop, "1000001"},
        {"an address", true, "", "東京都千代田区\r\n", CtrlV, "東京都千代田区"},
        {"an address of two lines", true, "", "北海道札幌市\n中央区", CtrlV, "北海道札幌市"},
        {"an address from the menu", true, "", "北海道札幌市\n中央区", Menu, "北海道札幌市"},
        {"an address dropped", true, "", "北海道札幌市\r\n", Drop, "北海道札幌市"},
    };
    open();
    pickRegion(0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        (c.address ? ui().RBtnJushoKensaku : ui().RBtnBangoKensaku)->setChecked(true);
        QLineEdit* edit = c.address ? ui().EditJusho1 : ui().EditZip1;
        edit->setText(QString::fromUtf8(c.before));
        edit->setCursorPosition(edit->text().isEmpty() ? 0 : 1);
        edit->setFocus();
        const QString pasted = QString::fromUtf8(c.pasted);
        QGuiApplication::clipboard()->setText(pasted);
        switch (c.how) {
        case ShiftInsert: QTest::keyClick(edit, Qt::Key_Insert, Qt::ShiftModifier); break;
        case CtrlV: QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier); break;
        case Menu: {
            QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, QPoint(5, 5), edit->mapToGlobal(QPoint(5, 5)));
            QApplication::sendEvent(edit, &menuEvent);
            QMenu* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            ASSERT_NE(menu, nullptr);
            QAction* paste = nullptr;
            for (QAction* a : menu->actions()) {
                if (a->text().startsWith(QLineEdit::tr("&Paste"))) paste = a;
            }
            ASSERT_NE(paste, nullptr);
            paste->trigger();
            menu->close();
            break;
        }
        case Drop: {
            QMimeData data;
            data.setText(pasted);
            // A drop goes to the widget that took the drag's entry.
            QDragEnterEvent enter(QPoint(edit->width() - 2, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(edit, &enter);
            ASSERT_TRUE(enter.isAccepted());
            QDropEvent drop(QPointF(edit->width() - 2, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(edit, &drop);
            EXPECT_TRUE(drop.isAccepted());
            break;
        }
        }
        EXPECT_EQ(edit->text(), QString::fromUtf8(c.kept));
    }
    EXPECT_TRUE(notes.log.isEmpty()) << notes.log.join(u'|').toStdString();

    // What is kept is searched as typed text would be.
    ui().RBtnBangoKensaku->setChecked(true);
    ui().EditZip1->setFocus();
    QGuiApplication::clipboard()->setText(QStringLiteral("1000001\n"));
    QTest::keyClick(ui().EditZip1, Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(ui().PanelInfo->Caption(), QStringLiteral("先頭の郵便番号のみでも検索可能です"));
    enter(ui().EditZip1);
    EXPECT_EQ(ui().PanelInfo->Caption(), QStringLiteral("検索が完了しました"));
    EXPECT_FALSE(ui().EditJusho->text().isEmpty());
}

TEST_F(WindowTest, TaskBarsNameTheWindowByTheProductTitle) {
    setApplicationTitle(QStringLiteral("Tenmariソフト"));
    TFormMain& w = open();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Tenmari"));
    EXPECT_EQ(w.windowIconText(), QStringLiteral("Tenmariソフト"));
    setApplicationTitle(QString());
}

// A centred caption keeps a pixel of air inside the 2-pixel raised edge on
// both sides; "結果をｺﾋﾟｰ" ran into the right edge.
TEST_F(WindowTest, EveryButtonCaptionFitsInsideItsEdge) {
    open();
    for (TplButton* b : window->findChildren<TplButton*>()) {
        for (TplBtnCaption* c : {b->CaptionA(), b->CaptionB()}) {
            if (c->Caption().isEmpty() || c->Alignment() != TplButton::taCenter) continue;
            EXPECT_LE(b->fontMetrics().horizontalAdvance(c->Caption()), b->width() - 6)
                << b->objectName().toStdString() << ": " << c->Caption().toStdString();
        }
    }
}

TEST_F(WindowTest, LongCandidatesShowTheWholeEntryAsTheirToolTip) {
    open();
    pickRegion(0);
    ui().RBtnJushoKensaku->setChecked(true);
    QListView* list = ui().ListBox1;
    type(ui().EditJusho1, QStringLiteral("東京都"));
    enter(ui().EditJusho1);
    ASSERT_GT(list->model()->rowCount(), 0);
    const QModelIndex first = list->model()->index(0, 0);
    const QString shortText = first.data().toString();
    ASSERT_LT(list->fontMetrics().horizontalAdvance(shortText), list->viewport()->width() - 10);

    const auto tipAt = [list](const QModelIndex& index) {
        const QPoint p = list->visualRect(index).center();
        QHelpEvent help(QEvent::ToolTip, p, list->viewport()->mapToGlobal(p));
        QApplication::sendEvent(list->viewport(), &help);
        const QString tip = QToolTip::isVisible() ? QToolTip::text() : QString();
        QToolTip::hideText();
        return tip;
    };
    EXPECT_EQ(tipAt(first), QString()) << "a row shown whole needs no tip";

    // The same row in a list too narrow for it: cut, so the tip tells it.
    list->resize(list->fontMetrics().horizontalAdvance(shortText) / 2, list->height());
    EXPECT_EQ(tipAt(first), shortText);

    // The tip is drawn in the list's font, the window's, with room beside its text.
    const QPoint p = list->visualRect(first).center();
    QHelpEvent help(QEvent::ToolTip, p, list->viewport()->mapToGlobal(p));
    QApplication::sendEvent(list->viewport(), &help);
    QLabel* tip = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->inherits("QTipLabel") && w->isVisible()) tip = qobject_cast<QLabel*>(w);
    }
    ASSERT_NE(tip, nullptr);
    EXPECT_EQ(QFontInfo(tip->font()).family(), QFontInfo(list->font()).family());
    EXPECT_EQ(tip->font().pixelSize(), list->font().pixelSize());
    EXPECT_GE(tip->width(), QFontMetrics(tip->font()).horizontalAdvance(shortText) + 2 * tip->margin() + 6);
    QToolTip::hideText();
}

TEST(DesignIconTest, ButtonPicturesKeepAMarginInsideTheirCell) {
    for (const char* name : {"search", "setting", "help", "close"}) {
        const QIcon icon = designIcon(QLatin1String(name), {{32, 32}, {48, 48}});
        for (const int size : {32, 48}) {
            for (const qreal scale : {1.0, 2.0}) {
                const QImage img = icon.pixmap(QSize(size, size), scale).toImage();
                const int ring = static_cast<int>(size * scale) / 16;  // 2 px at 32, 3 at 48
                bool clear = true;
                bool drawn = false;
                for (int y = 0; y < img.height(); ++y) {
                    for (int x = 0; x < img.width(); ++x) {
                        const bool edge = x < ring || y < ring || x >= img.width() - ring || y >= img.height() - ring;
                        const bool opaque = qAlpha(img.pixel(x, y)) > 0;
                        if (edge && opaque) clear = false;
                        if (!edge && opaque) drawn = true;
                    }
                }
                EXPECT_TRUE(clear) << name << " at " << size << " x" << scale << ": the picture reaches its edge";
                EXPECT_TRUE(drawn) << name << " at " << size << " x" << scale;
            }
        }
    }
    // The emblem fills its frame.
    const QImage emblem = designIcon(QStringLiteral("emblem"), {{52, 52}}, IconCell::EdgeToEdge).pixmap(52).toImage();
    EXPECT_GT(qAlpha(emblem.pixel(1, 26)), 0);
}

TEST(DesignIconTest, TheDisabledPictureIsAnOutlineNotABlob) {
    // The disabled search button embosses every non-white pixel of the
    // picture it is given; of the drawing's inside, most must be left out.
    const QIcon icon = designIcon(QStringLiteral("search"), {{32, 32}, {48, 48}});
    const QImage normal = icon.pixmap(QSize(48, 48), 1.0).toImage().convertToFormat(QImage::Format_ARGB32);
    const QImage disabled =
        icon.pixmap(QSize(48, 48), 1.0, QIcon::Disabled).toImage().convertToFormat(QImage::Format_ARGB32);
    int shape = 0;
    int embossed = 0;
    for (int y = 0; y < normal.height(); ++y) {
        for (int x = 0; x < normal.width(); ++x) {
            if (qAlpha(normal.pixel(x, y)) < 128) continue;
            ++shape;
            const QRgb d = disabled.pixel(x, y);
            if (qAlpha(d) >= 128 && (d & 0x00FFFFFFu) != 0x00FFFFFFu) ++embossed;
        }
    }
    ASSERT_GT(shape, 200);
    EXPECT_GT(embossed, shape / 10) << "the outline is there";
    EXPECT_LT(embossed, shape * 2 / 3) << "the inside is left out";
}

// ---------------------------------------------------------------------------
// A CSV list dropped on the window.

// Drags `data` over the window's middle and drops it there, as a drag from a
// file manager does; true when the window took the drag.
bool dropOn(QWidget* w, QMimeData& data) {
    const QPointF at(w->width() / 2.0, w->height() / 2.0);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &drop);
    QCoreApplication::processEvents();
    return drop.isAccepted();
}

QStringList filesIn(const QString& folder) {
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    names.sort();
    return names;
}

TEST_F(WindowTest, ADroppedCsvFileIsWrittenBesideItWithOneMessage) {
    TFormMain& w = open();
    QTemporaryDir lists;
    const QString in = lists.filePath(QStringLiteral("顧客.csv"));
    const QByteArray sheet = tenmari::utf8ToCp932(
                                 "名前,住所\r\n\"山田, 太郎\",東京都千代田区千代田１－１\r\n"
                                 "ソ表,北海道旭川市若葉台\r\n鈴木,沖縄県どこか\r\n佐藤,北海道旭川市若葉台３丁目\r\n")
                                 .c_str();
    {
        QFile f(in);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(sheet);
    }
    const QSize size = w.size();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(in)});
    ASSERT_TRUE(dropOn(&w, data));
    QFile out(lists.filePath(QStringLiteral("顧客_郵便番号.csv")));
    ASSERT_TRUE(out.open(QIODevice::ReadOnly));
    EXPECT_EQ(
        out.readAll().toStdString(),
        tenmari::utf8ToCp932("名前,住所,郵便番号,確認\r\n\"山田, 太郎\",東京都千代田区千代田１－１,1000001,\r\n"
                             "ソ表,北海道旭川市若葉台,,ambiguous 0700931 0700932\r\n鈴木,沖縄県どこか,,prefecture\r\n"
                             "佐藤,北海道旭川市若葉台３丁目,0700931,\r\n"));
    EXPECT_EQ(notes.log, QStringList{QStringLiteral("郵便番号を入れて書き出しました：顧客_郵便番号.csv\n\n"
                                                    "行数：4\n郵便番号を入れた行：2\n番地まで分かった行：1\n"
                                                    "候補が複数ある行：1\n見つからない行：1")});
    EXPECT_EQ(w.size(), size);
    // Dropped again: the output is there already and is kept.
    notes.log.clear();
    ASSERT_TRUE(dropOn(&w, data));
    ASSERT_EQ(notes.log.size(), 2);
    EXPECT_EQ(notes.log[0], QStringLiteral("beep"));
    EXPECT_TRUE(notes.log[1].contains(QStringLiteral("既にあります"))) << notes.log[1].toStdString();
    EXPECT_EQ(filesIn(lists.path()), (QStringList{QStringLiteral("顧客.csv"), QStringLiteral("顧客_郵便番号.csv")}));
}

TEST_F(WindowTest, AnyOtherDropIsRefusedWithOneMessageAndChangesNothing) {
    TFormMain& w = open();
    QTemporaryDir lists;
    for (const char* name : {"a.csv", "b.csv", "notes.txt", "bad.csv"}) {
        QFile f(lists.filePath(QString::fromUtf8(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(std::string_view(name) == "bad.csv" ? "住所\n\"東京都\n" : "住所\n東京都千代田区千代田\n");
    }
    QDir(lists.path()).mkdir(QStringLiteral("folder.csv"));
    const QStringList before = filesIn(lists.path());
    const auto file = [&](const char* name) { return QUrl::fromLocalFile(lists.filePath(QString::fromUtf8(name))); };
    struct Bad {
        const char* what;
        std::function<void(QMimeData&)> fill;
        const char* says;
    };
    const std::vector<Bad> bad = {
        {"text", [](QMimeData& d) { d.setText(QStringLiteral("東京都千代田区千代田")); }, "ﾌｧｲﾙ以外"},
        {"a web address", [](QMimeData& d) { d.setUrls({QUrl(QStringLiteral("https://example.com/a.csv"))}); },
         "ﾌｧｲﾙ以外"},
        {"two files",
         [&](QMimeData& d) {
             d.setUrls({file("a.csv"), file("b.csv")});
         },
         "1つだけ"},
        {"a folder", [&](QMimeData& d) { d.setUrls({file("folder.csv")}); }, "ﾌｫﾙﾀﾞ"},
        {"not CSV", [&](QMimeData& d) { d.setUrls({file("notes.txt")}); }, "notes.txt"},
        {"a CSV file that cannot be read as one", [&](QMimeData& d) { d.setUrls({file("bad.csv")}); }, "2行目で始まる"},
    };
    ui().EditZip1->setText(QStringLiteral("100"));
    for (const Bad& b : bad) {
        SCOPED_TRACE(b.what);
        notes.log.clear();
        QMimeData data;
        b.fill(data);
        ASSERT_TRUE(dropOn(&w, data));
        ASSERT_EQ(notes.log.size(), 2) << notes.log.join(u'|').toStdString();
        EXPECT_EQ(notes.log[0], QStringLiteral("beep"));
        EXPECT_TRUE(notes.log[1].contains(QString::fromUtf8(b.says))) << notes.log[1].toStdString();
        EXPECT_EQ(filesIn(lists.path()), before);
        EXPECT_EQ(ui().EditZip1->text(), QStringLiteral("100"));
    }
}

// A conversion cancelled from its progress writes nothing and says nothing.
TEST_F(WindowTest, ACancelledDropLeavesNothingWritten) {
    class Cancel : public SheetDropProgress {
    public:
        bool step(int) override { return false; }
    };
    QTemporaryDir lists;
    const QString in = lists.filePath(QStringLiteral("a.csv"));
    {
        QFile f(in);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("住所\n東京都千代田区千代田\n");
    }
    SheetDropModel model([] { return std::make_unique<tenmari::sheet::test::FakeAnswerer>(); },
                         [] { return std::make_unique<Cancel>(); });
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(in)});
    EXPECT_EQ(model.drop(data), SheetDropModel::Outcome::cancelled);
    EXPECT_TRUE(notes.log.isEmpty());
    EXPECT_EQ(filesIn(lists.path()), QStringList{QStringLiteral("a.csv")});
}

}  // namespace
