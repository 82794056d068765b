// SPDX-License-Identifier: MIT
// The view's handlers: zoom, wheel, keys, scroll bars, Go, resizing and the pointer over
// the map. The view binding, the hover, the map hint and the window input do the work.
#include "app/mainform.h"

#include "app/editcontrols.h"
#include "app/formlayout.h"
#include "app/windowinput.h"
#include "ui_mainform.h"

namespace vdm {

void TMainForm::ApplyWindowSizeLimit()
{
    m_layout->showZoom(view().zoomIndex(), settings().KeepZoom);
}

void TMainForm::ZoomButtonClick(QToolButton* sender, std::optional<QPoint> anchor)
{
    const std::pair<QToolButton*, ZoomCommand> buttons[] = {{m_ui->ToolButtonZoomIn, ZoomCommand::In},
                                                            {m_ui->ToolButtonZoomOut, ZoomCommand::Out},
                                                            {m_ui->ToolButtonZoomActual, ZoomCommand::ActualSize}};
    for (const auto& [button, command] : buttons)
        if (sender == button)
            mapView().zoom(command, anchor);
}

void TMainForm::FormMouseWheel(Qt::KeyboardModifiers shift, int wheelDelta, bool* handled, Qt::Orientation wheel,
                               std::optional<QPoint> pointer)
{
    const MapHover::Wheel turn = m_hover.wheel(shift, wheelDelta, wheel, pointer);
    if (!turn.zoom && m_ui->CBLoc->hasFocus())
        return; // the list takes a wheel that would scroll
    *handled = true;
    if (turn.zoom)
        mapView().zoom(*turn.zoom, turn.anchor);
    else
        mapView().scroll(turn.scroll);
}

void TMainForm::FormKeyDown(int key, Qt::KeyboardModifiers)
{
    m_hover.keyDown(key);
    if (key == Qt::Key_Plus)
        mapView().zoom(ZoomCommand::In);
    else if (key == Qt::Key_Minus)
        mapView().zoom(ZoomCommand::Out);
}

void TMainForm::FormKeyUp(int key, Qt::KeyboardModifiers)
{
    m_hover.keyUp(key);
}

void TMainForm::ScrollBarHScroll()
{
    mapView().followScrollBar(Qt::Horizontal);
}

void TMainForm::ScrollBarVScroll()
{
    mapView().followScrollBar(Qt::Vertical);
}

void TMainForm::GoButtonClick()
{
    const Location& l = m_edit.selectedLocation();
    mapView().goTo(l.X, l.Y, l.Level, m_edit.SelectedIndex());
}

void TMainForm::CBLocKeyPress(char key)
{
    if (key == '\r')
        GoButtonClick();
}

void TMainForm::PanelMapResize()
{
    mapView().panelResized();
}

void TMainForm::ImageMapMouseDown(Qt::MouseButton button, Qt::MouseButtons, int x, int y)
{
    if (m_hover.press(button, QPoint(x, y)))
        m_editControls->mirror();
}

void TMainForm::ImageMapMouseUp(Qt::MouseButton button, int, int)
{
    m_hover.release(button);
}

void TMainForm::ImageMapMouseMove(Qt::MouseButtons buttons, int x, int y)
{
    const MapHover::Move move = m_hover.move(buttons, QPoint(x, y));
    if (move.scrollBy)
        mapView().scrollBy(*move.scrollBy);
    if (move.hint == MapHover::Move::Hint::Show)
        ShowMapHint(m_hover.hintTitle(), x, y);
    else if (move.hint == MapHover::Move::Hint::Hide)
        m_hint.hide();
}

void TMainForm::ShowMapHint(const QByteArray& text, int x, int y)
{
    m_hint.show(text, QPoint(x, y));
}

} // namespace vdm
