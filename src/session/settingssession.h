// SPDX-License-Identifier: MIT
#pragma once

#include "data/settings.h"
#include "journey/travelgraph.h"
#include "session/recentworlds.h"
#include "map/mappainter.h"

#include <QList>
#include <QObject>
#include <QRect>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace vdm {

class IniFile;

/**
 * Where a window stored at `stored` opens, given the screens' available areas. A stored
 * position that would put the window wholly outside every screen (a screen since
 * unplugged, or the far-away place some desktops give a minimised window) would leave it
 * unreachable; such a window opens at the default place instead. No screens: as stored.
 */
QPoint reachablePosition(const StoredView& stored, const QList<QRect>& screens);

/**
 * The settings of one run: the settings file, open from start-up to shut-down, the
 * settings members read from it, the drawing objects made from them, and the stored
 * window state the first show applies. No widgets: the window reads and shows these,
 * and hands its own geometry to write().
 *
 * It is the members' one owner: whoever changes a setting (a display toggle, the options
 * dialog, a folder remembered) hands it a changed copy, which it applies and announces
 * (`changed`); everyone else reads them.
 *
 * A first show that never applied the stored band layout and window state (an error
 * stopped it, or there was none) writes them back as they were: what the window shows
 * then is no choice of the user's.
 */
class SettingsSession : public QObject {
    Q_OBJECT

public:
    SettingsSession();
    ~SettingsSession() override;
    SettingsSession(const SettingsSession&) = delete;
    SettingsSession& operator=(const SettingsSession&) = delete;

    /**
     * Opens the settings file and reads every member (what it lacks keeps its default). A
     * file in UTF-16 or UTF-32, which this program can neither read nor rewrite, is kept
     * as "<path>.bak" and a fresh file started; where that cannot be written, the file is
     * left as it is and this run's settings stay in memory. A notice says which.
     */
    void open(const QString& path);
    /** What open() had to tell the user; each once. */
    QStringList takeNotices();
    /** Open from open() until close(): writes reach the file only meanwhile. */
    bool isOpen() const { return m_file != nullptr; }
    /** Lets go of the settings file; later writes do nothing. */
    void close();
    /** The settings file's path while it is open; empty otherwise. */
    QString filePath() const;

    const Settings& settings() const { return m_settings; }
    /**
     * Takes `next` as the members and tells it (`changed`), the drawing objects made
     * again first when what they are made of changed. Equal members: nothing happens.
     */
    void apply(const Settings& next);
    /**
     * The journey planner's ways and costs: read with the members, written with them
     * only once the user has made them differ from what the file holds.
     */
    const TravelSettings& travelSettings() const { return m_travel; }
    void setTravelSettings(const TravelSettings& travel) { m_travel = travel; }

    /** Caption font, brushes and pens, as last rebuilt. */
    const DrawingObjects& objects() const { return m_objects; }
    /** Makes the drawing objects again from the members. */
    void rebuildObjects();

    /** Reads the stored zoom, scroll, geometry and state (by the members read before). */
    const StoredView& readStoredView();
    /** What readStoredView() found; the defaults before it ran. */
    const StoredView& storedView() const { return m_storedView; }
    /** The stored window was maximised. */
    bool storedMaximized() const { return m_storedView.State == 2; }
    /** Where each band's tool bar was, as stored. */
    BandPositions storedBands() const;
    /**
     * The stored window state (0 normal, 1 minimised, 2 maximised) for the first show to
     * apply; from here on, writes take the window's own band layout and state.
     */
    int applyStoredWindowState();
    bool storedLayoutApplied() const { return m_storedLayoutApplied; }

    /**
     * The world the run opened, when it was chosen rather than found in the working
     * directory: every write remembers it for the next run started outside a world.
     */
    void rememberWorld(const QString& folder);
    /**
     * The worlds opened last, newest first (see RecentWorlds); a folder that no longer
     * holds a map picture is dropped from the list on the way, without a word.
     */
    QStringList recentWorlds();

    /**
     * Whether the window system tells a program where its window is and lets it place it
     * (X11 does, Wayland does not). Without that the stored position is neither restored
     * nor written over; the size and the state still are. Known until said otherwise.
     */
    void setWindowPositionsKnown(bool known) { m_windowPositionsKnown = known; }
    bool windowPositionsKnown() const { return m_windowPositionsKnown; }

    /**
     * Writes every member and the window's geometry; nothing once closed. Only what this
     * run changed since it read the file (or last wrote it) replaces what the file holds:
     * another window's settings, written meanwhile, stay where this run changed nothing.
     */
    void write(WindowSnapshot window);

signals:
    /** apply() changed the members; `before` is what they were. */
    void changed(const Settings& before);

private:
    std::unique_ptr<IniFile> m_file;
    Settings m_settings;
    TravelSettings m_travel;
    DrawingObjects m_objects;
    StoredView m_storedView;
    bool m_storedLayoutApplied = false;
    bool m_windowPositionsKnown = true;
    QString m_chosenWorld; // empty: the run was started inside its world
    RecentWorlds m_recent;
    QStringList m_notices;
    bool m_keptInMemory = false;      // the file could not be read and is left alone: nothing is written
    std::optional<QByteArray> m_read; // the file as read at the start or last written here; none: unreadable
    QByteArray m_unchanged;           // what this run's writes make of m_read while nothing changes

    void setAsideUnreadable(const QString& path, const QByteArray& bytes);
};

} // namespace vdm
