#pragma once
// TSsEdit: a single-line edit with an editing form of its value while it has
// the focus and a display form after it is left (grouped numbers, money,
// dates, times). Leaving the field validates the value; a failed check is
// reported through OnInvalid and the focus goes back to the field. Typing is
// limited to a byte length, and Enter can move on to the next field.

#include "DesignProperty.h"
#include "SsEditRules.h"

#include <QCursor>
#include <QDateTime>
#include <QLineEdit>
#include <functional>

namespace tenmari {

class TSsEdit : public QLineEdit {
    Q_OBJECT

public:
    enum TAlignment { taLeftJustify, taRightJustify, taCenter };
    Q_ENUM(TAlignment)

    explicit TSsEdit(QWidget* parent = nullptr);

    // Design settings, also set by form files. setText() and setMaxLength()
    // thus replace the line edit's own: the text goes through SetText(), and
    // the limit is the byte limit of EditOption (the line edit's own limit
    // stays off). setAlignment() adds the field's alignments to the line
    // edit's own.
    TENMARI_DESIGN_PROPERTY(TAlignment, Alignment)
    TENMARI_DESIGN_PROPERTY(QString, Text)
    // EditOption, field by field.
    TENMARI_DESIGN_PROPERTY(tenmari::TSsEditOption::TSsEditStyle, EditStyle)
    TENMARI_DESIGN_PROPERTY(int, MaxLength)
    TENMARI_DESIGN_PROPERTY(int, DecLength)
    TENMARI_DESIGN_PROPERTY(bool, DoEmptyCheck)
    TENMARI_DESIGN_PROPERTY(tenmari::TSsEditOption::TInputMethod, InputMethod)
    TENMARI_DESIGN_PROPERTY(bool, MoveByEnter)
    using QLineEdit::setAlignment;

    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment value);

    TSsEditOption& EditOption() { return option_; }
    const TSsEditOption& EditOption() const { return option_; }

    // The text as shown.
    QString Text() const { return text(); }
    // The first write stores the display form of value (its checks silent);
    // later writes store value unchanged. Throws SsEditError when the first
    // write meets an integer part that does not convert.
    void SetText(const QString& value);
    bool TextAssigned() const { return textAssigned_; }

    TSsEditStyle EditStyle() const { return option_.EditStyle; }
    void SetEditStyle(TSsEditStyle value) { option_.EditStyle = value; }
    int MaxLength() const { return option_.Length.MaxLength; }
    void SetMaxLength(int value) { option_.Length.MaxLength = value; }
    int DecLength() const { return option_.Length.DecLength; }
    void SetDecLength(int value);  // 0 to 4
    bool DoEmptyCheck() const { return option_.DoEmptyCheck; }
    void SetDoEmptyCheck(bool value) { option_.DoEmptyCheck = value; }
    TInputMethod InputMethod() const { return option_.InputMethod; }
    void SetInputMethod(TInputMethod value) { option_.InputMethod = value; }
    bool MoveByEnter() const { return option_.MoveByEnter; }
    void SetMoveByEnter(bool value) { option_.MoveByEnter = value; }

    // The clock of easy date and time input; the local time unless replaced.
    using Clock = std::function<QDateTime()>;
    void SetClock(Clock clock);

signals:
    void OnInvalid(QObject* sender, const QString& Msg);

protected:
    // A check failed: tell OnInvalid, select everything, take the focus back.
    virtual void DoInvalid(const QString& Msg);

    bool event(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

private:
    // The length limit refuses one more typed character.
    bool refusesCharacter() const;
    // How much of input (in UTF-16 units) the length limit lets in when its
    // characters arrive one by one: each replaces the selection, or is
    // refused once the text has MaxLength bytes. removedBytes is text that
    // the input deletes besides the selection (an input method's replacement).
    qsizetype acceptedLength(const QString& input, int removedBytes = 0) const;
    void leaveField();

    TAlignment alignment_ = taLeftJustify;
    TSsEditOption option_;
    bool textAssigned_ = false;
    // Focus in the sense of entering and leaving the field: unchanged while
    // the window is inactive or a popup is open.
    bool entered_ = false;
    Clock clock_;
    // The mouse cursor the field was given, and the one before it: the line
    // edit switches to the arrow on becoming read-only (and to the I-beam on
    // becoming writable), and the field puts its own back.
    QCursor ownCursor_{Qt::IBeamCursor};
    QCursor cursorBefore_{Qt::IBeamCursor};
    bool restoringCursor_ = false;
};

}  // namespace tenmari
