// SPDX-License-Identifier: MIT
#include "app/windowinput.h"

#include "app/windowcommands.h"
#include "app/navigatorview.h"
#include "dialogs/errorguard.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QAbstractItemView>
#include <QComboBox>
#include <QCoreApplication>
#include <QAction>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QTextEdit>
#include <QWheelEvent>

namespace vdm {

WindowInput::WindowInput(Controls controls, Prompts& prompts) : m_controls(controls), m_prompts(prompts)
{
    qApp->installEventFilter(this);
}

WindowInput::~WindowInput()
{
    qApp->removeEventFilter(this);
}

int WindowInput::windowKeyCode(int key, Qt::KeyboardModifiers modifiers)
{
    if ((key == Qt::Key_Plus || key == Qt::Key_Minus) && !(modifiers & Qt::KeypadModifier))
        return 0; // only the keypad's plus and minus zoom
    return key;
}

bool WindowInput::wantsKeys(const QWidget* widget)
{
    return qobject_cast<const QPlainTextEdit*>(widget) || qobject_cast<const QTextEdit*>(widget)
           || qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QAbstractSpinBox*>(widget)
           || qobject_cast<const QComboBox*>(widget) || qobject_cast<const QAbstractItemView*>(widget)
           || qobject_cast<const NavigatorView*>(widget);
}

bool WindowInput::asksForKeys(const QWidget* widget)
{
    // A bar floating over the map with keys of its own (the journey bar's N and P) is asked
    // first from any of its controls, buttons and check boxes too.
    for (const QWidget* w = widget; w; w = w->parentWidget())
        if (w->property("asksForKeys").toBool())
            return true;
    return false;
}

std::optional<bool> WindowInput::ownHistoryStep(const QWidget* focus, const QKeyEvent& key)
{
    const bool undo = key.matches(QKeySequence::Undo);
    if (!undo && !key.matches(QKeySequence::Redo))
        return std::nullopt;
    const QTextDocument* document = nullptr;
    if (const auto* plain = qobject_cast<const QPlainTextEdit*>(focus))
        document = plain->isReadOnly() ? nullptr : plain->document();
    else if (const auto* rich = qobject_cast<const QTextEdit*>(focus))
        document = rich->isReadOnly() ? nullptr : rich->document();
    else if (const auto* line = qobject_cast<const QLineEdit*>(focus))
        return !line->isReadOnly() && (undo ? line->isUndoAvailable() : line->isRedoAvailable());
    else
        return std::nullopt;
    return document && (undo ? document->isUndoAvailable() : document->isRedoAvailable());
}

bool WindowInput::focusWantsKey(QWidget* focus, const QKeyEvent& key)
{
    // A button of an exclusive group (the status buttons) moves and presses its group's
    // buttons with the arrows, as radio buttons do.
    const auto* button = qobject_cast<const QAbstractButton*>(focus);
    const bool arrow = key.key() == Qt::Key_Left || key.key() == Qt::Key_Right || key.key() == Qt::Key_Up
                       || key.key() == Qt::Key_Down;
    if (button && button->autoExclusive() && arrow && !(key.modifiers() & ~Qt::KeypadModifier))
        return true;
    if (wantsKeys(focus)) {
        switch (key.key()) {
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Home:
        case Qt::Key_End:
            return true; // it moves in its text or its list
        default:
            break;
        }
    } else if (!asksForKeys(focus)) {
        return false;
    }
    // A text field claims its undo and redo keys even with nothing of its own to take back
    // or do again; then they are the window's, for the last status, note or marker edit.
    if (const std::optional<bool> own = ownHistoryStep(focus, key))
        return *own;
    // Ask the control as Qt asks it before a shortcut: it accepts what it handles itself.
    QKeyEvent probe(QEvent::ShortcutOverride, key.key(), key.modifiers(), key.text(), key.isAutoRepeat(),
                    ushort(key.count()));
    probe.ignore();
    QCoreApplication::sendEvent(focus, &probe);
    return probe.isAccepted();
}

bool WindowInput::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease && type != QEvent::Wheel)
        return false;
    if (!watched->isWidgetType() || static_cast<QWidget*>(watched)->window() != m_controls.window)
        return false;
    auto* w = static_cast<QWidget*>(watched);
    if (type == QEvent::Wheel)
        return wheel(w, *static_cast<QWheelEvent*>(event));
    return key(w, *static_cast<QKeyEvent*>(event));
}

bool WindowInput::wheel(QWidget* watched, QWheelEvent& wheel)
{
    // A control floating over the map that zooms or scrolls on its own (the navigator,
    // the filter bar's lists) says so, and keeps the wheel.
    for (const QWidget* w = watched; w && w != m_controls.window; w = w->parentWidget())
        if (w->property("keepsWheel").toBool())
            return false;
    // The window sees the wheel before any of its controls, whichever is under the pointer.
    // A notification with no vertical part comes from a tilted wheel or a sideways swipe.
    const bool sideways = wheel.angleDelta().y() == 0 && wheel.angleDelta().x() != 0;
    const int delta = sideways ? wheel.angleDelta().x() : wheel.angleDelta().y();
    if (delta == 0 && wheel.phase() != Qt::NoScrollPhase)
        return false;
    bool handled = false;
    QWidget* panel = m_controls.map;
    guarded(m_prompts, m_controls.window, [&] {
        const QPoint at = panel->mapFromGlobal(wheel.globalPosition().toPoint());
        emit wheelTurned(wheel.modifiers(), delta, &handled, sideways ? Qt::Horizontal : Qt::Vertical,
                         panel->rect().contains(at) ? std::optional<QPoint>(at) : std::nullopt);
    });
    if (handled) {
        wheel.accept();
        return true;
    }
    // The list has the focus: it takes the wheel wherever the pointer is.
    QComboBox* list = m_controls.list;
    if (list->hasFocus() && watched != list && !list->isAncestorOf(watched)) {
        const QPointF centre = QRectF(list->rect()).center();
        QWheelEvent forwarded(centre, list->mapToGlobal(centre), wheel.pixelDelta(), wheel.angleDelta(),
                              wheel.buttons(), wheel.modifiers(), wheel.phase(), wheel.inverted());
        QApplication::sendEvent(list, &forwarded);
        return true;
    }
    return false;
}

bool WindowInput::key(QWidget* watched, QKeyEvent& key)
{
    // Key preview: the window sees every key first, whichever control has the focus. A key
    // event travels up the parents while ignored; only its first receiver counts. That is
    // the window's own focus widget: the application's is none while the window is not the
    // active one, as under X without a window manager, where keys still reach it.
    QWidget* first = m_controls.window->focusWidget();
    if (!first)
        first = m_controls.window;
    if (watched != first)
        return false;
    const bool press = key.type() == QEvent::KeyPress;
    if (press) {
        bool ran = false;
        guarded(m_prompts, m_controls.window, [&] { ran = commandDown(key); });
        if (ran)
            return true;
    }
    const int code = windowKeyCode(key.key(), key.modifiers());
    if (press)
        guarded(m_prompts, m_controls.window, [&] { emit keyDown(code, key.modifiers()); });
    else
        guarded(m_prompts, m_controls.window, [&] { emit keyUp(code, key.modifiers()); });

    const bool enter
        = (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) && !(key.modifiers() & ~Qt::KeypadModifier);
    if (press && watched == m_controls.list && (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter))
        guarded(m_prompts, m_controls.window, [&] { emit listEnter(); });
    if (press && enter && watched == m_controls.map) {
        guarded(m_prompts, m_controls.window, [&] { emit mapEnter(); });
        return true;
    }
    // Escape leaves the box as a click on the map does: none of its controls uses the key.
    const bool escape = key.key() == Qt::Key_Escape && !(key.modifiers() & ~Qt::KeypadModifier);
    if (press && escape && m_controls.box && m_controls.box->isAncestorOf(watched)) {
        guarded(m_prompts, m_controls.window, [&] { emit boxEscape(); });
        return true;
    }
    // Enter presses the focused button, as Space does. Not a check box: there Space ticks
    // it and Enter is the default key of the bar or box it sits in (plan, find, ...).
    if (auto* button = qobject_cast<QAbstractButton*>(watched);
        press && enter && button && !qobject_cast<QCheckBox*>(button)) {
        button->click();
        return true;
    }
    // A keypad plus or minus that zoomed must not also type into a text field (the note
    // would change and be saved); the main keyboard's plus and minus type as always.
    const bool zoomKey = code == Qt::Key_Plus || code == Qt::Key_Minus;
    return press && zoomKey && wantsKeys(watched);
}

bool WindowInput::commandDown(const QKeyEvent& key)
{
    const std::optional<Command> command = commandForKey(key.keyCombination());
    if (!command)
        return false;
    if (QWidget* focus = m_controls.window->focusWidget(); focus && focusWantsKey(focus, key))
        return false;
    QAction* action = m_commands ? m_commands->action(*command) : nullptr;
    if (!action || !action->isEnabled())
        return false;
    action->trigger();
    return true;
}

} // namespace vdm
