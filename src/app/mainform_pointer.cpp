// SPDX-License-Identifier: MIT
// The pointer over the map: drag-pan, the right button's add mode, and the hover hints.
#include "app/mainform.h"

#include "data/codepage.h"
#include "dialogs/platform.h"
#include "hint/ddghintwindow.h"
#include "ui_mainform.h"

#include <QScrollBar>
#include <QTimer>

namespace vdm {

LocationFilter TMainForm::locationFilter() const
{
    return {Config.ShowUnvisited, Config.ShowActive, Config.ShowVisited, m_highlight.index()};
}

bool TMainForm::locationShown(int index) const
{
    return vdm::locationShown(View, m_world.locations(), index, locationFilter());
}

int TMainForm::locationAt(QPoint pointer) const
{
    return vdm::locationAt(View, m_world.locations(), locationFilter(), pointer);
}

int TMainForm::markerAt(QPoint pointer) const
{
    return vdm::markerAt(View, m_world.markers(), pointer);
}

void TMainForm::ImageMapMouseDown(Qt::MouseButton button, Qt::MouseButtons, int x, int y)
{
    if (button == Qt::LeftButton && View.zoomIndex() != 0) {
        Dragging = true; // at 10 % the map cannot be dragged
        DragStart = QPoint(x, y);
    }
    if (button == Qt::RightButton && View.zoomIndex() > 1) {
        m_edit.enterAddMode();
        mirrorEditor();
    }
}

void TMainForm::ImageMapMouseUp(Qt::MouseButton button, int, int)
{
    if (button == Qt::LeftButton)
        Dragging = false;
}

void TMainForm::ImageMapMouseMove(Qt::MouseButtons buttons, int x, int y)
{
    LastMouse = QPoint(x, y);

    if (Dragging && (buttons & Qt::LeftButton) && !m_edit.AddMarkerMode()) {
        // The picture follows the pointer pixel for pixel and stops at the bounds; the
        // start moves on even at a bound, so turning back moves the map at once.
        View.scrollBy(DragStart - QPoint(x, y));
        showViewInScrollBars();
        DragStart = QPoint(x, y);
        RepaintMap();
    }
    if (Dragging)
        return; // no hover test during a drag

    const QPoint pointer(x, y);
    const int location = locationAt(pointer);
    if (location >= 0) {
        const Location& l = m_world.locations()[size_t(location)];
        if (HintShown || !Config.ShowHint)
            return; // a hint already showing stays, even one of another item
        if (!Config.ConstantHints && l.Name == LastHintName)
            return;
        HintText = l.Note;
        ShowMapHint(l.Name, x, y);
        HintShown = true;
        LastHintName = l.Name;
        return;
    }
    // A marker under the pointer takes EditedMarker; when markers show but none is under
    // it, EditedMarker clears. While the box edits a marker, it keeps editing that one.
    const int marker = markerAt(pointer);
    if (marker >= 0) {
        const Location& m = m_world.markers()[size_t(marker)];
        m_edit.pointerOnMarker(marker);
        if (HintShown || !Config.ShowHint)
            return;
        if (!Config.ConstantHints && m.Name == LastHintName)
            return;
        HintText = m.Name;
        ShowMapHint(QByteArray("Marker"), x, y);
        HintShown = true;
        LastHintName = m.Name;
        return;
    }
    if (anyMarkerShown(View, m_world.markers()))
        m_edit.pointerOnMarker(-1);
    if (HintShown) {
        HintWindow->ReleaseHandle();
        HintShown = false;
        Timer->stop();
    }
    LastHintName.clear();
}

void TMainForm::ShowMapHint(const QByteArray& text, int x, int y)
{
    if (!HintWindow)
        HintWindow = new TddgHintWindow(m_ui->PanelMap);
    const QPoint origin = m_ui->PanelMap->mapToGlobal(QPoint(0, 0));
    const QString title = CodePage::decode(text);
    HintWindow->setCanvasFontSize(Config.HintFontSize);
    HintWindow->setCanvasFontName(Config.HintFontName);
    const QRect rect(origin.x() + x + 10, origin.y() + y + 5, HintWindow->textWidth(title) + 10,
                     HintWindow->textHeight() + 2);
    // Translucent only where the screen can show it at this moment; opaque otherwise.
    HintWindow->setAlpha(TranslucencySupported() ? Config.HintOpacity * 255 / 100 : 255);
    HintWindow->SetExText(CodePage::decode(HintText));
    HintWindow->SetText(title);
    HintWindow->setColor(Qt::black);
    HintWindow->ActivateHint(rect, title);
    Timer->stop();
    Timer->setInterval(qMax(0, Config.HintDelay));
    Timer->start();
}

void TMainForm::TimerTimer()
{
    Timer->stop();
    if (!Config.ConstantHints) {
        if (HintWindow)
            HintWindow->ReleaseHandle();
        HintShown = false;
    }
}

} // namespace vdm
