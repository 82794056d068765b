// SPDX-License-Identifier: MIT
#include "app/windowinput.h"

#include "app/keycommands.h"
#include "app/mainform.h"
#include "app/mappanel.h"
#include "app/viewbinding.h"
#include "dialogs/errorguard.h"
#include "ui_mainform.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QWheelEvent>

namespace vdm {

WindowInput::WindowInput(TMainForm& form, ViewBinding& view, Prompts& prompts)
    : m_form(form), m_view(view), m_prompts(prompts)
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

bool WindowInput::typesText(const QWidget* widget)
{
    return qobject_cast<const QPlainTextEdit*>(widget) || qobject_cast<const QTextEdit*>(widget)
           || qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QAbstractSpinBox*>(widget);
}

bool WindowInput::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease && type != QEvent::Wheel)
        return false;
    if (!watched->isWidgetType() || static_cast<QWidget*>(watched)->window() != &m_form)
        return false;
    auto* w = static_cast<QWidget*>(watched);
    if (type == QEvent::Wheel)
        return wheel(w, *static_cast<QWheelEvent*>(event));
    return key(w, *static_cast<QKeyEvent*>(event));
}

bool WindowInput::wheel(QWidget* watched, QWheelEvent& wheel)
{
    // The window sees the wheel before any of its controls, whichever is under the pointer.
    // A notification with no vertical part comes from a tilted wheel or a sideways swipe.
    const bool sideways = wheel.angleDelta().y() == 0 && wheel.angleDelta().x() != 0;
    const int delta = sideways ? wheel.angleDelta().x() : wheel.angleDelta().y();
    if (delta == 0 && wheel.phase() != Qt::NoScrollPhase)
        return false;
    bool handled = false;
    TMapPanel* panel = m_form.ui().PanelMap;
    guarded(m_prompts, &m_form, [&] {
        const QPoint at = panel->mapFromGlobal(wheel.globalPosition().toPoint());
        m_form.FormMouseWheel(wheel.modifiers(), delta, &handled, sideways ? Qt::Horizontal : Qt::Vertical,
                              panel->rect().contains(at) ? std::optional<QPoint>(at) : std::nullopt);
    });
    if (handled) {
        wheel.accept();
        return true;
    }
    // The list has the focus: it takes the wheel wherever the pointer is.
    QComboBox* list = m_form.ui().CBLoc;
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
    // event travels up the parents while ignored; only its first receiver counts.
    QWidget* first = QApplication::focusWidget();
    if (!first || first->window() != &m_form)
        first = &m_form;
    if (watched != first)
        return false;
    const bool press = key.type() == QEvent::KeyPress;
    if (press) {
        bool ran = false;
        guarded(m_prompts, &m_form, [&] { ran = commandDown(key); });
        if (ran)
            return true;
    }
    const int code = windowKeyCode(key.key(), key.modifiers());
    if (press)
        guarded(m_prompts, &m_form, [&] { m_form.FormKeyDown(code, key.modifiers()); });
    else
        guarded(m_prompts, &m_form, [&] { m_form.FormKeyUp(code, key.modifiers()); });

    if (press && watched == m_form.ui().CBLoc && (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter))
        guarded(m_prompts, &m_form, [&] { m_form.CBLocKeyPress('\r'); });
    // A keypad plus or minus that zoomed must not also type into a text field (the note
    // would change and be saved); the main keyboard's plus and minus type as always.
    const bool zoomKey = code == Qt::Key_Plus || code == Qt::Key_Minus;
    return press && zoomKey && typesText(watched);
}

bool WindowInput::commandDown(const QKeyEvent& key)
{
    const KeyCommand command = keyCommand(key.key(), key.modifiers());
    if (command == KeyCommand::None)
        return false;
    QWidget* focus = QApplication::focusWidget();
    if (focus && focus->window() == &m_form && focusWantsKey(focus, key))
        return false;

    const Ui::TMainForm& ui = m_form.ui();
    if (const std::optional<ScrollStep> step = scrollStepOf(command)) {
        m_view.scroll(*step);
        return true;
    }
    switch (command) {
    case KeyCommand::Find:
        m_form.FindClick();
        break;
    case KeyCommand::ZoomIn:
        m_form.ZoomButtonClick(ui.ToolButtonZoomIn);
        break;
    case KeyCommand::ZoomOut:
        m_form.ZoomButtonClick(ui.ToolButtonZoomOut);
        break;
    case KeyCommand::ActualSize:
        m_form.ZoomButtonClick(ui.ToolButtonZoomActual);
        break;
    case KeyCommand::FullScreen:
        // The flag alone flips, so a maximised window comes back maximised.
        m_form.setWindowState(m_form.windowState() ^ Qt::WindowFullScreen);
        break;
    case KeyCommand::Copy:
        m_form.OptionsToolButtonClick(ui.ToolButtonClip);
        break;
    case KeyCommand::Close:
        m_form.close();
        break;
    case KeyCommand::About:
        m_form.OptionsToolButtonClick(ui.ToolButtonAbout);
        break;
    default:
        break;
    }
    return true;
}

} // namespace vdm
