// SPDX-License-Identifier: MIT
#pragma once

#include <array>

class QToolButton;

namespace vdm {

class SettingsSession;

/**
 * The eight display toggles of the tool bars: each tool button shows a settings member
 * and a click has the settings' owner switch it.
 */
class DisplayToggles {
public:
    /** The tool buttons, one per toggle. */
    struct Buttons {
        QToolButton* skarnels;
        QToolButton* ships;
        QToolButton* magesGuild;
        QToolButton* text;
        QToolButton* hint;
        QToolButton* unvisited;
        QToolButton* active;
        QToolButton* visited;
    };

    DisplayToggles(const Buttons& buttons, SettingsSession& settings) : m_buttons(buttons), m_settings(settings) {}

    /** The eight buttons, in the order of the tool bars. */
    std::array<QToolButton*, 8> buttons() const;
    /** Each toggle's button shows its member. */
    void showStates() const;
    /**
     * Switches the member `sender` shows. True when the map must repaint: the hint toggle
     * only changes what later pointer moves do. A button that is no toggle changes nothing.
     */
    bool click(QToolButton* sender);

private:
    Buttons m_buttons;
    SettingsSession& m_settings;
};

} // namespace vdm
