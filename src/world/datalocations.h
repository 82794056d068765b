// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

namespace vdm {

/**
 * Where the settings file and the user's databases live. Each has a home folder: the
 * program's folder for "qor.ini", the world folder for "user.gdb" and "markers.gdb". A
 * program installed on the system, or a world on read-only media, would lose every write
 * there (or leave files behind in the installation), so the file then lives in a folder
 * of its own under the user's XDG folders:
 *
 * - an installed copy (see InstallLayout::installPrefix) keeps its settings, and the
 *   user files of every world inside its prefix, in the own folder always, whoever runs
 *   it and whatever the mode bits say;
 * - otherwise the home folder when the user may write there (by the same rule as every
 *   write: the mode bits hold for the superuser too). A settings file there is always
 *   the one used, whatever the own folder holds. A user file that also has a copy in the
 *   own folder (written while the world folder was read-only) is settled first: the newer
 *   of the two by modification time is used, in the world folder, and the other is kept
 *   as a backup ("<name>.bak", see keepBackup) with a notice. When that cannot be done
 *   (no room for the backup or the new file), the newer copy is used where it lies and
 *   both stay as they are until they can be settled, again with a notice;
 * - otherwise the own folder, which is created, and into which the home folder's file,
 *   when there is one, is first copied unchanged, so what was stored is read as before
 *   and every later write goes to the copy; the home folder's file is never touched.
 *
 * When the own folder cannot be made or filled (or no folder of the user's is known:
 * XDG_CONFIG_HOME or XDG_DATA_HOME, when absolute, else under HOME), the home folder's
 * file is read where it is, a notice says so once, and writes to it refuse as writes into
 * a read-only folder always do. The copy reads only a regular file, no larger than the
 * file's own reader takes, and none with holes.
 */
namespace DataLocations {

/** The settings file of a program in `applicationDirectory` (which ends with "/"). */
QString settingsFile(const QString& applicationDirectory);

/**
 * The file `name` ("user.gdb", "markers.gdb") of the world in `worldFolder` (empty: the
 * working directory), for the running program. When two copies had to be settled,
 * `notice` (when given) receives what the user is told; otherwise it is left alone.
 */
QString userFile(const QString& worldFolder, const QString& name, QString* notice = nullptr);

/** The same for a program installed in `installPrefix` (empty: a copy that is not installed). */
QString userFileFor(const QString& installPrefix, const QString& worldFolder, const QString& name,
                    QString* notice = nullptr);

/**
 * The same place when it is settled without writing anything (a copy in the own folder
 * exists and is the one to use, or the home folder is writable and holds the only copy);
 * empty when userFile() would first make the own folder, copy the file into it or settle
 * two copies. Safe on any thread: it only looks.
 */
QString settledUserFile(const QString& worldFolder, const QString& name);

/**
 * The user's own folder for the world in `worldFolder`:
 * $XDG_DATA_HOME/veldamar-map/<folder name>-<8 hex digits of its absolute path's hash>,
 * so two worlds with the same folder name keep apart. Empty when there is no XDG data folder.
 */
QString userDataFolder(const QString& worldFolder);

/** $XDG_CONFIG_HOME/veldamar-map; empty when there is none. */
QString settingsFolder();

/** The prefix the running program is installed in; empty when it is not installed (or there is no application). */
QString runningInstallPrefix();

/** What the places settled since the last call could not honour, each text once a run. Any thread. */
QStringList takeNotices();

} // namespace DataLocations
} // namespace vdm
