// SPDX-License-Identifier: MIT
#pragma once

#include "edit/locationsearch.h"

#include <QByteArray>
#include <QObject>
#include <QRect>
#include <QString>

#include <array>
#include <cstdint>
#include <vector>

class QWidget;

namespace vdm {

class JourneyBar;
class JourneySession;
class MapEditor;
class PlaceFilter;
class Prompts;
class SettingsSession;
class TddgHintWindow;
class Viewport;
class World;

/**
 * The journey planner in the window: "Plan route..." opens the journey bar over the map,
 * Enter there plans through the JourneySession, the map draws the journey (MapCanvas asks
 * session()) and N, P or the list step through its legs, each centred as Go centres a
 * place, with its two places' hints up. The modes the bar allows go into the settings
 * session, which writes them only once they differ from the file. Closing the bar
 * removes the drawing.
 */
class JourneyCommands : public QObject {
    Q_OBJECT

public:
    /**
     * `mapPanel`: the bar and the legs' hints stand over it; `editor`: the place the
     * location list selects is where a route or a tour starts.
     */
    JourneyCommands(QWidget& window, QWidget& mapPanel, const World& world, const Viewport& view,
                    SettingsSession& settings, const MapEditor& editor, Prompts& prompts);
    ~JourneyCommands() override;

    /** "Plan route...": the bar opens with the selected place as From. */
    void openRoute();
    /**
     * "Plan tour...": the bar opens for a tour from the selected place; `query` (the quick
     * find's text, if any) fills the query the first choice of stops takes.
     */
    void openTour(const QString& query = {});
    /**
     * Before each paint: a tour's stops the user has since marked visited (the world said
     * so) show as done (the order stays as planned).
     */
    void followWorld();
    /** Another world came in: what was planned for the last one goes, with the bar. */
    void worldChanged();

    /**
     * The kinds and regions the user chose to see (kept by the window): while it keeps
     * places out, a tour may take "the places the filter shows", and the places in view
     * are only those it shows.
     */
    void setPlaceFilter(const PlaceFilter* filter) { m_places = filter; }

    /** The journey shown and its current leg (widget-free; the canvas draws from it). */
    const JourneySession& session() const { return *m_session; }
    const JourneyBar& bar() const { return *m_bar; }
    /** Where the bar stands on the screen (global coordinates); empty while it is closed. */
    QRect barArea() const;

signals:
    /** The map must show the journey as it is now, before the command goes on. */
    void mapChanged();
    /** A leg's place is to be centred as Go centres a place (and the map painted). */
    void centreWanted(int x, int y, int level);

private:
    void plan(int from, int to);
    void planned();
    /** The bar shows the journey planned last, if any (its totals, legs and current leg). */
    void showJourney();
    void planTour(int from, int source, const QString& query, bool withActive);
    void showTour();
    void showLeg(int k);
    void modesChanged();
    void copy();
    void closed();
    void hideHints();

    QWidget& m_mapPanel;
    const World& m_world;
    const Viewport& m_view;
    SettingsSession& m_settings;
    const MapEditor& m_editor;
    /** Where a tour's stops come from, as the bar's choices list them. */
    struct Source {
        enum Type { Query, View, Filter, Region, Kind } type;
        QByteArray value; // the region or the kind
    };
    std::vector<Source> m_sources;
    const PlaceFilter* m_places = nullptr;
    LocationSearch m_search;
    bool m_statusesChanged = false; // since the tour's done stops were last taken (the world's notices)
    JourneySession* m_session;
    JourneyBar* m_bar;
    std::array<TddgHintWindow*, 2> m_hints{}; // the current leg's two places, made on the first leg shown
};

} // namespace vdm
