#include "SingleLinePaste.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>

namespace tenmari {
namespace {

// The paste item of an edit's own menu: named "edit-paste" where Qt names
// its items, else known by its text (the shortcut follows a tab).
QAction* pasteItem(const QMenu& menu) {
    const QString text = QLineEdit::tr("&Paste");
    for (QAction* action : menu.actions()) {
        if (action->objectName() == QLatin1String("edit-paste") || action->text().section(u'\t', 0, 0) == text) {
            return action;
        }
    }
    return nullptr;
}

class FirstLinePaste final : public QObject {
public:
    explicit FirstLinePaste(QLineEdit* edit) : QObject(edit), edit_(edit) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != edit_ || edit_->isReadOnly()) return false;
        switch (event->type()) {
        case QEvent::KeyPress:
            if (!static_cast<QKeyEvent*>(event)->matches(QKeySequence::Paste)) return false;
            paste(QClipboard::Clipboard);
            return true;
        case QEvent::MouseButtonRelease: {
            // The edit has put the cursor where the middle button went down.
            const auto* m = static_cast<QMouseEvent*>(event);
            const QClipboard* clipboard = QGuiApplication::clipboard();
            if (m->button() != Qt::MiddleButton || !clipboard || !clipboard->supportsSelection()) return false;
            edit_->deselect();
            paste(QClipboard::Selection);
            return true;
        }
        case QEvent::ContextMenu: return showMenu(static_cast<QContextMenuEvent*>(event));
        case QEvent::Drop: return drop(static_cast<QDropEvent*>(event));
        default: return false;
        }
    }

private:
    void paste(QClipboard::Mode mode) {
        const QClipboard* clipboard = QGuiApplication::clipboard();
        const QString text = clipboard ? firstLine(clipboard->text(mode)) : QString();
        // As the edit's own paste: nothing to insert still replaces a selection.
        if (!text.isEmpty() || edit_->hasSelectedText()) edit_->insert(text);
    }

    // The edit's own menu, its paste item taking the first line.
    bool showMenu(const QContextMenuEvent* event) {
        QPointer<QMenu> menu = edit_->createStandardContextMenu();
        if (!menu) return false;
        if (QAction* action = pasteItem(*menu)) {
            QObject::disconnect(action, &QAction::triggered, nullptr, nullptr);
            QObject::connect(action, &QAction::triggered, this, [this] { paste(QClipboard::Clipboard); });
        }
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(event->globalPos());
        return true;
    }

    // A drop of text with line breaks goes on as a drop of its first line.
    bool drop(QDropEvent* event) {
        const QMimeData* data = event->mimeData();
        if (!data || !data->hasText()) return false;
        const QString text = data->text();
        const QString kept = firstLine(text);
        if (kept.size() == text.size()) return false;
        QMimeData first;
        first.setText(kept);
        QDropEvent copy(event->position(), event->possibleActions(), &first, event->buttons(), event->modifiers());
        copy.setDropAction(event->proposedAction());
        QCoreApplication::sendEvent(edit_, &copy);
        event->setDropAction(copy.dropAction());
        event->setAccepted(copy.isAccepted());
        return true;
    }

    QLineEdit* edit_;
};

}  // namespace

QString firstLine(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == u'\n' || text.at(i) == u'\r') return text.left(i);
    }
    return text;
}

void keepFirstLineOfPastes(QLineEdit* edit) { edit->installEventFilter(new FirstLinePaste(edit)); }

}  // namespace tenmari
