#include "widgets/keyboard.h"

#include "shell/shortcuts.h"

#include <QAbstractItemView>
#include <QAction>
#include <QEvent>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>

namespace lumo {
namespace {

// Enter on a focused button presses it, as Space does; Ctrl+Tab in a text
// box types the tab that Tab no longer types there.
class EnterPresses : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress) return false;
        auto* k = static_cast<QKeyEvent*>(event);
        if (auto* text = qobject_cast<QPlainTextEdit*>(watched)) {
            if (k->key() != Qt::Key_Tab || k->modifiers() != Qt::ControlModifier || text->isReadOnly())
                return false;
            text->insertPlainText(QStringLiteral("\t"));
            return true;
        }
        if (k->key() != Qt::Key_Return && k->key() != Qt::Key_Enter) return false;
        auto* button = qobject_cast<QAbstractButton*>(watched);
        if (!button || !button->isEnabled()) return false;
        button->click();
        return true;
    }
};

// Tab walks a tool bar as it reads, left to right: a button inserted before
// 離  開 after the bar was built was made last, and would otherwise come last.
void orderToolBar(QToolBar* bar)
{
    QWidget* previous = nullptr;
    for (QAction* a : bar->actions()) {
        QWidget* b = bar->widgetForAction(a);
        if (!b || a->isSeparator() || !(b->focusPolicy() & Qt::TabFocus)) continue;
        if (previous) QWidget::setTabOrder(previous, b);
        previous = b;
    }
}

void prepareToolBars(QWidget& window, EnterPresses* filter)
{
    for (QToolBar* bar : window.findChildren<QToolBar*>()) {
        for (QAction* a : bar->actions()) {
            if (auto* b = qobject_cast<QToolButton*>(bar->widgetForAction(a))) {
                b->setFocusPolicy(Qt::TabFocus);
                b->installEventFilter(filter);
            }
            const CommonShortcut* s = a->isSeparator() ? nullptr : shortcutForCaption(a->text());
            if (!s) continue;
            if (s->bindsKey) a->setShortcut(s->key);
            a->setToolTip(hintWithKey(a->toolTip().trimmed(), s->key));
        }
        orderToolBar(bar);
    }
}

// A push button's key works wherever the screen shows it from, also from
// another page of the screen (列  印 of the analysis report from any page),
// while the button is enabled and not put away by the screen.
void bindButton(QWidget& window, QPushButton* button, const CommonShortcut& s)
{
    const QString hint = button->toolTip().isEmpty() ? button->text().trimmed() : button->toolTip();
    button->setToolTip(hintWithKey(hint, s.key));
    if (!s.bindsKey) return;
    auto* a = new QAction(&window);
    a->setShortcut(s.key);
    a->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(a, &QAction::triggered, button, [button] {
        if (button->isEnabled() && !button->isHidden()) button->click();
    });
    window.addAction(a);
}

} // namespace

void toolBarAfter(QWidget* last, QToolBar* bar)
{
    QWidget* previous = last;
    for (QAction* a : bar->actions())
        if (QWidget* b = bar->widgetForAction(a); b && !a->isSeparator()) {
            QWidget::setTabOrder(previous, b);
            previous = b;
        }
}

void prepareKeyboard(QWidget& window)
{
    if (window.property("lumoKeyboard").toBool()) return;
    window.setProperty("lumoKeyboard", true);
    auto* filter = new EnterPresses(&window); // once: the window is prepared once
    prepareToolBars(window, filter);
    // Tab leaves a list or a grid (the arrows move inside it) and a text box.
    for (QAbstractItemView* v : window.findChildren<QAbstractItemView*>())
        v->setTabKeyNavigation(false);
    for (QPlainTextEdit* t : window.findChildren<QPlainTextEdit*>()) {
        t->setTabChangesFocus(true);
        t->installEventFilter(filter);
    }
    for (QPushButton* b : window.findChildren<QPushButton*>()) {
        b->installEventFilter(filter);
        if (!b->isDefault()) b->setAutoDefault(false);
        if (const CommonShortcut* s = shortcutForCaption(b->text())) bindButton(window, b, *s);
    }
}

} // namespace lumo
