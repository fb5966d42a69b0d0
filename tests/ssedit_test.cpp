// The validating edit as a control: focus in and out, the length filter,
// Enter moving the focus, and the reports of failed checks.
#include "AnsiText.h"
#include "Notifier.h"
#include "SsEdit.h"
#include "WindowTextCases.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QPixmap>
#include <QVBoxLayout>
#include <QWidget>
#include <memory>

// Readable failures.
static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace tenmari {
namespace {

void press(QWidget* w, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString& text = {}) {
    QKeyEvent down(QEvent::KeyPress, key, mods, text);
    QApplication::sendEvent(w, &down);
    QKeyEvent up(QEvent::KeyRelease, key, mods, text);
    QApplication::sendEvent(w, &up);
}

void type(QWidget* w, const QString& text) {
    for (QChar c : text) press(w, Qt::Key_unknown, Qt::NoModifier, QString(c));
}

// A window with three edits in tab order, shown and active.
class EditForm : public ::testing::Test {
protected:
    void SetUp() override {
        window = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(window.get());
        for (TSsEdit*& e : edits) {
            e = new TSsEdit(window.get());
            layout->addWidget(e);
            QObject::connect(e, &TSsEdit::OnInvalid, [this](QObject* sender, const QString& msg) {
                reports.append(msg);
                senders.append(sender);
            });
        }
        // Last in tab order, it takes the focus the window gives on showing.
        elsewhere = new QLineEdit(window.get());
        layout->addWidget(elsewhere);
        window->show();
        window->activateWindow();
        QApplication::processEvents();
        ASSERT_TRUE(window->isActiveWindow());
        focus(elsewhere);
        reports.clear();
    }

    void focus(QWidget* w, Qt::FocusReason reason = Qt::TabFocusReason) {
        w->setFocus(reason);
        QApplication::processEvents();
    }

    std::unique_ptr<QWidget> window;
    TSsEdit* edits[3] = {};
    QLineEdit* elsewhere = nullptr;
    QStringList reports;
    QList<QObject*> senders;
};

TEST(SsEditTest, Defaults) {
    TSsEdit e;
    EXPECT_EQ(e.size(), QSize(121, 20));
    EXPECT_EQ(e.Alignment(), TSsEdit::taLeftJustify);
    EXPECT_EQ(e.EditOption().EditStyle, esNone);
    EXPECT_EQ(e.EditOption().Length.MaxLength, 0);
    EXPECT_EQ(e.EditOption().Length.DecLength, 0);
    EXPECT_FALSE(e.EditOption().DoEmptyCheck);
    EXPECT_EQ(e.EditOption().InputMethod, imFull);
    EXPECT_FALSE(e.EditOption().MoveByEnter);
    EXPECT_FALSE(e.TextAssigned());
    EXPECT_EQ(e.focusPolicy(), Qt::StrongFocus);
}

TEST(SsEditTest, KeepsItsTextCursorWhenReadOnly) {
    // The page counter is read-only and still shows the text cursor.
    TSsEdit e;
    EXPECT_EQ(e.cursor().shape(), Qt::IBeamCursor);
    e.setReadOnly(true);
    EXPECT_EQ(e.cursor().shape(), Qt::IBeamCursor);
    e.setReadOnly(false);
    EXPECT_EQ(e.cursor().shape(), Qt::IBeamCursor);
    // A form file sets it by property; a cursor given to the field stays.
    e.setCursor(Qt::PointingHandCursor);
    EXPECT_TRUE(e.setProperty("readOnly", true));
    EXPECT_EQ(e.cursor().shape(), Qt::PointingHandCursor);
    e.setReadOnly(false);
    EXPECT_EQ(e.cursor().shape(), Qt::PointingHandCursor);
    // A cursor of its own picture too.
    QPixmap picture(16, 16);
    picture.fill(Qt::red);
    e.setCursor(QCursor(picture, 3, 4));
    e.setReadOnly(true);
    EXPECT_EQ(e.cursor().shape(), Qt::BitmapCursor);
    EXPECT_EQ(e.cursor().hotSpot(), QPoint(3, 4));
}

TEST(SsEditTest, FormPropertiesReachTheOptions) {
    TSsEdit e;
    EXPECT_TRUE(e.setProperty("EditStyle", QStringLiteral("esDate")));
    EXPECT_TRUE(e.setProperty("InputMethod", QStringLiteral("imEasy")));
    EXPECT_TRUE(e.setProperty("MaxLength", 8));
    EXPECT_TRUE(e.setProperty("DecLength", 9));
    EXPECT_TRUE(e.setProperty("DoEmptyCheck", true));
    EXPECT_TRUE(e.setProperty("MoveByEnter", true));
    EXPECT_TRUE(e.setProperty("Alignment", QStringLiteral("taCenter")));
    EXPECT_TRUE(e.setProperty("Text", QStringLiteral("0/7")));
    EXPECT_EQ(e.EditOption().EditStyle, esDate);
    EXPECT_EQ(e.EditOption().InputMethod, imEasy);
    EXPECT_EQ(e.EditOption().Length.MaxLength, 8);
    EXPECT_EQ(e.EditOption().Length.DecLength, 4);  // limited to 0-4
    EXPECT_TRUE(e.EditOption().DoEmptyCheck);
    EXPECT_TRUE(e.EditOption().MoveByEnter);
    EXPECT_EQ(e.Alignment(), TSsEdit::taCenter);
    EXPECT_EQ(e.alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_EQ(e.Text(), "0/7");  // not a date, but the first write is silent
    EXPECT_TRUE(e.TextAssigned());
}

TEST(SsEditTest, AlignmentsMapToTheField) {
    TSsEdit e;
    const std::pair<TSsEdit::TAlignment, Qt::Alignment> cases[] = {{TSsEdit::taRightJustify, Qt::AlignRight},
                                                                   {TSsEdit::taCenter, Qt::AlignHCenter},
                                                                   {TSsEdit::taLeftJustify, Qt::AlignLeft}};
    for (const auto& [ours, qt] : cases) {
        e.SetAlignment(ours);
        EXPECT_EQ(e.alignment() & Qt::AlignHorizontal_Mask, qt);
    }
}

TEST(SsEditTest, FirstWriteFormatsLaterWritesStoreAsGiven) {
    TSsEdit e;
    e.EditOption().EditStyle = esComma;
    e.SetText("1234");
    EXPECT_EQ(e.Text(), "1,234");
    e.SetText("1234");
    EXPECT_EQ(e.Text(), "1234");

    TSsEdit silent;
    silent.EditOption().EditStyle = esComma;
    silent.SetText("12a");
    EXPECT_EQ(silent.Text(), "12a");

    TSsEdit failing;
    failing.EditOption().EditStyle = esComma;
    EXPECT_THROW(failing.SetText(".5"), SsEditError);
    EXPECT_FALSE(failing.TextAssigned());
}

TEST_F(EditForm, FocusRoundTripShowsEditingThenDisplayForm) {
    TSsEdit* e = edits[0];
    e->EditOption().EditStyle = esMoney;
    e->SetText("1234");
    ASSERT_EQ(e->Text(), QStringLiteral("¥1,234"));
    focus(e);
    EXPECT_EQ(e->Text(), "1234");
    EXPECT_EQ(e->selectedText(), "1234");
    type(e, "1234567");
    focus(edits[1]);
    EXPECT_EQ(e->Text(), QStringLiteral("¥1,234,567"));
    EXPECT_TRUE(edits[1]->hasFocus());
    EXPECT_TRUE(reports.isEmpty());
}

TEST_F(EditForm, DateAndTimeFieldsStripTheirSeparatorsOnEntry) {
    edits[0]->EditOption().EditStyle = esDate;
    edits[0]->SetText("20051116");
    edits[1]->EditOption().EditStyle = esTime;
    edits[1]->SetText("123045");
    EXPECT_EQ(edits[0]->Text(), "2005/11/16");
    EXPECT_EQ(edits[1]->Text(), "12:30:45");
    focus(edits[0]);
    EXPECT_EQ(edits[0]->Text(), "20051116");
    focus(edits[1]);
    EXPECT_EQ(edits[0]->Text(), "2005/11/16");
    EXPECT_EQ(edits[1]->Text(), "123045");
}

TEST_F(EditForm, FailedCheckReportsSelectsAndTakesTheFocusBack) {
    TSsEdit* e = edits[0];
    e->EditOption().EditStyle = esDate;
    e->SetText("20051116");
    focus(e);
    type(e, "20050230");
    focus(edits[1]);
    ASSERT_EQ(reports, QStringList{"入力値 20050230 は，日付として認識できません"});
    EXPECT_EQ(senders.front(), e);
    EXPECT_TRUE(e->hasFocus());
    EXPECT_FALSE(edits[1]->hasFocus());
    EXPECT_EQ(e->Text(), "20050230");
    EXPECT_EQ(e->selectedText(), "20050230");

    // Typing goes to the field again; a valid value lets the focus go.
    type(e, "20040229");
    focus(edits[2], Qt::MouseFocusReason);
    EXPECT_EQ(reports.size(), 1);
    EXPECT_EQ(e->Text(), "2004/02/29");
    EXPECT_TRUE(edits[2]->hasFocus());
}

TEST_F(EditForm, FieldNeverWrittenStaysSilentOnFirstExitOnly) {
    TSsEdit* e = edits[0];
    e->EditOption().EditStyle = esComma;
    focus(e);
    type(e, "12a");
    focus(edits[1]);
    EXPECT_TRUE(reports.isEmpty());
    EXPECT_EQ(e->Text(), "12a");
    EXPECT_TRUE(e->TextAssigned());
    focus(e);
    focus(edits[1]);
    EXPECT_EQ(reports, QStringList{"入力値 12a は，数値として認識できません"});
    EXPECT_TRUE(e->hasFocus());
}

TEST_F(EditForm, EmptyFieldIsCheckedOnlyWhenAsked) {
    focus(edits[0]);
    focus(edits[1]);
    EXPECT_TRUE(reports.isEmpty());
    edits[1]->EditOption().DoEmptyCheck = true;
    focus(edits[2]);
    EXPECT_EQ(reports, QStringList{"値が入っていません"});
    EXPECT_TRUE(edits[1]->hasFocus());
}

TEST_F(EditForm, TooLongTextIsReportedOnExit) {
    TSsEdit* e = edits[0];
    e->EditOption().Length.MaxLength = 5;
    focus(e);
    type(e, "あい");
    type(e, "う");  // 4 bytes so far, so one more character still goes in
    EXPECT_EQ(e->Text(), "あいう");
    focus(edits[1]);
    EXPECT_EQ(reports, QStringList{"入力値 あいう は，最大入力文字数を超えています"});
}

TEST(SsEditLengthTest, FilterRefusesCharactersOnceFull) {
    struct Case {
        const char* name;
        int selStart, selLength;
        bool backspace;
        QString expected;
    };
    const Case cases[] = {
        {"typing at the end", 5, 0, false, "abcde"},
        {"backspace", 5, 0, true, "abcd"},
        {"all selected", 0, 5, false, "f"},
        {"two selected", 1, 2, false, "abcde"},
    };
    for (const Case& c : cases) {
        TSsEdit e;
        e.EditOption().Length.MaxLength = 5;
        e.SetText("abcde");
        e.setSelection(c.selStart, c.selLength);
        if (c.selLength == 0) e.setCursorPosition(c.selStart);
        if (c.backspace) {
            press(&e, Qt::Key_Backspace, Qt::NoModifier, "\b");
        } else {
            type(&e, "f");
        }
        EXPECT_EQ(e.Text(), c.expected) << c.name;
    }
}

TEST(SsEditLengthTest, FullWidthSelectionCountsInBytes) {
    TSsEdit e;
    e.EditOption().Length.MaxLength = 4;
    e.SetText("あい");
    e.setSelection(0, 1);  // "あ" is 2 bytes, less than 4
    type(&e, "x");
    EXPECT_EQ(e.Text(), "あい");
    e.setSelection(0, 2);
    type(&e, "x");
    EXPECT_EQ(e.Text(), "x");
}

TEST(SsEditLengthTest, NoLimitWithoutMaxLength) {
    TSsEdit e;
    e.SetText("abcde");
    e.setCursorPosition(5);
    type(&e, "fgh");
    EXPECT_EQ(e.Text(), "abcdefgh");

    // Nor does the line edit's own limit cut long texts.
    const QString longText(40000, u'9');
    e.SetText(longText);
    e.setCursorPosition(40000);
    type(&e, "1");
    EXPECT_EQ(e.Text(), longText + "1");
}

TEST_F(EditForm, EnterMovesTheFocusShiftAloneBackwards) {
    struct Case {
        const char* name;
        Qt::KeyboardModifiers mods;
        Qt::Key key;
        int expectedFocus;
    };
    const Case cases[] = {
        {"Enter", Qt::NoModifier, Qt::Key_Return, 2},
        {"keypad Enter", Qt::KeypadModifier, Qt::Key_Enter, 2},
        {"Shift+Enter", Qt::ShiftModifier, Qt::Key_Return, 0},
        {"Ctrl+Enter", Qt::ControlModifier, Qt::Key_Return, 2},
        {"Ctrl+Shift+Enter", Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_Return, 2},
    };
    for (TSsEdit* e : edits) e->EditOption().MoveByEnter = true;
    for (const Case& c : cases) {
        focus(edits[1]);
        int returns = 0;
        const auto connection = QObject::connect(edits[1], &QLineEdit::returnPressed, [&] { ++returns; });
        press(edits[1], c.key, c.mods, "\r");
        EXPECT_EQ(returns, 1) << c.name << ": the key still reaches the field";
        QApplication::processEvents();
        EXPECT_TRUE(edits[c.expectedFocus]->hasFocus()) << c.name;
        QObject::disconnect(connection);
    }
}

TEST_F(EditForm, EnterStaysWithoutMoveByEnter) {
    focus(edits[1]);
    press(edits[1], Qt::Key_Return, Qt::NoModifier, "\r");
    QApplication::processEvents();
    EXPECT_TRUE(edits[1]->hasFocus());
}

class RecordingNotifier final : public Notifier {
public:
    QStringList shown;
    void beep() override { shown.append("beep"); }
    void message(const QString& text) override { shown.append(text); }
    void error(const QString& text) override { shown.append(text); }
};

TEST_F(EditForm, WithoutOnInvalidAFailedCheckShowsNothingButTakesTheFocusBack) {
    RecordingNotifier recorder;
    setNotifier(&recorder);
    TSsEdit* e = edits[0];
    QObject::disconnect(e, &TSsEdit::OnInvalid, nullptr, nullptr);
    e->EditOption().EditStyle = esTime;
    e->SetText("123045");
    focus(e);
    type(e, "246000");
    focus(edits[1]);
    setNotifier(nullptr);
    EXPECT_TRUE(recorder.shown.isEmpty());
    EXPECT_TRUE(reports.isEmpty());
    EXPECT_TRUE(e->hasFocus());
    EXPECT_EQ(e->selectedText(), "246000");
}

TEST_F(EditForm, EasyDateInputCompletesFromTheFieldClock) {
    TSsEdit* e = edits[0];
    e->EditOption().EditStyle = esDate;
    e->EditOption().InputMethod = imEasy;
    e->SetClock([] { return QDateTime(QDate(2005, 11, 16), QTime(9, 41, 7)); });
    e->SetText("20051116");
    focus(e);
    type(e, "25");
    focus(edits[1]);
    EXPECT_EQ(e->Text(), "2005/11/25");
    focus(e);
    type(e, "1345");
    focus(edits[1]);
    EXPECT_EQ(reports, QStringList{"入力値 20051345 は，日付として認識できません"});
    EXPECT_EQ(e->Text(), "1345");
}

// Input that arrives as several characters at once is limited character by
// character, as if typed one at a time.
TEST(SsEditLengthTest, SeveralCharactersAtOnceAreCheckedOneByOne) {
    struct Case {
        const char* name;
        QString text;
        int selStart, selLength;
        QString input;
        QString expected;
    };
    const Case cases[] = {
        {"two full-width into one free byte", "abcd", 4, 0, "日本", "abcd日"},
        {"stops at the limit", "ab", 2, 0, "cdefg", "abcde"},
        {"nothing once full", "abcde", 5, 0, "日本", "abcde"},
        {"replacing all, then to the limit", "abcde", 0, 5, "xyz123", "xyz12"},
        {"replacing too little", "abcde", 1, 2, "xy", "abcde"},
        {"a surrogate pair is one character", "abc", 3, 0, QString::fromUtf8("\xF0\x9F\x98\x80x"),
         QString::fromUtf8("abc\xF0\x9F\x98\x80")},
    };
    for (const bool byInputMethod : {true, false}) {
        for (const Case& c : cases) {
            TSsEdit e;
            e.EditOption().Length.MaxLength = 5;
            e.SetText(c.text);
            e.setCursorPosition(c.selStart);
            if (c.selLength > 0) e.setSelection(c.selStart, c.selLength);
            if (byInputMethod) {
                QInputMethodEvent commit(QString(), {});
                commit.setCommitString(c.input);
                QApplication::sendEvent(&e, &commit);
            } else {
                press(&e, Qt::Key_unknown, Qt::NoModifier, c.input);
            }
            EXPECT_EQ(e.Text(), c.expected) << c.name << (byInputMethod ? " (input method)" : " (key)");
        }
    }
}

TEST(SsEditTest, EasyDateFieldWrittenEmptyFirstShowsToday) {
    TSsEdit e;
    e.EditOption().EditStyle = esDate;
    e.EditOption().InputMethod = imEasy;
    e.SetClock([] { return QDateTime(QDate(2005, 11, 16), QTime(9, 41, 7)); });
    e.SetText("");
    EXPECT_EQ(e.Text(), "2005/11/16");
}

TEST(SsEditLengthTest, InputMethodCommitsObeyTheLimitToo) {
    TSsEdit e;
    e.EditOption().Length.MaxLength = 4;
    e.SetText("あい");
    e.setCursorPosition(2);
    QInputMethodEvent commit(QString(), {});
    commit.setCommitString("う");
    QApplication::sendEvent(&e, &commit);
    EXPECT_EQ(e.Text(), "あい");
    e.selectAll();
    QInputMethodEvent replace(QString(), {});
    replace.setCommitString("う");
    QApplication::sendEvent(&e, &replace);
    EXPECT_EQ(e.Text(), "う");
}

// Every character fills exactly as many bytes of the limit as it is stored
// as: a field left one byte short still takes another character, a field
// filled to the limit by it takes none, whether it came by key or by input
// method.
TEST(SsEditLengthTest, EachCharacterTakesItsStoredBytesOfTheLimit) {
    constexpr int kMax = 8;
    for (const auto& c : testing::kWindowTextCases) {
        const QString ch = QString::fromUtf8(c.utf8.data(), static_cast<qsizetype>(c.utf8.size()));
        const int size = static_cast<int>(c.bytes.size());
        EXPECT_EQ(toAnsiBytes(ch), QByteArray(c.bytes.data(), size)) << c.what;
        EXPECT_EQ(ansiLength(ch), size) << c.what;
        for (const bool byInputMethod : {true, false}) {
            for (const int free : {size, size + 1}) {
                TSsEdit e;
                e.EditOption().Length.MaxLength = kMax;
                e.SetText(QString(kMax - free, QLatin1Char('a')));
                e.setCursorPosition(kMax - free);
                for (const QString& input : {ch, QStringLiteral("b")}) {
                    if (byInputMethod) {
                        QInputMethodEvent commit(QString(), {});
                        commit.setCommitString(input);
                        QApplication::sendEvent(&e, &commit);
                    } else {
                        press(&e, Qt::Key_unknown, Qt::NoModifier, input);
                    }
                }
                const QString filled = QString(kMax - free, QLatin1Char('a')) + ch;
                EXPECT_EQ(e.Text(), free == size ? filled : filled + QLatin1Char('b'))
                    << c.what << (byInputMethod ? " (input method)" : " (key)") << ", " << free << " bytes free";
            }
        }
    }
}

}  // namespace
}  // namespace tenmari
