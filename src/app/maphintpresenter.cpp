// SPDX-License-Identifier: MIT
#include "app/maphintpresenter.h"

#include "data/codepage.h"
#include "data/settings.h"
#include "dialogs/errorguard.h"
#include "dialogs/platform.h"
#include "hint/ddghintwindow.h"
#include "session/hintplacement.h"
#include "session/maphover.h"

#include <QTimer>
#include <QWidget>

namespace vdm {

MapHintPresenter::MapHintPresenter(QWidget& window, QWidget& mapPanel, MapHover& hover, const Settings& settings,
                                   Prompts& prompts)
    : m_window(window), m_panel(mapPanel), m_hover(hover), m_settings(settings), m_timer(new QTimer(&window))
{
    m_timer->setObjectName(QStringLiteral("Timer"));
    connectGuarded(prompts, &m_window, m_timer, &QTimer::timeout, [this] { expire(); });
}

void MapHintPresenter::show(const QByteArray& text, QPoint at)
{
    if (!m_hintWindow)
        m_hintWindow = new TddgHintWindow(&m_panel);
    const QPoint origin = m_panel.mapToGlobal(QPoint(0, 0));
    const QString title = CodePage::decode(text);
    m_hintWindow->setCanvasFontSize(m_settings.HintFontSize);
    m_hintWindow->setCanvasFontName(m_settings.HintFontName);
    // The box sits 10 pixels right of and 5 below the pointer, 10 wider and 2 taller than its title.
    const QRect rect(origin.x() + at.x() + 10, origin.y() + at.y() + 5, m_hintWindow->textWidth(title) + 10,
                     m_hintWindow->textHeight() + 2);
    // Translucent only where the screen can show it at this moment; opaque otherwise.
    m_hintWindow->setAlpha(TranslucencySupported() ? m_settings.HintOpacity * 255 / 100 : 255);
    m_hintWindow->SetExText(CodePage::decode(m_hover.hintText()));
    m_hintWindow->SetText(title);
    m_hintWindow->setColor(Qt::black);
    m_hintWindow->ActivateHint(rect, title);
    // Known in full once made (a note makes it taller): a box that would cover a bar over
    // the map moves off it, on the panel where it can.
    if (m_bar && m_bar->isVisible()) {
        const QRect bar(m_bar->mapToGlobal(QPoint(0, 0)), m_bar->size());
        const QRect placed = hintClearOf(m_hintWindow->geometry(), bar, QRect(origin, m_panel.size()));
        if (placed != m_hintWindow->geometry())
            m_hintWindow->ActivateHint(QRect(placed.topLeft(), rect.size()), title);
    }
    m_timer->stop();
    m_timer->setInterval(m_hover.hintDelay());
    m_timer->start();
}

void MapHintPresenter::hide()
{
    if (m_hintWindow)
        m_hintWindow->ReleaseHandle();
    m_timer->stop();
}

void MapHintPresenter::expire()
{
    m_timer->stop();
    if (m_hover.timerFired() && m_hintWindow)
        m_hintWindow->ReleaseHandle();
}

void MapHintPresenter::restart()
{
    if (m_hover.shown() && m_hintWindow)
        m_hintWindow->ReleaseHandle();
    m_hover.restart();
    m_timer->stop();
}

} // namespace vdm
