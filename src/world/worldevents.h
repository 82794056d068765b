// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

#include <utility>
#include <vector>

namespace vdm {

/**
 * What a world tells without being asked. The object belongs to the place a world lives
 * in, not to the world's data: a world moved into that place (another world opened there)
 * keeps this object and every connection to it, and says `replaced`.
 *
 * Whatever a view derives from the world (the map's reuse of its last paint, the counts,
 * the search's folded texts, the travel graph) follows these notices rather than looking
 * for a change itself. Each is sent once the change is made and only for a real change.
 */
class WorldEvents : public QObject {
    Q_OBJECT

signals:
    /** Another world took this one's place: no index of the old one means anything now. */
    void replaced();
    /**
     * A loader read the places afresh (their list, routes, statuses or notes): every index
     * still names the same place, but anything made of the places is to be made again.
     */
    void placesRead();
    /** Place `index` holds another status now (the user, an undo, an import, a merge). */
    void statusChanged(int index);
    /** Place `index` holds another note now. */
    void noteChanged(int index);
    /** The markers changed: one added, moved, renamed or removed, or all of them read or merged. */
    void markersChanged();
    /**
     * Anything a view of the world shows may have changed: sent after each of the notices
     * above, for a part that needs to know only that.
     */
    void changed();
    /**
     * A merge or a read took another program's changes into the lists; the views show
     * them, and the world's notices may wait until the handler under way is done.
     */
    void otherChangesTaken();
    /**
     * A merge gave the markers new places (`newIndexOf[i]`: where marker i is now, -1
     * gone). It must be followed at once, before any marker index is used again.
     */
    void markersRenumbered(const std::vector<int>& newIndexOf);
    /**
     * A background write of "user.gdb" ended. Emitted on the writer's thread: connect it
     * queued, and have the world's thread call World::collectWrites().
     */
    void userDataWritten();
    /**
     * The location list's order, made aside (World::orderListAside), is ready: the list
     * fills and the controls that choose from it come alive.
     */
    void listOrdered();
};

/**
 * The connections of a part that is no QObject to a world's events, cut when the part
 * goes: a notice sent while its owner is being taken apart never reaches it.
 */
class EventConnections {
public:
    EventConnections() = default;
    ~EventConnections() { clear(); }
    EventConnections(const EventConnections&) = delete;
    EventConnections& operator=(const EventConnections&) = delete;

    template <typename Signal, typename Slot> void connect(const WorldEvents& events, Signal signal, Slot&& slot)
    {
        m_connections.push_back(QObject::connect(&events, signal, std::forward<Slot>(slot)));
    }
    void clear()
    {
        for (const QMetaObject::Connection& c : m_connections)
            QObject::disconnect(c);
        m_connections.clear();
    }

private:
    std::vector<QMetaObject::Connection> m_connections;
};

} // namespace vdm
