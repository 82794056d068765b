// SPDX-License-Identifier: MIT
#include "journey/journeysession.h"

#include "edit/locationsearch.h"
#include "map/placefilter.h"
#include "map/spatialindex.h"
#include "map/viewport.h"
#include "world/world.h"

#include <QMetaObject>

#include <algorithm>
#include <set>
#include <unordered_set>

namespace vdm {

JourneySession::JourneySession(const World& world, int inlinePlaces, QObject* parent)
    : QObject(parent), m_world(world), m_inlinePlaces(inlinePlaces)
{
    // The graph is made of the places and their routes, which only a load or another world
    // changes; statuses and notes are no part of it, so ticking places off never rebuilds it.
    for (const auto notice : {&WorldEvents::placesRead, &WorldEvents::replaced})
        connect(&world.events(), notice, this, [this] { m_graphStale = true; });
}

JourneySession::~JourneySession()
{
    stopWorker();
}

std::shared_ptr<const TravelGraph> JourneySession::graph()
{
    // A list moved in without a notice (a world assigned over another) is new too.
    if (!m_graph || m_graphStale || m_graphOf != m_world.locations().data()
        || m_graph->size() != int(m_world.locations().size())) {
        // A running search keeps its own hold on the graph it started with.
        m_graph = std::make_shared<const TravelGraph>(m_world.locations(), m_world.index());
        m_graphStale = false;
        m_graphOf = m_world.locations().data();
        ++m_builds;
    }
    return m_graph;
}

void JourneySession::stopWorker()
{
    if (m_cancel)
        m_cancel->store(true);
    if (m_worker.joinable())
        m_worker.join(); // cancelled, the search ends within a thousand steps
    m_cancel.reset();
    m_running = false;
}

template <typename Work> void JourneySession::run(Work work)
{
    stopWorker();
    const std::uint64_t request = ++m_request;
    std::shared_ptr<const TravelGraph> g = graph();
    if (g->size() <= m_inlinePlaces) {
        take(request, work(*g, m_settings, nullptr));
        return;
    }
    m_cancel = std::make_shared<std::atomic<bool>>(false);
    m_running = true;
    m_worker = std::thread([this, request, g, settings = m_settings, cancel = m_cancel, work] {
        Result result = work(*g, settings, cancel.get());
        if (cancel->load())
            return;
        // Queued to the session's thread; a session destroyed meanwhile joins this thread
        // first, and its pending calls go with it.
        QMetaObject::invokeMethod(
            this, [this, request, result = std::move(result)]() mutable { take(request, std::move(result)); },
            Qt::QueuedConnection);
    });
}

void JourneySession::take(std::uint64_t request, Result result)
{
    if (request != m_request)
        return; // a newer request came meanwhile
    if (m_worker.joinable())
        m_worker.join(); // it has posted its result and is ending
    m_running = false;
    m_cancel.reset();
    m_journey = std::move(result.journey);
    m_currentLeg = -1;
    m_tour = std::move(result.tour);
    m_hasTour = result.isTour;
    if (m_hasTour) {
        m_tour.updateDone(m_world.locations());
        emit tourPlanned();
    } else {
        emit routePlanned();
    }
}

void JourneySession::planRoute(int from, int to)
{
    run([from, to](const TravelGraph& g, const TravelSettings& s, const std::atomic<bool>* cancel) {
        return Result{planJourney(g, s, from, to, cancel), Tour(), false};
    });
}

void JourneySession::planTour(int start, std::vector<int> stops)
{
    run([start, stops = std::move(stops)](const TravelGraph& g, const TravelSettings& s,
                                          const std::atomic<bool>* cancel) {
        Result r;
        r.isTour = true;
        r.tour = Tour(g, s, start, stops, std::chrono::milliseconds(150), cancel);
        r.journey = tourJourney(g, s, r.tour, cancel);
        return r;
    });
}

void JourneySession::clear()
{
    stopWorker();
    ++m_request;
    m_journey = Journey();
    m_currentLeg = -1;
    m_tour = Tour();
    m_hasTour = false;
}

bool JourneySession::updateTourDone()
{
    return m_hasTour && m_tour.updateDone(m_world.locations());
}

JourneySession::LegView JourneySession::legView(int k) const
{
    if (k < 0 || std::size_t(k) >= m_journey.legs.size())
        return {};
    const JourneyLeg& leg = m_journey.legs[std::size_t(k)];
    const LocationList& places = m_world.locations();
    if (std::size_t(leg.from) >= places.size() || std::size_t(leg.to) >= places.size())
        return {};
    const Location& a = places[std::size_t(leg.from)];
    const Location& b = places[std::size_t(leg.to)];
    // The sum of two map coordinates fits in 64 bits, never in 32 on a far map.
    return {int((std::int64_t(a.X) + b.X) / 2), int((std::int64_t(a.Y) + b.Y) / 2), std::max(a.Level, b.Level)};
}

void JourneySession::setCurrentLeg(int k)
{
    m_currentLeg = k >= 0 && std::size_t(k) < m_journey.legs.size() ? k : -1;
}

int JourneySession::steppedLeg(int step) const
{
    const int count = int(m_journey.legs.size());
    if (count == 0)
        return -1;
    if (m_currentLeg < 0)
        return step > 0 ? 0 : count - 1;
    return std::clamp(m_currentLeg + step, 0, count - 1);
}

int placeNamed(const World& world, LocationSearch& search, QStringView text)
{
    const std::optional<QByteArray> folded = LocationSearch::foldQuery(text);
    if (!folded)
        return -1;
    int first = -1;
    for (const LocationSearch::Hit& hit : search.find(world, text, world.locations().size()).hits) {
        if (hit.field != LocationSearch::Field::Name)
            break; // names come first
        if (LocationSearch::fold(world.locations()[std::size_t(hit.index)].Name.trimmed()) == *folded)
            return hit.index;
        if (first < 0)
            first = hit.index;
    }
    return first;
}

Journey tourJourney(const TravelGraph& graph, const TravelSettings& settings, const Tour& tour,
                    const std::atomic<bool>* cancel)
{
    Journey all;
    all.start = tour.start();
    all.target = tour.stops().empty() ? tour.start() : tour.stops().back();
    all.end = all.start;
    all.reached = true;
    for (const int stop : tour.stops()) {
        const Journey leg = planJourney(graph, settings, all.end, stop, cancel);
        if (leg.cancelled) {
            all.cancelled = true;
            all.legs.clear();
            return all;
        }
        if (!leg.reached)
            continue; // the tour lists it among the unreachable; the next stop goes on from here
        all.legs.insert(all.legs.end(), leg.legs.begin(), leg.legs.end());
        all.end = stop;
    }
    all.reached = all.end == all.target;
    return all;
}

namespace TourPlaces {

std::vector<int> all(const World& world)
{
    std::vector<int> out(world.locations().size());
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = int(i);
    return out;
}

std::vector<int> ofQuery(const World& world, LocationSearch& search, QStringView query)
{
    std::vector<int> out;
    for (const LocationSearch::Hit& hit : search.find(world, query, world.locations().size()).hits)
        out.push_back(hit.index);
    return out;
}

std::vector<int> shownBy(const World& world, const PlaceFilter& filter)
{
    std::vector<int> out;
    const LocationList& places = world.locations();
    for (std::size_t i = 0; i < places.size(); ++i)
        if (filter.admits(places[i]))
            out.push_back(int(i));
    return out;
}

std::vector<int> inView(const World& world, const Viewport& view)
{
    const QRect panel(QPoint(0, 0), view.panel());
    const MapBox box = mapBoxOf(view, panel);
    std::vector<int> out;
    const LocationList& places = world.locations();
    // The index's cells may reach past the panel: keep the places whose point is on it.
    const std::vector<int> near
        = world.index().coversLocations(places) ? world.index().locationsIn(view, box) : all(world);
    for (const int i : near) {
        const Location& l = places[std::size_t(i)];
        if (panel.contains(view.mapToPanel(l.X, l.Y)))
            out.push_back(i);
    }
    return out;
}

namespace {

std::vector<QByteArray> distinct(const World& world, InternedText Location::*line)
{
    // Each text once by its number, then in the order of the texts.
    std::unordered_set<std::uint32_t> ids;
    std::set<QByteArray> seen;
    for (const Location& l : world.locations())
        if (ids.insert((l.*line).id()).second && !(l.*line).view().trimmed().isEmpty())
            seen.insert((l.*line).bytes()); // as stored: the tour's choice compares the stored line
    return {seen.begin(), seen.end()};
}

} // namespace

std::vector<QByteArray> regions(const World& world)
{
    return distinct(world, &Location::Region);
}
std::vector<QByteArray> kinds(const World& world)
{
    return distinct(world, &Location::Kind);
}

} // namespace TourPlaces

} // namespace vdm
