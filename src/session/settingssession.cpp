// SPDX-License-Identifier: MIT
#include "session/settingssession.h"

#include "data/atomicfile.h"
#include "data/databasefile.h"
#include "data/errors.h"
#include "data/inifile.h"
#include "data/regularfile.h"
#include "journey/journeysettings.h"
#include "world/backupfile.h"
#include "world/world.h"

#include <QDir>
#include <QFileInfo>

#include <utility>

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
    m_keptInMemory = false;
    RegularFile file(path);
    if (file.isOpen() && file.size() <= IniFile::MaxFileSize) {
        const std::optional<QByteArray> bytes = file.readAll(IniFile::MaxFileSize);
        if (bytes && !unicodeEncoding(*bytes).isEmpty())
            setAsideUnreadable(path, *bytes);
    }
    m_read = m_file->contents();
    readSettings(*m_file, m_settings);
    m_travel = JourneySettings::read(*m_file);
    m_recent = RecentWorlds::read(*m_file);
    if (m_read) {
        // A key the file lacks is written with its default by every window: it is no
        // change of this run's until the user makes it one.
        auto storage = std::make_unique<MemoryIniStorage>(*m_read);
        const MemoryIniStorage& unchanged = *storage;
        IniFile ini(m_file->fileName(), std::move(storage));
        writeSettings(ini, m_settings, storedWindow(ini));
        JourneySettings::write(ini, m_travel);
        m_unchanged = unchanged.bytes();
    }
}

void SettingsSession::rememberWorld(const QString& folder)
{
    m_chosenWorld = folder;
    m_recent.opened(folder);
}

QStringList SettingsSession::recentWorlds()
{
    m_recent.dropVanished([](const QString& folder) { return World::pictureExists(folder); });
    return m_recent.folders();
}

QString SettingsSession::filePath() const
{
    return m_file ? m_file->fileName() : QString();
}

void SettingsSession::setAsideUnreadable(const QString& path, const QByteArray& bytes)
{
    // Written line by line in 8-bit text, such a file would become one that no program
    // reads. It is kept whole beside a fresh one, or, where that cannot be, left as it is.
    const QString full = QFileInfo(path).absoluteFilePath();
    const QString told = QStringLiteral("The settings file %1 is stored as %2 text, which this program cannot read.")
                             .arg(QDir::toNativeSeparators(full), unicodeEncoding(bytes));
    try {
        const QString backup = keepBackup(full, bytes);
        AtomicFile::write(full, QByteArray());
        m_notices << told
                         + QStringLiteral(" It is kept as %1, and the settings start again from their defaults.")
                               .arg(QDir::toNativeSeparators(backup));
    } catch (const Error&) {
        m_keptInMemory = true;
        m_notices << told
                         + QStringLiteral(" It is left as it is; the settings of this run start from their defaults "
                                          "and are not saved.");
    }
}

QStringList SettingsSession::takeNotices()
{
    return std::exchange(m_notices, {});
}

void SettingsSession::close()
{
    m_file.reset();
}

void SettingsSession::rebuildObjects()
{
    m_objects = DrawingObjects::fromSettings(m_settings);
}

void SettingsSession::apply(const Settings& next)
{
    if (next == m_settings)
        return;
    const Settings before = std::exchange(m_settings, next);
    // The font and the colours are made again only when what they are made of changed.
    if (DrawingObjects objects = DrawingObjects::fromSettings(m_settings); !(objects == m_objects))
        m_objects = std::move(objects);
    emit changed(before);
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
    if (!m_file || m_keptInMemory)
        return;
    // Another window (of another world) shares the file: what this run writes is made on
    // the contents it read, and only the keys it changed go into the file as it is now.
    const auto writeAll = [&](IniFile& ini) {
        if (!m_storedLayoutApplied)
            keepStoredLayout(ini, window);
        if (!m_windowPositionsKnown)
            keepStoredPosition(ini, window);
        writeSettings(ini, m_settings, window);
        JourneySettings::write(ini, m_travel);
        if (!m_chosenWorld.isEmpty())
            writeLastWorld(ini, m_chosenWorld);
        m_recent.write(ini);
    };
    if (!m_read) { // the file could not be read at the start: its writes refuse as they always did
        writeAll(*m_file);
        return;
    }
    m_recent.follow(RecentWorlds::read(*m_file));
    auto storage = std::make_unique<MemoryIniStorage>(*m_read);
    const MemoryIniStorage& ours = *storage;
    IniFile mine(m_file->fileName(), std::move(storage));
    writeAll(mine);
    m_file->WriteChanges(*m_read, m_unchanged, ours.bytes());
    m_file->UpdateFile();
    m_read = m_unchanged = ours.bytes();
}

} // namespace vdm
