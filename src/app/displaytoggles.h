// SPDX-License-Identifier: MIT
#pragma once

class QToolButton;

namespace Ui {
class TMainForm;
}

namespace vdm {

struct Settings;

/**
 * The eight display toggles of the tool bars: each tool button shows a settings member
 * and a click switches it.
 */
class DisplayToggles {
public:
    DisplayToggles(const Ui::TMainForm& ui, Settings& settings) : m_ui(ui), m_settings(settings) {}

    /** Each toggle's button shows its member. */
    void showStates() const;
    /**
     * Switches the member `sender` shows. True when the map must repaint: the hint toggle
     * only changes what later pointer moves do. A button that is no toggle changes nothing.
     */
    bool click(QToolButton* sender) const;

private:
    const Ui::TMainForm& m_ui;
    Settings& m_settings;
};

} // namespace vdm
