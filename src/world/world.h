// SPDX-License-Identifier: MIT
#pragma once

#include "data/location.h"
#include "map/spatialindex.h"
#include "world/fileversion.h"
#include "world/locationnames.h"
#include "world/usermerge.h"
#include "world/userdatawriter.h"
#include "world/worldevents.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace vdm {

class FontAhead;

/**
 * One world: the map picture and the four databases of a folder, loaded once, and what
 * the user changes in them. It keeps which database this run read completely and which
 * the user edited, and writes "user.gdb" and "markers.gdb" back by the safety rules:
 *
 * - every write replaces the file atomically;
 * - a file this run did not read completely (a missing "vdmain.gdb", a loader error, or
 *   a file the writer would not reproduce byte for byte: another encoding, other line
 *   ends, extra or unreadable lines) is never replaced unless the user edited that data;
 * - when it is replaced all the same, the old file is first kept as "<name>.bak" (an
 *   existing backup is never replaced: the next free "<name>.bak.2", ".bak.3", ... is
 *   taken, and none when one of them already holds exactly these bytes);
 * - a file another program changed since this world last read or wrote it is merged, not
 *   overwritten: the file's version of everything this window did not change, this
 *   window's changes on top (see usermerge.h), with one notice per merge; a changed file
 *   that cannot be read without loss is kept, and this window's data goes beside it.
 *
 * The folder is the working directory by default (files by bare name, as the window
 * opens them); tools and tests name another. No widgets: the window shows what it keeps.
 */
class World {
public:
    /** `folder` holds the picture and the databases; empty: the current working directory. */
    explicit World(QString folder = {});
    /**
     * A world made in memory (tests, benchmarks): these lists, taken as read completely
     * from `folder`, so a save writes them there.
     */
    World(QString folder, LocationList locations, LocationList markers);
    World(World&&) noexcept;
    World& operator=(World&&) noexcept;
    /** Waits for a read-ahead still running (see readDatabasesAhead). */
    ~World();

    // --- the picture ---
    /** True when the folder holds "bigmap_hi.jpg" or "bigmap.jpg". */
    static bool pictureExists(const QString& folder = {});
    /**
     * Chooses and decodes the picture: "bigmap_hi.jpg" at map scale 10 when present,
     * otherwise "bigmap.jpg" at map scale 2. A decoder error leaves with its own text.
     */
    void LoadPicture();
    /** Frees the decoded picture (the shut-down does so before writing the settings). */
    void releasePicture() { m_picture = QImage(); }
    const QImage& picture() const { return m_picture; }
    /** Map units per picture pixel at zoom 100 %: 10 or 2; 0 before LoadPicture. */
    int mapScale() const { return m_mapScale; }

    // --- the databases, in this order ---
    /**
     * Starts reading the four databases on a worker thread and returns at once, so the
     * caller can decode the picture meanwhile (the machine has a second core). The loaders
     * below then take what the worker read instead of reading the files again, each at
     * its own step, with the same results, errors and messages as if they had read the
     * files themselves. A file that changed after the worker read it (or a user file whose
     * place is not settled without writing) is read by the loaders as without a worker.
     * The worker shares nothing with this world; destroying the world waits for it. Only
     * a world that has read nothing yet reads ahead.
     *
     * With `font`, the worker hands it the places once "vdmain.gdb" is read (found,
     * without an error), before it reads on (FontAhead::learnFrom looks at a bounded
     * number of names and learns on a thread of its own): the caption font is learned
     * while the rest loads.
     */
    void readDatabasesAhead(std::shared_ptr<FontAhead> font = {});
    /** The worker that readDatabasesAhead() started is still reading. */
    bool readingAhead() const;
    /** How many of the four loaders took what the worker read; the others read by themselves. */
    int stepsTakenAhead() const { return m_stepsTakenAhead; }
    /** "vdmain.gdb": the name of the locations database in every world's folder. */
    static const QString& locationsFileName();
    /** Reads "vdmain.gdb". Returns false when the file is missing (the run then ends). */
    bool LoadLocations();
    /** Reads "routes.gdb" when present. */
    void LoadRoutes();
    /** Reads "user.gdb" when present. */
    void LoadUserData();
    /** Reads "markers.gdb" when present. */
    void LoadMarkers();
    /**
     * The four steps in order. A loader error leaves with its text and skips the steps
     * after it; what was read so far stays. Returns false when "vdmain.gdb" is missing.
     */
    bool LoadDatabases();

    /**
     * Messages about user files that could not be read and are kept as they are (a
     * UTF-16 or UTF-32 file, a non-empty file without one record): each names the file
     * and what is wrong. Returned once; the caller shows them.
     */
    QStringList takeNotices();

    const LocationList& locations() const { return m_locations; }
    /** The location list's entries (see sortedLocationNames), made once per read of "vdmain.gdb". */
    const std::vector<ListedLocation>& listedLocations() const;
    /**
     * The same entries, shared: the location list keeps them without a copy of its own (a
     * million entries are 32 MB), and they stay valid after this world reads its list again.
     */
    std::shared_ptr<const std::vector<ListedLocation>> sharedListedLocations() const;
    /**
     * From this many places on, the first frame never waits for the list's order: it is
     * made on a thread of its own, by orderListAside(), or when sharedListedLocations()
     * first asks for it, so it never takes a core or fresh memory from the first frame. A
     * smaller world's order is made as it always was (0.3 s of sorting at a million places,
     * a few milliseconds at a few thousand).
     */
    static constexpr std::size_t kListOrderedAsideFrom = 100000;
    /** Another size from which to order the list aside (tests, benchmarks). */
    void setListOrderedAsideFrom(std::size_t places) { m_listAsideFrom = places; }
    /** The list's order is made and sharedListedLocations() returns at once. */
    bool listOrdered() const { return m_listed != nullptr; }
    /** The list's order is not made, and this world is long enough to have it made aside. */
    bool ordersListAside() const { return !m_listed && m_locations.size() >= m_listAsideFrom; }
    /** orderListAside() started the order, and it has not been taken into the list yet. */
    bool orderingListAside() const { return m_listAside != nullptr; }
    /**
     * When ordersListAside(), starts making the list's order on a thread of its own (once);
     * WorldEvents::listOrdered then tells when it is ready, and sharedListedLocations()
     * waits for it rather than sorting again. Reading the names for it takes a few dozen
     * milliseconds here, so call it once the first frame is on the screen.
     */
    void orderListAside() const;
    const LocationList& markers() const { return m_markers; }
    /**
     * Where the locations, their routes and the markers lie: built as the databases load
     * and again on every marker change, so it always covers the lists above.
     */
    const SpatialIndex& index() const { return m_index; }

    /** "vdmain.gdb" was read to its end without an error. */
    bool locationsLoaded() const { return m_locationsLoaded; }
    /** "user.gdb" / "markers.gdb" may be replaced: read completely (or absent) after complete locations. */
    bool userDataSafe() const { return m_userFile.safe; }
    bool markersSafe() const { return m_markerFile.safe; }
    /** The user changed that data in this run. */
    bool userDataEdited() const { return m_userFile.edited; }
    bool markersEdited() const { return m_markerFile.edited; }

    /** How many locations hold each status; "unvisited" counts every other value. */
    struct StatusCounts {
        int visited = 0;
        int active = 0;
        int unvisited = 0;
        int total = 0;
        bool operator==(const StatusCounts&) const = default;
    };
    /** Kept up to date as statuses change, so reading it costs nothing at any size. */
    const StatusCounts& statusCounts() const { return m_counts; }

    // --- the user's changes: each records the edit itself ---
    /** Returns whether the status changed; only a change counts as an edit of the user data. */
    bool setLocationStatus(int index, std::int32_t status);
    /** Returns whether the note changed; only a change counts as an edit of the user data. */
    bool setLocationNote(int index, const QByteArray& note);
    void addMarker(const Location& marker);
    /** Adds all of `markers` at the end, in their order, as one edit: the index is made again once. */
    void addMarkers(const LocationList& markers);
    /** Returns whether the text changed; only a change counts as an edit of the markers. */
    bool setMarkerName(int index, const QByteArray& name);
    /** setMarkerName for each (index, text), as one edit; returns how many texts changed. */
    int setMarkerNames(const std::vector<std::pair<int, QByteArray>>& names);
    void removeMarker(int index);
    /** Removes `count` markers from `first` on, as one edit. */
    void removeMarkers(int first, int count);
    void clearMarkers();
    /**
     * Puts markers back where an undo finds them: each (index, marker) is inserted at the
     * index it holds afterwards, in rising order, as one edit. A marker put back counts
     * as the file's marker it equals (text and position) when no other marker holds that
     * one, so taking back a deletion is no change against the file.
     */
    void insertMarkers(const std::vector<std::pair<int, Location>>& markers);
    /**
     * The user data and the markers count as edited only while they differ from what
     * their file last held here: after an undo back to that state there is nothing of the
     * user's to keep, and a file this run did not read completely stays as it is.
     */
    void settleEdits();

    // --- writing back ---
    /** Writes "user.gdb" by the safety rules; a failed write throws "Unable to write to %s". */
    void SaveUserData();
    /** Writes "markers.gdb" by the safety rules; a failed write throws "Unable to write to %s". */
    void SaveMarkers();
    /**
     * Writes "user.gdb" and "markers.gdb" as one, each by the same rules as alone, and
     * keeps what each replaces as its ".bak" (see keepBackup): after a failure, or a kill
     * at any moment and the next load, both hold what they held or both what was written.
     * Only the files asked for are written. A failure throws "Unable to write to %s";
     * the data stays in memory.
     */
    void SaveUserFilesTogether(bool userData = true, bool markers = true);
    /**
     * The last writes of a run, as its window goes: SaveUserData / SaveMarkers, and when
     * the file cannot be written where it lives (a full disk, media taken out, something
     * in its way), the same data in the user's own folder for this world instead
     * (DataLocations::userDataFolder). Nothing the run changed goes with the window: the
     * next start finds that copy and settles it with the world's own (the newer is used,
     * the other kept as its ".bak"). The error still throws, then saying where the data
     * went; when the run changed nothing of that file, or no such copy can be written
     * either, it throws as it stands.
     */
    void SaveUserDataLast();
    void SaveMarkersLast();
    /**
     * The writes made after each change. A failing write throws only the first time in a
     * row: the user hears of it once, not at every keystroke, and again only after a write
     * of that file has succeeded in between. The data stays in memory for the next write.
     */
    void autosaveUserData();
    void autosaveMarkers();
    /** A write of that file failed and no write of it has succeeded since. */
    bool userDataWriteFailing() const { return m_userFile.writeFailing; }

    // --- "user.gdb" written off the caller's thread ---
    /**
     * From this size of "user.gdb" on (its bytes as last read or written), autosaveUserData
     * hands the write to a writer thread of its own and returns at once: a smaller file is
     * formatted, written and synced within a frame, and is written at once as always.
     * The writer coalesces: one write in flight, the newest state wins. Every other write
     * (SaveUserData, the close, a joint write) first waits for it and then writes here.
     */
    static constexpr qsizetype kBackgroundWritesFrom = qsizetype(1) << 20;
    /** Another size from which to write in the background (tests, benchmarks); 0: always. */
    void setBackgroundWritesFrom(qsizetype bytes) { m_backgroundFrom = bytes; }
    /** A background write of "user.gdb" is in flight or waiting for one. */
    bool userDataWritePending() const;
    /**
     * Takes what the background writer finished: the file's new version, and a failure,
     * thrown as autosaveUserData throws it (once in a row). When another program changed
     * the file meanwhile, it is merged and written here, as autosaveUserData would.
     * Call it when told (WorldEvents::userDataWritten); it never waits.
     */
    void collectWrites();
    /** Waits until the background writer has written everything, then collectWrites(). */
    void waitForUserDataWrites();
    bool markersWriteFailing() const { return m_markerFile.writeFailing; }

    // --- what the world tells ---
    /**
     * Where the world tells what happens without being asked: each change of a place's
     * status or note and of the markers (the user's, an undo's, a merge's), each load,
     * another program's changes taken in, the markers renumbered by a merge, a background
     * write ended, and another world moved into this one's place (replaceWith).
     * Connections outlive the world.
     */
    WorldEvents& events() const { return *m_events.object; }
    /** Another world takes this one's place, and `events()` says so. */
    void replaceWith(World&& next);

    // --- other programs ---
    /**
     * Reads "user.gdb" and "markers.gdb" again when another program changed them, keeping
     * this window's unwritten changes on top as a write would. A file that cannot be read
     * without loss is left for the next write to keep. Writes nothing; returns whether the
     * lists changed. A file that cannot be read throws "Cannot open file %s".
     */
    bool readChangedUserFiles();
    /** Where the user's two files are now, as far as that is settled without writing. */
    QStringList settledUserFilePaths() const;

    /** The path of a file of this world: the bare name in the working directory. */
    QString filePath(const QString& name) const;
    /**
     * Every file a run of this world reads or writes, wherever it may lie: the pictures,
     * the four databases and the joint write's journal in its folder, and the user's
     * copies of "user.gdb", "markers.gdb", the journal and "views.txt" in their own folder
     * (see DataLocations). Paths only: nothing is looked at or made.
     */
    QStringList ownFiles() const;
    /** The world's folder as given; empty: the working directory. */
    const QString& folder() const { return m_folder; }
    /**
     * Where "user.gdb" or "markers.gdb" is read and written: in the world's folder, or in
     * the user's own data folder when that folder is read-only (see DataLocations).
     */
    QString userFilePath(const QString& name) const;

private:
    struct ReadAhead;
    /** The four loaders in their order; a step's number is its place in it. */
    enum Step { LocationsStep, RoutesStep, UserDataStep, MarkersStep, StepCount };

    // The loaders on given paths (as the worker reads them); see the public ones.
    bool loadLocationsFrom(const QString& path);
    void loadRoutesFrom(const QString& path);
    void loadUserDataFrom(const QString& path);
    void loadMarkersFrom(const QString& path);
    /** Where step `step` reads, as far as that is settled without writing. */
    QString readAheadPath(Step step) const;
    /**
     * Hands the read-ahead's `step` over: true when it held that step, and then its results
     * are this world's (rethrowing the worker's error for the step). False when it does not
     * hold the step or its files changed since; the read-ahead is then dropped and the
     * caller reads by itself.
     */
    bool takeAhead(Step step, bool* found = nullptr);

    struct UserFile {
        bool safe = false;         // may be replaced without keeping the old file
        bool edited = false;       // the user changed this data in this run
        bool writeFailing = false; // the last write failed and the user has been told
        FileVersion version;       // what this world last read from or wrote to the file
        bool holdsWritten = false; // that version is exactly what the writer makes of the lists as they were then
        FileVersion kept;          // another program's version that could not be merged
        QString keptBeside;        // where this window's data goes while that version stays
        bool rescued = false;      // a rescue copy of this run's data lies in the own folder (see rescue)
    };
    /**
     * How a file another program changed was met: not changed; its change read in, with
     * nothing of this window's to add (Taken) or with this window's changes on top
     * (Merged); kept as it is, with this window's data beside it (Kept).
     */
    enum class Meeting { Unchanged, Taken, Merged, Kept };
    /**
     * Compares `name` with what this world last read or wrote and takes another program's
     * change in: `merge` reads the bytes into the lists (false: not without loss) and says
     * whether this window had changes of its own. When `writing`, a file that cannot be
     * merged is kept and this window's data written beside it.
     */
    template <typename Merge, typename Make>
    Meeting meetOtherChanges(const QString& name, const QString& path, UserFile& file, bool writing, bool changedHere,
                             Merge merge, Make make);
    /** This window changed statuses or notes / markers since the file was last read or written. */
    bool userDataChangedHere() const;
    bool markersChangedHere() const;
    /** `bytes` read losslessly as "user.gdb": merged into the lists; nullopt when not lossless. */
    std::optional<bool> mergeUserData(const QByteArray& bytes);
    std::optional<bool> mergeMarkers(const QByteArray& bytes);
    /**
     * Runs `save`; when it fails, this run's data goes to the rescue copy (see rescue), and
     * a failure of `file` already reported is kept quiet.
     */
    template <typename Save> void autosave(UserFile& file, Save save);
    /** Writes `name` by the safety rules with what `make` gives; records whether it succeeded. */
    /** `written` runs once the file holds what `make` gave: this world's new starting point. */
    template <typename Merge, typename Make, typename Written>
    void save(const QString& name, UserFile& file, bool changedHere, Merge merge, Make make, Written written);
    /**
     * What save() writes to `path`: nothing when another program's change was taken or
     * kept instead, or the file may not be written now (see prepareWrite).
     */
    template <typename Merge, typename Make>
    std::optional<QByteArray> bytesToSave(const QString& name, const QString& path, UserFile& file, bool changedHere,
                                          Merge merge, Make make);
    /**
     * Runs `save`; when it fails and this run changed the file's data, writes it into the
     * own folder (see SaveUserDataLast).
     */
    template <typename Save> void saveLast(UserFile& file, Save save);
    /**
     * Where `name`'s rescue copy goes: the user's own folder for this world; empty when
     * there is no such folder or `name` lives there already (the write that failed).
     */
    QString rescuePath(const QString& name) const;
    /** A rescue copy of `name` made by this run (here or by the background writer) lies in the own folder. */
    bool rescueHeld(const QString& name) const;
    /**
     * The world's file cannot be written: when this run changed its data, that data goes
     * to the rescue copy, so neither a kill nor the close loses it while the failures
     * last. The path written, or empty when there is none or its write fails too. A file
     * found there that is not this run's copy is kept as its ".bak" first.
     */
    QString rescue(UserFile& file);
    /** The file holds this run's data again: a failing streak ends and the rescue copy goes. */
    void writtenAgain(UserFile& file);
    /** `error` of `file`, telling that its data is kept in `kept` (`last`: at the close). */
    QString toldWithRescue(QString error, const UserFile& file, const QString& kept, bool last) const;
    /** Completes a joint write of the user files that a kill interrupted (see SaveUserFilesTogether). */
    void finishInterruptedWrites() const;
    /** Decides whether `path` may be written now; keeps the old file first when it must. */
    bool prepareWrite(const QString& path, UserFile& file);
    /**
     * Reads a user file that exists: `read` takes its bytes, applies them and returns
     * whether they held a record; given a flag, it also sets whether the writer, given the
     * result, gives those bytes back. Sets `file.safe` when it does.
     */
    template <typename Read> void loadUserFile(const QString& path, UserFile& file, const QString& what, Read read);

    /** The list was read or replaced: the counts taken afresh. */
    void listReplaced();
    // The notices (see WorldEvents), each sent once the change is made.
    void tellStatus(std::size_t index);
    void tellNote(std::size_t index);
    void tellMarkers();
    void tellPlacesRead();
    void tellOtherChanges();
    /** Location `index` changed its status or note: the background writer is told at its next post. */
    void logChange(std::size_t index);
    /** Forgets the change log: the list was read or replaced. */
    void resetChangeLog();
    /** autosaveUserData goes to the background writer. */
    bool writesInBackground() const;
    /** Tells the background writer what changed since it was last told (starting it first). */
    void postUserData();
    /** Waits for the background writer and takes a finished write; its failure is left to the write that follows. */
    void settleWrites();
    /** The file holds what this world wrote or merged (and a rescue copy or none): the writer resumes from it. */
    void resumeWriter();
    /** The file holds batches up to `written`: the merge base follows it. */
    void baseWritten(std::uint64_t written);
    /** The size the next "user.gdb" will probably have. */
    qsizetype expectedUserDataSize() const;
    void countStatus(std::int32_t status, int delta);
    /** The list's order made aside is no longer wanted: the list it was made of has gone. */
    void dropListAside();

    QString m_folder;
    QImage m_picture;
    int m_mapScale = 0;
    LocationList m_locations;
    LocationList m_markers;
    bool m_locationsLoaded = false;
    std::size_t m_listAsideFrom = kListOrderedAsideFrom;
    // A read-ahead's own world: a list ordered aside has its places' grids made beside the
    // later steps (see ReadAhead), not at the end of the locations' step.
    bool m_placesIndexedAside = false;
    UserFile m_userFile;
    UserFile m_markerFile;
    QStringList m_notices;
    StatusCounts m_counts;
    std::uint64_t m_changesTold = 0; // notices sent: readChangedUserFiles tells whether it sent any
    SpatialIndex m_index;
    mutable std::shared_ptr<const std::vector<ListedLocation>> m_listed; // made when first asked for
    std::unique_ptr<ReadAhead> m_ahead;
    int m_stepsTakenAhead = 0;
    PlaceBase m_userBase;          // statuses and notes as "user.gdb" last held them here
    MarkerChanges m_markerChanges; // the markers' changes since "markers.gdb" was last read or written
    /**
     * The world's events object, which stays with this place when another world is moved
     * into it: a move hands over the data, never the connections.
     */
    struct Events {
        Events() = default;
        Events(Events&&) noexcept {}
        Events& operator=(Events&&) noexcept { return *this; }
        std::unique_ptr<WorldEvents> object = std::make_unique<WorldEvents>();
    };
    Events m_events;
    // The background writer of "user.gdb", started by the first autosave that needs it.
    std::unique_ptr<UserDataWriter> m_writer;
    std::vector<std::uint8_t> m_unposted; // by location index: changed since the writer was last told
    std::vector<int> m_unpostedList;      // the same, as a list
    // Batches the writer was given and has not yet written: what m_userBase must take on.
    std::deque<std::pair<std::uint64_t, std::vector<UserDataWriter::Change>>> m_posted;
    qsizetype m_backgroundFrom = kBackgroundWritesFrom;
    qsizetype m_userBytes = -1;     // "user.gdb" as last read or written; -1: not yet
    bool m_recheckUserFile = false; // another program's change was seen while a write was in flight
    // The list's order being made on a thread of its own (see orderListAside); last, so it
    // is joined before anything it tells goes.
    struct ListAside;
    mutable std::unique_ptr<ListAside> m_listAside;
};

} // namespace vdm
