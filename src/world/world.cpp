// SPDX-License-Identifier: MIT
#include "world/world.h"

#include "data/atomicfile.h"
#include "data/databasefile.h"
#include "data/errors.h"
#include "data/locationsdb.h"
#include "data/mappedfile.h"
#include "data/markersdb.h"
#include "data/routesdb.h"
#include "data/userdb.h"
#include "map/fontahead.h"
#include "map/jpegdecoder.h"
#include "world/backupfile.h"
#include "world/datalocations.h"
#include "world/worldviews.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QScopeGuard>

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

namespace vdm {
namespace {

const QString kPictureHi = QStringLiteral("bigmap_hi.jpg");
const QString kPicture = QStringLiteral("bigmap.jpg");
const QString kLocations = QStringLiteral("vdmain.gdb");
const QString kRoutes = QStringLiteral("routes.gdb");
const QString kUserData = QStringLiteral("user.gdb");
const QString kMarkers = QStringLiteral("markers.gdb");
// Names the new versions of the user files while a joint write puts them in place.
const QString kJournal = QStringLiteral(".user-files.journal");

QString pathIn(const QString& folder, const QString& name)
{
    return folder.isEmpty() ? name : QDir(folder).filePath(name);
}

/** Where a loader reads a user file; settling two copies of it leaves a notice for the user. */
QString placeUserFile(const QString& folder, const QString& name, QStringList& notices)
{
    QString notice;
    const QString path = DataLocations::userFile(folder, name, &notice);
    if (!notice.isEmpty())
        notices << notice;
    return path;
}

/** `path` when nothing is there, else the first free "<path>.2", "<path>.3", ... */
QString freeName(const QString& path)
{
    QString name = path;
    for (int n = 2; QFileInfo::exists(name) || QFileInfo(name).isSymLink(); ++n)
        name = path + QLatin1Char('.') + QString::number(n);
    return name;
}

} // namespace

/**
 * The list's order made on a thread of its own. The thread reads no location (the names
 * are taken before it starts), so the world may go on changing statuses and notes, move,
 * or read its list again meanwhile; its notice reaches the world's thread through
 * `notifier`, which lives until the thread has been joined.
 */
struct World::ListAside {
    std::thread thread;
    std::shared_ptr<const std::vector<ListedLocation>> listed; // written by the thread, read after joining it
    QObject notifier;
    // On the world's thread only: who hears the order is ready, and whether it was told. A
    // world moved into another's place (another world opened) names its new events here.
    QPointer<WorldEvents> events;
    bool ended = false;
    bool told = false;
    // False once the order is no longer wanted (its world gone, or its list read again): a
    // sort not yet begun then ends without sorting.
    std::atomic<bool> wanted{true};
    ~ListAside()
    {
        wanted = false;
        if (thread.joinable())
            thread.join();
    }
    std::shared_ptr<const std::vector<ListedLocation>> take()
    {
        if (thread.joinable())
            thread.join();
        return std::move(listed);
    }
    /** Tells `events` once, if it is there to hear it; else the next follow() does. */
    void tell()
    {
        ended = true;
        if (events && !std::exchange(told, true))
            emit events->listOrdered();
    }
    /** The order is now `now`'s: it hears of it, also when the thread ended before. */
    void follow(WorldEvents* now)
    {
        if (events == now)
            return;
        events = now;
        told = false;
        if (ended)
            QMetaObject::invokeMethod(
                &notifier, [this] { tell(); }, Qt::QueuedConnection);
    }
    /** Sorts `names` on a thread of its own; `to` hears listOrdered when it is done. */
    static std::unique_ptr<ListAside> start(NamesToSort names, WorldEvents* to);
};

std::unique_ptr<World::ListAside> World::ListAside::start(NamesToSort names, WorldEvents* to)
{
    auto aside = std::make_unique<ListAside>();
    aside->events = to;
    aside->thread = std::thread([aside = aside.get(), names = std::move(names)]() mutable {
        if (!aside->wanted)
            return; // nothing tells of an order no one waits for
        try {
            aside->listed = std::make_shared<const std::vector<ListedLocation>>(std::move(names).sorted());
        } catch (const std::bad_alloc&) {
            // No room for it now: it is made when first asked for, as without a thread.
        }
        QMetaObject::invokeMethod(
            &aside->notifier, [aside] { aside->tell(); }, Qt::QueuedConnection);
    });
    return aside;
}

/**
 * The four databases read on a worker thread into a world of its own, as the loaders read
 * them; handed over step by step (see World::takeAhead). The worker touches nothing but
 * this object, and the owner reads it only after joining the worker.
 */
struct World::ReadAhead {
    std::array<QString, StepCount> paths;  // empty: that step and the ones after it are not read ahead
    std::array<FileStamp, StepCount> seen; // each file as it was just before the worker read it
    World staged;
    bool found = false;
    int done = 0;             // steps the worker finished; an error ends its run at step `done`
    std::exception_ptr error; // that error, if any
    std::array<QStringList, StepCount> notices;
    // The user data is read beside the routes, from its mapped pages given back behind the
    // reader (a million places' "user.gdb" held whole would top the start's memory), and
    // handed over at its own step: its error, its messages.
    bool userReadEarly = false;
    std::exception_ptr userError;
    QStringList userNotices;
    std::shared_ptr<FontAhead> font; // handed the places the locations step read (see readDatabasesAhead)
    std::atomic<bool> cancelled{false};
    std::atomic<bool> finished{false};
    int next = 0; // the step to hand over next
    std::thread worker;
    // The list's order needs the names alone, which the later steps never change, so once
    // the locations are read it can be made while the worker reads on. Whoever claims it
    // first starts it: the worker, when the owner is still decoding the picture, reads the
    // names for it and reads on, and the owner sorts them once its decode is done (see
    // NamesToSort); the owner, when it is there first, makes all of it.
    std::atomic<bool> listClaimed{false};
    std::size_t listAsideFrom = kListOrderedAsideFrom; // a list this long is ordered aside (see orderListAside)
    // The places' grids of such a list are made by whoever claims them first, as the list
    // above: the owner, waiting for the worker with nothing else to do, beside the worker's
    // later steps (they change no level, point or name); else the worker at its end. Its
    // order is made after the first frame (see orderListAside).
    bool placesPending = false; // guarded by `progress` until locationsRead
    std::atomic<bool> placesClaimed{false};
    std::optional<SpatialIndex> places;                // made by the owner
    std::optional<NamesToSort> names;                  // read by the worker; guarded by `progress`
    std::optional<std::vector<ListedLocation>> listed; // made by the owner
    std::mutex progress;
    std::condition_variable progressed;
    bool locationsRead = false; // guarded by `progress`
    bool namesRead = false;     // guarded by `progress`: the worker's part of the list is over
    bool ownerWaiting = false;  // guarded by `progress`: the owner (its decode done) waits for the list
    bool ended = false;         // guarded by `progress`

    ReadAhead(QString folder, std::array<QString, StepCount> read, std::size_t asideFrom)
        : paths(std::move(read)), staged(std::move(folder)), listAsideFrom(asideFrom)
    {
        staged.m_listAsideFrom = asideFrom;
        staged.m_placesIndexedAside = true;
    }
    ~ReadAhead()
    {
        cancelled = true; // the steps not yet begun are not wanted any more
        if (worker.joinable())
            worker.join();
    }
    void run();
    void report(bool& flag)
    {
        {
            const std::lock_guard lock(progress);
            flag = true;
        }
        progressed.notify_all();
    }
    void makeListAlongside();
    void readNames();
    void readUserDataEarly();
    void forgetUserData();
    bool holds(int step) const { return step < done || (step == done && error); }
};

void World::ReadAhead::run()
{
    try {
        for (; done < StepCount && !paths[size_t(done)].isEmpty() && !cancelled; ++done) {
            const QString& path = paths[size_t(done)];
            if (!(done == UserDataStep && userReadEarly))
                seen[size_t(done)] = stampOf(path);
            switch (done) {
            case LocationsStep:
                found = staged.loadLocationsFrom(path);
                break;
            case RoutesStep: {
                // The user data is read beside the routes, on a thread of its own: the one
                // sets statuses and notes, the other routes, and both only read the names.
                std::thread user;
                if (!paths[size_t(UserDataStep)].isEmpty() && !cancelled)
                    user = std::thread([this] { readUserDataEarly(); });
                const auto joined = qScopeGuard([&user] {
                    if (user.joinable())
                        user.join();
                });
                try {
                    staged.loadRoutesFrom(path);
                } catch (...) {
                    if (user.joinable())
                        user.join();
                    forgetUserData(); // the step after an error is never read
                    throw;
                }
                break;
            }
            case UserDataStep:
                if (!userReadEarly) {
                    staged.loadUserDataFrom(path);
                    break;
                }
                staged.m_notices << std::exchange(userNotices, {});
                if (userError)
                    std::rethrow_exception(userError);
                break;
            case MarkersStep:
                staged.loadMarkersFrom(path);
                break;
            }
            notices[size_t(done)] = staged.takeNotices();
            if (done == LocationsStep && found && font)
                font->learnFrom(staged.m_locations);
            if (done == LocationsStep) {
                const bool big = staged.m_locations.size() >= listAsideFrom;
                if (big)
                    listClaimed = true; // ordered on a thread of its own (see makeListAlongside)
                bool ownerThere = false;
                {
                    const std::lock_guard lock(progress);
                    placesPending = big;
                    locationsRead = true;
                    ownerThere = ownerWaiting;
                }
                progressed.notify_all();
                // An owner already waiting makes the whole list itself while this reads on.
                if (!ownerThere && !listClaimed.exchange(true))
                    readNames();
            }
        }
    } catch (...) {
        error = std::current_exception();
        notices[size_t(done)] = staged.takeNotices();
    }
    if ((done > LocationsStep || error) && staged.m_locations.size() < listAsideFrom && !listClaimed.exchange(true))
        staged.listedLocations();
    if (staged.m_locations.size() >= listAsideFrom && !placesClaimed.exchange(true))
        staged.m_index.setPlaces(staged.m_locations); // the list's order is made here too, off the window's thread
    finished = true;
    report(ended);
}

void World::ReadAhead::readNames()
{
    std::optional<NamesToSort> read;
    try {
        read.emplace(staged.m_locations);
    } catch (const std::bad_alloc&) {
        // No room for them now: the list is made when first asked for, as without a worker.
    }
    {
        const std::lock_guard lock(progress);
        names = std::move(read);
    }
    report(namesRead);
}

void World::ReadAhead::readUserDataEarly()
{
    const QString& path = paths[size_t(UserDataStep)];
    if (path.isEmpty() || cancelled)
        return;
    seen[size_t(UserDataStep)] = stampOf(path);
    userReadEarly = true;
    try {
        staged.loadUserDataFrom(path);
    } catch (...) {
        userError = std::current_exception();
    }
    userNotices = staged.takeNotices();
}

void World::ReadAhead::forgetUserData()
{
    if (!std::exchange(userReadEarly, false))
        return;
    // As the locations reader left them: no status, no note.
    for (Location& l : staged.m_locations) {
        l.Status = Unvisited;
        l.Note = QByteArray();
    }
    staged.listReplaced();
    staged.m_userFile = {};
    staged.m_userBase.reset(staged.m_locations.size());
    staged.m_userBytes = -1;
    userError = nullptr;
    userNotices.clear();
}

void World::ReadAhead::makeListAlongside()
{
    std::unique_lock lock(progress);
    ownerWaiting = true;
    progressed.wait(lock, [this] { return locationsRead || ended; });
    const bool read = locationsRead;
    const bool indexPlaces = placesPending;
    lock.unlock();
    // Only the levels, points and names' lengths are read here; the worker changes none.
    if (read && indexPlaces && !placesClaimed.exchange(true))
        places.emplace().setPlaces(staged.m_locations);
    // Such a list's order waits for the first frame: reading its names now would give this
    // thread a share of the two cores the worker's readers need, and 32 MB of fresh pages
    // at a million places, while the first frame waits for them.
    if (read && indexPlaces)
        return;
    // Only the names of the list are read here; the worker touches the other fields only.
    if (read && !listClaimed.exchange(true)) {
        listed = sortedLocationNames(staged.m_locations);
        return;
    }
    // The worker claimed it: the sort is all that is left, and it reads no location.
    lock.lock();
    progressed.wait(lock, [this] { return namesRead || ended; });
    std::optional<NamesToSort> taken = std::exchange(names, std::nullopt);
    lock.unlock();
    if (taken)
        listed = std::move(*taken).sorted();
}

World::World(QString folder) : m_folder(std::move(folder))
{
    listReplaced();
}

World::World(World&&) noexcept = default;
World& World::operator=(World&&) noexcept = default;
World::~World() = default;

World::World(QString folder, LocationList locations, LocationList markers)
    : m_folder(std::move(folder)), m_locations(std::move(locations)), m_markers(std::move(markers)),
      m_locationsLoaded(true)
{
    m_userFile.safe = true;
    m_markerFile.safe = true;
    listReplaced();
    m_index.setLocations(m_locations);
    m_index.setMarkers(m_markers);
    m_userBase.reset(m_locations.size());
    m_markerChanges.reset(m_markers);
}

void World::listReplaced()
{
    if (m_writer) { // it writes another list: what it holds goes to the file first
        m_writer->waitIdle();
        m_writer.reset();
        m_posted.clear();
    }
    resetChangeLog();
    m_counts = {};
    for (const Location& l : m_locations)
        countStatus(l.Status, 1);
    m_counts.total = int(m_locations.size());
}

void World::resetChangeLog()
{
    m_unposted.assign(m_locations.size(), 0);
    m_unpostedList.clear();
}

void World::logChange(std::size_t index)
{
    if (index < m_unposted.size() && !std::exchange(m_unposted[index], 1))
        m_unpostedList.push_back(int(index));
}

void World::countStatus(std::int32_t status, int delta)
{
    if (status == Visited)
        m_counts.visited += delta;
    else if (status == Active)
        m_counts.active += delta;
    else
        m_counts.unvisited += delta;
}

void World::tellStatus(std::size_t index)
{
    ++m_changesTold;
    emit m_events.object->statusChanged(int(index));
    emit m_events.object->changed();
}

void World::tellNote(std::size_t index)
{
    ++m_changesTold;
    emit m_events.object->noteChanged(int(index));
    emit m_events.object->changed();
}

void World::tellMarkers()
{
    ++m_changesTold;
    emit m_events.object->markersChanged();
    emit m_events.object->changed();
}

void World::tellPlacesRead()
{
    ++m_changesTold;
    emit m_events.object->placesRead();
    emit m_events.object->changed();
}

void World::tellOtherChanges()
{
    ++m_changesTold;
    emit m_events.object->otherChangesTaken();
}

QString World::filePath(const QString& name) const
{
    return pathIn(m_folder, name);
}

QStringList World::ownFiles() const
{
    QStringList files;
    for (const QString& name : {kPictureHi, kPicture, kLocations, kRoutes, kUserData, kMarkers, kJournal})
        files << pathIn(m_folder, name);
    const QString own = DataLocations::userDataFolder(m_folder);
    if (!own.isEmpty()) {
        for (const QString& name : {kUserData, kMarkers, kJournal})
            files << QDir(own).filePath(name);
    }
    const QString views = WorldViews::filePath(m_folder);
    if (!views.isEmpty())
        files << views;
    return files;
}

QString World::userFilePath(const QString& name) const
{
    // While this run keeps a rescue copy in the own folder, every write tries the world's
    // own file again: settling the two copies is the next start's (see DataLocations).
    if (rescueHeld(name))
        return pathIn(m_folder, name);
    return DataLocations::userFile(m_folder, name);
}

bool World::rescueHeld(const QString& name) const
{
    if (name == kUserData)
        return m_userFile.rescued || (m_writer && m_writer->rescueHeld());
    return name == kMarkers && m_markerFile.rescued;
}

bool World::pictureExists(const QString& folder)
{
    return QFileInfo(pathIn(folder, kPictureHi)).isFile() || QFileInfo(pathIn(folder, kPicture)).isFile();
}

void World::LoadPicture()
{
    QString path = filePath(kPictureHi);
    m_mapScale = 10;
    if (!QFileInfo(path).isFile()) {
        path = filePath(kPicture);
        m_mapScale = 2;
    }
    m_picture = JpegDecoder::decodeFile(path);
}

void World::readDatabasesAhead(std::shared_ptr<FontAhead> font)
{
    if (m_ahead || m_locationsLoaded || !m_locations.empty() || !m_markers.empty())
        return;
    finishInterruptedWrites(); // before anything reads the user files
    std::array<QString, StepCount> paths;
    for (int step = 0; step < StepCount; ++step) {
        paths[size_t(step)] = readAheadPath(Step(step));
        if (paths[size_t(step)].isEmpty())
            break; // each step builds on the ones before it
    }
    m_ahead = std::make_unique<ReadAhead>(m_folder, std::move(paths), m_listAsideFrom);
    m_ahead->font = std::move(font);
    m_ahead->worker = std::thread([ahead = m_ahead.get()] { ahead->run(); });
}

bool World::readingAhead() const
{
    return m_ahead && !m_ahead->finished;
}

QString World::readAheadPath(Step step) const
{
    switch (step) {
    case LocationsStep:
        return filePath(kLocations);
    case RoutesStep:
        return filePath(kRoutes);
    case UserDataStep:
        return DataLocations::settledUserFile(m_folder, kUserData);
    case MarkersStep:
        return DataLocations::settledUserFile(m_folder, kMarkers);
    case StepCount:
        break;
    }
    return {};
}

bool World::takeAhead(Step step, bool* found)
{
    if (!m_ahead)
        return false;
    ReadAhead& ahead = *m_ahead;
    if (step == LocationsStep && ahead.next == LocationsStep && ahead.worker.joinable())
        ahead.makeListAlongside(); // rather than wait idle for the worker
    if (ahead.worker.joinable())
        ahead.worker.join();
    bool usable = ahead.next == step && ahead.holds(step);
    if (usable && step == LocationsStep) {
        // Everything the worker read comes over with the locations, so every file it read
        // must still be the one it read, at the place this world reads it from now.
        for (int s = 0; usable && ahead.holds(s); ++s)
            usable = ahead.paths[size_t(s)] == readAheadPath(Step(s))
                     && ahead.seen[size_t(s)] == stampOf(ahead.paths[size_t(s)]);
    }
    if (!usable) {
        m_ahead.reset();
        return false;
    }
    World& staged = ahead.staged;
    switch (step) {
    case LocationsStep:
        // The list comes with its routes, statuses and notes (the next two steps only hand
        // over their errors and messages), its index and its order for the location list.
        m_locations = std::move(staged.m_locations);
        m_locationsLoaded = staged.m_locationsLoaded;
        m_counts = staged.m_counts;
        resetChangeLog();
        // The index covers the markers too; until they come over it simply does not match
        // this world's (still empty) markers list, and the callers scan that instead.
        m_index = std::move(staged.m_index);
        if (ahead.places)
            m_index.takePlaces(std::move(*ahead.places));
        dropListAside();
        if (m_locations.size() >= m_listAsideFrom)
            m_listed.reset(); // ordered aside after the first frame, whatever the worker made
        else if (ahead.listed)
            m_listed = std::make_shared<const std::vector<ListedLocation>>(std::move(*ahead.listed));
        else if (ahead.names) // the worker's part, when the owner did not sort it alongside
            m_listed = std::make_shared<const std::vector<ListedLocation>>(std::move(*ahead.names).sorted());
        else
            m_listed = std::move(staged.m_listed);
        if (found)
            *found = ahead.found;
        break;
    case RoutesStep:
        break;
    case UserDataStep:
        m_userFile = staged.m_userFile;
        m_userBase = std::move(staged.m_userBase);
        m_userBytes = staged.m_userBytes;
        break;
    case MarkersStep:
        m_markers = std::move(staged.m_markers);
        m_markerFile = staged.m_markerFile;
        m_markerChanges = std::move(staged.m_markerChanges);
        break;
    case StepCount:
        break;
    }
    m_notices << ahead.notices[size_t(step)];
    ++m_stepsTakenAhead;
    ahead.next = step + 1;
    // The worker stopped at its error as the loaders stop: nothing more to hand over then.
    const std::exception_ptr error = step == ahead.done ? ahead.error : nullptr;
    if (error || ahead.next == StepCount)
        m_ahead.reset();
    if (error)
        std::rethrow_exception(error);
    return true;
}

const QString& World::locationsFileName()
{
    return kLocations;
}

bool World::LoadLocations()
{
    // Also after an error: what was read before it stays, and is shown as it stands.
    const auto told = qScopeGuard([this] { tellPlacesRead(); });
    bool found = false;
    if (takeAhead(LocationsStep, &found))
        return found;
    return loadLocationsFrom(filePath(kLocations));
}

bool World::loadLocationsFrom(const QString& path)
{
    if (!databaseExists(path))
        return false;
    // What was read before an error stays, and is counted and searched as it stands.
    const auto replaced = qScopeGuard([this] {
        listReplaced();
        if (m_placesIndexedAside && m_locations.size() >= m_listAsideFrom)
            m_index.setRoutes(m_locations); // the places' grids are made beside the later steps
        else
            m_index.setLocations(m_locations);
        m_listed.reset();
        dropListAside();
    });
    readLocationsFile(path, m_locations);
    m_locationsLoaded = true;
    return true;
}

const std::vector<ListedLocation>& World::listedLocations() const
{
    return *sharedListedLocations();
}

void World::orderListAside() const
{
    if (!ordersListAside())
        return;
    if (!m_listAside)
        m_listAside = ListAside::start(NamesToSort(m_locations), m_events.object.get());
    else // started by a world moved here since: this place's events hear of it
        m_listAside->follow(m_events.object.get());
}

void World::dropListAside()
{
    m_listAside.reset();
}

std::shared_ptr<const std::vector<ListedLocation>> World::sharedListedLocations() const
{
    if (!m_listed && m_listAside) {
        m_listed = m_listAside->take();
        m_listAside.reset();
    }
    if (!m_listed)
        m_listed = std::make_shared<const std::vector<ListedLocation>>(sortedLocationNames(m_locations));
    return m_listed;
}

void World::LoadRoutes()
{
    const auto told = qScopeGuard([this] { tellPlacesRead(); });
    if (!takeAhead(RoutesStep))
        loadRoutesFrom(filePath(kRoutes));
}

void World::loadRoutesFrom(const QString& path)
{
    if (!databaseExists(path))
        return;
    const auto reindex = qScopeGuard([this] { m_index.setRoutes(m_locations); });
    readRoutes(readDatabaseFile(path), m_locations);
}

template <typename Read> void World::loadUserFile(const QString& path, UserFile& file, const QString& what, Read read)
{
    file.safe = false;
    if (!databaseExists(path)) {
        file.version = FileVersion(FileStamp{}, {}); // another program may make it meanwhile
        file.holdsWritten = false;
        file.safe = m_locationsLoaded; // nothing stored that the lists could fall short of
        return;
    }
    const FileStamp stamp = stampOf(path); // before the read: a change during it shows later
    const MappedFile mapped(path);
    const QByteArray& bytes = mapped.bytes();
    FileVersion version(stamp, bytes);
    mapped.checkWhole(); // every byte was hashed: a file cut short meanwhile is not what it holds
    file.version = std::move(version);
    file.holdsWritten = false;
    const QString full = QFileInfo(path).absoluteFilePath();
    const QString encoding = unicodeEncoding(bytes);
    if (!encoding.isEmpty()) {
        m_notices << QStringLiteral("The file %1 is stored as %2 text, which this program cannot read. Nothing was "
                                    "read from it, and it is kept unchanged unless you change %3.")
                         .arg(full, encoding, what);
        return;
    }
    const bool empty = bytes.isEmpty();
    // Read completely only when the writer gives back the very bytes that were read: the
    // one comparison of the run, made while nothing has been edited yet. An empty file has
    // nothing to lose.
    bool writesBack = false;
    const bool yielded = read(mapped, m_locationsLoaded ? &writesBack : nullptr);
    mapped.checkWhole(); // what was read past a new end was zeros: the read failed
    if (!yielded && !empty) {
        m_notices << QStringLiteral("The file %1 holds no record this program can read. Nothing was read from it, "
                                    "and it is kept unchanged unless you change %2.")
                         .arg(full, what);
        return;
    }
    file.holdsWritten = m_locationsLoaded && writesBack;
    file.safe = m_locationsLoaded && (empty || file.holdsWritten);
}

void World::LoadUserData()
{
    const auto told = qScopeGuard([this] { tellPlacesRead(); });
    if (!takeAhead(UserDataStep)) {
        finishInterruptedWrites();
        loadUserDataFrom(placeUserFile(m_folder, kUserData, m_notices));
    }
}

void World::loadUserDataFrom(const QString& path)
{
    const auto replaced = qScopeGuard([this] {
        listReplaced();
        m_userBase.reset(m_locations.size());
    });
    loadUserFile(path, m_userFile, QStringLiteral("a status or a note"),
                 [this](const MappedFile& file, bool* writesBack) {
                     m_userBytes = file.bytes().size();
                     // Read and checked in one pass that gives the file's pages back behind
                     // it: a million places' file would otherwise sit whole beside
                     // everything made of it.
                     return readUserData(file, m_locations, writesBack) > 0;
                 });
}

void World::LoadMarkers()
{
    const auto told = qScopeGuard([this] { tellMarkers(); });
    if (!takeAhead(MarkersStep)) {
        finishInterruptedWrites();
        loadMarkersFrom(placeUserFile(m_folder, kMarkers, m_notices));
    }
}

void World::loadMarkersFrom(const QString& path)
{
    const auto reindex = qScopeGuard([this] {
        m_index.setMarkers(m_markers);
        m_markerChanges.reset(m_markers);
    });
    loadUserFile(path, m_markerFile, QStringLiteral("the markers"), [this](const MappedFile& file, bool* writesBack) {
        const QByteArray& bytes = file.bytes();
        const std::size_t before = m_markers.size();
        readMarkers(bytes, m_markers);
        if (writesBack)
            *writesBack = writeMarkers(m_markers) == bytes;
        return m_markers.size() > before;
    });
}

bool World::LoadDatabases()
{
    const bool found = LoadLocations();
    LoadRoutes();
    LoadUserData();
    LoadMarkers();
    return found;
}

QStringList World::takeNotices()
{
    return std::exchange(m_notices, {});
}

bool World::setLocationStatus(int index, std::int32_t status)
{
    if (index < 0 || index >= int(m_locations.size()) || m_locations[size_t(index)].Status == status)
        return false;
    m_userBase.keep(size_t(index), m_locations);
    countStatus(m_locations[size_t(index)].Status, -1);
    countStatus(status, 1);
    m_locations[size_t(index)].Status = status;
    logChange(size_t(index));
    m_userFile.edited = true;
    tellStatus(size_t(index));
    return true;
}

bool World::setLocationNote(int index, const QByteArray& note)
{
    if (index < 0 || index >= int(m_locations.size()) || m_locations[size_t(index)].Note == note)
        return false;
    m_userBase.keep(size_t(index), m_locations);
    m_locations[size_t(index)].Note = note;
    logChange(size_t(index));
    m_userFile.edited = true;
    tellNote(size_t(index));
    return true;
}

void World::addMarker(const Location& marker)
{
    m_markers.push_back(marker);
    m_markerChanges.added();
    m_markerFile.edited = true;
    m_index.setMarkers(m_markers);
    tellMarkers();
}

void World::addMarkers(const LocationList& markers)
{
    if (markers.empty())
        return;
    m_markers.insert(m_markers.end(), markers.begin(), markers.end());
    for (size_t i = 0; i < markers.size(); ++i)
        m_markerChanges.added();
    m_markerFile.edited = true;
    m_index.setMarkers(m_markers);
    tellMarkers();
}

int World::setMarkerNames(const std::vector<std::pair<int, QByteArray>>& names)
{
    int changed = 0;
    for (const auto& [index, name] : names) {
        if (index < 0 || index >= int(m_markers.size()) || m_markers[size_t(index)].Name == name)
            continue;
        m_markers[size_t(index)].Name = name;
        ++changed;
    }
    if (changed) {
        m_markerFile.edited = true;
        m_index.setMarkers(m_markers);
        tellMarkers();
    }
    return changed;
}

bool World::setMarkerName(int index, const QByteArray& name)
{
    if (index < 0 || index >= int(m_markers.size()) || m_markers[size_t(index)].Name == name)
        return false;
    m_markers[size_t(index)].Name = name;
    m_markerFile.edited = true;
    m_index.setMarkers(m_markers); // a longer text reaches further
    tellMarkers();
    return true;
}

void World::removeMarker(int index)
{
    if (index < 0 || index >= int(m_markers.size()))
        return;
    m_markers.erase(m_markers.begin() + index);
    m_markerChanges.removed(index);
    m_markerFile.edited = true;
    m_index.setMarkers(m_markers);
    tellMarkers();
}

void World::removeMarkers(int first, int count)
{
    first = std::clamp(first, 0, int(m_markers.size()));
    count = std::clamp(count, 0, int(m_markers.size()) - first);
    if (count == 0)
        return;
    m_markers.erase(m_markers.begin() + first, m_markers.begin() + first + count);
    for (int i = first + count - 1; i >= first; --i)
        m_markerChanges.removed(i);
    m_markerFile.edited = true;
    m_index.setMarkers(m_markers);
    tellMarkers();
}

void World::insertMarkers(const std::vector<std::pair<int, Location>>& markers)
{
    if (markers.empty())
        return;
    for (const auto& [index, marker] : markers) {
        const int at = std::clamp(index, 0, int(m_markers.size()));
        m_markers.insert(m_markers.begin() + at, marker);
        m_markerChanges.putBack(at, m_markers);
    }
    m_markerFile.edited = true;
    m_index.setMarkers(m_markers);
    tellMarkers();
}

void World::settleEdits()
{
    if (!userDataChangedHere())
        m_userFile.edited = false;
    if (!markersChangedHere())
        m_markerFile.edited = false;
}

void World::clearMarkers()
{
    if (m_markers.empty())
        return;
    m_markers.clear();
    m_markerChanges.cleared();
    m_markerFile.edited = true;
    m_index.setMarkers(m_markers);
    tellMarkers();
}

bool World::prepareWrite(const QString& path, UserFile& file)
{
    if (file.safe)
        return true;
    if (!file.edited)
        return false; // nothing of the user's to keep, and the stored file stays whole
    if (QFileInfo(path).isFile())
        keepBackup(path, readDatabaseFile(path));
    file.safe = true;
    return true;
}

template <typename Merge, typename Make>
World::Meeting World::meetOtherChanges(const QString& name, const QString& path, UserFile& file, bool writing,
                                       bool changedHere, Merge merge, Make make)
{
    QByteArray bytes;
    FileVersion now;
    if (file.version.compare(path, &bytes, &now) != FileVersion::Change::Changed)
        return Meeting::Unchanged; // a file another program deleted is simply written again
    if (bytes.isEmpty() && &file == &m_userFile && !m_locations.empty()) {
        // The writer gives every place a block: an emptied "user.gdb" was cut short (a
        // program that died writing it, a full disk) and holds nothing of anyone's. As a
        // deleted one, it is written again, even when nothing changed here since.
        file.version = FileVersion(FileStamp{}, {});
        file.kept = {};
        return Meeting::Unchanged;
    }
    if (const std::optional<bool> oursToo = merge(bytes)) {
        file.version = now;
        file.holdsWritten = true; // a merge takes only a file the writer gives back whole
        file.safe = true;         // everything the file holds is in the lists now
        file.kept = {};
        if (*oursToo)
            m_notices << QStringLiteral("%1 was changed by another program; both changes are kept").arg(name);
        tellOtherChanges();
        return *oursToo ? Meeting::Merged : Meeting::Taken;
    }
    if (!writing || !changedHere)
        return Meeting::Kept; // nothing of this window's to put beside it (yet)
    // Never merged into: it stays as the other program left it, and this window's data,
    // when it changed anything, goes to a copy of its own beside it.
    if (!file.kept.sameBytes(now)) {
        file.kept = now;
        file.keptBeside = freeName(path + QStringLiteral(".unmerged"));
        const QString full = QFileInfo(path).absoluteFilePath();
        m_notices << QStringLiteral("The file %1 was changed by another program, and this program cannot read it "
                                    "without loss. It is kept as it is; this window's data is written beside it, "
                                    "to %2.")
                         .arg(full, QFileInfo(file.keptBeside).absoluteFilePath());
        emit m_events.object->otherChangesTaken();
    }
    AtomicFile::write(file.keptBeside, make());
    return Meeting::Kept;
}

template <typename Merge, typename Make>
std::optional<QByteArray> World::bytesToSave(const QString& name, const QString& path, UserFile& file, bool changedHere,
                                             Merge merge, Make make)
{
    const Meeting met = meetOtherChanges(name, path, file, true, changedHere, merge, make);
    // Taken: the file already holds everything, as the lists now do.
    if (met == Meeting::Kept || met == Meeting::Taken)
        return std::nullopt;
    // Nothing changed here since the file was read whole or written, and nobody else changed
    // it: it holds these very bytes, and making them (a million places' file, twice over
    // with the look at the old one) is the close's whole cost.
    if (met == Meeting::Unchanged && file.holdsWritten && !changedHere && file.version.existed()
        && databaseExists(path)) {
        file.writeFailing = false; // as a write would: the file holds everything, a failing streak is over
        return std::nullopt;
    }
    if (!prepareWrite(path, file))
        return std::nullopt;
    return make();
}

template <typename Merge, typename Make, typename Written>
void World::save(const QString& name, UserFile& file, bool changedHere, Merge merge, Make make, Written written)
{
    const QString path = userFilePath(name);
    try {
        const std::optional<QByteArray> bytes = bytesToSave(name, path, file, changedHere, merge, make);
        if (!bytes)
            return;
        AtomicFile::write(path, *bytes);
        file.version = FileVersion(stampOf(path), *bytes);
        file.holdsWritten = true;
        written();
    } catch (...) {
        file.writeFailing = true;
        throw;
    }
    writtenAgain(file);
}

void World::SaveUserData()
{
    settleWrites();
    // The writer resumes from whatever the file holds now, written here or merged.
    const auto resume = qScopeGuard([this] { resumeWriter(); });
    save(
        kUserData, m_userFile, userDataChangedHere(), [this](const QByteArray& bytes) { return mergeUserData(bytes); },
        [this] {
            QByteArray bytes = writeUserData(m_locations);
            m_userBytes = bytes.size();
            return bytes;
        },
        [this] {
            m_userBase.reset(m_locations.size());
            m_posted.clear(); // all of it is in the file now
        });
}

void World::SaveMarkers()
{
    save(
        kMarkers, m_markerFile, markersChangedHere(), [this](const QByteArray& bytes) { return mergeMarkers(bytes); },
        [this] { return writeMarkers(m_markers); }, [this] { m_markerChanges.reset(m_markers); });
}

template <typename Save> void World::saveLast(UserFile& file, Save save)
{
    try {
        save();
    } catch (const Error& error) {
        const QString kept = rescue(file);
        if (kept.isEmpty())
            throw;
        throw Error(toldWithRescue(error.message(), file, kept, true));
    }
}

QString World::rescuePath(const QString& name) const
{
    const QString folder = DataLocations::userDataFolder(m_folder);
    if (folder.isEmpty())
        return {};
    const QString path = QDir(folder).filePath(name);
    // An installed copy, or a world on read-only media, keeps its files there already:
    // that is the write that failed.
    if (QFileInfo(path).absoluteFilePath() == QFileInfo(userFilePath(name)).absoluteFilePath())
        return {};
    return path;
}

QString World::rescue(UserFile& file)
{
    const bool user = &file == &m_userFile;
    const QString name = user ? kUserData : kMarkers;
    // What this run did not change is in the world's file still, or was never there.
    if (!(user ? userDataChangedHere() : markersChangedHere()))
        return {};
    const QString path = rescuePath(name);
    if (path.isEmpty())
        return {};
    try {
        writeRescueCopy(path, user ? writeUserData(m_locations) : writeMarkers(m_markers), rescueHeld(name));
    } catch (const Error&) {
        return {};
    }
    file.rescued = true;
    return path;
}

void World::writtenAgain(UserFile& file)
{
    file.writeFailing = false;
    const QString name = &file == &m_userFile ? kUserData : kMarkers;
    if (rescueHeld(name))
        removeRescueCopy(rescuePath(name));
    file.rescued = false; // the writer hears of it as it resumes
}

QString World::toldWithRescue(QString error, const UserFile& file, const QString& kept, bool last) const
{
    if (!error.endsWith(QLatin1Char('.')))
        error += QLatin1Char('.');
    const QString what = &file == &m_userFile ? QStringLiteral("statuses and notes") : QStringLiteral("markers");
    const QString where = QDir::toNativeSeparators(kept);
    if (last)
        return QStringLiteral("%1 This window's %2 are saved in %3 instead, and the next start reads them from there.")
            .arg(error, what, where);
    return QStringLiteral("%1 Until it can be written again, this window's %2 are kept in %3.").arg(error, what, where);
}

void World::SaveUserDataLast()
{
    saveLast(m_userFile, [this] { SaveUserData(); });
}

void World::SaveMarkersLast()
{
    saveLast(m_markerFile, [this] { SaveMarkers(); });
}

void World::SaveUserFilesTogether(bool userData, bool withMarkers)
{
    const QString userPath = userFilePath(kUserData), markersPath = userFilePath(kMarkers);
    std::optional<QByteArray> user, markers;
    if (userData)
        settleWrites();
    const auto resume = qScopeGuard([this] { resumeWriter(); });
    try {
        if (userData)
            user = bytesToSave(
                kUserData, userPath, m_userFile, userDataChangedHere(),
                [this](const QByteArray& bytes) { return mergeUserData(bytes); },
                [this] { return writeUserData(m_locations); });
        if (withMarkers)
            markers = bytesToSave(
                kMarkers, markersPath, m_markerFile, markersChangedHere(),
                [this](const QByteArray& bytes) { return mergeMarkers(bytes); },
                [this] { return writeMarkers(m_markers); });
        std::vector<std::pair<QString, QByteArray>> files;
        if (user)
            files.emplace_back(userPath, *user);
        if (markers)
            files.emplace_back(markersPath, *markers);
        // What the user had before stays beside each file, whatever it held.
        for (const auto& [path, bytes] : files)
            if (databaseExists(path))
                if (const QByteArray old = readDatabaseFile(path); old != bytes)
                    keepBackup(path, old);
        if (!files.empty())
            AtomicFile::writeTogether(files, QFileInfo(files.front().first).absoluteDir().filePath(kJournal));
    } catch (...) {
        if (userData)
            m_userFile.writeFailing = true;
        if (withMarkers)
            m_markerFile.writeFailing = true;
        throw;
    }
    if (user) {
        m_userFile.version = FileVersion(stampOf(userPath), *user);
        m_userFile.holdsWritten = true;
        m_userBase.reset(m_locations.size());
        m_posted.clear();
        m_userBytes = user->size();
        writtenAgain(m_userFile);
    }
    if (markers) {
        m_markerFile.version = FileVersion(stampOf(markersPath), *markers);
        m_markerFile.holdsWritten = true;
        m_markerChanges.reset(m_markers);
        writtenAgain(m_markerFile);
    }
    if (userData)
        m_userFile.writeFailing = false;
    if (withMarkers)
        m_markerFile.writeFailing = false;
}

void World::finishInterruptedWrites() const
{
    // The journal lies beside "user.gdb": in the world's folder or in the user's own one.
    const QString folders[]
        = {m_folder.isEmpty() ? QStringLiteral(".") : m_folder, DataLocations::userDataFolder(m_folder)};
    for (const QString& folder : folders)
        if (!folder.isEmpty())
            AtomicFile::finishTogether(QDir(folder).filePath(kJournal));
}

bool World::userDataChangedHere() const
{
    return m_userBase.changed(m_locations);
}

bool World::markersChangedHere() const
{
    return m_markerChanges.any(m_markers);
}

std::optional<bool> World::mergeUserData(const QByteArray& bytes)
{
    if (!m_locationsLoaded || !unicodeEncoding(bytes).isEmpty())
        return std::nullopt; // by position onto an incomplete list, or not 8-bit text
    LocationList read = m_locations;
    for (Location& l : read) {
        l.Status = Unvisited;
        l.Note.clear();
    }
    try {
        if ((readUserData(bytes, read) == 0 && !bytes.isEmpty()) || !userDataWritesBack(read, bytes))
            return std::nullopt;
    } catch (const Error&) {
        return std::nullopt;
    }
    const PlaceRecords theirs = placeRecords(read);
    const PlaceRecords ours = placeRecords(m_locations);
    const bool changedHere = m_userBase.changed(m_locations);
    const PlaceRecords merged = mergePlaces(m_userBase.records(m_locations), theirs, ours);
    std::vector<std::pair<std::size_t, bool>> told; // (place, its status rather than its note)
    for (size_t i = 0; i < merged.size(); ++i) {
        Location& l = m_locations[i];
        if (l.Status != merged[i].status) {
            countStatus(l.Status, -1);
            countStatus(merged[i].status, 1);
            l.Status = merged[i].status;
            logChange(i); // the background writer's copy follows the merge
            told.emplace_back(i, true);
        }
        if (l.Note != merged[i].note) {
            l.Note = merged[i].note;
            logChange(i);
            told.emplace_back(i, false);
        }
    }
    m_userBase.reset(theirs, m_locations);
    // Told once the lists and the base agree, so a listener sees the merge whole.
    for (const auto& [i, status] : told)
        status ? tellStatus(i) : tellNote(i);
    return changedHere;
}

std::optional<bool> World::mergeMarkers(const QByteArray& bytes)
{
    if (!unicodeEncoding(bytes).isEmpty())
        return std::nullopt;
    LocationList theirs;
    try {
        readMarkers(bytes, theirs);
    } catch (const Error&) {
        return std::nullopt;
    }
    if ((theirs.empty() && !bytes.isEmpty()) || writeMarkers(theirs) != bytes)
        return std::nullopt;
    const bool changedHere = markersChangedHere();
    const MarkerChanges::Merged merged = m_markerChanges.merge(theirs, m_markers);
    m_markers = merged.markers;
    m_markerChanges.rebase(theirs, merged);
    m_index.setMarkers(m_markers);
    emit m_events.object->markersRenumbered(merged.newIndexOf);
    tellMarkers();
    return changedHere;
}

bool World::readChangedUserFiles()
{
    const std::uint64_t before = m_changesTold;
    collectWrites();
    // While the background writer has changes of this window not yet in the file, the
    // file is looked at once they are: its own write must not pass for another program's.
    const bool userFileSettled = !m_writer || (!m_writer->busy() && m_posted.empty());
    m_recheckUserFile = !userFileSettled;
    const auto look = [this](const QString& name, UserFile& file, bool changedHere, auto merge) {
        const QString path = DataLocations::settledUserFile(m_folder, name);
        if (!path.isEmpty())
            meetOtherChanges(name, path, file, false, changedHere, merge, [] { return QByteArray(); });
    };
    if (userFileSettled) {
        look(kUserData, m_userFile, userDataChangedHere(),
             [this](const QByteArray& bytes) { return mergeUserData(bytes); });
        resumeWriter();
    }
    look(kMarkers, m_markerFile, markersChangedHere(), [this](const QByteArray& bytes) { return mergeMarkers(bytes); });
    return m_changesTold != before;
}

QStringList World::settledUserFilePaths() const
{
    QStringList paths;
    for (const QString& name : {kUserData, kMarkers}) {
        const QString path = DataLocations::settledUserFile(m_folder, name);
        if (!path.isEmpty())
            paths << path;
    }
    return paths;
}

template <typename Save> void World::autosave(UserFile& file, Save save)
{
    const bool told = file.writeFailing;
    try {
        save();
    } catch (const Error& error) {
        const QString kept = rescue(file);
        if (told)
            return; // still failing: the user knows, and every keystroke would open the same box
        if (kept.isEmpty())
            throw;
        throw Error(toldWithRescue(error.message(), file, kept, false));
    }
}

void World::autosaveUserData()
{
    if (writesInBackground())
        postUserData();
    else
        autosave(m_userFile, [this] { SaveUserData(); });
}

void World::replaceWith(World&& next)
{
    *this = std::move(next);
    if (m_listAside) // its order, made aside, is this place's now
        m_listAside->follow(m_events.object.get());
    emit m_events.object->replaced();
    emit m_events.object->changed();
}

qsizetype World::expectedUserDataSize() const
{
    // A block without name and note takes 47 bytes; names run to a dozen or so.
    return m_userBytes >= 0 ? m_userBytes : qsizetype(m_locations.size()) * 64;
}

bool World::writesInBackground() const
{
    // Only a file that may simply be replaced: keeping a backup first, or writing beside
    // another program's version, stays with the writes made here.
    return m_locationsLoaded && m_userFile.safe && !m_userFile.kept.known()
           && expectedUserDataSize() >= m_backgroundFrom;
}

void World::postUserData()
{
    const QString path = userFilePath(kUserData);
    if (m_writer && m_writer->path() != path) { // the file moved (see DataLocations): start afresh
        settleWrites();
        m_writer.reset();
    }
    if (!m_writer) {
        // The writer's own copy of what the file is made of, taken once; from then on it
        // hears only of the changes. What differs from the file is the first batch.
        std::vector<UserRecord> records;
        records.reserve(m_locations.size());
        std::vector<UserDataWriter::Change> first;
        for (std::size_t i = 0; i < m_locations.size(); ++i) {
            const Location& l = m_locations[i];
            records.push_back({l.Name, l.Note, l.Status});
            if (!m_userBase.holds(i, m_locations))
                first.push_back({int(i), l.Status, l.Note});
        }
        resetChangeLog();
        // The events object stays where this world lives; the writer goes with the world.
        m_writer = std::make_unique<UserDataWriter>(
            path, std::move(records), m_userFile.version,
            [events = m_events.object.get()] { emit events->userDataWritten(); }, rescuePath(kUserData),
            m_userFile.rescued);
        m_posted.emplace_back(m_writer->post({}), std::move(first));
    } else {
        std::vector<UserDataWriter::Change> changes;
        changes.reserve(m_unpostedList.size());
        for (const int i : m_unpostedList) {
            const Location& l = m_locations[std::size_t(i)];
            changes.push_back({i, l.Status, l.Note});
            m_unposted[std::size_t(i)] = 0;
        }
        m_unpostedList.clear();
        std::vector<UserDataWriter::Change> kept = changes;
        m_posted.emplace_back(m_writer->post(std::move(changes)), std::move(kept));
    }
    collectWrites();
}

void World::resumeWriter()
{
    if (m_writer)
        m_writer->setVersion(m_userFile.version, m_userFile.rescued);
}

void World::baseWritten(std::uint64_t written)
{
    while (!m_posted.empty() && m_posted.front().first <= written) {
        for (const UserDataWriter::Change& c : m_posted.front().second)
            if (c.index >= 0)
                m_userBase.set(std::size_t(c.index), PlaceRecord{c.status, c.note}, m_locations);
        m_posted.pop_front();
    }
}

void World::collectWrites()
{
    if (!m_writer)
        return;
    const std::optional<UserDataWriter::Outcome> outcome = m_writer->take();
    if (!outcome)
        return;
    if (outcome->written) {
        baseWritten(outcome->written);
        m_userFile.version = outcome->version;
        m_userFile.holdsWritten = true;
    }
    if (outcome->otherChange) {
        // Merged and written here, by the rules of every other write.
        autosave(m_userFile, [this] { SaveUserData(); });
        return;
    }
    if (!outcome->error.isEmpty()) {
        if (std::exchange(m_userFile.writeFailing, true))
            return;
        // Once; the next write that succeeds ends the streak.
        if (outcome->rescuedAt.isEmpty())
            throw Error(outcome->error);
        throw Error(toldWithRescue(outcome->error, m_userFile, outcome->rescuedAt, false));
    }
    if (outcome->written)
        m_userFile.writeFailing = false;
    if (m_recheckUserFile && !m_writer->busy() && m_posted.empty())
        readChangedUserFiles();
}

void World::settleWrites()
{
    if (!m_writer)
        return;
    m_writer->waitIdle();
    if (const std::optional<UserDataWriter::Outcome> outcome = m_writer->take(); outcome && outcome->written) {
        baseWritten(outcome->written);
        m_userFile.version = outcome->version;
        m_userFile.holdsWritten = true;
    }
}

bool World::userDataWritePending() const
{
    return m_writer && m_writer->busy();
}

void World::waitForUserDataWrites()
{
    if (!m_writer)
        return;
    m_writer->waitIdle();
    collectWrites();
}

void World::autosaveMarkers()
{
    autosave(m_markerFile, [this] { SaveMarkers(); });
}

} // namespace vdm
