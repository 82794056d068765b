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
 * The prefix a program in `applicationDirectory` (which ends with "/") is installed in:
 * PREFIX when that folder is PREFIX/bin and PREFIX/share/veldamar-map is a folder, as its
 * resolved path (no links, no trailing "/"). Empty for a copy that is not installed (a
 * build folder, a portable folder), whatever lies around it.
 */
QString installPrefix(const QString& applicationDirectory);

/** True when `path` (a file or folder; empty: the working directory) lies inside `prefix`, links resolved. */
bool isInside(const QString& path, const QString& prefix);

/**
 * The read-me file `fileName` of a program in `applicationDirectory`: the one beside the
 * program whenever anything of that name lies there (so an unreadable one is reported, not
 * passed over); otherwise the installed data folder's copy when that is a regular file;
 * otherwise again the path beside the program, which is the one an error names.
 */
QString readmeFile(const QString& applicationDirectory, const QString& fileName);

} // namespace InstallLayout
} // namespace vdm
