// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

namespace vdm {

class World;

/** How a request to open another world while the program runs ended. */
struct WorldOpening {
    enum class Outcome {
        Opened,       // the other world is loaded (`message`: a loader error after which the rest was skipped)
        NoPicture,    // no map picture there (`message`: the not-found box); nothing changed
        NoLocations,  // no locations database there; nothing changed
        NotSaved,     // the current world's user files could not be written; it stays, with its changes
        PictureError, // the other picture could not be decoded; the current world stays (saved)
    };
    Outcome outcome;
    QString message; // what the user must be told; empty for nothing
    /** What the current world's last writes had to tell (a merge with another program's changes). */
    QStringList notices;
};

/**
 * Replaces `world` with the world in `folder`, through the same loader as the start: the
 * picture, then the four databases in their order and by their error rules. First the
 * current world's user files are written by its save rules, so nothing the user changed
 * is lost. A folder that holds no picture or no locations database, a current world that
 * cannot be saved and a picture that cannot be decoded leave `world` as it was; the
 * outcome says which and carries the message to show.
 */
WorldOpening openWorld(World& world, const QString& folder);

} // namespace vdm
