// SPDX-License-Identifier: MIT
#include "app/userfilewatch.h"

#include <QApplication>
#include <QFileInfo>

namespace vdm {

UserFileWatch::UserFileWatch(QObject* parent) : QObject(parent)
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettleMs);
    connect(&m_settle, &QTimer::timeout, this, [this] { settled(); });
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, [this] { noticed(); });
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] { noticed(); });
}

void UserFileWatch::watch(const QStringList& files)
{
    m_files = files;
    if (!m_watcher.files().isEmpty())
        m_watcher.removePaths(m_watcher.files());
    if (!m_watcher.directories().isEmpty())
        m_watcher.removePaths(m_watcher.directories());
    if (files.isEmpty()) {
        m_settle.stop();
        return;
    }
    QStringList paths;
    for (const QString& file : files) {
        const QFileInfo info(file);
        if (info.exists())
            paths << info.absoluteFilePath();
        const QString folder = info.absolutePath();
        if (!paths.contains(folder))
            paths << folder;
    }
    m_watcher.addPaths(paths);
}

void UserFileWatch::noticed()
{
    m_settle.start(); // again from the start: told once the burst is over
}

void UserFileWatch::settled()
{
    if (QApplication::activeModalWidget() || QApplication::activePopupWidget()) {
        m_settle.start(); // the user is answering something; the map changes after that
        return;
    }
    // A file replaced by a rename is a new file: watch it again.
    watch(m_files);
    emit changed();
}

} // namespace vdm
