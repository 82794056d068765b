// SPDX-License-Identifier: MIT
#include "app/journeycommands.h"

#include "app/journeybar.h"
#include "data/codepage.h"
#include "dialogs/errorguard.h"
#include "dialogs/platform.h"
#include "hint/ddghintwindow.h"
#include "journey/journeysession.h"
#include "journey/journeytext.h"
#include "map/viewport.h"
#include "session/settingssession.h"
#include "ui_mainform.h"
#include "world/world.h"

#include <QClipboard>
#include <QGuiApplication>

namespace vdm {

JourneyCommands::JourneyCommands(QWidget& window, const Ui::TMainForm& ui, const World& world, const Viewport& view,
                                 SettingsSession& settings, Prompts& prompts, Hooks hooks)
    : QObject(&window), m_ui(ui), m_world(world), m_view(view), m_settings(settings), m_hooks(std::move(hooks)),
      m_session(new JourneySession(world, JourneySession::InlinePlaces, this)),
      m_bar(new JourneyBar(world, ui.PanelMap))
{
    QWidget* w = &window;
    connectGuarded(prompts, w, m_bar, &JourneyBar::planAsked, [this](int from, int to) { plan(from, to); });
    connectGuarded(prompts, w, m_bar, &JourneyBar::modesChanged, [this] { modesChanged(); });
    connectGuarded(prompts, w, m_bar, &JourneyBar::legChosen, [this](int k) { showLeg(k); });
    connectGuarded(prompts, w, m_bar, &JourneyBar::legStepped,
                   [this](int step) { showLeg(m_session->steppedLeg(step)); });
    connectGuarded(prompts, w, m_bar, &JourneyBar::copyAsked, [this] { copy(); });
    connectGuarded(prompts, w, m_bar, &JourneyBar::closed, [this] { closed(); });
    QObject::connect(m_session, &JourneySession::routePlanned, w,
                     [this, &prompts, w] { guarded(prompts, w, [this] { planned(); }); });
}

JourneyCommands::~JourneyCommands() = default;

void JourneyCommands::openRoute()
{
    m_bar->setModes(m_settings.travelSettings().enabled);
    m_bar->openBar(m_hooks.selectedPlace());
}

void JourneyCommands::worldChanged()
{
    m_session->clear();
    hideHints();
    m_bar->closeBar();
}

void JourneyCommands::plan(int from, int to)
{
    m_session->setSettings(m_settings.travelSettings());
    m_session->planRoute(from, to);
}

void JourneyCommands::planned()
{
    hideHints();
    m_bar->showJourney(m_session->journey());
    m_hooks.repaint();
}

void JourneyCommands::showLeg(int k)
{
    const Journey& journey = m_session->journey();
    if (k < 0 || std::size_t(k) >= journey.legs.size())
        return;
    m_session->setCurrentLeg(k);
    m_bar->setCurrentLeg(k);
    const JourneySession::LegView at = m_session->legView(k);
    m_hooks.centre(at.x, at.y, at.level); // paints, with the leg emphasised

    // Both places of the leg show their hints, as the pointer over each would.
    const JourneyLeg& leg = journey.legs[std::size_t(k)];
    const Settings& s = m_settings.settings();
    const QPoint origin = m_ui.PanelMap->mapToGlobal(QPoint(0, 0));
    for (std::size_t end = 0; end < m_hints.size(); ++end) {
        if (!m_hints[end])
            m_hints[end] = new TddgHintWindow(m_ui.PanelMap);
        TddgHintWindow* hint = m_hints[end];
        const Location& l = m_world.locations()[std::size_t(end == 0 ? leg.from : leg.to)];
        const QString title = CodePage::decode(l.Name);
        const QPoint p = m_view.mapToPanel(l.X, l.Y);
        hint->setCanvasFontSize(s.HintFontSize);
        hint->setCanvasFontName(s.HintFontName);
        hint->setAlpha(TranslucencySupported() ? s.HintOpacity * 255 / 100 : 255);
        hint->SetExText(CodePage::decode(l.Note));
        hint->SetText(title);
        hint->setColor(Qt::black);
        // Where the pointer's hint would sit: 10 pixels right of and 5 below the place.
        hint->ActivateHint(QRect(origin.x() + p.x() + 10, origin.y() + p.y() + 5, hint->textWidth(title) + 10,
                                 hint->textHeight() + 2),
                           title);
    }
}

void JourneyCommands::modesChanged()
{
    TravelSettings travel = m_settings.travelSettings();
    travel.enabled = m_bar->modes();
    m_settings.setTravelSettings(travel);
    // A journey on the map follows the ways now allowed.
    const Journey& shown = m_session->journey();
    if (shown.start >= 0 && shown.target >= 0 && m_bar->isVisible())
        plan(shown.start, shown.target);
}

void JourneyCommands::copy()
{
    const Journey& journey = m_session->journey();
    if (!journey.legs.empty())
        QGuiApplication::clipboard()->setText(JourneyText::clipboardText(journey, m_world.locations()));
}

void JourneyCommands::closed()
{
    m_session->clear();
    hideHints();
    m_hooks.repaint();
}

void JourneyCommands::hideHints()
{
    for (TddgHintWindow* hint : m_hints)
        if (hint)
            hint->ReleaseHandle();
}

} // namespace vdm
