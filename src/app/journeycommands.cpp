// SPDX-License-Identifier: MIT
#include "app/journeycommands.h"

#include "app/journeybar.h"
#include "data/codepage.h"
#include "dialogs/errorguard.h"
#include "dialogs/platform.h"
#include "edit/mapeditor.h"
#include "hint/ddghintwindow.h"
#include "journey/journeysession.h"
#include "journey/journeytext.h"
#include "map/placefilter.h"
#include "map/viewport.h"
#include "session/hintplacement.h"
#include "session/settingssession.h"
#include "world/world.h"

#include <QClipboard>
#include <QGuiApplication>

#include <algorithm>
#include <utility>

namespace vdm {

JourneyCommands::JourneyCommands(QWidget& window, QWidget& mapPanel, const World& world, const Viewport& view,
                                 SettingsSession& settings, const MapEditor& editor, Prompts& prompts)
    : QObject(&window), m_mapPanel(mapPanel), m_world(world), m_view(view), m_settings(settings), m_editor(editor),
      m_session(new JourneySession(world, JourneySession::InlinePlaces, this)), m_bar(new JourneyBar(world, &mapPanel))
{
    QWidget* w = &window;
    connectGuarded(prompts, w, m_bar, &JourneyBar::planAsked, [this](int from, int to) { plan(from, to); });
    connectGuarded(prompts, w, m_bar, &JourneyBar::modesChanged, [this] { modesChanged(); });
    connectGuarded(prompts, w, m_bar, &JourneyBar::legChosen, [this](int k) { showLeg(k); });
    connectGuarded(prompts, w, m_bar, &JourneyBar::legStepped,
                   [this](int step) { showLeg(m_session->steppedLeg(step)); });
    connectGuarded(prompts, w, m_bar, &JourneyBar::copyAsked, [this] { copy(); });
    connectGuarded(prompts, w, m_bar, &JourneyBar::closed, [this] { closed(); });
    connectGuarded(prompts, w, m_bar, &JourneyBar::problemGone, [this] { showJourney(); });
    connectGuarded(prompts, w, m_bar, &JourneyBar::tourAsked,
                   [this](int from, int source, const QString& query, bool withActive) {
                       planTour(from, source, query, withActive);
                   });
    QObject::connect(&world.events(), &WorldEvents::statusChanged, this, [this] { m_statusesChanged = true; });
    QObject::connect(&world.events(), &WorldEvents::placesRead, this, [this] { m_statusesChanged = true; });
    QObject::connect(m_session, &JourneySession::routePlanned, w,
                     [this, &prompts, w] { guarded(prompts, w, [this] { planned(); }); });
    QObject::connect(m_session, &JourneySession::tourPlanned, w,
                     [this, &prompts, w] { guarded(prompts, w, [this] { planned(); }); });
}

JourneyCommands::~JourneyCommands() = default;

void JourneyCommands::openRoute()
{
    m_bar->setModes(m_settings.travelSettings().enabled);
    m_bar->openBar(m_editor.SelectedIndex());
}

void JourneyCommands::openTour(const QString& query)
{
    m_sources = {{Source::Query, {}}, {Source::View, {}}};
    QStringList labels{QStringLiteral("Places quick find matches"), QStringLiteral("Places in view")};
    if (m_places && m_places->active()) {
        m_sources.push_back({Source::Filter, {}});
        labels << QStringLiteral("Places the filter shows");
    }
    for (const QByteArray& region : TourPlaces::regions(m_world)) {
        m_sources.push_back({Source::Region, region});
        labels << QStringLiteral("Region: ") + CodePage::decode(region.trimmed());
    }
    for (const QByteArray& kind : TourPlaces::kinds(m_world)) {
        m_sources.push_back({Source::Kind, kind});
        labels << QStringLiteral("Kind: ") + CodePage::decode(kind.trimmed());
    }
    m_bar->setModes(m_settings.travelSettings().enabled);
    m_bar->openTour(m_editor.SelectedIndex(), labels, query);
}

void JourneyCommands::planTour(int from, int source, const QString& query, bool withActive)
{
    if (source < 0 || std::size_t(source) >= m_sources.size())
        return;
    const Source& s = m_sources[std::size_t(source)];
    TourChoice choice;
    choice.includeActive = withActive;
    std::vector<int> candidates;
    switch (s.type) {
    case Source::Query:
        candidates = TourPlaces::ofQuery(m_world, m_search, query);
        break;
    case Source::View:
        candidates = TourPlaces::inView(m_world, m_view);
        if (m_places) // what the map shows of it
            std::erase_if(candidates, [&](int i) { return !m_places->admits(m_world.locations()[std::size_t(i)]); });
        break;
    case Source::Filter:
        candidates = m_places ? TourPlaces::shownBy(m_world, *m_places) : TourPlaces::all(m_world);
        break;
    case Source::Region:
        candidates = TourPlaces::all(m_world);
        choice.region = s.value;
        break;
    case Source::Kind:
        candidates = TourPlaces::all(m_world);
        choice.kind = s.value;
        break;
    }
    std::vector<int> stops = tourStops(m_world.locations(), candidates, choice);
    std::erase(stops, from);
    if (stops.empty()) {
        m_session->clear();
        hideHints();
        m_bar->showProblem(QStringLiteral("No place is left to visit there."), JourneyBar::Subject::Stops);
        emit mapChanged();
        return;
    }
    m_session->setSettings(m_settings.travelSettings());
    m_session->planTour(from, std::move(stops));
}

void JourneyCommands::followWorld()
{
    if (!std::exchange(m_statusesChanged, false))
        return;
    if (m_session->updateTourDone())
        showTour();
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
    showJourney();
    emit mapChanged();
}

void JourneyCommands::showJourney()
{
    if (m_session->journey().start < 0 && !m_session->hasTour())
        return; // nothing planned: the bar stays as it is
    if (m_session->hasTour()) {
        m_session->updateTourDone();
        m_statusesChanged = false;
        showTour();
    } else {
        m_bar->showJourney(m_session->journey());
    }
    m_bar->setCurrentLeg(m_session->currentLeg());
}

void JourneyCommands::showTour()
{
    const Tour& tour = m_session->tour();
    const Journey& journey = m_session->journey();
    // A leg is done when the stop it reaches is: the stops in order are the legs' ends.
    std::vector<bool> done(journey.legs.size(), false);
    std::size_t next = 0;
    int doneStops = 0;
    for (std::size_t k = 0; k < journey.legs.size() && next < tour.stops().size(); ++k) {
        while (next < tour.stops().size()
               && std::count(tour.unreachable().begin(), tour.unreachable().end(), tour.stops()[next]))
            ++next; // no leg reaches it
        if (next < tour.stops().size() && journey.legs[k].to == tour.stops()[next]) {
            done[k] = tour.done(next);
            ++next;
        }
    }
    for (std::size_t k = 0; k < tour.stops().size(); ++k)
        doneStops += tour.done(k);
    QString heading = QStringLiteral("Tour of %1 stops, %2 done").arg(tour.stops().size()).arg(doneStops);
    if (!tour.unreachable().empty())
        heading += QStringLiteral("; %1 cannot be reached with these ways").arg(tour.unreachable().size());
    m_bar->showJourney(journey, done, heading);
}

void JourneyCommands::showLeg(int k)
{
    const Journey& journey = m_session->journey();
    if (k < 0 || std::size_t(k) >= journey.legs.size())
        return;
    m_session->setCurrentLeg(k);
    m_bar->setCurrentLeg(k);
    const JourneySession::LegView at = m_session->legView(k);
    emit centreWanted(at.x, at.y, at.level); // paints, with the leg emphasised

    // Both places of the leg show their hints, as the pointer over each would.
    const JourneyLeg& leg = journey.legs[std::size_t(k)];
    const Settings& s = m_settings.settings();
    const QPoint origin = m_mapPanel.mapToGlobal(QPoint(0, 0));
    const QRect panel(origin, m_mapPanel.size());
    // The bar first, then each hint put up: the second place's hint keeps off the first's.
    std::vector<QRect> keepClear{barArea()};
    for (std::size_t end = 0; end < m_hints.size(); ++end) {
        if (!m_hints[end])
            m_hints[end] = new TddgHintWindow(&m_mapPanel);
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
        const QRect wanted(origin.x() + p.x() + 10, origin.y() + p.y() + 5, hint->textWidth(title) + 10,
                           hint->textHeight() + 2);
        hint->ActivateHint(wanted, title);
        // The box's size is known once it is made (a note makes it taller); one that would
        // cover the bar (its place under the bar, or just beside it) or the other place's
        // hint moves off them.
        const QRect placed = hintClearOf(hint->geometry(), keepClear, panel);
        if (placed != hint->geometry())
            hint->ActivateHint(QRect(placed.topLeft(), wanted.size()), title);
        keepClear.push_back(hint->geometry());
    }
}

QRect JourneyCommands::barArea() const
{
    return m_bar->isVisible() ? QRect(m_bar->mapToGlobal(QPoint(0, 0)), m_bar->size()) : QRect();
}

void JourneyCommands::modesChanged()
{
    TravelSettings travel = m_settings.travelSettings();
    travel.enabled = m_bar->modes();
    m_settings.setTravelSettings(travel);
    // A journey on the map follows the ways now allowed.
    const Journey& shown = m_session->journey();
    if (shown.start >= 0 && shown.target >= 0 && m_bar->isVisible() && !m_session->hasTour())
        plan(shown.start, shown.target); // a tour is planned again only when the user asks
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
    emit mapChanged();
}

void JourneyCommands::hideHints()
{
    for (TddgHintWindow* hint : m_hints)
        if (hint)
            hint->ReleaseHandle();
}

} // namespace vdm
