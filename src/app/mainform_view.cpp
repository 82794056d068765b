// SPDX-License-Identifier: MIT
// The view commands of the main window: zoom, wheel, keys, scroll bars, Go, resizing.
#include "app/mainform.h"

#include "app/mappanel.h"
#include "ui_mainform.h"

#include <QScrollBar>

namespace vdm {

void TMainForm::viewFollowsPanel()
{
    // The panel may have been laid out while hidden (no resize event yet): ask it directly.
    View.setPanel(m_ui->PanelMap->size());
}

void TMainForm::showViewInScrollBars()
{
    const auto show = [](QScrollBar* bar, int maximum, int position) {
        bar->setMaximum(maximum);
        bar->setEnabled(maximum >= 1);
        bar->setValue(position);
    };
    show(m_ui->ScrollBarH, View.scrollMaximum().x(), View.scrollX());
    show(m_ui->ScrollBarV, View.scrollMaximum().y(), View.scrollY());
}

void TMainForm::UpdateScrollRanges()
{
    viewFollowsPanel();
    View.UpdateScrollRanges();
    showViewInScrollBars();
}

void TMainForm::UpdateMargins()
{
    viewFollowsPanel();
    View.UpdateMargins();
}

void TMainForm::SetTitleWithZoom()
{
    setWindowTitle(titleWithZoom(View.zoomIndex()));
}

void TMainForm::ApplyWindowSizeLimit()
{
    if (!Config.KeepZoom)
        return;
    setMaximumSize(Viewport::sizeLimit(View.zoomIndex()));
}

void TMainForm::ZoomButtonClick(QToolButton* sender, std::optional<QPoint> anchor)
{
    int target = -1;
    if (sender == m_ui->ToolButtonZoomIn && View.zoomIndex() < Viewport::HighestZoom)
        target = View.zoomIndex() + 1;
    // With KeepZoom, the window must first be no larger than the lower level's limit.
    if (sender == m_ui->ToolButtonZoomOut && View.zoomIndex() > 0
        && (!Config.KeepZoom || Viewport::fitsSizeLimit(size(), View.zoomIndex() - 1)))
        target = View.zoomIndex() - 1;
    if (sender == m_ui->ToolButtonZoomActual)
        target = 0; // the 10 % level, recomputed even when already there
    if (target < 0)
        return;

    // The picture point under the panel's centre stays there.
    viewFollowsPanel();
    View.zoomTo(target, anchor.value_or(QPoint(View.panel().width() / 2, View.panel().height() / 2)));
    showViewInScrollBars();
    UpdateMarkerButtons();
    SetTitleWithZoom();
    ApplyWindowSizeLimit();
    RepaintMap();
}

void TMainForm::FormMouseWheel(Qt::KeyboardModifiers shift, int wheelDelta, bool* handled, Qt::Orientation wheel,
                               std::optional<QPoint> pointer)
{
    if (shift & Qt::ControlModifier) {
        ZoomButtonClick(wheelDelta > 0 ? m_ui->ToolButtonZoomIn : m_ui->ToolButtonZoomOut,
                        Config.ZoomAtPointer ? pointer : std::nullopt);
        *handled = true;
        return;
    }
    if (m_ui->CBLoc->hasFocus())
        return; // the list takes the wheel
    // One notification is one step, whatever its size; Shift (as the key handlers track
    // it) scrolls horizontally, as does a tilted wheel.
    View.wheelStep(m_hover.wheelDirection(wheel), wheelDelta > 0);
    showViewInScrollBars();
    RepaintMap();
    *handled = true;
}

void TMainForm::FormKeyDown(int key, Qt::KeyboardModifiers)
{
    m_hover.keyDown(key);
    if (key == Qt::Key_Plus)
        ZoomButtonClick(m_ui->ToolButtonZoomIn);
    else if (key == Qt::Key_Minus)
        ZoomButtonClick(m_ui->ToolButtonZoomOut);
}

void TMainForm::FormKeyUp(int key, Qt::KeyboardModifiers)
{
    m_hover.keyUp(key);
}

void TMainForm::ScrollBarHScroll()
{
    View.scrollTo(QPoint(m_ui->ScrollBarH->sliderPosition(), View.scrollY()));
    RepaintMap();
}

void TMainForm::ScrollBarVScroll()
{
    View.scrollTo(QPoint(View.scrollX(), m_ui->ScrollBarV->sliderPosition()));
    RepaintMap();
}

void TMainForm::GoButtonClick()
{
    const Location& l = m_edit.selectedLocation();
    viewFollowsPanel();
    View.goTo(l.X, l.Y, l.Level);
    showViewInScrollBars();
    UpdateMarkerButtons();
    // The paint clears the highlight once drawn; setting it again keeps the location
    // forced visible for the next paint and for the hover test.
    m_highlight.set(m_edit.SelectedIndex());
    RepaintMap();
    m_highlight.set(m_edit.SelectedIndex());
    SetTitleWithZoom();
    ApplyWindowSizeLimit();
}

void TMainForm::CBLocKeyPress(char key)
{
    if (key == '\r')
        GoButtonClick();
}

void TMainForm::PanelMapResize()
{
    UpdateScrollRanges();
    UpdateMargins();
    RepaintMap();
}

} // namespace vdm
