// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace vdm {

/**
 * Where the program finds what comes with it. A portable copy keeps everything beside the
 * program; an installed one keeps its shared files in PREFIX/share/veldamar-map while the
 * program lies in PREFIX/bin. The folder beside the program always comes first, so a copy
 * run from its own folder (or from the build tree) reads exactly what lies beside it.
 */
namespace InstallLayout {

/** The installed data folder of a program in `applicationDirectory` (which ends with "/"); ends with "/". */
QString dataFolder(const QString& applicationDirectory);

/**
 * The read-me file `fileName` of a program in `applicationDirectory`: the one beside the
 * program whenever anything of that name lies there (so an unreadable one is reported, not
 * passed over); otherwise the installed data folder's copy when that is a regular file;
 * otherwise again the path beside the program, which is the one an error names.
 */
QString readmeFile(const QString& applicationDirectory, const QString& fileName);

} // namespace InstallLayout
} // namespace vdm
