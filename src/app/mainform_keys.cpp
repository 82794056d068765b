// SPDX-License-Identifier: MIT
// The window's keyboard commands: zoom, scroll, full screen, copy, close, About, Find.
#include "app/mainform.h"

#include "app/keycommands.h"
#include "ui_mainform.h"

#include <QApplication>
#include <QKeyEvent>

namespace vdm {

bool TMainForm::KeyCommandDown(const QKeyEvent& key)
{
    const KeyCommand command = keyCommand(key.key(), key.modifiers());
    if (command == KeyCommand::None)
        return false;
    QWidget* focus = QApplication::focusWidget();
    if (focus && focus->window() == this && focusWantsKey(focus, key))
        return false;

    const auto scroll = [this](auto step) {
        viewFollowsPanel();
        step(View);
        showViewInScrollBars();
        RepaintMap();
    };
    // The keyboard's steps: the wheel's (back is towards the start), a quarter panel, a panel.
    const auto wheel = [&](Qt::Orientation o, bool back) { scroll([=](Viewport& v) { v.wheelStep(o, back); }); };
    const auto panels = [&](Qt::Orientation o, bool back, int parts) {
        scroll([=](Viewport& v) { v.panelStep(o, back, parts); });
    };
    switch (command) {
    case KeyCommand::None:
        return false;
    case KeyCommand::Find:
        FindClick();
        break;
    case KeyCommand::ZoomIn:
        ZoomButtonClick(m_ui->ToolButtonZoomIn);
        break;
    case KeyCommand::ZoomOut:
        ZoomButtonClick(m_ui->ToolButtonZoomOut);
        break;
    case KeyCommand::ActualSize:
        ZoomButtonClick(m_ui->ToolButtonZoomActual);
        break;
    case KeyCommand::ScrollLeft:
        wheel(Qt::Horizontal, true);
        break;
    case KeyCommand::ScrollRight:
        wheel(Qt::Horizontal, false);
        break;
    case KeyCommand::ScrollUp:
        wheel(Qt::Vertical, true);
        break;
    case KeyCommand::ScrollDown:
        wheel(Qt::Vertical, false);
        break;
    case KeyCommand::QuarterLeft:
        panels(Qt::Horizontal, true, 4);
        break;
    case KeyCommand::QuarterRight:
        panels(Qt::Horizontal, false, 4);
        break;
    case KeyCommand::QuarterUp:
        panels(Qt::Vertical, true, 4);
        break;
    case KeyCommand::QuarterDown:
        panels(Qt::Vertical, false, 4);
        break;
    case KeyCommand::PageUp:
        panels(Qt::Vertical, true, 1);
        break;
    case KeyCommand::PageDown:
        panels(Qt::Vertical, false, 1);
        break;
    case KeyCommand::FullScreen:
        // The flag alone flips, so a maximised window comes back maximised.
        setWindowState(windowState() ^ Qt::WindowFullScreen);
        break;
    case KeyCommand::Copy:
        OptionsToolButtonClick(m_ui->ToolButtonClip);
        break;
    case KeyCommand::Close:
        close();
        break;
    case KeyCommand::About:
        OptionsToolButtonClick(m_ui->ToolButtonAbout);
        break;
    }
    return true;
}

} // namespace vdm
