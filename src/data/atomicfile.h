// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

namespace vdm {

/**
 * Replaces a file's whole contents at once: the bytes go to a temporary file in the same
 * directory, which is flushed, synced and then renamed over the old file. A failure at
 * any step leaves the old file whole and throws "Unable to write to %s" with the full
 * path. No half-written file exists at any moment.
 *
 * A symbolic link is followed and the file it leads to is replaced in that file's own
 * folder; the link stays. The replaced file keeps its permissions, and its owner where
 * the process may set it. A file without write permission for the user (by its mode
 * bits, for the superuser too), a file in a folder without it, and anything but a
 * regular file are never replaced. A file that already holds exactly the bytes is not
 * touched at all (read-only or not): nothing would change.
 */
namespace AtomicFile {

enum class Step { Create, Write, Flush, Sync, Rename };

void write(const QString& path, const QByteArray& bytes);

/**
 * Whether the user may write the existing file or folder `path` (a folder: create and
 * replace files in it), by the same rule as `write`: the kernel's answer and the mode
 * bits, which hold for the superuser too. False when nothing is there.
 */
bool userMayWrite(const QString& path);

/** Test hook: when set, called before each step; returning false makes that step fail. */
void setFaultInjector(std::function<bool(Step)> injector);

} // namespace AtomicFile

} // namespace vdm
