// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace vdm {

class IniFile;

/**
 * The worlds opened last (by argument, by the chooser or by "Open world..."), newest
 * first, at most eight. A world opened again moves to the front instead of appearing
 * twice; two names of one folder ("a/../world", a link to it) count as one. A folder that
 * no longer holds a world is dropped from the list without a word.
 *
 * The list is kept in the settings file's own section "Recent" ("World1" to "World8",
 * each stored as "LastWorld" is), written only when the list changed, so a run that opened
 * no world leaves the file as it was.
 */
class RecentWorlds {
public:
    static constexpr int Limit = 8;

    RecentWorlds() = default;
    explicit RecentWorlds(const QStringList& folders);

    /** The folders, newest first. */
    const QStringList& folders() const { return m_folders; }
    /** `folder` was opened: it goes to the front. */
    void opened(const QString& folder);
    /** Drops every folder `holdsWorld` says is gone; returns whether any was. */
    bool dropVanished(const std::function<bool(const QString&)>& holdsWorld);
    /**
     * `stored` is the list the settings file holds now: when another window wrote it since
     * this one was read or written, the list becomes the worlds opened in this run, newest
     * first, then the file's. Nothing changes while the file holds what this run read.
     */
    void follow(const RecentWorlds& stored);
    /** Whether the list differs from what was read or last written. */
    bool changed() const { return m_folders != m_stored; }

    /** The list the settings file holds. */
    static RecentWorlds read(const IniFile& ini);
    /** Stores the list when it changed (then flushes); a failed write throws "Unable to write to %s". */
    void write(IniFile& ini);

    /** One name per folder: absolute and clean, its links resolved while it exists. */
    static QString identity(const QString& folder);

private:
    QStringList m_folders;
    QStringList m_stored;
    QStringList m_openedHere; // by this run, newest first
};

} // namespace vdm
