// SPDX-License-Identifier: MIT
#pragma once

#include "map/placefilter.h"
#include "world/viewbookmarks.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace vdm {

namespace textlines {
class LineParser;
}

/**
 * What the user keeps of their own about how they look at one world: the place filter
 * and the bookmarks. It lives in the user's own folder for that world (see
 * DataLocations::userDataFolder), never in the world folder nor in the settings file, as
 * "views.txt":
 *
 *     Veldamar Interactive Map views 1
 *     kind "mine"
 *     region "Karuford Downs"
 *     bookmark 3 5 12000,-3400
 *     named 5 12000,-3400 "Harbour"
 *     end
 *
 * Texts and positions are written as in the progress file. The file is written only when
 * what it holds changes, so a user who never filters nor bookmarks never gets one; one
 * that cannot be read is reported, kept as "views.txt.bak" before it is first replaced,
 * and read as empty meanwhile.
 */
class WorldViews {
public:
    static constexpr int Format = 1;

    /** The views of the world in `worldFolder` (empty: the working directory), read from its file. */
    static WorldViews load(const QString& worldFolder);
    /** Where the views of that world are kept; empty when the user has no data folder. */
    static QString filePath(const QString& worldFolder);

    const PlaceFilter& filter() const { return m_filter; }
    const ViewBookmarks& bookmarks() const { return m_bookmarks; }
    void setFilter(const PlaceFilter& filter) { m_filter = filter; }
    ViewBookmarks& bookmarks() { return m_bookmarks; }

    /**
     * Writes the file when its contents differ from what it last held (atomically, the
     * folder made first). Without a data folder nothing is kept and nothing is said. A
     * failed write throws "Unable to write to %s".
     *
     * A file another program changed since is not written over: what this window changed
     * since the file last held its views (the filter, a digit, a named bookmark added,
     * moved or removed) goes on top of the file's views, and these views become the result.
     * One that cannot be read is kept as its ".bak" first, as a damaged file at load is.
     */
    void save();
    /** What could not be read at load; each returned once. */
    QStringList takeNotices() { return std::exchange(m_notices, {}); }

    /** The file's bytes for a filter and bookmarks. */
    static QByteArray write(const PlaceFilter& filter, const ViewBookmarks& bookmarks);
    /** Reads the file's bytes; a damaged file throws an Error naming `fileName` and the line. */
    static WorldViews read(const QByteArray& bytes, const QString& fileName);

    /** The bookmark lines the views file and the progress file share. */
    static void appendBookmarkLines(QByteArray& out, const ViewBookmarks& bookmarks);
    /**
     * Reads the rest of a "bookmark" or "named" line (after its first word `kind` and the
     * blank after it) into `bookmarks`; false when `kind` is neither.
     */
    static bool readBookmarkLine(QByteArrayView kind, textlines::LineParser& line, ViewBookmarks& bookmarks);

private:
    /** Takes another program's change of the file in (see save()). */
    void takeOtherChanges();
    QString shownPath() const;

    QString m_path;
    QByteArray m_stored;    // what the file held when read or last written
    bool m_damaged = false; // the file could not be read: keep it before replacing it
    PlaceFilter m_filter;
    ViewBookmarks m_bookmarks;
    QStringList m_notices;
};

} // namespace vdm
