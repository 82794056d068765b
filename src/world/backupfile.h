// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

namespace vdm {

/**
 * Keeps `bytes` (a stored file's contents) as "<path>.bak" and returns where they are now
 * kept. A backup left by an earlier run may be the only whole copy of the user's data (a
 * locations file that stays broken makes every run incomplete), so it is never replaced:
 * the next free "<path>.bak.2", ".bak.3", ... is taken instead, unless one of them already
 * holds exactly these bytes (that one is returned). A failed write throws "Unable to
 * write to %s".
 */
QString keepBackup(const QString& path, const QByteArray& bytes);

/**
 * Writes a rescue copy: this run's data, at `path` in the user's own folder for the world,
 * when the world's own file cannot be written. The folder is made as needed; a file found
 * there that is not this run's own copy (`replacesOwn` false) is kept by keepBackup first.
 * A failure throws "Unable to write to %s".
 */
void writeRescueCopy(const QString& path, const QByteArray& bytes, bool replacesOwn);
/** The world's file holds the data again: the rescue copy at `path` goes. */
void removeRescueCopy(const QString& path);

} // namespace vdm
