// SPDX-License-Identifier: MIT
#pragma once

#include <QDate>
#include <QStandardPaths>
#include <QString>

namespace vdm {

/**
 * The file a save dialog proposes: in `remembered` (the folder the user last saved such
 * a file into) while that is still a folder; otherwise in the user's `standard` folder
 * (pictures, documents) when it exists; otherwise in the home folder. Never the world's
 * folder: an installed world lies where the user may not write. The name tells the
 * world's folder name, what the file holds and the day, "Veldamar-map-2026-12-09.png",
 * so saves of several worlds and days keep apart.
 */
QString proposedFile(const QString& remembered, QStandardPaths::StandardLocation standard, const QString& worldFolder,
                     const QString& what, const QDate& date, const QString& suffix);

/** The folder to remember once the user saved to `path`: its absolute folder. */
QString rememberedFolder(const QString& path);

} // namespace vdm
