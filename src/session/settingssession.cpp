// SPDX-License-Identifier: MIT
#include "session/settingssession.h"

#include "data/inifile.h"

namespace vdm {

QPoint reachablePosition(const StoredView& stored, const QList<QRect>& screens)
{
    const QRect wanted(stored.Left, stored.Top, qMax(1, stored.Width), qMax(1, stored.Height));
    if (screens.isEmpty())
        return wanted.topLeft();
    for (const QRect& screen : screens) {
        if (screen.intersects(wanted))
            return wanted.topLeft();
    }
    const StoredView defaults;
    return {defaults.Left, defaults.Top};
}

SettingsSession::SettingsSession() = default;
SettingsSession::~SettingsSession() = default;

void SettingsSession::open(const QString& path)
{
    m_file = std::make_unique<IniFile>(path);
    readSettings(*m_file, m_settings);
}

void SettingsSession::close()
{
    m_file.reset();
}

void SettingsSession::rebuildObjects()
{
    m_objects = DrawingObjects::fromSettings(m_settings);
}

const StoredView& SettingsSession::readStoredView()
{
    m_storedView = vdm::readStoredView(*m_file, m_settings);
    return m_storedView;
}

BandPositions SettingsSession::storedBands() const
{
    return readBandPositions(*m_file);
}

int SettingsSession::applyStoredWindowState()
{
    const int state = readWindowState(*m_file);
    m_storedLayoutApplied = true;
    return state;
}

void SettingsSession::write(WindowSnapshot window)
{
    if (!m_file)
        return;
    if (!m_storedLayoutApplied)
        keepStoredLayout(*m_file, window);
    if (!m_windowPositionsKnown)
        keepStoredPosition(*m_file, window);
    writeSettings(*m_file, m_settings, window);
    if (!m_chosenWorld.isEmpty())
        writeLastWorld(*m_file, m_chosenWorld);
}

} // namespace vdm
