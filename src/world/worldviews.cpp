// SPDX-License-Identifier: MIT
#include "world/worldviews.h"

#include "data/atomicfile.h"
#include "data/databasefile.h"
#include "world/backupfile.h"
#include "world/datalocations.h"
#include "world/textlines.h"

#include <QDir>
#include <QFileInfo>

#include <optional>

namespace vdm {
namespace {

using namespace textlines;

const QByteArray kMagic = QByteArrayLiteral("Veldamar Interactive Map views ");
const QString kFileName = QStringLiteral("views.txt");
const QString kWhat = QStringLiteral("views file");
// Thousands of bookmarks stay far below this; anything larger is not ours.
constexpr qint64 kMaxFileSize = qint64(16) * 1024 * 1024;

std::int32_t zoomIndex(LineParser& line, char stop)
{
    const std::int32_t zoom = line.integer(stop, "the zoom level");
    if (zoom < 0 || zoom > Viewport::HighestZoom)
        line.fail(QStringLiteral("the zoom level %1 is not one of 0 to %2").arg(zoom).arg(Viewport::HighestZoom));
    return zoom;
}

void appendView(QByteArray& out, const ViewBookmark& v)
{
    out.append(IntToStr(v.zoom));
    out.append(' ');
    appendPosition(out, v.x, v.y);
}

/** The file's bytes; a file too large to be one throws an Error naming `shown`. */
QByteArray readViewsFile(const QString& path, const QString& shown)
{
    if (QFileInfo(path).size() > kMaxFileSize)
        throw Error(QStringLiteral("The views file %1 is too large to be one.").arg(shown));
    return readDatabaseFile(path);
}

std::optional<std::size_t> namedIndex(const ViewBookmarks& bookmarks, const QByteArray& name)
{
    const std::vector<NamedBookmark>& named = bookmarks.named();
    for (std::size_t i = 0; i < named.size(); ++i)
        if (named[i].name == name)
            return i;
    return std::nullopt;
}

} // namespace

QString WorldViews::filePath(const QString& worldFolder)
{
    const QString folder = DataLocations::userDataFolder(worldFolder);
    return folder.isEmpty() ? QString() : QDir(folder).filePath(kFileName);
}

WorldViews WorldViews::load(const QString& worldFolder)
{
    WorldViews views;
    views.m_path = filePath(worldFolder);
    views.m_stored = write({}, {}); // no file reads as an empty one: nothing to write until something is kept
    if (views.m_path.isEmpty() || !databaseExists(views.m_path))
        return views;
    const QString shown = views.shownPath();
    try {
        const QByteArray bytes = readViewsFile(views.m_path, shown);
        WorldViews read = WorldViews::read(bytes, shown);
        views.m_filter = read.m_filter;
        views.m_bookmarks = read.m_bookmarks;
        views.m_stored = bytes;
    } catch (const Error& e) {
        views.m_damaged = true;
        views.m_notices << QStringLiteral("%1 The filter and bookmarks start empty; the file is kept as it is.")
                               .arg(QString(e.message()).remove(QStringLiteral(" Nothing was changed.")));
    }
    return views;
}

QString WorldViews::shownPath() const
{
    return QDir::toNativeSeparators(QFileInfo(m_path).absoluteFilePath());
}

void WorldViews::takeOtherChanges()
{
    if (!databaseExists(m_path)) {
        m_damaged = false; // deleted meanwhile: nothing there to keep, the views are simply written again
        return;
    }
    QByteArray now;
    WorldViews theirs;
    try {
        now = readViewsFile(m_path, shownPath());
        if (now == m_stored)
            return;
        theirs = read(now, shownPath());
    } catch (const Error&) {
        m_damaged = true; // kept as it is before this window's views replace it
        return;
    }
    m_damaged = false; // one mended meanwhile is read as any other change
    // What this window changed since the file last held its views goes on top of what the
    // file holds now; everything else is the file's.
    const WorldViews base = read(m_stored, shownPath());
    if (m_filter == base.m_filter)
        m_filter = theirs.m_filter;
    ViewBookmarks merged = theirs.m_bookmarks;
    for (int d = ViewBookmarks::FirstDigit; d <= ViewBookmarks::LastDigit; ++d) {
        const std::optional<ViewBookmark> ours = m_bookmarks.digit(d);
        if (ours == base.m_bookmarks.digit(d))
            continue;
        if (ours)
            merged.setDigit(d, *ours);
        else
            merged.clearDigit(d);
    }
    for (const NamedBookmark& was : base.m_bookmarks.named())
        if (!namedIndex(m_bookmarks, was.name))
            if (const std::optional<std::size_t> at = namedIndex(merged, was.name))
                merged.removeNamed(*at);
    for (const NamedBookmark& b : m_bookmarks.named()) {
        const std::optional<std::size_t> was = namedIndex(base.m_bookmarks, b.name);
        if (!was || !(base.m_bookmarks.named()[*was] == b))
            merged.addNamed(b.name, b.view);
    }
    m_bookmarks = std::move(merged);
    m_stored = now;
}

void WorldViews::save()
{
    if (m_path.isEmpty())
        return;
    takeOtherChanges();
    const QByteArray bytes = write(m_filter, m_bookmarks);
    if (!m_damaged && bytes == m_stored)
        return;
    if (m_damaged && bytes == write({}, {}))
        return; // nothing of the user's to keep yet: the damaged file stays untouched
    if (m_damaged) {
        keepBackup(m_path, readDatabaseFile(m_path));
        m_damaged = false;
    }
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    AtomicFile::write(m_path, bytes);
    m_stored = bytes;
}

QByteArray WorldViews::write(const PlaceFilter& filter, const ViewBookmarks& bookmarks)
{
    QByteArray out = kMagic + IntToStr(Format) + "\r\n";
    for (const QByteArray& kind : filter.kinds()) {
        out.append("kind ");
        appendQuoted(out, kind);
        out.append("\r\n");
    }
    for (const QByteArray& region : filter.regions()) {
        out.append("region ");
        appendQuoted(out, region);
        out.append("\r\n");
    }
    appendBookmarkLines(out, bookmarks);
    out.append("end\r\n");
    return out;
}

void WorldViews::appendBookmarkLines(QByteArray& out, const ViewBookmarks& bookmarks)
{
    for (int d = ViewBookmarks::FirstDigit; d <= ViewBookmarks::LastDigit; ++d) {
        if (const auto v = bookmarks.digit(d)) {
            out.append("bookmark ");
            out.append(IntToStr(d));
            out.append(' ');
            appendView(out, *v);
            out.append("\r\n");
        }
    }
    for (const NamedBookmark& b : bookmarks.named()) {
        out.append("named ");
        appendView(out, b.view);
        out.append(' ');
        appendQuoted(out, b.name);
        out.append("\r\n");
    }
}

bool WorldViews::readBookmarkLine(QByteArrayView kind, LineParser& line, ViewBookmarks& bookmarks)
{
    ViewBookmark v;
    if (kind == "bookmark") {
        const std::int32_t digit = line.integer(' ', "the digit");
        if (digit < ViewBookmarks::FirstDigit || digit > ViewBookmarks::LastDigit)
            line.fail(QStringLiteral("the bookmark's digit %1 is not one of 1 to 9").arg(digit));
        line.blank();
        v.zoom = zoomIndex(line, ' ');
        line.blank();
        line.position(v.x, v.y);
        line.end();
        bookmarks.setDigit(digit, v);
        return true;
    }
    if (kind == "named") {
        v.zoom = zoomIndex(line, ' ');
        line.blank();
        line.position(v.x, v.y);
        line.blank();
        const QByteArray name = line.quoted("the bookmark's name");
        line.end();
        if (!bookmarks.addNamed(name, v))
            line.fail(QStringLiteral("the bookmark has no name"));
        return true;
    }
    return false;
}

WorldViews WorldViews::read(const QByteArray& bytes, const QString& fileName)
{
    WorldViews views;
    std::vector<QByteArray> kinds, regions;
    Lines lines(bytes);
    bool ended = false;
    while (lines.next()) {
        const QByteArrayView text = lines.text();
        const int lineNumber = lines.number();
        LineParser line(text, kWhat, fileName, lineNumber);
        if (lineNumber == 1) {
            std::int32_t version = 0;
            if (!text.startsWith(kMagic) || !tryStrToInt(text.sliced(kMagic.size()), &version) || version < 1)
                line.fail(QStringLiteral("it does not begin with \"%1\" and a version")
                              .arg(QString::fromLatin1(kMagic.trimmed())));
            if (version > Format)
                line.fail(QStringLiteral("a later version of this program wrote it (format %1)").arg(version));
            continue;
        }
        if (text.isEmpty() || text.startsWith('#'))
            continue;
        if (ended)
            line.fail(QStringLiteral("there is text after the end line"));
        const QByteArrayView kind = line.word();
        if (kind == "end") {
            line.end();
            ended = true;
            continue;
        }
        line.blank();
        if (kind == "kind") {
            kinds.push_back(line.quoted("the kind"));
            line.end();
        } else if (kind == "region") {
            regions.push_back(line.quoted("the region"));
            line.end();
        } else if (!readBookmarkLine(kind, line, views.m_bookmarks)) {
            line.fail(QStringLiteral("\"%1\" is not a kind of line this file holds")
                          .arg(CodePage::decode(kind.first(std::min<qsizetype>(kind.size(), 40)))));
        }
    }
    if (!ended)
        throw Error(QStringLiteral("The views file %1 ends at line %2 without its end line: it is incomplete.")
                        .arg(fileName)
                        .arg(lines.number()));
    views.m_filter = PlaceFilter(std::move(kinds), std::move(regions));
    return views;
}

} // namespace vdm
