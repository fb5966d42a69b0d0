#include "SsEdit.h"

#include "AnsiText.h"

#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QScopedValueRollback>
#include <algorithm>
#include <limits>

namespace tenmari {
namespace {

Qt::Alignment toQtAlignment(TSsEdit::TAlignment a) {
    switch (a) {
    case TSsEdit::taRightJustify: return Qt::AlignRight | Qt::AlignVCenter;
    case TSsEdit::taCenter: return Qt::AlignHCenter | Qt::AlignVCenter;
    case TSsEdit::taLeftJustify: break;
    }
    return Qt::AlignLeft | Qt::AlignVCenter;
}

// Keys that put text into the field: printable characters and paste.
bool insertsText(const QKeyEvent* e) {
    if (e->matches(QKeySequence::Paste)) return true;
    const QString t = e->text();
    const QList<uint> codePoints = t.toUcs4();  // a surrogate pair is one character
    return !t.isEmpty() && std::all_of(codePoints.begin(), codePoints.end(), [](uint c) { return QChar::isPrint(c); });
}

bool losesWindowOnly(Qt::FocusReason reason) {
    return reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason;
}

}  // namespace

TSsEdit::TSsEdit(QWidget* parent) : QLineEdit(parent), clock_([] { return QDateTime::currentDateTime(); }) {
    resize(121, 20);
    setCursor(Qt::IBeamCursor);
    setFocusPolicy(Qt::StrongFocus);
    // The line edit's own limit (32767 characters) is lifted; the byte limit
    // of EditOption is the only one.
    QLineEdit::setMaxLength(std::numeric_limits<int>::max());
    QLineEdit::setAlignment(toQtAlignment(alignment_));
}

void TSsEdit::SetAlignment(TAlignment value) {
    if (alignment_ == value) return;
    alignment_ = value;
    QLineEdit::setAlignment(toQtAlignment(value));
}

void TSsEdit::SetText(const QString& value) {
    if (textAssigned_) {
        QLineEdit::setText(value);
        return;
    }
    QLineEdit::setText(FormatValue(option_.EditStyle, value, option_, false, clock_()));
    textAssigned_ = true;
}

void TSsEdit::SetDecLength(int value) { option_.Length.DecLength = std::clamp(value, 0, 4); }

void TSsEdit::SetClock(Clock clock) {
    clock_ = clock ? std::move(clock) : Clock([] { return QDateTime::currentDateTime(); });
}

void TSsEdit::DoInvalid(const QString& Msg) {
    emit OnInvalid(this, Msg);
    selectAll();
    if (isVisible() && isEnabled()) setFocus(Qt::OtherFocusReason);
}

bool TSsEdit::event(QEvent* event) {
    if (event->type() == QEvent::CursorChange && !restoringCursor_) {
        cursorBefore_ = ownCursor_;
        ownCursor_ = cursor();
    }
    const bool result = QLineEdit::event(event);
    if (event->type() == QEvent::ReadOnlyChange) {
        // The line edit has just set the arrow or the I-beam itself.
        const Qt::CursorShape lineEditCursor = isReadOnly() ? Qt::ArrowCursor : Qt::IBeamCursor;
        if (ownCursor_.shape() == lineEditCursor && cursorBefore_.shape() != lineEditCursor) {
            const QScopedValueRollback<bool> restoring(restoringCursor_, true);
            ownCursor_ = cursorBefore_;
            setCursor(ownCursor_);
        }
    }
    return result;
}

void TSsEdit::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    if (entered_) return;
    entered_ = true;
    if (!text().isEmpty()) {
        try {
            SetText(RemoveSeparators(option_.EditStyle, text()));
        } catch (const SsEditError&) {
            // Only a first write can fail here; leaving the field reports it.
        }
    }
    selectAll();
}

void TSsEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // Switching to another window or opening a menu does not leave the field.
    if (losesWindowOnly(event->reason()) || !entered_) return;
    entered_ = false;
    leaveField();
}

void TSsEdit::leaveField() {
    try {
        const QString value = text();
        if (!value.isEmpty()) {
            CheckMaxLength(value, option_.Length.MaxLength);
            SetText(FormatValue(option_.EditStyle, value, option_, textAssigned_, clock_()));
        } else if (option_.DoEmptyCheck) {
            throw SsEditError(EmptyValueMessage());
        }
    } catch (const SsEditError& error) {
        DoInvalid(error.Msg());
    }
}

bool TSsEdit::refusesCharacter() const { return acceptedLength(QStringLiteral(" ")) == 0; }

qsizetype TSsEdit::acceptedLength(const QString& input, int removedBytes) const {
    const int max = option_.Length.MaxLength;
    if (max <= 0) return input.size();
    int length = ansiLength(text()) - removedBytes;
    int selected = ansiLength(selectedText());
    qsizetype i = 0;
    while (i < input.size()) {
        // A character is refused when the text is full, unless it replaces a
        // selection of at least the whole limit.
        if (length >= max && selected < max) break;
        const qsizetype n = input.at(i).isHighSurrogate() && i + 1 < input.size() ? 2 : 1;
        length += ansiLength(input.mid(i, n)) - selected;
        selected = 0;
        i += n;
    }
    return i;
}

void TSsEdit::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (!enter && insertsText(event)) {
        if (event->matches(QKeySequence::Paste)) {
            // Paste counts as one typed character, as Ctrl+V does.
            if (refusesCharacter()) {
                event->accept();
                return;
            }
        } else {
            const QString typed = event->text();
            const qsizetype accepted = acceptedLength(typed);
            if (accepted == 0) {
                event->accept();
                return;
            }
            if (accepted < typed.size()) {
                QKeyEvent part(event->type(), event->key(), event->modifiers(), event->nativeScanCode(),
                               event->nativeVirtualKey(), event->nativeModifiers(), typed.left(accepted),
                               event->isAutoRepeat(), 1, event->device());
                QLineEdit::keyPressEvent(&part);
                event->setAccepted(part.isAccepted());
                return;
            }
        }
    }
    QLineEdit::keyPressEvent(event);
    if (enter && option_.MoveByEnter) {
        // Shift alone goes back, any other combination forward; the move
        // runs after the key has reached the field.
        const Qt::KeyboardModifiers mods =
            event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
        const bool next = mods != Qt::ShiftModifier;
        QMetaObject::invokeMethod(
            this, [this, next] { focusNextPrevChild(next); }, Qt::QueuedConnection);
    }
}

void TSsEdit::inputMethodEvent(QInputMethodEvent* event) {
    const QString commit = event->commitString();
    if (commit.isEmpty() || option_.Length.MaxLength <= 0) {
        QLineEdit::inputMethodEvent(event);
        return;
    }
    // Text the commit replaces around the cursor is gone before it arrives.
    int removedBytes = 0;
    if (event->replacementLength() > 0 && !hasSelectedText()) {
        removedBytes = ansiLength(text().mid(std::max<qsizetype>(0, cursorPosition() + event->replacementStart()),
                                             event->replacementLength()));
    }
    const qsizetype accepted = acceptedLength(commit, removedBytes);
    if (accepted == commit.size()) {
        QLineEdit::inputMethodEvent(event);
        return;
    }
    QInputMethodEvent limited(event->preeditString(), event->attributes());
    limited.setCommitString(commit.left(accepted), event->replacementStart(), event->replacementLength());
    QLineEdit::inputMethodEvent(&limited);
    event->accept();
}

}  // namespace tenmari
