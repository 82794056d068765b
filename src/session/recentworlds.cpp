// SPDX-License-Identifier: MIT
#include "session/recentworlds.h"

#include "data/codepage.h"
#include "data/inifile.h"
#include "data/settings.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace vdm {
namespace {

const QString kSection = QStringLiteral("Recent");

QString keyOf(int i)
{
    return QStringLiteral("World%1").arg(i + 1);
}

} // namespace

RecentWorlds::RecentWorlds(const QStringList& folders)
{
    for (auto it = folders.rbegin(); it != folders.rend(); ++it)
        if (!it->isEmpty())
            opened(*it);
    m_stored = m_folders;
}

QString RecentWorlds::identity(const QString& folder)
{
    const QFileInfo info(folder);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

void RecentWorlds::opened(const QString& folder)
{
    if (folder.isEmpty())
        return;
    const QString id = identity(folder);
    m_folders.removeIf([&](const QString& f) { return identity(f) == id; });
    m_folders.prepend(id);
    while (m_folders.size() > Limit)
        m_folders.removeLast();
    m_openedHere.removeAll(id);
    m_openedHere.prepend(id);
}

void RecentWorlds::follow(const RecentWorlds& stored)
{
    if (stored.m_folders == m_stored || stored.m_folders.isEmpty())
        return; // nobody else wrote it, or a file emptied or deleted meanwhile: this list stays
    QStringList folders = m_openedHere.mid(0, Limit);
    for (const QString& f : stored.m_folders) {
        if (folders.size() >= Limit)
            break;
        const QString id = identity(f);
        if (std::none_of(folders.cbegin(), folders.cend(), [&](const QString& g) { return identity(g) == id; }))
            folders << f;
    }
    m_folders = folders;
}

bool RecentWorlds::dropVanished(const std::function<bool(const QString&)>& holdsWorld)
{
    return m_folders.removeIf([&](const QString& f) { return !holdsWorld(f); }) > 0;
}

RecentWorlds RecentWorlds::read(const IniFile& ini)
{
    QStringList folders;
    for (int i = 0; i < Limit; ++i) {
        const std::optional<QByteArray> raw = ini.ReadRaw(kSection, keyOf(i));
        if (!raw || raw->isEmpty())
            continue;
        folders << pathFromStored(*raw).value_or(CodePage::decode(*raw));
    }
    // What was read stays as it was read (only repeats go), so an unchanged list writes nothing.
    RecentWorlds recent;
    for (const QString& f : folders)
        if (!recent.m_folders.contains(f) && recent.m_folders.size() < Limit)
            recent.m_folders << f;
    recent.m_stored = recent.m_folders;
    return recent;
}

void RecentWorlds::write(IniFile& ini)
{
    if (!changed())
        return;
    // A list grown shorter empties the keys beyond it: the reader skips an empty one.
    const qsizetype keys = std::max(m_folders.size(), m_stored.size());
    for (qsizetype i = 0; i < keys; ++i)
        ini.WriteString(kSection, keyOf(int(i)),
                        i < m_folders.size() ? CodePage::decode(storedPath(m_folders[i])) : QString());
    ini.UpdateFile();
    m_stored = m_folders;
}

} // namespace vdm
