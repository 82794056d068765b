// SPDX-License-Identifier: MIT
#pragma once

#include "journey/routeplanner.h"
#include "journey/tourplanner.h"

#include <QObject>
#include <QStringView>

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

namespace vdm {

class PlaceFilter;

class LocationSearch;
struct Location;
class Viewport;
class World;

/**
 * The planner as one window uses it: the travel graph of the world it shows, the ways of
 * travelling the user allows, and the route or tour last planned.
 *
 * The graph is built again only when the world's places or routes change (another world,
 * a fresh read); the allowed ways are the search's business and need no rebuild. A small
 * world plans on the calling thread, at once; a large one on a worker thread, so the
 * window keeps painting. A newer request cancels an older one, whose result is dropped
 * even when it was already on its way. Either way the result arrives through routePlanned()
 * or tourPlanned(), on the thread that owns the session.
 */
class JourneySession : public QObject {
    Q_OBJECT

public:
    /**
     * Worlds of up to this many places plan at once: a route there takes well under a
     * frame (the sample world's, about a tenth of a millisecond).
     */
    static constexpr int InlinePlaces = 20000;

    /** `inlinePlaces`: up to how many places a request is answered at once (tests lower it). */
    explicit JourneySession(const World& world, int inlinePlaces = InlinePlaces, QObject* parent = nullptr);
    ~JourneySession() override;
    JourneySession(const JourneySession&) = delete;
    JourneySession& operator=(const JourneySession&) = delete;

    const TravelSettings& settings() const { return m_settings; }
    /** The ways allowed and their costs for the next request. */
    void setSettings(const TravelSettings& settings) { m_settings = settings; }

    /** The graph of the world as it is now, built again only when its places or routes changed. */
    std::shared_ptr<const TravelGraph> graph();
    /** How many times the graph has been built. */
    int graphBuilds() const { return m_builds; }

    /** Plans the quickest route from place `from` to place `to`; see routePlanned(). */
    void planRoute(int from, int to);
    /**
     * Plans a tour from place `start` through `stops` (see tourStops()); see tourPlanned().
     * The tour's legs are the quickest routes from each stop to the next.
     */
    void planTour(int start, std::vector<int> stops);
    /** A request is running on the worker. */
    bool busy() const { return m_running; }
    /** Cancels what is running and forgets the journey and the tour. */
    void clear();

    /** The route last planned, or the tour's legs one after the other; no legs when none. */
    const Journey& journey() const { return m_journey; }
    /** The tour last planned (empty when the journey is a route). */
    const Tour& tour() const { return m_tour; }
    bool hasTour() const { return m_hasTour; }
    /** Takes the statuses of the world's places into the tour's done stops; whether any changed. */
    bool updateTourDone();

    /** Where leg `k` is centred: midway between its places, at the level that shows both. */
    struct LegView {
        int x = 0, y = 0, level = 0;
    };
    LegView legView(int k) const;
    /** The leg the user looks at (-1: none yet); a new journey starts with none. */
    int currentLeg() const { return m_currentLeg; }
    void setCurrentLeg(int k);
    /** The leg N (+1) or P (-1) leads to from the current one, kept within the legs; -1 without legs. */
    int steppedLeg(int step) const;

signals:
    /** journey() holds the route asked for last. */
    void routePlanned();
    /** tour() and journey() hold the tour asked for last. */
    void tourPlanned();

private:
    struct Result {
        Journey journey;
        Tour tour;
        bool isTour = false;
    };
    template <typename Work> void run(Work work);
    void take(std::uint64_t request, Result result);
    void stopWorker();

    const World& m_world;
    const int m_inlinePlaces;
    TravelSettings m_settings;
    std::shared_ptr<const TravelGraph> m_graph;
    bool m_graphStale = false;           // the world's notices: its places were read again or replaced
    const Location* m_graphOf = nullptr; // the list the graph was made of
    int m_builds = 0;

    std::thread m_worker;
    std::shared_ptr<std::atomic<bool>> m_cancel;
    std::uint64_t m_request = 0; // the latest request; older results are dropped
    bool m_running = false;

    Journey m_journey;
    int m_currentLeg = -1;
    Tour m_tour;
    bool m_hasTour = false;
};

/** The journey of a tour: the quickest route from its start to the first stop, then on from stop to stop. */
Journey tourJourney(const TravelGraph& graph, const TravelSettings& settings, const Tour& tour,
                    const std::atomic<bool>* cancel = nullptr);

/**
 * The place a typed name means: the one whose name matches it whole (ignoring case and
 * accents, as quick find does), else the first whose name quick find matches, in the
 * location list's order; -1 when no name matches.
 */
int placeNamed(const World& world, LocationSearch& search, QStringView text);

/** The places a tour may choose from (tourStops() then keeps those left to do). */
namespace TourPlaces {
/** Every place of the world (a region or a kind is chosen through TourChoice). */
std::vector<int> all(const World& world);
/** The places the quick-find query matches, in the location list's order. */
std::vector<int> ofQuery(const World& world, LocationSearch& search, QStringView query);
/** The places shown in the part of the map `view` shows. */
std::vector<int> inView(const World& world, const Viewport& view);
/** The places `filter` lets through (its kinds and regions), in the world's order. */
std::vector<int> shownBy(const World& world, const PlaceFilter& filter);
/** The regions (or kinds) of the world's places, each once as stored, sorted, blank ones left out. */
std::vector<QByteArray> regions(const World& world);
std::vector<QByteArray> kinds(const World& world);
} // namespace TourPlaces

} // namespace vdm
