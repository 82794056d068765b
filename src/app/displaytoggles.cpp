// SPDX-License-Identifier: MIT
#include "app/displaytoggles.h"

#include "data/settings.h"
#include "session/settingssession.h"

#include <QToolButton>

namespace vdm {
namespace {

// Each toggle's tool button, the member it switches, and whether a click repaints the map.
struct DisplayToggle {
    QToolButton* DisplayToggles::Buttons::*button;
    bool Settings::*field;
    bool repaint;
};
constexpr DisplayToggle kToggles[] = {
    {&DisplayToggles::Buttons::skarnels, &Settings::ShowSkarnels, true},
    {&DisplayToggles::Buttons::ships, &Settings::ShowShips, true},
    {&DisplayToggles::Buttons::magesGuild, &Settings::ShowMagesGuild, true},
    {&DisplayToggles::Buttons::text, &Settings::ShowText, true},
    {&DisplayToggles::Buttons::hint, &Settings::ShowHint, false},
    {&DisplayToggles::Buttons::unvisited, &Settings::ShowUnvisited, true},
    {&DisplayToggles::Buttons::active, &Settings::ShowActive, true},
    {&DisplayToggles::Buttons::visited, &Settings::ShowVisited, true},
};

static_assert(std::size(kToggles) == std::tuple_size_v<std::array<QToolButton*, 8>>);

} // namespace

std::array<QToolButton*, 8> DisplayToggles::buttons() const
{
    std::array<QToolButton*, 8> all{};
    for (size_t i = 0; i < all.size(); ++i)
        all[i] = m_buttons.*kToggles[i].button;
    return all;
}

void DisplayToggles::showStates() const
{
    for (const DisplayToggle& t : kToggles)
        (m_buttons.*t.button)->setChecked(m_settings.settings().*t.field);
}

bool DisplayToggles::click(QToolButton* sender)
{
    for (const DisplayToggle& t : kToggles) {
        if (m_buttons.*t.button != sender)
            continue;
        Settings changed = m_settings.settings();
        changed.*t.field = !(changed.*t.field);
        m_settings.apply(changed);
        sender->setChecked(changed.*t.field);
        return t.repaint;
    }
    return false;
}

} // namespace vdm
