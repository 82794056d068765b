// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

#include <array>
#include <functional>

class QWidget;

namespace Ui {
class TMainForm;
}

namespace vdm {

class JourneyBar;
class JourneySession;
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
    struct Hooks {
        std::function<int()> selectedPlace;                    // the place the location list selects, or -1
        std::function<void(int x, int y, int level)> centre;   // as Go centres a place (and paints)
        std::function<void()> repaint;                         // the map, now
    };

    JourneyCommands(QWidget& window, const Ui::TMainForm& ui, const World& world, const Viewport& view,
                    SettingsSession& settings, Prompts& prompts, Hooks hooks);
    ~JourneyCommands() override;

    /** "Plan route...": the bar opens with the selected place as From. */
    void openRoute();
    /** Another world came in: what was planned for the last one goes, with the bar. */
    void worldChanged();

    /** The journey shown and its current leg (widget-free; the canvas draws from it). */
    const JourneySession& session() const { return *m_session; }
    const JourneyBar& bar() const { return *m_bar; }

private:
    void plan(int from, int to);
    void planned();
    void showLeg(int k);
    void modesChanged();
    void copy();
    void closed();
    void hideHints();

    const Ui::TMainForm& m_ui;
    const World& m_world;
    const Viewport& m_view;
    SettingsSession& m_settings;
    Hooks m_hooks;
    JourneySession* m_session;
    JourneyBar* m_bar;
    std::array<TddgHintWindow*, 2> m_hints{}; // the current leg's two places, made on the first leg shown
};

} // namespace vdm
