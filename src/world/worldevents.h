// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

#include <vector>

namespace vdm {

/**
 * What a world tells without being asked. The object belongs to the place a world lives
 * in, not to the world's data: a world moved into that place (another world opened there)
 * keeps this object and every connection to it, and says `replaced`.
 */
class WorldEvents : public QObject {
    Q_OBJECT

signals:
    /** Another world took this one's place: no index of the old one means anything now. */
    void replaced();
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
};

} // namespace vdm
