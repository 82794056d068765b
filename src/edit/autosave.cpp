// SPDX-License-Identifier: MIT
#include "edit/autosave.h"

#include "world/world.h"

#include <exception>

namespace vdm {

Autosave::Autosave(World& world) : m_world(world)
{
    const WorldEvents& events = world.events();
    const auto userData = [this] {
        if (m_open)
            m_open->m_userData = true;
    };
    m_connections.connect(events, &WorldEvents::statusChanged, userData);
    m_connections.connect(events, &WorldEvents::noteChanged, userData);
    m_connections.connect(events, &WorldEvents::markersChanged, [this] {
        if (m_open)
            m_open->m_markers = true;
    });
}

Autosave::Edit::Edit(Autosave& autosave, Rule rule) : m_autosave(autosave), m_outer(autosave.m_open), m_rule(rule)
{
    autosave.m_open = this;
}

Autosave::Edit::~Edit()
{
    if (m_listening)
        m_autosave.m_open = m_outer;
}

void Autosave::Edit::write()
{
    if (!m_listening)
        return;
    // A write may merge another program's changes, which the world tells too: those are
    // no part of this edit.
    m_listening = false;
    m_autosave.m_open = m_outer;
    World& world = m_autosave.m_world;
    const bool on = m_autosave.m_on || m_rule == Rule::TogetherAlways;
    if (!on || m_rule == Rule::Never || (!m_userData && !m_markers))
        return;
    if (m_rule != Rule::EachFile) {
        world.SaveUserFilesTogether(m_userData, m_markers);
        return;
    }
    std::exception_ptr failed;
    if (m_userData) {
        try {
            world.autosaveUserData();
        } catch (...) {
            failed = std::current_exception();
        }
    }
    if (m_markers) {
        try {
            world.autosaveMarkers();
        } catch (...) {
            if (!failed)
                failed = std::current_exception();
        }
    }
    if (failed)
        std::rethrow_exception(failed);
}

} // namespace vdm
