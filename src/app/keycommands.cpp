// SPDX-License-Identifier: MIT
#include "app/keycommands.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace vdm {
namespace {

struct Binding {
    int key;
    Qt::KeyboardModifiers modifiers;
    KeyCommand command;
};

constexpr Qt::KeyboardModifiers kNone = Qt::NoModifier;
constexpr Qt::KeyboardModifiers kCtrl = Qt::ControlModifier;
constexpr Qt::KeyboardModifiers kCtrlShift = Qt::ControlModifier | Qt::ShiftModifier;

// Ctrl++ is typed with Shift on most layouts, so both count.
const Binding kBindings[] = {
    {Qt::Key_F, kCtrl, KeyCommand::Find},
    {Qt::Key_Equal, kCtrl, KeyCommand::ZoomIn},
    {Qt::Key_Plus, kCtrl, KeyCommand::ZoomIn},
    {Qt::Key_Plus, kCtrlShift, KeyCommand::ZoomIn},
    {Qt::Key_Minus, kCtrl, KeyCommand::ZoomOut},
    {Qt::Key_0, kCtrl, KeyCommand::ActualSize},
    {Qt::Key_Left, kNone, KeyCommand::ScrollLeft},
    {Qt::Key_Right, kNone, KeyCommand::ScrollRight},
    {Qt::Key_Up, kNone, KeyCommand::ScrollUp},
    {Qt::Key_Down, kNone, KeyCommand::ScrollDown},
    {Qt::Key_Left, kCtrl, KeyCommand::QuarterLeft},
    {Qt::Key_Right, kCtrl, KeyCommand::QuarterRight},
    {Qt::Key_Up, kCtrl, KeyCommand::QuarterUp},
    {Qt::Key_Down, kCtrl, KeyCommand::QuarterDown},
    {Qt::Key_PageUp, kNone, KeyCommand::PageUp},
    {Qt::Key_PageDown, kNone, KeyCommand::PageDown},
    {Qt::Key_F11, kNone, KeyCommand::FullScreen},
    {Qt::Key_C, kCtrl, KeyCommand::Copy},
    {Qt::Key_Q, kCtrl, KeyCommand::Close},
    {Qt::Key_F1, kNone, KeyCommand::About},
};

bool isNavigationKey(int key)
{
    switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
        return true;
    default:
        return false;
    }
}

} // namespace

KeyCommand keyCommand(int key, Qt::KeyboardModifiers modifiers)
{
    if (modifiers & Qt::KeypadModifier) {
        if (key == Qt::Key_Plus || key == Qt::Key_Minus)
            return KeyCommand::None;
        modifiers &= ~Qt::KeypadModifier; // the keypad's arrows and pages act as the others
    }
    for (const Binding& b : kBindings)
        if (b.key == key && b.modifiers == modifiers)
            return b.command;
    return KeyCommand::None;
}

std::optional<ScrollStep> scrollStepOf(KeyCommand command)
{
    // The wheel's step and the panel's parts; back is towards the start.
    switch (command) {
    case KeyCommand::ScrollLeft:
        return ScrollStep{Qt::Horizontal, true, 0};
    case KeyCommand::ScrollRight:
        return ScrollStep{Qt::Horizontal, false, 0};
    case KeyCommand::ScrollUp:
        return ScrollStep{Qt::Vertical, true, 0};
    case KeyCommand::ScrollDown:
        return ScrollStep{Qt::Vertical, false, 0};
    case KeyCommand::QuarterLeft:
        return ScrollStep{Qt::Horizontal, true, 4};
    case KeyCommand::QuarterRight:
        return ScrollStep{Qt::Horizontal, false, 4};
    case KeyCommand::QuarterUp:
        return ScrollStep{Qt::Vertical, true, 4};
    case KeyCommand::QuarterDown:
        return ScrollStep{Qt::Vertical, false, 4};
    case KeyCommand::PageUp:
        return ScrollStep{Qt::Vertical, true, 1};
    case KeyCommand::PageDown:
        return ScrollStep{Qt::Vertical, false, 1};
    default:
        return std::nullopt;
    }
}

QString shortcutText(KeyCommand command)
{
    switch (command) {
    case KeyCommand::Find:
        return QStringLiteral("Ctrl+F");
    case KeyCommand::ZoomIn:
        return QStringLiteral("Ctrl++");
    case KeyCommand::ZoomOut:
        return QStringLiteral("Ctrl+-");
    case KeyCommand::ActualSize:
        return QStringLiteral("Ctrl+0");
    case KeyCommand::FullScreen:
        return QStringLiteral("F11");
    case KeyCommand::Copy:
        return QStringLiteral("Ctrl+C");
    case KeyCommand::Close:
        return QStringLiteral("Ctrl+Q");
    case KeyCommand::About:
        return QStringLiteral("F1");
    default:
        return {};
    }
}

bool focusWantsKey(QWidget* focus, const QKeyEvent& key)
{
    if (!focus)
        return false;
    const bool textField = qobject_cast<QLineEdit*>(focus) || qobject_cast<QPlainTextEdit*>(focus)
                           || qobject_cast<QTextEdit*>(focus) || qobject_cast<QAbstractSpinBox*>(focus)
                           || qobject_cast<QComboBox*>(focus);
    if (!textField)
        return false;
    if (isNavigationKey(key.key()))
        return true;
    // Ask the control as Qt asks it before a shortcut: it accepts what it handles itself.
    QKeyEvent probe(QEvent::ShortcutOverride, key.key(), key.modifiers(), key.text(), key.isAutoRepeat(),
                    ushort(key.count()));
    probe.ignore();
    QCoreApplication::sendEvent(focus, &probe);
    return probe.isAccepted();
}

} // namespace vdm
