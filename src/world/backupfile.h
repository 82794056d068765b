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

} // namespace vdm
