// SPDX-License-Identifier: MIT
// The view commands of the main window: zoom, wheel, keys, scroll bars, Go, resizing.
#include "app/mainform.h"

#include "app/mappanel.h"
#include "data/errors.h"
#include "ui_mainform.h"

#include <QScrollBar>

namespace vdm {
namespace {

// Both scroll bars clamp a requested position into 0..maximum.
void setPosition(QScrollBar* bar, long double position)
{
    bar->setValue(truncToInt(position));
}

} // namespace

void TMainForm::UpdateScrollRanges()
{
    View.Panel = m_ui->PanelMap->size();
    const QPoint r = View.scrollRanges();
    const auto apply = [](QScrollBar* bar, int range, int& last) {
        if (range >= 1) {
            bar->setEnabled(true);
            bar->setMaximum(range);
        } else {
            bar->setMaximum(0);
            bar->setEnabled(false);
        }
        if (bar->maximum() <= last) {
            bar->setValue(bar->maximum());
            last = bar->maximum();
        }
    };
    apply(m_ui->ScrollBarH, r.x(), View.LastScrollX);
    apply(m_ui->ScrollBarV, r.y(), View.LastScrollY);
}

void TMainForm::UpdateMargins()
{
    View.Panel = m_ui->PanelMap->size();
    View.UpdateMargins();
}

void TMainForm::SetTitleWithZoom()
{
    setWindowTitle(titleWithZoom(View.ZoomIndex));
}

void TMainForm::ApplyWindowSizeLimit()
{
    if (!Config.KeepZoom)
        return;
    setMaximumSize(Viewport::sizeLimit(View.ZoomIndex));
}

void TMainForm::UpdateMarkerButtons()
{
    // Markers are placed and deleted only when zoomed in.
    const bool zoomedIn = View.ZoomIndex >= 1;
    m_ui->ToolButtonAddM->setEnabled(zoomedIn);
    m_ui->ToolButtonDelM->setEnabled(zoomedIn && !m_world.markers().empty());
}

void TMainForm::ZoomButtonClick(QToolButton* sender)
{
    View.Panel = m_ui->PanelMap->size();
    const int halfW = View.Panel.width() / 2;
    const int halfH = View.Panel.height() / 2;
    // The picture point under the panel's centre stays there.
    const long double cx = static_cast<long double>(m_ui->ScrollBarH->value()) + halfW - View.MarginX;
    const long double cy = static_cast<long double>(m_ui->ScrollBarV->value()) + halfH - View.MarginY;
    const long double oldFactor = View.factor();

    bool changed = false;
    if (sender == m_ui->ToolButtonZoomIn && View.ZoomIndex < 7) {
        ++View.ZoomIndex;
        changed = true;
    }
    if (sender == m_ui->ToolButtonZoomOut && View.ZoomIndex > 0) {
        bool allowed = true;
        if (Config.KeepZoom) {
            // The window must first be no larger than the lower level's limit.
            const long double g = Viewport::factorOf(View.ZoomIndex - 1);
            allowed = width() <= g * Viewport::DesignWidth + Viewport::FrameWidth
                      && height() <= g * Viewport::DesignHeight + Viewport::FrameHeight;
        }
        if (allowed) {
            --View.ZoomIndex;
            changed = true;
        }
    }
    if (sender == m_ui->ToolButtonZoomActual) {
        View.ZoomIndex = 0; // the 10 % level, recomputed even when already there
        changed = true;
    }
    if (!changed)
        return;

    UpdateScrollRanges();
    UpdateMargins();
    const long double newFactor = View.factor();
    setPosition(m_ui->ScrollBarH, cx / oldFactor * newFactor - halfW);
    setPosition(m_ui->ScrollBarV, cy / oldFactor * newFactor - halfH);
    View.LastScrollX = m_ui->ScrollBarH->value();
    View.LastScrollY = m_ui->ScrollBarV->value();
    UpdateMarkerButtons();
    SetTitleWithZoom();
    ApplyWindowSizeLimit();
    RepaintMap();
}

void TMainForm::FormMouseWheel(Qt::KeyboardModifiers shift, int wheelDelta, bool* handled)
{
    if (shift & Qt::ControlModifier) {
        ZoomButtonClick(wheelDelta > 0 ? m_ui->ToolButtonZoomIn : m_ui->ToolButtonZoomOut);
        *handled = true;
        return;
    }
    if (m_ui->CBLoc->hasFocus())
        return; // the list takes the wheel
    // One notification is one step of 5 pixels, whatever its size; Shift (as the key
    // handlers track it) scrolls horizontally.
    QScrollBar* bar = ShiftDown ? m_ui->ScrollBarH : m_ui->ScrollBarV;
    const int pos = bar->value();
    if (wheelDelta > 0)
        bar->setValue(pos - qMin(5, pos));
    else
        bar->setValue(pos + qMin(5, bar->maximum() - pos));
    View.LastScrollY = m_ui->ScrollBarV->value();
    View.LastScrollX = m_ui->ScrollBarH->value();
    RepaintMap();
    *handled = true;
}

void TMainForm::FormKeyDown(int key, Qt::KeyboardModifiers)
{
    if (key == Qt::Key_Shift)
        ShiftDown = true;
    else if (key == Qt::Key_Plus)
        ZoomButtonClick(m_ui->ToolButtonZoomIn);
    else if (key == Qt::Key_Minus)
        ZoomButtonClick(m_ui->ToolButtonZoomOut);
}

void TMainForm::FormKeyUp(int key, Qt::KeyboardModifiers)
{
    if (key == Qt::Key_Shift)
        ShiftDown = false;
}

void TMainForm::ScrollBarHScroll()
{
    View.LastScrollX = m_ui->ScrollBarH->sliderPosition();
    RepaintMap();
}

void TMainForm::ScrollBarVScroll()
{
    View.LastScrollY = m_ui->ScrollBarV->sliderPosition();
    RepaintMap();
}

void TMainForm::GoButtonClick()
{
    if (m_edit.SelectedIndex() < 0 || m_edit.SelectedIndex() >= int(m_world.locations().size()))
        throwListIndexError(m_edit.SelectedIndex());
    const Location& l = m_world.locations()[size_t(m_edit.SelectedIndex())];
    const int target = Viewport::goTargetIndex(l.Level);

    const auto centre = [&] {
        const QPoint p = View.MapToScreen(l.X, l.Y);
        setPosition(m_ui->ScrollBarH, static_cast<long double>(p.x()) - View.Panel.width() / 2);
        setPosition(m_ui->ScrollBarV, static_cast<long double>(p.y()) - View.Panel.height() / 2);
        View.LastScrollY = m_ui->ScrollBarV->value();
        View.LastScrollX = m_ui->ScrollBarH->value();
    };
    View.Panel = m_ui->PanelMap->size();
    if (View.ZoomIndex >= target)
        centre(); // Go never zooms out
    while (View.ZoomIndex < target) {
        ++View.ZoomIndex;
        UpdateScrollRanges();
        UpdateMargins();
        centre();
    }
    UpdateMarkerButtons();
    // The paint clears the highlight once drawn; setting it again keeps the location
    // forced visible for the next paint and for the hover test.
    HighlightIndex = m_edit.SelectedIndex();
    RepaintMap();
    HighlightIndex = m_edit.SelectedIndex();
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
