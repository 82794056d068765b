// SPDX-License-Identifier: MIT
#include "world/progressfile.h"

#include "data/atomicfile.h"
#include "data/codepage.h"
#include "data/databasefile.h"
#include "data/errors.h"
#include "data/textconv.h"
#include "world/textlines.h"
#include "world/world.h"
#include "world/worldviews.h"

#include <QFileInfo>
#include <QHash>

#include <exception>

namespace vdm {
namespace {

using namespace textlines;

const QByteArray kMagic = QByteArrayLiteral("Veldamar Interactive Map progress ");

// A million places with long notes stay far below this; anything larger is not ours.
constexpr qint64 kMaxFileSize = qint64(512) * 1024 * 1024;

/** A location's name and position: what finds it again in a reordered list. */
struct PlaceKey {
    QByteArray name;
    std::int32_t x;
    std::int32_t y;
    bool operator==(const PlaceKey&) const = default;
};

size_t qHash(const PlaceKey& key, size_t seed = 0)
{
    return qHashMulti(seed, key.name, key.x, key.y);
}

} // namespace

QByteArray writeProgress(const LocationList& locations, const LocationList& markers, const ViewBookmarks& bookmarks)
{
    QByteArray out;
    qsizetype size = 512;
    for (const Location& l : locations)
        size += 40 + l.Name.size() + l.Note.size();
    for (const Location& m : markers)
        size += 40 + m.Name.size();
    out.reserve(size);
    out.append(kMagic);
    out.append(IntToStr(bookmarks.empty() ? kProgressFormatWithoutBookmarks : kProgressFormat));
    out.append("\r\n"
               "# Statuses, notes and markers of the Veldamar Interactive Map.\r\n"
               "# place X,Y STATUS \"NAME\" \"NOTE\"   (status 1 unvisited, 2 active, 3 visited)\r\n"
               "# marker X,Y \"TEXT\"\r\n"
               "# end PLACES MARKERS   (how many lines of each the file holds)\r\n"
               "# In texts \\\\ is a backslash, \\\" a double quote, \\xHH the byte HH.\r\n");
    for (const Location& l : locations) {
        out.append("place ");
        appendPosition(out, l.X, l.Y);
        out.append(' ');
        out.append(IntToStr(l.Status));
        out.append(' ');
        appendQuoted(out, l.Name);
        out.append(' ');
        appendQuoted(out, l.Note);
        out.append("\r\n");
    }
    for (const Location& m : markers) {
        out.append("marker ");
        appendPosition(out, m.X, m.Y);
        out.append(' ');
        appendQuoted(out, m.Name);
        out.append("\r\n");
    }
    WorldViews::appendBookmarkLines(out, bookmarks);
    out.append("end ");
    out.append(IntToStr(qint64(locations.size())));
    out.append(' ');
    out.append(IntToStr(qint64(markers.size())));
    out.append("\r\n");
    return out;
}

Progress readProgress(const QByteArray& bytes, const QString& fileName)
{
    Progress progress;
    Lines lines(bytes);
    std::int32_t version = 0;
    bool ended = false;
    while (lines.next()) {
        const QByteArrayView text = lines.text();
        const int lineNumber = lines.number();
        LineParser line(text, QStringLiteral("progress file"), fileName, lineNumber);

        if (lineNumber == 1) {
            if (!text.startsWith(kMagic))
                throw Error(
                    QStringLiteral("The file %1 is not a progress file of this program: its first line does not "
                                   "begin with \"%2\". Nothing was changed.")
                        .arg(fileName, QString::fromLatin1(kMagic.trimmed())));
            if (!tryStrToInt(text.sliced(kMagic.size()), &version) || version < 1)
                line.fail(QStringLiteral("the format version is not a whole number above 0"));
            if (version > kProgressFormat)
                throw Error(
                    QStringLiteral("The progress file %1 is of format %2, which a later version of this program "
                                   "wrote; this one reads format %3. Nothing was changed.")
                        .arg(fileName)
                        .arg(version)
                        .arg(kProgressFormat));
            continue;
        }
        if (text.isEmpty() || text.startsWith('#'))
            continue;
        if (ended)
            line.fail(QStringLiteral("there is text after the end line"));

        const QByteArrayView kind = line.word();
        if (kind == "place") {
            ProgressPlace place;
            line.blank();
            line.position(place.x, place.y);
            line.blank();
            place.status = line.integer(' ', "the status");
            // What user.gdb can hold: one digit (1 to 3 are the statuses, the rest counts as none).
            if (place.status < 0 || place.status > 9)
                line.fail(QStringLiteral("the status %1 is not a digit from 0 to 9").arg(place.status));
            line.blank();
            place.name = line.quoted("the name");
            line.blank();
            place.note = line.quoted("the note");
            line.end();
            if (!progress.markers.empty())
                line.fail(QStringLiteral("a place follows the markers"));
            progress.places.push_back(std::move(place));
        } else if (kind == "marker") {
            Location marker;
            marker.Level = 1;
            marker.Status = Unvisited;
            line.blank();
            line.position(marker.X, marker.Y);
            line.blank();
            marker.Name = line.quoted("the marker text");
            line.end();
            progress.markers.push_back(std::move(marker));
        } else if (version >= 2 && (kind == "bookmark" || kind == "named")) {
            line.blank();
            WorldViews::readBookmarkLine(kind, line, progress.bookmarks);
        } else if (kind == "end") {
            line.blank();
            const std::int32_t places = line.integer(' ', "the count of places");
            line.blank();
            const std::int32_t markers = line.integer(' ', "the count of markers");
            line.end();
            if (places != qint64(progress.places.size()) || markers != qint64(progress.markers.size()))
                line.fail(QStringLiteral("the end line counts %1 places and %2 markers, but the file holds %3 and %4")
                              .arg(places)
                              .arg(markers)
                              .arg(progress.places.size())
                              .arg(progress.markers.size()));
            ended = true;
        } else {
            line.fail(QStringLiteral("\"%1\" is not a kind of line this file holds")
                          .arg(CodePage::decode(kind.first(std::min<qsizetype>(kind.size(), 40)))));
        }
    }
    if (lines.number() == 0)
        throw Error(QStringLiteral("The file %1 is empty, not a progress file. Nothing was changed.").arg(fileName));
    if (!ended)
        throw Error(
            QStringLiteral("The progress file %1 ends at line %2 without its end line: it is incomplete. Nothing "
                           "was changed.")
                .arg(fileName)
                .arg(lines.number()));
    return progress;
}

Progress loadProgressFile(const QString& path)
{
    const QFileInfo info(path);
    if (databaseExists(path) && info.size() > kMaxFileSize)
        throw Error(QStringLiteral("The file %1 is too large to be a progress file. Nothing was changed.")
                        .arg(info.absoluteFilePath()));
    return readProgress(readDatabaseFile(path), info.absoluteFilePath());
}

void saveProgressFile(const QString& path, const World& world, const ViewBookmarks& bookmarks)
{
    AtomicFile::write(path, writeProgress(world.locations(), world.markers(), bookmarks));
}

ProgressPlan planProgressImport(const Progress& progress, const LocationList& locations, const LocationList& markers)
{
    ProgressPlan plan;

    // Locations of one key (and, below, of one name) form a chain in list order: the hash
    // holds the first one not yet claimed, `next` the one after each.
    const int count = int(locations.size());
    std::vector<int> next(locations.size(), -1);
    QHash<PlaceKey, int> byKey;
    byKey.reserve(count);
    for (int i = count - 1; i >= 0; --i) {
        const Location& l = locations[size_t(i)];
        int& head = byKey[PlaceKey{l.Name, l.X, l.Y}];
        next[size_t(i)] = head - 1;
        head = i + 1; // 0 is what a new entry holds: stored one up
    }
    std::vector<int> target(progress.places.size(), -1);
    std::vector<bool> claimed(locations.size(), false);

    // First every exact match, so a moved place never takes one that is listed as it stands.
    bool someLeft = false;
    std::vector<bool> repeated(progress.places.size(), false);
    for (size_t p = 0; p < progress.places.size(); ++p) {
        const ProgressPlace& place = progress.places[p];
        const auto found = byKey.find(PlaceKey{place.name, place.x, place.y});
        if (found == byKey.end()) {
            someLeft = true;
            continue;
        }
        if (*found == 0) {
            // Earlier lines of the file have taken every place of this name and position.
            repeated[p] = true;
            plan.duplicates.append(place.name);
            continue;
        }
        const int i = *found - 1;
        *found = next[size_t(i)] + 1;
        target[p] = i;
        claimed[size_t(i)] = true;
    }
    // Then by name alone, only where one place of that name is left.
    if (someLeft) {
        QHash<QByteArray, int> byName;
        for (int i = count - 1; i >= 0; --i) {
            int& head = byName[locations[size_t(i)].Name];
            next[size_t(i)] = head - 1;
            head = i + 1;
        }
        for (size_t p = 0; p < progress.places.size(); ++p) {
            if (target[p] >= 0 || repeated[p])
                continue;
            int only = -1;
            int left = 0;
            for (int i = byName.value(progress.places[p].name) - 1; i >= 0; i = next[size_t(i)])
                if (!claimed[size_t(i)]) {
                    only = i;
                    ++left;
                }
            if (left != 1) {
                plan.unmatched.append(progress.places[p].name);
                continue;
            }
            target[p] = only;
            claimed[size_t(only)] = true;
        }
    }

    for (size_t p = 0; p < progress.places.size(); ++p) {
        if (target[p] < 0)
            continue;
        const ProgressPlace& place = progress.places[p];
        const Location& l = locations[size_t(target[p])];
        if (place.status != l.Status) {
            plan.statuses.push_back({target[p], place.status});
            ++(l.Status == Unvisited ? plan.statusesAdded : plan.statusesReplaced);
        }
        if (place.note != l.Note) {
            plan.notes.push_back({target[p], place.note});
            ++(l.Note.isEmpty() ? plan.notesAdded : plan.notesReplaced);
        }
    }

    // Markers: equal ones first, then a text replaced at the same position, else added.
    using Spot = std::pair<std::int32_t, std::int32_t>;
    QHash<Spot, QList<int>> bySpot;
    for (int i = 0; i < int(markers.size()); ++i)
        bySpot[Spot(markers[size_t(i)].X, markers[size_t(i)].Y)].append(i);
    std::vector<bool> placed(progress.markers.size(), false);
    for (size_t m = 0; m < progress.markers.size(); ++m) {
        const Location& marker = progress.markers[m];
        auto found = bySpot.find(Spot(marker.X, marker.Y));
        if (found == bySpot.end())
            continue;
        for (qsizetype k = 0; k < found->size(); ++k)
            if (markers[size_t(found->at(k))].Name == marker.Name) {
                found->removeAt(k);
                placed[m] = true;
                break;
            }
    }
    for (size_t m = 0; m < progress.markers.size(); ++m) {
        if (placed[m])
            continue;
        const Location& marker = progress.markers[m];
        auto found = bySpot.find(Spot(marker.X, marker.Y));
        if (found != bySpot.end() && !found->isEmpty())
            plan.markerTexts.push_back({found->takeFirst(), marker.Name});
        else
            plan.newMarkers.push_back(marker);
    }
    return plan;
}

void applyProgressPlan(World& world, const ProgressPlan& plan)
{
    for (const ProgressPlan::StatusChange& change : plan.statuses)
        world.setLocationStatus(change.index, change.status);
    for (const ProgressPlan::NoteChange& change : plan.notes)
        world.setLocationNote(change.index, change.note);
    // The markers in one batch each: the spatial index is made again once, not per marker.
    std::vector<std::pair<int, QByteArray>> texts;
    texts.reserve(plan.markerTexts.size());
    for (const ProgressPlan::MarkerText& change : plan.markerTexts)
        texts.emplace_back(change.index, change.text);
    world.setMarkerNames(texts);
    world.addMarkers(plan.newMarkers);
}

void applyProgressImport(World& world, const ProgressPlan& plan)
{
    applyProgressPlan(world, plan);
    // Both files as one: a failure or a kill never leaves the new statuses beside the old
    // markers, and what each replaces is kept as its ".bak".
    if (plan.changesUserData() || plan.changesMarkers())
        world.SaveUserFilesTogether(plan.changesUserData(), plan.changesMarkers());
}

} // namespace vdm
