// SPDX-License-Identifier: MIT
// The pointer over the map: the window forwards to the hover part and carries out what
// it decides (scroll and repaint, show or hide the hint window, run the timer).
#include "app/mainform.h"

#include "data/codepage.h"
#include "dialogs/platform.h"
#include "hint/ddghintwindow.h"
#include "ui_mainform.h"

#include <QTimer>

namespace vdm {

void TMainForm::ImageMapMouseDown(Qt::MouseButton button, Qt::MouseButtons, int x, int y)
{
    if (m_hover.press(button, QPoint(x, y)))
        mirrorEditor();
}

void TMainForm::ImageMapMouseUp(Qt::MouseButton button, int, int)
{
    m_hover.release(button);
}

void TMainForm::ImageMapMouseMove(Qt::MouseButtons buttons, int x, int y)
{
    const MapHover::Move move = m_hover.move(buttons, QPoint(x, y));
    if (move.scrollBy) {
        View.scrollBy(*move.scrollBy);
        showViewInScrollBars();
        RepaintMap();
    }
    if (move.hint == MapHover::Move::Hint::Show) {
        ShowMapHint(m_hover.hintTitle(), x, y);
    } else if (move.hint == MapHover::Move::Hint::Hide) {
        HintWindow->ReleaseHandle();
        Timer->stop();
    }
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
    HintWindow->SetExText(CodePage::decode(m_hover.hintText()));
    HintWindow->SetText(title);
    HintWindow->setColor(Qt::black);
    HintWindow->ActivateHint(rect, title);
    Timer->stop();
    Timer->setInterval(m_hover.hintDelay());
    Timer->start();
}

void TMainForm::TimerTimer()
{
    Timer->stop();
    if (m_hover.timerFired() && HintWindow)
        HintWindow->ReleaseHandle();
}

} // namespace vdm
