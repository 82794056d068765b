// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <utility>
#include <vector>

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
 * write() for a caller that knows the file holds other bytes (it wrote the file itself and
 * has changed them since): the old file is not read first to see whether anything changes.
 */
void replace(const QString& path, const QByteArray& bytes);

/**
 * Replaces several files as one: after a failure, or a kill at any moment followed by
 * finishTogether(journal), either every file holds its new bytes or every file its old
 * ones. Each new version is written and synced beside its file first; then `journal`
 * names them, and only then are they renamed over their files, and the journal removed.
 * Files that already hold their bytes are left alone, as by write(). A failure before the
 * journal leaves every file as it was and throws "Unable to write to %s".
 */
void writeTogether(const std::vector<std::pair<QString, QByteArray>>& files, const QString& journal);

/**
 * Completes a replacement that writeTogether() began and a kill interrupted: every new
 * version the journal names is put in place, and the journal removed. Returns whether
 * there was a journal. Run it before reading any of the files.
 */
bool finishTogether(const QString& journal);

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
