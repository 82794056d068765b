// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace vdm {

/**
 * Where the settings file and the user's databases live. Each has a home folder: the
 * program's folder for "qor.ini", the world folder for "user.gdb" and "markers.gdb". A
 * program installed read-only, or a world on read-only media, would lose every write
 * there, so the file then lives in a folder of its own under the user's XDG folders:
 *
 * - a copy in the own folder is used first whenever it exists;
 * - otherwise the home folder, when the user may write there (by the same rule as every
 *   write: the mode bits hold for the superuser too);
 * - otherwise the own folder, which is created, and into which the home folder's file,
 *   when there is one, is first copied unchanged, so what was stored is read as before
 *   and every later write goes to the copy; the home folder's file is never touched.
 *
 * When the own folder cannot be made or filled, the home folder's file is used as
 * before, and a failing write says so as it always did.
 */
namespace DataLocations {

/** The settings file of a program in `applicationDirectory` (which ends with "/"). */
QString settingsFile(const QString& applicationDirectory);

/** The file `name` ("user.gdb", "markers.gdb") of the world in `worldFolder` (empty: the working directory). */
QString userFile(const QString& worldFolder, const QString& name);

/**
 * The same place when it is settled without writing anything (a copy in the own folder
 * exists, or the home folder is writable); empty when userFile() would first make the
 * own folder or copy the file into it. Safe on any thread: it only looks.
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

} // namespace DataLocations
} // namespace vdm
