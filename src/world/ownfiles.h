// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

namespace vdm {

class World;

/**
 * The files of the open world that a file the user picks to write must never be: its
 * pictures and databases, the user's own copies, the views, the settings file, and the
 * backups kept of each ("<name>.bak", "<name>.bak.2", ...). A picture saved over
 * "vdmain.gdb" loses the world for the next start; a progress file written over
 * "user.gdb" fights the autosave.
 *
 * A file is compared by what it is, not by how its path is spelt: one that exists by its
 * device and inode (a symbolic or hard link to one of them is that file), one not there
 * yet by its canonical path (its folder's links and "." and ".." resolved, a dangling
 * link followed to where a write through it would land).
 */
class OwnFiles {
public:
    /** The files of `world` and the settings file at `settingsFile` (empty: none). */
    OwnFiles(const World& world, const QString& settingsFile);

    /** The file of these that writing `path` would replace, as its canonical path; empty when none. */
    QString clash(const QString& path) const;

    /** What the error box says when the user picked `path`, which is the file `own` (see clash). */
    static QString refusal(const QString& path, const QString& own);

private:
    QStringList m_paths;
};

} // namespace vdm
