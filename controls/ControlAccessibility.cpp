#include "ControlAccessibility.h"

#include "Panel.h"
#include "TrPanel.h"
#include "plButton.h"

#include <QAccessibleWidget>
#include <QStringList>

namespace tenmari {
namespace {

class ButtonAccessible final : public QAccessibleWidget {
public:
    explicit ButtonAccessible(TplButton* button) : QAccessibleWidget(button, QAccessible::Button) {}

    QString text(QAccessible::Text t) const override {
        // A name given explicitly wins over the caption.
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty()) {
            return spokenCaption({button()->CaptionA()->Caption(), button()->CaptionB()->Caption()});
        }
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.pressed = button()->Pressed();
        return s;
    }

    QStringList actionNames() const override {
        QStringList names = QAccessibleWidget::actionNames();
        if (widget()->isEnabled()) names.prepend(pressAction());
        return names;
    }

    void doAction(const QString& name) override {
        if (name == pressAction()) {
            if (widget()->isEnabled()) button()->Click();
            return;
        }
        QAccessibleWidget::doAction(name);
    }

private:
    TplButton* button() const { return static_cast<TplButton*>(widget()); }
};

class PanelAccessible final : public QAccessibleWidget {
public:
    explicit PanelAccessible(TTransPanel* panel) : QAccessibleWidget(panel, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty()) {
            const auto* panel = static_cast<const TTransPanel*>(widget());
            // What the panel shows: its lines, or the first line of its caption.
            if (!panel->CaptionLines().isEmpty()) return spokenCaption(panel->CaptionLines());
            return spokenCaption({panel->Caption().section(u'\n', 0, 0)});
        }
        return QAccessibleWidget::text(t);
    }
};

// The window's plain panels that carry a caption (the status line, the
// region caption) are labels named by what they show.
class PlainPanelAccessible final : public QAccessibleWidget {
public:
    explicit PlainPanelAccessible(TPanel* panel) : QAccessibleWidget(panel, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty()) {
            return spokenCaption({static_cast<const TPanel*>(widget())->Caption()});
        }
        return QAccessibleWidget::text(t);
    }
};

NameChangeHook g_nameChangeHook = nullptr;

QAccessibleInterface* controlFactory(const QString&, QObject* object) {
    if (auto* button = qobject_cast<TplButton*>(object)) return new ButtonAccessible(button);
    if (auto* panel = qobject_cast<TTransPanel*>(object)) return new PanelAccessible(panel);
    if (auto* panel = qobject_cast<TPanel*>(object)) return new PlainPanelAccessible(panel);
    return nullptr;
}

}  // namespace

void installControlAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(controlFactory);
        return true;
    }();
    (void)installed;
}

QString spokenCaption(const QStringList& lines) {
    QStringList spoken;
    for (QString line : lines) {
        line.remove(QChar(0x3000));
        line = line.simplified();
        if (!line.isEmpty()) spoken << line;
    }
    return spoken.join(u' ');
}

void notifyAccessibleNameChanged(QObject* control) {
    if (g_nameChangeHook) g_nameChangeHook(control);
    if (!QAccessible::isActive()) return;
    QAccessibleEvent event(control, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
}

void setNameChangeHook(NameChangeHook hook) { g_nameChangeHook = hook; }

}  // namespace tenmari
