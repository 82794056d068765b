// SPDX-License-Identifier: MIT
#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QStringList>
#include <QTimer>

namespace vdm {

/**
 * Tells the window that another program may have changed the user's files: watches each
 * file and the folder it lies in (a careful program replaces a file by renaming another
 * over it, which ends a watch on the old file, and a new file appears only in its folder).
 * A burst of changes (a program writing in several steps) is told once, after it has
 * settled, and never while a modal box or dialog waits for the user: then it waits too.
 */
class UserFileWatch : public QObject {
    Q_OBJECT

public:
    /** How long a burst of changes must have been quiet before it is told. */
    static constexpr int kSettleMs = 150;

    explicit UserFileWatch(QObject* parent);
    /** Watches these files from now on (and no others); an empty list stops watching. */
    void watch(const QStringList& files);
    /** The files watched. */
    QStringList files() const { return m_files; }

signals:
    /** The watched files may have changed, and the burst has settled. */
    void changed();

private:
    void noticed();
    void settled();

    QFileSystemWatcher m_watcher;
    QTimer m_settle;
    QStringList m_files;
};

} // namespace vdm
